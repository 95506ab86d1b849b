// WAVE files and memory sinks for rendered sound.
#include "platform/audio/wavwriter.h"

#include <cstring>

namespace {

void put16(uint8_t *p, unsigned x)
{
    p[0] = uint8_t(x);
    p[1] = uint8_t(x >> 8);
}

void put32(uint8_t *p, uint32_t x)
{
    put16(p, x & 0xFFFF);
    put16(p + 2, x >> 16);
}

void putTag(uint8_t *p, const char *tag) { std::memcpy(p, tag, 4); }

// RIFF sizes are 32-bit; a longer render keeps the largest even size.
constexpr uint64_t maxData = 0xFFFFFFFFULL - 36 - 1;

}  // namespace

std::vector<uint8_t> wavHeader(unsigned rate, unsigned channels, unsigned bits, uint32_t dataBytes)
{
    std::vector<uint8_t> h(44);
    uint8_t *p = h.data();
    unsigned block = channels * (bits / 8);
    putTag(p, "RIFF");
    put32(p + 4, 36 + dataBytes);
    putTag(p + 8, "WAVE");
    putTag(p + 12, "fmt ");
    put32(p + 16, 16);
    put16(p + 20, 1);  // PCM
    put16(p + 22, channels);
    put32(p + 24, rate);
    put32(p + 28, rate * block);
    put16(p + 32, block);
    put16(p + 34, bits);
    putTag(p + 36, "data");
    put32(p + 40, dataBytes);
    return h;
}

WavWriter::~WavWriter()
{
    if (file_)
        finish();
}

bool WavWriter::open(const std::string &path, unsigned rate, unsigned channels, unsigned bits)
{
    if (file_)
        return false;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_)
        return false;
    dataBytes_ = 0;
    failed_ = false;
    std::vector<uint8_t> h = wavHeader(rate, channels, bits, 0);
    if (std::fwrite(h.data(), 1, h.size(), file_) != h.size())
        failed_ = true;
    return !failed_;
}

bool WavWriter::write(const void *data, size_t bytes)
{
    if (!file_)
        return false;
    if (std::fwrite(data, 1, bytes, file_) != bytes) {
        failed_ = true;
        return false;
    }
    dataBytes_ += bytes;
    return true;
}

bool WavWriter::finish()
{
    if (!file_)
        return false;
    uint32_t data = uint32_t(dataBytes_ > maxData ? maxData & ~uint64_t(1) : dataBytes_);
    bool ok = !failed_;
    // Odd data sizes get the pad byte RIFF chunks require.
    if (data & 1) {
        uint8_t pad = 0;
        ok = std::fwrite(&pad, 1, 1, file_) == 1 && ok;
    }
    uint8_t sizes[4];
    auto le32 = [&](uint32_t x) {
        for (int i = 0; i < 4; i++)
            sizes[i] = uint8_t(x >> (8 * i));
    };
    le32(36 + data + (data & 1));
    ok = std::fseek(file_, 4, SEEK_SET) == 0 && std::fwrite(sizes, 1, 4, file_) == 4 && ok;
    le32(data);
    ok = std::fseek(file_, 40, SEEK_SET) == 0 && std::fwrite(sizes, 1, 4, file_) == 4 && ok;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

bool MemorySink::write(const void *data, size_t bytes)
{
    const auto *p = static_cast<const uint8_t *>(data);
    out_->insert(out_->end(), p, p + bytes);
    return true;
}
