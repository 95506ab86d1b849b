// display_sdl.cpp: the window. The frame is scaled to the window with its
// aspect kept (black bars); F11 toggles full screen; Esc or closing the
// window asks to quit.
#include "platform/glide/display.h"

#ifdef GLIDE_HAVE_SDL2

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace glide {

namespace {

class SdlDisplay final : public Display {
public:
    bool open(int width, int height) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        inited_ = true;
        window_ = SDL_CreateWindow("q5", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                   SDL_WINDOW_RESIZABLE);
        if (!window_) return false;
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer_) return false;
        SDL_RenderSetLogicalSize(renderer_, width, height);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
        return texture_ != nullptr;
    }
    ~SdlDisplay() override {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
        if (inited_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    void present(const uint32_t *rgb, int width, int height) override {
        pump();
        SDL_UpdateTexture(texture_, nullptr, rgb, width * 4);
        (void)height;
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }
    bool quitRequested() override {
        pump();
        return quit_;
    }
    const char *name() const override { return "sdl"; }

private:
    void pump() {
        SDL_Event ev;
        while (SDL_PollEvent(&ev)) {
            if (ev.type == SDL_QUIT) quit_ = true;
            if (ev.type == SDL_KEYDOWN && ev.key.keysym.sym == SDLK_ESCAPE) quit_ = true;
            if (ev.type == SDL_KEYDOWN && ev.key.keysym.sym == SDLK_F11 && !ev.key.repeat) {
                const bool full = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
                SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
                SDL_ShowCursor(full ? SDL_ENABLE : SDL_DISABLE);
            }
        }
    }
    bool inited_ = false;
    bool quit_ = false;
    SDL_Window *window_ = nullptr;
    SDL_Renderer *renderer_ = nullptr;
    SDL_Texture *texture_ = nullptr;
};

}  // namespace

std::unique_ptr<Display> openWindowDisplay(int width, int height) {
    const char *x11 = std::getenv("DISPLAY");
    const char *wl = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wl || !*wl)) return nullptr;
    auto d = std::make_unique<SdlDisplay>();
    if (!d->open(width, height)) {
        std::fprintf(stderr, "glide: no window (%s), drawing headless\n", SDL_GetError());
        return nullptr;
    }
    return d;
}

}  // namespace glide

#else

namespace glide {
std::unique_ptr<Display> openWindowDisplay(int, int) { return nullptr; }
}  // namespace glide

#endif
