#pragma once

#include <exception>
#include <filesystem>
#include <string>

/// The text the operator sees when the server could not bind its port: the engine's own
/// text, exactly. When the system refused a port below 1024 for want of privilege, one
/// paragraph follows it on how to grant `executable` that privilege or pick another port.
std::string BindFailureMessage(const std::exception& failure, int port,
                               const std::filesystem::path& executable);

/// BindFailureMessage() for the running executable.
std::string BindFailureMessage(const std::exception& failure, int port);
