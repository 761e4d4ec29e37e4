// The shared window-access cases, run against the plain fake the state machine tests use.

#include <memory>

#include "common/fake_fwwindow.h"
#include "common/fwwindow_contract.h"

namespace m845::test {

struct TFakeWindowTag
{
};

class TFakeWindowProbe final : public IFirmwareWindowProbe
{
public:
    IFirmwareWindow &Window() override { return m_window; }
    void Click(bool overRestart) override
    {
        bool &mark = overRestart ? m_window.overRestart : m_window.showDataStream;
        mark = !mark;
    }
    void Answer(std::optional<std::string> path) override { m_window.answer = std::move(path); }
    [[nodiscard]] TFileDialogRequest Shown() const override { return m_window.asked.back(); }

private:
    TFakeFirmwareWindow m_window;
};

template <> struct FirmwareWindowFactory<TFakeWindowTag>
{
    static std::unique_ptr<IFirmwareWindowProbe> Make()
    {
        return std::make_unique<TFakeWindowProbe>();
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(FakeWindow, FirmwareWindowContract,
                               ::testing::Types<TFakeWindowTag>);

} // namespace m845::test
