#pragma once

#include <string>
#include <string_view>

#include <QString>

/// Text as the views show it: control bytes escaped (a client cannot forge rows or move
/// the cursor with a name it sent), the rest read as UTF-8.
QString ShownText(std::string_view text);

/// A path of the file system as the operator's dialogs give it, in the bytes the system
/// uses for file names.
std::string LocalPath(const QString& path);

/// The reverse of LocalPath.
QString PathText(const std::string& path);
