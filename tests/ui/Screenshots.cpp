// Builds a main window with a few listed files, real transfers over 127.0.0.1 and the
// activity they leave, and saves pictures of the main window, the transfer window and the
// about box into the folder given as the only argument.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "tests/engine/RawClient.h"
#include "tests/support/TempDir.h"
#include "ui/AboutForm.h"
#include "ui/MainCommands.h"
#include "ui/MainForm.h"
#include "ui/MainViews.h"
#include "ui/ToolIcons.h"
#include "ui/TransferWindowForm.h"

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kBlock = 512;

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
/// ends or `stop` is set. Returns the client's port.
void Download(int port, const std::string& name, std::chrono::milliseconds pause, const std::atomic<bool>& stop,
              std::atomic<int>& clientPort)
{
    TRawClient client;
    clientPort = client.LocalPort();
    client.SendTo(port, Request(1, name, "octet"));
    while (!stop) {
        const auto packet = client.Receive(5s);
        if (!packet || Opcode(*packet) != 3)
            return;
        std::this_thread::sleep_for(pause);
        client.Reply(Ack(Block(*packet)));
        if (packet->size() < 4 + kBlock)
            return;
    }
}

void Upload(int port, const std::string& name, const std::string& content)
{
    TRawClient client;
    client.SendTo(port, Request(2, name, "octet"));
    if (!client.Receive(5s))
        return;
    client.Reply(Data(1, content));
    client.Receive(5s);
}

bool Save(QWidget& widget, const std::filesystem::path& file)
{
    const bool saved = widget.grab().save(QString::fromStdString(file.string()));
    std::cout << (saved ? "saved " : "could not save ") << file.string() << std::endl;
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: ui_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const std::filesystem::path output = std::filesystem::absolute(argv[1]);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(TMainForm::kApplicationTitle));
    QApplication::setWindowIcon(AppIcon());

    TTempDir dir;
    std::filesystem::create_directory(dir.Path() / "incoming");
    dir.WriteFile("veltrane.INI", "[General]\nTipsOnStartUp=0\n[TFTP Settings]\nRMTransfer=0\nMaxDLConn=3\n"
                                  "[IP Settings]\nBind=127.0.0.1\n[FileAccepting]\nAccept=1\nDestDir=" +
                                      (dir.Path() / "incoming").string() + "\n");
    const std::filesystem::path images = dir.Path() / "images";
    std::filesystem::create_directory(images);
    const auto file = [&](const char* name, std::size_t size) {
        std::ofstream(images / name, std::ios::binary) << std::string(size, 'v');
        return (images / name).string();
    };
    TMainForm form(TMainFormOptions{TProgramPaths(dir.Path()), {}, {}});
    form.Core().SetPortOverride(0);
    form.CreateMainWindow();
    form.resize(900, 600);
    form.show();
    TApplicationCore& core = form.Core();
    core.FilesList().AddFiles({file("firmware-2.4.1.bin", 2400000), file("router1.cfg", 3100),
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
    std::thread running([&] { Download(port, "firmware-2.4.1.bin", 4ms, stop, runningPort); });
    Wait(1500);
    form.CoreEvents().Flush();
    Save(form, output / "main-window.png");

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
        Save(transfer, output / "transfer-window.png");
    }
    TAboutForm about(&form);
    about.show();
    Wait(200);
    Save(about, output / "about.png");

    stop = true;
    running.join();
    form.close();
    return 0;
}
