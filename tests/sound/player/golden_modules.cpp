#include "golden_modules.h"

#include <cmath>

namespace {

xmw::Sample &looped(xmw::Instrument &in, int len, bool is16 = false)
{
    // One sine period per loop: smooth enough that the mixing modes differ
    // by their arithmetic, not by how they sample a jagged wave.
    std::vector<int> pcm;
    for (int i = 0; i < len; i++)
        pcm.push_back(static_cast<int>(std::lround(100 * std::sin(6.283185307179586 * i / len))) *
                      (is16 ? 200 : 1));
    xmw::Sample &s = is16 ? in.sample16(pcm) : in.sample8(pcm);
    s.loopKind = 1;
    s.loopLength = static_cast<uint32_t>(len * (is16 ? 2 : 1));
    return s;
}

}  // namespace

xmw::Module pitchModule()
{
    xmw::Module m(2);
    m.speed = 4;
    looped(m.instrument(), 64);
    looped(m.instrument(), 32, true).relNote = 12;
    m.pattern(0, 8)
        .set(0, 0, "C-4 01 .. 037").set(0, 1, "E-3 02 30 ...")
        .set(1, 0, "... .. .. 102").set(1, 1, "G-3 .. .. 308")
        .set(2, 0, "... .. .. 203").set(2, 1, "... .. .. 300")
        .set(3, 0, "D-4 01 .. 462").set(3, 1, "... .. .. 604")
        .set(4, 0, "... .. .. 400").set(4, 1, "... .. .. E12")
        .set(5, 0, "... .. .. 740").set(5, 1, "... .. .. X14")
        .set(6, 0, "... .. 30 ...").set(6, 1, "... .. .. E23")
        .set(7, 0, "=== .. .. ...").set(7, 1, "... .. .. X22");
    return m;
}

xmw::Module envelopeModule()
{
    xmw::Module m(1);
    m.speed = 3;
    xmw::Instrument &in = m.instrument();
    looped(in, 48);
    in.vol.on = true;
    in.vol.points = {{0, 0}, {3, 64}, {6, 40}, {12, 20}};
    in.vol.sustain = 2;
    in.pan.on = true;
    in.pan.points = {{0, 32}, {4, 0}, {8, 64}};
    in.pan.loopStart = 0;
    in.pan.loopEnd = 2;
    in.fadeout = 4096;
    in.vibType = 0;
    in.vibSweep = 3;
    in.vibDepth = 6;
    in.vibRate = 40;
    m.pattern(0, 10).set(0, 0, "C-5 01 .. ...").set(5, 0, "=== .. .. ...");
    m.linear = false;
    return m;
}

xmw::Module flowModule()
{
    xmw::Module m(2);
    m.speed = 3;
    m.orders = {0, 1, 0};
    looped(m.instrument(), 40);
    m.pattern(0, 6)
        .set(0, 0, "C-4 01 .. E60").set(0, 1, "G-4 01 .. E93")
        .set(1, 0, "... .. .. W01").set(1, 1, "A-4 01 .. ED1")
        .set(2, 0, "D-4 01 .. E61").set(2, 1, "... .. .. EC2")
        .set(3, 0, "... .. .. EE1").set(3, 1, "C-5 01 .. R21")
        .set(4, 0, "... .. .. D02");
    m.pattern(1, 4)
        .set(0, 0, "E-4 01 .. F04").set(0, 1, "... .. .. 908")
        .set(1, 0, "C-4 01 .. 904").set(1, 1, "... .. .. W02")
        .set(2, 0, "... .. .. B02");
    return m;
}

xmw::Module volpanModule()
{
    xmw::Module m(3);
    m.speed = 5;
    m.linear = false;
    xmw::Sample &s = looped(m.instrument(), 32);
    s.fineTune = -70;
    s.panning = 30;
    looped(m.instrument(), 32).fineTune = 90;
    m.pattern(0, 6)
        .set(0, 0, "C-3 01 50 ...").set(0, 1, "F#6 02 .. P0F").set(0, 2, "A-1 01 C2 ...")
        .set(1, 0, "... .. 63 ...").set(1, 1, "... .. D4 ...").set(1, 2, "... .. .. P40")
        .set(2, 0, "... .. 72 ...").set(2, 1, "... .. E3 H02").set(2, 2, "... .. B5 ...")
        .set(3, 0, "... .. 84 ...").set(3, 1, "... .. 9A G20").set(3, 2, "... .. .. 800")
        .set(4, 0, "... .. A4 A0F").set(4, 1, "C-6 .. F4 ...").set(4, 2, "... .. .. 8FF")
        .set(5, 0, "... .. .. 1FF").set(5, 1, "... .. .. HA0");
    return m;
}
