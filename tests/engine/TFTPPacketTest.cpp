#include "engine/TFTPPacket.h"

#include <gtest/gtest.h>

#include "engine/NetException.h"

using namespace std::string_literals;

TEST(TFTPPacketTest, WordsAndFixedPacketsAreBigEndian)
{
    EXPECT_EQ(EncodeWord(0x0102), "\x01\x02"s);
    EXPECT_EQ(DecodeWord("\xFF\xFE"s), 0xFFFE);
    EXPECT_EQ(MakeAckPacket(65535), "\x00\x04\xFF\xFF"s);
    EXPECT_EQ(MakeErrorPacket(2, "Access to x denied"), "\x00\x05\x00\x02"s "Access to x denied\0"s);
}

TEST(TFTPPacketTest, ModesAreComparedWithoutRegardToCase)
{
    EXPECT_EQ(ModeFromText("OCTET"), tmOctet);
    EXPECT_EQ(ModeFromText("Binary"), tmOctet);
    EXPECT_EQ(ModeFromText("netASCII"), tmNetAscii);
    for (const std::string& mode : {"mail"s, ""s, "octet\0x"s, "octets"s}) {
        try {
            ModeFromText(mode);
            ADD_FAILURE() << "accepted " << mode;
        } catch (const ETFTPIllegalOperation& failure) {
            EXPECT_EQ(ErrorCodeFor(failure), 4);
        }
    }
    try {
        ModeFromText("mail");
    } catch (const ETFTPIllegalOperation& failure) {
        EXPECT_STREQ(failure.what(), "Unsupported transfer mode: \"mail\"");
    }
}

