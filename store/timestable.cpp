#include "store/timestable.h"

#include <sqlite3.h>

#include <cstring>

#include "store/errors.h"
#include "store/fieldvalue.h"

namespace tirelle::store {

namespace {

enum TimesColumn { kAid, kSTime, kETime, kSubSort, kSubSortEnd, kOldSTime, kOldETime, kOldSubSort, kOldSubSortEnd };

void Result(sqlite3_context* context, const SubRecord& row, Column column) {
    using namespace fieldvalue;
    if (row.isNull(column)) {
        sqlite3_result_null(context);
    } else if (IsText(column)) {
        const std::string& text = TextOf(row, column);
        sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    } else {
        sqlite3_result_double(context, NumberOf(row, column));
    }
}

}  // namespace

struct TimesTable::VirtualTable {
    sqlite3_vtab base{};
    TimesTable* owner = nullptr;
};

struct TimesTable::Cursor {
    sqlite3_vtab_cursor base{};
    TimesTable* owner = nullptr;
    std::size_t at = 0;

    void skip() {
        while (at < owner->rows_.size() && owner->rows_[at].part != owner->part_) ++at;
    }

    static const sqlite3_module kModule;
};

const sqlite3_module TimesTable::Cursor::kModule = [] {
    sqlite3_module m{};
    // Only as the table of its own name (no create statement), read only.
    m.xConnect = [](sqlite3* db, void* owner, int, const char* const*, sqlite3_vtab** out, char**) {
        const int rc = sqlite3_declare_vtab(
            db, "create table x(aid, STime, ETime, SubSort, SubSortEnd, oldSTime, oldETime, "
                "oldSubSort, oldSubSortEnd)");
        if (rc != SQLITE_OK) return rc;
        auto* table = new VirtualTable;
        table->owner = static_cast<TimesTable*>(owner);
        *out = &table->base;
        return SQLITE_OK;
    };
    m.xBestIndex = [](sqlite3_vtab*, sqlite3_index_info* info) {
        // Read whole, in order: the update looks each row up in Sub by its key.
        info->estimatedCost = 1000;
        info->estimatedRows = 1000;
        return SQLITE_OK;
    };
    m.xDisconnect = [](sqlite3_vtab* table) {
        delete reinterpret_cast<VirtualTable*>(table);
        return SQLITE_OK;
    };
    m.xOpen = [](sqlite3_vtab* table, sqlite3_vtab_cursor** out) {
        auto* cursor = new Cursor;
        cursor->owner = reinterpret_cast<VirtualTable*>(table)->owner;
        *out = &cursor->base;
        return SQLITE_OK;
    };
    m.xClose = [](sqlite3_vtab_cursor* cursor) {
        delete reinterpret_cast<Cursor*>(cursor);
        return SQLITE_OK;
    };
    m.xFilter = [](sqlite3_vtab_cursor* base, int, const char*, int, sqlite3_value**) {
        auto* cursor = reinterpret_cast<Cursor*>(base);
        cursor->at = 0;
        cursor->skip();
        return SQLITE_OK;
    };
    m.xNext = [](sqlite3_vtab_cursor* base) {
        auto* cursor = reinterpret_cast<Cursor*>(base);
        ++cursor->at;
        cursor->skip();
        return SQLITE_OK;
    };
    m.xEof = [](sqlite3_vtab_cursor* base) {
        const auto* cursor = reinterpret_cast<Cursor*>(base);
        return cursor->at >= cursor->owner->rows_.size() ? 1 : 0;
    };
    m.xColumn = [](sqlite3_vtab_cursor* base, sqlite3_context* context, int column) {
        const auto* cursor = reinterpret_cast<Cursor*>(base);
        const Row& row = cursor->owner->rows_[cursor->at];
        switch (column) {
            case kAid: sqlite3_result_int64(context, row.before->aid); break;
            case kSTime: Result(context, *row.after, Column::STime); break;
            case kETime: Result(context, *row.after, Column::ETime); break;
            case kSubSort: Result(context, *row.after, Column::SubSort); break;
            case kSubSortEnd: Result(context, *row.after, Column::SubSortEnd); break;
            case kOldSTime: Result(context, *row.before, Column::STime); break;
            case kOldETime: Result(context, *row.before, Column::ETime); break;
            case kOldSubSort: Result(context, *row.before, Column::SubSort); break;
            case kOldSubSortEnd: Result(context, *row.before, Column::SubSortEnd); break;
            default: sqlite3_result_null(context); break;
        }
        return SQLITE_OK;
    };
    m.xRowid = [](sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
        *rowid = static_cast<sqlite3_int64>(reinterpret_cast<Cursor*>(base)->at);
        return SQLITE_OK;
    };
    return m;
}();

TimesTable::TimesTable(sqlite3* db, std::span<const Row> rows, const std::string& errorPrefix)
    : db_(db), rows_(rows) {
    if (sqlite3_create_module_v2(db, kName, &Cursor::kModule, this, nullptr) != SQLITE_OK)
        throw datasetError(errorPrefix, sqlite3_errmsg(db));
}

TimesTable::~TimesTable() {
    sqlite3_create_module_v2(db_, kName, nullptr, nullptr, nullptr);  // gone with this object
}

}  // namespace tirelle::store
