// An output file that replaces its target only once it is complete: it is
// written under a temporary name beside the target and renamed over it at
// the end, so a failed or interrupted run leaves the old file as it was and
// no half-written one. The target may not be the input file, under any name.
#pragma once

#include <string>

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Checks the target against the input and creates the file to write.
    // False with a one-line message. A target that exists and is not a
    // regular file (/dev/null, a pipe) is written directly.
    bool create(const std::string &target, const std::string &input, std::string *error);
    // Where to write: the temporary file, or the target when written directly.
    const std::string &path() const { return path_; }
    // Puts the written file in place of the target. False with a message
    // (the temporary file is removed then).
    bool commit(std::string *error);

private:
    void discard();

    std::string target_, path_;
    bool temporary_ = false;
};
