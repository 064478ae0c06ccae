#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "engine/FileStream.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/TftpTestClient.h"
#include "tests/support/TempDir.h"

namespace {

/// Bytes that differ from one position to the next, so a byte out of place shows.
std::string Pattern(std::size_t size)
{
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        content[i] = static_cast<char>((i * 131 + i / 509) & 0xFF);
    return content;
}

}  // namespace

TEST(FileStreamTest, ReadScatteredFillsBuffersInOrderAndStopsShortAtTheEnd)
{
    TTempDir folder;
    const std::string content = Pattern(2 * 512 + 200);
    TFileStream stream = TFileStream::OpenForRead(folder.WriteFile("f", content).string());
    std::vector<std::string> blocks(4, std::string(512, '#'));
    std::vector<std::span<char>> buffers;
    for (std::string& block : blocks)
        buffers.emplace_back(block.data(), block.size());

    EXPECT_EQ(stream.ReadScattered(buffers), content.size());
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(content.size()));
    EXPECT_EQ(blocks[0] + blocks[1] + blocks[2].substr(0, 200), content);
    EXPECT_EQ(blocks[2].substr(200), std::string(312, '#'));  // nothing past the end
    EXPECT_EQ(blocks[3], std::string(512, '#'));
    EXPECT_EQ(stream.ReadScattered(buffers), 0U);
}

TEST(FileStreamTest, ReadScatteredTakesMoreBuffersThanOneCallCarries)
{
    TTempDir folder;
    const std::string content = Pattern(150 * 16);
    TFileStream stream = TFileStream::OpenForRead(folder.WriteFile("f", content).string());
    std::string target(content.size(), '\0');
    std::vector<std::span<char>> buffers;
    for (std::size_t at = 0; at < target.size(); at += 16)
        buffers.emplace_back(target.data() + at, 16);

    EXPECT_EQ(stream.ReadScattered(buffers), content.size());
    EXPECT_EQ(target, content);
    char more = 0;
    EXPECT_EQ(stream.Read(&more, 1), 0U);
}

TEST(FileStreamTest, StreamThatCannotReadAheadIsReadOneBufferAtATimeUntilItFallsShort)
{
    // A stream handing out at most 100 bytes a read, as a pipe or a converter may.
    class TTrickle : public TStringStream {
    public:
        using TStringStream::TStringStream;
        std::size_t Read(void* buffer, std::size_t count) override
        {
            ++reads;
            return TStringStream::Read(buffer, std::min<std::size_t>(count, 100));
        }
        int reads = 0;
    };
    TTrickle stream(Pattern(1000));
    std::string first(64, '\0');
    std::string second(64, '\0');
    std::string third(200, '\0');
    const std::vector<std::span<char>> buffers{first, second, third};

    EXPECT_EQ(stream.ReadScattered(buffers), 64U + 64U + 100U);
    EXPECT_EQ(stream.reads, 3);
    EXPECT_EQ(first + second + third.substr(0, 100), Pattern(1000).substr(0, 228));
}

/// Downloads served from real files, which the session reads a window at a time.
class ReadAheadDownloadTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        server_->SetMaxWindowSize(64);
        server_->OnReadFile = [this](TTrivialFTPServer&, std::string& name, const TPeerInfo&, bool& grant,
                                     std::unique_ptr<TStream>& stream, bool&) {
            stream = std::make_unique<TFileStream>(TFileStream::OpenForRead((folder_.Path() / name).string()));
            grant = true;
        };
        Activate();
    }

    /// Downloads "f" with `window` blocks of 512 a window; `betweenWindows` runs before
    /// each acknowledgement of a window with the number of windows received so far.
    /// Returns the bytes received.
    std::string Download(int window, const std::function<void(int windows)>& betweenWindows = {})
    {
        TRawClient raw;
        TTftpTestClient client(raw, port_);
        int windows = 0;
        client.BeforeAck = [&](std::uint16_t) {
            if (betweenWindows)
                betweenWindows(++windows);
            return true;
        };
        return client.Download("f", {{"windowsize", std::to_string(window)}}).value_or("");
    }

    TTempDir folder_;
};

TEST_F(ReadAheadDownloadTest, ServesExactlyTheFileAtEveryWindowSize)
{
    // Sizes that end inside a window, on a window's edge, and on a block's edge (an empty
    // final block), for each window size.
    std::size_t downloads = 0;
    for (const int window : {1, 4, 16, 64}) {
        for (const std::size_t size : {std::size_t{0}, std::size_t{511}, std::size_t{512},
                                       std::size_t{512} * 16 * 3, std::size_t{512} * 16 * 3 + 1,
                                       std::size_t{512} * 64 + 300, std::size_t{512} * 101 + 7}) {
            const std::string content = Pattern(size);
            folder_.WriteFile("f", content);
            EXPECT_TRUE(SameBytes(Download(window), content)) << "window " << window << ", " << size << " bytes";
            ASSERT_TRUE(WaitForCompletions(++downloads));
        }
    }
}

TEST_F(ReadAheadDownloadTest, ServesTheFileAcrossTheBlockNumberWrap)
{
    const std::string content = WrappingContent(65540);
    folder_.WriteFile("f", content);
    EXPECT_TRUE(SameBytes(Download(64), content));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
}

TEST_F(ReadAheadDownloadTest, FileThatShrinksDuringTheTransferEndsWhereTheFileNowEnds)
{
    const std::string content = Pattern(512 * 20 + 50);
    const auto path = folder_.WriteFile("f", content);
    const std::string received = Download(4, [&](int windows) {
        if (windows == 1)
            std::filesystem::resize_file(path, 512 * 6 + 100);
    });
    // The first window was read before the file shrank; the rest is what the file holds.
    EXPECT_TRUE(SameBytes(received, content.substr(0, 512 * 6 + 100)));
}

TEST_F(ReadAheadDownloadTest, FileTruncatedBelowWhatWasSentEndsWithAnEmptyBlock)
{
    const std::string content = Pattern(512 * 20);
    const auto path = folder_.WriteFile("f", content);
    const std::string received = Download(8, [&](int windows) {
        if (windows == 1)
            std::filesystem::resize_file(path, 100);
    });
    EXPECT_TRUE(SameBytes(received, content.substr(0, 512 * 8)));
}

TEST_F(ReadAheadDownloadTest, FileThatGrowsDuringTheTransferSendsTheGrownFile)
{
    const std::string content = Pattern(512 * 10 + 100);
    const std::string tail = Pattern(5000).substr(1000);
    const auto path = folder_.WriteFile("f", content);
    const std::string received = Download(4, [&](int windows) {
        if (windows == 1)
            std::ofstream(path, std::ios::binary | std::ios::app) << tail;
    });
    EXPECT_TRUE(SameBytes(received, content + tail));
}
