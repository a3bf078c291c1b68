// The store file: creating DB.mdb, refusing files that are not a store without touching them,
// texts that come back byte for byte, persistence, failed posts and deletes, the command.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "store/command.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/errors.h"
#include "store/scratchquery.h"
#include "store/statements.h"
#include "tests/support/ordinaryuser.h"
#include "tests/support/tempfolder.h"

namespace tirelle::store {
namespace {

namespace fs = std::filesystem;

// Runs statements on a file through a connection of its own, as another program would.
void RawExec(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(file.c_str(), &db));
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(SQLITE_OK, rc) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

std::string QueryText(Connection& connection, const std::string& sql) {
    ScratchQuery query;
    query.setConnection(&connection);
    query.setCommandText(sql);
    query.open();
    return query.isEmpty() ? std::string("<none>") : query.field(0).asString();
}

// Makes a file read-only for this process: permission bits for a normal user; for root, who
// writes regardless of them, the immutable flag. False when neither can be done here.
bool SetReadOnly(const fs::path& file, bool readOnly) {
    if (geteuid() != 0) {
        fs::permissions(file, fs::perms::owner_write,
                        readOnly ? fs::perm_options::remove : fs::perm_options::add);
        return true;
    }
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = readOnly ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

void OpenDataset(Dataset& dataset, Connection& connection) {
    dataset.setConnection(&connection);
    dataset.setCommandText(kSelectAllSql);
    dataset.open();
}

void AddRow(Dataset& dataset, const std::string& start, const std::string& end,
            const std::string& text) {
    dataset.append();
    dataset.fieldByName("STime").setAsString(start);
    dataset.fieldByName("ETime").setAsString(end);
    dataset.fieldByName("SubText").setAsString(text);
    dataset.post();
}

TEST(StoreConnection, AMissingFileIsCreatedWithTableIndexAndWal) {
    testing::TempFolder folder;
    Connection connection;
    connection.open(folder.path());
    ASSERT_TRUE(connection.isOpen());
    EXPECT_EQ(folder.file("DB.mdb"), connection.path());
    EXPECT_TRUE(fs::exists(folder.file("DB.mdb")));
    EXPECT_EQ("aid,STime,ETime,SubText,SubSort,SubSortEnd",
              QueryText(connection, "select group_concat(name) from pragma_table_info('Sub')"));
    EXPECT_EQ("aid",
              QueryText(connection, "select name from pragma_table_info('Sub') where pk = 1"));
    EXPECT_EQ("wal", QueryText(connection, "pragma journal_mode"));
    EXPECT_EQ("2", QueryText(connection, "pragma synchronous"));  // FULL: every commit synced
    EXPECT_EQ("SubSort",
              QueryText(connection, "select name from pragma_index_info('SubSortIndex')"));
    EXPECT_EQ("0", QueryText(connection, "select MaxSpan from SubSpan"));
}

TEST(StoreConnection, RowsPersistAcrossCloseAndReopen) {
    testing::TempFolder folder;
    {
        Connection connection;
        connection.open(folder.path());
        Dataset sub;
        OpenDataset(sub, connection);
        AddRow(sub, "00:00:02,000", "00:00:03,000", "second");
        AddRow(sub, "00:00:01,000", "00:00:04,000", "first");
        sub.first();
        sub.edit();
        sub.fieldByName("SubText").setAsString("second, edited");
        sub.post();
    }
    Connection connection;
    connection.open(folder.path());
    Dataset sub;
    OpenDataset(sub, connection);
    ASSERT_EQ(2, sub.recordCount());
    EXPECT_EQ("first", sub.fieldByName("SubText").asString());
    EXPECT_EQ(1, sub.fieldByName("SubSort").asFloat());
    sub.next();
    EXPECT_EQ("second, edited", sub.fieldByName("SubText").asString());
    EXPECT_EQ("00:00:03,000", sub.fieldByName("ETime").asString());
    // The bound is recomputed at opening: the longest row lasts 3 s.
    EXPECT_EQ("3", QueryText(connection, "select MaxSpan from SubSpan"));
}

// A log filled past its limit is copied back into the store file while the store is open,
// and a close that meets a copy under way keeps every row.
TEST(StoreConnection, AFullLogIsCopiedBackWhileTheStoreIsOpen) {
    testing::TempFolder folder;
    const std::string fill =
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 10000) "
        "insert into Sub (STime, ETime, SubText, SubSort, SubSortEnd) "
        "select '00:00:01,000', '00:00:02,000', hex(zeroblob(1000)), i, i + 1 from n";
    {
        Connection connection;
        connection.open(folder.path());
        for (int round = 0; round < 3; ++round) connection.execute(fill, "test");  // 60 MB
        std::error_code ignored;
        for (int wait = 0; wait < 200 && std::filesystem::file_size(connection.path(), ignored) < 40'000'000;
             ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_GE(std::filesystem::file_size(connection.path(), ignored), 40'000'000u);
        connection.execute(fill, "test");
    }
    Connection connection;
    connection.open(folder.path());
    EXPECT_EQ("40000", QueryText(connection, "select count(*) from Sub"));
    EXPECT_EQ("ok", QueryText(connection, "pragma integrity_check"));
}

TEST(StoreConnection, TextsComeBackByteForByte) {
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte.push_back(static_cast<char>(b));
    const std::vector<std::string> texts = {
        "it's \"quoted\" ''",
        "'); DROP TABLE Sub; --",
        everyByte,
        "\xc4\xe3\xba\xc3\xa3\xac\xca\xc0\xbd\xe7",  // GBK: 你好，世界
        "\x81\x40\xfe\xfe\x80\xff",                  // GBK edge bytes, invalid as UTF-8
        "line one\r\nline two\r\n",
        "",
    };
    testing::TempFolder folder;
    {
        Connection connection;
        connection.open(folder.path());
        Dataset sub;
        OpenDataset(sub, connection);
        for (std::size_t i = 0; i < texts.size(); ++i)
            AddRow(sub, "00:00:" + std::to_string(10 + i) + ",000", texts[i], texts[i]);
    }
    Connection connection;
    connection.open(folder.path());
    Dataset sub;
    OpenDataset(sub, connection);
    ASSERT_EQ(static_cast<int>(texts.size()), sub.recordCount());
    for (const std::string& text : texts) {
        EXPECT_EQ(text, sub.fieldByName("SubText").asString());
        EXPECT_EQ(text, sub.fieldByName("ETime").asString());
        sub.next();
    }
    // Found by its exact bytes, and the table is still there after the statement-like text.
    EXPECT_TRUE(sub.locate("SubText", texts[1]));
    EXPECT_TRUE(sub.locate("SubText", everyByte));
    EXPECT_EQ("1", QueryText(connection, "select count(*) from sqlite_master where name = 'Sub'"));
    // Stored as text, so the time columns compare as text in statements too.
    EXPECT_EQ("text", QueryText(connection, "select typeof(SubText) from Sub limit 1"));
}

struct RefusedFile {
    const char* name;
    std::string bytes;  // the file's bytes before the statements run on it
    std::string sql;    // statements run on it by another program, if any
    std::string reason;
};

TEST(StoreConnection, AFileThatIsNotAStoreIsRefusedAndLeftAlone) {
    const std::vector<RefusedFile> cases = {
        {"text file", "1\r\n00:00:01,000 --> 00:00:02,000\r\nnot a database\r\n", "",
         "file is not a database"},
        {"database without Sub", "",
         "create table Other (x TEXT); insert into Other values ('keep')", "It has no table Sub."},
        {"Sub without SubSortEnd", "",
         "create table Sub (aid INTEGER PRIMARY KEY, STime TEXT, ETime TEXT, SubText TEXT, "
         "SubSort REAL)",
         "Table Sub has no column SubSortEnd."},
        {"aid a text key", "",
         "create table Sub (aid TEXT PRIMARY KEY, STime, ETime, SubText, SubSort, SubSortEnd)",
         "Column aid of table Sub is not its integer primary key."},
        {"aid no key", "",
         "create table Sub (aid INTEGER, STime, ETime, SubText, SubSort, SubSortEnd)",
         "Column aid of table Sub is not its integer primary key."},
        {"aid an INT key", "",
         "create table Sub (aid INT PRIMARY KEY, STime, ETime, SubText, SubSort, SubSortEnd)",
         "Column aid of table Sub is not its integer primary key."},
        {"key of two columns", "",
         "create table Sub (aid INTEGER, STime, ETime, SubText, SubSort, SubSortEnd, "
         "primary key (aid, STime))",
         "Column aid of table Sub is not its integer primary key."},
        {"without rowid", "",
         "create table Sub (aid INTEGER PRIMARY KEY, STime, ETime, SubText, SubSort, "
         "SubSortEnd) without rowid",
         "Column aid of table Sub is not its integer primary key."},
    };
    for (const RefusedFile& c : cases) {
        testing::TempFolder folder;
        const fs::path file = folder.write("DB.mdb", c.bytes);
        if (!c.sql.empty()) RawExec(file, c.sql);
        const std::string before = testing::TempFolder::read(file);

        Connection connection;
        try {
            connection.open(folder.path());
            ADD_FAILURE() << c.name << ": opened";
        } catch (const DatabaseError& e) {
            EXPECT_EQ("Cannot open database \"" + file.string() + "\". " + c.reason, e.what())
                << c.name;
        }
        EXPECT_FALSE(connection.isOpen()) << c.name;
        EXPECT_EQ(before, testing::TempFolder::read(file)) << c.name;
        EXPECT_FALSE(fs::exists(folder.file("DB.mdb-wal"))) << c.name;

        // The store objects then report the closed store.
        Dataset sub;
        sub.setConnection(&connection);
        sub.setCommandText(kSelectAllSql);
        try {
            sub.open();
            ADD_FAILURE() << c.name << ": dataset opened";
        } catch (const DatabaseError& e) {
            EXPECT_STREQ("Sub: Operation is not allowed when the object is closed", e.what());
        }
        EXPECT_TRUE(sub.isEmpty());
        Command command;
        command.setConnection(&connection);
        command.setCommandText(kDeleteAllSql);
        EXPECT_THROW(command.execute(), DatabaseError);
    }
}

TEST(StoreConnection, AZeroByteFileIsSetUpAsAnEmptyStore) {
    testing::TempFolder folder;
    folder.write("DB.mdb", "");
    Connection connection;
    connection.open(folder.path());
    Dataset sub;
    OpenDataset(sub, connection);
    EXPECT_TRUE(sub.isEmpty());
    AddRow(sub, "00:00:01,000", "00:00:02,000", "kept");
    connection.close();
    connection.open(folder.path());
    EXPECT_EQ("kept", QueryText(connection, "select SubText from Sub"));
    EXPECT_EQ("wal", QueryText(connection, "pragma journal_mode"));
}

// Another program removed the row: the update and the delete find nothing to change and say
// so; the list drops the deleted row, so it stays equal to the table.
TEST(StoreConnection, ARowGoneFromTheTableIsReported) {
    testing::TempFolder folder;
    Connection connection;
    connection.open(folder.path());
    Dataset sub;
    OpenDataset(sub, connection);
    AddRow(sub, "00:00:01,000", "00:00:02,000", "one");
    AddRow(sub, "00:00:03,000", "00:00:04,000", "two");
    RawExec(folder.file("DB.mdb"), "delete from Sub");
    sub.first();

    sub.edit();
    sub.fieldByName("SubText").setAsString("changed");
    try {
        sub.post();
        ADD_FAILURE() << "updated a row that is gone";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ(
            "Sub: Row cannot be located for updating. Some values may have been changed "
            "since it was last read.",
            e.what());
    }
    EXPECT_EQ(DatasetState::Edit, sub.state());
    sub.cancel();
    try {
        sub.remove();
        ADD_FAILURE() << "deleted a row that is gone";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ(
            "Sub: Row cannot be located for deleting. Some values may have been changed "
            "since it was last read.",
            e.what());
    }
    EXPECT_EQ(1, sub.recordCount());
    EXPECT_EQ("two", sub.fieldByName("SubText").asString());
}

// The store lives beside the program while the program may write there, in the user's data
// folder otherwise (run as an ordinary user: root may write anywhere).
TEST(StoreConnection, AReadOnlyProgramFolderKeepsTheStoreInTheDataFolder) {
    testing::TempFolder folder;
    EXPECT_EQ(folder.path(), StoreFolder(folder.path()));
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to set up a folder for another user";
    const fs::path program = folder.file("program");
    const fs::path home = folder.file("home");
    fs::create_directories(program);
    fs::create_directories(home);
    ASSERT_EQ(::chown(home.c_str(), testing::ordinaryUserId(), static_cast<gid_t>(-1)), 0);

    const auto report = testing::runAsOrdinaryUser([&]() -> std::string {
        struct Case {
            const char* xdg;  // XDG_DATA_HOME, or nullptr for none
            fs::path expected;
        };
        const Case cases[] = {
            {nullptr, home / ".local/share/Tirelle"},
            {"relative/ignored", home / ".local/share/Tirelle"},
            {nullptr, home / ".local/share/Tirelle"},  // again: the folder is there already
        };
        ::setenv("HOME", home.c_str(), 1);
        for (const Case& c : cases) {
            if (c.xdg)
                ::setenv("XDG_DATA_HOME", c.xdg, 1);
            else
                ::unsetenv("XDG_DATA_HOME");
            const fs::path chosen = StoreFolder(program);
            if (chosen != c.expected) return "chose " + chosen.string();
        }
        const fs::path data = home / "data";
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        Connection connection;
        connection.open(StoreFolder(program));
        if (connection.path() != data / "Tirelle" / "DB.mdb")
            return "opened " + connection.path().string();
        return "";
    });
    if (!report) GTEST_SKIP() << "cannot run as another user here";
    EXPECT_EQ(*report, "");
    EXPECT_TRUE(fs::exists(home / "data/Tirelle/DB.mdb"));
    EXPECT_FALSE(fs::exists(program / "DB.mdb"));
}

TEST(StoreConnection, AStoreLockedByAnotherProgramIsRefused) {
    testing::TempFolder folder;
    const fs::path file = folder.file("DB.mdb");
    RawExec(file,
            "create table Sub (aid INTEGER PRIMARY KEY AUTOINCREMENT, STime TEXT, ETime TEXT, "
            "SubText TEXT, SubSort REAL, SubSortEnd REAL)");
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(file.c_str(), &other));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr));
    const std::string before = testing::TempFolder::read(file);

