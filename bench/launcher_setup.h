// The launcher's world for the benchmarks: the real launcher in a program
// folder of its own beside instant stand-ins (the do-nothing program as the
// set-up processor, a journalling stand-in as the link checker answering
// "all well" and as a mail proxy that ends at once), the template folder,
// and a user whose installation flag says "yes".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/handles.h"
#include "tests/support/test_files.h"

namespace bench {

constexpr char kLauncherExe[] = "norvale-launcher.exe";
constexpr char kStarterExe[] = "bench-starter.exe";
constexpr char kIdleExe[] = "bench-idle.exe";

class LauncherWorld {
public:
    // The launcher of this build, or the file at launcherSource (another
    // build of it, such as the reference launcher the bench compares with),
    // copied in as norvale-launcher.exe so that its log, mutex and children
    // are the same.
    explicit LauncherWorld(const std::string& launcherSource = std::string());
    ~LauncherWorld();
    LauncherWorld(const LauncherWorld&) = delete;
    LauncherWorld& operator=(const LauncherWorld&) = delete;

    bool ready() const { return ready_; }
    const std::string& folder() const { return programs_.path(); }

    // Empties the stand-ins' journals (no process of the world may run).
    void clearJournals() const;
    std::string journal(const std::string& program) const;

    // Starts the launcher as the logon starts it; the time of the start is
    // taken just before, on the journals' scale.
    bool startLauncher(norvale::ProcessInfo& launcher, std::int64_t& startedAt) const;
    // Ends the launcher and whatever mail proxy it left running.
    void stopLauncher(norvale::ProcessInfo& launcher) const;
    // Waits until every proxy started so far has journaled its end.
    void waitForProxyEnd() const;

    // Mail proxy starts so far (journal times).
    std::vector<std::int64_t> mailStarts() const;
    // Mail proxy runs that have ended so far.
    std::size_t mailExits() const;

private:
    bool prepare(const std::string& launcherSource);

    norvale::testbed::TempFolder programs_{"norvale bench launcher"};
    bool ready_ = false;
};

// Consecutive differences of a series of times.
std::vector<double> periods(const std::vector<std::int64_t>& times);

}  // namespace bench
