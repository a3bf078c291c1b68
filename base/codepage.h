#pragma once
// The system's 8-bit code page: every subtitle text, file and stored value is bytes in it.
//
// On Linux the code page comes from the locale (LC_ALL, then LC_CTYPE, then LANG): a GBK-family
// charset (GBK, GB2312, GB18030, CP936, EUC-CN) gives GBK, anything else UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

namespace tirelle {

class CodePage {
public:
    enum class Kind { Utf8, Gbk };

    constexpr explicit CodePage(Kind kind = Kind::Utf8) : kind_(kind) {}

    // From the process environment, as described above.
    static CodePage fromEnvironment();
    // From a locale name ("zh_CN.GBK", "en_US.UTF-8", "C") or a bare charset name.
    static CodePage fromLocaleName(std::string_view localeName);

    Kind kind() const { return kind_; }
    // The charset name to hand to a converter: "GB18030" or "UTF-8".
    const char* converterName() const { return kind_ == Kind::Gbk ? "GB18030" : "UTF-8"; }

    // True when the byte begins a character of more than one byte.
    bool isLeadByte(unsigned char byte) const;

    // Length in bytes of the character that starts at pos (at least 1, never past the end;
    // 0 when pos is at or past the end).
    // In GBK a lead byte always takes the byte after it, whatever that byte is, so a CR or LF
    // right after a lead byte belongs to that character. In UTF-8 a lead byte takes only the
    // continuation bytes that follow it.
    std::size_t charLength(std::string_view text, std::size_t pos) const;

    // True when pos is the first byte of a character (walking from the start of text).
    bool isCharBoundary(std::string_view text, std::size_t pos) const;

private:
    Kind kind_;
};

}  // namespace tirelle