    Connection connection;
    try {
        connection.open(folder.path());
        ADD_FAILURE() << "opened a locked store";
    } catch (const DatabaseError& e) {
        EXPECT_EQ("Cannot open database \"" + file.string() + "\". database is locked", e.what());
    }
    EXPECT_FALSE(connection.isOpen());
    sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(before, testing::TempFolder::read(file));
}

TEST(StoreConnection, AnExistingStoreGetsItsIndexAndBookkeeping) {
    testing::TempFolder folder;
    const fs::path file = folder.file("DB.mdb");
    // Written by another program: upper-case table name, no index, no bookkeeping.
    RawExec(file,
            "create table SUB (AID INTEGER PRIMARY KEY AUTOINCREMENT, stime TEXT, etime TEXT, "
            "subtext TEXT, subsort REAL, subsortend REAL);"
            "insert into SUB (stime, etime, subtext, subsort, subsortend) values "
            "('00:00:01,000', '00:00:09,000', 'long', 1, 9), "
            "('00:00:02,000', '00:00:03,000', 'short', 2, 3), "
            "(NULL, NULL, NULL, NULL, NULL)");
    Connection connection;
    connection.open(folder.path());
    EXPECT_EQ("wal", QueryText(connection, "pragma journal_mode"));
    EXPECT_EQ("8", QueryText(connection, "select MaxSpan from SubSpan"));
    EXPECT_EQ("1",
              QueryText(connection,
                        "select count(*) from pragma_index_list('Sub') as l join "
                        "pragma_index_info(l.name) as i where i.name = 'SubSort' collate nocase"));
    Dataset sub;
    OpenDataset(sub, connection);
    ASSERT_EQ(3, sub.recordCount());
    // A NULL reads as 0 and as the empty text.
    EXPECT_TRUE(sub.fieldByName("SubText").isNull());
    EXPECT_EQ("", sub.fieldByName("SubText").asString());
    EXPECT_EQ(0, sub.fieldByName("SubSort").asFloat());
    sub.last();
    EXPECT_EQ("short", sub.fieldByName("subtext").asString());

    // Opening again adds nothing twice.
    connection.open(folder.path());
    EXPECT_EQ("1", QueryText(connection,
                             "select count(*) from sqlite_master where type = 'index' and "
                             "tbl_name = 'SUB'"));
}

