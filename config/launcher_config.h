// The launcher's view of "norvale.conf": the mail proxy's listening address,
// the ports the redirector diverts and the applications it leaves alone.
#pragma once

#include "common/product_names.h"
#include "config/conf_values.h"

#include <cstdint>
#include <string>

struct LauncherConfig {
    std::int32_t listenPort = 0;
    std::string listenHost;
    PortList redirectedPorts;
    AppList ignoredApplications;
    AppList notRedirectedApplications;
};

extern const char kConfEndMarker[];
extern const char kDefaultListenHost[];
constexpr std::int32_t kDefaultListenPort = 3887;

// Fills the record from the user's "norvale.conf" and logs the path. Returns
// 1 when the file was read (refused values keep their defaults), 0 when it
// could not be read or the record is null.
int readConfigFile(LauncherConfig* config);
// Writes the record to the log; nothing for a null record.
void logConfig(const LauncherConfig* config);
// Whether "norvale.conf" exists in the user's product folder; logs the path
// and the outcome.
bool confFileAccessible();
