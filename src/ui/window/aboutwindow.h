#pragma once

// The About window: product picture, name, version, description and contact lines.
// Five clicks on the picture switch the log's hex mirror on; further clicks switch it off.

#include <functional>

#include <QDialog>
#include <QUrl>

class QLabel;
class QPushButton;

namespace m845 {

class Tfrm_About final : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrm_About(QWidget *parent = nullptr);

    void img_AboutClick();
    void lbl_About_WebsiteClick();
    void ApplyAboutTexts();
    // Whether the product picture could be decoded; it is decoded at the first call or show.
    [[nodiscard]] bool PictureLoaded();

    // How a web address is opened; tests replace the desktop's handler.
    std::function<void(const QUrl &)> OpenUrl;

signals:
    void HexMirrorChanged(bool on);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_imgAbout = nullptr;
    QLabel *m_lblSoftName = nullptr;
    QLabel *m_lblAboutVersion = nullptr;
    QLabel *m_lblVersion = nullptr;
    QLabel *m_lblDescription = nullptr;
    QLabel *m_lblContact = nullptr;
    QLabel *m_lblWebsite = nullptr;
    QLabel *m_lblTel = nullptr;
    QLabel *m_lblEmail = nullptr;
    QPushButton *m_btnYes = nullptr;
    int m_clicks = 0;
    bool m_pictureTried = false;
    bool m_pictureLoaded = false;
};

} // namespace m845