TEST(StoreConnection, AFailedPostKeepsTheStateAndTheTypedValues) {
    testing::TempFolder folder;
    Connection connection;
    connection.open(folder.path());
    connection.execute(
        "create trigger NoBad before insert on Sub when new.SubText = 'bad' "
        "begin select raise(abort, 'bad text refused'); end;"
        "create trigger NoBadEdit before update on Sub when new.SubText = 'bad' "
        "begin select raise(abort, 'bad edit refused'); end;"
        "create trigger Keep before delete on Sub when old.SubText = 'keep' "
        "begin select raise(abort, 'row is kept'); end",
        "test");
    Dataset sub;
    OpenDataset(sub, connection);
    AddRow(sub, "00:00:01,000", "00:00:02,000", "keep");
    AddRow(sub, "00:00:03,000", "00:00:04,000", "fine");

    sub.insert();
    sub.fieldByName("STime").setAsString("00:00:05,000");
    sub.fieldByName("SubText").setAsString("bad");
    try {
        sub.post();
        ADD_FAILURE() << "post stored a refused row";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ("Sub: bad text refused", e.what());
    }
    EXPECT_EQ(DatasetState::Insert, sub.state());
    EXPECT_EQ("bad", sub.fieldByName("SubText").asString());
    EXPECT_EQ("00:00:05,000", sub.fieldByName("STime").asString());
    EXPECT_EQ(2, sub.recordCount());
    // The same through a cursor move: the cursor stays on the new row.
    const int row = sub.currentRow();
    EXPECT_THROW(sub.next(), DatabaseError);
    EXPECT_EQ(row, sub.currentRow());
    EXPECT_EQ(DatasetState::Insert, sub.state());
    sub.fieldByName("SubText").setAsString("good");
    sub.post();
    EXPECT_EQ(3, sub.recordCount());

    sub.first();
    sub.edit();
    sub.fieldByName("SubText").setAsString("bad");
    EXPECT_THROW(sub.post(), DatabaseError);
    EXPECT_EQ(DatasetState::Edit, sub.state());
    EXPECT_EQ("bad", sub.fieldByName("SubText").asString());
    sub.cancel();
    EXPECT_EQ("keep", sub.fieldByName("SubText").asString());

    try {
        sub.remove();
        ADD_FAILURE() << "deleted a kept row";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ("Sub: row is kept", e.what());
    }
    EXPECT_EQ(3, sub.recordCount());
    EXPECT_EQ("keep", sub.fieldByName("SubText").asString());
    EXPECT_EQ("3", QueryText(connection, "select count(*) from Sub"));
}

