#pragma once
// Rows for the checks' tests, made as a post makes them, and problems as short texts that a
// failure prints whole.

#include <string>
#include <vector>

#include "base/timecode.h"
#include "checks/rules.h"
#include "store/dataset.h"

namespace tirelle::testing {

struct Subtitle {
    std::string start, end;
    std::string text = "x";
};

// Rows with aids 1, 2, ... in the order given; the seconds derived from the time texts.
inline std::vector<store::SubRecord> Rows(const std::vector<Subtitle>& subtitles) {
    std::vector<store::SubRecord> rows;
    for (const Subtitle& s : subtitles) {
        store::SubRecord row;
        row.aid = static_cast<std::int64_t>(rows.size()) + 1;
        row.STime = s.start;
        row.ETime = s.end;
        row.SubText = s.text;
        row.SubSort = TimeToSeconds(s.start);
        row.SubSortEnd = TimeToSeconds(s.end);
        rows.push_back(row);
    }
    return rows;
}

// "aid kind value" per problem: "2 overlap 0.1".
inline std::vector<std::string> Described(const std::vector<checks::Problem>& problems) {
    std::vector<std::string> texts;
    for (const checks::Problem& p : problems)
        texts.push_back(std::to_string(p.aid) + " " + std::string(checks::KindName(p.kind)) + " " +
                        checks::ValueText(p.hundredths));
    return texts;
}

}  // namespace tirelle::testing
