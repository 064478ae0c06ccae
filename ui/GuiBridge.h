#pragma once

#include <functional>

#include <QObject>

#include "engine/MainThreadBridge.h"

/// Runs the engine's main-thread work on the GUI thread's event loop. Post() only queues
/// the task and returns at once, so it is safe from any thread and never blocks; the
/// engine does its own waiting. Tasks still queued when the bridge is destroyed are
/// dropped. Created and destroyed on the GUI thread, after and before the core it serves.
class TGuiBridge final : public QObject, public IMainThreadBridge {
public:
    explicit TGuiBridge(QObject* parent = nullptr) : QObject(parent) {}

    void Post(std::function<void()> task) override;
};
