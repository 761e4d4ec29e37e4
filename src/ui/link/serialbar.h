#pragma once

// The serial tool bar: port, line settings, the open/close button and the firmware upgrade
// button with its options drop-down.

#include <string>
#include <vector>

#include <QComboBox>
#include <QWidget>

#include "ui/common/sizedcombo.h"
#include "ui/link/linkcontrol.h"

class QLabel;
class QToolButton;

namespace m845 {

// The port box: dropping it down re-reads the system's ports and keeps what the user chose or
// typed; it is editable, so a typed device path (a pty, a by-path link) opens too.
class TPortComboBox final : public TSizedComboBox
{
    Q_OBJECT
public:
    explicit TPortComboBox(QWidget *parent = nullptr);
    void FillPortList();
    // FillPortList keeping the chosen port by name, or a typed path as typed; a chosen port
    // that is no longer listed leaves no selection.
    void RefreshKeepingChoice();
    void showPopup() override;

    // The port source; tests give a fixed list.
    std::vector<std::string> (*PortSource)() = nullptr;
};

class TSerialToolBar final : public QWidget, public IPortSettings
{
    Q_OBJECT
public:
    explicit TSerialToolBar(QWidget *parent = nullptr);

    [[nodiscard]] std::string PortText() const override;
    [[nodiscard]] std::string BaudText() const override;
    [[nodiscard]] int ParityIndex() const override;
    [[nodiscard]] int DataBitsIndex() const override;
    [[nodiscard]] int StopBitsIndex() const override;

    // The port box shows port: the list's item of that name (the list read again), else the
    // name as typed.
    void ShowPort(const std::string &port);
    // The start-up defaults until stored settings exist: first port, 115200, NONE, 8, 1.
    void SelectDefaults();
    // Caption and picture of the open/close button for the link's tag (1 open, 2 close); the
    // tag itself lives in the link control only.
    void ShowButtonTag(int tag);
    // The labels' captions with their hints; the lists' hints (separate steps of applying).
    void ApplyCaptions();
    void ApplyHints();

    [[nodiscard]] TPortComboBox *PortBox() const { return m_cbbOpenCom; }
    [[nodiscard]] QToolButton *OpenCloseButton() const { return m_btnOpenClose; }
    [[nodiscard]] QToolButton *FwUpButton() const { return m_btnFwUp; }

signals:
    void OpenCloseClicked();
    void FwUpClicked();

private:
    TPortComboBox *m_cbbOpenCom = nullptr;
    QComboBox *m_cbbOpenBaud = nullptr;
    QComboBox *m_cbbOpenP = nullptr;
    QComboBox *m_cbbOpenD = nullptr;
    QComboBox *m_cbbOpenS = nullptr;
    QComboBox *m_cbbOpenFlow = nullptr;
    QLabel *m_lblOpenCom = nullptr;
    QLabel *m_lblOpenBaud = nullptr;
    QLabel *m_lblOpenPDS = nullptr;
    QLabel *m_lblOpenFlow = nullptr;
    QToolButton *m_btnOpenClose = nullptr;
    QToolButton *m_btnFwUp = nullptr;
};

} // namespace m845
