#include "ui/verify/filecompare.h"

#include "config/config.h"
#include "core/log.h"
#include "protocol/reply.h"
#include "ui/panel/parampanel.h"

namespace m845 {

namespace {

// The hidden panel's messages (an unknown hardware variant's warning) are not the window's.
class TSilentLog final : public ILog
{
public:
    void LogRx(std::string_view) override {}
    void LogRxOther(std::string_view) override {}
    void LogTx(std::string_view) override {}
    void LogInfo(std::string_view) override {}
    void LogWarn(std::string_view) override {}
};

} // namespace

TPanelValues FileValues(const TIniFile &ini)
{
    TParamPanel panel;
    TSilentLog log;
    TReplyApplier applier(panel, log);
    // As a file opened at run time goes in: its parameters, then the texts with their rules,
    // the heartbeat destination kept.
    LoadParameters(ini, panel, applier);
    const int heartSnd = panel.ComboIndex(PanelCombo::HeartSnd);
    panel.ApplyTexts([&applier] { applier.SetHardwareSign(applier.HardwareSign()); });
    panel.SetComboIndex(PanelCombo::HeartSnd, heartSnd);
    return TakePanelValues(panel);
}

} // namespace m845
