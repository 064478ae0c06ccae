#pragma once

#include <filesystem>
#include <optional>
#include <vector>

/// How the operator left the main window: its place and size, whether it was maximised, the
/// heights of its three panes and the width of every column. Plain numbers, kept in the
/// settings file's "[Window]" section, so the window's geometry passes through this layer
/// without Qt. A plain value; reading and writing happen on the main thread.
struct TWindowLayout {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool Maximized = false;
    std::vector<int> PaneHeights;  // files view, Transfer Log, Activity Log
    std::vector<int> FilesColumns;
    std::vector<int> TransferColumns;
    std::vector<int> ActivityColumns;

    /// The layout kept in `settingsFile`; nullopt when there is none (the first start) or
    /// its size is unusable. A list that does not read as numbers in range comes back empty,
    /// so the window gives those panes or columns their first-start sizes.
    static std::optional<TWindowLayout> Read(const std::filesystem::path& settingsFile);

    /// Writes the "[Window]" keys, keeping every other line of the file. Throws
    /// ESettingsWriteError, leaving the file as it was, when the write is refused.
    void Write(const std::filesystem::path& settingsFile) const;

    friend bool operator==(const TWindowLayout&, const TWindowLayout&) = default;
};
