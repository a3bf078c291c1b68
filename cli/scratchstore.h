#pragma once
// A subtitle store for one run of the command-line tool: in memory when the engine allows it,
// otherwise a file in a fresh temporary folder removed with the object. Never the editor's
// DB.mdb, so the tool can run while the editor is open and leaves the editor's rows alone.

#include <filesystem>

#include "store/command.h"
#include "store/connection.h"
#include "store/dataset.h"

namespace tirelle::cli {

class ScratchStore {
public:
    // Opens the connection and the working dataset `Sub` over it. Throws DatabaseError when
    // neither a store in memory nor one in a temporary file can be made.
    ScratchStore();
    ~ScratchStore();
    ScratchStore(const ScratchStore&) = delete;
    ScratchStore& operator=(const ScratchStore&) = delete;

    store::Dataset& sub() { return sub_; }
    // The command object over the same connection (the open empties the table with it).
    store::Command& command() { return command_; }
    // The temporary folder holding the store file; empty for a store in memory.
    const std::filesystem::path& folder() const { return folder_; }

private:
    void openInTemporaryFolder();
    void leaveOutWhatOnlyTheEditorNeeds();

    store::Connection connection_;
    store::Dataset sub_;
    store::Command command_;
    std::filesystem::path folder_;
};

}  // namespace tirelle::cli
