#pragma once

#include <functional>
#include <string>

#include "ui/config/ConfigForm.h"

class QWidget;
class TSettingsStore;

/// The command "Configuration...": shows the configuration dialog modally (one at a time;
/// a second call while it is open does nothing), disposes of it, and then, whichever button
/// closed it, calls `reapply`, which re-reads the settings, re-applies the engine settings,
/// reloads the serving rules and re-arms the auto-refresh timer. GUI thread only.
void ShowConfiguration(QWidget* parent, TSettingsStore& settings, TConfigServices services,
                       const std::function<void()>& reapply);

/// The same with the real prompts, local addresses and autostart entry; `reportError`
/// receives "Application: " failures for the activity log.
void ShowConfiguration(QWidget* parent, TSettingsStore& settings,
                       const std::function<void()>& reapply,
                       const std::function<void(const std::string&)>& reportError);
