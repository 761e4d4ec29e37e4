// The shared window-access cases, run against the window's options menu and file dialog.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <unistd.h>

#include <QAction>
#include <QFileDialog>
#include <QMenu>

#include "common/fwwindow_contract.h"
#include "common/scoped_env.h"
#include "protocol/fakes.h"
#include "ui/firmware/firmwarecontrol.h"
#include "ui/window/mainwindow.h"

namespace m845::test {

struct TRealWindowTag
{
};

class TRealWindowProbe final : public IFirmwareWindowProbe
{
public:
    TRealWindowProbe()
    {
        m_control.RunDialog = [this](QFileDialog &dialog) -> std::optional<QString> {
            m_shown = {};
            m_shown.title = dialog.windowTitle().toStdString();
            // The selected filter goes first, so that a dialog opening on another one shows.
            const QString selected = dialog.selectedNameFilter();
            m_shown.filters.push_back(selected.toStdString());
            for (const QString &filter : dialog.nameFilters()) {
                if (filter != selected)
                    m_shown.filters.push_back(filter.toStdString());
            }
            m_shown.defaultSuffix = dialog.defaultSuffix().toStdString();
            m_shown.folder = dialog.directory().absolutePath().toStdString();
            if (!m_answer)
                return std::nullopt;
            return QString::fromStdString(*m_answer);
        };
    }

    IFirmwareWindow &Window() override { return m_control; }
    void Click(bool overRestart) override
    {
        const QString name
            = overRestart ? QStringLiteral("mniOverRestart") : QStringLiteral("ShowDataStream");
        m_window.FwUpOptMenu()->findChild<QAction *>(name)->trigger();
    }
    void Answer(std::optional<std::string> path) override { m_answer = std::move(path); }
    [[nodiscard]] TFileDialogRequest Shown() const override { return m_shown; }

private:
    // The window writes its language file here, not beside the test program.
    struct TScratch
    {
        TScratch() { std::filesystem::create_directories(path); }
        ~TScratch() { std::filesystem::remove_all(path); }
        std::filesystem::path path = std::filesystem::temp_directory_path()
                                     / ("m845-fwwindow-" + std::to_string(::getpid()));
    };

    TScratch m_scratch;
    ScopedEnv m_dataDir{"M845_DATA_DIR", m_scratch.path.string()};
    TFrm_Main m_window;
    TFakeProgress m_progress;
    TFirmwareControl m_control{m_window, m_progress};
    std::optional<std::string> m_answer;
    TFileDialogRequest m_shown;
};

template <> struct FirmwareWindowFactory<TRealWindowTag>
{
    static std::unique_ptr<IFirmwareWindowProbe> Make()
    {
        return std::make_unique<TRealWindowProbe>();
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(RealWindow, FirmwareWindowContract,
                               ::testing::Types<TRealWindowTag>);

} // namespace m845::test
