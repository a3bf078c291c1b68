#include "cli/scratchstore.h"

#include <stdlib.h>

#include <cerrno>
#include <string>

#include "base/errors.h"
#include "srt/fileerror.h"
#include "store/errors.h"
#include "store/statements.h"

namespace tirelle::cli {

ScratchStore::ScratchStore() {
    try {
        connection_.openFile(":memory:");
    } catch (const Error&) {
        // The connection may refuse a name that is no file; a temporary file does as well.
        openInTemporaryFolder();
    }
    leaveOutWhatOnlyTheEditorNeeds();
    sub_.setConnection(&connection_);
    command_.setConnection(&connection_);
    sub_.setCommandText(store::kSelectAllSql);
    sub_.open();
}

ScratchStore::~ScratchStore() {
    sub_.close();
    connection_.close();
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

void ScratchStore::leaveOutWhatOnlyTheEditorNeeds() {
    // A store in memory that is dropped at the end needs no rollback journal: a file that
    // fails is followed by a fresh store (see Run), never by a rollback. (The triggers that
    // keep the bound on the longest subtitle cost nothing here: every change of a whole file
    // is a bulk change, which sets them aside for its rows.)
    if (folder_.empty()) connection_.execute("pragma journal_mode = off", sub_.name());
}

void ScratchStore::openInTemporaryFolder() {
    std::error_code failed;
    auto base = std::filesystem::temp_directory_path(failed);
    if (failed) base = "/tmp";
    std::string pattern = (base / "tirelle-cli.XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw DatabaseError("Cannot create database \"" + pattern + "\". " +
                            srt::detail::SystemReason(errno));
    folder_ = pattern;
    try {
        connection_.openFile(folder_ / "store.db");
    } catch (...) {
        std::filesystem::remove_all(folder_, failed);
        folder_.clear();
        throw;
    }
}

}  // namespace tirelle::cli
