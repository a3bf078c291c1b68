// SRT files against the file system: names that are not regular files, and saving where no new
// file can be made beside the target, over hard links and over other users' files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "srt/srtfile.h"
#include "store/errors.h"
#include "tests/support/ordinaryuser.h"
#include "tests/support/tempfolder.h"

namespace tirelle::srt {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

const CodePage kUtf8(CodePage::Kind::Utf8);

std::string ErrorMessage(const std::function<void()>& call) {
    try {
        call();
    } catch (const FileError& error) {
        return error.what();
    }
    return "(no FileError)";
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A pipe with no writer would block a plain open for ever and /dev/zero never ends: both fail
// at once, reading and writing alike, and nothing is left in the folder.
TEST(SpecialFiles, AreNeitherReadNorReplaced) {
    TempFolder folder;
    const fs::path fifo = folder.file("pipe.srt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Row {
        fs::path path;
        std::string reason;
    };
    const Row rows[] = {
        {fifo, "It is a named pipe, not a regular file"},
        {"/dev/zero", "It is a character device, not a regular file"},
        {folder.path(), "Is a directory"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ErrorMessage([&] { LoadTextLines(row.path, kUtf8); }),
                  "Cannot open file \"" + row.path.string() + "\". " + row.reason);
        EXPECT_EQ(ErrorMessage([&] { WriteTextLines(row.path, {"x"}); }),
                  "Cannot create file \"" + row.path.string() + "\". " + row.reason);
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(FolderEntries(folder.path()), std::vector<std::string>{"pipe.srt"});
}

TEST(WriteTextLines, RewritesAFileWithSeveralNamesInPlace) {
    TempFolder folder;
    // The old text is the longer, so none of it may be left behind the new.
    const auto path = folder.write("a.srt", "old, longer text");
    fs::create_hard_link(path, folder.file("b.srt"));
    WriteTextLines(path, {"new"});
    EXPECT_EQ(TempFolder::read(folder.file("b.srt")), "new\r\n");
    EXPECT_EQ(fs::hard_link_count(path), 2u);
    EXPECT_TRUE(fs::equivalent(path, folder.file("b.srt")));
    EXPECT_EQ(FolderEntries(folder.path()), (std::vector<std::string>{"a.srt", "b.srt"}));
}

TEST(WriteTextLines, KeepsOwnerAndGroupWhenReplacing) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    TempFolder folder;
    const auto path = folder.write("theirs.srt", "old");
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    WriteTextLines(path, {"new"});
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
    EXPECT_EQ(TempFolder::read(path), "new\r\n");
}

// Run as an ordinary user, for whom permission bits count: a writable file in a folder the
// user may not write, and another user's writable file in a folder everyone may write.
TEST(WriteTextLines, WritesInPlaceWhenNoNewFileCanReplaceTheTarget) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to set up another user's file";
    TempFolder folder;
    const auto locked = folder.file("locked");
    const auto open = folder.file("open");
    fs::create_directory(locked);
    fs::create_directory(open);
    fs::permissions(folder.path(), fs::perms::all);
    fs::permissions(open, fs::perms::all);
    const auto mine = folder.write("locked/mine.srt", "old");
    const auto theirs = folder.write("open/theirs.srt", "old");
    ASSERT_EQ(::chown(mine.c_str(), testing::ordinaryUserId(), static_cast<gid_t>(-1)), 0);
    fs::permissions(theirs, fs::perms::all & ~fs::perms::others_exec & ~fs::perms::group_exec &
                                ~fs::perms::owner_exec);
    fs::permissions(locked, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);

    const auto report = testing::runAsOrdinaryUser([&]() -> std::string {
        WriteTextLines(mine, {"new mine"});
        WriteTextLines(theirs, {"new theirs"});
        const std::string missing =
            ErrorMessage([&] { WriteTextLines(locked / "new.srt", {"x"}); });
        if (missing !=
            "Cannot create file \"" + (locked / "new.srt").string() + "\". Permission denied")
            return "a new file in a locked folder: " + missing;
        return "";
    });
    if (!report) GTEST_SKIP() << "cannot run as another user here";
    EXPECT_EQ(*report, "");
    EXPECT_EQ(TempFolder::read(mine), "new mine\r\n");
    EXPECT_EQ(TempFolder::read(theirs), "new theirs\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(theirs.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_EQ(FolderEntries(locked), std::vector<std::string>{"mine.srt"});
    EXPECT_EQ(FolderEntries(open), std::vector<std::string>{"theirs.srt"});
}

}  // namespace
}  // namespace tirelle::srt
