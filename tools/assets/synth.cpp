#include "tools/assets/synth.h"

#include <algorithm>
#include <cmath>

namespace assets {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMiddleC = 261.6255653;

// Deterministic noise source (xorshift32), uniform in -1..1.
class Noise {
public:
    explicit Noise(uint32_t seed) : s_(seed ? seed : 1) {}
    float next()
    {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return static_cast<float>(s_ & 0xFFFFFF) / 8388607.5f - 1.0f;
    }

private:
    uint32_t s_;
};

// Two-pole state-variable filter, for noise colouring.
struct Svf {
    float low = 0, band = 0;
    // f: 2 sin(pi fc / rate); q: damping (2 = none, small = resonant).
    float high_pass(float in, float f, float q)
    {
        low += f * band;
        const float high = in - low - q * band;
        band += f * high;
        return high;
    }
    float band_pass(float in, float f, float q)
    {
        low += f * band;
        const float high = in - low - q * band;
        band += f * high;
        return band;
    }
};

float coeff(double fc, double rate)
{
    return static_cast<float>(2.0 * std::sin(kPi * std::min(fc, rate / 6.0) / rate));
}

XmInstrument one_shot(const char *name, std::vector<float> v, double rate, float gain,
                      uint8_t volume)
{
    XmInstrument ins;
    ins.name = name;
    XmSample s;
    s.name = name;
    s.data = to_pcm(v, gain);
    const Tuning t = tuning_for_rate(rate);
    s.relative_note = t.relative_note;
    s.finetune = t.finetune;
    s.volume = volume;
    ins.samples.push_back(std::move(s));
    return ins;
}

// Peak-normalises to 1.
void normalise(std::vector<float> &v)
{
    float peak = 0;
    for (float x : v)
        peak = std::max(peak, std::fabs(x));
    if (peak > 0)
        for (float &x : v)
            x /= peak;
}

// One band-limited cycle-exact tone: frames of a waveform with the given
// harmonic amplitudes (index 1 = fundamental), period in frames.
float harmonic_sum(const std::vector<float> &amps, double phase)
{
    float s = 0;
    for (size_t k = 1; k < amps.size(); ++k)
        if (amps[k] != 0)
            s += amps[k] * static_cast<float>(std::sin(phase * static_cast<double>(k)));
    return s;
}

XmEnvelope envelope(std::initializer_list<std::pair<uint16_t, uint16_t>> pts, int sustain = -1)
{
    XmEnvelope e;
    e.points.assign(pts.begin(), pts.end());
    e.sustain = sustain;
    return e;
}

}  // namespace

Tuning tuning_for_rate(double rate_at_c4)
{
    const long total = std::lround(12.0 * std::log2(rate_at_c4 / 8363.0) * 128.0);
    // Nearest semitone, so that the finetune stays within -64..63.
    const long rel = static_cast<long>(std::floor((static_cast<double>(total) + 64.0) / 128.0));
    return {static_cast<int8_t>(rel), static_cast<int8_t>(total - rel * 128)};
}

Tuning tuning_for_period(double period_frames) { return tuning_for_rate(kMiddleC * period_frames); }

std::vector<int16_t> to_pcm(const std::vector<float> &v, float gain)
{
    std::vector<int16_t> out(v.size());
    for (size_t i = 0; i < v.size(); ++i)
        out[i] =
            static_cast<int16_t>(std::clamp(std::lround(v[i] * gain * 32767.0f), -32767L, 32767L));
    return out;
}

XmInstrument make_kick()
{
    const double rate = 22050;
    std::vector<float> v(static_cast<size_t>(rate * 0.42));
    double phase = 0;
    Noise n(7);
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f = 46.0 + 130.0 * std::exp(-t * 28.0);  // pitch falls from ~176 Hz to 46 Hz
        phase += 2 * kPi * f / rate;
        const double amp = std::exp(-t * 7.5) * std::min(1.0, t * 2000.0);
        const double click = std::exp(-t * 400.0) * 0.5 * n.next();
        // A little soft saturation gives the body more punch.
        v[i] = static_cast<float>(std::tanh(1.6 * std::sin(phase) * amp) + click);
    }
    normalise(v);
    return one_shot("kick", v, rate, 0.95f, 64);
}

XmInstrument make_snare()
{
    const double rate = 22050;
    std::vector<float> v(static_cast<size_t>(rate * 0.3));
    Noise n(11);
    Svf hp;
    double phase = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f = 180.0 + 60.0 * std::exp(-t * 40.0);
        phase += 2 * kPi * f / rate;
        const float body = static_cast<float>(std::sin(phase) * std::exp(-t * 22.0));
        const float noise = hp.high_pass(n.next(), coeff(1800, rate), 1.2f) *
                            static_cast<float>(std::exp(-t * 13.0));
        v[i] = 0.55f * body + 0.8f * noise;
    }
    normalise(v);
    return one_shot("snare", v, rate, 0.9f, 60);
}

