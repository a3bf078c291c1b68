#pragma once
// Settings of the whole process, made once at the start of main before anything else runs.

namespace tirelle::cli {

// The tool runs on one thread and reads whole files into memory: the database engine goes
// without its locks and statistics, and the heap is kept in large pages (see the source).
void PrepareProcess();

}  // namespace tirelle::cli
