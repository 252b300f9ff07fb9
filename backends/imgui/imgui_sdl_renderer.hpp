// Draws Dear ImGui's frames with an SDL renderer (Debian's imgui library carries the SDL input
// side but not this drawing side). The font atlas becomes a texture of its own; other textures
// are SDL_Texture pointers passed as ImTextureID.
#pragma once

struct SDL_Renderer;
struct SDL_Texture;
struct ImDrawData;

namespace zarvo::platform {

class ImGuiSdlRenderer {
  public:
    explicit ImGuiSdlRenderer(SDL_Renderer* renderer) : renderer_(renderer) {}
    ~ImGuiSdlRenderer();
    ImGuiSdlRenderer(const ImGuiSdlRenderer&) = delete;
    ImGuiSdlRenderer& operator=(const ImGuiSdlRenderer&) = delete;

    // Uploads the current context's font atlas; false when the texture cannot be made.
    bool createFontTexture();
    void render(const ImDrawData* data);

  private:
    SDL_Renderer* renderer_;
    SDL_Texture* fontTexture_ = nullptr;
};

}  // namespace zarvo::platform
