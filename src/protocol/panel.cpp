#include "protocol/panel.h"

namespace m845 {

int WorkModeIndex(const IPanel &panel)
{
    if (panel.RadioChecked(PanelRadio::NetTran))
        return 0;
    if (panel.RadioChecked(PanelRadio::Httpd))
        return 1;
    if (panel.RadioChecked(PanelRadio::SmsTran))
        return 2;
    if (panel.RadioChecked(PanelRadio::Udc))
        return 3;
    return 4;
}

} // namespace m845
