// The veltrane executable: the window, or the headless server with --headless.

#include <clocale>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Headless.h"
#ifdef VELTRANE_WITH_UI
#include "ui/main/RunProgram.h"
#endif

#ifdef VELTRANE_WITH_UI
namespace {

bool Set(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

/// Whether the toolkit has a display to open: a platform chosen by the environment or
/// the command line, or an X11 or Wayland display. Without one it would abort the process.
bool DisplayAvailable(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments)
        if (argument == "-platform" || argument.rfind("-platform=", 0) == 0)
            return true;
    return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

}  // namespace
#endif

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const TCommandLine commandLine = ParseCommandLine(arguments);
    if (!commandLine.Error.empty()) {
        std::cerr << "veltrane: " << commandLine.Error << "\n" << UsageText();
        return 2;
    }
    if (commandLine.Help) {
        std::cout << UsageText();
        return 0;
    }
    if (commandLine.Version) {
        std::cout << kVersionText << "\n";
        return 0;
    }
    if (commandLine.Headless)
        return RunHeadless(commandLine, std::cout, std::cerr);
#ifdef VELTRANE_WITH_UI
    if (!DisplayAvailable(arguments)) {
        std::cerr << "veltrane: cannot open a display; use --headless to serve without windows\n";
        return 2;
    }
    return RunProgram(argc, argv, commandLine);
#else
    std::cerr << "veltrane: this build has no window; use --headless\n" << UsageText();
    return 2;
#endif
}
