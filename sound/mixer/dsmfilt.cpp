// Output filters: the mixer's built-in post-processor. Each filter function
// keeps the last inputs of each output channel across calls, so it runs
// continuously over the whole output.
//
// Filter 1: y[n] = (x[n-1] + 2 x[n]) / 3 (integer: g(v) = v/4 + v/8 - v/32,
// about 11/32 v). Filter 2: y[n] = (x[n-2] + 3 x[n-1] + 4 x[n]) / 8.
// Integer arithmetic is done in 64 bits so that loud accumulators cannot
// overflow; results are stored back as 32-bit accumulators.
#include <cstdint>

#include "sound/mixer/dsm.h"

namespace {

struct IntState {
    int32_t x1, x2;  // previous input, the one before it
};
struct FloatState {
    float x1, x2;
};

// Filter 1 state of each filter-1 function, filter 2 state of each wrapper.
IntState intMono1, intStereo1[2], intMono2, intStereo2[2];
FloatState floatMono1, floatStereo1[2], floatMono2, floatStereo2[2];

inline int32_t g11(int64_t v) { return static_cast<int32_t>((v >> 2) + (v >> 3) - (v >> 5)); }

// Filter 1 over every stride-th value starting at buf[0].
void intFilter1(int32_t *buf, unsigned frames, unsigned stride, IntState *st)
{
    int32_t prev = st->x1;
    for (unsigned n = 0; n < frames; n++) {
        const int32_t x = buf[n * stride];
        buf[n * stride] = g11(static_cast<int64_t>(prev) + 2 * static_cast<int64_t>(x));
        prev = x;
    }
    st->x1 = prev;
}

void intFilter2(int32_t *buf, unsigned frames, unsigned stride, IntState *st)
{
    int32_t x1 = st->x1, x2 = st->x2;
    for (unsigned n = 0; n < frames; n++) {
        const int32_t x = buf[n * stride];
        const int64_t sum =
            static_cast<int64_t>(x2) + 3 * static_cast<int64_t>(x1) + 4 * static_cast<int64_t>(x);
        buf[n * stride] = static_cast<int32_t>(sum >> 3);
        x2 = x1;
        x1 = x;
    }
    st->x1 = x1;
    st->x2 = x2;
}

void floatFilter1(float *buf, unsigned frames, unsigned stride, FloatState *st)
{
    const float third = 1.0f / 3.0f;
    float prev = st->x1;
    for (unsigned n = 0; n < frames; n++) {
        const float x = buf[n * stride];
        buf[n * stride] = (prev + 2.0f * x) * third;
        prev = x;
    }
    st->x1 = prev;
}

void floatFilter2(float *buf, unsigned frames, unsigned stride, FloatState *st)
{
    float x1 = st->x1, x2 = st->x2;
    for (unsigned n = 0; n < frames; n++) {
        const float x = buf[n * stride];
        buf[n * stride] = (3.0f * x1 + x2 + 4.0f * x) * 0.125f;
        x2 = x1;
        x1 = x;
    }
    st->x1 = x1;
    st->x2 = x2;
}

// The filter the output filter option asks for: 0 none, 1, 2.
int filterType()
{
    const int mode = dsmOutputFilterMode == 3 ? dsmAutoFilterType : dsmOutputFilterMode;
    return mode == 1 || mode == 2 ? mode : 0;
}

}  // namespace

void dsmResetFilters(void)
{
    intMono1 = intMono2 = IntState{};
    intStereo1[0] = intStereo1[1] = intStereo2[0] = intStereo2[1] = IntState{};
    floatMono1 = floatMono2 = FloatState{};
    floatStereo1[0] = floatStereo1[1] = floatStereo2[0] = floatStereo2[1] = FloatState{};
}

void dsmFilterIntMono1(int32_t *buffer, unsigned frames)
{
    intFilter1(buffer, frames, 1, &intMono1);
}

void dsmFilterIntStereo1(int32_t *buffer, unsigned frames)
{
    intFilter1(buffer, frames, 2, &intStereo1[0]);
    intFilter1(buffer + 1, frames, 2, &intStereo1[1]);
}

void dsmFilterFloatMono1(float *buffer, unsigned frames)
{
    floatFilter1(buffer, frames, 1, &floatMono1);
}

void dsmFilterFloatStereo1(float *buffer, unsigned frames)
{
    floatFilter1(buffer, frames, 2, &floatStereo1[0]);
    floatFilter1(buffer + 1, frames, 2, &floatStereo1[1]);
}

int dsmFilterIntMono(void *buffer, unsigned frames, void *)
{
    int32_t *b = static_cast<int32_t *>(buffer);
    switch (filterType()) {
    case 1: dsmFilterIntMono1(b, frames); break;
    case 2: intFilter2(b, frames, 1, &intMono2); break;
    }
    return 0;
}

int dsmFilterIntStereo(void *buffer, unsigned frames, void *)
{
    int32_t *b = static_cast<int32_t *>(buffer);
    switch (filterType()) {
    case 1: dsmFilterIntStereo1(b, frames); break;
    case 2:
        intFilter2(b, frames, 2, &intStereo2[0]);
        intFilter2(b + 1, frames, 2, &intStereo2[1]);
        break;
    }
    return 0;
}

int dsmFilterFloatMono(void *buffer, unsigned frames, void *)
{
    float *b = static_cast<float *>(buffer);
    switch (filterType()) {
    case 1: dsmFilterFloatMono1(b, frames); break;
    case 2: floatFilter2(b, frames, 1, &floatMono2); break;
    }
    return 0;
}

int dsmFilterFloatStereo(void *buffer, unsigned frames, void *)
{
    float *b = static_cast<float *>(buffer);
    switch (filterType()) {
    case 1: dsmFilterFloatStereo1(b, frames); break;
    case 2:
        floatFilter2(b, frames, 2, &floatStereo2[0]);
        floatFilter2(b + 1, frames, 2, &floatStereo2[1]);
        break;
    }
    return 0;
}
