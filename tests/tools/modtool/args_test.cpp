// The command line: options anywhere, "--", values that look like options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "args.h"

namespace {

bool parse(std::vector<std::string> words, Args *args, std::string *error)
{
    words.insert(words.begin(), "modtool");
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(&w[0]);
    return parseArgs(int(argv.size()), argv.data(), args, error);
}

}  // namespace

TEST(ModtoolArgs, OptionsComeBeforeOrAfterTheFiles)
{
    Args a, b;
    std::string error;
    ASSERT_TRUE(parse({"render", "-o", "-", "--rate=22050", "song.xm"}, &a, &error)) << error;
    ASSERT_TRUE(parse({"render", "song.xm", "--output", "-", "--rate", "22050"}, &b, &error));
    for (const Args *x : {&a, &b}) {
        EXPECT_EQ(x->command, "render");
        EXPECT_EQ(x->files, std::vector<std::string>{"song.xm"});
        EXPECT_EQ(x->value("--output"), "-");
        EXPECT_EQ(x->value("--rate"), "22050");
    }
    // After "--" everything is a file; the value of an option may start with '-'.
    ASSERT_TRUE(parse({"play", "--loop", "a.mod", "--", "--loop", "-b.mod"}, &a, &error));
    EXPECT_EQ(a.files, (std::vector<std::string>{"a.mod", "--loop", "-b.mod"}));
    EXPECT_TRUE(a.has("--loop"));
    ASSERT_TRUE(parse({"render", "x.it", "-o", "--rate"}, &a, &error));
    EXPECT_EQ(a.value("--output"), "--rate");
    EXPECT_FALSE(a.has("--rate"));
    // Global options before the command; help for a command.
    ASSERT_TRUE(parse({"--version"}, &a, &error));
    EXPECT_TRUE(a.has("--version") && a.command.empty());
    ASSERT_TRUE(parse({"help", "render"}, &a, &error));
    EXPECT_TRUE(a.help);
    EXPECT_EQ(a.files, std::vector<std::string>{"render"});
}

TEST(ModtoolArgs, UsageErrorsNameTheWord)
{
    const struct {
        std::vector<std::string> words;
        const char *error;
    } cases[] = {{{}, "no command given"},
                 {{"--bogus", "info", "x"}, "unknown option --bogus"},
                 {{"convert", "x"}, "unknown command convert"},
                 {{"render", "x", "--rate"}, "--rate needs a value"},
                 {{"sync", "x", "--loops", "2"}, "unknown option --loops for sync"},
                 {{"play", "x", "--loop=yes"}, "--loop takes no value"}};
    for (const auto &c : cases) {
        Args a;
        std::string error;
        EXPECT_FALSE(parse(c.words, &a, &error)) << c.error;
        EXPECT_EQ(error, c.error);
    }
}
