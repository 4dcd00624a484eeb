#include "common/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* option;
    bool wantValue;
    bool found;
    std::vector<std::string> rest;
    const char* value;  // expected value; nullptr for none
};

}  // namespace

TEST(FindOption, Cases) {
    const Case cases[] = {
        {"flag removed", {"prog", "-registry"}, "-registry", false, true, {"prog"}, nullptr},
        {"flag in the middle", {"prog", "-a", "-registry", "-b"}, "-registry", false, true,
         {"prog", "-a", "-b"}, nullptr},
        {"slot 0 is searched", {"-f", "x"}, "-f", false, true, {"x"}, nullptr},
        {"not found", {"prog", "-Registry"}, "-registry", false, false, {"prog", "-Registry"},
         nullptr},
        {"prefix is no match", {"prog", "-registryx"}, "-registry", false, false,
         {"prog", "-registryx"}, nullptr},
        {"value taken", {"prog", "-f", "7", "tail"}, "-f", true, true, {"prog", "tail"}, "7"},
        {"first of two", {"prog", "-f", "1", "-f", "2"}, "-f", true, true, {"prog", "-f", "2"},
         "1"},
        {"value missing", {"prog", "-f"}, "-f", true, false, {"prog"}, nullptr},
        {"nothing to search", {}, "-f", true, false, {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> storage = c.args;
        std::vector<char*> argv;
        for (std::string& arg : storage) argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        int argc = static_cast<int>(storage.size());
        char marker[] = "unset";
        char* value = marker;

        bool found = findOption(argc, argv.data(), c.option, c.wantValue ? &value : nullptr);

        EXPECT_EQ(c.found, found);
        ASSERT_EQ(static_cast<int>(c.rest.size()), argc);
        for (int i = 0; i < argc; ++i) EXPECT_EQ(c.rest[i], argv[i]);
        EXPECT_EQ(nullptr, argv[argc]) << "vector stays terminated";
        if (!c.wantValue) {
            EXPECT_EQ(marker, value);
        } else if (c.found || c.rest.size() != c.args.size()) {
            if (c.value)
                EXPECT_STREQ(c.value, value);
            else
                EXPECT_EQ(nullptr, value);
        } else {
            EXPECT_EQ(marker, value) << "value untouched when nothing was found";
        }
    }
}

TEST(FindOption, RepeatedOptionIsRemovedOncePerCall) {
    char prog[] = "prog", a[] = "-registry", b[] = "-registry";
    char* argv[] = {prog, a, b, nullptr};
    int argc = 3;
    EXPECT_TRUE(findOption(argc, argv, "-registry"));
    EXPECT_EQ(2, argc);
    EXPECT_TRUE(findOption(argc, argv, "-registry"));
    EXPECT_EQ(1, argc);
    EXPECT_FALSE(findOption(argc, argv, "-registry"));
    EXPECT_EQ(1, argc);
    EXPECT_STREQ("prog", argv[0]);
}

TEST(FindOption, NoOptionWordOrNoCount) {
    char prog[] = "prog";
    char* argv[] = {prog, nullptr};
    int argc = 1;
    EXPECT_FALSE(findOption(argc, argv, nullptr));
    int none = 0;
    EXPECT_FALSE(findOption(none, argv, "prog"));
    int negative = -1;
    EXPECT_FALSE(findOption(negative, argv, "prog"));
    EXPECT_EQ(1, argc);
    EXPECT_EQ(-1, negative);
}
