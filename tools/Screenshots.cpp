// Builds a main window with a few listed files, real transfers over 127.0.0.1 and the
// activity they leave, and saves pictures of the main window, the transfer window, the
// about box, the file information with its checksums, the Security page's rule tester and
// the "Copy Download Command" menu into the folder given as the first argument. A second argument "dark" takes
// the pictures in a dark palette, "2x" (run with QT_SCALE_FACTOR=2) on a 2x screen; their
// file names end in "-dark" or "-2x", and the about box and the engineer's tools are left out.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <thread>

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include "tests/support/AnyFreePort.h"
#include "tests/support/RawClient.h"
#include "tests/support/TempDir.h"
#include "tests/support/TftpTestClient.h"
#include "security/SecurityRulesFile.h"
#include "ui/config/ConfigForm.h"
#include "ui/dialogs/AboutForm.h"
#include "ui/dialogs/FileInfoForm.h"
#include "ui/dialogs/TransferWindowForm.h"
#include "ui/icons/ToolIcons.h"
#include "ui/main/MainCommands.h"
#include "ui/main/MainForm.h"
#include "ui/main/MainViews.h"

namespace {

using namespace std::chrono_literals;

void Wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

/// Runs a client to its end while the window keeps serving its event loop, where the
/// server reports each finished transfer.
void RunClient(const std::function<void()>& client)
{
    std::atomic<bool> done{false};
    std::thread thread([&] {
        client();
        done = true;
    });
    while (!done)
        Wait(20);
    thread.join();
}

/// Reads `name` from the server, acknowledging each block after `pause`, until the file
/// ends or `stop` is set; `clientPort` tells the client's port.
void Download(int port, const std::string& name, std::chrono::milliseconds pause, const std::atomic<bool>& stop,
              std::atomic<int>& clientPort)
{
    TRawClient socket;
    clientPort = socket.LocalPort();
    TTftpTestClient client(socket, port);
    client.Wait = 5s;
    client.BeforeAck = [&](std::uint16_t) {
        std::this_thread::sleep_for(pause);
        return !stop;
    };
    client.Download(name);
}

void Upload(int port, const std::string& name, const std::string& content)
{
    TRawClient socket;
    TTftpTestClient client(socket, port);
    client.Wait = 5s;
    client.Upload(name, content);
}

/// A dark desktop theme as many Linux desktops offer it.
void UseDarkPalette()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::AlternateBase, QColor(40, 40, 44));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(53, 53, 57));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::ToolTipBase, QColor(30, 30, 32));
    dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(100, 170, 255));
    dark.setColor(QPalette::PlaceholderText, QColor(140, 140, 140));
    QApplication::setPalette(dark);
}

bool Save(QWidget& widget, const std::filesystem::path& file)
{
    const bool saved = widget.grab().save(QString::fromStdString(file.string()));
    std::cout << (saved ? "saved " : "could not save ") << file.string() << std::endl;
    return saved;
}

/// The whole screen around `widget`, so menus open over it show too.
bool SaveScreen(QWidget& widget, const std::filesystem::path& file)
{
    const QRect area = widget.frameGeometry();
    const bool saved = QGuiApplication::primaryScreen()
                           ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                           .save(QString::fromStdString(file.string()));
    std::cout << (saved ? "saved " : "could not save ") << file.string() << std::endl;
    return saved;
}

/// A rule set with one dead rule and one that refuses a device, for the rule tester.
void WriteRules(const TTempDir& dir)
{
    SaveSecurityRules(dir.Path() / "veltrane.SEC",
                      {TSecurityRule{"192.168.1.66", "255.255.255.255", rkAddress, arDeny},
                       TSecurityRule{"192.168.1.0", "255.255.255.0", rkSubnet, arRead},
                       TSecurityRule{"127.0.0.0", "255.0.0.0", rkSubnet, arReadWrite},
                       TSecurityRule{"10.0.0.0", "255.0.0.0", rkSubnet, arRead}});
    dir.WriteFile("veltrane.SE6", "prefix fe80::/10 read\n");
}

void SaveFileInformation(TMainForm& form, const std::filesystem::path& output)
{
    TFileInfoForm info(form.Views().FilesModel().Entry(0), &form);
    info.show();
    for (int waited = 0; waited < 10000 && info.findChild<QLineEdit*>(QStringLiteral("Sha256Field"))->text() ==
                                               QStringLiteral("Unknown");
         waited += 50)
        Wait(50);
    Save(info, output / "file-information.png");
}

void SaveRuleTester(TMainForm& form, const std::filesystem::path& output)
{
    TConfigServices services;
    services.RuleHits = [&form] { return form.Core().SecurityRules().HitCounts(); };
    TConfigForm config(form.Core().Settings(), services, &form);
    config.show();
    auto* tree = config.findChild<QTreeWidget*>(QStringLiteral("ConfigTree"));
    tree->setCurrentItem(tree->topLevelItem(0)->child(5));
    config.findChild<QLineEdit*>(QStringLiteral("TestAddressEdit"))->setText(QStringLiteral("192.168.1.66"));
    Wait(300);
    Save(config, output / "rule-tester.png");
}

