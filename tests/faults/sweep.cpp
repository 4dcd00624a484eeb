#include "tests/faults/sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/support/log_lines.h"

namespace faults {

namespace {

using norvale::testbed::SeenBox;

constexpr DWORD kPollMs = 20;
constexpr char kDepthVariable[] = "NORVALE_FAULT_SWEEP";
constexpr char kReportVariable[] = "NORVALE_FAULT_REPORT";
// "kernel32!WaitForSingleObject:2": only that run, with the logs it left
// printed, to look into one finding.
constexpr char kOnlyVariable[] = "NORVALE_FAULT_ONLY";
constexpr unsigned kFullCallsPerImport = 8;

// A program that dies of an exception under Wine starts Wine's debugger,
// which by default waits in a crash dialog that nobody sees; without the
// dialog it reports and lets the program end with its exception code.
void noCrashDialog() {
    norvale::RegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\WineDbg", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
        return;
    const DWORD show = 0;
    RegSetValueExA(key.get(), "ShowCrashDialog", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&show), sizeof show);
}

// An exception code (an NTSTATUS of the error class) as exit code: the
// program died of an unhandled exception.
bool exceptionExit(int code) {
    return (static_cast<unsigned>(code) & 0xF0000000u) == 0xC0000000u ||
           static_cast<unsigned>(code) == 0x80000003u;
}

// The C runtime's abort() shows a box before it ends a window program.
bool runtimeAbortBox(const RunEnd& end) {
    for (const SeenBox& box : end.boxes)
        if (box.text.find("abnormal program termination") != std::string::npos) return true;
    return false;
}

// Calls that only the C runtime's threads library makes. The 32-bit
// programs make them while the runtime registers its unwind tables, before
// any code of the program runs; when one fails, the library ends the
// program at once with abort()'s exit code and no message. Every caller
// reads that code as a failure (the launcher skips a check that answers
// it, as one whose program could not start).
bool threadsLibraryStart(const RunEnd& end) {
    constexpr int kAbortExitCode = 3;
    const int call = end.plan.target;
    return end.injected && end.ended && end.exitCode == kAbortExitCode &&
           (call == call_TlsAlloc || call == call_TlsSetValue || call == call_DuplicateHandle);
}

// What the sweep itself judges before the scenario does.
bool commonVerdict(Scenario& scenario, const RunEnd& end, Verdict& verdict) {
    if ((end.ended && exceptionExit(end.exitCode)) || runtimeAbortBox(end)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(end.exitCode));
        verdict = {Outcome::Crash, std::string("exit code ") + code};
        return true;
    }
    if (threadsLibraryStart(end)) {
        verdict = {Outcome::SoundError, "the runtime's threads library could not start: exit code 3"};
        return true;
    }
    if (!end.ended && !end.settled) {
        verdict = {Outcome::Hang, "still running after " + std::to_string(scenario.bound()) + " ms"};
        return true;
    }
    for (const std::string& log : scenario.logs()) {
        const std::string torn = tornLineOf(log);
        if (!torn.empty()) {
            verdict = {Outcome::TornLine, log + ": \"" + torn + "\""};
            return true;
        }
    }
    return false;
}

// One run: prepared, started under the injector, watched until it ends,
// settles or runs past its bound, then stopped and judged.
Verdict runOnce(Scenario& scenario, norvale::testbed::MsgBoxWatcher& watcher, const Plan& plan,
                FaultedProgram& run, RunEnd& end) {
    scenario.prepare();
    if (::testing::Test::HasFatalFailure()) return {Outcome::Hang, "the run could not be prepared"};
    const std::size_t boxesBefore = watcher.count();
    if (!run.start(scenario.programPath(), scenario.arguments(),
                   norvale::testbed::testBinFolder(), plan, scenario.streams())) {
        ADD_FAILURE() << run.error();
        return {Outcome::Hang, run.error()};
    }
    const DWORD started = GetTickCount();
    while (!(end.ended = run.child().waitFor(kPollMs))) {
        if (scenario.settled()) {
            end.settled = true;
            break;
        }
        if (GetTickCount() - started > scenario.bound()) break;
    }
    if (end.ended) {
        end.exitCode = run.child().exitCode();
        scenario.afterEnd();
    }
    if (!run.endAll()) ADD_FAILURE() << "processes of the run are still running";
    end.plan = plan;
    end.injected = run.injected();
    const std::vector<SeenBox> boxes = watcher.boxes();
    end.boxes.assign(boxes.begin() + static_cast<std::ptrdiff_t>(boxesBefore), boxes.end());
    scenario.cleanUp();

    Verdict verdict;
    if (commonVerdict(scenario, end, verdict)) return verdict;
    return scenario.judge(end);
}

