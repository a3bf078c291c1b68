#pragma once
// Rows typed into the working dataset the way the list does it: append, the three texts, post
// (the post derives the sort keys).

#include <ostream>
#include <string>
#include <vector>

#include "store/dataset.h"

namespace tirelle::testing {

struct TypedRow {
    std::string start, end, text;
    bool operator==(const TypedRow&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const TypedRow& row) {
    return out << "{" << row.start << ", " << row.end << ", " << row.text << "}";
}

inline void AppendRows(store::Dataset& sub, const std::vector<TypedRow>& rows) {
    for (const TypedRow& row : rows) {
        sub.append();
        sub.fieldByName("STime").setAsString(row.start);
        sub.fieldByName("ETime").setAsString(row.end);
        sub.fieldByName("SubText").setAsString(row.text);
        sub.post();
    }
}

}  // namespace tirelle::testing