TEST(TFTPPacketTest, IntegersAreSigned32BitDecimal)
{
    EXPECT_EQ(StrToInt32("512"), 512);
    EXPECT_EQ(StrToInt32("+512"), 512);
    EXPECT_EQ(StrToInt32("-8"), -8);
    EXPECT_EQ(StrToInt32("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt32("-2147483648"), INT32_MIN);
    for (const char* bad : {"", "abc", "0x200", "512abc", " 512", "2147483648", "+", "-", "+-1", "--1"}) {
        try {
            StrToInt32(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const EConvertError& failure) {
            EXPECT_EQ(failure.what(), "'"s + bad + "' is not a valid integer value");
            EXPECT_EQ(ErrorCodeFor(failure), 0);
        }
    }
}

TEST(TFTPPacketTest, OptionSearchIsExactAndFirstWins)
{
    const std::string options = "BLKSIZE\0" "9\0" "blksize\0" "1024\0" "blksize\0" "2048\0" "tsize\0" "77"s;
    EXPECT_EQ(FindOptionValue(options, "blksize"), "1024");
    EXPECT_EQ(FindOptionValue(options, "tsize"), "77");  // value without its NUL at the end
    EXPECT_EQ(FindOptionValue(options, "timeout"), std::nullopt);
    EXPECT_EQ(FindOptionValue("xblksize\0" "5\0"s, "blksize"), "5");  // a plain byte search
}

TEST(TFTPPacketTest, RequestFieldsAndOptionsAreCut)
{
    const std::string datagram = "\x00\x01" "boot.bin\0" "octet\0" "timeout\0" "5\0" "tsize\0" "0\0" "blksize\0" "1468\0"s;
    const TTFTPRequest request = ParseRequest(datagram, true, "127.0.0.1", 1);
    EXPECT_EQ(request.Opcode, TFTPOpcode::RRQ);
    EXPECT_EQ(request.FileName, "boot.bin");
    EXPECT_EQ(request.Mode, tmOctet);
    EXPECT_EQ(request.Timeout, 5);
    EXPECT_EQ(request.TransferSize, 0);
    EXPECT_TRUE(request.TSizeRequested);
    EXPECT_EQ(request.BlockSize, 1468);

    const TTFTPRequest noTimeout = ParseRequest(datagram, false, "127.0.0.1", 1);
    EXPECT_EQ(noTimeout.Timeout, 0);

    const TTFTPRequest bare = ParseRequest("\x00\x02name\0OcTeT"s, true, "127.0.0.1", 1);
    EXPECT_EQ(bare.FileName, "name");
    EXPECT_EQ(bare.TransferSize, -1);
    EXPECT_FALSE(bare.TSizeRequested);
}

TEST(TFTPPacketTest, RequestRefusalsCarryTheirTexts)
{
    const auto failureOf = [](const std::string& datagram, bool acceptTimeOut) -> std::string {
        try {
            ParseRequest(datagram, acceptTimeOut, "10.0.0.9", 4321);
        } catch (const std::exception& failure) {
            return std::to_string(ErrorCodeFor(failure)) + " " + failure.what();
        }
        return "granted";
    };
    EXPECT_EQ(failureOf("\x01"s, true), "0 Stream read error");
    EXPECT_EQ(failureOf("\x00\x03\x00\x01"s, true), "4 Unexpected operation from 10.0.0.9:4321");
    EXPECT_EQ(failureOf("\x00\x01" "f\0" "mail\0"s, true), "4 Unsupported transfer mode: \"mail\"");
    EXPECT_EQ(failureOf("\x00\x01" "f\0" "octet\0" "blksize\0" "abc\0"s, true),
              "0 'abc' is not a valid integer value");
    EXPECT_EQ(failureOf("\x00\x01" "f\0" "octet\0" "tsize\0" "\0"s, true), "0 '' is not a valid integer value");
    EXPECT_EQ(failureOf("\x00\x01" "f\0" "octet\0" "tsize\0" "2147483648\0"s, true),
              "0 '2147483648' is not a valid integer value");
    // timeout is read before blksize, and only when it is honoured
    const std::string twoBad = "\x00\x01" "f\0" "octet\0" "blksize\0" "b\0" "timeout\0" "t\0"s;
    EXPECT_EQ(failureOf(twoBad, true), "0 't' is not a valid integer value");
    EXPECT_EQ(failureOf(twoBad, false), "0 'b' is not a valid integer value");
}

TEST(TFTPPacketTest, BlockSizeNegotiation)
{
    struct Row { std::int32_t asked; std::int32_t used; bool oack; };
    for (const Row row : {Row{0, 512, false}, Row{-8, 512, false}, Row{8, 512, true}, Row{100, 512, true},
                          Row{1024, 1024, true}, Row{65464, 65464, true}, Row{65465, 65464, true},
                          Row{INT32_MAX, 65464, true}}) {
        const TNegotiation agreed = NegotiateOptions(row.asked, -1, false, 0);
        EXPECT_EQ(agreed.BlockSize, row.used) << row.asked;
        EXPECT_EQ(!agreed.FirstPacket.empty(), row.oack) << row.asked;
        if (row.oack) {
            EXPECT_EQ(agreed.FirstPacket, "\x00\x06" "blksize\0"s + std::to_string(row.used) + '\0');
        }
    }
}

TEST(TFTPPacketTest, TimeoutAndSizeNegotiation)
{
    EXPECT_EQ(NegotiateOptions(0, -1, false, 5).ReplyWaitMs, 5000);
    EXPECT_EQ(NegotiateOptions(0, -1, false, 255).ReplyWaitMs, 255000);
    for (const std::int32_t ignored : {0, -1, 256, INT32_MAX}) {
        EXPECT_TRUE(NegotiateOptions(0, -1, false, ignored).FirstPacket.empty()) << ignored;
        EXPECT_EQ(NegotiateOptions(0, -1, false, ignored).ReplyWaitMs, 0) << ignored;
    }
    EXPECT_TRUE(NegotiateOptions(0, 500, false, 0).FirstPacket.empty());  // size not asked for
    EXPECT_TRUE(NegotiateOptions(0, 0, true, 0).FirstPacket.empty());     // no size known
    EXPECT_EQ(NegotiateOptions(0, 3000000000LL, true, 0).FirstPacket, "\x00\x06" "tsize\0" "3000000000\0"s);
    EXPECT_EQ(NegotiateOptions(2048, 1234, true, 7).FirstPacket,
              "\x00\x06" "blksize\0" "2048\0" "timeout\0" "7\0" "tsize\0" "1234\0"s);
}

TEST(TFTPPacketTest, WindowSizeIsReadByTheRulesOfTheOtherOptions)
{
    const auto windowOf = [](const std::string& options) {
        return ParseRequest("\x00\x01" "f\0" "octet\0"s + options, true, "127.0.0.1", 1, true).WindowSize;
    };
    EXPECT_EQ(windowOf(""), 0);
    EXPECT_EQ(windowOf("windowsize\0" "16\0"s), 16);
    EXPECT_EQ(windowOf("windowsize\0" "1\0"s), 1);
    EXPECT_EQ(windowOf("windowsize\0" "65535\0"s), 65535);
    EXPECT_EQ(windowOf("windowsize\0" "4\0" "windowsize\0" "8\0"s), 4);  // the first one counts
    EXPECT_EQ(windowOf("WindowSize\0" "8\0"s), 0);                         // lower case only
    for (const char* ignored : {"0", "-3", "65536", "2147483647"})
        EXPECT_EQ(windowOf("windowsize\0"s + ignored + '\0'), 0) << ignored;
    EXPECT_THROW(windowOf("windowsize\0" "many\0"s), EConvertError);
    // read after blksize, so a bad blksize is the one reported
    try {
        windowOf("windowsize\0" "w\0" "blksize\0" "b\0"s);
        ADD_FAILURE() << "granted";
    } catch (const EConvertError& failure) {
        EXPECT_STREQ(failure.what(), "'b' is not a valid integer value");
    }
}

TEST(TFTPPacketTest, WindowSizeIsAnUnknownOptionUnlessAccepted)
{
    const std::string datagram = "\x00\x01" "f\0" "octet\0" "windowsize\0" "many\0" "blksize\0" "1024\0"s;
    const TTFTPRequest request = ParseRequest(datagram, true, "127.0.0.1", 1);
    EXPECT_EQ(request.WindowSize, 0);
    EXPECT_EQ(request.BlockSize, 1024);
}

TEST(TFTPPacketTest, WindowGrantIsTheSmallerOfAskedAndAllowed)
{
    struct Row { std::int32_t asked; std::int32_t allowed; std::int32_t granted; };
    for (const Row row : {Row{0, 16, 0}, Row{8, 16, 8}, Row{16, 16, 16}, Row{64, 16, 16}, Row{65535, 64, 64},
                          Row{1, 16, 1}, Row{8, 1, 0}, Row{8, 0, 0}, Row{8, -5, 0}, Row{-1, 16, 0}})
        EXPECT_EQ(GrantWindowSize(row.asked, row.allowed), row.granted) << row.asked << " " << row.allowed;
}

TEST(TFTPPacketTest, WindowGrantFitsTheBlocksOfAClientsDefaultReceiveBuffer)
{
    struct Row { std::int32_t asked; std::int32_t allowed; std::int32_t blockSize; std::int32_t granted; };
    for (const Row row : {Row{64, 64, 512, 64}, Row{64, 64, 0, 64}, Row{64, 64, 1468, 64}, Row{16, 16, 1468, 16},
                          Row{64, 64, 8192, 16}, Row{4, 64, 65464, 2}, Row{64, 64, 70000, 2}, Row{1, 64, 65464, 1},
                          Row{64, 64, 100, 64}, Row{4, 1, 65464, 0}})
        EXPECT_EQ(GrantWindowSize(row.asked, row.allowed, row.blockSize), row.granted)
            << row.asked << " " << row.allowed << " " << row.blockSize;
}

TEST(TFTPPacketTest, WindowSizeIsAnsweredAfterTheOtherOptions)
{
    const TNegotiation all = NegotiateOptions(2048, 1234, true, 7, 16);
    EXPECT_EQ(all.FirstPacket,
              "\x00\x06" "blksize\0" "2048\0" "timeout\0" "7\0" "tsize\0" "1234\0" "windowsize\0" "16\0"s);
    EXPECT_EQ(all.WindowSize, 16);
    const TNegotiation alone = NegotiateOptions(0, -1, false, 0, 1);
    EXPECT_EQ(alone.FirstPacket, "\x00\x06" "windowsize\0" "1\0"s);
    EXPECT_EQ(alone.BlockSize, DefaultBlockSize);
    EXPECT_EQ(alone.WindowSize, 1);
    // Without a grant the answer is exactly what it was before windows existed.
    const TNegotiation none = NegotiateOptions(1468, -1, false, 0, 0);
    EXPECT_EQ(none.FirstPacket, NegotiateOptions(1468, -1, false, 0).FirstPacket);
    EXPECT_EQ(none.WindowSize, 1);
    EXPECT_TRUE(NegotiateOptions(0, -1, false, 0, 0).FirstPacket.empty());
}
