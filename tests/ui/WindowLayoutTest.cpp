#include "app/WindowLayout.h"

#include <QHeaderView>
#include <QSplitter>
#include <QTest>
#include <QTreeView>

#include "tests/ui/MainFormHarness.h"
#include "ui/main/MainViews.h"
#include "ui/main/ViewColumns.h"
#include "ui/main/WindowPlacement.h"

namespace {

QList<int> PaneHeights(const TMainForm& form)
{
    return form.findChild<QSplitter*>(QStringLiteral("ViewSplitter"))->sizes();
}

int NameColumnWidth(const TMainForm& form)
{
    return form.findChild<QTreeView*>(QStringLiteral("FilesView"))->header()->sectionSize(TFilesModel::NameColumn);
}

}  // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void placedOnScreens_data()
    {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QRect>("placed");
        const QRect left(0, 0, 1920, 1080);
        const QRect right(1920, 0, 1280, 1024);
        QTest::newRow("fits") << QRect(100, 80, 800, 600) << QList{left} << QRect(100, 80, 800, 600);
        QTest::newRow("larger than the screen") << QRect(-50, -50, 2500, 1400) << QList{left} << left;
        QTest::newRow("hanging off the edge") << QRect(1500, 900, 800, 600) << QList{left} << QRect(1120, 480, 800, 600);
        QTest::newRow("screen gone") << QRect(2200, 100, 800, 600) << QList{left} << QRect(1120, 100, 800, 600);
        QTest::newRow("second screen present") << QRect(2200, 100, 800, 600) << QList{left, right}
                                               << QRect(2200, 100, 800, 600);
        QTest::newRow("centre on the second") << QRect(1700, 100, 800, 600) << QList{left, right}
                                              << QRect(1920, 100, 800, 600);
        QTest::newRow("too large for the second") << QRect(2000, 0, 1600, 1200) << QList{left, right} << right;
        QTest::newRow("no screens") << QRect(5, 5, 10, 10) << QList<QRect>{} << QRect(5, 5, 10, 10);
    }

    void placedOnScreens()
    {
        QFETCH(QRect, wanted);
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, placed);
        QCOMPARE(PlacedOnScreens(wanted, screens), placed);
    }

    void closedWindowComesBackAsItWasLeft()
    {
        TMainFormHarness h;
        QVERIFY(h.ShowActive());
        const QRect area = AvailableScreenAreas().front();
        const QRect left(area.topLeft() + QPoint(20, 30), QSize(600, 450));
        h.Form->setGeometry(left);
        QTRY_COMPARE(h.Form->geometry(), left);
        TMainViews& views = h.Form->Views();
        views.Splitter()->setSizes({120, 90, 130});
        const QList<int> heights = PaneHeights(*h.Form);
        views.FilesView()->header()->resizeSection(TFilesModel::NameColumn, 170);
        views.ActivityView()->header()->resizeSection(3, 150);
        h.Form->close();

        const std::unique_ptr<TMainForm> next = h.NextStart();
        next->show();
        QTRY_COMPARE(next->geometry(), left);
        QTRY_COMPARE(PaneHeights(*next), heights);
        QCOMPARE(NameColumnWidth(*next), 170);
        QCOMPARE(next->Views().ActivityView()->header()->sectionSize(3), 150);
        // A name longer than the kept column leaves the operator's width alone.
        next->Core().FilesList().AddFiles({h.Dir.WriteFile(std::string(50, 'n') + ".bin", "x").string()});
        next->CoreEvents().Flush();
        QCOMPARE(NameColumnWidth(*next), 170);
    }

    void maximisedWindowComesBackMaximisedAtItsNormalSize()
    {
        TMainFormHarness h;
        h.Form->resize(500, 400);
        h.Form->showMaximized();
        QTRY_VERIFY(h.Form->isMaximized());
        h.Form->close();
        const std::optional<TWindowLayout> kept = TWindowLayout::Read(h.Dir.Path() / "veltrane.INI");
        QVERIFY(kept && kept->Maximized);
        QCOMPARE(QSize(kept->Width, kept->Height), QSize(500, 400));
        const std::unique_ptr<TMainForm> next = h.NextStart();
        next->show();
        QTRY_VERIFY(next->isMaximized());
    }

    void windowKeptOffTheScreensComesBackOnOne()
    {
        TMainFormHarness h(std::string(kQuietSettings) + "[Window]\nLeft=9000\nTop=-7000\nWidth=30000\nHeight=500\n");
        const QRect area = AvailableScreenAreas().front();
        QVERIFY(area.contains(h.Form->geometry()));
        QCOMPARE(h.Form->width(), area.width());
    }

    void windowNeverShownKeepsThePaneHeightsItWasGiven()
    {
        TMainFormHarness h(std::string(kQuietSettings) + "[Window]\nWidth=600\nHeight=450\nPanes=150,90,110\n");
        h.Form->close();
        const std::optional<TWindowLayout> kept = TWindowLayout::Read(h.Dir.Path() / "veltrane.INI");
        QVERIFY(kept && kept->PaneHeights == (std::vector<int>{150, 90, 110}));
    }

    void filenameColumnFitsTheLongestNameUntilTheOperatorSizesIt()
    {
        TMainFormHarness h;
        const int first = NameColumnWidth(*h.Form);
        h.ListFiles({"firmware-2026-03-17-rc2-arm64.bin", "boot.bin"});
        QTreeView& files = *h.Form->Views().FilesView();
        const int needed = static_cast<const QAbstractItemView&>(files).sizeHintForColumn(TFilesModel::NameColumn);
        QVERIFY(needed > first);
        QCOMPARE(NameColumnWidth(*h.Form), needed);
        files.header()->resizeSection(TFilesModel::NameColumn, first);
        h.ListFiles({"firmware-2026-03-17-rc2-arm64-with-debug-symbols.bin"});
        QCOMPARE(NameColumnWidth(*h.Form), first);
    }

    void logsGetAFairShareOfATallWindowAtFirstStart()
    {
        TMainFormHarness h;
        h.Form->resize(900, 800);
        h.Form->show();
        QTRY_VERIFY(h.Form->Views().ActivityView()->height() > TMainViews::kActivityLogHeight);
        const int splitter = h.Form->Views().Splitter()->height();
        QVERIFY(h.Form->Views().ActivityView()->height() >= splitter / 5);
        QVERIFY(h.Form->Views().TransferView()->height() >= splitter / 5);
        QVERIFY(h.Form->Views().FilesView()->height() >= splitter / 3);
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "WindowLayoutTest.moc"
