// The fix of the mechanical problems: the new ends, step by step, and the fix on a real store
// as one undo step that undoes.

#include "checks/fix.h"

#include <gtest/gtest.h>

#include <random>

#include "store/connection.h"
#include "store/statements.h"
#include "tests/checks/subtitles.h"
#include "tests/support/storewithhistory.h"
#include "tests/support/typedrows.h"

namespace tirelle::checks {
namespace {

using testing::Rows;
using testing::Subtitle;

struct FixCase {
    const char* name;
    const char* profile;
    std::vector<Subtitle> subtitles;
    std::vector<std::string> ends;  // "aid new end", in start order
};

std::vector<std::string> Described(const std::vector<EndChange>& changes) {
    std::vector<std::string> texts;
    for (const EndChange& c : changes) texts.push_back(std::to_string(c.aid) + " " + c.timeCode());
    return texts;
}

TEST(FixTiming, NewEnds) {
    const FixCase cases[] = {
        {"a gap ends the least gap before the next start, cut to the millisecond",
         "netflix-zh",
         {{"00:00:01,000", "00:00:03,000"}, {"00:00:03,000", "00:00:05,000"}},
         {"1 00:00:02,916"}},
        {"an overlap stays when the row would last under 0.2 s; 0.2 s exactly is fine",
         "fansub",
         {{"00:00:01,000", "00:00:03,000"},
          {"00:00:01,150", "00:00:04,000"},
          {"00:00:10,000", "00:00:12,000"},
          {"00:00:10,200", "00:00:12,000"}},
         {"3 00:00:10,200"}},
        {"a short row lasts the shortest, to the millisecond as written",
         "netflix-zh",
         {{"00:01:40,000", "00:01:40,500"}, {"00:00:05,000", "00:00:04,000"}},
         {"2 00:00:05,833", "1 00:01:40,833"}},
        {"a short row ends no later than the least gap before the next start",
         "netflix-zh",
         {{"00:00:01,000", "00:00:01,300"}, {"00:00:01,600", "00:00:03,000"}},
         {"1 00:00:01,516"}},
        {"a gap is mended first, even when that makes the row shorter",
         "netflix-zh",
         {{"00:00:01,000", "00:00:01,300"}, {"00:00:01,350", "00:00:03,000"}},
         {"1 00:00:01,266"}},
        {"a short row is never made shorter",
         "netflix-zh",
         {{"00:00:01,000", "00:00:01,150"}, {"00:00:01,200", "00:00:03,000"}},
         {}},
        {"a long row lasts the longest",
         "netflix-en",
         {{"00:00:01,000", "00:00:10,000"}, {"00:00:20,000", "00:00:27,000"}},
         {"1 00:00:08,000"}},
    };
    for (const FixCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CheckSettings settings{*FindProfile(c.profile), kDefaultFrameRate};
        EXPECT_EQ(c.ends, Described(FixTiming(Rows(c.subtitles), settings)));
    }
}

TEST(FixTiming, NothingLeftToFixAfterwards) {
    const CheckSettings settings{*FindProfile("netflix-zh"), kDefaultFrameRate};
    std::mt19937 random(5);
    std::uniform_int_distribution<int> start(0, 2000), length(-500, 9000);
    std::vector<store::SubRecord> rows;
    for (int i = 0; i < 300; ++i) {
        const int ms = start(random) * 10;
        rows.push_back(
            Rows({{MillisecondsToTime(ms), MillisecondsToTime(ms + length(random))}})[0]);
        rows.back().aid = i + 1;
    }
    for (const EndChange& change : FixTiming(rows, settings)) {
        rows[change.row].ETime = change.timeCode();
        rows[change.row].SubSortEnd = TimeToSeconds(change.timeCode());
    }
    // Fixed once, nothing is left to fix: what stays is what the rules keep as it is.
    EXPECT_EQ(std::vector<std::string>{}, Described(FixTiming(rows, settings)));
    for (const Problem& p : CheckRows(rows, settings, CodePage()))
        EXPECT_NE(ProblemKind::Long, p.kind);
}

class FixStep : public ::testing::TestWithParam<int>, protected tirelle::testing::StoreWithHistory {
protected:
    using Row = tirelle::testing::TypedRow;

    void SetUp() override {
        for (int i = 0; i < GetParam(); ++i)
            clean.push_back(
                {MillisecondsToTime(20000 + 2000 * i), MillisecondsToTime(21000 + 2000 * i), "ok"});
        tirelle::testing::AppendRows(sub, with({{"00:00:01,000", "00:00:03,000", "一"},
                                                {"00:00:02,500", "00:00:02,700", "two"},
                                                {"00:00:09,000", "00:00:09,400", "三"}}));
        sub.requery();
    }
    std::vector<Row> with(std::vector<Row> rows) const {
        rows.insert(rows.end(), clean.begin(), clean.end());
        return rows;
    }
    std::vector<Row> shown() const {
        std::vector<Row> rows;
        for (const store::SubRecord& r : sub.rows()) rows.push_back({r.STime, r.ETime, r.SubText});
        return rows;
    }

    std::vector<Row> clean;
};

TEST_P(FixStep, OneStepThatUndoes) {
    const auto before = shown();
    sub.moveBy(2);
    const int steps = history.stepCount();
    EXPECT_EQ(3u, ApplyTimingFix(sub, &history, CheckSettings{}));
    const std::vector<Row> fixed = with({{"00:00:01,000", "00:00:02,500", "一"},
                                         {"00:00:02,500", "00:00:03,000", "two"},
                                         {"00:00:09,000", "00:00:09,500", "三"}});
    EXPECT_EQ(fixed, shown());
    EXPECT_EQ(2.5, sub.rows()[0].SubSortEnd);
    EXPECT_EQ(2, sub.currentRow());
    EXPECT_EQ(steps + 1, history.stepCount());
    EXPECT_EQ(kFixStepLabel, history.undoLabel());

    history.undo();
    sub.reload();
    EXPECT_EQ(before, shown());
    history.redo();
    sub.reload();
    EXPECT_EQ(fixed, shown());
    EXPECT_EQ(0u, ApplyTimingFix(sub, &history, CheckSettings{}));
    EXPECT_EQ(steps + 1, history.stepCount());
}

INSTANTIATE_TEST_SUITE_P(FewOrMany, FixStep, ::testing::Values(0, 40));

}  // namespace
}  // namespace tirelle::checks