TEST(StoreConnection, AReadOnlyStoreIsListedButRefusesChanges) {
    testing::TempFolder folder;
    const fs::path file = folder.file("DB.mdb");
    {
        Connection connection;
        connection.open(folder.path());
        Dataset sub;
        OpenDataset(sub, connection);
        AddRow(sub, "00:00:01,000", "00:00:04,000", "one");
        AddRow(sub, "00:00:02,000", "00:00:03,000", "two");
    }
    if (!SetReadOnly(file, true)) GTEST_SKIP() << "cannot make a file read-only here";
    struct Restore {
        fs::path file;
        ~Restore() { SetReadOnly(file, false); }
    } restore{file};
    const std::string before = testing::TempFolder::read(file);

    Connection connection;
    connection.open(folder.path());
    Dataset sub;
    OpenDataset(sub, connection);
    EXPECT_EQ(2, sub.recordCount());
    // The bound is there for the run, so the preview statement works.
    ScratchQuery find;
    find.setConnection(&connection);
    find.setCommandText(ActiveSubtitlesSql(2.5));
    find.open();
    std::vector<std::string> active;
    for (find.first(); !find.eof(); find.next())
        active.push_back(find.fieldByName("SubText").asString());
    EXPECT_EQ((std::vector<std::string>{"two", "one"}), active);

    sub.edit();
    sub.fieldByName("SubText").setAsString("changed");
    try {
        sub.post();
        ADD_FAILURE() << "posted into a read-only file";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ("Sub: attempt to write a readonly database", e.what());
    }
    EXPECT_EQ(DatasetState::Edit, sub.state());
    EXPECT_EQ("changed", sub.fieldByName("SubText").asString());
    sub.cancel();
    EXPECT_THROW(sub.remove(), DatabaseError);
    EXPECT_EQ(2, sub.recordCount());
    EXPECT_EQ(before, testing::TempFolder::read(file));
}

