#include "ui/config/AutostartEntry.h"

#include <filesystem>
#include <string>

#include <QTest>

#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

class AutostartEntryTest : public QObject {
    Q_OBJECT

private:
    static std::string EntryText(const TTempDir& dir)
    {
        return TTempDir::ReadFile(dir.Path() / "autostart" / "veltrane.desktop");
    }

private slots:
    void TickedWritesEntryStartingTheProgramMinimised()
    {
        TTempDir dir;
        QCOMPARE(WriteAutostartEntry(true, "/opt/veltrane/veltrane", dir.Path() / "autostart"),
                 TAutostartOutcome::Done);
        QCOMPARE(EntryText(dir), std::string("[Desktop Entry]\nType=Application\n"
                                             "Name=Veltrane Desktop Pro\n"
                                             "Exec=\"/opt/veltrane/veltrane\" -cm\n"
                                             "Terminal=false\n"));
    }

    void PathCharactersSpecialToTheExecLineAreEscaped()
    {
        const std::string text = AutostartEntryText("/opt/My Apps/v$1%\"`\\x");
        // Inside the quotes $ " ` \ take a backslash and % is doubled; the entry's own
        // escaping then doubles every backslash.
        QVERIFY(text.find("Exec=\"/opt/My Apps/v\\\\$1%%\\\\\"\\\\`\\\\\\\\x\" -cm\n")
                != std::string::npos);
    }

    void ControlCharacterInPathIsRefusedAndWritesNothing()
    {
        TTempDir dir;
        QCOMPARE(WriteAutostartEntry(true, "/opt/v\nExec=evil", dir.Path() / "autostart"),
                 TAutostartOutcome::Refused);
        QVERIFY(!fs::exists(dir.Path() / "autostart" / "veltrane.desktop"));
    }

    void UntickedRemovesEntryAndMissingEntryIsFine()
    {
        TTempDir dir;
        const auto folder = dir.Path() / "autostart";
        QCOMPARE(WriteAutostartEntry(true, "/opt/v", folder), TAutostartOutcome::Done);
        QCOMPARE(WriteAutostartEntry(false, "/opt/v", folder), TAutostartOutcome::Done);
        QVERIFY(!fs::exists(folder / "veltrane.desktop"));
        QCOMPARE(WriteAutostartEntry(false, "/opt/v", folder), TAutostartOutcome::Done);
    }

    void FolderThatCannotBeMadeIsSilent()
    {
        TTempDir dir;
        dir.WriteFile("autostart", "a file where the folder belongs");
        QCOMPARE(WriteAutostartEntry(true, "/opt/v", dir.Path() / "autostart"),
                 TAutostartOutcome::FolderUnavailable);
        QCOMPARE(WriteAutostartEntry(true, "/opt/v", fs::path()),
                 TAutostartOutcome::FolderUnavailable);
    }

    void RefusedWriteOrRemovalIsReported()
    {
        TTempDir dir;
        const auto blocker = dir.Path() / "autostart" / "veltrane.desktop";
        fs::create_directories(blocker);
        dir.WriteFile("autostart/veltrane.desktop/inside", "x");
        QCOMPARE(WriteAutostartEntry(true, "/opt/v", dir.Path() / "autostart"),
                 TAutostartOutcome::Refused);
        QCOMPARE(WriteAutostartEntry(false, "/opt/v", dir.Path() / "autostart"),
                 TAutostartOutcome::Refused);
    }

    void FolderFollowsXdgConfigHomeThenHome()
    {
        const bool hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("XDG_CONFIG_HOME", "/cfg");
        QCOMPARE(DefaultAutostartFolder(), fs::path("/cfg/autostart"));
        qputenv("XDG_CONFIG_HOME", "relative/cfg");
        qputenv("HOME", "/home/op");
        QCOMPARE(DefaultAutostartFolder(), fs::path("/home/op/.config/autostart"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(DefaultAutostartFolder(), fs::path("/home/op/.config/autostart"));
        if (hadConfig)
            qputenv("XDG_CONFIG_HOME", oldConfig);
        qputenv("HOME", oldHome);
    }
};

QTEST_GUILESS_MAIN(AutostartEntryTest)
#include "AutostartEntryTest.moc"
