#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QTest>

#include "tests/support/AnyFreePort.h"
#include "tests/support/TempDir.h"
#include "tests/ui/RecordingPrompts.h"
#include "ui/main/CoreEvents.h"
#include "ui/main/MainForm.h"

/// Settings that keep the tip of the day from popping up over a test.
inline constexpr char kQuietSettings[] = "[General]\nTipsOnStartUp=0\n";

/// A fresh main window over a temporary settings folder, with prompts that never block.
struct TMainFormHarness {
    TTempDir Dir;
    TRecordingPrompts Prompts;
    std::unique_ptr<TMainForm> Form;

    /// Runs the window's creation sequence unless `create` is false.
    /// `trayAvailable` stands for the desktop's notification area, which the offscreen
    /// platform lacks. The server binds any free port unless `anyFreePort` is false, when
    /// it takes "Port" from the settings.
    explicit TMainFormHarness(const std::string& settings = kQuietSettings, std::vector<std::string> arguments = {},
                              bool create = true, bool trayAvailable = false, bool anyFreePort = true)
    {
        Dir.WriteFile("veltrane.INI", settings);
        Form = std::make_unique<TMainForm>(TMainFormOptions{TProgramPaths(Dir.Path()), std::move(arguments),
                                                            Dir.Path() / "manual.html", &Prompts,
                                                            [trayAvailable] { return trayAvailable; }});
        if (anyFreePort)
            Core().Settings().SetOverrides(AnyFreePort());
        if (create)
            Form->CreateMainWindow();
    }

    TApplicationCore& Core() { return Form->Core(); }

    /// The window the next start of the program makes over the same settings folder.
    std::unique_ptr<TMainForm> NextStart()
    {
        return std::make_unique<TMainForm>(
            TMainFormOptions{TProgramPaths(Dir.Path()), {}, Dir.Path() / "manual.html", &Prompts, [] { return false; }});
    }

    /// Lists files named `names` (created with a little content) and shows them.
    std::vector<std::string> ListFiles(std::initializer_list<const char*> names)
    {
        std::vector<std::string> paths;
        for (const char* name : names)
            paths.push_back(Dir.WriteFile(name, "content").string());
        Core().FilesList().AddFiles(paths);
        Flush();
        return paths;
    }

    void Flush() { Form->CoreEvents().Flush(); }

    template <typename T>
    T* Find(const char* name) const
    {
        return Form->findChild<T*>(QString::fromLatin1(name));
    }

    QAction* Action(const char* name) const { return Find<QAction>(name); }

    /// Shows the window and makes it the active one, so its shortcut keys work.
    bool ShowActive()
    {
        Form->show();
        QApplication::setActiveWindow(Form.get());
        return QTest::qWaitForWindowActive(Form.get());
    }
};
