// ComEnrol++ registering and unregistering a self-registering DLL (a server
// of ours that journals its calls), with each of its calls failing in turn.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/faults/sweep.h"
#include "tests/faults/sweep_bed.h"

namespace faults {
namespace {

constexpr char kTool[] = "ComEnrol++.exe";
constexpr char kServer[] = "comenrol_probe_server.dll";
constexpr char kServerJournal[] = "comenrol_probe_server.journal";
constexpr char kErrorCaption[] = "Error: ComEnrol++";

class ComEnrolScenario : public Scenario {
public:
    explicit ComEnrolScenario(bool unregister) : unregister_(unregister) {}

    std::string title() const override {
        return unregister_ ? "ComEnrol++: /u /f server" : "ComEnrol++: /f server";
    }
    std::string programPath() const override { return programs_.file(kTool); }
    std::string arguments() const override {
        return std::string(unregister_ ? "/u " : "") + "/f \"" + programs_.file(kServer) + "\"";
    }

    void prepare() override {
        ASSERT_TRUE(programs_.valid());
        norvale::testbed::removeTree(programs_.file(kServerJournal));
    }

    Verdict judge(const RunEnd& end) override {
        const std::string journal =
            norvale::testbed::readWholeFile(programs_.file(kServerJournal)).value_or("");
        const char* exportName = unregister_ ? "DllUnregisterServer" : "DllRegisterServer";
        const bool called = journal.find(exportName) != std::string::npos;
        if (end.exitCode == 0) {
            if (!called)
                return {Outcome::FalseSuccess, std::string(exportName) + " was never called"};
            return {Outcome::Unaffected, {}};
        }
        for (const norvale::testbed::SeenBox& box : end.boxes)
            if (box.caption == kErrorCaption)
                return {Outcome::Prescribed, "box \"" + box.text + "\", exit code " +
                                                 std::to_string(end.exitCode)};
        return {Outcome::SoundError, "exit code " + std::to_string(end.exitCode)};
    }

private:
    bool unregister_;
    ProgramFolder programs_{{kTool, kServer}};
};

TEST(FaultSweep, ComEnrolRegisters) {
    ComEnrolScenario scenario(false);
    expectNoFaults(sweep(scenario, sweepDepth({})));
}

TEST(FaultSweepMore, ComEnrolUnregisters) {
    ComEnrolScenario scenario(true);
    expectNoFaults(sweep(scenario, sweepDepth({})));
}

}  // namespace
}  // namespace faults
