// Raw keyboard input for the playback screen. While a RawTerminal exists,
// standard input delivers single key presses without echo, and the
// terminal's settings are restored when it is destroyed, at exit, and on
// the signals that end the process.
#pragma once

class RawTerminal {
public:
    RawTerminal();
    ~RawTerminal();
    RawTerminal(const RawTerminal &) = delete;
    RawTerminal &operator=(const RawTerminal &) = delete;

    bool active() const { return active_; }

    // The next key, or -1 when none is waiting. Arrow keys come as
    // keyLeft/keyRight.
    int readKey();

    enum { keyLeft = 0x1000, keyRight = 0x1001 };

private:
    bool active_ = false;
};
