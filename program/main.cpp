// The veltrane executable: the window, or the headless server with --headless.

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Headless.h"
#ifdef VELTRANE_WITH_UI
#include "ui/RunProgram.h"
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
        std::cout << VersionText << "\n";
        return 0;
    }
    if (commandLine.Headless)
        return RunHeadless(commandLine, std::cout, std::cerr);
#ifdef VELTRANE_WITH_UI
    return RunProgram(argc, argv, commandLine);
#else
    std::cerr << "veltrane: this build has no window; use --headless\n" << UsageText();
    return 2;
#endif
}
