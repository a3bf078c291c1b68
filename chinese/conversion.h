#pragma once
// Simplified and Traditional Chinese converted into each other phrase by phrase, with OpenCC's
// shipped configurations and dictionaries: 头发 becomes 頭髮 (not 頭發), 干杯 乾杯, and with
// Taiwan's wording 软件 becomes 軟體. The output is exactly OpenCC's for the same text.
//
// Texts are bytes in the system code page, as the store holds them: on a GBK system they are
// decoded for OpenCC and encoded back; bytes that are no text in the code page stay as they
// are, and a text without Chinese passes unchanged.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "base/errors.h"

namespace opencc {
class Converter;
}

namespace tirelle::chinese {

enum class Script { Simplified, Traditional };

// One of the conversions OpenCC ships.
struct Conversion {
    std::string_view name;   // its configuration: "s2twp"
    std::string_view label;  // what a window calls it (UTF-8): "简体 → 繁体（台湾用语）"
    Script target;           // the script its texts end in
};

// s2t, t2s, s2tw, tw2s, s2twp, tw2sp, s2hk, hk2s, t2tw, t2hk, in this order.
std::span<const Conversion> Conversions();
// The conversion of that name; nothing for another name.
std::optional<Conversion> FindConversion(std::string_view name);

// A name that is not one of Conversions(): "unknown conversion 'x' (known: s2t, t2s, ...)".
class UnknownConversion : public Error {
public:
    explicit UnknownConversion(std::string_view name);
};

// OpenCC's data for a conversion is missing or unreadable: "Cannot read the data of the
// conversion 's2t': <OpenCC's reason, naming the file>".
class ConversionDataError : public Error {
public:
    using Error::Error;
};

// Where OpenCC's configurations and dictionaries are installed (/usr/share/opencc).
std::filesystem::path OpenCcDataFolder();

// One conversion with its dictionaries loaded (some tens of milliseconds).
class Converter {
public:
    // Loads `name.json` from `dataFolder` and the dictionaries it names (from that folder, else
    // OpenCC's own). Throws UnknownConversion, ConversionDataError.
    explicit Converter(std::string_view name,
                       const std::filesystem::path& dataFolder = OpenCcDataFolder());
    ~Converter();
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    const Conversion& conversion() const { return conversion_; }

    // Valid UTF-8 converted, exactly as OpenCC converts it. May be called from several
    // threads at once.
    std::string convertUtf8(std::string_view utf8) const;

    // Makes the conversions that follow about three times faster, for many texts: the same
    // dictionary entries searched in OpenCC's double-array form instead of the compact tries
    // it ships (built once, a tenth of a second or so). Not while another thread converts.
    void prepareForManyTexts();

private:
    Conversion conversion_;
    std::shared_ptr<opencc::Converter> engine_;
    bool prepared_ = false;
};

// The converter of that name from OpenCC's data folder, loaded on first use and kept for the
// life of the process (a failed load is not kept). Throws as Converter's constructor. Not
// for use from several threads at once.
Converter& CachedConverter(std::string_view name);

// A text of the code page converted.
struct ConvertedText {
    std::string bytes;
    // Characters the code page cannot hold, replaced as the encoding reader replaces them
    // ("?" on a GBK system, which holds every character as GB18030 writes it).
    std::size_t replaced = 0;
};

// Converts texts of the code page; nothing for a text the conversion leaves as it is, byte
// for byte. Many texts are converted on several threads. Throws Error when OpenCC fails.
std::vector<std::optional<ConvertedText>> ConvertTexts(Converter& converter,
                                                       std::span<const std::string_view> texts,
                                                       const CodePage& codePage);

}  // namespace tirelle::chinese
