// Detecting a file's encoding (byte order mark, UTF-8 validity, then uchardet) and converting
// it into the code page with iconv.

#include "srt/encoding.h"

#include <iconv.h>
#include <uchardet.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

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

// True when every byte belongs to a well-formed UTF-8 sequence: no overlong forms, no
// surrogates, nothing above U+10FFFF, no sequence cut off at the end.
bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        // Runs of ASCII go eight bytes at a time.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if (word & 0x8080808080808080ull) break;
            p += 8;
        }
        if (p == end) break;
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        // The allowed range of the second byte narrows for E0, ED, F0 and F4.
        std::size_t length;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length) return false;
        if (p[1] < low || p[1] > high) return false;
        for (std::size_t k = 2; k < length; ++k) {
            if (p[k] < 0x80 || p[k] > 0xBF) return false;
        }
        p += length;
    }
    return true;
}

// --- iconv

class Converter {
public:
    Converter(std::string_view to, std::string_view from)
        : handle_(::iconv_open(std::string(to).c_str(), std::string(from).c_str())) {}
    ~Converter() {
        if (valid()) ::iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

bool ConverterKnows(std::string_view encoding) {
    return Converter(kUtf8, encoding).valid();
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
    Converter converter(to, from);
    if (!converter.valid()) return std::numeric_limits<std::size_t>::max();
    const std::size_t unit = UnitOf(from);

    // A checking pass writes into a scratch buffer that is reused.
    std::string scratch;
    std::string& target = out ? *out : scratch;
    target.clear();
    target.resize(out ? in.size() + in.size() / 2 + 16 : std::size_t{1} << 16);
    std::size_t used = 0;

    char* input = const_cast<char*>(in.data());
    std::size_t inputLeft = in.size();
    std::size_t replaced = 0;
    const auto write = [&](std::string_view bytes) {
        if (!out || bytes.empty()) return;  // an empty replacement may have no bytes at all
        if (target.size() - used < bytes.size()) target.resize(target.size() * 2 + bytes.size());
        std::memcpy(target.data() + used, bytes.data(), bytes.size());
        used += bytes.size();
    };
    bool flushing = false;
    for (;;) {
        char* output = target.data() + used;
        std::size_t outputLeft = target.size() - used;
        // A last call without input ends a shifted state (ISO-2022) in the output.
        const std::size_t result =
            flushing ? ::iconv(converter.get(), nullptr, nullptr, &output, &outputLeft)
                     : ::iconv(converter.get(), &input, &inputLeft, &output, &outputLeft);
        used = out ? static_cast<std::size_t>(output - target.data()) : 0;
        if (result != static_cast<std::size_t>(-1)) {
            if (flushing) break;
            flushing = true;
            continue;
        }
        if (errno == E2BIG) {
            if (out) target.resize(target.size() * 2);
            continue;
        }
        if (flushing) break;
        // EILSEQ: an invalid sequence; EINVAL: a sequence cut off by the end of the text.
        ++replaced;
        if (replaced >= stopAfter) break;
        write(replacement);
        const std::size_t skip = errno == EINVAL ? inputLeft : std::min(unit, inputLeft);
        input += skip;
        inputLeft -= skip;
    }
    target.resize(used);
    return replaced;
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

}  // namespace

DetectedEncoding DetectEncoding(std::string_view bytes, const CodePage& codePage) {
    for (const Mark& mark : kMarks) {
        if (bytes.starts_with(mark.bytes)) return {std::string(mark.encoding), mark.bytes.size()};
    }
    // Without a mark the text ends at the first NUL: what follows is never read.
    bytes = BeforeNul(bytes);
    const auto high = std::find_if(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (high == bytes.end()) return {std::string(kAscii), 0};
    if (IsValidUtf8(bytes.substr(static_cast<std::size_t>(high - bytes.begin())))) {
        return {std::string(kUtf8), 0};
    }
    return {DetectLegacy(bytes, codePage), 0};
}

std::string DisplayName(std::string_view encodingName) {
    if (encodingName == kBig5) return "Big5";
    return std::string(encodingName);
}

CodePageText ToCodePage(std::string bytes, const CodePage& codePage) {
    const DetectedEncoding detected = DetectEncoding(bytes, codePage);
    CodePageText result;
    result.encoding.name = detected.name;
    const std::string_view target = codePage.converterName();
    if (detected.name == kAscii || detected.name == target) {
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
    result.encoding.replaced =
        Convert(text, detected.name, target, replacement, &result.bytes);
    return result;
}

}  // namespace tirelle::srt
