#include "core/TransferFigures.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t kKB = 1024;
constexpr std::int64_t kMB = 1024 * kKB;
constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();

TTransferInfo Finished(bool upload, std::int64_t bytesDone, std::uint32_t startTick, std::uint32_t finishTick)
{
    TTransferInfo info;
    info.IP = "192.168.1.20";
    info.Port = 2070;
    info.FileName = upload ? "cfg.txt" : "boot.bin";
    info.TotalSize = bytesDone;
    info.BytesDone = bytesDone;
    info.IsUpload = upload;
    info.StartTick = startTick;
    info.FinishTick = finishTick;
    return info;
}

}  // namespace

struct DurationCase {
    std::int64_t Seconds;
    const char* Text;
};

class DurationTextTest : public ::testing::TestWithParam<DurationCase> {};

TEST_P(DurationTextTest, CountsWholeMinutesAndTheSecondsLeftOver)
{
    EXPECT_EQ(DurationText(GetParam().Seconds), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Durations, DurationTextTest,
                         ::testing::Values(DurationCase{0, "0 mins 0 secs"}, DurationCase{9, "0 mins 9 secs"},
                                           DurationCase{59, "0 mins 59 secs"}, DurationCase{60, "1 mins 0 secs"},
                                           DurationCase{75, "1 mins 15 secs"},
                                           DurationCase{3725, "62 mins 5 secs"}));

struct SecondsLeftCase {
    std::int64_t Remaining;
    std::int64_t Rate;
    std::optional<std::int64_t> Seconds;
};

class SecondsLeftTest : public ::testing::TestWithParam<SecondsLeftCase> {};

TEST_P(SecondsLeftTest, CountsInBytesBelowAKilobyteASecondAndInWholeKilobytesFromThere)
{
    EXPECT_EQ(SecondsLeft(GetParam().Remaining, GetParam().Rate), GetParam().Seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, SecondsLeftTest,
    ::testing::Values(SecondsLeftCase{3 * kMB, kMB, 3},
                      SecondsLeftCase{5000, 2047, 4},          // 4 whole KB over 1 whole KB/s
                      SecondsLeftCase{1000, 100, 10},          // slow: counted in bytes
                      SecondsLeftCase{10230, 1023, 10},        // just below a kilobyte a second
                      SecondsLeftCase{3072, 1023, 3},
                      SecondsLeftCase{3072, 1536, 3},          // from 1024 on, 1536 counts as 1KB
                      SecondsLeftCase{1023, kKB, 0},           // less than a whole kilobyte left
                      SecondsLeftCase{1000, 0, std::nullopt},  // nothing moves
                      SecondsLeftCase{1000, -5, std::nullopt},
                      SecondsLeftCase{kLargest, 1, kLargest},  // no overflow at the largest size
                      SecondsLeftCase{kLargest, kLargest, 1}));

TEST(TransferRateTest, DividesByWholeSecondsAndTakesLessThanOneAsOne)
{
    EXPECT_EQ(TransferRate(3000, 1000, 0), 2000);
    EXPECT_EQ(TransferRate(3000, 1000, 10), 2000);
    EXPECT_EQ(TransferRate(3000, 1000, 999), 2000);
    EXPECT_EQ(TransferRate(3000, 1000, 1000), 2000);
    EXPECT_EQ(TransferRate(3000, 1000, 1999), 2000);
    EXPECT_EQ(TransferRate(3000, 1000, 2000), 1000);
    EXPECT_EQ(TransferRate(3000, 1000, 2999), 1000);
}

TEST(TransferRateTest, NothingMovedOrARestartedRecordIsZero)
{
    EXPECT_EQ(TransferRate(5000, 5000, 1000), 0);
    EXPECT_EQ(TransferRate(0, 5000, 1000), 0);
    EXPECT_EQ(TransferRate(0, 0, 0), 0);
}

TEST(TransferRateTest, LargestSizesAndLongestGapsDoNotOverflow)
{
    EXPECT_EQ(TransferRate(kLargest, 0, 0), kLargest);
    EXPECT_EQ(TransferRate(kLargest, 0, std::numeric_limits<std::uint32_t>::max()), kLargest / 4294967);
}

TEST(TimeLeftTextTest, RunningTransferShowsTimeLeftAndBytesCopied)
{
    EXPECT_EQ(TimeLeftText(4 * kMB, kMB, kMB), "0 mins 3 secs (1.00MB of 4.00MB copied)");
    EXPECT_EQ(TimeLeftText(2048, 1024, 0), "Unknown (1.00KB of 2.00KB copied)");
    EXPECT_EQ(TimeLeftText(2048, 0, 0), "Unknown (0 bytes of 2.00KB copied)");
    EXPECT_EQ(TimeLeftText(200 * kMB, 0, 100 * kKB), "34 mins 8 secs (0 bytes of 200MB copied)");
}

TEST(TimeLeftTextTest, ReachedTotalLeavesTheLineAsItWas)
{
    EXPECT_FALSE(TimeLeftText(1024, 1024, 512).has_value());
    EXPECT_FALSE(TimeLeftText(1024, 4096, 512).has_value());  // more came than announced
}

TEST(TimeLeftTextTest, UnknownTotalShowsOnlyTheBytesCopied)
{
    EXPECT_EQ(TimeLeftText(0, 1536, 1536), "1.50KB copied...");
    EXPECT_EQ(TimeLeftText(0, 0, 0), "0 bytes copied...");
    EXPECT_EQ(TimeLeftText(-1, 999, 0), "999 bytes copied...");  // the file's size was unreadable
}

TEST(TimeLeftTextTest, LargestTotalIsShownInExabytes)
{
    EXPECT_EQ(TimeLeftText(kLargest, 0, 0), "Unknown (0 bytes of 8.00EB copied)");
}

TEST(RateTextTest, RateIsASizeASecond)
{
    EXPECT_EQ(RateText(0), "0 bytes/Sec");
    EXPECT_EQ(RateText(999), "999 bytes/Sec");
    EXPECT_EQ(RateText(128 * kKB), "128KB/Sec");
    EXPECT_EQ(RateText(kLargest), "8.00EB/Sec");
}

TEST(FinishedTextsTest, DownloadAndUploadSayWhatMovedInHowLongAtWhatRate)
{
    const TFinishedTexts sent = FinishedTexts(Finished(false, 1572864, 1000, 13000));
    EXPECT_EQ(sent.Heading, "Sent:");
    EXPECT_EQ(sent.Summary, "1.50MB in 0 mins 12 secs");
    EXPECT_EQ(sent.Rate, "128KB/Sec");

    const TFinishedTexts received = FinishedTexts(Finished(true, 3000, 1000, 1400));
    EXPECT_EQ(received.Heading, "Received:");
    EXPECT_EQ(received.Summary, "2.93KB in 0 mins 0 secs");
    EXPECT_EQ(received.Rate, "2.93KB/Sec");  // under a second counts as one
}

TEST(FinishedTextsTest, EmptyTransferInNoTimeShowsZeroes)
{
    const TFinishedTexts texts = FinishedTexts(Finished(false, 0, 500, 500));
    EXPECT_EQ(texts.Summary, "0 bytes in 0 mins 0 secs");
    EXPECT_EQ(texts.Rate, "0 bytes/Sec");
}

TEST(FinishedTextsTest, TickCounterWrappingMidTransferStillGivesTheElapsedTime)
{
    const TFinishedTexts texts = FinishedTexts(Finished(false, 75 * kKB, 0xFFFFFFFFu - 999, 74000));
    EXPECT_EQ(texts.Summary, "75.0KB in 1 mins 15 secs");
    EXPECT_EQ(texts.Rate, "1.00KB/Sec");
}

TEST(FinishedTextsTest, LargestTransferInNoTimeDoesNotOverflow)
{
    const TFinishedTexts texts = FinishedTexts(Finished(true, kLargest, 7, 7));
    EXPECT_EQ(texts.Summary, "8.00EB in 0 mins 0 secs");
    EXPECT_EQ(texts.Rate, "8.00EB/Sec");
}

TEST(DestinationTextTest, NamesThePeerAndEscapesControlBytesInTheName)
{
    TTransferInfo info = Finished(false, 0, 0, 0);
    EXPECT_EQ(DestinationText(info), "boot.bin to 192.168.1.20 (port: 2070)");
    info.IsUpload = true;
    info.FileName = "a\nb\x7f";
    EXPECT_EQ(DestinationText(info), "a\\x0Ab\\x7F from 192.168.1.20 (port: 2070)");
}
