// Running the modtool command from the tests: status, standard output and
// standard error; files in the test's temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct ToolRun {
    int status;
    std::string out, err;
};

inline std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A path in the temporary directory, private to this process.
inline std::string temp(const std::string &name)
{
    return std::string(::testing::TempDir()) + "q5_modtool_" + std::to_string(getpid()) + "_" + name;
}

// Runs modtool with the arguments (no input, sound to ALSA's null device,
// at most 60 s).
inline ToolRun modtool(const std::string &args)
{
    std::string out = temp("stdout"), err = temp("stderr");
    std::string cmd = "Q5_ALSA_DEVICE=null timeout 60 " + std::string(MODTOOL_PATH) + " " + args + " >" + out +
                      " 2>" + err + " </dev/null";
    int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
}

inline std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> v;
    std::stringstream ss(text);
    for (std::string line; std::getline(ss, line);)
        v.push_back(line);
    return v;
}
