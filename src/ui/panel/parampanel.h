#pragma once

// The left side of the main window: work-mode choice with its diagram, the parameter page of
// the chosen mode and the global parameters below. The controls are the only store of the
// parameter values; the protocol code reads and writes them through IPanel.

#include <array>
#include <functional>

#include <QWidget>

#include "core/panel.h"
#include "ui/common/textsetters.h"
#include "ui/panel/widgetstates.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QRadioButton;
class QScrollArea;
class QStackedWidget;

namespace m845 {

class TRegDataBox;
class TWorkModeDiagram;

// Characters of the cloud communication code that may be typed.
inline constexpr int kCloudCodeTyped = 8;

class TParamPanel final : public QWidget, public IPanel
{
    Q_OBJECT

public:
    // Builds every control in the window's initial state: rbUdc checked, registration type
    // user data, empty data boxes. The start-up sequence then applies the configuration,
    // ApplyTexts() and checks rbNetTran.
    explicit TParamPanel(QWidget *parent = nullptr);
    ~TParamPanel() override;

    // The panel's share of applying texts, one step at a time: the work-mode reaction for a
    // checked NET/HTTPD/SMS button, captions, combo items (selection kept) with the
    // registration-type reaction, hints. Item 1 of cbbRegTp belongs to SetHardwareSign: pass
    // it as setIdentityItem and it runs between item 0 and items 2 and 3, before the reaction.
    void ApplyTexts(TTextStep step, const std::function<void()> &setIdentityItem = {});
    // All four steps in order.
    void ApplyTexts(const std::function<void()> &setIdentityItem = {});

    // Every control as construction left it, before any configuration, text step or start-up
    // mode; no reaction runs. What a first start then loads makes the panel a first start's.
    void RestoreInitialState();

    // A word about the panel itself (the changes since the last read), at the right end of the
    // work-mode row; the panel takes it over.
    void AddStatusWidget(QWidget *widget);

    // The name of the diagram shown ("Net_en", "Http_cn", "Sms_en" ...), empty before the
    // first work-mode selection.
    [[nodiscard]] QString WorkModePicture() const;

    // IPanel
    [[nodiscard]] bool Checked(PanelCheck box) const override;
    void SetChecked(PanelCheck box, bool checked) override;
    [[nodiscard]] bool RadioChecked(PanelRadio button) const override;
    void SetRadioChecked(PanelRadio button, bool checked) override;
    [[nodiscard]] int ComboIndex(PanelCombo box) const override;
    void SetComboIndex(PanelCombo box, int index) override;
    [[nodiscard]] std::string ComboText(PanelCombo box) const override;
    [[nodiscard]] int ComboCount(PanelCombo box) const override;
    [[nodiscard]] std::string ComboItem(PanelCombo box, int index) const override;
    void SetComboItem(PanelCombo box, int index, std::string_view text) override;
    [[nodiscard]] std::string EditText(PanelEdit box) const override;
    void SetEditText(PanelEdit box, std::string_view text) override;
    void ProtocolChange(int row) override;
    void RegTpChange() override;

    // The rules, public for the applying code and for tests.
    void RbWkmokClick(QRadioButton *button);
    void ApplyUdcMode(bool udc);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct SocketRow
    {
        QCheckBox *enable = nullptr;
        QGroupBox *group = nullptr;
        QLabel *lblLinkType = nullptr;
        QComboBox *protocol = nullptr;
        QLabel *lblIpAndPort = nullptr;
        QLineEdit *addr = nullptr;
        QLineEdit *port = nullptr;
        QComboBox *connKind = nullptr;
        QLabel *lblTo = nullptr;
        QLineEdit *timeOut = nullptr;
    };

    // Construction, split by area (parampanel_build.cpp).
    void BuildWorkModeGroup(QWidget *host);
    QWidget *BuildNetPage();
    void BuildSocketRow(int row, QWidget *host);
    void BuildHeartGroup(QWidget *host);
    void BuildRegGroup(QWidget *host);
    QWidget *BuildHttpdPage();
    QWidget *BuildSmsPage();
    QWidget *BuildBaseArea();
    void WireReactions();

    // The steps of ApplyTexts (parampanel_texts.cpp).
    void ApplyWorkModeTexts();
    void ApplyCaptions();
    void ApplyComboItems(const std::function<void()> &setIdentityItem);
    void ApplyHints();
    void ApplyAccessibleNames();

    void RzchckbxEnableClick(QCheckBox *box);
    void CbbProtocolChange(QComboBox *box);
    void CbbRegTpChange();
    void RzchckbxHexClick(QCheckBox *box);
    void SetParamGroupCaption();
    [[nodiscard]] int WorkModeNumber() const;
    [[nodiscard]] bool HexKeyAccepted(QObject *watched, const QKeyEvent &key) const;
    static void ScrollOneLine(QScrollArea *area, int delta);
    [[nodiscard]] QScrollArea *ScrollAreaOf(QObject *watched) const;

    [[nodiscard]] QCheckBox *CheckBoxOf(PanelCheck box) const;
    [[nodiscard]] QRadioButton *RadioOf(PanelRadio button) const;
    [[nodiscard]] QComboBox *ComboOf(PanelCombo box) const;
    [[nodiscard]] QLineEdit *EditOf(PanelEdit box) const;

    TWidgetStates m_initial;

