// Raw keyboard input with the terminal restored on every exit path.
#include "terminal.h"

#include <csignal>
#include <cstdlib>
#include <initializer_list>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

termios saved;
volatile sig_atomic_t haveSaved = 0;

void restore()
{
    if (haveSaved) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        haveSaved = 0;
    }
}

void onSignal(int sig)
{
    restore();
    // Show the cursor again and end the status line before dying.
    const char tail[] = "\033[?25h\n";
    ssize_t ignored = write(STDOUT_FILENO, tail, sizeof tail - 1);
    (void)ignored;
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

RawTerminal::RawTerminal()
{
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0)
        return;
    haveSaved = 1;
    static bool hooked = false;
    if (!hooked) {
        std::atexit(restore);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            std::signal(sig, onSignal);
        hooked = true;
    }
    termios raw = saved;
    raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    active_ = true;
}

RawTerminal::~RawTerminal() { restore(); }

int RawTerminal::readKey()
{
    // Never waits, also when standard input is a pipe rather than a terminal.
    pollfd in = {STDIN_FILENO, POLLIN, 0};
    if (poll(&in, 1, 0) != 1 || !(in.revents & POLLIN))
        return -1;
    unsigned char c;
    if (read(STDIN_FILENO, &c, 1) != 1)
        return -1;
    if (c != 0x1B)
        return c;
    // Escape sequences of the arrow keys: ESC [ C / ESC [ D.
    unsigned char seq[2];
    if (read(STDIN_FILENO, &seq[0], 1) != 1 || read(STDIN_FILENO, &seq[1], 1) != 1)
        return 0x1B;
    if (seq[0] == '[' && seq[1] == 'C')
        return keyRight;
    if (seq[0] == '[' && seq[1] == 'D')
        return keyLeft;
    return -1;
}
