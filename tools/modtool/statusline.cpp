// The status line of play.
#include "statusline.h"

#include <cstdio>

std::string clockText(double seconds)
{
    char buf[32];
    int whole = seconds > 0 ? int(seconds) : 0;
    std::snprintf(buf, sizeof buf, "%d:%02d", whole / 60, whole % 60);
    return buf;
}

size_t columns(const std::string &text)
{
    size_t n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80;  // continuation bytes take no column
    return n;
}

std::string statusLine(const StatusFields &f, unsigned width)
{
    const std::string core = "pos " + std::to_string(f.position) + "/" +
                             std::to_string(f.songLength) + "  " + clockText(f.songTime) + "/" +
                             clockText(f.duration);
    const std::string where =
        "  pat " + std::to_string(f.pattern) + " row " + std::to_string(f.row);
    const std::string volume = "  vol " + std::to_string(f.volume);
    const std::string pace = "  spd " + std::to_string(f.speed) + " bpm " + std::to_string(f.tempo);
    const std::string meters = f.meters.empty() ? "" : "  [" + f.meters + "]";
    const std::string marks = std::string(f.looping ? "  loop" : "") + (f.paused ? "  paused" : "");
    const size_t room = width > 1 ? width - 1 : 0;
    // From everything down to the core, dropping the least useful first.
    const std::string candidates[] = {
        core + where + pace + volume + meters + marks, core + where + pace + volume + marks,
        core + where + volume + marks, core + where + marks, core + marks};
    for (const std::string &line : candidates)
        if (columns(line) <= room)
            return line;
    std::string cut = core + marks;  // plain ASCII: one byte per column
    return cut.substr(0, room);
}
