#include "log/LogFile.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <vector>

#include "log/ActivityLog.h"
#include "log/AsciiText.h"
#include "log/LogLine.h"
#include "log/OutputFile.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kNumberedPrefix = "vltrn0";
constexpr std::int64_t kBytesPerKB = 1024;

bool IsCsv(const TLogSettings& settings)
{
    return settings.LogFormat == 1;
}

std::string Extension(const TLogSettings& settings)
{
    return IsCsv(settings) ? ".csv" : ".log";
}

bool IsNumberedLogName(std::string_view name, std::string_view extension)
{
    return name.size() >= kNumberedPrefix.size() + extension.size() &&
           AsciiEqualNoCase(name.substr(0, kNumberedPrefix.size()), kNumberedPrefix) &&
           AsciiEqualNoCase(name.substr(name.size() - extension.size()), extension);
}

std::vector<std::string> NumberedLogNames(const fs::path& folder, std::string_view extension)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            continue;
        std::string name = it->path().filename().string();
        if (IsNumberedLogName(name, extension))
            names.push_back(std::move(name));
    }
    return names;
}

// Numbered files: the count of files, not the highest number, decides the next number,
// so numbering starts again at 1 whenever vltrn000001 is missing.
std::string NumberedLogFileName(const TLogSettings& settings)
{
    const std::string extension = Extension(settings);
    const fs::path folder(settings.LogFolder);
    std::string first = std::string(kNumberedPrefix) + PadNumber(1, 5) + extension;
    std::error_code error;
    if (!fs::exists(folder / first, error))
        return first;
    const std::vector<std::string> names = NumberedLogNames(folder, extension);
    if (names.empty())
        return first;
    const std::string last = *std::max_element(names.begin(), names.end(), AsciiLessNoCase);
    const std::uintmax_t size = fs::file_size(folder / last, error);
    const std::int64_t limit = static_cast<std::int64_t>(settings.LogSize) * kBytesPerKB;
    if (error || static_cast<std::int64_t>(size) < limit)
        return last;
    const auto count = static_cast<std::int64_t>(names.size());
    return std::string(kNumberedPrefix) + PadNumber(count + 1, 5) + extension;
}

std::string DailyLogFileName(const TLogSettings& settings, std::time_t now)
{
    const std::tm today = LocalTime(now);
    return "vltrn" + PadNumber(today.tm_year + 1900 - 2000, 2) + PadNumber(today.tm_mon + 1, 2) +
           PadNumber(today.tm_mday, 2) + Extension(settings);
}

// The log folder exists afterwards, or it could not be made.
bool EnsureLogFolder(const std::string& folder)
{
    std::error_code error;
    if (fs::is_directory(folder, error))
        return true;
    fs::create_directory(folder, error);
    return fs::is_directory(folder, error);
}

bool AppendLine(const std::string& path, const TActivityEntry& entry, const TLogSettings& settings)
{
    TOutputFile file(path, TOutputFile::TMode::Append);
    if (!file.IsOpen())
        return false;
    std::string text;
    if (IsCsv(settings) && file.Size() == 0)
        (text += CsvHeaderLine()) += kLineEnd;
    (text += IsCsv(settings) ? FormatCsvLine(entry) : FormatTextLine(entry)) += kLineEnd;
    return file.Write(text) && file.Close();
}

}  // namespace

std::string PadNumber(std::int64_t n, int width)
{
    std::string text = std::to_string(n);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    return text;
}

std::string CurrentLogFileName(const TLogSettings& settings, std::time_t now)
{
    if (!settings.LogLimitOptions)
        return "vltrnlog" + Extension(settings);
    if (settings.LogLimit)
        return NumberedLogFileName(settings);
    return DailyLogFileName(settings, now);
}

void LogActivityEntry(const TActivityEntry& entry, const TLogSettings& settings, TActivityLog& log)
{
    if (!settings.Log)
        return;
    if (!EnsureLogFolder(settings.LogFolder)) {
        log.AddActivityEntry(aiError, kNoEventText, kNoEventText, "Log error: Log directory error");
        return;
    }
    const std::string path = settings.LogFolder + "/" + CurrentLogFileName(settings, log.Now());
    if (!AppendLine(path, entry, settings))
        log.AddActivityEntry(aiError, kNoEventText, kNoEventText, "Log error: Cannot write to log!");
}
