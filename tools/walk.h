#pragma once
// The walk that the whole-store operations share: every row from the first to the last, in
// one bulk change with the list's updates suspended, and the time fields of the current row
// looked up once per walk and written as the tools write times.

#include "base/timecode.h"
#include "store/bulkchange.h"
#include "tools/srtfiles.h"

namespace tirelle::tools {

// The four time fields of the current row, looked up once per walk.
struct TimeFields {
    explicit TimeFields(store::Dataset& sub)
        : start(sub.fieldByName("SubSort")),
          end(sub.fieldByName("SubSortEnd")),
          startText(sub.fieldByName("STime")),
          endText(sub.fieldByName("ETime")) {}

    // Edits the current row to start s and end e (already clamped) and posts it. The seconds
    // are not set here: posting derives them from the new texts.
    void setAndPost(store::Dataset& sub, double s, double e) {
        sub.edit();
        startText.setAsString(SecondsToTimeCode(s));
        endText.setAsString(SecondsToTimeCode(e));
        sub.post();
    }

    store::Field start, end, startText, endText;
};

// Visits every row from the first to the last with the list's updates suspended, inside one
// transaction; `change` edits and posts the current row (or leaves it).
template <class Change>
void WalkAll(store::Dataset& sub, Change change) {
    store::RunBulkChange(ConnectionOf(sub), sub, [&] {
        store::SuspendedUpdates walk(sub);
        sub.first();
        while (!sub.eof()) {
            change();
            sub.next();
        }
    });
}

}  // namespace tirelle::tools
