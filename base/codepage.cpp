#include "base/codepage.h"

#include <cstdlib>

namespace tirelle {

namespace {

// Lower case, without '-' and '_', so "EUC-CN", "euc_cn" and "euccn" compare equal.
std::string NormalizedCharset(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (c == '-' || c == '_') continue;
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return out;
}

constexpr bool IsUtf8Continuation(unsigned char byte) {
    return byte >= 0x80 && byte <= 0xBF;
}

// Bytes a UTF-8 sequence takes, judged by its lead byte.
constexpr std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

}  // namespace

CodePage CodePage::fromEnvironment() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return fromLocaleName(value);
    }
    return CodePage(Kind::Utf8);
}

CodePage CodePage::fromLocaleName(std::string_view localeName) {
    // "language_TERRITORY.charset@modifier": the charset lies between '.' and '@'. A name
    // without '.' is taken as a bare charset name.
    std::string_view charset = localeName;
    if (const auto dot = charset.find('.'); dot != std::string_view::npos) {
        charset = charset.substr(dot + 1);
    } else {
        // A bare Chinese mainland or Singapore locale ("zh_CN", "zh_SG@...") has GB2312 as
        // its charset.
        const std::string_view language = localeName.substr(0, localeName.find('@'));
        if (language == "zh_CN" || language == "zh_SG") return CodePage(Kind::Gbk);
    }
    if (const auto at = charset.find('@'); at != std::string_view::npos) {
        charset = charset.substr(0, at);
    }
    const std::string name = NormalizedCharset(charset);
    for (const char* gbk : {"gbk", "gb2312", "gb18030", "cp936", "euccn"}) {
        if (name == gbk) return CodePage(Kind::Gbk);
    }
    return CodePage(Kind::Utf8);
}

bool CodePage::isLeadByte(unsigned char byte) const {
    if (kind_ == Kind::Gbk) return byte >= 0x81 && byte <= 0xFE;
    return byte >= 0xC2 && byte <= 0xF4;
}

std::size_t CodePage::charLength(std::string_view text, std::size_t pos) const {
    if (pos >= text.size()) return 0;
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (!isLeadByte(lead)) return 1;
    const std::size_t available = text.size() - pos;
    if (kind_ == Kind::Gbk) return available >= 2 ? 2 : 1;
    const std::size_t wanted = Utf8SequenceLength(lead);
    std::size_t length = 1;
    while (length < wanted && length < available &&
           IsUtf8Continuation(static_cast<unsigned char>(text[pos + length]))) {
        ++length;
    }
    return length;
}

bool CodePage::isCharBoundary(std::string_view text, std::size_t pos) const {
    if (pos > text.size()) return false;
    std::size_t at = 0;
    while (at < pos) at += charLength(text, at);
    return at == pos;
}

}  // namespace tirelle
