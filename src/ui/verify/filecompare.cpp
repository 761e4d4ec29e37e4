#include "ui/verify/filecompare.h"

#include "config/config.h"
#include "core/log.h"
#include "protocol/reply.h"
#include "ui/panel/parampanel.h"

namespace m845 {

TPanelValues FileValues(const TIniFile &ini)
{
    TParamPanel panel;
    // Its messages (an unknown hardware variant's warning) are not the window's.
    TNullLog log;
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
