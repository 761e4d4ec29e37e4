// The IPanel view of the panel's controls: the protocol code reads and writes them here.

#include "ui/panel/parampanel.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "ui/panel/parampanel_regdata.h"

namespace m845 {
namespace {

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QCheckBox *TParamPanel::CheckBoxOf(PanelCheck box) const
{
    switch (box) {
    case PanelCheck::E:
        return m_rzchckbxE;
    case PanelCheck::RFC:
        return m_rzchckbxRFC;
    case PanelCheck::SktA:
        return m_rows[0].enable;
    case PanelCheck::SktB:
        return m_rows[1].enable;
    case PanelCheck::SktC:
        return m_rows[2].enable;
    case PanelCheck::SktD:
        return m_rows[3].enable;
    case PanelCheck::SOCKIND:
        return m_rzchckbxSOCKIND;
    case PanelCheck::RegEn:
        return m_rzchckbxRegEn;
    case PanelCheck::RegDtHex:
        return m_rzchckbxRegDtHex;
    case PanelCheck::HeartEn:
        return m_rzchckbxHeartEn;
    case PanelCheck::HeartDtHex:
        return m_rzchckbxHeartDtHex;
    case PanelCheck::HtpFlt:
        return m_rzchckbxHtpFlt;
    case PanelCheck::SMSFLT:
        return m_rzchckbxSMSFLT;
    case PanelCheck::SMSPH:
        return m_rzchckbxSMSPH;
    case PanelCheck::More:
        return m_rzchckbxMore;
    }
    return nullptr;
}

QRadioButton *TParamPanel::RadioOf(PanelRadio button) const
{
    switch (button) {
    case PanelRadio::NetTran:
        return m_rbNetTran;
    case PanelRadio::Httpd:
        return m_rbHttpd;
    case PanelRadio::SmsTran:
        return m_rbSmsTran;
    case PanelRadio::Udc:
        return m_rbUdc;
    }
    return nullptr;
}

QComboBox *TParamPanel::ComboOf(PanelCombo box) const
{
    switch (box) {
    case PanelCombo::Baud:
        return m_cbbBaud;
    case PanelCombo::D:
        return m_cbbD;
    case PanelCombo::S:
        return m_cbbS;
    case PanelCombo::P:
        return m_cbbP;
    case PanelCombo::Flow:
        return m_cbbFlow;
    case PanelCombo::ProtocolA:
        return m_rows[0].protocol;
    case PanelCombo::ProtocolB:
        return m_rows[1].protocol;
    case PanelCombo::ProtocolC:
        return m_rows[2].protocol;
    case PanelCombo::ProtocolD:
        return m_rows[3].protocol;
    case PanelCombo::ASL:
        return m_rows[0].connKind;
    case PanelCombo::BSL:
        return m_rows[1].connKind;
    case PanelCombo::CSL:
        return m_rows[2].connKind;
    case PanelCombo::DSL:
        return m_rows[3].connKind;
    case PanelCombo::RegTp:
        return m_cbbRegTp;
    case PanelCombo::RegSnd:
        return m_cbbRegSnd;
    case PanelCombo::HeartSnd:
        return m_cbbHeartSnd;
    case PanelCombo::HTPTP:
        return m_cbbHTPTP;
    case PanelCombo::RegDt:
        return nullptr;
    }
    return nullptr;
}

QLineEdit *TParamPanel::EditOf(PanelEdit box) const
{
    switch (box) {
    case PanelEdit::StMsg:
        return m_lbledtStMsg;
    case PanelEdit::CmdPw:
        return m_lbledtCmdPw;
    case PanelEdit::Apn:
        return m_lbledtApn;
    case PanelEdit::RsTim:
        return m_lbledtRsTim;
    case PanelEdit::SockRsTim:
        return m_lbledtSockRsTim;
    case PanelEdit::UARTFT:
        return m_edtUARTFT;
    case PanelEdit::UARTFL:
        return m_edtUARTFL;
    case PanelEdit::AddrA:
        return m_rows[0].addr;
    case PanelEdit::AddrB:
        return m_rows[1].addr;
    case PanelEdit::AddrC:
        return m_rows[2].addr;
    case PanelEdit::AddrD:
        return m_rows[3].addr;
    case PanelEdit::PortA:
        return m_rows[0].port;
    case PanelEdit::PortB:
        return m_rows[1].port;
    case PanelEdit::PortC:
        return m_rows[2].port;
    case PanelEdit::PortD:
        return m_rows[3].port;
    case PanelEdit::SockATo:
        return m_rows[0].timeOut;
    case PanelEdit::SockBTo:
        return m_rows[1].timeOut;
    case PanelEdit::SockCTo:
        return m_rows[2].timeOut;
    case PanelEdit::SockDTo:
        return m_rows[3].timeOut;
    case PanelEdit::HeartDt:
        return m_edtHeartDt;
    case PanelEdit::HeartTm:
        return m_edtHeartTm;
    case PanelEdit::HTPURL:
        return m_edtHTPURL;
    case PanelEdit::HTPHD:
        return m_edtHTPHD;
    case PanelEdit::HtpTo:
        return m_edtHtpTo;
    case PanelEdit::HTPSVIP:
        return m_edtHTPSVIP;
    case PanelEdit::HTPSVPort:
        return m_edtHTPSVPort;
    case PanelEdit::DSTNUM:
        return m_edtDSTNUM;
    case PanelEdit::CloudPa:
        return m_edtCloudPa;
    case PanelEdit::UdcId:
        return m_edtUdcId;
    }
    return nullptr;
}

bool TParamPanel::Checked(PanelCheck box) const
{
    const QCheckBox *check = CheckBoxOf(box);
    return check != nullptr && check->isChecked();
}

void TParamPanel::SetChecked(PanelCheck box, bool checked)
{
    if (QCheckBox *check = CheckBoxOf(box))
        check->setChecked(checked);
}

bool TParamPanel::RadioChecked(PanelRadio button) const
{
    const QRadioButton *radio = RadioOf(button);
    return radio != nullptr && radio->isChecked();
}

void TParamPanel::SetRadioChecked(PanelRadio button, bool checked)
{
    QRadioButton *radio = RadioOf(button);
    if (radio == nullptr || radio->isChecked() == checked)
        return;
    if (checked) {
        radio->setChecked(true);
        return;
    }
    // An exclusive button refuses to clear itself.
    radio->setAutoExclusive(false);
    radio->setChecked(false);
    radio->setAutoExclusive(true);
}

int TParamPanel::ComboIndex(PanelCombo box) const
{
    if (box == PanelCombo::RegDt)
        return m_cbbRegDt->ItemIndex();
    const QComboBox *combo = ComboOf(box);
    return combo != nullptr ? combo->currentIndex() : -1;
}

void TParamPanel::SetComboIndex(PanelCombo box, int index)
{
    if (box == PanelCombo::RegDt) {
        m_cbbRegDt->SetItemIndex(index);
        return;
    }
    QComboBox *combo = ComboOf(box);
    if (combo == nullptr)
        return;
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

std::string TParamPanel::ComboText(PanelCombo box) const
{
    if (box == PanelCombo::RegDt)
        return m_cbbRegDt->text().toStdString();
    const QComboBox *combo = ComboOf(box);
    return combo != nullptr ? combo->currentText().toStdString() : std::string();
}

int TParamPanel::ComboCount(PanelCombo box) const
{
    if (box == PanelCombo::RegDt)
        return TRegDataBox::kEntryCount;
    const QComboBox *combo = ComboOf(box);
    return combo != nullptr ? combo->count() : 0;
}

std::string TParamPanel::ComboItem(PanelCombo box, int index) const
{
    if (box == PanelCombo::RegDt)
        return m_cbbRegDt->Item(index).toStdString();
    const QComboBox *combo = ComboOf(box);
    if (combo == nullptr || index < 0 || index >= combo->count())
        return {};
    return combo->itemText(index).toStdString();
}

void TParamPanel::SetComboItem(PanelCombo box, int index, std::string_view text)
{
    if (box == PanelCombo::RegDt) {
        m_cbbRegDt->SetItem(index, FromUtf8(text));
        return;
    }
    QComboBox *combo = ComboOf(box);
    if (combo == nullptr || index < 0 || index >= combo->count())
        return;
    // setItemText keeps the selection, as replacing an item must.
    combo->setItemText(index, FromUtf8(text));
}

std::string TParamPanel::EditText(PanelEdit box) const
{
    const QLineEdit *edit = EditOf(box);
    return edit != nullptr ? edit->text().toStdString() : std::string();
}

void TParamPanel::SetEditText(PanelEdit box, std::string_view text)
{
    QLineEdit *edit = EditOf(box);
    if (edit == nullptr)
        return;
    const QString value = FromUtf8(text);
    // A code from a reply or the configuration file is never cut by the typing limit.
    if (edit == m_edtCloudPa)
        edit->setMaxLength(std::max<int>(kCloudCodeTyped, static_cast<int>(value.size())));
    edit->setText(value);
}

void TParamPanel::ProtocolChange(int row)
{
    if (row >= 0 && row < static_cast<int>(m_rows.size()))
        CbbProtocolChange(m_rows.at(static_cast<std::size_t>(row)).protocol);
}

void TParamPanel::RegTpChange()
{
    CbbRegTpChange();
}

} // namespace m845
