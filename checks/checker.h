#pragma once
// The problems of every row, kept up to date as rows change: after an edit, an insert or a
// delete only the rows concerned are checked again (the row itself, and the rows before it in
// start order at its old and its new place, whose next row it was or has become). For the
// window's marks, its checks panel and its status bar.
//
//   TimingChecker checker(codePage, settings);
//   checker.reset(sub.rows());                        // after an open, a tool, an undo, a fix
//   auto touched = checker.update({&posted, 1}, {});  // after a post of one row (edit, insert)
//   auto touched = checker.update({}, {&aid, 1});     // after a delete
//   checker.problemsOf(aid).appendTo(aid, list);      // a row's problems, for its tooltip
//
// Rows are told apart by aid, which must be unique among them. Not thread-safe: one object
// per thread (a worker may own one and hand its results over).

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "base/codepage.h"
#include "checks/profile.h"
#include "checks/rules.h"
#include "checks/textcount.h"
#include "checks/timeline.h"
#include "store/dataset.h"

namespace tirelle::checks {

class TimingChecker {
public:
    // Throws Error when the code page's decoder cannot be made.
    explicit TimingChecker(const CodePage& codePage, const CheckSettings& settings = {});
    ~TimingChecker();
    TimingChecker(const TimingChecker&) = delete;
    TimingChecker& operator=(const TimingChecker&) = delete;

    const CheckSettings& settings() const { return settings_; }
    // Another profile or frame rate: every row is checked again (the texts are not needed,
    // their counts under both countings are kept).
    void setSettings(const CheckSettings& settings);

    // Forgets everything and checks these rows (in any order) from scratch. Throws Error, and
    // holds no row, when two rows have one aid.
    void reset(std::span<const store::SubRecord> rows);

    // Rows edited or inserted (an aid not held yet is an insert), then rows deleted by aid (an
    // aid not held is ignored). Returns the aids whose problems changed, deleted rows that had
    // problems included, each once.
    std::vector<std::int64_t> update(std::span<const store::SubRecord> changed,
                                     std::span<const std::int64_t> removed);

    std::size_t rowCount() const { return order_.size(); }
    // Problems of every row together.
    std::size_t problemCount() const { return problemCount_; }
    // The problems of one row, in the order of the kinds (none for an aid not held).
    RowProblems problemsOf(std::int64_t aid) const;
    // Every problem, as CheckRows gives it for the same rows: in start order.
    std::vector<Problem> problems() const;

private:
    struct Entry {
        detail::MeasuredRow row;
        RowProblems problems;
    };
    // A row's place in start order: its key and where its entry is.
    struct Place {
        detail::OrderKey key;
        std::uint32_t slot;
    };
    // The problems of rows before an update, for the rows it may change.
    using Before = std::unordered_map<std::int64_t, RowProblems>;

    // Where a held key stands in order_.
    std::size_t position(const detail::OrderKey& key) const;
    // Checks the row at `position` again against its next row; keeps the count.
    void recheck(std::size_t position, const detail::Limits& limits);
    void remember(std::int64_t aid, Before& before) const;
    // Remembers the row before `position`, whose next row the row there is or was.
    void rememberPrevious(std::size_t position, Before& before) const;
    void insert(const store::SubRecord& record, Before& before);
    void erase(std::int64_t aid, Before& before);

    CheckSettings settings_;
    TextCounter counter_;
    // Entries stay in their slot while rows move in start order, so that an edit moves only
    // the small places (a few hundred kilobytes for 100,000 rows), never the entries.
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> freeSlots_;
    std::vector<Place> order_;                               // sorted by key
    std::unordered_map<std::int64_t, std::uint32_t> slots_;  // by aid
    std::size_t problemCount_ = 0;
};

}  // namespace tirelle::checks
