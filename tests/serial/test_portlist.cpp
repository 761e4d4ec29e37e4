#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "serial/portlist.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;

// A fake /sys/class/tty and /dev/serial/by-id under a temporary folder.
class PortListTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path()
                 / ("m845-portlist-" + std::to_string(::getpid()) + "-"
                    + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "tty");
        fs::create_directories(m_root / "devices" / "usb1");
    }
    void TearDown() override { fs::remove_all(m_root); }

    // A tty entry; withDevice gives it a device link, uartType writes the serial-core type file.
    void AddTty(const std::string &name, bool withDevice, int uartType = -1)
    {
        const fs::path dir = m_root / "tty" / name;
        fs::create_directories(dir);
        if (withDevice)
            fs::create_directory_symlink(m_root / "devices" / "usb1", dir / "device");
        if (uartType >= 0)
            std::ofstream(dir / "type") << uartType << "\n";
    }

    [[nodiscard]] std::vector<std::string> Read(const std::string &byId = "by-id") const
    {
        return ReadPortNames((m_root / "tty").string(), (m_root / byId).string());
    }

    fs::path m_root;
};

TEST_F(PortListTest, KeepsRealDevicesAndDropsPhantomAndVirtualTtys)
{
    AddTty("tty0", false); // virtual console: no device behind it
    AddTty("console", false);
    AddTty("ttyS0", true, 4); // a real 16550A
    AddTty("ttyS1", true, 0); // PORT_UNKNOWN: a phantom legacy port
    AddTty("ttyS31", true, 0);
    AddTty("ttyUSB0", true); // USB adapters carry no UART type file
    AddTty("ttyACM0", true);
    EXPECT_EQ(Read(), (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyUSB0"}));
}

TEST_F(PortListTest, OrdersNumbersNaturallyAndAppendsStableByIdLinks)
{
    AddTty("ttyUSB10", true);
    AddTty("ttyUSB2", true);
    AddTty("ttyUSB9", true);
    fs::create_directories(m_root / "by-id");
    std::ofstream(m_root / "by-id" / "usb-FTDI_FT232R-if00-port0");
    const auto names = Read();
    ASSERT_EQ(names.size(), 4U);
    EXPECT_EQ(names[0], "ttyUSB2");
    EXPECT_EQ(names[1], "ttyUSB9");
    EXPECT_EQ(names[2], "ttyUSB10");
    EXPECT_EQ(names[3], (m_root / "by-id" / "usb-FTDI_FT232R-if00-port0").string());
}

TEST_F(PortListTest, MissingFoldersGiveAnEmptyList)
{
    EXPECT_TRUE(ReadPortNames((m_root / "absent").string(), (m_root / "absent2").string()).empty());
}

TEST_F(PortListTest, TypedNamesResolveAsTheWindowWouldOpenThem)
{
    fs::create_directories(m_root / "dev");
    fs::create_directories(m_root / "by-id");
    std::ofstream(m_root / "dev" / "ttyUSB0");
    std::ofstream(m_root / "by-id" / "usb-FTDI-if00-port0");
    const std::string byId = (m_root / "by-id" / "usb-FTDI-if00-port0").string();
    const struct
    {
        std::string typed, opened;
    } cases[] = {
        {"ttyUSB0", "ttyUSB0"},           {"usb-FTDI-if00-port0", byId}, {byId, byId},
        {"/tmp/ttyM845", "/tmp/ttyM845"}, {"ttyGone", "ttyGone"},        {"..", ".."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ResolvePortName(c.typed, (m_root / "dev").string(), (m_root / "by-id").string()),
                  c.opened)
            << c.typed;
    }
}

TEST(PortListSystem, EveryListedNameIsADeviceFile)
{
    for (const std::string &name : ReadPortNames()) {
        const std::string path = name.find('/') == std::string::npos ? "/dev/" + name : name;
        EXPECT_TRUE(fs::exists(path)) << path;
    }
}

} // namespace
} // namespace m845
