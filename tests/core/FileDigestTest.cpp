#include "core/FileDigest.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

struct TVector {
    const char* Name;
    std::string Content;
    TFileDigests Digests;
};

// CRC-32 check value "123456789" -> cbf43926; MD5 from RFC 1321's test suite; SHA-256 from
// FIPS 180-2 and the empty message.
const TVector kVectors[] = {
    {"empty", "",
     {"00000000", "d41d8cd98f00b204e9800998ecf8427e",
      "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"}},
    {"check", "123456789",
     {"cbf43926", "25f9e794323b453885f5181f1b624d0b",
      "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225"}},
    {"abc", "abc",
     {"352441c2", "900150983cd24fb0d6963f7d28e17f72",
      "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}},
};

class FileDigestTest : public testing::TestWithParam<TVector> {
protected:
    TTempDir dir_;
};

}  // namespace

TEST_P(FileDigestTest, KnownVectors)
{
    const auto file = dir_.WriteFile("image.bin", GetParam().Content);
    EXPECT_EQ(DigestFile(file), GetParam().Digests);
    EXPECT_EQ(FileSha256(file), GetParam().Digests.Sha256);
}

INSTANTIATE_TEST_SUITE_P(Vectors, FileDigestTest, testing::ValuesIn(kVectors),
                         [](const auto& row) { return std::string(row.param.Name); });

TEST(FileDigest, ChunksGiveTheSameDigestAsOneReadAndReportProgress)
{
    const TTempDir dir;
    // Three and a half chunks of 'a': the SHA-256 of a million 'a' (FIPS 180-2, B.3) is
    // checked on a file of exactly that length too.
    const auto million = dir.WriteFile("million.bin", std::string(1000000, 'a'));
    EXPECT_EQ(FileSha256(million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    const auto large = dir.WriteFile("large.bin", std::string(3 * 1048576 + 524288, 'a'));
    std::vector<std::uint64_t> reports;
    const auto digests = DigestFile(large, [&](std::uint64_t done) {
        reports.push_back(done);
        return true;
    });
    ASSERT_TRUE(digests);
    EXPECT_EQ(digests->Sha256, FileSha256(large));
    EXPECT_EQ(reports, (std::vector<std::uint64_t>{1048576, 2097152, 3145728, 3670016}));
}

TEST(FileDigest, StoppedWorkAndUnreadableFilesGiveNothing)
{
    const TTempDir dir;
    const auto file = dir.WriteFile("large.bin", std::string(2 * 1048576 + 1, 'b'));
    int calls = 0;
    EXPECT_FALSE(DigestFile(file, [&](std::uint64_t) { return ++calls < 1; }));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(DigestFile(dir.Path() / "missing.bin"));
    EXPECT_FALSE(DigestFile(dir.Path()));
    EXPECT_FALSE(FileSha256(dir.Path()));
}
