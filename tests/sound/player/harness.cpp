#include "harness.h"

std::vector<std::string> linesWith(const std::vector<std::string> &log, const std::string &prefix)
{
    std::vector<std::string> out;
    for (const auto &l : log)
        if (l.compare(0, prefix.size(), prefix) == 0)
            out.push_back(l);
    return out;
}

std::vector<std::string> tickLines(const std::vector<std::string> &log, int tick)
{
    std::vector<std::string> out;
    std::string mark = "tick " + std::to_string(tick);
    bool in = false;
    for (const auto &l : log) {
        if (l.compare(0, 5, "tick ") == 0) {
            in = l == mark;
            continue;
        }
        if (in)
            out.push_back(l);
    }
    return out;
}

xmw::Module simpleModule(unsigned chans, unsigned rows)
{
    xmw::Module m(chans);
    m.pattern(0, rows);
    xmw::Sample &s = m.instrument().sample8({0, 20, 40, 60, 40, 20, 0, -20, -40, -60, -40, -20,
                                             0, 10, 0, -10});
    s.loopKind = 1;
    s.loopStart = 0;
    s.loopLength = 16;
    return m;
}
