// norvale-launcher: keeps the product's mail proxy running for the user.
#include "launcher/startup.h"

int main(int argc, char** argv) { return launcherMain(argc, argv); }
