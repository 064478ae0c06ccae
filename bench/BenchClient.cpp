// A TFTP client for benchmarks: downloads (one or many at once, lock-step or with the
// windowsize option of RFC 7440) verified by SHA-256 with retransmissions counted, and
// bursts of refused requests.
//
//   veltrane-bench get    --port P --name NAME --blksize B --sha256 HEX [--parallel K] [--bytes N]
//                         [--windowsize W]
//   veltrane-bench refuse --port P --name NAME --count C --inflight K
//
// Prints one line of key=value pairs; exits 0 when every transfer checked out.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "bench/Sha256.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TOptions {
    std::string mode;
    int port = 69;
    std::string name;
    int blockSize = 512;
    std::string sha256;
    int parallel = 1;
    long count = 1000;
    int inflight = 1;
    std::size_t expectBytes = 0;
    int windowSize = 0;  // 0: the option is not asked for
};

TOptions ParseOptions(int argc, char** argv)
{
    TOptions options;
    options.mode = argc > 1 ? argv[1] : "";
    std::map<std::string, std::string> values;
    for (int i = 2; i + 1 < argc; i += 2)
        values[argv[i]] = argv[i + 1];
    options.port = std::stoi(values.count("--port") ? values["--port"] : "69");
    options.name = values["--name"];
    options.blockSize = std::stoi(values.count("--blksize") ? values["--blksize"] : "512");
    options.sha256 = values["--sha256"];
    options.parallel = std::stoi(values.count("--parallel") ? values["--parallel"] : "1");
    options.count = std::stol(values.count("--count") ? values["--count"] : "1000");
    options.inflight = std::stoi(values.count("--inflight") ? values["--inflight"] : "1");
    options.expectBytes = std::stoul(values.count("--bytes") ? values["--bytes"] : "0");
    options.windowSize = std::stoi(values.count("--windowsize") ? values["--windowsize"] : "0");
    return options;
}

