// Feeds arbitrary bytes to the rules-file reader: it must never crash, a re-encoded list
// must decode to the same rules, and checking any peer against the rules must be safe.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "security/SecurityRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto rules = DecodeSecurityRules(bytes);
    if (rules.size() != size / kRuleRecordSize)
        __builtin_trap();
    if (DecodeSecurityRules(EncodeSecurityRules(rules)) != rules)
        __builtin_trap();
    for (const auto* ip : {"10.0.0.1", "192.168.1.70", "255.255.255.255", ""}) {
        CheckAccess(rules, ip, akRead, true);
        CheckAccess(rules, ip, akWrite, true);
    }
    return 0;
}
