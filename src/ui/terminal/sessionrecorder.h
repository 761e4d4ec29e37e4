#pragma once

// Session logging: "Save log as..." and "Record to file" in the log boxes' context menu. A
// record receives every log entry from the moment it is on, stamped to the millisecond, with
// a separator at each open and close of the port, also the entries the display later drops.

#include <cstdint>
#include <cstdio>

#include <QObject>
#include <QString>

class QAction;
class QPlainTextEdit;

namespace m845 {

class TFrm_Main;
enum class TLogKind : std::uint8_t;

class TSessionRecorder final : public QObject
{
    Q_OBJECT
public:
    // Hooks itself into the window's log, link and context menu; create it before the port
    // can open and destroy it before the window.
    explicit TSessionRecorder(TFrm_Main &window);
    ~TSessionRecorder() override;
    TSessionRecorder(const TSessionRecorder &) = delete;
    TSessionRecorder &operator=(const TSessionRecorder &) = delete;

    // Appends to path from now on. A file that cannot be opened warns once in the log and
    // leaves recording off (false).
    bool Start(const QString &path);
    void Stop();
    [[nodiscard]] bool IsOn() const { return m_file != nullptr; }
    // The record file last chosen, also while recording is off.
    [[nodiscard]] const QString &File() const { return m_path; }
    void SetFile(const QString &path) { m_path = path; }

    // The context menu's commands.
    void SaveLogAs(QPlainTextEdit *box);
    void mniRecordClick(bool on);
    [[nodiscard]] QAction *RecordAction() const { return m_mniRecord; }

    void ApplyTexts();

private:
    void Entry(TLogKind kind, const QString &text);
    void PortOpenChanged(bool open);
    void WriteLines(const char *tag, const QString &text);
    void Fail(int error);
    void ShowSwitch();

    TFrm_Main &m_window;
    std::FILE *m_file = nullptr;
    QString m_path;
    QString m_logFolder;
    QAction *m_separator = nullptr;
    QAction *m_mniSaveLog = nullptr;
    QAction *m_mniRecord = nullptr;
};

} // namespace m845
