#include "tests/ResultsTableSupport.h"

#include <gtest/gtest.h>

#include "resources/ResourceIds.h"
#include "tests/TestSupport.h"

namespace sxtest {

void CaptureResultsTable(sx::FakeHost& host, ShownTable& table) {
    host.ScriptDialog(sx::IDD_RESULTS_DIALOG, [&table](sx::FakeWindow& w) {
        table.shown = true;
        for (int id : {sx::IDC_FIGHTER_LOSSES, sx::IDC_BOMBER_LOSSES, sx::IDC_FIGHTERS_BY_PLAYER,
                       sx::IDC_BOMBERS_BY_PLAYER})
            table.counts[id] = w.Text(id);
        table.allied = w.Items(sx::IDC_ALLIED_LOSSES);
        table.axis = w.Items(sx::IDC_AXIS_LOSSES);
    });
}

void ExpectTableShowsFile(const ShownTable& table, const std::string& resultsFile) {
    ASSERT_TRUE(table.shown);
    const std::pair<std::string, int> countKeys[] = {
        {"Fighters: ", sx::IDC_FIGHTER_LOSSES},
        {"Bombers: ", sx::IDC_BOMBER_LOSSES},
        {"FightersByPlayer: ", sx::IDC_FIGHTERS_BY_PLAYER},
        {"BombersByPlayer: ", sx::IDC_BOMBERS_BY_PLAYER}};
    std::map<int, std::string> counts;  // a count the file lacks shows 0
    for (const auto& [key, id] : countKeys) counts[id] = "0";
    std::vector<std::string> allied, axis;
    for (std::string line : Split(ReadFile(resultsFile), '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        for (const auto& [key, id] : countKeys)
            if (line.rfind(key, 0) == 0) counts[id] = line.substr(key.size());
        if (line.rfind("Allied", 0) == 0) allied.push_back(line);
        if (line.rfind("Axis", 0) == 0) axis.push_back(line);
    }
    EXPECT_EQ(table.counts, counts);
    EXPECT_EQ(table.allied, allied);
    EXPECT_EQ(table.axis, axis);
}

}  // namespace sxtest
