#include "app/CommandLine.h"

#include <array>
#include <charconv>
#include <functional>
#include <string_view>

#include <arpa/inet.h>

#include "security/IPv6Address.h"

namespace {

std::optional<int> ParseNumber(const std::string& text, int lowest, int highest)
{
    int value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

/// Takes an option's value into the command line; false when the value is not fit.
using TSetter = std::function<bool(TCommandLine&, const std::string&)>;

struct TOption {
    std::string_view Name;
    std::string_view ShortName;  // empty when there is none
    bool HeadlessOnly;
    std::string_view ValueNeeded;  // what a missing or bad value is told; empty for a switch
    TSetter Set;
};

TSetter Number(std::optional<int> TCommandLine::*field, int lowest, int highest)
{
    return [=](TCommandLine& line, const std::string& text) {
        line.*field = ParseNumber(text, lowest, highest);
        return (line.*field).has_value();
    };
}

TSetter Folder(std::optional<std::string> TCommandLine::*field)
{
    return [=](TCommandLine& line, const std::string& text) {
        line.*field = text;
        return !text.empty();
    };
}

TSetter Switch(bool TCommandLine::*field)
{
    return [=](TCommandLine& line, const std::string&) { return line.*field = true; };
}

const std::array<TOption, 10> kOptions{{
    {"--headless", "", false, "", Switch(&TCommandLine::Headless)},
    {"--help", "-h", false, "", Switch(&TCommandLine::Help)},
    {"--version", "-V", false, "", Switch(&TCommandLine::Version)},
    {"--config-dir", "", false, "a folder", Folder(&TCommandLine::ConfigDir)},
    {"--port", "", true, "a port number from 0 to 65535", Number(&TCommandLine::Port, 0, 65535)},
    {"--root", "", true, "a folder", Folder(&TCommandLine::Root)},
    {"--bind", "", true, "an IPv4 or IPv6 address",
     [](TCommandLine& line, const std::string& text) {
         const auto address = BindAddressText(text);
         if (address)
             line.Bind.push_back(*address);
         return address.has_value();
     }},
    {"--accept", "", true, "a folder", Folder(&TCommandLine::Accept)},
    {"--max-downloads", "", true, "a number from 1 to 9999", Number(&TCommandLine::MaxDownloads, 1, 9999)},
    {"--max-uploads", "", true, "a number from 1 to 9999", Number(&TCommandLine::MaxUploads, 1, 9999)},
}};

const TOption* FindOption(std::string_view name)
{
    for (const TOption& option : kOptions)
        if (name == option.Name || (!option.ShortName.empty() && name == option.ShortName))
            return &option;
    return nullptr;
}

/// Reads one option at `arguments[i]`, with its value after "=" or in the next argument;
/// advances `i` past a value taken from the next argument. False with `line.Error` set.
bool TakeOption(const TOption& option, const std::vector<std::string>& arguments, std::size_t& i,
                std::optional<std::string> attached, TCommandLine& line)
{
    const std::string name(option.Name);
    if (option.ValueNeeded.empty()) {
        if (attached)
            line.Error = name + " takes no value";
        return !attached && option.Set(line, {});
    }
    if (!attached && i + 1 < arguments.size())
        attached = arguments[++i];
    if (!attached || !option.Set(line, *attached)) {
        line.Error = name + " needs " + std::string(option.ValueNeeded);
        return false;
    }
    return true;
}

/// Options that only a headless server acts on, given without --headless.
std::string WindowModeRefusal(const TCommandLine& line, const std::vector<std::string>& given)
{
    if (line.Headless)
        return {};
    for (const std::string& name : given)
        if (FindOption(name)->HeadlessOnly)
            return name + " serves without windows only; add --headless";
    return {};
}

}  // namespace

std::optional<std::string> BindAddressText(const std::string& text)
{
    if (IsIPv6Text(text)) {
        const auto address = ParseIPv6Address(text);
        if (!address)
            return std::nullopt;
        return IPv6AddressText(*address);
    }
    in_addr address{};
    if (::inet_pton(AF_INET, text.c_str(), &address) != 1)
        return std::nullopt;
    char canonical[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, canonical, sizeof canonical);
    return std::string(canonical);
}

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    TCommandLine line;
    std::vector<std::string> given;
    std::vector<std::string> dashed;  // arguments that look like options but are none
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto equals = argument.rfind("--", 0) == 0 ? argument.find('=') : std::string::npos;
        const std::string name = argument.substr(0, equals);
        const TOption* option = FindOption(name);
        if (option == nullptr) {
            if (argument.rfind("--", 0) == 0) {
                line.Error = "unknown option " + name;
                return line;
            }
            if (argument.rfind('-', 0) == 0)
                dashed.push_back(argument);
            line.Remaining.push_back(argument);
            continue;
        }
        std::optional<std::string> attached;
        if (equals != std::string::npos)
            attached = argument.substr(equals + 1);
        if (!TakeOption(*option, arguments, i, attached, line))
            return line;
        given.emplace_back(option->Name);
    }
    // The window takes "-cm" and the toolkit's own switches; a headless server has none.
    if (line.Headless && !dashed.empty())
        line.Error = "unknown option " + dashed.front();
    else
        line.Error = WindowModeRefusal(line, given);
    return line;
}

std::string UsageText()
{
    return "Usage: veltrane [--config-dir DIR] [-cm]\n"
           "       veltrane --headless [--config-dir DIR] [--port N] [--bind ADDR]... [--root DIR]\n"
           "                [--accept DIR] [--max-downloads N] [--max-uploads N] [PATH ...]\n"
           "\n"
           "  -cm                  start hidden in the tray when \"Minimize on startup\" is set\n"
           "  --headless           serve without windows; activity goes to standard output\n"
           "  --config-dir DIR     read and write the settings and rules files in DIR\n"
           "  --port N             listen on port N (0: any free port)\n"
           "  --bind ADDR          listen on this IPv4 or IPv6 address only; repeat for more\n"
           "  --root DIR           serve files beneath DIR by their paths (boot tree)\n"
           "  --accept DIR         accept uploads into DIR\n"
           "  --max-downloads N    at most N downloads at once (1-9999)\n"
           "  --max-uploads N      at most N uploads at once (1-9999)\n"
           "  PATH                 a file to offer, or a folder whose files to offer (headless)\n"
           "  -h, --help           show this help and exit\n"
           "  -V, --version        show the version and exit\n"
           "\n"
           "Options after --headless apply to that run only; nothing is written to the settings file.\n";
}
