#include <memory>

#include "common/fake_panel.h"
#include "common/panel_contract.h"

namespace m845::test {

struct TFakePanelTag
{
};

template <> struct PanelFactory<TFakePanelTag>
{
    static std::unique_ptr<IPanel> Make() { return std::make_unique<TFakePanel>(); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(FakePanel, PanelContract, ::testing::Types<TFakePanelTag>);

} // namespace m845::test
