#pragma once

#include <functional>
#include <string>
#include <string_view>

/// Where the failures nobody expected go, so none is lost in a thread or a catch-all:
/// standard error until the program names another place (the activity log in the window).
/// Set on the main thread while no session runs; reports may come from any thread.
using TUnexpectedFailureSink = std::function<void(const std::string& text)>;
void SetUnexpectedFailureSink(TUnexpectedFailureSink sink);

/// Reports the exception being handled, named by `where`. Call only inside a catch block.
/// Never raises.
void ReportUnexpectedFailure(std::string_view where) noexcept;
