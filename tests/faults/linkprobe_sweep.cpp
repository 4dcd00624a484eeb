// The link checker's modes as the launcher runs them, each against a
// network on which the check succeeds, with each call failing in turn.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "tests/faults/sweep.h"
#include "tests/faults/sweep_bed.h"
#include "tests/support/test_network.h"
#include "tests/support/user_state.h"

namespace faults {
namespace {

constexpr char kProbe[] = "norvale-linkprobe.exe";
constexpr char kLogName[] = "norvale-linkprobe.log";
constexpr int kFailedCheck = 4;
constexpr int kOtherBindError = 2;
constexpr int kCannotStart = -2;
constexpr int kWrongArguments = -1;
// Ports of their own, away from the other tests'.
constexpr int kProxyPort = 48870;
constexpr int kDivertedPort = 48110;

// What answers the check on the test network.
enum class Peer { None, Redirector, FusListener };

struct Mode {
    std::string arguments;
    int failure;  // the mode's answer for a check that failed
    Peer peer;
};

const Mode kModes[] = {
    {"-bindcheck 127.0.0.1 " + std::to_string(kProxyPort), kOtherBindError, Peer::None},
    {"-lspcheck " + std::to_string(kDivertedPort) + " " + std::to_string(kProxyPort) +
         " 127.0.0.1",
     kFailedCheck, Peer::Redirector},
    {"-lspcheckfus 1.1.1.1 " + std::to_string(kDivertedPort), kFailedCheck,
     Peer::FusListener},
};

// The calls whose success is the check's evidence: a check that answers
// success although one of them failed has not checked anything.
bool evidence(int call) {
    return call != call_closesocket && call != call_WSACleanup &&
           kCallNames[call].dll == std::string("ws2_32");
}

class ProbeScenario : public Scenario {
public:
    ~ProbeScenario() override { norvale::testbed::resetUserState(); }
    explicit ProbeScenario(const Mode& mode) : mode_(mode) {
        if (mode_.peer == Peer::Redirector)
            redirector_ = std::make_unique<norvale::testbed::RedirectorStandin>(
                kDivertedPort, "127.0.0.1", kProxyPort, "168");
        if (mode_.peer == Peer::FusListener)
            listener_ = std::make_unique<norvale::testbed::Listener>("1.1.1.1", kDivertedPort);
    }

    std::string title() const override { return std::string("Link checker: ") + mode_.arguments; }
    std::string programPath() const override { return programs_.file(kProbe); }
    std::string arguments() const override { return mode_.arguments; }
    std::vector<std::string> logs() const override { return {log()}; }

    void prepare() override {
        ASSERT_TRUE(programs_.valid());
        if (redirector_) {
            ASSERT_TRUE(redirector_->ready());
        }
        if (listener_) {
            ASSERT_TRUE(listener_->listening());
            drainConnections();
        }
        ASSERT_TRUE(norvale::testbed::resetUserState());
    }

    Verdict judge(const RunEnd& end) override {
        const int code = end.exitCode;
        if (code == 0) {
            if (end.injected && evidence(end.plan.target))
                return {Outcome::FalseSuccess, "success although the check's " +
                                                   callName(end.plan.target) + " failed"};
            return {Outcome::Unaffected, {}};
        }
        if (code == mode_.failure)
            return {Outcome::Prescribed, "the check failed: exit code " + std::to_string(code)};
        if (code == kCannotStart && !end.boxes.empty())
            return {Outcome::Prescribed, "box \"" + end.boxes.front().text + "\", exit code -2"};
        // The start-up code could not give the program its arguments.
        if (code == kWrongArguments && !end.boxes.empty())
            return {Outcome::SoundError, "box \"" + end.boxes.front().text + "\", exit code -1"};
        return {Outcome::FalseSuccess, "an answer the check does not give for a failure: " +
                                           std::to_string(code)};
    }

private:
    // The listener never accepts by itself; connections left queued from
    // earlier runs would fill its backlog.
    void drainConnections() {
        for (;;) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(listener_->get(), &ready);
            timeval now = {0, 0};
            if (select(0, &ready, nullptr, nullptr, &now) != 1) return;
            norvale::Socket accepted(accept(listener_->get(), nullptr, nullptr));
            if (!accepted) return;
        }
    }

    static std::string log() {
        return norvale::testbed::joinPath(norvale::testbed::userProductFolder(), kLogName);
    }

    const Mode& mode_;
    ProgramFolder programs_{{kProbe}};
    std::unique_ptr<norvale::testbed::RedirectorStandin> redirector_;
    std::unique_ptr<norvale::testbed::Listener> listener_;
};

// Every allocation up to the log's first line fails in turn: before that
// the link checker has no log to tell a failure in.
void sweepMode(const Mode& mode) {
    ProbeScenario scenario(mode);
    expectNoFaults(sweep(scenario, sweepDepth({call_malloc})));
}

TEST(FaultSweep, LinkCheckerRedirectorCheck) { sweepMode(kModes[1]); }

TEST(FaultSweepMore, LinkCheckerBindCheck) { sweepMode(kModes[0]); }

TEST(FaultSweepMore, LinkCheckerFusCheck) { sweepMode(kModes[2]); }

}  // namespace
}  // namespace faults
