// The debug information window on the desktop: a second SDL window beside the story, drawn with
// Dear ImGui. It shows what DebugModel holds (tool buttons, three tabs, the list with icons)
// and turns clicks into its button, tab and selection operations; the gate and the lists stay
// in the core. Events reach it through the main host's loop, so it stays responsive while the
// gate holds the story.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "backends/sdl/sdl_host.hpp"
#include "debug/debug_model.hpp"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct ImGuiContext;

namespace zarvo::platform {

class Clock;
class ImGuiSdlRenderer;

class SdlDebugWindow final : public DebugHooks, public SdlSideWindow {
  public:
    static constexpr int kWidth = 331, kHeight = 485;

    // Opens the window at the request's place (moved right of the main window as it really
    // stands) and joins `host`'s event loop. Check ok().
    SdlDebugWindow(SdlHost& host, Clock& clock, const DebugWindowRequest& request);
    ~SdlDebugWindow() override;
    SdlDebugWindow(const SdlDebugWindow&) = delete;
    SdlDebugWindow& operator=(const SdlDebugWindow&) = delete;

    bool ok() const { return renderer_ != nullptr; }
    const std::string& error() const { return error_; }
    DebugModel& info() { return info_; }

    // DebugHooks
    void debugGate() override { info_.debugGate(); }
    void refreshDebugInfo() override { info_.refreshDebugInfo(); }

    // SdlSideWindow
    bool takeEvent(const SDL_Event& ev) override;
    void afterMessages() override;

  private:
    void drawFrame();
    void drawToolBar();
    void drawTabs();
    void drawList();
    bool loadFont();
    bool makeIconTexture();
    bool toolButton(DebugIcon icon, const char* id, std::string_view hint);

    SdlHost& host_;
    DebugModel info_;
    std::string error_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* icons_ = nullptr;
    uint32_t windowId_ = 0;
    ImGuiContext* context_ = nullptr;
    bool backendStarted_ = false;
    std::unique_ptr<ImGuiSdlRenderer> drawer_;
    bool dirty_ = true;       // the lists or the state changed since the last frame
    int inputFrames_ = 0;     // frames still owed to recent input
    uint32_t lastFrame_ = 0;  // SDL ticks of the last frame
    int shownTop_ = -1;       // the list's top row as last scrolled to
    bool hidden_ = false;
};

}  // namespace zarvo::platform