/// The files view's context menu with "Copy Download Command" open on its addresses.
void SaveDownloadCommandMenu(TMainForm& form, const std::filesystem::path& output)
{
    form.Views().SelectFiles({form.Views().FilesModel().Entry(0).Id});
    auto* view = form.Views().FilesView();
    QMenu* popup = form.findChild<QMenu*>(QStringLiteral("FilesPopupMenu"));
    QMenu* commands = form.findChild<QMenu*>(QStringLiteral("CopyDownloadCommandMenu"));
    popup->popup(view->viewport()->mapToGlobal(QPoint(120, 40)));
    Wait(200);
    popup->setActiveAction(commands->menuAction());
    commands->popup(popup->geometry().topRight() + QPoint(0, popup->actionGeometry(commands->menuAction()).y()));
    Wait(400);
    SaveScreen(form, output / "download-command.png");
    commands->actions().front()->trigger();
    commands->close();
    popup->close();
    Wait(100);

    // What the item put on the clipboard, as a terminal would show it pasted.
    QPlainTextEdit pasted;
    pasted.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    pasted.setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette terminal = pasted.palette();
    terminal.setColor(QPalette::Base, QColor(30, 30, 32));
    terminal.setColor(QPalette::Text, QColor(220, 220, 220));
    pasted.setPalette(terminal);
    pasted.setPlainText(QGuiApplication::clipboard()->text().trimmed());
    pasted.resize(pasted.fontMetrics().horizontalAdvance(QString(78, QLatin1Char('0'))),
                  pasted.fontMetrics().lineSpacing() * 6);
    pasted.show();
    Wait(200);
    Save(pasted, output / "download-command-text.png");
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string variant = argc == 3 ? argv[2] : "";
    if (argc < 2 || argc > 3 || (variant != "" && variant != "dark" && variant != "2x")) {
        std::cerr << "usage: screenshots OUTPUT_FOLDER [dark|2x]\n";
        return 2;
    }
    const std::filesystem::path output = std::filesystem::absolute(argv[1]);
    const std::string suffix = variant.empty() ? "" : "-" + variant;
    QApplication application(argc, argv);
    if (variant == "dark")
        UseDarkPalette();
    QApplication::setApplicationName(QString::fromLatin1(TMainForm::kApplicationTitle));
    QApplication::setWindowIcon(AppIcon());

    TTempDir dir;
    std::filesystem::create_directory(dir.Path() / "incoming");
    WriteRules(dir);
    dir.WriteFile("veltrane.INI", "[General]\nTipsOnStartUp=0\n[TFTP Settings]\nRMTransfer=0\nMaxDLConn=3\nSecurityOn=1\n"
                                  "[IP Settings]\nBind=127.0.0.1\n[FileAccepting]\nAccept=1\nDestDir=" +
                                      (dir.Path() / "incoming").string() + "\n");
    const std::filesystem::path images = dir.Path() / "images";
    std::filesystem::create_directory(images);
    const auto file = [&](const char* name, std::size_t size) {
        std::ofstream(images / name, std::ios::binary) << std::string(size, 'v');
        return (images / name).string();
    };
    TMainForm form(TMainFormOptions{TProgramPaths(dir.Path()), {}, {}});
    form.Core().Settings().SetOverrides(AnyFreePort());
    form.CreateMainWindow();
    // A 2x picture shows the window at its first size, in twice the pixels.
    if (variant != "2x")
        form.resize(900, 600);
    form.show();
    TApplicationCore& core = form.Core();
    core.FilesList().AddFiles({file("firmware-2026.03.1-arm64.bin", 2400000), file("router1.cfg", 3100),
                               file("pxelinux.0", 42400), file("ipphone-sip.img", 716800),
                               file("switch-backup.cfg", 8200), file("old-bootrom.bin", 65536)});
    std::filesystem::remove(images / "old-bootrom.bin");
    form.Commands().Run(TCommand::RefreshFilesList);
    form.CoreEvents().Flush();
    form.Views().SelectFiles({form.Views().FilesModel().Entry(5).Id});
    form.Commands().Run(TCommand::ToggleSuspend);
    form.Commands().Run(TCommand::StartServer);
    core.SaveFilesListCommand((dir.Path() / "lab-bench.vlt").string());
    const int port = core.Engine().Bindings()[0].Port();

    std::atomic<bool> stop{false};
    std::atomic<int> ignored{0};
    RunClient([&] { Download(port, "router1.cfg", 0ms, stop, ignored); });
    RunClient([&] { Upload(port, "switch3.cfg", std::string(300, 'c')); });
    RunClient([&] { TRawClient().SendTo(port, Request(1, "secret.bin", "octet")); });
    // The upload's session lingers after its last block in case the peer sends it again.
    Wait(3500);
    std::atomic<int> runningPort{0};
    std::thread running([&] { Download(port, "firmware-2026.03.1-arm64.bin", 4ms, stop, runningPort); });
    Wait(1500);
    form.CoreEvents().Flush();
    Save(form, output / ("main-window" + suffix + ".png"));

    const std::optional<TTransferRow> row = [&]() -> std::optional<TTransferRow> {
        for (const TTransferRow& candidate : core.TransferLog().Rows())
            if (candidate.Port == runningPort)
                return candidate;
        return std::nullopt;
    }();
    if (row) {
        TTransferWindowForm transfer(core.TransferLog(), TPeerInfo{row->IP, row->Port}, &form);
        transfer.show();
        Wait(2300);
        Save(transfer, output / ("transfer-window" + suffix + ".png"));
    }
    if (variant.empty()) {
        TAboutForm about(&form);
        about.show();
        Wait(200);
        Save(about, output / "about.png");
        about.hide();
        SaveFileInformation(form, output);
        SaveRuleTester(form, output);
        SaveDownloadCommandMenu(form, output);
    }

    stop = true;
    running.join();
    form.close();
    return 0;
}
