#pragma once

// The data-path diagram of a work mode, drawn as vectors so that it stays sharp at any size
// and pixel ratio: four devices in a row joined by two-way arrows, each arrow named by its
// link. Pictures are chosen by name: "Net", "Http" or "Sms" followed by "_cn" or "_en".

#include <QString>
#include <QWidget>

namespace m845 {

class TWorkModeDiagram final : public QWidget
{
    Q_OBJECT

public:
    // The drawing's own coordinate space; the widget is this size at scale 1.
    static constexpr int kWidth = 534;
    static constexpr int kHeight = 90;

    explicit TWorkModeDiagram(QWidget *parent = nullptr);

    // Returns false (and keeps the current picture) for a name that is not one of the six.
    bool SetPicture(const QString &name);
    [[nodiscard]] QString Picture() const { return m_picture; }

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_picture;
};

} // namespace m845
