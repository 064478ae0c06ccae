// The window on a screen of two device pixels per pixel (QT_SCALE_FACTOR=2 on the
// offscreen platform): pictures drawn at that ratio and a first size that fits.

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "tests/ui/MainFormHarness.h"
#include "ui/dialogs/AboutForm.h"
#include "ui/dialogs/TransferWindowForm.h"
#include "ui/icons/ListIcons.h"
#include "ui/icons/ToolIcons.h"

class HighDpiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }

    void aboutBannerIsDrawnInDevicePixels()
    {
        TAboutForm about;
        about.show();
        const QPixmap banner = about.findChild<QLabel*>(QStringLiteral("ProductImage"))->pixmap();
        QCOMPARE(banner.devicePixelRatio(), 2.0);
        QCOMPARE(banner.size(), QSize(760, 220));
    }

    void transferPictureAndIconsHaveDevicePixels()
    {
        TTransferLog log;
        TTransferWindowForm form(log, std::nullopt);
        const QPixmap done = form.findChild<QLabel*>(QStringLiteral("TransDoneImage"))->pixmap();
        QCOMPARE(done.devicePixelRatio(), 2.0);
        QCOMPARE(done.size(), QSize(64, 64));
        for (const QIcon& icon : {ToolIcon(TToolIcon::StartServer), ListIcon(2), AppIcon()}) {
            const QPixmap pixmap = icon.pixmap(QSize(32, 32), 2.0);
            QCOMPARE(pixmap.size(), QSize(64, 64));
            QCOMPARE(pixmap.devicePixelRatio(), 2.0);
        }
    }

    void firstSizeNeverExceedsTheScreen()
    {
        TMainFormHarness h;
        const QSize available = h.Form->screen()->availableGeometry().size();
        QVERIFY(available.height() < 480);
        QCOMPARE(h.Form->height(), available.height());
        QCOMPARE(h.Form->width(), std::max(std::min(640, available.width()), int(TMainForm::kLeastWidth)));
    }
};

QTEST_MAIN(HighDpiTest)
#include "HighDpiTest.moc"
