#include "checks/checker.h"

#include <algorithm>
#include <string>

#include "base/errors.h"

namespace tirelle::checks {

namespace {

bool Earlier(const auto& place, const detail::OrderKey& key) {
    return place.key < key;
}

}  // namespace

TimingChecker::TimingChecker(const CodePage& codePage, const CheckSettings& settings)
    : settings_(settings), counter_(codePage) {}

TimingChecker::~TimingChecker() = default;

std::size_t TimingChecker::position(const detail::OrderKey& key) const {
    return static_cast<std::size_t>(
        std::lower_bound(order_.begin(), order_.end(), key, Earlier<Place>) - order_.begin());
}

void TimingChecker::recheck(std::size_t position, const detail::Limits& limits) {
    Entry& entry = entries_[order_[position].slot];
    const detail::MeasuredRow* next =
        position + 1 < order_.size() ? &entries_[order_[position + 1].slot].row : nullptr;
    const RowProblems found = detail::CheckRow(entry.row, next, limits);
    problemCount_ += found.count();
    problemCount_ -= entry.problems.count();
    entry.problems = found;
}

void TimingChecker::setSettings(const CheckSettings& settings) {
    settings_ = settings;
    const detail::Limits limits(settings_);
    for (std::size_t i = 0; i < order_.size(); ++i) recheck(i, limits);
}

void TimingChecker::reset(std::span<const store::SubRecord> rows) {
    entries_.clear();
    freeSlots_.clear();
    order_.clear();
    slots_.clear();
    problemCount_ = 0;
    std::vector<std::pair<detail::TimedRow, std::size_t>> sorted;
    sorted.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        sorted.emplace_back(detail::TimedRow::of(rows[i]), i);
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.first.key < b.first.key; });
    entries_.reserve(sorted.size());
    order_.reserve(sorted.size());
    slots_.reserve(sorted.size());
    for (const auto& [time, i] : sorted) {
        const auto slot = static_cast<std::uint32_t>(entries_.size());
        if (!slots_.emplace(time.key.aid, slot).second) {
            reset({});
            throw Error("Two rows with the aid " + std::to_string(time.key.aid));
        }
        entries_.push_back({{time, counter_.measure(rows[i].SubText)}, {}});
        order_.push_back({time.key, slot});
    }
    setSettings(settings_);
}

void TimingChecker::remember(std::int64_t aid, Before& before) const {
    if (before.count(aid)) return;
    const auto held = slots_.find(aid);
    before.emplace(aid, held == slots_.end() ? RowProblems{} : entries_[held->second].problems);
}

void TimingChecker::rememberPrevious(std::size_t position, Before& before) const {
    if (position > 0) remember(order_[position - 1].key.aid, before);
}

void TimingChecker::erase(std::int64_t aid, Before& before) {
    const auto held = slots_.find(aid);
    if (held == slots_.end()) return;
    remember(aid, before);
    const std::uint32_t slot = held->second;
    const std::size_t at = position(entries_[slot].row.time.key);
    rememberPrevious(at, before);
    problemCount_ -= entries_[slot].problems.count();
    entries_[slot].problems = {};
    order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(at));
    freeSlots_.push_back(slot);
    slots_.erase(held);
}

void TimingChecker::insert(const store::SubRecord& record, Before& before) {
    remember(record.aid, before);
    const detail::MeasuredRow row{detail::TimedRow::of(record), counter_.measure(record.SubText)};
    const auto held = slots_.find(record.aid);
    if (held != slots_.end() && entries_[held->second].row.time.key == row.time.key) {
        // Still in its place: the neighbours keep their next row.
        entries_[held->second].row = row;
        return;
    }
    erase(record.aid, before);
    std::uint32_t slot = static_cast<std::uint32_t>(entries_.size());
    if (freeSlots_.empty()) {
        entries_.push_back({row, {}});
    } else {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
        entries_[slot] = {row, {}};
    }
    slots_.emplace(record.aid, slot);
    const std::size_t at = position(row.time.key);
    order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(at), {row.time.key, slot});
    rememberPrevious(at, before);
}

std::vector<std::int64_t> TimingChecker::update(std::span<const store::SubRecord> changed,
                                                std::span<const std::int64_t> removed) {
    Before before;
    for (const store::SubRecord& record : changed) insert(record, before);
    for (const std::int64_t aid : removed) erase(aid, before);
    const detail::Limits limits(settings_);
    std::vector<std::int64_t> touched;
    for (const auto& [aid, problems] : before) {
        const auto held = slots_.find(aid);
        if (held != slots_.end()) recheck(position(entries_[held->second].row.time.key), limits);
        if (problemsOf(aid) != problems) touched.push_back(aid);
    }
    return touched;
}

RowProblems TimingChecker::problemsOf(std::int64_t aid) const {
    const auto held = slots_.find(aid);
    return held == slots_.end() ? RowProblems{} : entries_[held->second].problems;
}

std::vector<Problem> TimingChecker::problems() const {
    std::vector<Problem> all;
    all.reserve(problemCount_);
    for (const Place& place : order_) entries_[place.slot].problems.appendTo(place.key.aid, all);
    return all;
}

}  // namespace tirelle::checks
