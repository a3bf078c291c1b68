// The problems kept up to date after edits, inserts and deletes are those of a check from
// scratch over the same rows, and every row whose problems changed is told.

#include "checks/checker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "tests/checks/subtitles.h"

namespace tirelle::checks {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);

// Rows crowded together, so that edits keep making and mending overlaps and gaps.
class RandomRows {
public:
    explicit RandomRows(unsigned seed) : random_(seed) {}

    store::SubRecord make(std::int64_t aid) {
        store::SubRecord row;
        row.aid = aid;
        // Whole milliseconds, ties in start included.
        row.SubSort = pick(0, 600) * 0.05;
        row.SubSortEnd = row.SubSort + pick(-10, 200) * 0.013;
        static const char* const kTexts[] = {
            "a", "中文字幕", "<i>很长很长很长很长很长很长很长很长很长很长很长很长很长</i>",
            "one\r\ntwo\r\nthree", "{\\an8}x"};
        row.SubText = kTexts[pick(0, 4)];
        return row;
    }
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

private:
    std::mt19937 random_;
};

TEST(TimingChecker, RandomChangesMatchTheWholeCheck) {
    for (const char* profile : {"netflix-zh", "netflix-en", "fansub"}) {
        SCOPED_TRACE(profile);
        RandomRows random(42);
        std::map<std::int64_t, store::SubRecord> rows;
        std::int64_t nextAid = 1;
        std::vector<store::SubRecord> start;
        for (; nextAid <= 200; ++nextAid) start.push_back(rows[nextAid] = random.make(nextAid));
        const CheckSettings settings{*FindProfile(profile), kDefaultFrameRate};
        TimingChecker checker(kUtf8, settings);
        checker.reset(start);
        for (int round = 0; round < 400; ++round) {
            SCOPED_TRACE(round);
            std::map<std::int64_t, RowProblems> before;
            for (const auto& entry : rows) before[entry.first] = checker.problemsOf(entry.first);
            std::vector<store::SubRecord> changed;
            std::vector<std::int64_t> removed;
            for (int i = random.pick(1, 3); i > 0; --i) {
                const std::int64_t aid =
                    std::next(rows.begin(), random.pick(0, static_cast<int>(rows.size()) - 1))
                        ->first;
                switch (random.pick(0, 2)) {
                    case 0:  // edit: new times or a new text
                        changed.push_back(rows[aid] = random.make(aid));
                        break;
                    case 1:
                        changed.push_back(rows[nextAid] = random.make(nextAid));
                        ++nextAid;
                        break;
                    default:
                        if (rows.size() > 2 && rows.erase(aid)) removed.push_back(aid);
                }
            }
            const std::vector<std::int64_t> touched = checker.update(changed, removed);

            std::vector<store::SubRecord> now;
            for (const auto& [aid, row] : rows) now.push_back(row);
            const auto found = CheckRows(now, settings, kUtf8);
            ASSERT_EQ(testing::Described(found), testing::Described(checker.problems()));
            EXPECT_EQ(found.size(), checker.problemCount());
            // Told: exactly the rows whose problems differ from before (new rows had none).
            for (const auto& entry : rows) before.try_emplace(entry.first);
            std::set<std::int64_t> differ;
            for (const auto& [aid, problems] : before)
                if (checker.problemsOf(aid) != problems) differ.insert(aid);
            EXPECT_EQ(differ, std::set<std::int64_t>(touched.begin(), touched.end()));
        }
        // Another profile: every row again.
        const CheckSettings other{*FindProfile("netflix-en"), 25};
        checker.setSettings(other);
        std::vector<store::SubRecord> now;
        for (const auto& [aid, row] : rows) now.push_back(row);
        EXPECT_EQ(testing::Described(CheckRows(now, other, kUtf8)),
                  testing::Described(checker.problems()));
    }
}

}  // namespace
}  // namespace tirelle::checks
