#include "app/ServiceControl.h"

#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/BindAdvice.h"
#include "app/IniFile.h"
#include "fileio/AtomicFile.h"
#include "security/IPv6RulesFile.h"
#include "security/SecurityRulesFile.h"

namespace {

std::string Joined(const std::vector<std::string>& parts, const char* separator)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

/// Moves the listening sockets to the published record's "Bind" and "Port". The sessions
/// of transfers under way keep their own sockets and go on. Raises when a socket cannot
/// be bound; the server is then inactive.
void Rebind(TApplicationCore& core)
{
    core.Engine().SetActive(false);
    core.ApplyEngineSettings();
    core.ApplyBindings();
    core.Engine().SetActive(true);
}

/// Listens again on exactly the addresses and ports of `listening` (a port the kernel
/// chose included).
void Restore(TApplicationCore& core, const std::vector<std::pair<std::string, int>>& listening)
{
    core.Engine().SetActive(false);
    core.ApplyEngineSettings();
    core.Engine().Bindings().Clear();
    for (const auto& [address, port] : listening) {
        TSocketHandle& binding = core.Engine().Bindings().Add();
        binding.SetIP(address);
        binding.SetPort(port);
    }
    core.Engine().SetActive(true);
}

/// Why the new record cannot be served, after going back to `before`; none when it is.
std::optional<std::string> MoveBindings(TApplicationCore& core, const TConfig& before, const TConfig& after)
{
    if (!core.ServerActive() || (after.Port == before.Port && after.Bind == before.Bind))
        return std::nullopt;
    std::vector<std::pair<std::string, int>> listening;
    for (const TSocketHandle& binding : core.Engine().Bindings())
        listening.emplace_back(binding.IP(), binding.Port());
    try {
        Rebind(core);
        return std::nullopt;
    } catch (const std::exception& failure) {
        std::string refusal = BindFailureMessage(failure, after.Port);
        core.Settings().Publish(before);
        try {
            Restore(core, listening);
        } catch (const std::exception&) {
            refusal += "; the old addresses could not be bound again either, so nothing is served";
        }
        return refusal;
    }
}

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

}  // namespace

std::string ListeningText(TApplicationCore& core)
{
    std::vector<std::string> addresses;
    for (const TSocketHandle& binding : core.Engine().Bindings()) {
        if (!binding.HandleAllocated())
            continue;  // IPv6 for "All" on a machine without it
        const std::string host = AddressFamily(binding.IP()) == AF_INET6 ? "[" + binding.IP() + "]" : binding.IP();
        addresses.push_back(host + ":" + std::to_string(binding.Port()));
    }
    return Joined(addresses, ", ");
}

std::string StartLine(TApplicationCore& core)
{
    const auto config = core.Config();
    const std::size_t files = core.FilesList().Count();
    std::string line = "veltrane: listening on " + ListeningText(core) + "; " + std::to_string(files) +
                       (files == 1 ? " listed file" : " listed files");
    if (!config->TreeRoot.empty())
        line += "; boot tree " + config->TreeRoot;
    if (config->Accept)
        line += "; uploads into " + config->DestDir;
    return line;
}

std::string ReloadSettingsAndRules(TApplicationCore& core, const std::function<void(const std::string&)>& reportProblem)
{
    const TProgramPaths& paths = core.Settings().Paths();
    const std::string kept = "; running settings kept";
    if (ReadWholeFile(paths.SettingsFile(), TIniFile::kMaxFileBytes).Outcome == roFailed)
        return "veltrane: reload refused: cannot read " + paths.SettingsFile().string() + kept;
    TSecurityRuleList rules;
    TIPv6RulesRead ipv6Rules;
    try {
        rules = LoadSecurityRules(paths.RulesFile());
    } catch (const std::exception&) {
        return "veltrane: reload refused: cannot read " + paths.RulesFile().string() + kept;
    }
    try {
        ipv6Rules = LoadIPv6Rules(paths.IPv6RulesFile());
    } catch (const std::exception&) {
        return "veltrane: reload refused: cannot read " + paths.IPv6RulesFile().string() + kept;
    }

    const TConfig before = *core.Config();
    TSettingsRead read = core.Settings().ReadCheckedServingSettings();
    const TConfig after = read.Config;
    core.Settings().Publish(std::move(read.Config));
    if (const auto refusal = MoveBindings(core, before, after))
        return "veltrane: reload refused: " + OneLine(*refusal) + kept;
    // Told as at start, once the reload stands: the value that could not be used gives
    // way to its default.
    if (reportProblem)
        for (const std::string& problem : read.Problems)
            reportProblem(problem);
    if (ipv6Rules.Damaged.Count != 0 && reportProblem)
        reportProblem("Application: Damaged IPv6 security rules skipped (" + ipv6Rules.Damaged.Text() + ")!");
    core.ApplyEngineSettings();
    const bool rulesChanged = *core.SecurityRules().Snapshot() != rules ||
                              *core.SecurityRules().SnapshotIPv6() != ipv6Rules.Rules;
    core.SecurityRules().Replace(std::move(rules));
    core.SecurityRules().ReplaceIPv6(std::move(ipv6Rules.Rules));
    // Files that came or went while the server ran are seen as Refresh sees them.
    core.RefreshFilesList();
    core.UpdateAutoRefreshTimer();

    std::vector<std::string> changes;
    if (const auto keys = ChangedSettings(before, after); !keys.empty())
        changes.push_back(Joined(keys, ", ") + " changed");
    if (rulesChanged)
        changes.push_back("security rules changed");
    if (changes.empty())
        return "veltrane: reloaded: nothing changed";
    return "veltrane: reloaded: " + Joined(changes, "; ") + "; listening on " + ListeningText(core);
}
