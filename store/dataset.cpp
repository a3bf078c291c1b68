#include "store/dataset.h"

#include <sqlite3.h>

#include <algorithm>

#include "store/datasetrows.h"
#include "store/errors.h"
#include "store/fieldvalue.h"
#include "store/statements.h"

namespace tirelle::store {

namespace {

constexpr const char* kClosedMessage = "Cannot perform this operation on a closed dataset";

// Searches outward from the current row: the row a locate looks for is nearly always the
// current one or a neighbour (the preview follows playback), and among rows with an equal key
// the nearest is found.
template <typename Matches>
int SearchOutward(int count, int from, Matches matches) {
    from = std::clamp(from, 0, std::max(count - 1, 0));
    for (int k = 0; k < count; ++k) {
        const int up = from + k;
        const int down = from - k - 1;
        if (up >= count && down < 0) break;
        if (up < count && matches(up)) return up;
        if (down >= 0 && matches(down)) return down;
    }
    return -1;
}

}  // namespace

using namespace fieldvalue;
using datasetrows::SortsBefore;

// --- Dataset: opening and loading

Dataset::Dataset(std::string name) : name_(std::move(name)) {
    beforePost = DeriveSortKeys;
}

Dataset::~Dataset() = default;

void Dataset::checkActive() const {
    if (!active()) throw datasetError(name_, kClosedMessage);
}

std::vector<SubRecord> Dataset::load(std::optional<Connection::ChangeStamp>& stamp) {
    if (!connection_ || !connection_->isOpen()) throw datasetError(name_, kConnectionClosedMessage);
    // Taken before the reading, so that whatever changes the table after it shows.
    stamp.reset();
    if (commandText_ == kSelectAllSql) stamp = connection_->changeStamp(name_);
    Statement select(connection_->handle(), commandText_, name_);
    std::vector<SubRecord> rows;
    // A requery mostly finds about as many rows as before: room for them up front saves the
    // copies of a growing vector, which would double the memory needed while reading.
    std::size_t expected = rows_.size() + rows_.size() / 8;
    if (expected == 0 && stamp) {
        // The first reading: the count, from the index, is far cheaper than growing the
        // vector row by row, which moves every row read so far at each doubling.
        Statement count(connection_->handle(), "select count(*) from Sub", name_);
        if (count.step())
            expected = static_cast<std::size_t>(std::max<std::int64_t>(count.columnInt64(0), 0));
    }
    rows.reserve(expected);
    const auto map = ColumnMap(select);
    int sortColumn = -1;
    for (std::size_t i = 0; i < map.size(); ++i)
        if (map[i] == Column::SubSort) sortColumn = static_cast<int>(i);
    if (sortColumn < 0) stamp.reset();
    while (select.step()) {
        // A text or blob key sorts after every number and reads as a number here: rows with
        // one can only be ordered by the engine.
        if (stamp) {
            const int type = select.columnType(sortColumn);
            if (type == SQLITE_TEXT || type == SQLITE_BLOB) stamp.reset();
        }
        rows.push_back(ReadRecord(select, map));
    }
    return rows;
}

void Dataset::readAll() {
    std::optional<Connection::ChangeStamp> stamp;
    rows_ = load(stamp);  // a failed reading keeps the rows shown so far
    stamp_ = stamp;
    ordered_ = true;
}

bool Dataset::rowsAreStored() const {
    if (!stamp_ || !connection_ || !connection_->isOpen()) return false;
    try {
        return connection_->changeStamp(name_) == *stamp_;
    } catch (const Error&) {
        return false;
    }
}

void Dataset::orderRows() {
    // Rows fall out of order by appends (a merged file, new rows) and by edits: mostly a sorted
    // run with the new rows after it, often in order themselves. Merging the two runs moves
    // each row about once, where sorting all of them moves every row many times.
    const auto tail = std::is_sorted_until(rows_.begin(), rows_.end(), SortsBefore);
    if (!std::is_sorted(tail, rows_.end(), SortsBefore)) std::sort(tail, rows_.end(), SortsBefore);
    std::inplace_merge(rows_.begin(), tail, rows_.end(), SortsBefore);
    ordered_ = true;
}

bool Dataset::stampBeforeWrite() const {
    return stamp_ && connection_ && connection_->handle() == stamp_->db &&
           connection_->changeCount() == stamp_->changes;
}

void Dataset::stampAfterWrite(bool wasStored) {
    if (wasStored)
        stamp_->changes = connection_->changeCount();
    else
        stamp_.reset();
}

void Dataset::open() {
    if (active()) return;
    readAll();
    setBrowsing();
    toFirstLoaded();
    notifyState();
    notifyChanged();
}

void Dataset::close() {
    if (!active()) return;
    try {
        flushAppends();  // rows posted but not yet written are stored as their posts promised
    } catch (const Error&) {
        // the refused row goes with the rest, as a pending change does
    }
    queued_ = 0;
    insertStatement_ = Statement();
    updateStatement_ = Statement();
    deleteStatement_ = Statement();
    batchInsertStatement_ = Statement();
    nextAidStatement_ = Statement();
    rows_.clear();
    rows_.shrink_to_fit();
    stamp_.reset();
    state_ = DatasetState::Inactive;
    pending_ = SubRecord();
    modified_ = false;
    current_ = -1;
    eof_ = bof_ = true;
    notifyState();
    notifyChanged();
}

void Dataset::requery() {
    checkActive();
    completePendingEdit();
    flushAppends();
    if (rowsAreStored()) {
        if (!ordered_) orderRows();
    } else {
        readAll();
    }
    toFirstLoaded();
    notifyChanged();
}

void Dataset::reload() {
    checkActive();
    completePendingEdit();
    flushAppends();
    readAll();
    toFirstLoaded();
    notifyChanged();
}

void Dataset::setBrowsing() {
    state_ = DatasetState::Browse;
    pending_ = SubRecord();
    modified_ = false;
}

void Dataset::toFirstLoaded() {
    current_ = rows_.empty() ? -1 : 0;
    eof_ = rows_.empty();
    bof_ = true;
}

// --- contents

bool Dataset::isEmpty() const {
    return !active() || rows_.empty();
}

int Dataset::recordCount() const {
    checkActive();
    return rowCount() - (state_ == DatasetState::Insert ? 1 : 0);
}

const SubRecord& Dataset::rowAt(int row) const {
    if (row < 0 || row >= rowCount()) return NoRecord();
    if (row == current_ && state_ != DatasetState::Browse) return pending_;
    return rows_[static_cast<std::size_t>(row)];
}

const SubRecord& Dataset::currentValues() const {
    checkActive();
    return rowAt(current_);
}

Field Dataset::fieldByName(std::string_view name) {
    checkActive();
    const std::optional<Column> column = columnByName(name);
    if (!column) throw datasetError(name_, "Field '" + std::string(name) + "' not found");
    return Field(*this, *column);
}

// --- cursor

void Dataset::setCurrent(int row, bool centre) {
    const bool moved = row != current_;
    current_ = row;
    if (moved || centre) notifyCurrent(centre);
}

void Dataset::completePendingEdit() {
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
    notifyUpdateRecord();
    if (modified_)
        post();
    else
        cancel();
}

void Dataset::first() {
    checkActive();
    completePendingEdit();
    setCurrent(rows_.empty() ? -1 : 0);
    eof_ = rows_.empty();
    bof_ = true;
}

void Dataset::last() {
    checkActive();
    completePendingEdit();
    setCurrent(rowCount() - 1);
    eof_ = true;
    bof_ = rows_.empty();
}

void Dataset::next() {
    moveBy(1);
}

void Dataset::prior() {
    moveBy(-1);
}

int Dataset::moveBy(int distance) {
    checkActive();
    completePendingEdit();
    if (distance == 0 || (distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
    eof_ = bof_ = false;
    const int below = rowCount() - 1 - current_;
    if (distance > below) {
        eof_ = true;
        distance = below;
    } else if (-distance > current_) {
        bof_ = true;
        distance = -current_;
    }
    setCurrent(current_ + distance);
    return distance;
}

Bookmark Dataset::bookmark() const {
    checkActive();
    const SubRecord& record = rowAt(current_);
    return Bookmark{current_, record.isNull(Column::Aid) ? 0 : record.aid};
}

void Dataset::gotoBookmark(const Bookmark& bookmark) {
    checkActive();
    completePendingEdit();
    flushAppends();
    // The remembered row, or where rows added or removed since have moved it.
    const int row = SearchOutward(rowCount(), bookmark.row, [&](int i) {
        return rows_[static_cast<std::size_t>(i)].aid == bookmark.aid;
    });
    if (row < 0) return;
    eof_ = bof_ = false;
    setCurrent(row);
}

int Dataset::findRow(Column column, const FieldValue& value) const {
    const int count = rowCount();
    const auto row = [&](int i) -> const SubRecord& { return rows_[static_cast<std::size_t>(i)]; };
    if (IsText(column)) {
        const std::string wanted = AsText(value);
        return SearchOutward(count, current_, [&](int i) {
            return !row(i).isNull(column) && TextOf(row(i), column) == wanted;
        });
    }
    const auto* id = std::get_if<std::int64_t>(&value);
    if (column == Column::Aid && id) {
        return SearchOutward(count, current_,
                             [&](int i) { return !row(i).isNull(column) && row(i).aid == *id; });
    }
    double wanted = 0;
    if (!AsNumber(value, wanted)) return -1;
    return SearchOutward(count, current_, [&](int i) {
        return !row(i).isNull(column) && NumberOf(row(i), column) == wanted;
    });
}

bool Dataset::locate(std::string_view column, const FieldValue& value) {
    checkActive();
    completePendingEdit();
    flushAppends();
    const std::optional<Column> which = columnByName(column);
    if (!which) return false;
    const int row = findRow(*which, value);
    if (row < 0) return false;
    eof_ = bof_ = false;
    setCurrent(row, true);
    return true;
}

}  // namespace tirelle::store
