#include "srt/styletags.h"

#include <cctype>
#include <optional>

namespace tirelle::srt {

namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

bool isColour(std::string_view value) {
    if (value.empty()) return false;
    if (value.front() == '#') {
        const std::string_view digits = value.substr(1);
        if (digits.size() != 3 && digits.size() != 6) return false;
        for (char c : digits)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        return true;
    }
    for (char c : value)
        if (!std::isalpha(static_cast<unsigned char>(c))) return false;
    return true;
}

// The colour of a font tag's inside (what stands between "<font" and ">"): one attribute
// color=VALUE, the value in double quotes, single quotes or bare. Nothing for anything else.
std::optional<std::string> fontColour(std::string_view inside) {
    std::size_t at = 0;
    const auto skipSpaces = [&] {
        while (at < inside.size() && isSpace(inside[at])) ++at;
    };
    if (inside.empty() || !isSpace(inside.front())) return std::nullopt;
    skipSpaces();
    if (lowered(inside.substr(at, 5)) != "color") return std::nullopt;
    at += 5;
    skipSpaces();
    if (at >= inside.size() || inside[at] != '=') return std::nullopt;
    ++at;
    skipSpaces();
    std::string_view value;
    if (at < inside.size() && (inside[at] == '"' || inside[at] == '\'')) {
        const char quote = inside[at];
        const std::size_t close = inside.find(quote, at + 1);
        if (close == std::string_view::npos) return std::nullopt;
        value = inside.substr(at + 1, close - at - 1);
        at = close + 1;
    } else {
        const std::size_t from = at;
        while (at < inside.size() && !isSpace(inside[at])) ++at;
        value = inside.substr(from, at - from);
    }
    skipSpaces();
    if (at != inside.size() || !isColour(value)) return std::nullopt;
    return std::string(value);
}

class Splitter {
public:
    StyledText split(std::string_view text) {
        std::size_t plainFrom = 0;
        std::size_t at = 0;
        while ((at = text.find('<', at)) != std::string_view::npos) {
            const std::size_t close = text.find('>', at + 1);
            if (close == std::string_view::npos) break;
            const std::string_view inside = text.substr(at + 1, close - at - 1);
            // A '<' inside is the start of the next candidate.
            if (inside.find('<') != std::string_view::npos) {
                ++at;
                continue;
            }
            // The text before the tag is written in the style it stood in.
            const std::string_view before = text.substr(plainFrom, at - plainFrom);
            const StyledRun style = current_;
            if (apply(inside)) {
                add(before, style);
                out_.tagged = true;
                plainFrom = close + 1;
            }
            at = close + 1;
        }
        add(text.substr(plainFrom), current_);
        return std::move(out_);
    }

private:
    // Changes the style for a styling tag; false, changing nothing, for any other.
    bool apply(std::string_view inside) {
        const std::string name = lowered(inside);
        const auto toggle = [&](int& depth, bool& flag, bool opening) {
            if (!opening && depth == 0) return false;
            depth += opening ? 1 : -1;
            flag = depth > 0;
            return true;
        };
        if (name == "i" || name == "/i") return toggle(italic_, current_.italic, name == "i");
        if (name == "b" || name == "/b") return toggle(bold_, current_.bold, name == "b");
        if (name == "u" || name == "/u") return toggle(underline_, current_.underline, name == "u");
        if (name == "/font") {
            if (colours_.empty()) return false;
            colours_.pop_back();
            current_.color = colours_.empty() ? std::string() : colours_.back();
            return true;
        }
        if (name.starts_with("font")) {
            const std::optional<std::string> colour = fontColour(inside.substr(4));
            if (!colour) return false;
            colours_.push_back(*colour);
            current_.color = *colour;
            return true;
        }
        return false;
    }

    void add(std::string_view text, const StyledRun& style) {
        if (text.empty()) return;
        if (!out_.runs.empty()) {
            StyledRun& last = out_.runs.back();
            if (last.italic == style.italic && last.bold == style.bold &&
                last.underline == style.underline && last.color == style.color) {
                last.text += text;
                return;
            }
        }
        StyledRun run = style;
        run.text = std::string(text);
        out_.runs.push_back(std::move(run));
    }

    StyledText out_;
    StyledRun current_;
    int italic_ = 0;
    int bold_ = 0;
    int underline_ = 0;
    std::vector<std::string> colours_;
};

}  // namespace

StyledText SplitStyleTags(std::string_view text) {
    return Splitter().split(text);
}

}  // namespace tirelle::srt
