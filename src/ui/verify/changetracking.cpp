#include "ui/verify/changetracking.h"

#include <QStringList>

#include "lang/langlist.h"
#include "ui/panel/changemarks.h"
#include "ui/panel/parampanel.h"

namespace m845 {

namespace {

QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

TChangeTracking::TChangeTracking(TParamPanel &panel)
    : m_panel(panel)
    , m_marks(std::make_unique<TChangeMarks>(panel))
{
    connect(m_marks.get(), &TChangeMarks::PanelEdited, this, &TChangeTracking::Refresh);
    Read(TReadSource::Start);
}

TChangeTracking::~TChangeTracking() = default;

void TChangeTracking::Read(TReadSource source, std::set<TCmd> notReported)
{
    m_read.Read(TakePanelValues(m_panel), source, std::move(notReported));
    m_device.clear();
    Refresh();
}

void TChangeTracking::SetDeviceValues(std::map<TCmd, std::string> deviceValues)
{
    m_device = std::move(deviceValues);
    m_verified = TakePanelValues(m_panel);
    Refresh();
}

std::vector<TValueDifference> TChangeTracking::Changes() const
{
    return m_read.Changes(TakePanelValues(m_panel));
}

std::string TChangeTracking::StatusText() const
{
    const std::size_t count = Changes().size();
    if (count == 0)
        return LangText("info_ChangedNone");
    if (count == 1)
        return LangText("info_ChangedOne");
    return LangFormat("info_ChangedMany", {std::to_string(count)});
}

std::vector<std::string> TChangeTracking::ChangeLines() const
{
    std::vector<std::string> lines;
    for (const TValueDifference &change : Changes())
        lines.push_back(
            LangFormat("info_ChangeLine",
                       {CmdName(change.cmd), ShownValue(change.before), ShownValue(change.after)}));
    return lines;
}

void TChangeTracking::Refresh()
{
    struct TOne
    {
        TCmd cmd;
        TControlMark mark;
    };
    std::vector<TOne> marks;
    const auto add
        = [&marks](TCmd cmd, const std::string &control, TMarkKind kind, const std::string &text) {
              marks.push_back({cmd, {Q(control), kind, Q(text)}});
          };
    const TPanelValues now = TakePanelValues(m_panel);
    for (const TCmd cmd : m_read.NotReported()) {
        for (const std::string &control : ShowingControls(cmd, now.at(cmd)))
            add(cmd, control, TMarkKind::NotRead, LangText("info_MarkNotRead"));
    }
    // Each control tells its own part: the port box of a socket its old port.
    for (const TValueDifference &change : m_read.Changes(now)) {
        for (const TFieldDifference &field :
             DifferingControls(change.cmd, change.before, change.after))
            add(change.cmd, field.control, TMarkKind::Changed,
                LangFormat("info_MarkWas", {ShownValue(field.before)}));
    }
    for (const auto &[cmd, device] : m_device) {
        for (const TFieldDifference &field : DifferingControls(cmd, device, m_verified[cmd]))
            add(cmd, field.control, TMarkKind::Differs,
                LangFormat("info_MarkDevice", {ShownValue(field.before)}));
    }

    // A control that shows several parameters (the registration data box) names each.
    std::map<QString, std::set<TCmd>> commandsOf;
    for (const TOne &one : marks)
        commandsOf[one.mark.control].insert(one.cmd);
    std::vector<TControlMark> shown;
    for (TOne &one : marks) {
        if (commandsOf[one.mark.control].size() > 1)
            one.mark.text = Q(std::string(CmdName(one.cmd))) + QLatin1Char(' ') + one.mark.text;
        shown.push_back(std::move(one.mark));
    }
    m_marks->SetMarks(shown);

    QStringList detail;
    for (const std::string &line : ChangeLines())
        detail << Q(line);
    m_marks->SetStatus(Q(StatusText()), detail.join(QLatin1Char('\n')));
}

} // namespace m845
