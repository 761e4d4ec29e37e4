#include "protocol/reply.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "core/log.h"
#include "lang/langlist.h"
#include "protocol/valueforms.h"
#include "support/encoding.h"
#include "support/version.h"

namespace m845 {

namespace {

constexpr std::string_view kReplyStart = "\r\n+";
constexpr std::string_view kBlankLine = "\r\n\r\n";
// A block with more "+" than this is only logged: no single reply carries that many.
constexpr int kMaxPlusInReply = 5;

std::string RemoveAll(std::string_view text, std::string_view what)
{
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, from)) {
        out.append(text.substr(from, at - from));
        from = at + what.size();
    }
    out.append(text.substr(from));
    return out;
}

} // namespace

std::string TextBetween(std::string_view s, std::string_view a, std::string_view b)
{
    if (s.empty())
        return {};
    // 1-based positions with 0 for a missing marker, as the reply forms were defined.
    const auto position = [s](std::string_view marker) -> std::int64_t {
        if (marker.empty())
            return 0;
        const auto at = s.find(marker);
        return at == std::string_view::npos ? 0 : static_cast<std::int64_t>(at) + 1;
    };
    const std::int64_t first = std::max<std::int64_t>(position(a) + std::ssize(a), 1);
    const std::int64_t last = position(b) - 1;
    if (last < first)
        return {};
    return std::string(
        s.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1)));
}

THdVerSign VersionClass(std::string_view text)
{
    // A text that is no version gives -1, which as an unsigned 32-bit number is out of range.
    const auto n = static_cast<std::uint32_t>(VersionNumber(text));
    if (n >= 10000 && n <= 19999)
        return THdVerSign::HdAlder;
    if (n >= 20000 && n <= 29999)
        return THdVerSign::HdBirch;
    return THdVerSign::HdUnknown;
}

TReplyApplier::TReplyApplier(IPanel &panel, ILog &log)
    : m_panel(panel)
    , m_log(log)
{}

void TReplyApplier::ParseReply(std::string_view rx, std::string_view lastSentText)
{
    m_log.LogRx(rx);
    if (rx == lastSentText)
        return;
    if (std::count(rx.begin(), rx.end(), '+') > kMaxPlusInReply)
        return;
    const std::string name = TextBetween(rx, kReplyStart, ":");
    if (name.empty())
        return;
    // An echoed query leaves a blank line before "+": removing the markers joins it up.
    const std::string joined = RemoveAll(rx, kReplyStart);
    const std::string value = TextBetween(joined, ":", kBlankLine);
    ApplyValue(name, GbkToUtf8(value));
}

int TReplyApplier::AddValueObserver(
    std::function<void(std::string_view name, std::string_view value)> hook)
{
    m_observers.emplace_back(++m_lastObserverId, std::move(hook));
    return m_lastObserverId;
}

void TReplyApplier::RemoveValueObserver(int id)
{
    std::erase_if(m_observers, [id](const auto &observer) { return observer.first == id; });
}

