// display.h: where shown frames go. A frame arrives as 0x00RRGGBB pixels
// (the colour buffer after the output gamma table), row after row from the top.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace glide {

class Display {
public:
    virtual ~Display() = default;
    virtual void present(const uint32_t *rgb, int width, int height) = 0;
    // True once the user has asked to quit (Esc, window closed).
    virtual bool quitRequested() = 0;
    virtual const char *name() const = 0;
};

// The window, or nullptr when there is no display or no SDL2 in this build.
std::unique_ptr<Display> openWindowDisplay(int width, int height);
std::unique_ptr<Display> openHeadlessDisplay();

// Writes a PNG file; false (with errno-style text in err) on failure.
bool writePng(const std::string &path, const uint32_t *rgb, int width, int height, std::string &err);

}  // namespace glide

namespace glide {

// Which shown frames GLIDE_CAPTURE_FRAMES selects: a list ("0,100,250"),
// "all", or "every:N".
struct CaptureSpec {
    bool all = false;
    uint64_t every = 0;
    std::vector<uint64_t> frames;  // sorted
    bool wants(uint64_t frame) const;
};
// False (and an explanation in err) for a malformed selection.
bool parseCaptureFrames(const std::string &text, CaptureSpec &spec, std::string &err);

}  // namespace glide
