// The injector covers every import of the five programs: each imported
// function is either hooked (it can fail) or named as one that cannot, and
// loading the injector into a program hooks every call of the first kind.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "tests/faults/fault_control.h"
#include "tests/faults/fault_run.h"
#include "tests/faults/pe_imports.h"
#include "tests/support/test_files.h"

namespace {

using faults::Import;

const char* const kPrograms[] = {"norvale-launcher.exe", "norvale-linkprobe.exe",
                                 "norvale-taskctl.exe", "ComEnrol++.exe", "NorvaleRemover.exe"};

using Key = std::pair<std::string, std::string>;

std::set<Key> hookedCalls() {
    std::set<Key> calls;
    for (int id = 0; id < faults::kCallCount; ++id)
        if (!faults::boundAtRunTime(id))
            calls.insert({faults::kCallNames[id].dll, faults::kCallNames[id].name});
    return calls;
}

std::set<Key> neverFailingCalls() {
    std::set<Key> calls;
#define NORVALE_FAULT_NEVER(dll, name, reason) calls.insert({#dll, #name});
    NORVALE_FAULT_NEVER_FAILING(NORVALE_FAULT_NEVER)
#undef NORVALE_FAULT_NEVER
    return calls;
}

TEST(FaultCatalog, EveryImportOfTheProgramsIsHookedOrCannotFail) {
    const std::set<Key> hooked = hookedCalls();
    const std::set<Key> never = neverFailingCalls();
    for (const char* program : kPrograms) {
        const std::string path = norvale::testbed::binPath(program);
        const std::vector<Import> imports = faults::importsOf(path);
        ASSERT_FALSE(imports.empty()) << "no imports read from " << path;
        long fallible = 0;
        for (const Import& import : imports) {
            const Key key{import.dll, import.name};
            EXPECT_FALSE(import.name.empty()) << program << " imports from " << import.dll
                                              << " by ordinal";
            EXPECT_FALSE(hooked.count(key) && never.count(key))
                << import.dll << "!" << import.name << " is listed twice";
            EXPECT_TRUE(hooked.count(key) || never.count(key))
                << program << " imports " << import.dll << "!" << import.name
                << ", which the fault catalog does not name";
            fallible += hooked.count(key) ? 1 : 0;
        }
        // The injector, loaded into the program before its first
        // instruction, hooks each of them.
        faults::FaultedProgram run;
        ASSERT_TRUE(run.load(path, "", "", {})) << run.error();
        EXPECT_EQ(run.patched(), fallible) << program;
    }
}

}  // namespace
