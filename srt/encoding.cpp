// Detecting a file's encoding (byte order mark, UTF-8 validity, then uchardet) and converting
// it into the code page.

#include "srt/encoding.h"

#include <uchardet.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "base/textconverter.h"
#include "base/utf8.h"

namespace tirelle::srt {

namespace {

constexpr std::string_view kAscii = "ASCII";
constexpr std::string_view kUtf8 = "UTF-8";
constexpr std::string_view kGb18030 = "GB18030";
constexpr std::string_view kBig5 = "BIG5";

// --- byte order marks

struct Mark {
    std::string_view bytes;
    std::string_view encoding;
};

// UTF-32 LE before UTF-16 LE: its mark begins with the other's.
constexpr std::array<Mark, 5> kMarks{{
    {"\xEF\xBB\xBF", "UTF-8"},
    {std::string_view("\xFF\xFE\x00\x00", 4), "UTF-32LE"},
    {std::string_view("\x00\x00\xFE\xFF", 4), "UTF-32BE"},
    {"\xFF\xFE", "UTF-16LE"},
    {"\xFE\xFF", "UTF-16BE"},
}};

// --- UTF-8

// UTF-8 but for rare stray sequences: a text cut inside a character, a byte from another
// encoding. In Chinese, Japanese or Korean text a character takes three bytes, and legacy
// encodings almost never form such a sequence by chance, so one stray per four of them is
// rare; characters of two bytes (Latin, Greek, Cyrillic) come by chance more often out of GBK
// or Big5 bytes, so there it takes sixteen characters per stray. Tens of thousands of short
// texts (two to sixty characters) in each of GBK, Big5, Shift_JIS, EUC-JP, EUC-KR and
// Windows-1251 and -1252 never met either bound.
bool IsUtf8ButForRareStrays(std::string_view text) {
    std::size_t twoBytes = 0;
    std::size_t longer = 0;
    std::size_t strays = 0;
    ForEachNonAscii(text, [&](std::size_t, std::size_t length, bool wellFormed) {
        if (!wellFormed)
            ++strays;
        else if (length == 2)
            ++twoBytes;
        else
            ++longer;
        return true;
    });
    return strays > 0 && (longer >= 4 * strays || twoBytes + longer >= 16 * strays);
}

// --- conversion

bool ConverterKnows(std::string_view encoding) {
    return TextConverter(kUtf8, encoding).valid();
}

// Bytes to step over when a sequence cannot be read: one code unit.
std::size_t UnitOf(std::string_view encoding) {
    if (encoding.starts_with("UTF-16")) return 2;
    if (encoding.starts_with("UTF-32")) return 4;
    return 1;
}

// Converts `in` from one encoding into another. A sequence the converter cannot read (or
// cannot write in the target) is stepped over one code unit at a time and replaced by
// `replacement`; a sequence cut off at the end is replaced once. Returns the number of
// replacements, counting stops after `stopAfter`. With `out` null the text is only checked.
std::size_t Convert(std::string_view in, std::string_view from, std::string_view to,
                    std::string_view replacement, std::string* out,
                    std::size_t stopAfter = std::numeric_limits<std::size_t>::max()) {
    TextConverter converter(to, from);
    if (!converter.valid()) return std::numeric_limits<std::size_t>::max();
    return converter.convert(in, out, {replacement, UnitOf(from), stopAfter}).strays;
}

// --- the detector

// The detector's name for an encoding as the converter's name; GBK and GB2312 are read as
// GB18030, which holds both; the Big5 variants as glibc's Big5, which has the ETEN extensions
// and the euro sign of the Windows code page.
std::string Normalized(std::string_view detected) {
    std::string name(detected);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const std::string_view gb : {"GB2312", "GBK", "EUC-CN", "CP936", "X-GBK", "GB18030"}) {
        if (name == gb) return std::string(kGb18030);
    }
    for (const std::string_view big5 : {"BIG5", "BIG5-HKSCS", "CP950", "X-EUC-TW-BIG5"}) {
        if (name == big5) return std::string(kBig5);
    }
    return name;
}

// Legacy encodings whose characters take more than one byte: the detector only names them when
// their byte structure fits, so its answer stands. A single-byte guess fits any bytes at all,
// and a UTF-8 answer is wrong here, since the bytes were found not to be UTF-8.
bool IsMultiByte(std::string_view name) {
    for (const std::string_view multi :
         {"GB18030", "BIG5", "EUC-TW", "EUC-JP", "EUC-KR", "UHC", "SHIFT_JIS", "ISO-2022-JP",
          "ISO-2022-KR", "ISO-2022-CN"}) {
        if (name == multi) return true;
    }
    return false;
}

struct DetectorDeleter {
    void operator()(uchardet_t detector) const { uchardet_delete(detector); }
};

// The detector's character-frequency models give no verdict below a handful of characters, so
// a short text (a file of one or two cues) is fed several times over: the proportions they
// judge stay the same, only their minimum counts are met.
constexpr std::size_t kShortText = 32768;
constexpr std::size_t kChunk = 1 << 16;

std::string AskDetector(std::string_view bytes) {
    if (bytes.empty()) return {};  // nothing to judge (a text that was all stray bytes)
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, DetectorDeleter> detector(uchardet_new());
    if (!detector) return {};
    const std::size_t rounds = bytes.size() < kShortText ? kShortText / bytes.size() + 1 : 1;
    for (std::size_t round = 0; round < rounds; ++round) {
        // Once it is sure, the detector ignores further data, so a long file costs little.
        for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
            const std::size_t size = std::min(kChunk, bytes.size() - at);
            if (uchardet_handle_data(detector.get(), bytes.data() + at, size) != 0) return {};
        }
    }
    uchardet_data_end(detector.get());
    const char* charset = uchardet_get_charset(detector.get());
    return charset ? Normalized(charset) : std::string();
}

