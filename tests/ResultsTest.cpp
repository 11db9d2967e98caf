// SPDX-License-Identifier: GPL-3.0-or-later
// The results file, as Sortilex reads it.
#include <gtest/gtest.h>

#include "results/Results.h"

using namespace sx;

namespace {

// The table as one line: the four counts (fighters, bombers, by the player), then each side's
// lines after a bar.
std::string Parse(const std::string& bytes) {
    MemorySource src(bytes);
    LineReader reader(src);
    ResultsTable t;
    ReadResults(reader, t);
    std::string shown = std::to_string(t.fighterLosses) + " " + std::to_string(t.bomberLosses) +
                        " " + std::to_string(t.fightersByPlayer) + " " +
                        std::to_string(t.bombersByPlayer);
    for (const auto* side : {&t.alliedLosses, &t.axisLosses}) {
        shown += " |";
        for (const std::string& line : *side) shown += " [" + line + "]";
    }
    return shown;
}

TEST(Results, KeyTables) {
    const struct {
        const char* what;
        std::string file, shown;
    } cases[] = {
        {"the four counts", "Fighters: 12\nBombers: 3\nFightersByPlayer: 4\nBombersByPlayer: 1\n",
         "12 3 4 1 | |"},
        {"one character skipped", "Fighters:12\n", "2 0 0 0 | |"},
        {"two blanks", "Fighters:  12\n", "12 0 0 0 | |"},
        {"text after the number", "Fighters: 12 kills\n", "12 0 0 0 | |"},
        {"key alone", "Fighters:\n", "0 0 0 0 | |"},
        {"not a number", "Bombers: many\n", "0 0 0 0 | |"},
        {"negative", "Bombers: -4\n", "0 -4 0 0 | |"},
        {"other case and indented keys ignored", "fighters: 12\n Fighters: 5\n", "0 0 0 0 | |"},
        {"last wins", "Fighters: 5\nFighters: 7\n", "7 0 0 0 | |"},
        {"by-player keys kept apart", "FightersByPlayer: 4\nAlliedArmorByPlayer: 2\n",
         "0 0 4 0 | [AlliedArmorByPlayer: 2] |"},
        {"list order", "AxisFlak: 3\nAlliedOther: 1\nAxisArmor: 2\n",
         "0 0 0 0 | [AlliedOther: 1] | [AxisFlak: 3] [AxisArmor: 2]"},
        {"no final line feed", "Bombers: 3\r\nAxisOther: 9", "0 3 0 0 | | [AxisOther: 9]"},
        {"empty file", "", "0 0 0 0 | |"},
        {"lines kept whole", "AlliedFlak:  2 guns \r\n", "0 0 0 0 | [AlliedFlak:  2 guns ] |"},
        {"clamped beyond 32 bits", "Fighters: 99999999999\nBombers: -99999999999\n",
         "2147483647 -2147483648 0 0 | |"},
        {"junk", std::string("\0\xff\x01" "Fighters: 1\n\x1a" "Bombers: 4\n", 27), "0 0 0 0 | |"},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.file), c.shown) << c.what;
}

}  // namespace
