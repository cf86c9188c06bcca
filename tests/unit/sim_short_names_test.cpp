// 8.3 names on the simulated machine: made as Windows makes them, accepted
// by every file call, and what the program's own path falls back to when
// the code page cannot spell it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file.h"
#include "platform/sim/codepage.h"
#include "platform/sim/machine.h"
#include "platform/sim/short_names.h"
#include "platform/sys.h"
#include "setup-sim/profile_loader.h"
#include "support/sim_fixture.h"

namespace {

namespace fs = std::filesystem;

// The names Windows makes (the expectations of ReactOS's conformance test of
// RtlGenerate8dot3Name, which holds on Windows, and names known from use).
TEST(ShortNames, MadeAsWindowsMakesThem)
{
    const struct {
        const char16_t* name;
        unsigned attempt;
        const char* made;
    } cases[] = {
        {u"Program Files", 1, "PROGRA~1"},
        {u"Long file name.txt", 1, "LONGFI~1.TXT"},
        {u"Long file name.txt", 2, "LONGFI~2.TXT"},
        {u"Long File Name 5.txt", 5, "LO1796~1.TXT"},
        {u"Long File Name 5.txt", 6, "LO1796~2.TXT"},
        {u"Very Long File Name 5.txt", 5, "VED051~1.TXT"},
        {u"Menu Démarrer", 1, "MENUDM~1"},
        {u"Sélecteur de configuration clavier.lnk", 2, "SLECTE~2.LNK"},
        {u"éèàùç.txt", 1, "5C2D~1.TXT"},
        {u"çùàè.txt", 1, "7E4C~1.TXT"},
        {u"éèàùçeeauc.txt", 1, "EEAUC~1.TXT"},
        {u"test.éxè", 1, "TEST~1.X"},
        {u"t£$t¤.txt", 1, "T$T~1.TXT"},
        {u"Пакет", 1, "6E9E~1"},
        {u"a+b=c[1].inf", 1, "A_B_C_~1.INF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::generated_short_name(c.name, c.attempt), c.made) << sim::utf16_to_utf8(c.name);
    }
}

TEST(ShortNames, LegalNamesAreTheirOwn)
{
    const struct {
        const char16_t* name;
        uint32_t code_page;
        bool legal;
    } cases[] = {
        {u"Setup.exe", 1252, true},   {u"DPINST.EXE", 1252, true}, {u"x64", 1252, true},
        {u"Größe", 1252, true},       {u"Größe", 1251, false},     {u"Пакет", 1251, true},
        {u"Пакет", 1252, false},      {u"My File", 1252, false},   {u"a.b.c", 1252, false},
        {u"Lengthier.txt", 1252, false}, {u"a.html", 1252, false},   {u".inf", 1252, false},
        {u"a+b.txt", 1252, false},    {u"čeština", 1252, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::is_legal_short_name(c.name, c.code_page), c.legal)
            << sim::utf16_to_utf8(c.name) << " in " << c.code_page;
    }
}

class SimShortNameTest : public SimMachineTest {
protected:
    void lay(const std::string& unicode_path)
    {
        const fs::path host = sim::host_path_of_unicode(unicode_path);
        fs::create_directories(host.parent_path());
        std::ofstream(host).close();
    }

    std::string module_file_name()
    {
        char path[260] = "";
        SYS_GetModuleFileName(nullptr, path, sizeof path);
        return path;
    }
};

// Where the code page cannot spell the program's path, the program gets its
// short form, which every file call takes; without one, the path as
// GetModuleFileNameA gives it.
TEST_F(SimShortNameTest, ProgramPathFallsBackToItsShortForm)
{
    const struct {
        uint32_t code_page;
        const char* program;  // UTF-8
        bool short_names;     // the volume keeps them
        const char* alias;    // set on the folder, or ""
        const char* seen;     // what the program gets, in the code page
    } cases[] = {
        {1252, "C:\\Package\\Setup.exe", true, "", "C:\\Package\\Setup.exe"},
        {1252, "C:\\Größe\\Setup.exe", true, "", "C:\\Gr\xF6\xDF" "e\\Setup.exe"},
        {1252, "C:\\Пакет\\Setup.exe", true, "", "C:\\6E9E~1\\Setup.exe"},
        {1252, "C:\\Пакет\\Setup.exe", false, "", "C:\\?????\\Setup.exe"},
        {1252, "C:\\Пакет\\Setup.exe", false, "PAKET~1", "C:\\PAKET~1\\Setup.exe"},
        {1251, "C:\\Пакет\\Setup.exe", true, "", "C:\\\xCF\xE0\xEA\xE5\xF2\\Setup.exe"},
        {1252, "C:\\čeština\\Setup.exe", true, "", "C:\\ETINA~1\\Setup.exe"},      // best fit would name "ceština"
        {1252, "C:\\čeština\\Setup.exe", false, "", "C:\\ce\x9Atina\\Setup.exe"},  // ... and does without short names
        {1252, "C:\\Пакет\\Long setup program.exe", true, "", "C:\\6E9E~1\\LONGSE~1.EXE"},
    };
    for (const auto& c : cases) {
        lay(c.program);
        machine.ansi_code_page = c.code_page;
        machine.module_path = c.program;
        machine.drives_without_short_names = c.short_names ? std::set<char>{} : std::set<char>{'C'};
        machine.short_name_aliases.clear();
        if (*c.alias != '\0') {
            const std::string program = c.program;
            machine.short_name_aliases[program.substr(0, program.find_last_of('\\'))] = c.alias;
        }
        const std::string seen = module_file_name();
        EXPECT_EQ(seen, c.seen) << c.program;
        EXPECT_EQ(FILE_GetAttributes(seen.c_str()) == FILE_INVALID_ATTRIBUTES,
                  seen.find('?') != std::string::npos || seen.find('\x9A') != std::string::npos)
            << seen << " opens unless the code page lost a character";
    }
}

// Names that would collide take the next number, and from the fifth on the
// checksum; legal 8.3 names and names set on entries are never taken.
TEST_F(SimShortNameTest, CollisionsTakeTheNextName)
{
    // (LONGFI~1.TXT first: made later, it would open the file of that short name)
    for (const char* name : {"LONGFI~1.TXT", "Long File Name 1.txt", "Long File Name 2.txt", "Long File Name 3.txt",
                             "Long File Name 4.txt", "Long File Name 5.txt", "Long File Name 0.txt"}) {
        lay(std::string("C:\\Docs\\") + name);
    }
    machine.short_name_aliases["C:\\Docs\\Long File Name 4.txt"] = "FOURTH.TXT";
    std::string paths;
    for (const char* name : {"Long File Name 0.txt", "Long File Name 1.txt", "Long File Name 2.txt",
                             "Long File Name 3.txt", "Long File Name 4.txt", "Long File Name 5.txt", "LONGFI~1.TXT"}) {
        paths += sim::short_path(std::string("C:\\docs\\") + name) + " ";
    }
    EXPECT_EQ(paths,
              "C:\\Docs\\LONGFI~2.TXT C:\\Docs\\LONGFI~3.TXT C:\\Docs\\LONGFI~4.TXT C:\\Docs\\LO179E~1.TXT "
              "C:\\Docs\\FOURTH.TXT C:\\Docs\\LO1796~1.TXT C:\\Docs\\LONGFI~1.TXT ");
    EXPECT_EQ(sim::short_path("C:\\Docs\\missing.txt"), "");
    EXPECT_EQ(FILE_GetAttributes("c:\\docs\\lo1796~1.txt"), 0x20u);
    EXPECT_EQ(sim::host_path("C:\\Docs\\fourth.txt"), drive_root + "/Docs/Long File Name 4.txt");
}

// A machine profile turns short names off per drive and sets them per path.
TEST_F(SimShortNameTest, ProfilesSetTheVolumeAndTheNames)
{
    const struct {
        const char* profile;
        const char* outcome;
    } cases[] = {
        {"[Machine]\nProgram=C:\\Пакет\\Setup.exe\n[Drives]\nNoShortNames=c, D\n[ShortNames]\nC:\\Пакет=PAKET~1\n",
         "CD C:\\Пакет=PAKET~1 C:\\Пакет\\Setup.exe"},
        {"[Drives]\nNoShortNames=CD\n", "[Drives] NoShortNames: expected drive letters"},
        {"[ShortNames]\nC:\\Пакет=Пакет\n", "[ShortNames] C:\\Пакет: expected a full Windows path = a legal 8.3 name"},
    };
    for (const auto& c : cases) {
        const std::string file = drive_root + "/machine.ini";
        std::ofstream(file) << c.profile;
        sim::Machine loaded;
        std::string error;
        std::string outcome;
        if (load_machine_profile(file, &loaded, &error)) {
            for (const char letter : loaded.drives_without_short_names) outcome += letter;
            for (const auto& [path, alias] : loaded.short_name_aliases) outcome += " " + path + "=" + alias;
            outcome += " " + loaded.module_path;
        } else {
            outcome = error.substr(error.find('['));  // after "FILE:LINE: "
        }
        EXPECT_EQ(outcome, c.outcome);
    }
}

}  // namespace
