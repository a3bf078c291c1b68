// Memory and time of the store at a million rows: the open of a 1,000,000-block SRT file into
// an empty store as the main window makes it (one undo step, the line list emptied after), a
// shift of every row, and a restart (the store opened again and every row read). Prints the
// growth of the resident set per row after each, measured from /proc/self/statm with freed
// memory handed back first.
//   bench_store_memory [blocks]

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "store/command.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/statements.h"
#include "tests/support/tempfolder.h"
#include "tools/filesteps.h"

using namespace tirelle;

namespace {

double ResidentBytes() {
    ::malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void WriteFile(const std::filesystem::path& path, int blocks) {
    std::ofstream out(path, std::ios::binary);
    char block[160];
    for (int i = 0; i < blocks; ++i) {
        const int s = 2 * i + 1, e = s + 1;
        const int n = std::snprintf(
            block, sizeof block, "%d\r\n%02d:%02d:%02d,000 --> %02d:%02d:%02d,500\r\n"
                                 "第 %d 句字幕的文字\r\nsecond line %d\r\n\r\n",
            i + 1, s / 3600, s / 60 % 60, s % 60, e / 3600, e / 60 % 60, e % 60, i, i);
        out.write(block, n);
    }
}

struct Store {
    explicit Store(const std::filesystem::path& folder) {
        connection.open(folder);
        history.open(connection);
        command.setConnection(&connection);
        sub.setConnection(&connection);
        sub.setCommandText(store::kSelectAllSql);
        sub.setHistory(&history);
        sub.open();
    }
    store::Connection connection;
    store::History history;
    store::Command command{"ADOCmd"};
    store::Dataset sub;
    CodePage utf8{CodePage::Kind::Utf8};
    tools::FileSteps steps{sub, command, &history, utf8};
    srt::LineList lines;  // the window's line list
};

}  // namespace

int main(int argc, char** argv) {
    const int blocks = argc > 1 ? std::atoi(argv[1]) : 1000000;
    testing::TempFolder folder;
    const auto file = folder.file("long.srt");
    WriteFile(file, blocks);
    const double fileBytes = static_cast<double>(std::filesystem::file_size(file));

    double base = 0;
    {
        auto store = std::make_unique<Store>(folder.path());
        base = ResidentBytes();
        auto start = std::chrono::steady_clock::now();
        store->steps.open({file, std::nullopt}, store->lines);
        const double openTime = Seconds(start);
        const double opened = ResidentBytes();
        srt::LineList().swap(store->lines);  // as the window does once the open is done
        const double dropped = ResidentBytes();
        std::printf("open:    %.2f s, %.0f bytes per row (%.1f MB, %.1fx the %.1f MB file); "
                    "%.0f bytes per row while the line list was held\n",
                    openTime, (dropped - base) / blocks, (dropped - base) / 1e6,
                    (dropped - base) / fileBytes, fileBytes / 1e6, (opened - base) / blocks);

        start = std::chrono::steady_clock::now();
        store->steps.shift(1.5);
        std::printf("shift:   %.2f s\n", Seconds(start));
    }
    const double closed = ResidentBytes();
    auto start = std::chrono::steady_clock::now();
    Store again(folder.path());
    const double restartTime = Seconds(start);
    std::printf("restart: %.2f s, %.0f bytes per row, %d rows\n", restartTime,
                (ResidentBytes() - closed) / blocks, again.sub.recordCount());
    return again.sub.recordCount() == blocks ? 0 : 1;
}