TEST(StoreConnection, EngineErrorsCarryTheObjectName) {
    testing::TempFolder folder;
    Connection connection;
    connection.open(folder.path());
    Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText("select * from Nowhere");
    try {
        sub.open();
        ADD_FAILURE() << "opened";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ("Sub: no such table: Nowhere", e.what());
    }
    ScratchQuery find;
    find.setConnection(&connection);
    find.setCommandText("select * from sub where");
    try {
        find.open();
        ADD_FAILURE() << "opened";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ("DSFind: incomplete input", e.what());
    }
    EXPECT_FALSE(find.active());
}

TEST(StoreConnection, TheCommandEmptiesTheTable) {
    testing::TempFolder folder;
    Connection connection;
    connection.open(folder.path());
    Dataset sub;
    OpenDataset(sub, connection);
    AddRow(sub, "00:00:01,000", "00:01:00,000", "a");
    AddRow(sub, "00:00:02,000", "00:00:03,000", "b");
    EXPECT_EQ("59", QueryText(connection, "select MaxSpan from SubSpan"));
    Command command;
    command.setConnection(&connection);
    command.setCommandText(kDeleteAllSql);
    EXPECT_EQ("delete  from Sub ", command.commandText());
    command.execute();
    sub.requery();
    EXPECT_TRUE(sub.isEmpty());
    EXPECT_EQ("0", QueryText(connection, "select count(*) from Sub"));
    EXPECT_EQ("0", QueryText(connection, "select MaxSpan from SubSpan"));
}

