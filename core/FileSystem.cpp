#include "core/FileSystem.h"

#include <algorithm>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fileio/UniqueFd.h"

namespace fs = std::filesystem;

std::int64_t ReadFileSize(const std::string& path)
{
    // stat first: opening a device or a pipe only to learn its size could block or have
    // side effects, and such a file is not served anyway.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return -1;
    const TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid())
        return -1;
    const bool known = ::fstat(fd.Get(), &status) == 0;
    return known ? static_cast<std::int64_t>(status.st_size) : -1;
}

bool FileExists(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

bool IsDirectory(const std::string& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

std::string AbsolutePath(const std::string& path)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return error ? path : absolute.string();
}

std::string WithoutTrailingSlashes(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::vector<std::string> PlainFileNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code typeError;
        if (!name.empty() && name.front() != '.' && it->is_regular_file(typeError))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}
