// Output files written beside their target and renamed into place.
#include "outfile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary file of the run, for the signal handler: a render stopped by
// Ctrl-C or a kill leaves no stray file either.
char pendingPath[PATH_MAX + 16];
volatile sig_atomic_t pending = 0;
const int endingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void onSignal(int sig)
{
    if (pending)
        unlink(pendingPath);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void watch(const std::string &path)
{
    if (path.size() >= sizeof pendingPath)
        return;
    std::memcpy(pendingPath, path.c_str(), path.size() + 1);
    pending = 1;
    for (int sig : endingSignals)
        std::signal(sig, onSignal);
}

void unwatch()
{
    pending = 0;
    for (int sig : endingSignals)
        std::signal(sig, SIG_DFL);
}

// A symbolic link is followed, so that the file it names gets the output and
// the link stays a link. A dangling link is replaced like a missing file.
std::string resolve(const std::string &target)
{
    struct stat st;
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return target;
    char *real = realpath(target.c_str(), nullptr);
    if (real == nullptr)
        return target;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::create(const std::string &target, const std::string &input, std::string *error)
{
    target_ = resolve(target);
    struct stat out, in;
    const bool exists = stat(target_.c_str(), &out) == 0;
    if (exists) {
        if (stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
            *error = "the output is the input file";
            return false;
        }
        if (S_ISDIR(out.st_mode)) {
            *error = std::strerror(EISDIR);
            return false;
        }
        if (access(target_.c_str(), W_OK) != 0) {
            *error = std::strerror(errno);  // a read-only file stays read-only
            return false;
        }
        if (!S_ISREG(out.st_mode)) {
            path_ = target_;  // a device or a pipe cannot be renamed over
            return true;
        }
    }
    const size_t slash = target_.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string pattern = dir + "." + name + ".XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; give it the mode the old file had, or
    // the one a newly created file would get.
    mode_t mode;
    if (exists) {
        mode = out.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    const bool ok = fchmod(fd, mode) == 0;
    const int chmodError = errno;
    close(fd);
    path_ = pattern;
    temporary_ = true;
    watch(path_);
    if (!ok) {
        *error = std::strerror(chmodError);
        discard();
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string *error)
{
    if (!temporary_)
        return true;
    if (rename(path_.c_str(), target_.c_str()) != 0) {
        *error = std::strerror(errno);
        discard();
        return false;
    }
    temporary_ = false;
    unwatch();
    return true;
}

void OutputFile::discard()
{
    if (!temporary_)
        return;
    unlink(path_.c_str());
    temporary_ = false;
    unwatch();
}