// The legacy encoding of bytes that are neither ASCII nor UTF-8.
std::string DetectLegacy(std::string_view bytes, const CodePage& codePage) {
    const std::string answer = AskDetector(bytes);

    // The readings to try, the detector's multi-byte answer first: the first that reads every
    // byte wins. A single-byte guess is not among them, since it reads any bytes at all, and
    // neither is a multi-byte answer that stumbles: the detector gives up on GB18030 at the
    // first stray byte and may then name Big5 for a GBK file. When no reading is clean, the one
    // with the fewest stray sequences wins if those are rare (a file cut inside a character, a
    // damaged byte) and the detector, shown the text without them, names that reading too, so a
    // Chinese file with one bad byte is still read as Chinese.
    std::vector<std::string> readings;
    if (IsMultiByte(answer) && ConverterKnows(answer)) readings.push_back(answer);
    for (const std::string_view chinese : {kGb18030, kBig5}) {
        if (answer != chinese) readings.emplace_back(chinese);
    }
    std::size_t highBytes = 0;
    for (const char c : bytes) highBytes += static_cast<unsigned char>(c) >= 0x80;
    // One stray sequence per 200 bytes above 0x7F is tolerated, and one in any text: a reading
    // counts when it stumbles fewer times than `fewest`.
    std::size_t fewest = highBytes / 200 + 2;
    std::string best;
    for (const std::string& reading : readings) {
        const std::size_t errors = Convert(bytes, reading, kUtf8, {}, nullptr, fewest);
        if (errors == 0) return reading;
        if (errors < fewest) {
            fewest = errors;
            best = reading;
        }
    }
    // In a short text one stray sequence is not rare: a Greek or a Russian cue often reads as
    // Chinese but for one byte. The detector's models tell the two apart once that byte is gone.
    if (!best.empty()) {
        std::string clean;
        Convert(bytes, best, best, {}, &clean);
        if (AskDetector(clean) == best) return best;
    }
    // Nothing fits cleanly. On a GBK system the file is taken as in the code page, as any file
    // is there: a single-byte guess is no evidence against it. On a UTF-8 system, which these
    // bytes are not in, the guess stands (a Western file in Windows-1252, say).
    if (codePage.kind() == CodePage::Kind::Gbk) return std::string(kGb18030);
    if (!answer.empty() && !IsMultiByte(answer) && ConverterKnows(answer)) return answer;
    return std::string(kGb18030);
}