namespace {
std::vector<float> hat_noise(double rate, double seconds, double decay, uint32_t seed)
{
    std::vector<float> v(static_cast<size_t>(rate * seconds));
    Noise n(seed);
    Svf a, b;
    // Metallic colour: six square-wave partials at inharmonic ratios, plus noise.
    static const double partials[] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        float metal = 0;
        for (double p : partials)
            metal += std::sin(2 * kPi * p * 7.3 * t) > 0 ? 1.0f : -1.0f;
        const float mixd = 0.12f * metal + n.next();
        const float hi =
            b.high_pass(a.high_pass(mixd, coeff(6500, rate), 1.0f), coeff(7000, rate), 1.4f);
        v[i] = hi * static_cast<float>(std::exp(-t * decay)) *
               static_cast<float>(std::min(1.0, t * 3000.0));
    }
    normalise(v);
    return v;
}
}  // namespace

XmInstrument make_closed_hat()
{
    return one_shot("closed hat", hat_noise(22050, 0.08, 60, 21), 22050, 0.7f, 40);
}
XmInstrument make_open_hat()
{
    return one_shot("open hat", hat_noise(22050, 0.4, 9, 23), 22050, 0.6f, 36);
}

XmInstrument make_crash()
{
    const double rate = 22050;
    std::vector<float> v = hat_noise(rate, 1.4, 2.6, 29);
    // Soften the very top a little so it washes rather than hisses.
    float prev = 0;
    for (float &x : v) {
        prev = 0.7f * x + 0.3f * prev;
        x = prev;
    }
    normalise(v);
    return one_shot("crash", v, rate, 0.6f, 44);
}

XmInstrument make_bass()
{
    // A saw-and-sub tone at period 128 frames whose brightness closes over the
    // first 60 cycles, then a steady 4-cycle loop.
    constexpr int kPeriod = 128, kAttack = 60, kLoop = 4;
    std::vector<float> v(static_cast<size_t>(kPeriod * (kAttack + kLoop)));
    std::vector<float> amps(33);
    for (size_t i = 0; i < v.size(); ++i) {
        const int cycle = std::min(static_cast<int>(i) / kPeriod, kAttack);
        const double bright =
            2.0 + 22.0 * std::exp(-cycle / 14.0);  // harmonics that pass the "filter"
        for (size_t k = 1; k < amps.size(); ++k) {
            const double kk = static_cast<double>(k);
            const double lp = 1.0 / (1.0 + std::pow(kk / bright, 4.0));
            amps[k] = static_cast<float>(lp / kk);
        }
        amps[1] += 0.6f;  // sub weight
        const double phase = 2 * kPi * static_cast<double>(i % kPeriod) / kPeriod;
        v[i] = harmonic_sum(amps, phase);
    }
    normalise(v);
    XmInstrument ins = one_shot("bass", v, 1, 0.9f, 56);
    const Tuning t = tuning_for_period(kPeriod);
    XmSample &s = ins.samples[0];
    s.relative_note = t.relative_note;
    s.finetune = t.finetune;
    s.loop = XmLoop::forward;
    s.loop_start = kPeriod * kAttack;
    s.loop_length = kPeriod * kLoop;
    ins.volume_env = envelope({{0, 64}, {6, 52}, {40, 40}, {44, 0}}, 2);
    ins.fadeout = 2048;
    return ins;
}

XmInstrument make_pad()
{
    // Three detuned saws (127, 128 and 129 cycles in the loop) and an octave,
    // band-limited by additive synthesis: a chorus that loops seamlessly.
    constexpr int kLen = 16384, kCycles = 128;
    std::vector<float> v(kLen);
    static const int voices[] = {127, 128, 129, 256};
    static const float gains[] = {0.8f, 1.0f, 0.8f, 0.35f};
    for (int vi = 0; vi < 4; ++vi) {
        const int harmonics = vi == 3 ? 8 : 14;
        for (int k = 1; k <= harmonics; ++k) {
            const double soft = 1.0 / (1.0 + std::pow(k / 6.0, 3.0));
            const float a = static_cast<float>(gains[vi] * soft / k);
            const double step = 2 * kPi * voices[vi] * k / kLen;
            const double offset = vi * 1.7 + k * 0.9;  // spread the phases
            for (int i = 0; i < kLen; ++i)
                v[static_cast<size_t>(i)] += a * static_cast<float>(std::sin(step * i + offset));
        }
    }
    normalise(v);
    XmInstrument ins = one_shot("pad", v, 1, 0.8f, 40);
    const Tuning t = tuning_for_period(static_cast<double>(kLen) / kCycles);
    XmSample &s = ins.samples[0];
    s.relative_note = t.relative_note;
    s.finetune = t.finetune;
    s.loop = XmLoop::forward;
    s.loop_start = 0;
    s.loop_length = kLen;
    // Slow swell and long release; the panning drifts slowly from side to side.
    ins.volume_env = envelope({{0, 0}, {40, 48}, {90, 64}, {100, 60}, {180, 0}}, 3);
    ins.panning_env = envelope({{0, 32}, {60, 20}, {120, 44}, {180, 32}});
    ins.panning_env.loop_start = 0;
    ins.panning_env.loop_end = 3;
    ins.fadeout = 600;
    ins.vibrato_type = 0;
    ins.vibrato_sweep = 0;
    ins.vibrato_depth = 2;
    ins.vibrato_rate = 6;
    return ins;
}

