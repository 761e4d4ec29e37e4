#include "protocol/valueforms.h"

#include <algorithm>
#include <iterator>

#include "support/conversions.h"

namespace m845 {

namespace {

// Selects item 0 or 1 of a two-keyword list; anything else keeps the selection.
void SelectKeyword(IPanel &panel, PanelCombo box, std::string_view text, std::string_view item0,
                   std::string_view item1)
{
    if (text == item0)
        panel.SetComboIndex(box, 0);
    else if (text == item1)
        panel.SetComboIndex(box, 1);
}

struct TSocketRow
{
    TCmd cmd;
    int row;
    PanelCombo protocol;
    PanelEdit addr;
    PanelEdit port;
};


constexpr TSocketRow kSocketRows[] = {
    {TCmd::SOCKA, 0, PanelCombo::ProtocolA, PanelEdit::AddrA, PanelEdit::PortA},
    {TCmd::SOCKB, 1, PanelCombo::ProtocolB, PanelEdit::AddrB, PanelEdit::PortB},
    {TCmd::SOCKC, 2, PanelCombo::ProtocolC, PanelEdit::AddrC, PanelEdit::PortC},
    {TCmd::SOCKD, 3, PanelCombo::ProtocolD, PanelEdit::AddrD, PanelEdit::PortD},
};


} // namespace

void CheckFromOnOff(IPanel &panel, PanelCheck box, std::string_view text)
{
    if (text == "ON")
        panel.SetChecked(box, true);
    else if (text == "OFF")
        panel.SetChecked(box, false);
    // Inverting twice runs the click reaction even when the state did not change.
    const bool state = panel.Checked(box);
    panel.SetChecked(box, !state);
    panel.SetChecked(box, state);
}

void SelectComboText(IPanel &panel, PanelCombo box, std::string_view text)
{
    const int count = panel.ComboCount(box);
    for (int i = 0; i < count; ++i) {
        if (EqualsNoCase(panel.ComboItem(box, i), text)) {
            panel.SetComboIndex(box, i);
            return;
        }
    }
    panel.SetComboIndex(box, -1);
}

void SetWorkModeFromText(IPanel &panel, std::string_view text)
{
    for (PanelRadio r :
         {PanelRadio::NetTran, PanelRadio::Httpd, PanelRadio::SmsTran, PanelRadio::Udc})
        panel.SetRadioChecked(r, false);
    if (text == "NET")
        panel.SetRadioChecked(PanelRadio::NetTran, true);
    else if (text == "HTTPD")
        panel.SetRadioChecked(PanelRadio::Httpd, true);
    else if (text.find("SMS") != std::string_view::npos)
        panel.SetRadioChecked(PanelRadio::SmsTran, true);
    else if (text.find("UDC") != std::string_view::npos)
        panel.SetRadioChecked(PanelRadio::Udc, true);
}

void SetChoiceFromText(IPanel &panel, TCmd cmd, PanelCombo box, std::string_view text)
{
    switch (cmd) {
    case TCmd::ICCID:
        panel.SetComboItem(box, 0, text);
        break;
    case TCmd::MEID:
    case TCmd::IMEI:
        panel.SetComboItem(box, 1, text);
        break;
    case TCmd::REGDT:
        panel.SetComboItem(box, 3, text);
        break;
    case TCmd::CLOUD: {
        const auto fields = SplitCommaText(text);
        if (fields.size() == 2) {
            panel.SetComboItem(box, 2, fields[0]);
            panel.SetEditText(PanelEdit::CloudPa, fields[1]);
        }
        break;
    }
    case TCmd::ID:
        panel.SetEditText(PanelEdit::UdcId, text);
        break;
    case TCmd::SOCKASL:
    case TCmd::SOCKBSL:
    case TCmd::SOCKCSL:
    case TCmd::SOCKDSL:
        SelectKeyword(panel, box, text, "SHORT", "LONG");
        break;
    case TCmd::REGTP:
        if (text == "ICCID")
            panel.SetComboIndex(box, 0);
        else if (text == "MEID" || text == "IMEI")
            panel.SetComboIndex(box, 1);
        else if (text == "CLOUD")
            panel.SetComboIndex(box, 2);
        else if (text == "USER")
            panel.SetComboIndex(box, 3);
        panel.RegTpChange();
        break;
    case TCmd::REGSND:
        SelectKeyword(panel, box, text, "LINK", "DATA");
        break;
    case TCmd::HEARTSND:
        SelectKeyword(panel, box, text, "NET", "COM");
        break;
    default:
        break;
    }
}

void SetListFromText(IPanel &panel, TCmd cmd, std::string_view text)
{
    switch (cmd) {
    case TCmd::UART: {
        const auto fields = SplitCommaText(text);
        if (fields.size() != 4 && fields.size() != 5)
            break;
        const PanelCombo boxes[]
            = {PanelCombo::Baud, PanelCombo::D, PanelCombo::S, PanelCombo::P, PanelCombo::Flow};
        for (std::size_t i = 0; i < fields.size(); ++i)
            SelectComboText(panel, boxes[i], fields[i]);
        break;
    }
    case TCmd::APN:
        panel.SetEditText(PanelEdit::Apn, text);
        break;
    case TCmd::HTPSV: {
        const auto fields = SplitCommaText(text);
        if (fields.size() == 2) {
            panel.SetEditText(PanelEdit::HTPSVIP, fields[0]);
            panel.SetEditText(PanelEdit::HTPSVPort, fields[1]);
        }
        break;
    }
    default:
        break;
    }
}

void SetSocketFromText(IPanel &panel, TCmd cmd, std::string_view text)
{
    const auto *row = std::find_if(std::begin(kSocketRows), std::end(kSocketRows),
                                   [cmd](const TSocketRow &r) { return r.cmd == cmd; });
    if (row == std::end(kSocketRows))
        return;
    const auto fields = SplitCommaText(text);
    if (fields.size() != 3)
        return;
    SelectComboText(panel, row->protocol, fields[0]);
    panel.SetEditText(row->addr, fields[1]);
    panel.SetEditText(row->port, fields[2]);
    panel.ProtocolChange(row->row);
}

std::string OnOffFromCheck(const IPanel &panel, PanelCheck box)
{
    return panel.Checked(box) ? "ON" : "OFF";
}

std::string UartText(const IPanel &panel)
{
    return panel.ComboText(PanelCombo::Baud) + ',' + panel.ComboText(PanelCombo::D) + ','
           + panel.ComboText(PanelCombo::S) + ',' + panel.ComboText(PanelCombo::P);
}

} // namespace m845
