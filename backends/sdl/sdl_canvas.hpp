// The main window's picture: frames go to a streaming texture (XRGB, no blending: the cheapest
// upload) drawn as the host's scaling says. Sharp scaling draws it (and the overlay) at a whole
// multiple with square pixels into a render target first, which is then filtered down to the
// window; on SDL's software renderer that enlarging and filtering is done on the CPU in one step
// instead (several times faster than its stretch). A panel can be laid over the frame (the input
// box) without the client drawing again.
#pragma once
#include <cstdint>
#include <vector>

#include "backends/sdl/window_geometry.hpp"
#include "platform/canvas.hpp"

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Rect;

namespace zarvo::platform {

class SdlHost;

class SdlCanvas final : public Canvas {
  public:
    SdlCanvas(SdlHost& host, SDL_Renderer* renderer);
    ~SdlCanvas() override;
    SdlCanvas(const SdlCanvas&) = delete;
    SdlCanvas& operator=(const SdlCanvas&) = delete;

    // The first frame gives a window that has no size yet the frame's size, and shows it.
    void present(const uint32_t* pixels, int width, int height, int stride) override;

    // Draws the last frame (and the overlay) again.
    void redraw();

    // A picture over the frame with its top-left at story pixel (x, y), until clearOverlay().
    void setOverlay(const uint32_t* pixels, int width, int height, int stride, int x, int y);
    void clearOverlay();

    // Size of the last frame; 0 before the first one.
    int pictureWidth() const { return frameW_; }
    int pictureHeight() const { return frameH_; }
    // Where the picture was drawn last, in renderer output pixels.
    Viewport viewport() const { return view_; }

    // Forget the textures (the renderer lost them); the next present makes new ones.
    void resetTextures();

    // Reads back what the window shows (output pixels, 0x00RRGGBB rows); false when the
    // renderer cannot.
    bool readBack(std::vector<uint32_t>& out, int& width, int& height);

  private:
    void draw();
    bool ensureTexture(SDL_Texture*& texture, int& texW, int& texH, int width, int height);
    // The frame and the overlay at `dst`, each story pixel `dst` / picture size.
    void drawPicture(const SDL_Rect& dst, int pictureW, int pictureH, bool linear);
    // The picture at `factor` times its size in the render target; false when there is none.
    bool drawSharpTarget(int pictureW, int pictureH, int factor);
    // The same, computed on the CPU into a texture of the viewport's size.
    bool drawSharpCpu(int pictureW, int pictureH, int factor);

    SdlHost& host_;
    SDL_Renderer* renderer_;
    SDL_Texture* frame_ = nullptr;
    int frameTexW_ = 0, frameTexH_ = 0;
    int frameW_ = 0, frameH_ = 0;
    bool haveFrame_ = false;
    SDL_Texture* overlay_ = nullptr;
    int overlayTexW_ = 0, overlayTexH_ = 0;
    bool overlayShown_ = false;
    int overlayX_ = 0, overlayY_ = 0;
    SDL_Texture* target_ = nullptr;
    int targetW_ = 0, targetH_ = 0;
    Viewport view_;
    // SDL's software renderer: the frame and the overlay are kept here too, and the frame's
    // texture is filled only when drawn (frameStale_).
    bool software_ = false;
    bool frameStale_ = false;
    std::vector<uint32_t> frameCopy_, overlayCopy_, composed_, rows_;
    SDL_Texture* scaled_ = nullptr;
    int scaledW_ = 0, scaledH_ = 0;
};

}  // namespace zarvo::platform
