#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes out of scope.

#include <filesystem>
#include <string>

namespace tirelle::testing {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

    // Writes bytes to a file in the folder and returns its path.
    std::filesystem::path write(const std::string& name, const std::string& bytes) const;
    // Reads a whole file as bytes.
    static std::string read(const std::filesystem::path& path);

private:
    std::filesystem::path path_;
};

// Folder of the generated test media (TIRELLE_TESTDATA), empty when not set.
std::filesystem::path testDataFolder();

}  // namespace tirelle::testing
