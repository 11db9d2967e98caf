// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/Results.h"

#include <climits>

#include "base/Text.h"
#include "missionfile/FileStreams.h"
#include "os/Paths.h"

namespace sx {

namespace {

struct CountKey {
    std::string_view key;
    int ResultsTable::*member;
};

// "Fighters:" and "FightersByPlayer:" differ at the shorter key's colon, so no line can match
// two keys.
constexpr CountKey kCountKeys[] = {
    {"Fighters:", &ResultsTable::fighterLosses},
    {"FightersByPlayer:", &ResultsTable::fightersByPlayer},
    {"Bombers:", &ResultsTable::bomberLosses},
    {"BombersByPlayer:", &ResultsTable::bombersByPlayer},
};

constexpr std::string_view kAlliedKeys[] = {
    "AlliedArmor:", "AlliedArmorByPlayer:", "AlliedArtillery:", "AlliedArtilleryByPlayer:",
    "AlliedFlak:",  "AlliedFlakByPlayer:",  "AlliedOther:",     "AlliedOtherByPlayer:",
};

constexpr std::string_view kAxisKeys[] = {
    "AxisArmor:", "AxisArmorByPlayer:", "AxisArtillery:", "AxisArtilleryByPlayer:",
    "AxisFlak:",  "AxisFlakByPlayer:",  "AxisOther:",     "AxisOtherByPlayer:",
};

bool MatchesAny(std::string_view line, const std::string_view (&keys)[8]) {
    for (std::string_view k : keys)
        if (StartsWith(line, k)) return true;
    return false;
}

}  // namespace

int ParseCount(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;  // clamped below
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

void ReadResults(LineReader& reader, ResultsTable& table) {
    std::string line;
    while (reader.ReadLine(line)) {
        bool counted = false;
        for (const CountKey& k : kCountKeys) {
            if (StartsWith(line, k.key)) {
                // One character (a blank in the game's files) separates key and value.
                const size_t skip = k.key.size() + 1;
                table.*k.member =
                    ParseCount(line.size() > skip ? std::string_view(line).substr(skip) : "");
                counted = true;
                break;
            }
        }
        if (counted) continue;
        std::vector<std::string>* list = MatchesAny(line, kAlliedKeys) ? &table.alliedLosses
                                         : MatchesAny(line, kAxisKeys) ? &table.axisLosses
                                                                       : nullptr;
        if (list == nullptr || list->size() > kResultsListLimit) continue;
        list->push_back(list->size() < kResultsListLimit ? line : kListShortened);
    }
}

std::optional<ResultsTable> ReadResultsFile(const std::string& gameDir) {
    // The game's folder, or no results file: another folder's is not the account of this run.
    if (!os::ChangeDir(gameDir + kResultsFolder)) return std::nullopt;
    os::InputFile file;
    if (!file.Open(kResultsFile)) return std::nullopt;
    FileSource source(file);
    LineReader reader(source);
    ResultsTable table;
    ReadResults(reader, table);
    return table;
}

}  // namespace sx
