#include "app/WindowLayout.h"

#include <charconv>
#include <string>
#include <string_view>

#include "app/IniFile.h"

namespace {

constexpr char kWindow[] = "Window";
// Beyond any screen: a larger number in the file is not a window's.
constexpr int kFarthest = 100000;
constexpr std::size_t kMostListed = 16;

bool InRange(int value, int least)
{
    return value >= least && value <= kFarthest;
}

/// "12,34,56" as numbers; empty when any of them is not a number from 1 to kFarthest.
std::vector<int> ParseList(std::string_view text)
{
    std::vector<int> values;
    while (!text.empty() && values.size() < kMostListed) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        int value = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
        if (error != std::errc() || end != item.data() + item.size() || !InRange(value, 1))
            return {};
        values.push_back(value);
        if (comma == std::string_view::npos)
            return values;
        text.remove_prefix(comma + 1);
    }
    return {};
}

std::string ListText(const std::vector<int>& values)
{
    std::string text;
    for (const int value : values) {
        if (!text.empty())
            text += ',';
        text += std::to_string(value);
    }
    return text;
}

}  // namespace

std::optional<TWindowLayout> TWindowLayout::Read(const std::filesystem::path& settingsFile)
{
    const TIniFile file(settingsFile);
    TWindowLayout layout;
    layout.Width = file.ReadInteger(kWindow, "Width", 0);
    layout.Height = file.ReadInteger(kWindow, "Height", 0);
    if (!InRange(layout.Width, 1) || !InRange(layout.Height, 1))
        return std::nullopt;
    layout.Left = file.ReadInteger(kWindow, "Left", 0);
    layout.Top = file.ReadInteger(kWindow, "Top", 0);
    if (!InRange(layout.Left, -kFarthest) || !InRange(layout.Top, -kFarthest))
        layout.Left = layout.Top = 0;
    layout.Maximized = file.ReadBool(kWindow, "Maximized", false);
    layout.PaneHeights = ParseList(file.ReadString(kWindow, "Panes", ""));
    layout.FilesColumns = ParseList(file.ReadString(kWindow, "FilesColumns", ""));
    layout.TransferColumns = ParseList(file.ReadString(kWindow, "TransferColumns", ""));
    layout.ActivityColumns = ParseList(file.ReadString(kWindow, "ActivityColumns", ""));
    return layout;
}

void TWindowLayout::Write(const std::filesystem::path& settingsFile) const
{
    TIniFile(settingsFile)
        .WriteValues({{kWindow, "Left", std::to_string(Left)},
                      {kWindow, "Top", std::to_string(Top)},
                      {kWindow, "Width", std::to_string(Width)},
                      {kWindow, "Height", std::to_string(Height)},
                      {kWindow, "Maximized", Maximized ? "1" : "0"},
                      {kWindow, "Panes", ListText(PaneHeights)},
                      {kWindow, "FilesColumns", ListText(FilesColumns)},
                      {kWindow, "TransferColumns", ListText(TransferColumns)},
                      {kWindow, "ActivityColumns", ListText(ActivityColumns)}});
}
