// The launcher's start-up: options, single instance, and the path the
// installation flag chooses.
#pragma once

// The whole run of the launcher; returns its exit code (fatal ends exit the
// process from inside).
int launcherMain(int argc, char** argv);

void do_registry();
void do_startmenu();
void QueryUserForInstall();
