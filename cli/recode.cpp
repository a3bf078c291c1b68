#include "cli/recode.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "base/errors.h"

namespace tirelle::cli {

namespace {

class Converter {
public:
    Converter(const std::string& to, const char* from) : handle_(::iconv_open(to.c_str(), from)) {}
    ~Converter() {
        if (valid()) ::iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole text; returns the offset of the first byte that could not be
    // converted, or npos when everything was. `out` then holds what was converted.
    std::size_t run(std::string_view in, std::string& out) {
        out.assign(in.size() + in.size() / 2 + 16, '\0');
        std::size_t used = 0;
        char* input = const_cast<char*>(in.data());
        std::size_t inputLeft = in.size();
        bool flushing = false;  // a last call without input ends a shifted state (ISO-2022)
        for (;;) {
            char* output = out.data() + used;
            std::size_t outputLeft = out.size() - used;
            const std::size_t result =
                flushing ? ::iconv(handle_, nullptr, nullptr, &output, &outputLeft)
                         : ::iconv(handle_, &input, &inputLeft, &output, &outputLeft);
            used = static_cast<std::size_t>(output - out.data());
            if (result == static_cast<std::size_t>(-1) && errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            if (result == static_cast<std::size_t>(-1)) {
                out.resize(used);
                return in.size() - inputLeft;
            }
            // glibc counts characters it could only approximate (//TRANSLIT) in the result;
            // that is what the name asked for, so they pass.
            if (flushing) break;
            flushing = true;
        }
        out.resize(used);
        return std::string_view::npos;
    }

private:
    iconv_t handle_;
};

}  // namespace

bool CanConvert(const CodePage& codePage, const std::string& encoding) {
    return Converter(encoding, codePage.converterName()).valid();
}

std::string ConvertFromCodePage(std::string_view bytes, const CodePage& codePage,
                                const std::string& encoding) {
    Converter converter(encoding, codePage.converterName());
    if (!converter.valid()) throw Error("Unknown encoding " + encoding);
    std::string out;
    const std::size_t failed = converter.run(bytes, out);
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
    Converter converter(std::string(codePage.converterName()) + "//TRANSLIT", "UTF-8");
    if (!converter.valid() || converter.run(utf8, out) != std::string_view::npos)
        return std::string(utf8);
    return out;
}

}  // namespace tirelle::cli
