// ProTracker-style module writer for tests.
#include "support/mod_writer.h"

#include <algorithm>

namespace modw {

Cell &Module::cell(unsigned p, unsigned row, unsigned channel)
{
    if (patterns.size() <= p)
        patterns.resize(p + 1);
    patterns[p].resize(64 * channels);
    return patterns[p][row * channels + channel];
}

static void putBE16(std::vector<uint8_t> &out, size_t at, unsigned v)
{
    out[at] = static_cast<uint8_t>(v >> 8);
    out[at + 1] = static_cast<uint8_t>(v);
}

std::vector<uint8_t> write(const Module &m)
{
    std::vector<uint8_t> out(1084, 0);
    std::copy_n(m.name.begin(), std::min<size_t>(m.name.size(), 20), out.begin());
    for (size_t i = 0; i < m.samples.size() && i < 31; i++) {
        const Sample &s = m.samples[i];
        size_t at = 20 + 30 * i;
        std::copy_n(s.name.begin(), std::min<size_t>(s.name.size(), 22), out.begin() + at);
        putBE16(out, at + 22, static_cast<unsigned>(s.data.size() / 2));
        out[at + 24] = s.finetune;
        out[at + 25] = s.volume;
        putBE16(out, at + 26, s.loopStart);
        putBE16(out, at + 28, s.loopLength);
    }
    out[950] = static_cast<uint8_t>(m.songLength >= 0 ? m.songLength : static_cast<int>(m.orders.size()));
    out[951] = m.restart;
    unsigned numPatts = 0;
    for (size_t i = 0; i < m.orders.size() && i < 128; i++) {
        out[952 + i] = m.orders[i];
        numPatts = std::max(numPatts, m.orders[i] + 1u);
    }
    for (size_t i = 0; i < 4 && i < m.tag.size(); i++)
        out[1080 + i] = static_cast<uint8_t>(m.tag[i]);
    for (unsigned p = 0; p < numPatts; p++) {
        for (unsigned c = 0; c < 64 * m.channels; c++) {
            Cell cell;
            if (p < m.patterns.size() && c < m.patterns[p].size())
                cell = m.patterns[p][c];
            out.push_back(static_cast<uint8_t>((cell.instrument & 0xF0) | ((cell.period >> 8) & 0x0F)));
            out.push_back(static_cast<uint8_t>(cell.period));
            out.push_back(static_cast<uint8_t>(((cell.instrument & 0x0F) << 4) | (cell.effect & 0x0F)));
            out.push_back(cell.param);
        }
    }
    for (const Sample &s : m.samples)
        for (size_t j = 0; j < s.data.size() / 2 * 2; j++)
            out.push_back(static_cast<uint8_t>(s.data[j]));
    return out;
}

}  // namespace modw
