// Mapping the program's Windows-style paths to host paths through the Wine prefix, and back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "os/Paths.h"
#include "tests/support/TestSupport.h"

using sx::os::FromHostPath;
using sx::os::ToHostPath;

TEST(PathMap, WindowsPathsToHostPaths) {
    sxtest::FakePrefix prefix;
    const std::string c = prefix.root() + "/dosdevices/c:";
    sxtest::MakeDirs(prefix.game() + "/Data/Missions/Sub Dir");
    sxtest::WriteFile(prefix.missions() + "/Alpha.MIS", "x");
    const struct {
        std::string in, out;
    } cases[] = {
        {"C:\\Games\\Vantorra", c + "/Games/Vantorra"},
        {"c:\\games\\VANTORRA\\data\\missions", c + "/Games/Vantorra/Data/Missions"},
        {"C:\\Games\\Vantorra\\Data\\Missions\\alpha.mis",
         c + "/Games/Vantorra/Data/Missions/Alpha.MIS"},
        {"C:\\Games\\Vantorra\\Data\\Missions\\sub dir",
         c + "/Games/Vantorra/Data/Missions/Sub Dir"},
        {"C:\\Games\\\\Vantorra\\", c + "/Games/Vantorra"},  // doubled and trailing separators
        {"C:\\Games\\Nowhere\\x.mis", c + "/Games/Nowhere/x.mis"},  // missing parts kept as given
        {"C:", c},
        {"D:\\x", prefix.root() + "/dosdevices/d:/x"},
        {prefix.missions() + "\\Alpha.MIS", prefix.missions() + "/Alpha.MIS"},  // host path
        {"none\\Data\\Missions", "none/Data/Missions"},
    };
    for (const auto& t : cases) EXPECT_EQ(ToHostPath(t.in), t.out) << t.in;
}

TEST(PathMap, BareNamesThatExistAreTakenAsTheyStand) {
    sxtest::TempDir dir;
    const std::string odd = "a\\b \"q\" \xff.mis";
    sxtest::WriteFile(dir / odd, "x");
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    EXPECT_EQ(ToHostPath(odd), odd);
    EXPECT_TRUE(sx::os::PathExists(odd));
    ASSERT_EQ(::chdir("/"), 0);
}

TEST(PathMap, HostPathsBackToWindowsPaths) {
    sxtest::FakePrefix prefix;
    sxtest::TempDir elsewhere;
    sxtest::MakeDirs(elsewhere / "deep/er");
    // A second drive whose root lies inside drive C: the longer root wins.
    std::filesystem::create_directory_symlink(prefix.game(), prefix.root() + "/dosdevices/e:");
    // A link to the game folder outside the prefix resolves to drive C:.
    std::filesystem::create_directory_symlink(prefix.root() + "/drive_c", elsewhere / "link");
    const struct {
        std::string in, out;
    } cases[] = {
        {prefix.root() + "/drive_c/Custom/x.mis", "C:\\Custom\\x.mis"},
        {prefix.missions() + "/a.mis", "E:\\Data\\Missions\\a.mis"},
        {prefix.game() + "/a.mis", "E:\\a.mis"},
        {elsewhere / "link/b.mis", "C:\\b.mis"},
        {elsewhere / "deep/er/c.mis", elsewhere / "deep/er/c.mis"},  // on no drive: unchanged
        {prefix.root() + "/drive_c", "C:\\"},                        // a drive's root itself
        {prefix.root() + "/drive_c\\/", prefix.root() + "/drive_c\\/"},
    };
    sxtest::MakeDirs(prefix.root() + "/drive_c/Custom");
    for (const auto& t : cases) EXPECT_EQ(FromHostPath(t.in), t.out) << t.in;
}
