#pragma once

#include <filesystem>
#include <string>
#include <string_view>

/// A fresh folder under the system's temporary folder, removed with everything in it
/// when the owner goes. Test-thread only.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string Str() const { return path_.string(); }

    /// Writes `content` to `name` inside the folder and returns the full path.
    std::filesystem::path WriteFile(const std::string& name, std::string_view content) const;
    /// The whole content of a file, or an empty string when it cannot be read.
    static std::string ReadFile(const std::filesystem::path& file);

private:
    std::filesystem::path path_;
};
