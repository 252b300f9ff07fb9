#include "backends/sdl/sdl_canvas.hpp"

#include <SDL.h>

#include "backends/sdl/sdl_host.hpp"

namespace zarvo::platform {

SdlCanvas::SdlCanvas(SdlHost& host, SDL_Renderer* renderer) : host_(host), renderer_(renderer) {}

SdlCanvas::~SdlCanvas() {
    resetTextures();
}

void SdlCanvas::resetTextures() {
    if (frame_) SDL_DestroyTexture(frame_);
    if (overlay_) SDL_DestroyTexture(overlay_);
    frame_ = overlay_ = nullptr;
    frameTexW_ = frameTexH_ = overlayTexW_ = overlayTexH_ = 0;
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

void SdlCanvas::present(const uint32_t* pixels, int width, int height, int stride) {
    if (!renderer_ || !pixels || width <= 0 || height <= 0 || stride < width) return;
    if (host_.clientWidth() <= 0) host_.setClientSize(width, height);
    host_.show();
    if (!ensureTexture(frame_, frameTexW_, frameTexH_, width, height)) return;
    SDL_UpdateTexture(frame_, nullptr, pixels, stride * 4);
    frameW_ = width;
    frameH_ = height;
    haveFrame_ = true;
    draw();
    SDL_RenderPresent(renderer_);
}

void SdlCanvas::redraw() {
    if (!renderer_) return;
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
    const bool fit = host_.fitScaling();
    view_ = fitPicture(outW, outH, pictureW, pictureH, 0, fit);
    SDL_Rect dst{view_.x, view_.y, view_.w, view_.h};
    // Clearing costs a fill of the whole output; only a border or a missing frame needs it.
    if (!haveFrame_ || dst.x > 0 || dst.y > 0 || dst.x + dst.w < outW || dst.y + dst.h < outH) {
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
    }
    const SDL_ScaleMode mode = fit ? SDL_ScaleModeLinear : SDL_ScaleModeNearest;
    if (haveFrame_) {
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
        SDL_Rect o{view_.x + sx(overlayX_), view_.y + sy(overlayY_), sx(overlayTexW_),
                   sy(overlayTexH_)};
        SDL_SetTextureScaleMode(overlay_, mode);
        SDL_RenderCopy(renderer_, overlay_, nullptr, &o);
    }
}

void SdlCanvas::setOverlay(const uint32_t* pixels, int width, int height, int stride, int x,
                           int y) {
    if (!renderer_ || !pixels || width <= 0 || height <= 0 || stride < width) return;
    if (!ensureTexture(overlay_, overlayTexW_, overlayTexH_, width, height)) return;
    SDL_UpdateTexture(overlay_, nullptr, pixels, stride * 4);
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
    if (!renderer_) return false;
    draw();
    SDL_GetRendererOutputSize(renderer_, &width, &height);
    out.assign(static_cast<size_t>(width) * height, 0);
    bool ok = SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB888, out.data(),
                                   width * 4) == 0;
    SDL_RenderPresent(renderer_);
    return ok;
}

}  // namespace zarvo::platform
