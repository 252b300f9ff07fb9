#include "backends/imgui/imgui_sdl_renderer.hpp"

#include <SDL.h>
#include <imgui.h>

#include <cmath>
#include <cstddef>

namespace zarvo::platform {

ImGuiSdlRenderer::~ImGuiSdlRenderer() {
    if (fontTexture_) SDL_DestroyTexture(fontTexture_);
}

bool ImGuiSdlRenderer::createFontTexture() {
    ImGuiIO& io = ImGui::GetIO();
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    // RGBA bytes in memory are SDL's ABGR8888 on a little-endian machine, RGBA8888 otherwise.
    fontTexture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STATIC,
                                     width, height);
    if (!fontTexture_) return false;
    SDL_UpdateTexture(fontTexture_, nullptr, pixels, width * 4);
    SDL_SetTextureBlendMode(fontTexture_, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(fontTexture_, SDL_ScaleModeLinear);
    io.Fonts->SetTexID(static_cast<ImTextureID>(fontTexture_));
    return true;
}

void ImGuiSdlRenderer::render(const ImDrawData* data) {
    if (!data || data->DisplaySize.x <= 0 || data->DisplaySize.y <= 0) return;
    // Window points to output pixels (they differ on displays of high pixel density).
    float scaleX = data->FramebufferScale.x > 0 ? data->FramebufferScale.x : 1.0f;
    float scaleY = data->FramebufferScale.y > 0 ? data->FramebufferScale.y : 1.0f;
    SDL_RenderSetScale(renderer_, scaleX, scaleY);
    ImVec2 origin = data->DisplayPos;
    for (int n = 0; n < data->CmdListsCount; ++n) {
        const ImDrawList* list = data->CmdLists[n];
        const ImDrawVert* vertices = list->VtxBuffer.Data;
        const ImDrawIdx* indices = list->IdxBuffer.Data;
        for (const ImDrawCmd& cmd : list->CmdBuffer) {
            if (cmd.UserCallback) {
                if (cmd.UserCallback != ImDrawCallback_ResetRenderState)
                    cmd.UserCallback(list, &cmd);
                continue;
            }
            float x0 = cmd.ClipRect.x - origin.x, y0 = cmd.ClipRect.y - origin.y;
            float x1 = cmd.ClipRect.z - origin.x, y1 = cmd.ClipRect.w - origin.y;
            if (x1 <= x0 || y1 <= y0) continue;
            SDL_Rect clip{static_cast<int>(x0), static_cast<int>(y0),
                          static_cast<int>(std::ceil(x1 - x0)),
                          static_cast<int>(std::ceil(y1 - y0))};
            SDL_RenderSetClipRect(renderer_, &clip);
            const ImDrawVert* first = vertices + cmd.VtxOffset;
            // ImGui's packed colour has red in its lowest byte, as SDL_Color's byte order.
            SDL_RenderGeometryRaw(
                renderer_, static_cast<SDL_Texture*>(cmd.GetTexID()),
                reinterpret_cast<const float*>(reinterpret_cast<const char*>(first) +
                                               offsetof(ImDrawVert, pos)),
                sizeof(ImDrawVert),
                reinterpret_cast<const SDL_Color*>(reinterpret_cast<const char*>(first) +
                                                   offsetof(ImDrawVert, col)),
                sizeof(ImDrawVert),
                reinterpret_cast<const float*>(reinterpret_cast<const char*>(first) +
                                               offsetof(ImDrawVert, uv)),
                sizeof(ImDrawVert), list->VtxBuffer.Size - static_cast<int>(cmd.VtxOffset),
                indices + cmd.IdxOffset, static_cast<int>(cmd.ElemCount), sizeof(ImDrawIdx));
        }
    }
    SDL_RenderSetClipRect(renderer_, nullptr);
    SDL_RenderSetScale(renderer_, 1.0f, 1.0f);
}

}  // namespace zarvo::platform
