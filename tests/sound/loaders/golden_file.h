// Pinned text files under tests/sound/loaders/golden: a test's text must
// equal the file; with Q5_UPDATE_GOLDEN set, the file is written instead
// and the test fails, so an update never passes for a check (explain the
// change in the commit).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

inline void checkGolden(const std::string &name, const std::string &text)
{
    const std::string path = std::string(Q5_SOURCE_DIR) + "/tests/sound/loaders/golden/" + name;
    if (std::getenv("Q5_UPDATE_GOLDEN")) {
        std::ofstream(path) << text;
        FAIL() << "wrote " << path << " (Q5_UPDATE_GOLDEN is set)";
    }
    std::ifstream in(path);
    ASSERT_TRUE(in) << "missing " << path;
    std::stringstream pinned;
    pinned << in.rdbuf();
    EXPECT_EQ(text, pinned.str()) << name << " changed";
}
