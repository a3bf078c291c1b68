#pragma once
// Test texts in other encodings, made by the system's iconv from UTF-8.

#include <iconv.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace tirelle::testing {

// The UTF-8 text in `encoding` ("GBK", "BIG5", "UTF-16LE", ...), without a byte order mark.
inline std::string Encoded(std::string_view utf8, const char* encoding) {
    const iconv_t converter = ::iconv_open(encoding, "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("no converter for ") + encoding);
    std::string out(utf8.size() * 4 + 16, '\0');
    char* input = const_cast<char*>(utf8.data());
    std::size_t inputLeft = utf8.size();
    char* output = out.data();
    std::size_t outputLeft = out.size();
    const std::size_t result = ::iconv(converter, &input, &inputLeft, &output, &outputLeft);
    ::iconv_close(converter);
    if (result == static_cast<std::size_t>(-1))
        throw std::runtime_error(std::string("cannot write the text in ") + encoding);
    out.resize(out.size() - outputLeft);
    return out;
}

}  // namespace tirelle::testing
