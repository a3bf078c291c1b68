// Other programs reading DB.mdb while a long open replaces every row: each reader, a process of
// its own as a backup tool or a curious user is, opens the store read-only, counts the rows and
// closes again, over and over. The open completes, the store holds the file's rows, and every
// reader saw the table whole: the old rows or the new ones, never a part.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>

#include "store/command.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/statements.h"
#include "tests/support/tempfolder.h"
#include "tools/filesteps.h"

namespace tirelle::tools {
namespace {

std::string GeneratedFile(int blocks) {
    std::string file;
    for (int i = 0; i < blocks; ++i) {
        const int s = 2 * i;
        char times[64];
        std::snprintf(times, sizeof times, "%02d:%02d:%02d,000 --> %02d:%02d:%02d,500\n", s / 3600,
                      s / 60 % 60, s % 60, s / 3600, s / 60 % 60, s % 60);
        file += std::to_string(i + 1) + "\n" + times + "字幕第 " + std::to_string(i) + " 行\n\n";
    }
    return file;
}

// In a child process, started before this one opens the store (so that it shares none of the
// engine's state): counts the rows through a fresh read-only connection every 20 ms until the
// pipe closes. Exits 0 when it counted, every count one of the two allowed; 1 otherwise.
pid_t StartReader(const std::string& store, const int stop[2], int before, int after) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    ::close(stop[1]);
    int bad = 0, counted = 0;
    char byte = 0;
    for (;;) {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            int rows = -1;
            sqlite3_exec(db, "select count(*) from Sub",
                         [](void* to, int, char** values, char**) {
                             *static_cast<int*>(to) = std::atoi(values[0]);
                             return 0;
                         },
                         &rows, nullptr);
            if (rows >= 0) ++counted;
            if (rows >= 0 && rows != before && rows != after) ++bad;
        }
        sqlite3_close(db);
        ::usleep(20000);
        if (::read(stop[0], &byte, 1) == 0) break;  // the writer end closed: done
    }
    std::_Exit(bad == 0 && counted > 0 ? 0 : 1);
}

TEST(OutsideReaders, ALongOpenCompletesWhileOtherProgramsReadTheStore) {
    constexpr int kBlocks = 300000;
    const std::string file = GeneratedFile(kBlocks);
    testing::TempFolder folder;
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    ::fcntl(stop[0], F_SETFL, O_NONBLOCK);
    pid_t readers[3];
    for (pid_t& reader : readers)
        reader = StartReader((folder.path() / store::kStoreFileName).string(), stop, 0, kBlocks);

    store::Connection connection;
    connection.open(folder.path());
    store::History history;
    history.open(connection);
    store::Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText(store::kSelectAllSql);
    sub.setHistory(&history);
    sub.open();
    store::Command command;
    command.setConnection(&connection);
    const CodePage utf8{CodePage::Kind::Utf8};
    FileSteps steps{sub, command, &history, utf8};
    srt::LineList lines;
    for (int round = 0; round < 2; ++round) steps.open({{}, file}, lines, nullptr);
    ::close(stop[1]);
    for (const pid_t reader : readers) {
        int status = -1;
        ASSERT_EQ(::waitpid(reader, &status, 0), reader);
        EXPECT_TRUE(WIFEXITED(status)) << "a reader died with signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a reader saw a part of the table, or could never count";
    }
    ::close(stop[0]);
    EXPECT_EQ(sub.recordCount(), kBlocks);
}

}  // namespace
}  // namespace tirelle::tools