TEST(StoreConnection, ScratchQueryReadsByNameAndPosition) {
    testing::TempFolder folder;
    Connection connection;
    connection.open(folder.path());
    Dataset sub;
    OpenDataset(sub, connection);
    AddRow(sub, "00:00:01,000", "00:00:02,500", "one");
    AddRow(sub, "00:00:03,000", "00:00:04,000", "two");
    ScratchQuery find;
    find.setConnection(&connection);
    find.setCommandText("select * from sub order by SubSort Desc");
    find.open();
    std::vector<std::string> texts;
    for (find.first(); !find.eof(); find.next())
        texts.push_back(find.fieldByName("subtext").asString());
    EXPECT_EQ((std::vector<std::string>{"two", "one"}), texts);
    // Next on the last row stays there.
    EXPECT_EQ("one", find.fieldByName("SubText").asString());
    EXPECT_EQ(2.5, find.fieldByName("SubSortEnd").asFloat());
    EXPECT_EQ("00:00:01,000", find.field(1).asString());
    try {
        find.fieldByName("Nope");
        ADD_FAILURE() << "found";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ("DSFind: Field 'Nope' not found", e.what());
    }
    find.close();
    EXPECT_THROW(find.first(), DatabaseError);
}

// DB.mdb a link to a store in a folder this user cannot write: the engine can keep no journal
// there, so the store is opened read-only, its rows read, and every change refused.
TEST(StoreConnection, AStoreInAFolderThatCannotBeWrittenOpensReadOnly) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to set up a folder for another user";
    testing::TempFolder folder;
    const fs::path theirs = folder.file("theirs");
    const fs::path program = folder.file("program");
    fs::create_directories(theirs);
    fs::create_directories(program);
    {
        Connection connection;
        connection.open(theirs);
        Dataset sub;
        OpenDataset(sub, connection);
        AddRow(sub, "00:00:01,000", "00:00:04,000", "one");
        AddRow(sub, "00:00:02,000", "00:00:03,000", "two");
    }
    fs::permissions(theirs / kStoreFileName, fs::perms::all);  // the file itself may be written
    fs::permissions(folder.path(), fs::perms::all);
    fs::create_symlink(theirs / kStoreFileName, program / kStoreFileName);
    ASSERT_EQ(::chown(program.c_str(), testing::ordinaryUserId(), static_cast<gid_t>(-1)), 0);
    const std::string before = testing::TempFolder::read(theirs / kStoreFileName);

    const auto report = testing::runAsOrdinaryUser([&]() -> std::string {
        Connection connection;
        connection.open(program);
        if (!connection.readOnly()) return "opened for writing";
        Dataset sub;
        OpenDataset(sub, connection);
        if (sub.recordCount() != 2) return "rows: " + std::to_string(sub.recordCount());
        try {
            sub.edit();
            sub.fieldByName("SubText").setAsString("changed");
            sub.post();
            return "posted";
        } catch (const DatabaseError&) {
        }
        return "";
    });
    if (!report) GTEST_SKIP() << "cannot run as another user here";
    EXPECT_EQ(*report, "");
    EXPECT_EQ(testing::TempFolder::read(theirs / kStoreFileName), before);
}

}  // namespace
}  // namespace tirelle::store
