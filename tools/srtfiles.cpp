#include "tools/srtfiles.h"

#include "store/command.h"
#include "store/connection.h"
#include "store/errors.h"
#include "store/statements.h"
#include "store/transaction.h"

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

void ImportSrt(store::Dataset& sub, const srt::LineList& lines) {
    store::Connection& connection = ConnectionOf(sub);
    store::RunInTransaction(connection, sub, [&] {
        store::Command deleteAll("ADOCmd");
        deleteAll.setConnection(&connection);
        deleteAll.setCommandText(store::kDeleteAllSql);
        deleteAll.execute();
        sub.requery();
        srt::ReadSrtBlocks(lines, [&sub](const std::string& start, const std::string& end,
                                         const std::string& text) {
            sub.append();
            sub.fieldByName("STime").setAsString(start);
            sub.fieldByName("ETime").setAsString(end);
            sub.fieldByName("SubText").setAsString(text);
            sub.post();
        });
    });
    sub.requery();
}

void WriteSubtitleLines(const std::filesystem::path& path, const srt::LineList& lines) {
    srt::WriteTextLines(path, lines);
}

void ExportSrtLines(store::Dataset& sub, srt::LineList& lines) {
    sub.requery();
    lines.clear();
    {
        store::SuspendedUpdates walk(sub);
        sub.first();
        int number = 1;
        while (!sub.eof()) {
            srt::AppendSrtBlock(lines, number, sub.fieldByName("STime").asString(),
                                sub.fieldByName("ETime").asString(),
                                sub.fieldByName("SubText").asString());
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