    // Work mode
    QGroupBox *m_rzgrpbxWkmod = nullptr;
    QRadioButton *m_rbNetTran = nullptr;
    QRadioButton *m_rbUdc = nullptr;
    QRadioButton *m_rbHttpd = nullptr;
    QRadioButton *m_rbSmsTran = nullptr;
    QHBoxLayout *m_workModeRow = nullptr;
    TWorkModeDiagram *m_imgWkMod = nullptr;
    QWidget *m_imgCKZD = nullptr;
    QGroupBox *m_rzgrpbxPara = nullptr;
    QStackedWidget *m_rzpgcntrlPara = nullptr;
    QScrollArea *m_advscrlbxPara = nullptr;

    // NET page
    std::array<SocketRow, 4> m_rows{};
    QCheckBox *m_rzchckbxHeartEn = nullptr;
    QGroupBox *m_rzgrpbxHeart = nullptr;
    QLabel *m_lblHeartTm = nullptr;
    QLineEdit *m_edtHeartTm = nullptr;
    QLabel *m_lblHeartDt = nullptr;
    QLineEdit *m_edtHeartDt = nullptr;
    QCheckBox *m_rzchckbxHeartDtHex = nullptr;
    QLabel *m_lblHeartSnd = nullptr;
    QComboBox *m_cbbHeartSnd = nullptr;
    QCheckBox *m_rzchckbxRegEn = nullptr;
    QGroupBox *m_rzgrpbxReg = nullptr;
    QLabel *m_lblRegSnd = nullptr;
    QComboBox *m_cbbRegSnd = nullptr;
    QLabel *m_lblRegTp = nullptr;
    QComboBox *m_cbbRegTp = nullptr;
    QLabel *m_lblRegDt = nullptr;
    TRegDataBox *m_cbbRegDt = nullptr;
    QCheckBox *m_rzchckbxRegDtHex = nullptr;
    QLineEdit *m_edtCloudPa = nullptr;
    QLabel *m_lblUdcId = nullptr;
    QLineEdit *m_edtUdcId = nullptr;
    QCheckBox *m_rzchckbxSOCKIND = nullptr;
    QGroupBox *m_rzgrpbxOther1 = nullptr;
    QLabel *m_lbledtSockRsTimLabel = nullptr;
    QLineEdit *m_lbledtSockRsTim = nullptr;

    // HTTPD page
    QGroupBox *m_rzgrpbxHttpdPara = nullptr;
    QLabel *m_lblHTPTP = nullptr;
    QComboBox *m_cbbHTPTP = nullptr;
    QLabel *m_lblHTPURL = nullptr;
    QLineEdit *m_edtHTPURL = nullptr;
    QLabel *m_lblHTPSVIP = nullptr;
    QLineEdit *m_edtHTPSVIP = nullptr;
    QLabel *m_lblHTPSVPort = nullptr;
    QLineEdit *m_edtHTPSVPort = nullptr;
    QLabel *m_lblHtpTo = nullptr;
    QLineEdit *m_edtHtpTo = nullptr;
    QLabel *m_lblHTPHD = nullptr;
    QLineEdit *m_edtHTPHD = nullptr;
    QCheckBox *m_rzchckbxHtpFlt = nullptr;

    // SMS page
    QGroupBox *m_rzgrpbxSmsTranPara = nullptr;
    QLabel *m_lblDSTNUM = nullptr;
    QLineEdit *m_edtDSTNUM = nullptr;
    QCheckBox *m_rzchckbxSMSFLT = nullptr;
    QCheckBox *m_rzchckbxSMSPH = nullptr;

    // Global parameters
    QWidget *m_rzszpnlBase = nullptr;
    QGroupBox *m_rzgrpbxBase = nullptr;
    QScrollArea *m_advscrlbxBase = nullptr;
    QLabel *m_lblUart = nullptr;
    QGroupBox *m_rzgrpbxUart = nullptr;
    QLabel *m_lblBaud = nullptr;
    QComboBox *m_cbbBaud = nullptr;
    QLabel *m_lblPDS = nullptr;
    QComboBox *m_cbbP = nullptr;
    QComboBox *m_cbbD = nullptr;
    QComboBox *m_cbbS = nullptr;
    QLabel *m_lblFlow = nullptr;
    QComboBox *m_cbbFlow = nullptr;
    QLabel *m_lblUARTFT = nullptr;
    QLineEdit *m_edtUARTFT = nullptr;
    QLabel *m_lblUARTFL = nullptr;
    QLineEdit *m_edtUARTFL = nullptr;
    QCheckBox *m_rzchckbxMore = nullptr;
    QGroupBox *m_rzgrpbxMore = nullptr;
    QCheckBox *m_rzchckbxRFC = nullptr;
    QCheckBox *m_rzchckbxE = nullptr;
    QLabel *m_lbledtCmdPwLabel = nullptr;
    QLineEdit *m_lbledtCmdPw = nullptr;
    QLabel *m_lbledtStMsgLabel = nullptr;
    QLineEdit *m_lbledtStMsg = nullptr;
    QLabel *m_lbledtApnLabel = nullptr;
    QLineEdit *m_lbledtApn = nullptr;
    QLabel *m_lbledtRsTimLabel = nullptr;
    QLineEdit *m_lbledtRsTim = nullptr;
};

} // namespace m845