std::string fileTitle(const std::string& title) {
    std::string name;
    for (char c : title) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
    return name;
}

std::string describe(const Finding& finding) {
    char where[32];
    std::snprintf(where, sizeof where, "+0x%llx", finding.from);
    return callName(finding.call) + " call " + std::to_string(finding.at) + " (from " + where +
           "): " + outcomeName(finding.verdict.outcome) + ": " + finding.verdict.detail;
}

// One line per fact, fields separated by tabs, for scripts/faults to gather
// into the reliability record.
void writeReport(const SweepResult& result) {
    const char* folder = std::getenv(kReportVariable);
    if (folder == nullptr || *folder == '\0') return;
    std::ostringstream text;
    text << "title\t" << result.title << "\n";
    text << "program\t" << result.program << "\n";
    text << "hooked\t" << result.hooked << "\n";
    text << "runs\t" << result.runs << "\n";
    text << "seconds\t" << result.seconds << "\n";
    for (const auto& [call, count] : result.counted)
        text << "call\t" << callName(call) << "\t" << count << "\n";
    for (const auto& [outcome, count] : result.outcomes)
        text << "outcome\t" << outcomeName(outcome) << "\t" << count << "\n";
    if (!result.problem.empty()) text << "problem\t" << result.problem << "\n";
    for (const Finding& finding : result.faults) text << "fault\t" << describe(finding) << "\n";
    norvale::testbed::writeWholeFile(
        norvale::testbed::joinPath(folder, fileTitle(result.title) + ".tsv"), text.str());
}

// The one run NORVALE_FAULT_ONLY asks for, if any.
bool onlyRun(Plan& plan) {
    const char* only = std::getenv(kOnlyVariable);
    if (only == nullptr || *only == '\0') return false;
    const std::string text = only;
    const std::size_t colon = text.rfind(':');
    for (int id = 0; id < kCallCount; ++id) {
        if (callName(id) == text.substr(0, colon)) {
            plan = {id, static_cast<unsigned>(std::atoi(text.c_str() + colon + 1))};
            return true;
        }
    }
    ADD_FAILURE() << kOnlyVariable << " names no hooked call: " << text;
    return false;
}

void printRun(Scenario& scenario, const Verdict& verdict, const RunEnd& end) {
    std::printf("ended %d, settled %d, exit code %d (0x%08X), injected %d: %s: %s\n", end.ended,
                end.settled, end.exitCode, static_cast<unsigned>(end.exitCode), end.injected,
                outcomeName(verdict.outcome), verdict.detail.c_str());
    for (const SeenBox& box : end.boxes)
        std::printf("box \"%s\": \"%s\"\n", box.caption.c_str(), box.text.c_str());
    std::printf("== output\n%s\n", scenario.output().c_str());
    for (const std::string& log : scenario.logs())
        std::printf("== %s\n%s\n", log.c_str(),
                    norvale::testbed::readWholeFile(log).value_or("<none>").c_str());
}

}  // namespace

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Unaffected: return "unaffected";
    case Outcome::Prescribed: return "prescribed failure outcome";
    case Outcome::SoundError: return "sound error";
    case Outcome::NotReached: return "call not reached";
    case Outcome::Crash: return "crash";
    case Outcome::Hang: return "hang";
    case Outcome::Lost: return "lost data";
    case Outcome::TornLine: return "torn log line";
    case Outcome::FalseSuccess: return "failure reported as success";
    }
    return "?";
}

bool isFault(Outcome outcome) { return outcome >= Outcome::Crash; }

namespace {

bool fullSweep() {
    const char* mode = std::getenv(kDepthVariable);
    return mode != nullptr && std::string(mode) == "full";
}

}  // namespace

Depth sweepDepth(std::vector<int> everyCall) {
    Depth depth;
    depth.everyCall = std::move(everyCall);
    if (fullSweep()) depth.callsPerImport = kFullCallsPerImport;
    return depth;
}

Depth sweepImports(std::vector<int> imports, std::vector<int> everyCall) {
    Depth depth = sweepDepth(std::move(everyCall));
    if (!fullSweep()) {
        depth.imports = std::move(imports);
        depth.imports.insert(depth.imports.end(), depth.everyCall.begin(), depth.everyCall.end());
    }
    return depth;
}

