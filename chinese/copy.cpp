#include "chinese/copy.h"

#include <string_view>
#include <vector>

#include "tools/srtfiles.h"

namespace tirelle::chinese {

std::filesystem::path CopyPath(const std::filesystem::path& saved, Script target) {
    std::filesystem::path copy = saved;
    copy.replace_extension(target == Script::Traditional ? ".cht.srt" : ".chs.srt");
    return copy;
}

std::size_t WriteConvertedCopy(const srt::LineList& lines, Converter& converter,
                               const CodePage& codePage, const std::filesystem::path& path) {
    const std::vector<std::string_view> texts(lines.begin(), lines.end());
    const auto converted = ConvertTexts(converter, texts, codePage);
    srt::LineList copy;
    copy.reserve(lines.size());
    std::size_t replaced = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (converted[i]) {
            copy.push_back(converted[i]->bytes);
            replaced += converted[i]->replaced;
        } else {
            copy.push_back(lines[i]);
        }
    }
    tools::WriteSubtitleLines(path, copy);
    return replaced;
}

}  // namespace tirelle::chinese
