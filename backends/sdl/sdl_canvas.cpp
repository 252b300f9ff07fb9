#include "backends/sdl/sdl_canvas.hpp"

#include <SDL.h>

#include <algorithm>

#include "backends/sdl/sdl_host.hpp"
#include "backends/sdl/sharp_scale.hpp"

namespace zarvo::platform {

SdlCanvas::SdlCanvas(SdlHost& host, SDL_Renderer* renderer) : host_(host), renderer_(renderer) {
    SDL_RendererInfo info{};
    if (renderer_ && SDL_GetRendererInfo(renderer_, &info) == 0)
        software_ = (info.flags & SDL_RENDERER_SOFTWARE) != 0 ||
                    (info.name && SDL_strcmp(info.name, "software") == 0);
}

SdlCanvas::~SdlCanvas() {
    resetTextures();
}

void SdlCanvas::resetTextures() {
    if (frame_) SDL_DestroyTexture(frame_);
    if (overlay_) SDL_DestroyTexture(overlay_);
    if (target_) SDL_DestroyTexture(target_);
    if (scaled_) SDL_DestroyTexture(scaled_);
    frame_ = overlay_ = target_ = scaled_ = nullptr;
    frameTexW_ = frameTexH_ = overlayTexW_ = overlayTexH_ = targetW_ = targetH_ = 0;
    scaledW_ = scaledH_ = 0;
    frameStale_ = false;
    haveFrame_ = false;
    overlayShown_ = false;
}

bool SdlCanvas::ensureTexture(SDL_Texture*& texture, int& texW, int& texH, int width, int height) {
    if (texture && texW == width && texH == height) return true;
    if (texture) SDL_DestroyTexture(texture);
    texW = texH = 0;
    // XRGB words are the player's own pixel layout, and an opaque texture needs no blending:
    // the cheapest upload and copy SDL has.
    texture = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                width, height);
    if (!texture) return false;
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
    texW = width;
    texH = height;
    return true;
}

namespace {

// A picture's rows without the stride's padding, as the sharp scaler reads them.
void copyPacked(std::vector<uint32_t>& out, const uint32_t* pixels, int width, int height,
                int stride) {
    out.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::copy_n(pixels + static_cast<size_t>(y) * stride, width,
                    out.data() + static_cast<size_t>(y) * width);
}

}  // namespace

void SdlCanvas::present(const uint32_t* pixels, int width, int height, int stride) {
    if (!host_.ok() || !pixels || width <= 0 || height <= 0 || stride < width) return;
    if (host_.clientWidth() <= 0) host_.setClientSize(width, height);
    host_.show();
    if (software_) {
        // Kept on the CPU for sharp scaling; the texture is filled only if another scaling
        // draws it.
        copyPacked(frameCopy_, pixels, width, height, stride);
        frameStale_ = true;
    } else {
        if (!ensureTexture(frame_, frameTexW_, frameTexH_, width, height)) return;
        SDL_UpdateTexture(frame_, nullptr, pixels, stride * 4);
    }
    frameW_ = width;
    frameH_ = height;
    haveFrame_ = true;
    draw();
    SDL_RenderPresent(renderer_);
}

void SdlCanvas::redraw() {
    if (!host_.ok()) return;
    draw();
    SDL_RenderPresent(renderer_);
}

void SdlCanvas::draw() {
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(renderer_, &outW, &outH);
    // Before the first frame an overlay is placed as if the picture had the window's size.
    int pictureW = haveFrame_ ? frameW_ : host_.clientWidth();
    int pictureH = haveFrame_ ? frameH_ : host_.clientHeight();
    // The drawable size decides, not the window's: the reader may resize the window, and on a
    // display of high pixel density the drawable has more pixels than the window has points.
    const WindowScaling scaling = host_.scaling();
    view_ = fitPicture(outW, outH, pictureW, pictureH, 0, scaling != WindowScaling::Whole);
    SDL_Rect dst{view_.x, view_.y, view_.w, view_.h};
    // At an exact whole multiple sharp scaling is plain square pixels.
    const bool exact = pictureW > 0 && pictureH > 0 && dst.w % pictureW == 0 &&
                       dst.h % pictureH == 0 && dst.w / pictureW == dst.h / pictureH;
    bool sharp = false, sharpCpu = false;
    if (scaling == WindowScaling::Sharp && !exact) {
        const int factor = sharpFactor(view_, pictureW, pictureH);
        if (software_)
            sharpCpu = drawSharpCpu(pictureW, pictureH, factor);
        else
            sharp = drawSharpTarget(pictureW, pictureH, factor);
    }
    // Only the bars around the picture are cleared: a fill of the whole output costs as much as
    // the picture again on a software renderer.
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    if (!haveFrame_) {
        SDL_RenderClear(renderer_);
    } else {
        const SDL_Rect bars[] = {{0, 0, outW, dst.y},
                                 {0, dst.y + dst.h, outW, outH - dst.y - dst.h},
                                 {0, dst.y, dst.x, dst.h},
                                 {dst.x + dst.w, dst.y, outW - dst.x - dst.w, dst.h}};
        for (const SDL_Rect& bar : bars)
            if (bar.w > 0 && bar.h > 0) SDL_RenderFillRect(renderer_, &bar);
    }
    if (sharpCpu) {
        SDL_RenderCopy(renderer_, scaled_, nullptr, &dst);  // already the output size
    } else if (sharp) {
        SDL_SetTextureScaleMode(target_, SDL_ScaleModeLinear);
        SDL_RenderCopy(renderer_, target_, nullptr, &dst);
    } else {
        drawPicture(dst, pictureW, pictureH, scaling == WindowScaling::Smooth && !exact);
    }
}

