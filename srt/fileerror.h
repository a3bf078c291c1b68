#pragma once
// Texts of the file errors thrown by the SRT reader and writer.

#include <string.h>
#include <sys/stat.h>

#include <cerrno>
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

// Why a file that is not a regular file is not read or written as a subtitle file.
inline std::string NotRegularReason(mode_t mode) {
    if (S_ISDIR(mode)) return SystemReason(EISDIR);
    const char* kind = S_ISFIFO(mode)   ? "a named pipe"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "a special file";
    return std::string("It is ") + kind + ", not a regular file";
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
                               std::string_view reason) {
    std::string message(action);
    message += " file \"";
    message += FullPath(path);
    message += "\". ";
    message += reason;
    return FileError(message);
}

// The same with the system's reason for an errno value.
inline FileError MakeFileError(std::string_view action, const std::filesystem::path& path,
                               int error) {
    return MakeFileError(action, path, SystemReason(error));
}

}  // namespace tirelle::srt::detail
