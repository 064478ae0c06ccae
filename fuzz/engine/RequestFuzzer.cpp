// Feeds arbitrary datagrams to the request parser and the option negotiation.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "engine/NetException.h"
#include "engine/TFTPPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);
    for (const bool acceptOptions : {false, true}) {
        try {
            const TTFTPRequest request = ParseRequest(datagram, acceptOptions, "127.0.0.1", 1, acceptOptions);
            const TNegotiation agreed =
                NegotiateOptions(request.BlockSize, request.TransferSize, request.TSizeRequested,
                                 request.Timeout, GrantWindowSize(request.WindowSize, 64));
            if (agreed.BlockSize < DefaultBlockSize || agreed.BlockSize > MaxBlockSize)
                __builtin_trap();
            if (agreed.ReplyWaitMs < 0 || agreed.ReplyWaitMs > MaxTimeoutSeconds * 1000)
                __builtin_trap();
            if (agreed.WindowSize < 1 || agreed.WindowSize > 64)
                __builtin_trap();
        } catch (const ENetException& failure) {
            if (ErrorCodeFor(failure) > 4)
                __builtin_trap();
        }
    }
    return 0;
}