XmInstrument make_lead()
{
    // Pulse-like tone (odd harmonics, some even) with a bright attack that
    // settles into a 4-cycle loop at period 64 frames.
    constexpr int kPeriod = 64, kAttack = 40, kLoop = 4;
    std::vector<float> v(static_cast<size_t>(kPeriod * (kAttack + kLoop)));
    std::vector<float> amps(24);
    for (size_t i = 0; i < v.size(); ++i) {
        const int cycle = std::min(static_cast<int>(i) / kPeriod, kAttack);
        const double bright = 7.0 + 12.0 * std::exp(-cycle / 10.0);
        for (size_t k = 1; k < amps.size(); ++k) {
            const double kk = static_cast<double>(k);
            const double lp = 1.0 / (1.0 + std::pow(kk / bright, 3.0));
            amps[k] = static_cast<float>(lp * (k % 2 ? 1.0 : 0.35) / kk);
        }
        v[i] = harmonic_sum(amps, 2 * kPi * static_cast<double>(i % kPeriod) / kPeriod);
    }
    normalise(v);
    XmInstrument ins = one_shot("lead", v, 1, 0.75f, 44);
    const Tuning t = tuning_for_period(kPeriod);
    XmSample &s = ins.samples[0];
    s.relative_note = t.relative_note;
    s.finetune = t.finetune;
    s.loop = XmLoop::forward;
    s.loop_start = kPeriod * kAttack;
    s.loop_length = kPeriod * kLoop;
    ins.volume_env = envelope({{0, 0}, {2, 64}, {12, 50}, {30, 46}, {50, 0}}, 3);
    ins.fadeout = 1024;
    // Delayed automatic vibrato: it swells in over 40 ticks.
    ins.vibrato_type = 0;
    ins.vibrato_sweep = 40;
    ins.vibrato_depth = 6;
    ins.vibrato_rate = 10;
    return ins;
}

XmInstrument make_pluck()
{
    // Plucked string: a noise burst circulating in a damped delay line of 100
    // frames at 44100 Hz (441 Hz).
    const double rate = 44100;
    constexpr int kPeriod = 100;
    std::vector<float> v(static_cast<size_t>(rate * 0.55));
    std::vector<float> line(kPeriod);
    Noise n(31);
    for (float &x : line)
        x = n.next();
    for (size_t i = 0; i < v.size(); ++i) {
        const size_t j = i % kPeriod;
        const float out = line[j];
        line[j] = 0.996f * 0.5f * (line[j] + line[(j + 1) % kPeriod]);
        v[i] = out;
    }
    // Fade the tail to nothing.
    for (size_t i = v.size() - 2000; i < v.size(); ++i)
        v[i] *= static_cast<float>(v.size() - i) / 2000.0f;
    normalise(v);
    XmInstrument ins = one_shot("pluck", v, 1, 0.8f, 48);
    // The delay line adds half a frame of group delay.
    const Tuning t = tuning_for_period(kPeriod + 0.5);
    ins.samples[0].relative_note = t.relative_note;
    ins.samples[0].finetune = t.finetune;
    return ins;
}

XmInstrument make_bell()
{
    // Two-operator FM bell, modulator at 3.5 x the carrier (period 64 frames).
    const double rate = 22050;
    constexpr double kPeriod = 64;
    const double fc = rate / kPeriod;
    std::vector<float> v(static_cast<size_t>(rate * 1.3));
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double index = 3.0 * std::exp(-t * 4.0);
        const double mod = index * std::sin(2 * kPi * fc * 3.5 * t);
        const double env = std::exp(-t * 3.2) * std::min(1.0, t * 800.0);
        v[i] = static_cast<float>(
            env * (std::sin(2 * kPi * fc * t + mod) + 0.3 * std::sin(2 * kPi * fc * 2.0 * t)));
    }
    normalise(v);
    XmInstrument ins = one_shot("bell", v, 1, 0.8f, 40);
    const Tuning t = tuning_for_period(kPeriod);
    ins.samples[0].relative_note = t.relative_note;
    ins.samples[0].finetune = t.finetune;
    ins.panning_env = envelope({{0, 20}, {30, 44}, {60, 20}});
    ins.panning_env.loop_start = 0;
    ins.panning_env.loop_end = 2;
    return ins;
}

XmInstrument make_riser()
{
    // Noise through a resonant band-pass sweeping upward: a whoosh into the
    // next section (played with a pitch slide on top).
    const double rate = 16000;
    std::vector<float> v(static_cast<size_t>(rate * 1.6));
    Noise n(41);
    Svf f;
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(i) / v.size();
        const double fc = 300.0 * std::pow(12.0, t);
        const float s = f.band_pass(n.next(), coeff(fc, rate), 0.25f);
        v[i] = s * static_cast<float>(std::pow(t, 1.5) * std::min(1.0, (1.0 - t) * 30.0));
    }
    normalise(v);
    return one_shot("riser", v, rate, 0.7f, 40);
}

}  // namespace assets
