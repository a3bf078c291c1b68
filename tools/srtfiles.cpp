#include "tools/srtfiles.h"

#include "store/bulkchange.h"
#include "store/command.h"
#include "store/connection.h"
#include "store/errors.h"
#include "store/statements.h"
#include "store/transaction.h"
#include "tools/blockrows.h"

namespace tirelle::tools {

store::Connection& ConnectionOf(store::Dataset& sub) {
    store::Connection* connection = sub.connection();
    if (!connection || !connection->isOpen())
        throw datasetError(sub.name(), store::kConnectionClosedMessage);
    return *connection;
}

srt::LineList LoadSubtitleLines(const std::filesystem::path& path, const CodePage& codePage,
                                srt::ReadEncoding* encoding) {
    return srt::LoadTextLines(path, codePage, encoding);
}

void AppendBlockRows(store::Dataset& sub, const srt::LineList& lines, const BlockTimes& times) {
    store::Field startText = sub.fieldByName("STime");
    store::Field endText = sub.fieldByName("ETime");
    store::Field text = sub.fieldByName("SubText");
    store::BatchedAppends batch(sub);
    srt::ReadSrtBlocks(lines, [&](const std::string& start, const std::string& end,
                                  const std::string& subtitle) {
        sub.append();
        if (times) {
            const auto [storedStart, storedEnd] = times(start, end);
            startText.setAsString(storedStart);
            endText.setAsString(storedEnd);
        } else {
            startText.setAsString(start);
            endText.setAsString(end);
        }
        text.setAsString(subtitle);
        sub.post();
    });
    batch.finish();
}

void ImportSrt(store::Dataset& sub, const srt::LineList& lines, store::Command* deleteAll) {
    store::Connection& connection = ConnectionOf(sub);
    store::Command own("ADOCmd");
    if (!deleteAll) {
        own.setConnection(&connection);
        deleteAll = &own;
    }
    // The list is redrawn once, at the end, however the import ends.
    store::SuspendedUpdates quiet(sub);
    store::RunBulkChange(connection, sub, [&] {
        deleteAll->setCommandText(store::kDeleteAllSql);
        deleteAll->execute();
        sub.requery();
        // A block takes at least four lines in the usual files (number, time, text, blank).
        sub.reserve(static_cast<int>(lines.size() / 4) + 16);
        AppendBlockRows(sub, lines, nullptr);
    });
    // The rows just posted are the table's: they are put in order without reading them again.
    sub.requery();
}

void WriteSubtitleLines(const std::filesystem::path& path, const srt::LineList& lines) {
    srt::WriteTextLines(path, lines);
}

void ExportSrtLines(store::Dataset& sub, srt::LineList& lines) {
    lines.clear();
    {
        // The requery is inside the suspension too: the list is redrawn once, after the walk.
        store::SuspendedUpdates walk(sub);
        sub.requery();
        sub.first();
        int number = 1;
        // A missing text reads as "", as the fields give it; the texts are read in place.
        const auto text = [](const store::SubRecord& row, store::Column column,
                             const std::string& value) {
            return row.isNull(column) ? std::string_view() : std::string_view(value);
        };
        lines.reserve(static_cast<std::size_t>(sub.rowCount()) * 5);
        while (!sub.eof()) {
            const store::SubRecord& row = sub.currentValues();
            srt::AppendSrtBlock(lines, number, text(row, store::Column::STime, row.STime),
                                text(row, store::Column::ETime, row.ETime),
                                text(row, store::Column::SubText, row.SubText));
            sub.next();
            ++number;
        }
    }
}

void ExportSrt(store::Dataset& sub, srt::LineList& lines, const std::filesystem::path& path) {
    ExportSrtLines(sub, lines);
    WriteSubtitleLines(path, lines);
}

}  // namespace tirelle::tools
