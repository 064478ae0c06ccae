#include <cstdint>
#include <filesystem>

#include <sys/stat.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app/SettingsStore.h"
#include "core/FilesList.h"
#include "tests/support/TempDir.h"
#include "ui/dialogs/AboutForm.h"
#include "ui/dialogs/FileInfoForm.h"
#include "ui/dialogs/TipsForm.h"

namespace {

QString FieldText(const QWidget& form, const char* name)
{
    if (const auto* field = form.findChild<QLineEdit*>(QString::fromLatin1(name)))
        return field->text();
    return form.findChild<QLabel*>(QString::fromLatin1(name))->text();
}

FileEntry Entry(const TTempDir& dir, const char* name, FileState state)
{
    FileEntry entry = MakeFileEntry(name, dir.Str());
    entry.State = state;
    entry.AccessCount = 7;
    return entry;
}

}  // namespace

/// The tip of the day, the file information dialog and the about box.
class SmallDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void firstTipIsOneOfTheFourteen()
    {
        TTempDir dir;
        TSettingsStore settings{TProgramPaths(dir.Path())};
        for (int attempt = 0; attempt < 30; ++attempt) {
            TTipsForm form(settings);
            form.show();
            QVERIFY(TTipsForm::CurrentTip() >= 1 && TTipsForm::CurrentTip() <= 14);
            QCOMPARE(FieldText(form, "TipText"), TTipsForm::TipText(TTipsForm::CurrentTip()));
            form.hide();
        }
    }

    void nextTipRunsInTurnAndWrapsAfterFourteen()
    {
        TTempDir dir;
        TSettingsStore settings{TProgramPaths(dir.Path())};
        TTipsForm form(settings);
        form.show();
        auto* next = form.findChild<QPushButton*>(QStringLiteral("NextTipButton"));
        while (TTipsForm::CurrentTip() != 14) {
            const int before = TTipsForm::CurrentTip();
            next->click();
            QCOMPARE(TTipsForm::CurrentTip(), before + 1);
        }
        next->click();
        QCOMPARE(TTipsForm::CurrentTip(), 1);
        QCOMPARE(FieldText(form, "TipText"), TTipsForm::TipText(1));
    }

    void doubledAmpersandShowsAsOne()
    {
        QCOMPARE(TTipsForm::TipText(3),
                 QStringLiteral("Quickly share files by dragging & dropping them on to the application and clicking "
                                "on the Start button."));
        QVERIFY(TTipsForm::TipText(11).startsWith(
            QStringLiteral("You can automatically start Veltrane Desktop Pro when you log in. Simply tick")));
        QVERIFY(TTipsForm::TipText(0).isEmpty());
        QVERIFY(TTipsForm::TipText(15).isEmpty());
    }

    void closingByTheCloseBoxWritesTheChoice()
    {
        TTempDir dir;
        TSettingsStore settings{TProgramPaths(dir.Path())};
        settings.LoadSettings();
        TTipsForm form(settings);
        form.show();
        auto* box = form.findChild<QCheckBox*>(QStringLiteral("ShowTipsCheckBox"));
        QVERIFY(box->isChecked());
        box->setChecked(false);
        form.close();
        QVERIFY(!settings.Config()->TipsOnStartUp);
        QVERIFY(TTempDir::ReadFile(settings.Paths().SettingsFile()).find("TipsOnStartUp=0") != std::string::npos);
    }

    void openedWithTipsOffShowsUntickedAndWritesItAgain()
    {
        TTempDir dir;
        dir.WriteFile("veltrane.INI", "[General]\nTipsOnStartUp=0\n");
        TSettingsStore settings{TProgramPaths(dir.Path())};
        settings.LoadSettings();
        TTipsForm form(settings);
        form.show();
        QVERIFY(!form.findChild<QCheckBox*>(QStringLiteral("ShowTipsCheckBox"))->isChecked());
        form.findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
        QVERIFY(!settings.Config()->TipsOnStartUp);
        QVERIFY(TTempDir::ReadFile(settings.Paths().SettingsFile()).find("TipsOnStartUp=0") != std::string::npos);
    }

    void settingsThatCannotBeWrittenStillHoldTheChoice()
    {
        TTempDir dir;
        std::filesystem::create_directory(dir.Path() / "veltrane.INI");
        TSettingsStore settings{TProgramPaths(dir.Path())};
        TTipsForm form(settings);
        form.show();
        form.findChild<QCheckBox*>(QStringLiteral("ShowTipsCheckBox"))->setChecked(false);
        form.reject();
        QVERIFY(!settings.Config()->TipsOnStartUp);
    }

    void fileInformationOfAnExistingFile_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("status");
        QTest::newRow("available") << int(FileState::Available) << "(Normal)";
        QTest::newRow("suspended") << int(FileState::Suspended) << "(Suspended)";
        QTest::newRow("missing until refreshed") << int(FileState::Missing) << "(File not found)";
    }

    void fileInformationOfAnExistingFile()
    {
        QFETCH(int, state);
        QFETCH(QString, status);
        TTempDir dir;
        dir.WriteFile("boot.bin", std::string(1536, 'b'));
        TFileInfoForm form(Entry(dir, "boot.bin", FileState(state)));
        QCOMPARE(form.windowTitle(), QStringLiteral("File Information"));
        QCOMPARE(FieldText(form, "SizeField"), QStringLiteral("Unknown"));
        QCOMPARE(FieldText(form, "StatusLabel"), QStringLiteral("(Unknown)"));
        form.show();
        QCOMPARE(FieldText(form, "FilenameField"), QStringLiteral("boot.bin"));
        QCOMPARE(FieldText(form, "DirectoryField"), QString::fromStdString(dir.Str()));
        QCOMPARE(FieldText(form, "SizeField"), QStringLiteral("1.50KB"));
        QCOMPARE(FieldText(form, "StatusLabel"), status);
        QVERIFY(FieldText(form, "LastAccessedField") != QStringLiteral("Unknown"));
        QVERIFY(FieldText(form, "LastModifiedField") != QStringLiteral("Unknown"));
        QCOMPARE(FieldText(form, "AccessCountField"), QStringLiteral("7"));
    }

    void fileInformationOfADeletedFile()
    {
        TTempDir dir;
        dir.WriteFile("gone.bin", "x");
        const FileEntry entry = Entry(dir, "gone.bin", FileState::Available);
        std::filesystem::remove(dir.Path() / "gone.bin");
        TFileInfoForm form(entry);
        form.show();
        QCOMPARE(FieldText(form, "StatusLabel"), QStringLiteral("(File not found)"));
        QCOMPARE(FieldText(form, "SizeField"), QStringLiteral("Unknown"));
        QCOMPARE(FieldText(form, "LastAccessedField"), QStringLiteral("Unknown"));
        QCOMPARE(FieldText(form, "LastModifiedField"), QStringLiteral("Unknown"));
        QCOMPARE(FieldText(form, "AccessCountField"), QStringLiteral("7"));
    }

    void fileInformationShowsCopyableChecksums()
    {
        TTempDir dir;
        dir.WriteFile("image.bin", "123456789");
        TFileInfoForm form(Entry(dir, "image.bin", FileState::Available));
        form.show();
        QTRY_COMPARE(FieldText(form, "Crc32Field"), QStringLiteral("cbf43926"));
        QCOMPARE(FieldText(form, "Md5Field"), QStringLiteral("25f9e794323b453885f5181f1b624d0b"));
        QCOMPARE(FieldText(form, "Sha256Field"),
                 QStringLiteral("15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225"));
        QVERIFY(form.findChild<QLineEdit*>(QStringLiteral("Sha256Field"))->isReadOnly());
        QTRY_VERIFY(!form.findChild<QProgressBar*>(QStringLiteral("DigestProgress"))->isVisible());
    }

    void fileInformationStopsComputingWhenClosed()
    {
        TTempDir dir;
        const auto path = dir.WriteFile("disk.img", "");
        std::filesystem::resize_file(path, std::uintmax_t{8} << 30);  // sparse: no disk space taken
        TFileInfoForm form(Entry(dir, "disk.img", FileState::Available));
        form.show();
        auto* progress = form.findChild<QProgressBar*>(QStringLiteral("DigestProgress"));
        QVERIFY(progress->isVisible());
        QTRY_VERIFY(progress->value() > 0);
        form.close();  // joins the worker; eight gigabytes would take many seconds
        QVERIFY(!progress->isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(FieldText(form, "Sha256Field"), QStringLiteral("Unknown"));
    }

    void checksumsOfAMissingFileAreUnknown()
    {
        TTempDir dir;
        TFileInfoForm form(Entry(dir, "gone.bin", FileState::Available));
        form.show();
        QCOMPARE(FieldText(form, "Crc32Field"), QStringLiteral("Unknown"));
        QVERIFY(!form.findChild<QProgressBar*>(QStringLiteral("DigestProgress"))->isVisible());
    }

    void aboutShowsTheVersionWhenShownAndOpensTheManual()
    {
        QList<QWidget*> parents;
        TAboutForm form(nullptr, [&parents](QWidget* parent) { parents << parent; });
        QCOMPARE(form.windowTitle(), QStringLiteral("About"));
        QCOMPARE(FieldText(form, "VersionLabel"), QStringLiteral("Version ?.?"));
        form.show();
        QCOMPARE(FieldText(form, "VersionLabel"), QStringLiteral("Version 3.2"));
        QCOMPARE(FieldText(form, "UpdatesLabel"), QStringLiteral("With the system's package manager"));
        auto* manual = form.findChild<QLabel*>(QStringLiteral("ManualLink"));
        QVERIFY(!manual->openExternalLinks());
        emit manual->linkActivated(QStringLiteral("manual"));
        QCOMPARE(parents, QList<QWidget*>{&form});
    }
};

QTEST_MAIN(SmallDialogsTest)
#include "SmallDialogsTest.moc"
