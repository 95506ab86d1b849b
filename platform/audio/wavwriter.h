// Sinks for rendered sound: a RIFF WAVE file written as it grows, or a block
// of memory. Both take interleaved PCM (8-bit unsigned or 16-bit signed
// little-endian, the sound system's output formats).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Appends bytes; false on a write failure (the sink stays usable).
    virtual bool write(const void *data, size_t bytes) = 0;
    // Flushes and completes the output; false on failure.
    virtual bool finish() = 0;
};

// A WAVE file. The sizes in the header are written by finish(); a file that
// is never finished still has a valid header claiming no data.
class WavWriter : public AudioSink {
public:
    WavWriter() = default;
    ~WavWriter() override;
    WavWriter(const WavWriter &) = delete;
    WavWriter &operator=(const WavWriter &) = delete;

    // Creates (or truncates) the file and writes the header.
    bool open(const std::string &path, unsigned rate, unsigned channels, unsigned bits);
    bool write(const void *data, size_t bytes) override;
    bool finish() override;
    uint64_t dataBytes() const { return dataBytes_; }

private:
    std::FILE *file_ = nullptr;
    uint64_t dataBytes_ = 0;
    bool failed_ = false;
};

// Memory: every byte written is appended to the vector.
class MemorySink : public AudioSink {
public:
    explicit MemorySink(std::vector<uint8_t> *out) : out_(out) {}
    bool write(const void *data, size_t bytes) override;
    bool finish() override { return true; }

private:
    std::vector<uint8_t> *out_;
};

// The 44-byte header of a PCM WAVE file holding dataBytes bytes of data.
std::vector<uint8_t> wavHeader(unsigned rate, unsigned channels, unsigned bits, uint32_t dataBytes);
