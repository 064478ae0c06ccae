#pragma once

#include "app/CommandLine.h"

/// The windowed program: one instance per user (a second one says so, asks the first to
/// show itself, and ends), the main window's creation sequence, and the event loop until
/// the main window closes. Returns the process's exit status.
int RunProgram(int argc, char** argv, const TCommandLine& commandLine);