void TReplyApplier::ApplyValue(std::string_view name, std::string_view value)
{
    if (m_valueObserver)
        m_valueObserver(name, value);
    for (const auto &observer : m_observers)
        observer.second(name, value);
    if (m_valueFilter && !m_valueFilter(name, value))
        return;
    const TCmd cmd = CmdOfName(name);
    if (static_cast<int>(cmd) >= kCmdCount)
        return;
    IPanel &p = m_panel;
    switch (cmd) {
    case TCmd::E:
        CheckFromOnOff(p, PanelCheck::E, value);
        break;
    case TCmd::Z:
        m_log.LogInfo(LangText("info_Restarting"));
        break;
    case TCmd::VER:
        SetHardwareSign(THdVerSign::HdCedar);
        ContinueOperation();
        break;
    case TCmd::HDVER:
        SetHardwareSign(VersionClass(value));
        ContinueOperation();
        break;
    case TCmd::ICCID:
    case TCmd::MEID:
    case TCmd::IMEI:
    case TCmd::CLOUD:
    case TCmd::ID:
        SetChoiceFromText(p, cmd, PanelCombo::RegDt, value);
        break;
    case TCmd::STMSG:
        p.SetEditText(PanelEdit::StMsg, value);
        break;
    case TCmd::WKMOD:
        SetWorkModeFromText(p, value);
        break;
    case TCmd::CMDPW:
        p.SetEditText(PanelEdit::CmdPw, value);
        break;
    case TCmd::UART:
    case TCmd::APN:
    case TCmd::HTPSV:
        SetListFromText(p, cmd, value);
        break;
    case TCmd::RFCEN:
        CheckFromOnOff(p, PanelCheck::RFC, value);
        break;
    case TCmd::UARTFT:
        p.SetEditText(PanelEdit::UARTFT, value);
        break;
    case TCmd::UARTFL:
        p.SetEditText(PanelEdit::UARTFL, value);
        break;
    case TCmd::SOCKA:
    case TCmd::SOCKB:
    case TCmd::SOCKC:
    case TCmd::SOCKD:
        SetSocketFromText(p, cmd, value);
        break;
    case TCmd::SOCKAEN:
        CheckFromOnOff(p, PanelCheck::SktA, value);
        break;
    case TCmd::SOCKBEN:
        CheckFromOnOff(p, PanelCheck::SktB, value);
        break;
    case TCmd::SOCKCEN:
        CheckFromOnOff(p, PanelCheck::SktC, value);
        break;
    case TCmd::SOCKDEN:
        CheckFromOnOff(p, PanelCheck::SktD, value);
        break;
    case TCmd::SOCKASL:
        SetChoiceFromText(p, cmd, PanelCombo::ASL, value);
        break;
    case TCmd::SOCKBSL:
        SetChoiceFromText(p, cmd, PanelCombo::BSL, value);
        break;
    case TCmd::SOCKCSL:
        SetChoiceFromText(p, cmd, PanelCombo::CSL, value);
        break;
    case TCmd::SOCKDSL:
        SetChoiceFromText(p, cmd, PanelCombo::DSL, value);
        break;
    case TCmd::SOCKATO:
        p.SetEditText(PanelEdit::SockATo, value);
        break;
    case TCmd::SOCKBTO:
        p.SetEditText(PanelEdit::SockBTo, value);
        break;
    case TCmd::SOCKCTO:
        p.SetEditText(PanelEdit::SockCTo, value);
        break;
    case TCmd::SOCKDTO:
        p.SetEditText(PanelEdit::SockDTo, value);
        break;
    case TCmd::SOCKRSTIM:
        p.SetEditText(PanelEdit::SockRsTim, value);
        break;
    case TCmd::SOCKIND:
        CheckFromOnOff(p, PanelCheck::SOCKIND, value);
        break;
    case TCmd::REGEN:
        CheckFromOnOff(p, PanelCheck::RegEn, value);
        break;
    case TCmd::REGTP:
        SetChoiceFromText(p, cmd, PanelCombo::RegTp, value);
        break;
    case TCmd::REGDT: {
        // The device reports the data in hexadecimal: the box must show it as such first.
        const int shown = p.ComboIndex(PanelCombo::RegDt);
        p.SetChecked(PanelCheck::RegDtHex, true);
        SetChoiceFromText(p, cmd, PanelCombo::RegDt, value);
        // Ticking a clear Hex box moved the box onto the converted old text, which the next
        // write-all would send: show the device's value (user data) or what was shown before.
        if (p.ComboIndex(PanelCombo::RegTp) == 3)
            p.SetComboIndex(PanelCombo::RegDt, 3);
        else if (p.ComboIndex(PanelCombo::RegDt) != shown)
            p.SetComboIndex(PanelCombo::RegDt, shown);
        break;
    }
    case TCmd::REGSND:
        SetChoiceFromText(p, cmd, PanelCombo::RegSnd, value);
        break;
    case TCmd::HEARTEN:
        CheckFromOnOff(p, PanelCheck::HeartEn, value);
        break;
    case TCmd::HEARTDT:
        // The box's reaction converts the old text first; the value then replaces it.
        p.SetChecked(PanelCheck::HeartDtHex, true);
        p.SetEditText(PanelEdit::HeartDt, value);
        break;
    case TCmd::HEARTSND:
        SetChoiceFromText(p, cmd, PanelCombo::HeartSnd, value);
        break;
    case TCmd::HEARTTM:
        p.SetEditText(PanelEdit::HeartTm, value);
        break;
    case TCmd::HTPTP:
        SelectComboText(p, PanelCombo::HTPTP, value);
        break;
    case TCmd::HTPURL:
        p.SetEditText(PanelEdit::HTPURL, value);
        break;
    case TCmd::HTPHD:
        p.SetEditText(PanelEdit::HTPHD, value);
        break;
    case TCmd::HTPTO:
        p.SetEditText(PanelEdit::HtpTo, value);
        break;
    case TCmd::HTPFLT:
        CheckFromOnOff(p, PanelCheck::HtpFlt, value);
        break;
    case TCmd::DSTNUM:
        p.SetEditText(PanelEdit::DSTNUM, value);
        break;
    case TCmd::SMSFLT:
        CheckFromOnOff(p, PanelCheck::SMSFLT, value);
        break;
    case TCmd::SMSPH:
        CheckFromOnOff(p, PanelCheck::SMSPH, value);
        break;
    case TCmd::RSTIM:
        p.SetEditText(PanelEdit::RsTim, value);
        break;
    default:
        // H, ENTM, SN, RELD, CLEAR, CFGTF, the link states and CSQ stay in the log only.
        break;
    }
}

void TReplyApplier::SetHardwareSign(THdVerSign sign)
{
    m_hardwareSign = sign;
    switch (sign) {
    case THdVerSign::HdUnknown:
        m_log.LogWarn(LangText("info_PlsUpFw"));
        break;
    case THdVerSign::HdAlder:
        m_panel.SetComboItem(PanelCombo::RegTp, 1, LangText("lang_cbbRegTp1_MEID"));
        m_identityCmd = TCmd::MEID;
        break;
    case THdVerSign::HdBirch:
    case THdVerSign::HdCedar:
        m_panel.SetComboItem(PanelCombo::RegTp, 1, LangText("lang_cbbRegTp1_IMEI"));
        m_identityCmd = TCmd::IMEI;
        break;
    default:
        break;
    }
}

void TReplyApplier::ContinueOperation()
{
    if (m_continueOperation)
        m_continueOperation();
}

} // namespace m845
