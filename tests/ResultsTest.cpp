// The results file and the results table.
#include <gtest/gtest.h>

#include "app/ResultsDlg.h"
#include "results/Results.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;

namespace {

ResultsTable Parse(const std::string& bytes) {
    MemorySource src(bytes);
    LineReader reader(src);
    ResultsTable t;
    ReadResults(reader, t);
    return t;
}

using Lines = std::vector<std::string>;

TEST(Results, KeyTables) {
    const struct {
        const char* what;
        std::string file;
        int fighters, bombers, fightersByPlayer, bombersByPlayer;
        Lines allied, axis;
    } cases[] = {
        {"the four counts",
         "Fighters: 12\nBombers: 3\nFightersByPlayer: 4\nBombersByPlayer: 1\n",
         12,
         3,
         4,
         1,
         {},
         {}},
        {"one character skipped", "Fighters:12\n", 2, 0, 0, 0, {}, {}},
        {"two blanks", "Fighters:  12\n", 12, 0, 0, 0, {}, {}},
        {"text after the number", "Fighters: 12 kills\n", 12, 0, 0, 0, {}, {}},
        {"key alone", "Fighters:\n", 0, 0, 0, 0, {}, {}},
        {"not a number", "Bombers: many\n", 0, 0, 0, 0, {}, {}},
        {"negative", "Bombers: -4\n", 0, -4, 0, 0, {}, {}},
        {"other case and indented keys ignored",
         "fighters: 12\n Fighters: 5\n",
         0,
         0,
         0,
         0,
         {},
         {}},
        {"last wins", "Fighters: 5\nFighters: 7\n", 7, 0, 0, 0, {}, {}},
        {"by-player keys kept apart",
         "FightersByPlayer: 4\nAlliedArmorByPlayer: 2\n",
         0,
         0,
         4,
         0,
         {"AlliedArmorByPlayer: 2"},
         {}},
        {"list order",
         "AxisFlak: 3\nAlliedOther: 1\nAxisArmor: 2\n",
         0,
         0,
         0,
         0,
         {"AlliedOther: 1"},
         {"AxisFlak: 3", "AxisArmor: 2"}},
        {"no final line feed", "Bombers: 3\r\nAxisOther: 9", 0, 3, 0, 0, {}, {"AxisOther: 9"}},
        {"empty file", "", 0, 0, 0, 0, {}, {}},
        {"lines kept whole", "AlliedFlak:  2 guns \r\n", 0, 0, 0, 0, {"AlliedFlak:  2 guns "}, {}},
        {"clamped beyond 32 bits",
         "Fighters: 99999999999\nBombers: -99999999999\n",
         2147483647,
         -2147483648,
         0,
         0,
         {},
         {}},
        {"junk",
         std::string("\0\xff\x01Fighters: 1\n\x1a"
                     "Bombers: 4\n",
                     27),
         0,
         0,
         0,
         0,
         {},
         {}},
    };
    for (const auto& c : cases) {
        const ResultsTable t = Parse(c.file);
        EXPECT_EQ(t.fighterLosses, c.fighters) << c.what;
        EXPECT_EQ(t.bomberLosses, c.bombers) << c.what;
        EXPECT_EQ(t.fightersByPlayer, c.fightersByPlayer) << c.what;
        EXPECT_EQ(t.bombersByPlayer, c.bombersByPlayer) << c.what;
        EXPECT_EQ(t.alliedLosses, c.allied) << c.what;
        EXPECT_EQ(t.axisLosses, c.axis) << c.what;
    }
}

TEST(ResultsDialog, ShowsTheTableOfTheMissionsFolder) {
    sxtest::FakePrefix prefix(sxtest::InstalledGameValues());
    sxtest::WriteFile(prefix.missions() + "/Results.txt",
                      "Fighters: 12\r\nBombers: 3\r\nFightersByPlayer: 4\r\nBombersByPlayer: 1\r\n"
                      "AxisFlak: 3\r\nAlliedOther: 1\r\nAxisArmor: 2\r\n");
    FakeHost host;
    CResultsDlg dlg;
    dlg.m_strGameDir = "C:\\Games\\Vantorra";
    FakeWindow& w = host.Open(dlg);
    EXPECT_TRUE(NoMessage(host));
    EXPECT_TRUE(w.Visible());
    EXPECT_EQ(w.Text(IDC_FIGHTER_LOSSES), "12");
    EXPECT_EQ(w.Text(IDC_BOMBER_LOSSES), "3");
    EXPECT_EQ(w.Text(IDC_FIGHTERS_BY_PLAYER), "4");
    EXPECT_EQ(w.Text(IDC_BOMBERS_BY_PLAYER), "1");
    EXPECT_EQ(w.Items(IDC_ALLIED_LOSSES), Lines{"AlliedOther: 1"});
    EXPECT_EQ(w.Items(IDC_AXIS_LOSSES), (Lines{"AxisFlak: 3", "AxisArmor: 2"}));
    // Enter pulls the read-only values back and always succeeds.
    w.PressEnter();
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_EQ(dlg.Result(), ui::IdOk);
}

TEST(ResultsDialog, MissingFileEndsTheDialogBeforeItShows) {
    sxtest::FakePrefix prefix(sxtest::InstalledGameValues());
    FakeHost host;
    bool shown = false;
    host.ScriptDialog(IDD_RESULTS_DIALOG, [&shown](FakeWindow&) { shown = true; });
    CResultsDlg dlg;
    dlg.m_strGameDir = "none";
    EXPECT_EQ(dlg.DoModal(), ui::IdOk);
    EXPECT_FALSE(shown);
    EXPECT_TRUE(OneMessage(host, text::kResultsNotFound));
}

}  // namespace
