#include "app/listview/searchlist.h"

#include "app/listview/subtitlegrid.h"
#include "app/ui/textcodec.h"

namespace tirelle::listview {

namespace {

std::string_view CellText(const store::SubRecord& record, store::Column column) {
    switch (column) {
        case store::Column::STime:
            return record.STime;
        case store::Column::ETime:
            return record.ETime;
        case store::Column::SubText:
            return record.SubText;
        default:
            return {};
    }
}

}  // namespace

bool SearchList(SubtitleGrid& list, std::optional<store::Column> column, std::string_view text,
                SearchOptions options, SearchDirection direction, MatchKind match) {
    store::Dataset* data = list.dataset();
    if (!data || !data->active()) return false;
    const int scanned = list.fullyVisibleColumnCount();
    if (scanned == 0) return false;

    int scan = list.currentColumn();
    if (column)
        for (int place = 0; place < SubtitleGrid::kColumnCount; ++place)
            if (list.columnField(place) == *column) scan = place;

    // The three columns show their stored text as it is, so with or without the displayed-text
    // option the same bytes are compared.
    TextMatcher matcher(text, match, options.caseInsensitive, ui::codePage());
    const bool up = direction == SearchDirection::Up;
    const int topBefore = list.topRow();
    bool found = false;
    {
        store::SuspendedUpdates suspended(*data);
        data->moveBy(0);  // completes a pending edit: a changed row is posted, a new one dropped
        if (data->isEmpty()) return false;
        const store::Bookmark start = data->bookmark();

        auto step = [&] {
            if (!options.allColumns) {
                up ? data->prior() : data->next();
            } else if (up) {
                if (--scan < 0) {
                    scan = scanned - 1;
                    data->prior();
                }
            } else if (++scan >= scanned) {
                scan = 0;
                data->next();
            }
        };

        if (direction == SearchDirection::All)
            data->first();
        else
            step();
        while (!(up ? data->bof() : data->eof())) {
            const store::SubRecord& record = data->rowAt(data->currentRow());
            if (matcher.matches(CellText(record, list.columnField(scan)))) {
                found = true;
                list.setCurrentColumn(scan);
                break;
            }
            step();
        }
        if (!found) data->gotoBookmark(start);
    }
    // Back where it stood on the screen, not merely with the row in view.
    if (!found) list.setTopRow(topBefore);
    return found;
}

}  // namespace tirelle::listview
