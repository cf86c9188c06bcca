// Installed and package versions and their comparison: one row per rule.
#include <optional>
#include <string>

#include "setup/context.h"
#include "support/sim_fixture.h"
#include "version/version_queries.h"

namespace {

const char kTouchPadKey[] = "HKLM\\Software\\Vexa\\Kurso";
const char kPointingStickKey[] = "HKLM\\Software\\Vexa\\VexaStick\\Common\\Current";
constexpr uint32_t REG_BINARY = 3;

TEST(VersionComparison, ComparesFourNumbersAsTheRuntimeReadsThem)
{
    const struct {
        const char* installed;
        const char* package;
        int expected;
    } rows[] = {
        {"8.1.0.83", "8.1.0.83", SAME_INSTALLED},
        {"1.10.0.0", "1.9.0.0", NEWER_INSTALLED},  // numbers, not text
        {"1.9.0.0", "1.10.0.0", OLDER_INSTALLED},
        {"2.0.0.0", "1.9.9.9", NEWER_INSTALLED},    // the first difference decides
        {"8.1.0.82", "8.1.0.83", OLDER_INSTALLED},
        {"10.2.3.4 beta", "10.2.3.4", SAME_INSTALLED},  // the rest is ignored
        {"1.2.3.4x", "1.2.3.4", SAME_INSTALLED},
        {"08.1.0.1", "8.1.0.1", SAME_INSTALLED},
        {" +1. 2.\t3.4", "1.2.3.4", SAME_INSTALLED},  // blanks and a sign before a number
        {"-1.0.0.0", "0.0.0.0", OLDER_INSTALLED},
        {"4294967297.0.0.0", "1.0.0.0", SAME_INSTALLED},   // beyond 32 bits: modulo 2^32
        {"2147483648.0.0.0", "0.0.0.0", OLDER_INSTALLED},  // ... which is negative here
        {"10.2.3", "1.0.0.0", -1},
        {"1.0.0.0", "10.2.3", -2},
        {"10.2.3", "10.2.3", -1},  // installed side tested first
        {"1 .2.3.4", "1.2.3.4", -1},   // a dot must follow the number at once
        {"1..2.3.4", "1.2.3.4", -1},
        {"0x10.1.1.1", "1.1.1.1", -1},
        {"+-1.2.3.4", "1.2.3.4", -1},
        {"", "1.2.3.4", -1},
        {"1.2.3.4", "1.2.3.-", -2},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(loc_CopmareDrvVersion(row.installed, row.package), row.expected)
            << row.installed << " against " << row.package;
    }
}

class InstalledVersionTest : public SimMachineTest {
protected:
    void SetUp() override
    {
        SimMachineTest::SetUp();
        use_windows(10, 0, true);
    }

    void use_windows(uint32_t major, uint32_t minor, bool is_64bit, uint32_t platform_id = 2)
    {
        machine.major = major;
        machine.minor = minor;
        machine.is_64bit = is_64bit;
        machine.platform_id = platform_id;
        g_process.os_version = SYS_OsVersion{SYS_OS_VERSION_SIZE, major, minor, 0, platform_id, {}};
    }

