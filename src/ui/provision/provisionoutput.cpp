// What a provisioning run says: the log's lines on the terminal, the findings, the errors, and
// each device's report row.

#include "ui/provision/provisioning.h"

#include <chrono>
#include <csignal>

#include <QString>
#include <QStringList>

#include "lang/langlist.h"
#include "protocol/commands.h"
#include "protocol/reply.h"
#include "provision/report.h"
#include "support/encoding.h"
#include "ui/terminal/logpane.h"
#include "ui/window/devicesession.h"

namespace m845 {

namespace {

constexpr const char *kGreen = "\033[32m";
constexpr const char *kBlue = "\033[34m";
constexpr const char *kRed = "\033[31m";
constexpr const char *kReset = "\033[0m";

} // namespace

bool TProvisioning::WriteRow(int code)
{
    if (m_request.report.empty())
        return true;
    TReportRow row;
    row.time = ReportTime(std::chrono::system_clock::now());
    row.port = m_request.port;
    row.identity = IdentitySeen();
    row.iccid = Seen("ICCID");
    row.sn = Seen("SN");
    row.version = Seen("VER");
    row.csq = Seen("CSQ");
    row.pass = code == kProvisionDone;
    for (const std::string &detail : m_device.details)
        row.details += (row.details.empty() ? "" : "; ") + detail;
    // Beyond differences, the exit code tells what the device may hold.
    if (code != kProvisionDone && code != kProvisionDiffers)
        row.details += (row.details.empty() ? "" : " ") + std::string("(exit ")
                       + std::to_string(code) + ")";
    row.seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_device.start).count();
    // One of several ports: its parent writes the row of a child ended by a signal, so once the
    // child's own row is under way no interrupt may end it.
    if (!m_request.prefix.empty() && !m_request.station) {
        std::signal(SIGINT, SIG_IGN);
        std::signal(SIGTERM, SIG_IGN);
    }
    const TReportOutcome appended = AppendReportRow(m_request.report, row);
    if (!appended.ok)
        Error(LangFormat("info_ProvReportFail", {m_request.report, appended.reason}));
    return appended.ok;
}

std::string TProvisioning::Seen(const std::string &name) const
{
    const auto found = m_device.seen.find(name);
    return found == m_device.seen.end() ? std::string() : found->second;
}

std::string TProvisioning::IdentitySeen() const
{
    const std::string asked = Seen(std::string(CmdName(m_session->Applier().IdentityCmd())));
    if (!asked.empty())
        return asked;
    const std::string imei = Seen("IMEI");
    return imei.empty() ? Seen("MEID") : imei;
}

void TProvisioning::PrintProgress(TLogKind kind, const QString &text)
{
    if (m_probing)
        return;
    // Quiet runs still say why the port would not open.
    if (m_request.quiet && !(m_opening && kind == TLogKind::Warn && !m_portMissingTold))
        return;
    if (m_opening && m_portMissingTold)
        return;
    QString flat = text;
    flat.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QString line = flat.split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
    const char *prefix = "";
    const char *colour = nullptr;
    switch (kind) {
    case TLogKind::Rx:
        prefix = "[Rx<-] ";
        colour = kGreen;
        break;
    case TLogKind::RxOther:
        prefix = "[Rx<-] ";
        break;
    case TLogKind::Tx:
        prefix = "[Tx->] ";
        colour = kBlue;
        break;
    case TLogKind::Warn:
        prefix = "[Warn] ";
        colour = kRed;
        break;
    case TLogKind::Info:
        break;
    }
    Line(m_progress, prefix + EscapeControls(line.toStdString()), colour);
}

void TProvisioning::PrintFindings(const std::vector<TFinding> &findings)
{
    // The values are the device's: shown escaped like everything else it sends.
    for (const TFinding &finding : findings) {
        Line(m_result, EscapeControls(finding.line));
        m_device.details.push_back(EscapeControls(finding.brief));
    }
}

void TProvisioning::Error(const std::string &text)
{
    Line(m_progress, EscapeControls(text), kRed);
    if (m_device.collecting)
        m_device.details.push_back(EscapeControls(text));
}

void TProvisioning::Line(std::ostream &out, const std::string &text, const char *colour)
{
    // One write per line: the runs of other ports write to the same terminal.
    const bool paint = m_request.colour && colour != nullptr;
    std::string line = m_request.prefix.empty() ? std::string() : m_request.prefix + ": ";
    line += (paint ? colour : "") + text + (paint ? kReset : "") + '\n';
    out << line << std::flush;
}

} // namespace m845