void SdlCanvas::drawPicture(const SDL_Rect& dst, int pictureW, int pictureH, bool linear) {
    const SDL_ScaleMode mode = linear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest;
    if (haveFrame_ && frameStale_ &&
        ensureTexture(frame_, frameTexW_, frameTexH_, frameW_, frameH_)) {
        SDL_UpdateTexture(frame_, nullptr, frameCopy_.data(), frameW_ * 4);
        frameStale_ = false;
    }
    if (haveFrame_ && !frameStale_) {
        SDL_SetTextureScaleMode(frame_, mode);
        SDL_RenderCopy(renderer_, frame_, nullptr, &dst);
    }
    if (overlayShown_ && overlay_ && pictureW > 0 && pictureH > 0) {
        auto sx = [&](int v) {
            return static_cast<int>(static_cast<long long>(v) * dst.w / pictureW);
        };
        auto sy = [&](int v) {
            return static_cast<int>(static_cast<long long>(v) * dst.h / pictureH);
        };
        SDL_Rect o{dst.x + sx(overlayX_), dst.y + sy(overlayY_), sx(overlayTexW_),
                   sy(overlayTexH_)};
        SDL_SetTextureScaleMode(overlay_, mode);
        SDL_RenderCopy(renderer_, overlay_, nullptr, &o);
    }
}

bool SdlCanvas::drawSharpTarget(int pictureW, int pictureH, int factor) {
    if (pictureW <= 0 || pictureH <= 0 || !SDL_RenderTargetSupported(renderer_)) return false;
    const int w = pictureW * factor, h = pictureH * factor;
    if (!target_ || targetW_ != w || targetH_ != h) {
        if (target_) SDL_DestroyTexture(target_);
        targetW_ = targetH_ = 0;
        target_ =
            SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET, w, h);
        if (!target_) return false;
        SDL_SetTextureBlendMode(target_, SDL_BLENDMODE_NONE);
        targetW_ = w;
        targetH_ = h;
    }
    if (SDL_SetRenderTarget(renderer_, target_) != 0) return false;
    if (!haveFrame_) {
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
    }
    drawPicture(SDL_Rect{0, 0, w, h}, pictureW, pictureH, false);
    SDL_SetRenderTarget(renderer_, nullptr);
    return true;
}

bool SdlCanvas::drawSharpCpu(int pictureW, int pictureH, int factor) {
    if (pictureW <= 0 || pictureH <= 0 || view_.w <= 0 || view_.h <= 0) return false;
    const uint32_t* src = frameCopy_.data();
    if (!haveFrame_ || overlayShown_) {
        // The overlay is opaque and lands on whole story pixels: pasted into a copy of the frame
        // it gives what drawing it over the enlarged frame gives.
        const size_t size = static_cast<size_t>(pictureW) * pictureH;
        if (haveFrame_)
            composed_.assign(frameCopy_.begin(), frameCopy_.end());
        else
            composed_.assign(size, 0);
        if (overlayShown_) {
            const int x0 = std::max(0, overlayX_), y0 = std::max(0, overlayY_);
            const long long x1 = std::min<long long>(pictureW, 1LL * overlayX_ + overlayTexW_);
            const long long y1 = std::min<long long>(pictureH, 1LL * overlayY_ + overlayTexH_);
            for (long long y = y0; y < y1; ++y)
                for (long long x = x0; x < x1; ++x)
                    composed_[y * pictureW + x] =
                        overlayCopy_[(y - overlayY_) * overlayTexW_ + (x - overlayX_)];
        }
        src = composed_.data();
    }
    if (!ensureTexture(scaled_, scaledW_, scaledH_, view_.w, view_.h)) return false;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(scaled_, nullptr, &pixels, &pitch) != 0) return false;
    sharpScale(src, pictureW, pictureH, pictureW, factor, static_cast<uint32_t*>(pixels), view_.w,
               view_.h, pitch / 4, rows_);
    SDL_UnlockTexture(scaled_);
    return true;
}

void SdlCanvas::setOverlay(const uint32_t* pixels, int width, int height, int stride, int x,
                           int y) {
    if (!host_.ok() || !pixels || width <= 0 || height <= 0 || stride < width) return;
    if (!ensureTexture(overlay_, overlayTexW_, overlayTexH_, width, height)) return;
    SDL_UpdateTexture(overlay_, nullptr, pixels, stride * 4);
    if (software_) copyPacked(overlayCopy_, pixels, width, height, stride);
    overlayShown_ = true;
    overlayX_ = x;
    overlayY_ = y;
    redraw();
}

void SdlCanvas::clearOverlay() {
    if (!overlayShown_) return;
    overlayShown_ = false;
    redraw();
}

bool SdlCanvas::readBack(std::vector<uint32_t>& out, int& width, int& height) {
    if (!host_.ok()) return false;
    draw();
    SDL_GetRendererOutputSize(renderer_, &width, &height);
    out.assign(static_cast<size_t>(width) * height, 0);
    bool ok = SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB888, out.data(),
                                   width * 4) == 0;
    SDL_RenderPresent(renderer_);
    return ok;
}

}  // namespace zarvo::platform
