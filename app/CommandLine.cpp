#include "app/CommandLine.h"

#include <charconv>

namespace {

std::optional<int> ParsePort(const std::string& text)
{
    int port = -1;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), port);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() || port < 0 || port > 65535)
        return std::nullopt;
    return port;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    TCommandLine line;
    for (std::size_t i = 0; i < arguments.size() && line.Error.empty(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--headless") {
            line.Headless = true;
        } else if (argument == "--help") {
            line.Help = true;
        } else if (argument == "--version") {
            line.Version = true;
        } else if (argument == "--config-dir") {
            if (hasValue)
                line.ConfigDir = arguments[++i];
            else
                line.Error = "--config-dir needs a folder";
        } else if (argument == "--port") {
            line.Port = hasValue ? ParsePort(arguments[++i]) : std::nullopt;
            if (!line.Port)
                line.Error = "--port needs a port number from 0 to 65535";
        } else if (argument.rfind("--", 0) == 0) {
            line.Error = "unknown option " + argument;
        } else {
            line.Remaining.push_back(argument);
        }
    }
    return line;
}

std::string UsageText()
{
    return "Usage: veltrane [--config-dir DIR] [-cm]\n"
           "       veltrane --headless [--config-dir DIR] [--port N] [PATH ...]\n"
           "\n"
           "  -cm               start hidden in the tray when \"Minimize on startup\" is set\n"
           "  --headless        serve without windows; activity goes to standard output\n"
           "  --config-dir DIR  read and write the settings and rules files in DIR\n"
           "  --port N          listen on port N for this run (headless), not saved\n"
           "  PATH              a file to offer, or a folder whose files to offer (headless)\n"
           "  --help            show this help and exit\n"
           "  --version         show the version and exit\n";
}
