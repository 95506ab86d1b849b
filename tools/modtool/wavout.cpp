// The WAVE output of render.
#include "wavout.h"

#include <cstring>
#include <vector>

namespace {

void put16(std::string &s, unsigned v)
{
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}

void put32(std::string &s, uint32_t v)
{
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

}  // namespace

std::string renderWavHeader(unsigned rate, unsigned channels, SampleFormat format,
                            uint32_t dataBytes)
{
    const unsigned bytes = format == SampleFormat::f32 ? 4 : 2;
    std::string h = "RIFF";
    // RIFF size: the rest of the header (36) and the data, "unknown" kept.
    put32(h, dataBytes == 0xFFFFFFFFu ? dataBytes : 36 + dataBytes);
    h += "WAVEfmt ";
    put32(h, 16);
    put16(h, format == SampleFormat::f32 ? 3 : 1);  // IEEE float or PCM
    put16(h, channels);
    put32(h, rate);
    put32(h, rate * channels * bytes);
    put16(h, channels * bytes);
    put16(h, bytes * 8);
    h += "data";
    put32(h, dataBytes);
    return h;
}

RenderSink::~RenderSink()
{
    if (file_ && ownsFile_)
        std::fclose(file_);
}

bool RenderSink::open(const std::string &path)
{
    if (path == "-") {
        file_ = stdout;
    } else {
        file_ = std::fopen(path.c_str(), "wb");
        if (!file_)
            return false;
        ownsFile_ = true;
    }
    return writeHeader(0xFFFFFFFFu);
}

bool RenderSink::writeHeader(uint32_t dataBytes)
{
    std::string h = renderWavHeader(rate_, channels_, format_, dataBytes);
    return std::fwrite(h.data(), 1, h.size(), file_) == h.size();
}

bool RenderSink::write(const void *data, size_t bytes)
{
    if (format_ == SampleFormat::f32)
        return !failed_;
    const size_t n = bytes / 4;
    std::vector<int16_t> in(n * 2);
    std::memcpy(in.data(), data, n * 4);
    size_t written;
    if (channels_ == 1) {
        std::vector<int16_t> out(n);
        for (size_t i = 0; i < n; i++)
            out[i] = int16_t((in[2 * i] + in[2 * i + 1]) >> 1);
        written = std::fwrite(out.data(), 2, n, file_);
    } else {
        written = std::fwrite(in.data(), 4, n, file_);
    }
    failed_ |= written != n;
    frames_ += n;
    if (progress)
        progress(frames_);
    return !failed_;
}

void RenderSink::frames(const float *lr, unsigned count)
{
    if (format_ != SampleFormat::f32 || failed_)
        return;
    std::vector<float> out(size_t(count) * channels_);
    for (size_t i = 0; i < count; i++) {
        if (channels_ == 1)
            out[i] = (lr[2 * i] + lr[2 * i + 1]) / 65536.0f;
        else
            for (unsigned c = 0; c < 2; c++)
                out[2 * i + c] = lr[2 * i + c] / 32768.0f;
    }
    failed_ |= std::fwrite(out.data(), sizeof(float), out.size(), file_) != out.size();
    frames_ += count;
    if (progress)
        progress(frames_);
}

bool RenderSink::finish()
{
    if (!file_)
        return false;
    const uint64_t bytes = frames_ * channels_ * (format_ == SampleFormat::f32 ? 4 : 2);
    // Sizes are exact when they fit and the output can go back to its start.
    if (std::fflush(file_) == 0 && bytes <= 0xFFFFFFFFu - 36 && std::fseek(file_, 0, SEEK_SET) == 0)
        failed_ |= !writeHeader(uint32_t(bytes));
    failed_ |= std::fflush(file_) != 0;
    if (ownsFile_) {
        failed_ |= std::fclose(file_) != 0;
        file_ = nullptr;
    }
    return !failed_;
}
