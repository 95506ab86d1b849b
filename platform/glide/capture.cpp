// capture.cpp: the selection of frames to save.
#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/glide/display.h"

namespace glide {

namespace {

bool parseNumber(const std::string &s, uint64_t &out) {
    if (s.empty() || s.size() > 18) return false;
    out = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

}  // namespace

bool CaptureSpec::wants(uint64_t frame) const {
    if (all) return true;
    if (every) return frame % every == 0;
    return std::binary_search(frames.begin(), frames.end(), frame);
}

bool parseCaptureFrames(const std::string &text, CaptureSpec &spec, std::string &err) {
    spec = CaptureSpec{};
    if (text == "all") {
        spec.all = true;
        return true;
    }
    if (text.rfind("every:", 0) == 0) {
        if (!parseNumber(text.substr(6), spec.every) || spec.every == 0) {
            err = "GLIDE_CAPTURE_FRAMES: every:N needs a positive N, got \"" + text + "\"";
            return false;
        }
        return true;
    }
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t comma = std::min(text.find(',', pos), text.size());
        uint64_t n;
        if (!parseNumber(text.substr(pos, comma - pos), n)) {
            err = "GLIDE_CAPTURE_FRAMES: expected frame numbers, \"all\" or \"every:N\", got \"" + text + "\"";
            spec.frames.clear();
            return false;
        }
        spec.frames.push_back(n);
        pos = comma + 1;
    }
    std::sort(spec.frames.begin(), spec.frames.end());
    return true;
}

}  // namespace glide
