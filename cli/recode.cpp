#include "cli/recode.h"

#include <algorithm>

#include "base/errors.h"
#include "base/textconverter.h"

namespace tirelle::cli {

namespace {

// Nothing is replaced: the first sequence that cannot be converted ends the conversion.
constexpr TextConverter::Strays kStopAtFirst{{}, 1, 1};

}  // namespace

bool CanConvert(const CodePage& codePage, const std::string& encoding) {
    return TextConverter(encoding, codePage.converterName()).valid();
}

std::string ConvertFromCodePage(std::string_view bytes, const CodePage& codePage,
                                const std::string& encoding) {
    TextConverter converter(encoding, codePage.converterName());
    if (!converter.valid()) throw Error("Unknown encoding " + encoding);
    std::string out;
    const std::size_t failed = converter.convert(bytes, &out, kStopAtFirst).stoppedAt;
    if (failed != std::string_view::npos) {
        const auto line =
            std::count(bytes.begin(), bytes.begin() + static_cast<long>(failed), '\n');
        throw Error("Cannot write line " + std::to_string(line + 1) + " in " + encoding +
                    ": it holds a character that " + encoding + " has no code for");
    }
    return out;
}

std::string ForTerminal(std::string_view utf8, const CodePage& codePage) {
    if (codePage.kind() == CodePage::Kind::Utf8) return std::string(utf8);
    std::string out;
    TextConverter converter(std::string(codePage.converterName()) + "//TRANSLIT", "UTF-8");
    if (!converter.valid() ||
        converter.convert(utf8, &out, kStopAtFirst).stoppedAt != std::string_view::npos)
        return std::string(utf8);
    return out;
}

}  // namespace tirelle::cli
