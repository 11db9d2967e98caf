// SPDX-License-Identifier: GPL-3.0-or-later
// The results file, as Sortilex reads it.
#include <gtest/gtest.h>

#include "results/Results.h"

using namespace sx;

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

}  // namespace
