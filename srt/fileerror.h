#pragma once
// Texts of the file errors thrown by the SRT reader and writer.

#include <string.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "base/errors.h"

namespace tirelle::srt::detail {

// The system's reason for an errno value in English ("No such file or directory"), whatever
// the locale's message language.
inline std::string SystemReason(int error) {
    const char* description = strerrordesc_np(error);
    return description ? std::string(description) : "Unknown error " + std::to_string(error);
}

// The path made absolute (without resolving links), as shown in file error messages.
inline std::string FullPath(const std::filesystem::path& path) {
    std::error_code failed;
    const auto absolute = std::filesystem::absolute(path, failed);
    return failed ? path.string() : absolute.string();
}

// FileError "<action> file "<full path>". <reason>", with action "Cannot open" or
// "Cannot create".
inline FileError MakeFileError(std::string_view action, const std::filesystem::path& path,
                               int error) {
    std::string message(action);
    message += " file \"";
    message += FullPath(path);
    message += "\". ";
    message += SystemReason(error);
    return FileError(message);
}

}  // namespace tirelle::srt::detail