std::string_view BeforeNul(std::string_view bytes) {
    const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
    return nul ? bytes.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) -
                                                          bytes.data()))
               : bytes;
}

// DetectEncoding, and whether a text found to be UTF-8 holds stray sequences.
struct Detection {
    DetectedEncoding encoding;
    bool utf8Strays = false;
};

Detection Detect(std::string_view bytes, const CodePage& codePage) {
    for (const Mark& mark : kMarks) {
        if (!bytes.starts_with(mark.bytes)) continue;
        Detection found{{std::string(mark.encoding), mark.bytes.size()}};
        if (mark.encoding == kUtf8)
            found.utf8Strays = !IsValidUtf8(BeforeNul(bytes.substr(mark.bytes.size())));
        return found;
    }
    // Without a mark the text ends at the first NUL: what follows is never read.
    bytes = BeforeNul(bytes);
    const auto high = std::find_if(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (high == bytes.end()) return {{std::string(kAscii), 0}};
    const std::string_view fromHigh = bytes.substr(static_cast<std::size_t>(high - bytes.begin()));
    if (IsValidUtf8(fromHigh)) return {{std::string(kUtf8), 0}};
    if (IsUtf8ButForRareStrays(fromHigh)) return {{std::string(kUtf8), 0}, true};
    // The detector's last guess may be UTF-8 too, for bytes that are not.
    std::string legacy = DetectLegacy(bytes, codePage);
    const bool strays = legacy == kUtf8;
    return {{std::move(legacy), 0}, strays};
}

}  // namespace

DetectedEncoding DetectEncoding(std::string_view bytes, const CodePage& codePage) {
    return Detect(bytes, codePage).encoding;
}

std::string DisplayName(std::string_view encodingName) {
    if (encodingName == kBig5) return "Big5";
    return std::string(encodingName);
}

CodePageText ToCodePage(std::string bytes, const CodePage& codePage) {
    const Detection detection = Detect(bytes, codePage);
    const DetectedEncoding& detected = detection.encoding;
    CodePageText result;
    result.encoding.name = detected.name;
    const std::string_view target = codePage.converterName();
    if (detected.name == kAscii || (detected.name == target && !detection.utf8Strays)) {
        result.bytes = std::move(bytes);
        return result;
    }
    // GBK has no replacement character of its own; "?" is what its code page puts for what it
    // cannot hold.
    const std::string_view replacement =
        codePage.kind() == CodePage::Kind::Utf8 ? std::string_view("\xEF\xBF\xBD") : "?";
    std::string_view text(bytes);
    text.remove_prefix(detected.markLength);
    // Without a mark the text ends at the first NUL; with one, NUL is a character like any
    // other and ends the text once converted.
    if (detected.markLength == 0) text = BeforeNul(text);
    result.encoding.converted = true;
    if (!detection.utf8Strays) {
        result.encoding.replaced = Convert(text, detected.name, target, replacement, &result.bytes);
        return result;
    }
    // Each stray sequence becomes one replacement, however many bytes it has, so that what is
    // kept is valid UTF-8 and reads back the same once written. A UTF-8 text stays UTF-8, its
    // mark included; only what the NUL ends is read.
    std::string valid;
    result.encoding.replaced = ReplaceUtf8Strays(BeforeNul(text), replacement, valid);
    if (detected.name == target) {
        result.bytes.assign(bytes, 0, detected.markLength);
        result.bytes += valid;
    } else {
        result.encoding.replaced += Convert(valid, kUtf8, target, replacement, &result.bytes);
    }
    return result;
}

}  // namespace tirelle::srt
