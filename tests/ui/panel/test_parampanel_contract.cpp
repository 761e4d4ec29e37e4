// The shared IPanel cases, run against the real panel with its reactions.

#include <memory>

#include "common/panel_contract.h"
#include "ui/panel/parampanel.h"

namespace m845::test {

struct TRealPanelTag
{
};

template <> struct PanelFactory<TRealPanelTag>
{
    static std::unique_ptr<IPanel> Make() { return std::make_unique<TParamPanel>(); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(RealPanel, PanelContract, ::testing::Types<TRealPanelTag>);

} // namespace m845::test
