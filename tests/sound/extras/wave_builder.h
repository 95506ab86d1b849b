// Builds RIFF WAVE files in memory for the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace wavetest {

inline void put16(std::vector<uint8_t> &v, unsigned x)
{
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

inline void put32(std::vector<uint8_t> &v, unsigned x)
{
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

inline void chunk(std::vector<uint8_t> &v, const char *id, const std::vector<uint8_t> &body,
                  unsigned length)
{
    v.insert(v.end(), id, id + 4);
    put32(v, length);
    v.insert(v.end(), body.begin(), body.end());
}

inline void chunk(std::vector<uint8_t> &v, const char *id, const std::vector<uint8_t> &body)
{
    chunk(v, id, body, static_cast<unsigned>(body.size()));
}

inline std::vector<uint8_t> fmtBody(unsigned tag, unsigned channels, unsigned rate,
                                    unsigned bits, unsigned extra = 0)
{
    std::vector<uint8_t> b;
    put16(b, tag);
    put16(b, channels);
    put32(b, rate);
    put32(b, rate * channels * bits / 8);
    put16(b, channels * bits / 8);
    put16(b, bits);
    for (unsigned i = 0; i < extra; i++)
        b.push_back(0xEE);
    return b;
}

// "RIFF", length, "WAVE" followed by the given chunks.
inline std::vector<uint8_t> riff(const std::vector<uint8_t> &chunks)
{
    std::vector<uint8_t> v = {'R', 'I', 'F', 'F'};
    put32(v, static_cast<unsigned>(4 + chunks.size()));
    v.insert(v.end(), {'W', 'A', 'V', 'E'});
    v.insert(v.end(), chunks.begin(), chunks.end());
    return v;
}

// A plain PCM file with the given data bytes.
inline std::vector<uint8_t> pcm(unsigned channels, unsigned rate, unsigned bits,
                                const std::vector<uint8_t> &data)
{
    std::vector<uint8_t> c;
    chunk(c, "fmt ", fmtBody(1, channels, rate, bits));
    chunk(c, "data", data);
    return riff(c);
}

inline bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace wavetest
