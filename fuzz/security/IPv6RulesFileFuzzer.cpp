// Feeds arbitrary text to the IPv6 rules reader: it must never crash, every line is either
// a rule or counted as damaged, the rules written back read as the same rules with nothing
// damaged, and checking any peer against them must be safe.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "security/SecurityRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto read = DecodeIPv6Rules(text);
    if (read.Damaged.First.size() > TDamagedLines::kListed
        || read.Damaged.First.size() > read.Damaged.Count)
        __builtin_trap();
    const auto again = DecodeIPv6Rules(EncodeIPv6Rules(read.Rules));
    if (again.Rules != read.Rules || again.Damaged.Count != 0)
        __builtin_trap();
    for (const auto* ip : {"::1", "fe80::1%lo", "2001:db8::1", "::ffff:10.0.0.1", "10.0.0.1", ""}) {
        CheckAccess({}, read.Rules, ip, akRead, true);
        CheckAccess({}, read.Rules, ip, akWrite, true);
    }
    // A single line is also tried as the operator's entry.
    if (const auto rule = ParseIPv6RuleLine(text); rule && !ParseIPv6RuleLine(IPv6RuleLine(*rule)))
        __builtin_trap();
    return 0;
}