/// One UDP socket on loopback with a one-second receive wait.
class TSocket {
public:
    TSocket()
    {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
        const timeval wait{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~TSocket() { ::close(fd_); }
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;

    void Send(const std::string& packet, int port) const
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<std::uint16_t>(port));
        ::sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    /// The datagram's length and sender port, or -1 after a silent second.
    long Receive(char* buffer, std::size_t size, int& fromPort) const
    {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = ::recvfrom(fd_, buffer, size, 0, reinterpret_cast<sockaddr*>(&from), &length);
        fromPort = ntohs(from.sin_port);
        return got;
    }

private:
    int fd_ = -1;
};

std::string Word(unsigned value)
{
    return {static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
}

unsigned WordAt(const char* buffer, std::size_t at)
{
    return static_cast<unsigned>(static_cast<unsigned char>(buffer[at]) << 8 | static_cast<unsigned char>(buffer[at + 1]));
}

std::string ReadRequest(const std::string& name, int blockSize, int windowSize = 0)
{
    std::string packet = Word(1) + name + '\0' + "octet" + '\0';
    if (blockSize != 512)
        packet += std::string("blksize") + '\0' + std::to_string(blockSize) + '\0';
    if (windowSize > 0)
        packet += std::string("windowsize") + '\0' + std::to_string(windowSize) + '\0';
    return packet;
}

/// The value of `name` in an OACK's option bytes, or `absent`.
std::size_t OptionValue(const std::string& options, const std::string& name, std::size_t absent)
{
    const auto found = options.find(name + '\0');
    return found == std::string::npos ? absent : std::stoul(options.substr(found + name.size() + 1));
}

struct TDownload {
    bool ok = false;
    std::uint64_t bytes = 0;
    long retransmissions = 0;
    std::size_t windowSize = 1;  // as the server agreed
    double seconds = 0;          // from the request to the final block
    // What arrived, from offset 4 on; hashed after the clock stops, so hashing costs the
    // server nothing. Each datagram is received straight into place (see Download).
    std::vector<char> store;
    std::string_view Content() const { return {store.data() + 4, static_cast<std::size_t>(bytes)}; }
};

TDownload Download(const TOptions& options)
{
    TDownload result;
    TSocket socket;
    const std::size_t largest = static_cast<std::size_t>(options.blockSize) + 4 + 64;
    result.store.resize(4 + options.expectBytes + largest);
    std::string last = ReadRequest(options.name, options.blockSize, options.windowSize);
    int serverPort = options.port;
    int sessionPort = 0;
    unsigned expected = 1;
    std::size_t blockSize = 512;
    std::size_t inWindow = 0;  // blocks received in order since the last ACK
    bool gapAnswered = false;  // the last in-order block was acknowledged for this gap
    int silent = 0;
    socket.Send(last, serverPort);
    for (;;) {
        if (result.store.size() < 4 + result.bytes + largest)
            result.store.resize(2 * (4 + result.bytes + largest));
        // The datagram lands so that its data follows what came before; its 4-byte
        // header covers the last 4 bytes so far, which are put back once it is read.
        char* at = result.store.data() + result.bytes;
        char kept[4];
        std::memcpy(kept, at, 4);
        int from = 0;
        const long got = socket.Receive(at, largest, from);
        char header[4];
        std::memcpy(header, at, 4);
        if (got < 0) {
            if (++silent > 10)
                return result;
            ++result.retransmissions;
            inWindow = 0;
            socket.Send(last, sessionPort ? sessionPort : serverPort);
            continue;
        }
        silent = 0;
        if (got < 4 || (sessionPort && from != sessionPort)) {
            std::memcpy(at, kept, 4);
            continue;
        }
        sessionPort = from;
        const unsigned opcode = WordAt(header, 0);
        if (opcode == 6) {
            const std::string agreed(at + 2, static_cast<std::size_t>(got - 2));
            blockSize = OptionValue(agreed, "blksize", 512);
            result.windowSize = OptionValue(agreed, "windowsize", 1);
            last = Word(4) + Word(0);
        } else if (opcode == 3) {
            std::memcpy(at, kept, 4);
            const unsigned block = WordAt(header, 2);
            const auto data = static_cast<std::size_t>(got - 4);
            if (block == (expected & 0xFFFF)) {
                result.bytes += data;
                ++expected;
                gapAnswered = false;
                last = Word(4) + Word(block);
                // RFC 7440: the last block of each window, and the final block, are acknowledged.
                const bool final = data < blockSize;
                if (final || ++inWindow >= result.windowSize) {
                    inWindow = 0;
                    socket.Send(last, sessionPort);
                }
                if (final)
                    break;
                continue;
            }
            ++result.retransmissions;
            // Lock-step: a repeat is acknowledged again. In a window, the first block out of
            // order acknowledges the last one in order, once, so the server goes back there.
            if (result.windowSize > 1 && gapAnswered)
                continue;
            gapAnswered = true;
            inWindow = 0;
        } else {
            return result;
        }
        socket.Send(last, sessionPort);
    }
    result.ok = true;
    return result;
}

int RunGet(const TOptions& options)
{
    std::vector<TDownload> results(static_cast<std::size_t>(options.parallel));
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&options, &result] {
            const auto begun = Clock::now();
            result = Download(options);
            result.seconds = std::chrono::duration<double>(Clock::now() - begun).count();
        });
    for (auto& thread : threads)
        thread.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::uint64_t bytes = 0;
    long retransmissions = 0;
    const std::size_t windowSize = results.empty() ? 1 : results.front().windowSize;
    bool ok = true;
    double slowest = 0;
    for (TDownload& result : results) {
        slowest = std::max(slowest, result.seconds);
        bytes += result.bytes;
        retransmissions += result.retransmissions;
        TSha256 sha;
        sha.Update(result.Content().data(), result.Content().size());
        ok = ok && result.ok && (options.sha256.empty() || sha.HexDigest() == options.sha256);
    }
    std::printf("ok=%d bytes=%llu seconds=%.6f mibps=%.3f retransmissions=%ld windowsize=%zu slowest=%.3f\n",
                ok ? 1 : 0, static_cast<unsigned long long>(bytes), seconds,
                static_cast<double>(bytes) / 1048576.0 / seconds, retransmissions, windowSize, slowest);
    return ok ? 0 : 1;
}

int RunRefuse(const TOptions& options)
{
    std::atomic<long> left{options.count};
    std::atomic<long> answered{0};
    std::atomic<long> resent{0};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < options.inflight; ++i) {
        threads.emplace_back([&] {
            TSocket socket;
            std::vector<char> buffer(1024);
            const std::string request = ReadRequest(options.name, 512);
            while (left.fetch_sub(1) > 0) {
                socket.Send(request, options.port);
                int from = 0;
                while (socket.Receive(buffer.data(), buffer.size(), from) < 0) {
                    ++resent;
                    socket.Send(request, options.port);
                }
                if (WordAt(buffer.data(), 0) == 5)
                    ++answered;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("ok=%d count=%ld seconds=%.6f per_second=%.1f resent=%ld\n", answered == options.count ? 1 : 0,
                answered.load(), seconds, static_cast<double>(answered) / seconds, resent.load());
    return answered == options.count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const TOptions options = ParseOptions(argc, argv);
    if (options.mode == "get")
        return RunGet(options);
    if (options.mode == "refuse")
        return RunRefuse(options);
    std::fprintf(stderr, "usage: veltrane-bench get|refuse --port P --name NAME ...\n");
    return 2;
}
