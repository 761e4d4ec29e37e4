// The panel's captions, list items and hints in the current language.

#include "ui/panel/parampanel.h"

#include <array>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "lang/langlist.h"
#include "ui/common/textsetters.h"
#include "ui/common/uitext.h"
#include "ui/panel/parampanel_regdata.h"

namespace m845 {

void TParamPanel::ApplyTexts(const std::function<void()> &setIdentityItem)
{
    for (const TTextStep step :
         {TTextStep::WorkMode, TTextStep::Captions, TTextStep::ComboItems, TTextStep::Hints})
        ApplyTexts(step, setIdentityItem);
}

void TParamPanel::ApplyTexts(TTextStep step, const std::function<void()> &setIdentityItem)
{
    switch (step) {
    case TTextStep::WorkMode:
        ApplyWorkModeTexts();
        break;
    case TTextStep::Captions:
        ApplyCaptions();
        break;
    case TTextStep::ComboItems:
        ApplyComboItems(setIdentityItem);
        break;
    case TTextStep::Hints:
        ApplyHints();
        break;
    }
}

void TParamPanel::ApplyWorkModeTexts()
{
    // UDC is left out: its diagram keeps the language it was loaded in.
    if (m_rbNetTran->isChecked())
        RbWkmokClick(m_rbNetTran);
    else if (m_rbHttpd->isChecked())
        RbWkmokClick(m_rbHttpd);
    else if (m_rbSmsTran->isChecked())
        RbWkmokClick(m_rbSmsTran);
}

void TParamPanel::ApplyCaptions()
{
    SetCaptionByKey(m_rzgrpbxWkmod, "lang_rzgrpbxWkmod");
    SetCaptionByKey(m_rbNetTran, "lang_rbNetTran");
    SetCaptionByKey(m_rbUdc, "lang_rbUdc");
    SetCaptionByKey(m_rbHttpd, "lang_rbHttpd");
    SetCaptionByKey(m_rbSmsTran, "lang_rbSmsTran");
    SetParamGroupCaption();
    static constexpr std::array<const char *, 4> kLetters{"A", "B", "C", "D"};
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const SocketRow &row = m_rows.at(i);
        SetCaptionByKeyWithSuffix(row.enable, "lang_rzchckbxSkt",
                                  QString::fromLatin1(kLetters.at(i)));
        SetCaptionByKey(row.lblIpAndPort, "lang_lblIpAndPort");
        SetCaptionByKey(row.lblLinkType, "lang_lblLinkTpye");
        SetCaptionByKey(row.lblTo, "lang_OverTimeS");
    }
    SetEditLabelByKey(m_lbledtSockRsTimLabel, m_lbledtSockRsTim, "lang_lbledtSockRsTim");
    SetCaptionByKey(m_rzchckbxHeartEn, "lang_rzchckbxHeartEn");
    SetCaptionByKey(m_lblHeartTm, "lang_lblHeartTm");
    SetCaptionByKey(m_lblHeartDt, "lang_lblHeartDt");
    SetCaptionByKey(m_lblHeartSnd, "lang_lblHeartSnd");
    SetCaptionByKey(m_rzchckbxRegEn, "lang_rzchckbxRegEn");
    SetCaptionByKey(m_lblRegSnd, "lang_lblRegSnd");
    SetCaptionByKey(m_lblRegTp, "lang_lblRegTp");
    SetCaptionByKey(m_rzchckbxSOCKIND, "lang_rzchckbxSOCKIND");
    SetCaptionByKey(m_lblHTPTP, "lang_lblHTPTP");
    SetCaptionByKey(m_lblHTPURL, "lang_lblHTPURL");
    SetCaptionByKey(m_lblHTPSVIP, "lang_lblHTPSVIP");
    SetCaptionByKey(m_lblHTPSVPort, "lang_lblHTPSVPort");
    SetCaptionByKey(m_lblHTPHD, "lang_lblHTPHD");
    SetCaptionByKey(m_lblHtpTo, "lang_OverTimeS");
    SetCaptionByKey(m_rzchckbxHtpFlt, "lang_rzchckbxHtpFlt");
    SetCaptionByKey(m_lblDSTNUM, "lang_lblDSTNUM");
    SetCaptionByKey(m_rzchckbxSMSFLT, "lang_rzchckbxSMSFLT");
    SetCaptionByKey(m_rzchckbxSMSPH, "lang_rzchckbxSMSPH");
    SetCaptionByKey(m_rzgrpbxBase, "lang_rzgrpbxBase");
    SetCaptionByKey(m_lblUart, "lang_lblUart");
    SetCaptionByKey(m_lblBaud, "lang_lblBaud");
    SetCaptionByKey(m_lblPDS, "lang_lblOpenPDS");
    SetCaptionByKey(m_lblFlow, "lang_lblOpenFlow");
    SetCaptionByKey(m_rzchckbxMore, "lang_rzchckbxMore");
    SetCaptionByKey(m_rzchckbxRFC, "lang_rzchckbxRFC");
    SetCaptionByKey(m_lblUARTFT, "lang_lblUARTFT");
    SetCaptionByKey(m_lblUARTFL, "lang_lblUARTFL");
    SetCaptionByKey(m_rzchckbxE, "lang_rzchckbxE");
    SetEditLabelByKey(m_lbledtCmdPwLabel, m_lbledtCmdPw, "lang_lbledtCmdPw");
    SetEditLabelByKey(m_lbledtStMsgLabel, m_lbledtStMsg, "lang_lbledtStMsg");
    SetEditLabelByKey(m_lbledtApnLabel, m_lbledtApn, "lang_lbledtApn");
    SetEditLabelByKey(m_lbledtRsTimLabel, m_lbledtRsTim, "lang_lbledtRsTim");
    ApplyAccessibleNames();
}

