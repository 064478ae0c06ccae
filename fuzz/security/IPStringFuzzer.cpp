// Feeds arbitrary text to the address checks: they must never crash, and a text they accept
// must be one the subnet matching reads as the same address.
#include <cstddef>
#include <cstdint>
#include <string>

#include "security/IPAddrUtils.h"
#include "security/SecurityRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    bool valid = true;
    try {
        UIPAddrUtils::ValidateIPString(text);
    } catch (const EIPAddressError&) {
        valid = false;
    }
    if (valid) {
        if (!AddressInSubnet(text, text, "255.255.255.255"))
            __builtin_trap();
        for (int n = 1; n <= 4; ++n) {
            const int octet = UIPAddrUtils::GetOctet(text, n);
            if (octet < 0 || octet > 255)
                __builtin_trap();
        }
    }
    // Use the text as each of the three inputs of the subnet test in turn.
    AddressInSubnet(text, "10.0.0.0", "255.0.0.0");
    AddressInSubnet("10.1.2.3", text, "255.255.0.0");
    AddressInSubnet("10.1.2.3", "10.1.0.0", text);
    UIPAddrUtils::GetToken(text, 3, '.');
    return 0;
}
