#include "app/WindowLayout.h"

#include <QHeaderView>
#include <QSplitter>
#include <QTest>
#include <QTreeView>

#include "tests/ui/MainFormHarness.h"
#include "ui/main/MainViews.h"
#include "ui/main/WindowPlacement.h"

namespace {

QHeaderView& FilesHeader(TMainForm& form)
{
    return *form.Views().FilesView()->header();
}

std::optional<TWindowLayout> Kept(const TMainFormHarness& h)
{
    return TWindowLayout::Read(h.Dir.Path() / "veltrane.INI");
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
        const QRect left(AvailableScreenAreas().front().topLeft() + QPoint(20, 30), QSize(600, 450));
        h.Form->setGeometry(left);
        QTRY_COMPARE(h.Form->geometry(), left);
        h.Form->Views().Splitter()->setSizes({120, 90, 130});
        const QList<int> heights = h.Form->Views().Splitter()->sizes();
        FilesHeader(*h.Form).resizeSection(TFilesModel::NameColumn, 170);
        h.Form->Views().ActivityView()->header()->resizeSection(3, 150);
        h.Form->close();

        const std::unique_ptr<TMainForm> next = h.NextStart();
        next->show();
        QTRY_COMPARE(next->geometry(), left);
        QTRY_COMPARE(next->Views().Splitter()->sizes(), heights);
        QCOMPARE(FilesHeader(*next).sectionSize(TFilesModel::NameColumn), 170);
        QCOMPARE(next->Views().ActivityView()->header()->sectionSize(3), 150);
    }

    void maximisedWindowComesBackMaximisedAndKeepsItsNormalSize()
    {
        TMainFormHarness h;
        h.Form->resize(500, 400);
        h.Form->showMaximized();
        QTRY_VERIFY(h.Form->isMaximized());
        h.Form->close();
        QVERIFY(Kept(h) && Kept(h)->Maximized && Kept(h)->Width == 500 && Kept(h)->Height == 400);
        const std::unique_ptr<TMainForm> next = h.NextStart();
        next->show();
        QTRY_VERIFY(next->isMaximized());
    }

    void windowNeverShownKeepsThePaneHeightsItWasGiven()
    {
        TMainFormHarness h(std::string(kQuietSettings) + "[Window]\nWidth=600\nHeight=450\nPanes=150,90,110\n");
        h.Form->close();
        QVERIFY(Kept(h) && Kept(h)->PaneHeights == (std::vector<int>{150, 90, 110}));
    }

    void filenameColumnFitsTheLongestNameUntilTheOperatorSizesIt()
    {
        TMainFormHarness h;
        QHeaderView& header = FilesHeader(*h.Form);
        const int first = header.sectionSize(TFilesModel::NameColumn);
        h.ListFiles({"firmware-2026-03-17-rc2-arm64.bin", "boot.bin"});
        const QAbstractItemView& files = *h.Form->Views().FilesView();
        QVERIFY(files.sizeHintForColumn(TFilesModel::NameColumn) > first);
        QCOMPARE(header.sectionSize(TFilesModel::NameColumn), files.sizeHintForColumn(TFilesModel::NameColumn));
        header.resizeSection(TFilesModel::NameColumn, first);
        h.ListFiles({"firmware-2026-03-17-rc2-arm64-with-debug-symbols.bin"});
        QCOMPARE(header.sectionSize(TFilesModel::NameColumn), first);
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "WindowLayoutTest.moc"
