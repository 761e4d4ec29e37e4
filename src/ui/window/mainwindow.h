#pragma once

// The main window: builds the regions, owns the serial component, the link, the log and the
// reply timer, and wires them. Contents live in classes of their own.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QMainWindow>

#include "lang/langlist.h"
#include "ui/common/textsetters.h"

class QAction;
class QGroupBox;
class QMenu;
class QPoint;
class QProgressBar;
class QSplitter;
class QUrl;

namespace m845 {

class TComm;
class TCommandButtons;
class TLinkControl;
class TLogPane;
class TQtTimer;
class TSendPane;
class TSerialToolBar;
class Tfrm_About;

// How long a hint stays on screen once shown: ten minutes.
inline constexpr int kHintPauseMs = 600000;

class TFrm_Main final : public QMainWindow
{
    Q_OBJECT
public:
    // Builds the window, runs beforeCreate (where the parameter panel, the sequencer and their
    // hooks are wired in), then the creation steps; the language list is created here unless
    // it already exists.
    explicit TFrm_Main(const std::function<void(TFrm_Main &)> &beforeCreate = {},
                       QWidget *parent = nullptr);
    ~TFrm_Main() override;

    // Where the parameter panel goes; the placeholder areas are removed when it is installed.
    [[nodiscard]] QWidget *ParameterHost() const { return m_parameterHost; }
    void InstallParameterPanel(QWidget *panel);
    // Keeps a part that is wired to the window (the device session) and destroys it before
    // the link, the log and the timers it refers to.
    void AdoptPart(std::unique_ptr<QObject> part);

    // The thirteen command buttons end here; DoClick decides what a tag does.
    void btnDoClick(int tag);
    std::function<void(int tag)> DoClick;
    // The parts' share of the texts, one step after the other, as ApplyMainTexts runs them.
    void ApplyPartTexts();

    // The language of this run whatever the configuration says (the command line's --lang);
    // the stored setting is not changed by it.
    void OverrideLanguage(bool chinese) { m_languageOverride = chinese; }
    [[nodiscard]] std::optional<bool> LanguageOverride() const { return m_languageOverride; }
    // The language list was loaded before the window was built (while Qt started): the window
    // releases it at close and reports its file's problem as its own loading would.
    void AdoptLanguage(TLangFileProblem problem);

    void ApplyMainTexts();
    void mni_MenuClick(const QString &name);
    void SetAboutWindow(Tfrm_About *about);

    // The settings the configuration file sets at start and reads at close.
    // The language sets the language list and the check marks of mni_Cn / mni_En; it applies no
    // texts (the creation step does that next; at run time mni_MenuClick switches).
    void SetLanguage(bool chinese);
    [[nodiscard]] bool IsChinese() const;
    // Real-time help: the check mark of mni_Hint and whether any hint is shown.
    void SetRealTimeHelp(bool on);
    [[nodiscard]] bool RealTimeHelp() const;
    // Custom hides Check for updates and Submit a question; About stays.
    void SetCustom(bool custom);
    [[nodiscard]] bool Custom() const { return m_custom; }
    // The send key: 1 Enter sends, 2 Ctrl+Enter sends; any other value changes nothing.
    void SetSendKey(int tag);
    [[nodiscard]] int SendKey() const;

    // How a web address is opened and how a hint is shown; tests replace them.
    std::function<void(const QUrl &url)> OpenUrl;
    std::function<void(const QPoint &globalPos, const QString &text, QWidget *widget, int msec)>
        ShowHint;

    [[nodiscard]] TComm &Comm() const { return *m_cm1; }
    [[nodiscard]] TLinkControl &Link() const { return *m_link; }
    [[nodiscard]] TLogPane &Log() const { return *m_log; }
    [[nodiscard]] TSendPane &SendPane() const { return *m_send; }
    [[nodiscard]] TSerialToolBar &SerialBar() const { return *m_serialBar; }
    [[nodiscard]] TQtTimer &RcvTimer() const { return *m_tmrRcv; }
    [[nodiscard]] QProgressBar *ProgressBar() const;
    [[nodiscard]] QMenu *FwUpOptMenu() const { return m_pmFwUpOpt; }

signals:
    // Creation and close steps that belong to others, run in their place; receivers run in the
    // order they connected. The configuration file, after the tool-bar defaults:
    void LoadingConfiguration();
    // More texts with the window's own, once per step of every ApplyMainTexts, in its order.
    void ApplyingTexts(m845::TTextStep step);
    // After the texts: the work mode every start shows.
    void SelectingStartMode();
    // The close steps of others (firmware file, configuration), before the window's own.
    void Closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildMenus();
    void ApplyMenuTexts();
    [[nodiscard]] bool HintEvent(QObject *watched, QEvent *event);
    QWidget *BuildCommandSide();
    void FormCreate();
    void FormClose();

    std::unique_ptr<TComm> m_cm1;
    std::unique_ptr<TLinkControl> m_link;
    TSerialToolBar *m_serialBar = nullptr;
    TLogPane *m_log = nullptr;
    TSendPane *m_send = nullptr;
    TCommandButtons *m_buttons = nullptr;
    TQtTimer *m_tmrRcv = nullptr;
    Tfrm_About *m_about = nullptr;
    QWidget *m_parameterHost = nullptr;
    QWidget *m_parameterPlaceholder = nullptr;
    QGroupBox *m_rzgrpbxDo = nullptr;
    QMenu *m_pmFwUpOpt = nullptr;
    QMenu *m_mniHelp = nullptr;
    QAction *m_mniCn = nullptr;
    QAction *m_mniEn = nullptr;
    QAction *m_mniHint = nullptr;
    QMenu *m_mniFile = nullptr;
    QMenu *m_mniLang = nullptr;
    QAction *m_mniExit = nullptr;
    QAction *m_mniAbout = nullptr;
    QAction *m_mniUp = nullptr;
    QAction *m_mniWorkOrder = nullptr;
    std::vector<std::unique_ptr<QObject>> m_parts;
    std::optional<bool> m_languageOverride;
    bool m_ownsLanguage = false;
    TLangFileProblem m_adoptedLanguageProblem;
    bool m_closed = false;
    bool m_showHints = true;
    bool m_custom = false;
};

} // namespace m845
