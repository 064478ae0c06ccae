#include "log/LogFile.h"

#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "log/ActivityLog.h"
#include "log/LogLine.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class LogFileTest : public testing::Test {
protected:
    TTempDir dir_;
    std::shared_ptr<TFakeClock> clock_ = std::make_shared<TFakeClock>(LocalMoment(2026, 12, 8));
    TActivityLog log_{clock_};
    TLogSettings settings_ = [this] {
        TLogSettings settings;
        settings.Log = true;
        settings.LogFolder = dir_.Str();
        return settings;
    }();

    TActivityEntry Finished(const std::string& fileName = "/srv/tftp/boot.bin")
    {
        return {1, aiSuccess, "12/08/26 10:00:00", fileName, "10.0.0.5", "Transfer: Send file complete."};
    }
    std::string Read(const std::string& name) const { return TTempDir::ReadFile(dir_.Path() / name); }
    bool Exists(const std::string& name) const { return fs::exists(dir_.Path() / name); }
    std::size_t FileCount() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()));
    }
    void UseSizeLimit(int kilobytes)
    {
        settings_.LogLimitOptions = true;
        settings_.LogLimit = true;
        settings_.LogSize = kilobytes;
    }
};

// Numbers and names

TEST(PadNumberTest, PadsWithZerosUpToTheWidth)
{
    EXPECT_EQ(PadNumber(1, 5), "00001");
    EXPECT_EQ(PadNumber(7, 2), "07");
    EXPECT_EQ(PadNumber(123456, 5), "123456");
}

TEST_F(LogFileTest, DailyFilesAreNamedAfterTheLocalDate)
{
    settings_.LogLimitOptions = true;
    settings_.LogLimit = false;
    LogActivityEntry(Finished(), settings_, log_);
    clock_->Set(LocalMoment(2026, 12, 9));
    settings_.LogFormat = 1;
    LogActivityEntry(Finished(), settings_, log_);
    EXPECT_TRUE(Exists("vltrn261208.log"));
    EXPECT_TRUE(Exists("vltrn261209.csv"));
    EXPECT_EQ(FileCount(), 2u);
}

// Writing

TEST_F(LogFileTest, LogSwitchedOffNeverTouchesTheDisk)
{
    settings_.Log = false;
    settings_.LogFolder = (dir_.Path() / "logs").string();
    LogActivityEntry(Finished(), settings_, log_);
    EXPECT_EQ(FileCount(), 0u);
    EXPECT_EQ(log_.Count(), 0u);
}

TEST_F(LogFileTest, TextLinesGoToTheFixedFileAndEndWithCrLf)
{
    LogActivityEntry(Finished(), settings_, log_);
    LogActivityEntry(Finished("/up/x\r\nforged"), settings_, log_);
    EXPECT_EQ(Read("vltrnlog.log"),
              "12/08/26 10:00:00    /srv/tftp/boot.bin    10.0.0.5    Transfer: Send file complete.\r\n"
              "12/08/26 10:00:00    /up/x\\x0D\\x0Aforged    10.0.0.5    Transfer: Send file complete.\r\n");
    EXPECT_EQ(log_.Count(), 0u);
}

TEST_F(LogFileTest, CsvHeaderIsWrittenOnceAtTheTopOfANewFile)
{
    settings_.LogFormat = 1;
    LogActivityEntry(Finished(), settings_, log_);
    LogActivityEntry(Finished("/srv/a,b.bin"), settings_, log_);
    EXPECT_EQ(Read("vltrnlog.csv"),
              "Date/Time,Filename,Remote IP Address,Status\r\n"
              "12/08/26 10:00:00,/srv/tftp/boot.bin,10.0.0.5,Transfer: Send file complete.\r\n"
              "12/08/26 10:00:00,\"/srv/a,b.bin\",10.0.0.5,Transfer: Send file complete.\r\n");
}

TEST_F(LogFileTest, MissingFolderIsCreatedOneLevelDeepOrReported)
{
    settings_.LogFolder = (dir_.Path() / "logs").string();
    LogActivityEntry(Finished(), settings_, log_);
    EXPECT_TRUE(Exists("logs/vltrnlog.log"));
    settings_.LogFolder = (dir_.Path() / "a" / "b").string();
    LogActivityEntry(Finished(), settings_, log_);
    EXPECT_FALSE(Exists("a"));
    ASSERT_EQ(log_.Count(), 1u);
    const TActivityEntry entry = log_.Entries().front();
    EXPECT_EQ(entry.Icon, aiError);
    EXPECT_EQ(entry.FileName, " ");
    EXPECT_EQ(entry.RemoteIP, " ");
    EXPECT_EQ(entry.Status, "Log error: Log directory error");
}