void TParamPanel::ApplyAccessibleNames()
{
    // Labels have no buddy (it would turn an '&' of a caption into a shortcut), so each edit
    // takes its label's words as its name; a screen reader says what the eye reads.
    const std::pair<QLineEdit *, QLabel *> labelled[] = {
        {m_edtUARTFT, m_lblUARTFT},     {m_edtUARTFL, m_lblUARTFL},
        {m_edtDSTNUM, m_lblDSTNUM},     {m_edtHTPURL, m_lblHTPURL},
        {m_edtHTPSVIP, m_lblHTPSVIP},   {m_edtHTPSVPort, m_lblHTPSVPort},
        {m_edtHtpTo, m_lblHtpTo},       {m_edtHTPHD, m_lblHTPHD},
        {m_edtHeartTm, m_lblHeartTm},   {m_edtHeartDt, m_lblHeartDt},
        {m_cbbRegDt, m_lblRegDt},       {m_edtUdcId, m_lblUdcId},
    };
    for (const auto &[edit, label] : labelled)
        edit->setAccessibleName(label->text().trimmed());
    m_edtCloudPa->setAccessibleName(detail::Lang("lang_edtCloudPa"));
    static constexpr std::array<const char *, 4> kLetters{"A", "B", "C", "D"};
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const std::string letter = kLetters.at(i);
        const SocketRow &row = m_rows.at(i);
        row.addr->setAccessibleName(QString::fromStdString(LangFormat("lang_edtAddr", {letter})));
        row.port->setAccessibleName(QString::fromStdString(LangFormat("lang_edtPort", {letter})));
        row.timeOut->setAccessibleName(
            QString::fromStdString(LangFormat("lang_edtSockTo", {letter})));
    }
}

void TParamPanel::ApplyComboItems(const std::function<void()> &setIdentityItem)
{
    for (const SocketRow &row : m_rows) {
        SetComboItemByKey(row.connKind, 0, "lang_cbbASL0");
        SetComboItemByKey(row.connKind, 1, "lang_cbbASL1");
    }
    SetComboItemByKey(m_cbbHeartSnd, 0, "lang_cbbHeartSnd0");
    SetComboItemByKey(m_cbbHeartSnd, 1, "lang_cbbHeartSnd1");
    SetComboItemByKey(m_cbbRegSnd, 0, "lang_cbbRegSnd0");
    SetComboItemByKey(m_cbbRegSnd, 1, "lang_cbbRegSnd1");
    SetComboItemByKey(m_cbbRegTp, 0, "lang_cbbRegTp0");
    if (setIdentityItem)
        setIdentityItem();
    SetComboItemByKey(m_cbbRegTp, 2, "lang_cbbRegTp3");
    SetComboItemByKey(m_cbbRegTp, 3, "lang_cbbRegTp4");
    CbbRegTpChange();
}

void TParamPanel::ApplyHints()
{
    for (QWidget *control : {static_cast<QWidget *>(m_cbbBaud), static_cast<QWidget *>(m_cbbFlow),
                             static_cast<QWidget *>(m_cbbP), static_cast<QWidget *>(m_cbbD),
                             static_cast<QWidget *>(m_cbbS), m_imgCKZD})
        SetHintByKey(control, "hint_cbbUart");
    SetHintByKey(m_rows[0].enable, "hint_chkEn");
    SetHintByKey(m_rzchckbxHeartDtHex, "hint_chkHex");
    SetHintByKey(m_rzchckbxRegDtHex, "hint_chkHex");
}

} // namespace m845
