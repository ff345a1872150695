// The two ways an install runs once VekSE_BeforeInit has been fired.
#pragma once

#include <windows.h>

#include <string>

class CHostSession;

struct RunContext {
    HINSTANCE instance;
    long long appId;        // 0 when the configuration names its own mutex
    CHostSession* session;  // log, COM and the clean-up path
};

// True when this run is silent: "InstallSlience true" on the command line, or
// the configuration allows script-driven silent installs and the script
// asked for one.
bool ChooseSilentMode(bool silentSwitch);

void RunSilent(const RunContext& context);
void RunInteractive(const RunContext& context);