TEST_F(LogFileTest, FileThatCannotBeOpenedIsReportedAndTheNextWriteTriesAgain)
{
    fs::create_directory(dir_.Path() / "vltrnlog.log");
    LogActivityEntry(Finished(), settings_, log_);
    ASSERT_EQ(log_.Count(), 1u);
    EXPECT_EQ(log_.Entries().front().Status, "Log error: Cannot write to log!");
    fs::remove(dir_.Path() / "vltrnlog.log");
    LogActivityEntry(Finished(), settings_, log_);
    EXPECT_TRUE(fs::is_regular_file(dir_.Path() / "vltrnlog.log"));
    EXPECT_EQ(log_.Count(), 1u);
}

// A FIFO or a device as the log file would block the main thread or swallow the lines;
// each is refused and reported, a FIFO without a reader as well as one with a reader.
TEST_F(LogFileTest, FifoOrDeviceAsTheLogFileIsRefusedWithoutBlocking)
{
    const fs::path fifo = dir_.Path() / "vltrnlog.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    LogActivityEntry(Finished(), settings_, log_);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    LogActivityEntry(Finished(), settings_, log_);
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0);
    ::close(reader);
    fs::remove(fifo);
    fs::create_symlink("/dev/null", fifo);
    LogActivityEntry(Finished(), settings_, log_);
    ASSERT_EQ(log_.Count(), 3u);
    for (const TActivityEntry& entry : log_.Entries()) {
        EXPECT_EQ(entry.Icon, aiError);
        EXPECT_EQ(entry.Status, "Log error: Cannot write to log!");
    }
}

// Size-limited numbering

TEST_F(LogFileTest, SizeLimitStartsTheNextFileOnceTheLimitIsReached)
{
    UseSizeLimit(1);
    const std::string name(50, 'n');
    const std::size_t lineLength = FormatTextLine(Finished(name)).size() + 2;
    // About 100 bytes a line: 8 lines stay below 1024 bytes, the 9th reaches it.
    ASSERT_TRUE(8 * lineLength < 1024 && 9 * lineLength >= 1024) << lineLength;
    for (int i = 0; i < 10; ++i)
        LogActivityEntry(Finished(name), settings_, log_);
    // The file grows past the limit by the line that reaches it.
    EXPECT_EQ(fs::file_size(dir_.Path() / "vltrn000001.log"), 9 * lineLength);
    EXPECT_EQ(fs::file_size(dir_.Path() / "vltrn000002.log"), lineLength);
}

TEST_F(LogFileTest, NumberingStartsAgainWhenTheFirstFileIsMissing)
{
    UseSizeLimit(1);
    dir_.WriteFile("vltrn000002.log", std::string(5000, 'x'));
    EXPECT_EQ(CurrentLogFileName(settings_, clock_->Now()), "vltrn000001.log");
    LogActivityEntry(Finished(), settings_, log_);
    EXPECT_TRUE(Exists("vltrn000001.log"));
    EXPECT_EQ(fs::file_size(dir_.Path() / "vltrn000002.log"), 5000u);
}

TEST_F(LogFileTest, CountOfFilesIgnoringCaseDecidesTheNextNumber)
{
    UseSizeLimit(1);
    dir_.WriteFile("vltrn000001.log", std::string(2000, 'x'));
    dir_.WriteFile("VLTRN000002.LOG", "short\r\n");
    dir_.WriteFile("vltrn000002.csv", "other format");
    dir_.WriteFile("vltrnlog.log", "fixed name");
    EXPECT_EQ(CurrentLogFileName(settings_, clock_->Now()), "VLTRN000002.LOG") << "the last by name has room";
    dir_.WriteFile("VLTRN000002.LOG", std::string(2000, 'x'));
    EXPECT_EQ(CurrentLogFileName(settings_, clock_->Now()), "vltrn000003.log");
}

}  // namespace