    // "result: text" of a reader, the buffer starting as "untouched".
    template <typename Reader>
    std::string read(Reader reader)
    {
        char version[VERSION_TEXT_CAPACITY] = "untouched";
        const int result = reader(version);
        return std::to_string(result) + ": " + version;
    }
};

TEST_F(InstalledVersionTest, TakesTheSecondWordOrTheOnlyWordOfProductVer)
{
    const struct {
        std::optional<std::string> value;
        uint32_t type;
        std::string expected;
    } rows[] = {
        {std::nullopt, 1, "0: untouched"},
        {"VexaNorde 19.2.4.7", 1, "1: 19.2.4.7"},
        {"19.2.4.7", 1, "1: 19.2.4.7"},
        {"  one\ttwo three ", 1, "1: two"},
        {"", 1, "-2: untouched"},
        {" \t\r\n", 1, "-2: untouched"},
        {std::string(259, 'v'), 1, "1: " + std::string(259, 'v')},
        {std::string(260, 'v'), 1, "0: untouched"},  // 261 bytes with the NUL: more data
        // 260 bytes without a NUL: read as they are, never beyond.
        {"a " + std::string(258, 'b'), REG_BINARY, "1: " + std::string(258, 'b')},
    };
    for (const auto& row : rows) {
        machine.registry.clear();
        if (row.value) set_registry_value(kTouchPadKey, "ProductVer", *row.value, sim::RegistryView::Both, row.type);
        EXPECT_EQ(read(loc_QueryTpdDrvVersion), row.expected) << row.value.value_or("(none)");
    }
    machine.registry.clear();
    set_registry_value(kTouchPadKey, "Other", "VexaNorde 1.2.3.4");
    EXPECT_EQ(read(loc_QueryTpdDrvVersion), "0: untouched");
}

TEST_F(InstalledVersionTest, InfFileNameChoosesTheFamily)
{
    set_registry_value(kTouchPadKey, "ProductVer", "Pad 1.1.1.1");
    set_registry_value(kPointingStickKey, "ProductVer", "Stick 2.2.2.2");
    const struct {
        const char* inf_path;
        const char* expected;
    } rows[] = {
        {"C:\\Package\\VxPS2.inf", "1: 2.2.2.2"},
        {"VxPS2.inf", "1: 2.2.2.2"},
        {"C:\\Package\\vxps2.inf", "1: 1.1.1.1"},  // exact case only
        {"C:\\Package\\VxPS2.INF", "1: 1.1.1.1"},
        {"C:\\VxPS2.inf\\Touch.inf", "1: 1.1.1.1"},
        {"C:\\Package\\Touch.inf", "1: 1.1.1.1"},
        {"", "1: 1.1.1.1"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(read([&](char* version) { return query_installed_version(row.inf_path, version); }), row.expected)
            << row.inf_path;
    }
}

// On 64-bit Windows the 32-bit program reads the 64-bit view from Windows XP
// on; before that, and on Windows 9x, the 32-bit view.
TEST_F(InstalledVersionTest, ReadsThe64BitViewOnXpAndLater)
{
    set_registry_value(kTouchPadKey, "ProductVer", "Pad 6.4.6.4", sim::RegistryView::Only64);
    set_registry_value(kTouchPadKey, "ProductVer", "Pad 3.2.3.2", sim::RegistryView::Only32);
    const struct {
        uint32_t major, minor, platform_id;
        const char* expected;
    } rows[] = {
        {5, 0, 2, "1: 3.2.3.2"},  {5, 1, 2, "1: 6.4.6.4"},  {5, 2, 2, "1: 6.4.6.4"},  {6, 0, 2, "1: 6.4.6.4"},
        {6, 1, 2, "1: 6.4.6.4"},  {6, 2, 2, "1: 6.4.6.4"},  {6, 3, 2, "1: 6.4.6.4"},  {10, 0, 2, "1: 6.4.6.4"},
        {7, 0, 2, "1: 3.2.3.2"},  {7, 3, 2, "1: 6.4.6.4"},  {4, 10, 1, "1: 3.2.3.2"},
    };
    for (const auto& row : rows) {
        use_windows(row.major, row.minor, true, row.platform_id);
        EXPECT_EQ(read(loc_QueryTpdDrvVersion), row.expected) << row.major << '.' << row.minor;
    }
}

TEST_F(InstalledVersionTest, PackageVersionIsTheDriverVerFieldWhenItFits)
{
    write_file("C:\\Package\\Touch.inf", "[Version]\r\nSignature=$Windows NT$\r\nDriverVer=11/20/2026,19.2.4.7\r\n");
    write_file("C:\\Package\\Bare.inf", "[Version]\r\nSignature=$Windows NT$\r\nDriverVer=11/20/2026\r\n");
    const struct {
        const char* inf_path;
        int capacity;
        const char* expected;
    } rows[] = {
        {"C:\\Package\\Touch.inf", 260, "1: 19.2.4.7"},
        {"C:\\Package\\Touch.inf", 9, "1: 19.2.4.7"},
        {"C:\\Package\\Touch.inf", 8, "0: untouched"},
        {"C:\\Package\\Touch.inf", 0, "0: untouched"},
        {"C:\\Package\\Bare.inf", 260, "0: untouched"},
        {"C:\\Package\\Missing.inf", 260, "0: untouched"},
        {"", 260, "0: untouched"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(read([&](char* version) { return loc_QueryInfFilesInf(row.inf_path, version, row.capacity); }),
                  row.expected)
            << row.inf_path << ' ' << row.capacity;
    }
}

}  // namespace
