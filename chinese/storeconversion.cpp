#include "chinese/storeconversion.h"

#include <string>
#include <vector>

#include "store/bulkchange.h"
#include "store/history.h"
#include "tools/srtfiles.h"

namespace tirelle::chinese {

StoreConversion ConvertSubtitles(store::Dataset& sub, Converter& converter,
                                 const CodePage& codePage, store::History* history) {
    StoreConversion report;
    if (sub.isEmpty()) return report;
    // The texts as the dataset holds them; nothing changes them until the converted ones are
    // written.
    std::vector<std::string_view> texts;
    texts.reserve(static_cast<std::size_t>(sub.rowCount()));
    for (int row = 0; row < sub.rowCount(); ++row) texts.emplace_back(sub.rowAt(row).SubText);
    const auto converted = ConvertTexts(converter, texts, codePage);

    std::vector<int> rows;
    for (int row = 0; row < sub.rowCount(); ++row) {
        if (!converted[static_cast<std::size_t>(row)]) continue;
        rows.push_back(row);
        report.replaced += converted[static_cast<std::size_t>(row)]->replaced;
    }
    if (rows.empty()) return report;

    const auto write = [&] {
        store::Field text = sub.fieldByName("SubText");
        store::RunBulkChange(tools::ConnectionOf(sub), sub, [&] {
            store::SuspendedUpdates quiet(sub);
            sub.first();
            int at = 0;
            for (const int row : rows) {
                sub.moveBy(row - at);
                at = row;
                sub.edit();
                text.setAsString(converted[static_cast<std::size_t>(row)]->bytes);
                sub.post();
                ++report.changed;
            }
        });
        return true;
    };
    if (history)
        store::RunAsStep(*history, std::string(kStepLabel), write);
    else
        write();
    return report;
}

}  // namespace tirelle::chinese
