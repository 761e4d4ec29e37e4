#pragma once

// The terminal's send side: the send box, its tool bar with send type, hex entry, counter and
// send-key choice, the SMS number bar, and the window-wide edit actions with their context menu.

#include <functional>
#include <string>
#include <string_view>

#include <QString>
#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QToolButton;

namespace m845 {

inline constexpr int kSendTypeSerial = 1;
inline constexpr int kSendTypeSms = 2;
inline constexpr int kSendKeyEnter = 1;
inline constexpr int kSendKeyCtrlEnter = 2;
inline constexpr int kSendKeyAutoCR = 3;

class TSendPane final : public QWidget
{
    Q_OBJECT
public:
    // window receives the window-wide actions and key handling.
    explicit TSendPane(QWidget *window, QWidget *parent = nullptr);
    ~TSendPane() override;

    // Hooks the window routes: terminal data, SMS sending, and the sequencer's operation reset.
    std::function<void(std::string_view data)> SendData;
    std::function<void(const std::string &number, const std::string &text)> SendSms;
    std::function<void()> ClearOperationMode;

    void actSendExecute();
    // A quick command, through the serial half of the send action: hex text converted, CR LF
    // added when asked. False (nothing sent) for hex text that is not valid.
    bool SendCommand(const std::string &text, bool hex, bool crlf);
    // Puts a text into the send box as it was sent (the Hex box follows, nothing converted).
    void ShowEntry(const QString &text, bool hex);
    [[nodiscard]] bool TxHex() const;
    void actCRExecute();
    void actClsExecute();
    void pmSendClick(int tag);
    void pmSendTypeClick(int tag);
    void chbTxHexClick();
    [[nodiscard]] int SendType() const { return m_sendType; }
    // 1 Enter sends, 2 Ctrl+Enter sends; the tag stored at close.
    [[nodiscard]] int SendKeyTag() const;

    // Adds the copy/paste/select-all/clear menu to an edit box.
    void AttachContextMenu(QWidget *edit);
    [[nodiscard]] QMenu *ContextMenu() const { return m_pmCls; }
    // The edit box whose context menu was opened last.
    [[nodiscard]] QWidget *ContextTarget() const { return m_contextTarget; }
    [[nodiscard]] QLabel *TxCountLabel() const { return m_lblSendCount; }
    [[nodiscard]] QPlainTextEdit *SendBox() const { return m_edtSend; }
    [[nodiscard]] QAction *ActSend() const { return m_actSend; }
    [[nodiscard]] QAction *ActCR() const { return m_actCR; }

    void ApplyCaptions();
    void ApplyPopupItems();

    // Room for the terminal's other parts: a control beside the send button, a bar below.
    void AddBesideSendButton(QWidget *control);
    void AddBar(QWidget *bar);
    // A control that takes Enter itself (the find field): the send keys leave it alone.
    static void KeepOwnKeys(QWidget *control);

signals:
    // A text the send action sent (or tried to: the port may be closed) as the box held it.
    void TextSent(const QString &text, bool hex);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void SendSerial(std::string data, bool hex);

    QWidget *m_window = nullptr;
    QPlainTextEdit *m_edtSend = nullptr;
    QWidget *m_rztlbrSendTpye = nullptr;
    QLabel *m_lblReTelNum = nullptr;
    QLineEdit *m_rzEdit1 = nullptr;
    QLineEdit *m_edtReTelNum = nullptr;
    QToolButton *m_btnSendTpye = nullptr;
    QCheckBox *m_chbTxHex = nullptr;
    QLabel *m_lblSend = nullptr;
    QLabel *m_lblSendCount = nullptr;
    QToolButton *m_btnSend = nullptr;
    QToolButton *m_btnSetSendKey = nullptr;
    QMenu *m_pmSend = nullptr;
    QMenu *m_pmSendType = nullptr;
    QMenu *m_pmCls = nullptr;
    QAction *m_mniEnter = nullptr;
    QAction *m_mniCtrlEnter = nullptr;
    QAction *m_mniAutoCR = nullptr;
    QAction *m_mniAtCmd = nullptr;
    QAction *m_mniSms = nullptr;
    QAction *m_actSend = nullptr;
    QAction *m_actCR = nullptr;
    QAction *m_actCls = nullptr;
    QAction *m_mniCopy = nullptr;
    QAction *m_mniPst = nullptr;
    QAction *m_mniAll = nullptr;
    QAction *m_mniCls = nullptr;
    QWidget *m_contextTarget = nullptr;
    int m_sendType = kSendTypeSerial;
};

// A tool button that drops its menu down at once, wide enough for its caption and the arrow.
[[nodiscard]] QToolButton *MakeDropDownButton(const QString &name, QWidget *parent);

// The automatic line end: "AT..." of two or more characters not yet ending in LF gets CR LF.
[[nodiscard]] std::string WithAutoCR(std::string data);

} // namespace m845
