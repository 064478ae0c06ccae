#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/ProgressFileStream.h"
#include "tests/support/TempDir.h"

TEST(ProgressFileStreamTest, ReadingSeveralBlocksAtOnceReportsTheNewPosition)
{
    TTempDir folder;
    const std::string content(3 * 512 + 10, 'v');
    const std::string path = folder.WriteFile("f", content).string();
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    const auto callback = [&reports](TProgressCursor&, const std::string&, const TPeerInfo&,
                                     std::int64_t position, std::int64_t size, TTransferDirection) {
        reports.emplace_back(position, size);
    };
    auto stream = std::make_unique<TProgressFileStream>(TFileStream::OpenReadable(path), path, path, callback,
                                                        TPeerInfo{"127.0.0.1", 69}, tdDownload);
    std::string first(512, '\0');
    std::string second(512, '\0');
    const std::vector<std::span<char>> window{first, second};

    EXPECT_EQ(stream->ReadScattered(window), 1024U);
    EXPECT_EQ(stream->ReadScattered(window), 522U);
    EXPECT_EQ(stream->ReadScattered(window), 0U);
    const std::vector<std::pair<std::int64_t, std::int64_t>> expected{
        {1024, 1546}, {1546, 1546}, {1546, 1546}};
    EXPECT_EQ(reports, expected);
}