SweepResult sweep(Scenario& scenario, const Depth& depth) {
    static const bool crashDialogOff = (noCrashDialog(), true);
    (void)crashDialogOff;
    SweepResult result;
    result.title = scenario.title();
    result.program = scenario.programPath().substr(scenario.programPath().rfind('\\') + 1);
    norvale::testbed::MsgBoxWatcher::Options options;
    options.chooser = [&scenario](const SeenBox& box) { return scenario.answer(box); };
    norvale::testbed::MsgBoxWatcher watcher(options);

    Plan only;
    if (onlyRun(only)) {
        FaultedProgram run;
        RunEnd end;
        printRun(scenario, runOnce(scenario, watcher, only, run, end), end);
        return result;
    }

    FaultedProgram counting;
    RunEnd countingEnd;
    const Verdict plain = runOnce(scenario, watcher, {}, counting, countingEnd);
    if (plain.outcome != Outcome::Unaffected) {
        result.problem = std::string("the run without failures ended as ") +
                         outcomeName(plain.outcome) + ": " + plain.detail;
        return result;
    }
    for (int id = 0; id < kCallCount; ++id)
        if (counting.calls(id) > 0) result.counted[id] = counting.calls(id);

    result.hooked = counting.patched();
    const DWORD started = GetTickCount();
    for (const auto& [call, count] : result.counted) {
        if (!depth.imports.empty() &&
            std::find(depth.imports.begin(), depth.imports.end(), call) == depth.imports.end())
            continue;
        unsigned limit = depth.callsPerImport;
        if (std::find(depth.everyCall.begin(), depth.everyCall.end(), call) != depth.everyCall.end())
            limit = std::max(limit, depth.everyCallLimit);
        for (unsigned at = 1; at <= limit && at <= static_cast<unsigned long>(count); ++at) {
            const DWORD runStarted = GetTickCount();
            FaultedProgram run;
            RunEnd end;
            Verdict verdict = runOnce(scenario, watcher, {call, at}, run, end);
            if (!end.injected && !isFault(verdict.outcome)) verdict.outcome = Outcome::NotReached;
            ++result.runs;
            ++result.outcomes[verdict.outcome];
            std::printf("%s: %s call %u: %s (%lu ms)\n", result.title.c_str(),
                        callName(call).c_str(), at, outcomeName(verdict.outcome),
                        GetTickCount() - runStarted);
            std::fflush(stdout);
            if (isFault(verdict.outcome))
                result.faults.push_back({call, at, verdict, run.failedFrom()});
            if (::testing::Test::HasFatalFailure()) return result;
        }
    }
    result.seconds = (GetTickCount() - started) / 1000;
    return result;
}

void expectNoFaults(const SweepResult& result) {
    writeReport(result);
    EXPECT_TRUE(result.problem.empty()) << result.title << ": " << result.problem;
    for (const Finding& finding : result.faults)
        ADD_FAILURE() << result.title << ": " << describe(finding);
}

std::string tornLineOf(const std::string& logPath) {
    const std::string content = norvale::testbed::readWholeFile(logPath).value_or("");
    // A whole log ends with CR LF; a line's own text may hold line feeds.
    if (!content.empty() && content.size() >= 2 &&
        content.compare(content.size() - 2, 2, "\r\n") != 0)
        return norvale::testbed::splitLogLines(content).back();
    for (const std::string& line : norvale::testbed::splitLogLines(content)) {
        const norvale::testbed::LogRecord record = norvale::testbed::parseLogLine(line);
        if (record.mark != "[I]" && record.mark != "[?]" && record.mark != "[!]") return line;
    }
    return {};
}

std::vector<std::string> logTexts(const std::string& logPath, const std::string& mark,
                                  const std::string& prefix) {
    std::vector<std::string> texts;
    const std::string content = norvale::testbed::readWholeFile(logPath).value_or("");
    for (const norvale::testbed::LogRecord& record : norvale::testbed::parseLog(content))
        if (record.mark == mark && record.text.compare(0, prefix.size(), prefix) == 0)
            texts.push_back(record.text.substr(prefix.size()));
    return texts;
}

bool logHas(const std::string& logPath, const std::string& mark, const std::string& text) {
    return !logTexts(logPath, mark, text).empty();
}

bool boxShown(const RunEnd& end, const std::string& text) {
    for (const SeenBox& box : end.boxes)
        if (box.text == text) return true;
    return false;
}

}  // namespace faults
