#pragma once

// The parameter panel as the non-window code (reply applying, write-all list, configuration)
// sees it. The panel's controls are the only store of parameter values. Texts are UTF-8;
// the protocol converts to and from the device's GBK at the wire.

#include <cstdint>
#include <string>
#include <string_view>

namespace m845 {

// Check boxes, named as the window names them without the rzchckbx prefix.
enum class PanelCheck : std::uint8_t {
    E,
    RFC,
    SktA,
    SktB,
    SktC,
    SktD,
    SOCKIND,
    RegEn,
    RegDtHex,
    HeartEn,
    HeartDtHex,
    HtpFlt,
    SMSFLT,
    SMSPH,
    More,
};

// Work-mode radio buttons rbNetTran, rbHttpd, rbSmsTran, rbUdc.
enum class PanelRadio : std::uint8_t { NetTran, Httpd, SmsTran, Udc };

// Drop-down lists (cbb prefix dropped). RegDt is the registration data box: five stored
// entries and an edit field that shows the selected one.
enum class PanelCombo : std::uint8_t {
    Baud,
    D,
    S,
    P,
    Flow,
    ProtocolA,
    ProtocolB,
    ProtocolC,
    ProtocolD,
    ASL,
    BSL,
    CSL,
    DSL,
    RegTp,
    RegSnd,
    HeartSnd,
    HTPTP,
    RegDt,
};

// Edit boxes (edt / lbledt prefix dropped).
enum class PanelEdit : std::uint8_t {
    StMsg,
    CmdPw,
    Apn,
    RsTim,
    SockRsTim,
    UARTFT,
    UARTFL,
    AddrA,
    AddrB,
    AddrC,
    AddrD,
    PortA,
    PortB,
    PortC,
    PortD,
    SockATo,
    SockBTo,
    SockCTo,
    SockDTo,
    HeartDt,
    HeartTm,
    HTPURL,
    HTPHD,
    HtpTo,
    HTPSVIP,
    HTPSVPort,
    DSTNUM,
    CloudPa,
    UdcId,
};

class IPanel
{
public:
    virtual ~IPanel() = default;

    [[nodiscard]] virtual bool Checked(PanelCheck box) const = 0;
    // As a click would: the box's reaction runs when the state changes.
    virtual void SetChecked(PanelCheck box, bool checked) = 0;

    [[nodiscard]] virtual bool RadioChecked(PanelRadio button) const = 0;
    // true checks the button (the others clear) and runs the work-mode reaction unless it was
    // checked already; false clears it and runs nothing.
    virtual void SetRadioChecked(PanelRadio button, bool checked) = 0;

    // -1 when nothing is selected. Setting the index runs no change reaction.
    [[nodiscard]] virtual int ComboIndex(PanelCombo box) const = 0;
    virtual void SetComboIndex(PanelCombo box, int index) = 0;
    // The displayed text (for RegDt the edit field).
    [[nodiscard]] virtual std::string ComboText(PanelCombo box) const = 0;
    [[nodiscard]] virtual int ComboCount(PanelCombo box) const = 0;
    [[nodiscard]] virtual std::string ComboItem(PanelCombo box, int index) const = 0;
    // Replaces one item's text and keeps the selection; an index out of range is ignored.
    virtual void SetComboItem(PanelCombo box, int index, std::string_view text) = 0;

    [[nodiscard]] virtual std::string EditText(PanelEdit box) const = 0;
    virtual void SetEditText(PanelEdit box, std::string_view text) = 0;

    // Reactions that the applying code runs by hand after it sets a protocol or a
    // registration type. row: 0 = A ... 3 = D.
    virtual void ProtocolChange(int row) = 0;
    virtual void RegTpChange() = 0;
};

// 0 NET, 1 HTTPD, 2 SMS, 3 UDC, 4 none, tested in that order.
[[nodiscard]] inline int WorkModeIndex(const IPanel &panel)
{
    const PanelRadio order[]
        = {PanelRadio::NetTran, PanelRadio::Httpd, PanelRadio::SmsTran, PanelRadio::Udc};
    for (int i = 0; i < 4; ++i) {
        if (panel.RadioChecked(order[i]))
            return i;
    }
    return 4;
}

} // namespace m845
