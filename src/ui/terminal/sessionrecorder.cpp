#include "ui/terminal/sessionrecorder.h"

#include <cerrno>
#include <cstring>

#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QSignalBlocker>

#include "lang/langlist.h"
#include "support/encoding.h"
#include "support/paths.h"
#include "ui/common/dialogs.h"
#include "ui/common/uitext.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/serialbar.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/sendpane.h"
#include "ui/window/mainwindow.h"

namespace m845 {

namespace {

using detail::Lang;

const char *TagOf(TLogKind kind)
{
    switch (kind) {
    case TLogKind::Rx:
    case TLogKind::RxOther:
        return "[Rx]";
    case TLogKind::Tx:
        return "[Tx]";
    case TLogKind::Warn:
        return "[Warn]";
    case TLogKind::Info:
        break;
    }
    return "[Info]";
}

std::string Std(const QString &text)
{
    return text.toStdString();
}

} // namespace

TSessionRecorder::TSessionRecorder(TFrm_Main &window)
    : m_window(window)
    , m_logFolder(QString::fromStdString(DataFolder()))
{
    connect(&window.Log(), &TLogPane::EntryWritten, this, &TSessionRecorder::Entry);
    connect(&window.Link(), &TLinkControl::PortOpenChanged, this,
            &TSessionRecorder::PortOpenChanged);

    QMenu *pmCls = window.SendPane().ContextMenu();
    m_separator = pmCls->addSeparator();
    m_mniSaveLog = pmCls->addAction(QString());
    m_mniSaveLog->setObjectName(QStringLiteral("mniSaveLog"));
    m_mniRecord = pmCls->addAction(QString());
    m_mniRecord->setObjectName(QStringLiteral("mniRecord"));
    m_mniRecord->setCheckable(true);
    connect(m_mniSaveLog, &QAction::triggered, this, [this] {
        auto *box = qobject_cast<QPlainTextEdit *>(m_window.SendPane().ContextTarget());
        SaveLogAs(box != nullptr ? box : m_window.Log().Dialog());
    });
    connect(m_mniRecord, &QAction::triggered, this, [this](bool on) { mniRecordClick(on); });
    // The menu is shared with the send box, which has no log to save.
    connect(pmCls, &QMenu::aboutToShow, this, [this] {
        const QWidget *target = m_window.SendPane().ContextTarget();
        const bool logBox
            = target == m_window.Log().Dialog() || target == m_window.Log().DialogHex();
        for (QAction *a : {m_separator, m_mniSaveLog, m_mniRecord})
            a->setVisible(logBox);
    });
}

TSessionRecorder::~TSessionRecorder()
{
    Stop();
}

bool TSessionRecorder::Start(const QString &path)
{
    Stop();
    m_path = path;
    const std::string file = Std(path);
    m_file = file.empty() ? nullptr : std::fopen(file.c_str(), "ae");
    if (m_file == nullptr) {
        Fail(file.empty() ? ENOENT : errno);
        return false;
    }
    ShowSwitch();
    WriteLines("-----", Lang("info_RecStart"));
    return IsOn();
}

void TSessionRecorder::Stop()
{
    if (m_file == nullptr)
        return;
    std::fclose(m_file);
    m_file = nullptr;
    ShowSwitch();
}

void TSessionRecorder::ShowSwitch()
{
    const QSignalBlocker blocker(m_mniRecord);
    m_mniRecord->setChecked(IsOn());
}

void TSessionRecorder::Fail(int error)
{
    if (m_file != nullptr)
        std::fclose(m_file);
    m_file = nullptr;
    ShowSwitch();
    // Recording is off before the warning is logged, so the warning does not recurse.
    m_window.Log().LogWarn(LangFormat("info_RecordFail", {Std(m_path), std::strerror(error)}));
}

void TSessionRecorder::Entry(TLogKind kind, const QString &text)
{
    if (IsOn())
        WriteLines(TagOf(kind), text);
}

void TSessionRecorder::PortOpenChanged(bool open)
{
    if (!IsOn())
        return;
    const TSerialToolBar &bar = m_window.SerialBar();
    WriteLines("-----", open ? QString::fromStdString(
                            LangFormat("info_RecPortOpen", {bar.PortText(), bar.BaudText()}))
                             : Lang("info_RecPortClose"));
}

void TSessionRecorder::WriteLines(const char *tag, const QString &text)
{
    const QByteArray stamp = QDateTime::currentDateTime()
                                 .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
                                 .toLatin1();
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (body.endsWith(QLatin1Char('\n')))
        body.chop(1);
    QByteArray out;
    for (const QString &line : body.split(QLatin1Char('\n')))
        out += stamp + ' ' + tag + ' ' + QByteArray::fromStdString(EscapeControls(Std(line)))
               + '\n';
    // Each entry reaches the file at once: a crash loses nothing already logged.
    if (std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), m_file)
            != static_cast<std::size_t>(out.size())
        || std::fflush(m_file) != 0)
        Fail(errno);
}

void TSessionRecorder::mniRecordClick(bool on)
{
    if (!on) {
        Stop();
        return;
    }
    const QString start = m_path.isEmpty() ? m_logFolder : m_path;
    const QString path = TDialogs::SaveFileName(&m_window, Lang("lang_mniRecord"), start,
                                                Lang("info_LogFilter"), false);
    if (path.isEmpty()) {
        ShowSwitch();
        return;
    }
    m_logFolder = QFileInfo(path).absolutePath();
    static_cast<void>(Start(path));
}

void TSessionRecorder::SaveLogAs(QPlainTextEdit *box)
{
    const QString path = TDialogs::SaveFileName(&m_window, Lang("lang_mniSaveLog"), m_logFolder,
                                                Lang("info_LogFilter"));
    if (path.isEmpty())
        return;
    m_logFolder = QFileInfo(path).absolutePath();
    m_window.Log().Flush();
    QSaveFile file(path);
    QString text = box->toPlainText();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        m_window.Log().LogWarn(
            LangFormat("info_LogSaveFail", {Std(path), Std(file.errorString())}));
}

void TSessionRecorder::ApplyTexts()
{
    m_mniSaveLog->setText(Lang("lang_mniSaveLog"));
    m_mniRecord->setText(Lang("lang_mniRecord"));
}

} // namespace m845
