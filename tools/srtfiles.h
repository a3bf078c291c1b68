#pragma once
// Moving whole SRT files into the store and out of it.
//
// Every function works on the working dataset `Sub` and on the connection it is bound to; the
// caller has put a pending edit aside (posted or dropped) where the command says so.

#include <filesystem>

#include "base/codepage.h"
#include "srt/srtfile.h"
#include "store/command.h"
#include "store/dataset.h"

namespace tirelle::tools {

// Reads a subtitle file into lines. Every command that reads an SRT file (open, merge) reads
// it through here. Throws FileError "Cannot open file "<path>". <reason>".
// A file in another encoding than the code page is converted into it first; `encoding`, when
// given, receives what the read found.
srt::LineList LoadSubtitleLines(const std::filesystem::path& path, const CodePage& codePage,
                                srt::ReadEncoding* encoding = nullptr);

// Replaces every row of the store with the blocks of the lines: the table is emptied with
// "delete  from Sub " through the command object `deleteAll` (none: one of its own on the
// dataset's connection), then one row is appended and posted per block with the texts as they
// are, then the dataset is re-queried. It all happens in one transaction, so a process killed half way leaves the rows
// that were there before. When a block fails, the rows posted before it stay (the table is
// then emptied and partly filled) and the error goes on; when the engine had to roll the
// whole transaction back, the earlier rows are still stored and the dataset is read again.
void ImportSrt(store::Dataset& sub, const srt::LineList& lines,
               store::Command* deleteAll = nullptr);

// Re-queries the dataset and writes every row in start order as a numbered block into
// `lines` (cleared first), then writes them to the file through the safe writer. The walk
// suspends the list's updates and leaves the last row current with the end flag set.
// Throws FileError "Cannot create file "<path>". <reason>".
void ExportSrt(store::Dataset& sub, srt::LineList& lines, const std::filesystem::path& path);
// The walk of ExportSrt without the write: the lines the save writes, for a caller that puts
// them somewhere else than a file (standard output, another encoding).
void ExportSrtLines(store::Dataset& sub, srt::LineList& lines);

// Writes the lines of an SRT file (each followed by CR LF) through the safe writer: the save
// and the split write every file through here. Throws FileError
// "Cannot create file "<path>". <reason>".
void WriteSubtitleLines(const std::filesystem::path& path, const srt::LineList& lines);

// The connection the dataset is bound to; DatabaseError "Sub: Operation is not allowed when
// the object is closed" when it has none or it is closed.
store::Connection& ConnectionOf(store::Dataset& sub);

}  // namespace tirelle::tools
