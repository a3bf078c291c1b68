#pragma once
// Which character encoding a subtitle file is in, and its bytes brought into the system code
// page, so that everything after the read works on code page bytes only.
//
// Pure functions of bytes: no file, no locale, no global state (the code page is passed in).

#include <cstddef>
#include <string>
#include <string_view>

#include "base/codepage.h"

namespace tirelle::srt {

// The encoding of a text as found by DetectEncoding.
struct DetectedEncoding {
    // The converter's name for it: "UTF-8", "UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE",
    // "GB18030" (also for GBK and GB2312, which it contains), "BIG5", another name the detector
    // gives ("SHIFT_JIS", "WINDOWS-1252", ...), or "ASCII" for bytes below 0x80 only.
    std::string name;
    // Bytes of the byte order mark at the start (0 without one).
    std::size_t markLength = 0;

    bool operator==(const DetectedEncoding&) const = default;
};

// Decides the encoding of a file's bytes on a system with the given code page, in this order:
// a byte order mark (UTF-8, UTF-16 and UTF-32 in either byte order); bytes that are all ASCII;
// bytes that are all valid UTF-8, or valid but for rare stray sequences (at most one per four
// characters of three or four bytes, or per sixteen characters of any length); else the
// library detector. Its answer stands when it names a
// multi-byte encoding (GB18030, Big5, Shift_JIS, ...) that reads every byte. Otherwise the
// first Chinese reading (GB18030, then Big5) that reads every byte, or else the one that reads
// all but a rare few, is taken before a single-byte guess, which fits any bytes at all; when
// none fits, a GBK system keeps its code page and a UTF-8 system takes the guess. Only the
// bytes before the first NUL count when there is no mark: the text ends there.
DetectedEncoding DetectEncoding(std::string_view bytes, const CodePage& codePage);

// What reading a file found and did, for the user's feedback.
struct ReadEncoding {
    std::string name;           // the encoding read, as DetectedEncoding::name
    bool converted = false;     // false: the bytes are the file's own, byte for byte
    std::size_t replaced = 0;   // byte sequences that could not be converted and were replaced

    bool operator==(const ReadEncoding&) const = default;
};

// Name of the encoding for messages to the user: "Big5" for "BIG5"; other names as they are.
std::string DisplayName(std::string_view encodingName);

// A text in the system code page together with what its read found.
struct CodePageText {
    std::string bytes;
    ReadEncoding encoding;
};

// Brings a file's bytes into the code page. Bytes already in it (ASCII, or the code page's own
// encoding, a UTF-8 mark on a UTF-8 system included) come back unchanged; GBK ones whatever
// stray bytes they hold. Otherwise the mark is dropped and the rest converted; each sequence
// the converter cannot read is replaced by the code page's replacement (U+FFFD in UTF-8, "?" in
// GBK, which has no character for it) and counted. UTF-8 with stray sequences has each of them
// replaced and counted on either system (on a UTF-8 system keeping its mark), so that a UTF-8
// system only ever holds valid UTF-8. Never throws on any input, apart from running out of
// memory.
CodePageText ToCodePage(std::string bytes, const CodePage& codePage);

}  // namespace tirelle::srt
