// Feeds arbitrary bytes to the settings reader as a whole file: reading every key must
// never crash, a written value must read back, and a write must keep the other values.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/IniDocument.h"

namespace {

constexpr const char* kSections[] = {"General", "TFTP Settings", "IP Settings", "Logging"};
constexpr const char* kKeys[] = {"TipsOnStartUp", "Port", "Bind", "LogFolder"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TIniDocument document(text);
    for (const auto* section : kSections) {
        for (const auto* key : kKeys) {
            if (document.ReadString(section, key, "").size() > TIniDocument::kValueMax)
                __builtin_trap();
            document.ReadInteger(section, key, 69);
            document.ReadBool(section, key, true);
        }
    }
    const auto bind = document.ReadString("IP Settings", "Bind", "All");
    document.Write("TFTP Settings", "Port", "1069");
    if (document.ReadInteger("TFTP Settings", "Port", 69) != 1069)
        __builtin_trap();
    if (document.ReadString("IP Settings", "Bind", "All") != bind)
        __builtin_trap();
    // The rewritten text must read the same way again.
    const TIniDocument reread(document.Text());
    if (reread.ReadInteger("TFTP Settings", "Port", 69) != 1069)
        __builtin_trap();
    return 0;
}
