#include "backends/imgui/sdl_debug_window.hpp"

#include <SDL.h>
#include <backends/imgui_impl_sdl.h>
#include <fontconfig/fontconfig.h>
#include <imgui.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <vector>

#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/imgui/imgui_sdl_renderer.hpp"
#include "base/sjis.hpp"
#include "debug/debug_icons.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::platform {
namespace {

constexpr float kFontPixels = 13.0f;      // the list's font height
constexpr float kHeaderSection = 150.0f;  // where the value column starts
constexpr float kToolBarIndent = 4.0f;
constexpr float kToolSeparator = 8.0f;
constexpr uint32_t kRedrawAfterChange = 50;  // ms: a running story redraws at most this often
constexpr uint32_t kIdleRedraw = 500;        // ms: keeps hover and tooltips current
constexpr int kFramesAfterInput = 3;  // a click needs a frame for its press and one for release

// The installed file of the proportional Gothic face the window's font names, or empty.
std::string japaneseFontFile() {
    std::string path;
    if (!FcInit()) return path;
    for (const char* family :
         std::initializer_list<const char*>{"IPAPGothic", "IPAGothic", nullptr}) {
        FcPattern* pattern = FcPatternCreate();
        if (family)
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        FcChar8* file = nullptr;
        if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
            std::string candidate = reinterpret_cast<const char*>(file);
            // The atlas is built with stb_truetype: TrueType and OpenType outlines only.
            std::string lower = candidate;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (lower.ends_with(".ttf") || lower.ends_with(".otf") || lower.ends_with(".ttc"))
                path = candidate;
        }
        if (match) FcPatternDestroy(match);
        if (!path.empty()) break;
    }
    return path;
}

// Every character code page 932 can hold, so any variable's text can be shown.
std::vector<ImWchar> cp932GlyphRanges() {
    ImFontGlyphRangesBuilder builder;
    builder.AddRanges(ImGui::GetIO().Fonts->GetGlyphRangesDefault());
    char s[2];
    for (int c = 0xA1; c <= 0xDF; ++c) {  // half-width katakana
        s[0] = static_cast<char>(c);
        char32_t u = cp932ToUnicode(std::string_view(s, 1), 0);
        if (u && u < 0x10000) builder.AddChar(static_cast<ImWchar>(u));
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLeadByte(static_cast<unsigned char>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            s[0] = static_cast<char>(lead);
            s[1] = static_cast<char>(trail);
            char32_t u = cp932ToUnicode(std::string_view(s, 2), 0);
            if (u && u < 0x10000) builder.AddChar(static_cast<ImWchar>(u));
        }
    }
    ImVector<ImWchar> ranges;
    builder.BuildRanges(&ranges);
    return std::vector<ImWchar>(ranges.begin(), ranges.end());
}

// The ranges must live as long as the font atlas; one window at a time needs them.
std::vector<ImWchar>& glyphRanges() {
    static std::vector<ImWchar> ranges;
    return ranges;
}

ImVec2 iconUv(DebugIcon icon, bool end) {
    float n = static_cast<float>(static_cast<int>(icon) + (end ? 1 : 0));
    return ImVec2(n / static_cast<float>(kDebugIconCount), end ? 1.0f : 0.0f);
}

}  // namespace

SdlDebugWindow::SdlDebugWindow(SdlHost& host, Clock& clock, const DebugWindowRequest& request)
    : host_(host), info_({&host, &clock}) {
    info_.setControls(request.story, request.execution, request.screen);
    info_.onChange = [this] { dirty_ = true; };

    // Right of the main window as it really stands: at scale 1 that is the story's width plus
    // its left plus 32; a scaled main window is wider.
    int x = request.left, y = request.top;
    if (SDL_Window* main = host.window()) {
        int mx = 0, my = 0, mw = 0, mh = 0;
        SDL_GetWindowPosition(main, &mx, &my);
        SDL_GetWindowSize(main, &mw, &mh);
        x = mx + mw + 32;
        y = my;
    }
    window_ = SDL_CreateWindow("DebugInfo", x, y, kWidth, kHeight,
                               SDL_WINDOW_RESIZABLE | SDL_WINDOW_UTILITY | SDL_WINDOW_HIDDEN);
    if (!window_) {
        error_ = std::string("cannot create the debug window: ") + SDL_GetError();
        return;
    }
    windowId_ = SDL_GetWindowID(window_);
    SDL_Renderer* renderer = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer) renderer = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer) {
        error_ = std::string("cannot draw into the debug window: ") + SDL_GetError();
        return;
    }

    ImGuiContext* previous = ImGui::GetCurrentContext();
    context_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(context_);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    // The mouse cursor belongs to the story's window (its hand over clickable layers).
    io.ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowRounding = style.FrameRounding = style.TabRounding = style.ChildRounding = 0;
    style.ScrollbarRounding = style.GrabRounding = 0;
    style.WindowPadding = ImVec2(4, 4);
    style.WindowBorderSize = 0;
    style.Colors[ImGuiCol_WindowBg] = ImVec4(0.94f, 0.94f, 0.94f, 1);
    style.Colors[ImGuiCol_ChildBg] = ImVec4(1, 1, 1, 1);
    style.Colors[ImGuiCol_Header] = ImVec4(0.0f, 0.47f, 0.84f, 1);  // the selected row
    style.Colors[ImGuiCol_HeaderHovered] = ImVec4(0.80f, 0.90f, 0.98f, 1);
    style.Colors[ImGuiCol_HeaderActive] = ImVec4(0.0f, 0.47f, 0.84f, 1);
    backendStarted_ = ImGui_ImplSDL2_InitForSDLRenderer(window_);
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
    if (!loadFont()) io.Fonts->AddFontDefault();
    drawer_ = std::make_unique<ImGuiSdlRenderer>(renderer);
    renderer_ = renderer;
    if (!backendStarted_ || !drawer_->createFontTexture() || !makeIconTexture()) {
        error_ = std::string("cannot prepare the debug window's drawing: ") + SDL_GetError();
        renderer_ = nullptr;
        drawer_.reset();
        SDL_DestroyRenderer(renderer);
        if (previous) ImGui::SetCurrentContext(previous);
        return;
    }
    SDL_ShowWindow(window_);
    host_.setSideWindow(this);
}

SdlDebugWindow::~SdlDebugWindow() {
    host_.setSideWindow(nullptr);
    if (host_.displayLost()) return;  // its teardown could hang on the dead connection
    if (context_) {
        ImGui::SetCurrentContext(context_);
        if (backendStarted_) ImGui_ImplSDL2_Shutdown();
        drawer_.reset();
        ImGui::DestroyContext(context_);
    }
    if (icons_) SDL_DestroyTexture(icons_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
}

bool SdlDebugWindow::loadFont() {
    std::string file = japaneseFontFile();
    if (file.empty()) return false;
    std::vector<ImWchar>& ranges = glyphRanges();
    if (ranges.empty()) ranges = cp932GlyphRanges();
    ImFontConfig config;
    // Crisp small text and an atlas that stays small with some 7000 characters in it.
    config.OversampleH = config.OversampleV = 1;
    config.PixelSnapH = true;
    ImGuiIO& io = ImGui::GetIO();
    io.Fonts->TexDesiredWidth = 2048;
    return io.Fonts->AddFontFromFileTTF(file.c_str(), kFontPixels, &config, ranges.data()) !=
           nullptr;
}

bool SdlDebugWindow::makeIconTexture() {
    constexpr int kSize = kDebugIconSize;
    std::vector<uint32_t> strip(static_cast<size_t>(kSize * kSize * kDebugIconCount));
    for (int i = 0; i < kDebugIconCount; ++i) {
        DebugIconPixels icon = debugIconPixels(static_cast<DebugIcon>(i));
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                strip[static_cast<size_t>(y * kSize * kDebugIconCount + i * kSize + x)] =
                    icon[static_cast<size_t>(y * kSize + x)];
    }
    // 0xAABBGGRR words are R, G, B, A bytes on a little-endian machine: ABGR8888 there.
    icons_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STATIC,
                               kSize * kDebugIconCount, kSize);
    if (!icons_) return false;
    SDL_UpdateTexture(icons_, nullptr, strip.data(), kSize * kDebugIconCount * 4);
    SDL_SetTextureBlendMode(icons_, SDL_BLENDMODE_BLEND);
    return true;
}

bool SdlDebugWindow::takeEvent(const SDL_Event& ev) {
    uint32_t id;
    switch (ev.type) {
        case SDL_WINDOWEVENT:
            id = ev.window.windowID;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            id = ev.key.windowID;
            break;
        case SDL_TEXTINPUT:
            id = ev.text.windowID;
            break;
        case SDL_MOUSEMOTION:
            id = ev.motion.windowID;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            id = ev.button.windowID;
            break;
        case SDL_MOUSEWHEEL:
            id = ev.wheel.windowID;
            break;
        default:
            return false;
    }
    if (id != windowId_ || !ok()) return false;
    if (ev.type == SDL_WINDOWEVENT && ev.window.event == SDL_WINDOWEVENT_CLOSE) {
        SDL_HideWindow(window_);
        hidden_ = true;
        info_.formClose();
        return true;
    }
    ImGui::SetCurrentContext(context_);
    ImGui_ImplSDL2_ProcessEvent(&ev);
    inputFrames_ = kFramesAfterInput;
    return true;
}

void SdlDebugWindow::afterMessages() {
    if (!ok() || hidden_) return;
    uint32_t now = SDL_GetTicks();
    uint32_t since = now - lastFrame_;
    if (inputFrames_ > 0)
        --inputFrames_;
    else if (!(dirty_ && since >= kRedrawAfterChange) && since < kIdleRedraw)
        return;
    lastFrame_ = now;
    drawFrame();
}

void SdlDebugWindow::drawFrame() {
    ImGui::SetCurrentContext(context_);
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    dirty_ = false;

    const ImGuiViewport* view = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(view->Pos);
    ImGui::SetNextWindowSize(view->Size);
    ImGui::Begin("DebugInfo", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus);
    drawToolBar();
    drawTabs();
    drawList();
    ImGui::End();
    ImGui::Render();

    SDL_SetRenderDrawColor(renderer_, 240, 240, 240, 255);
    SDL_RenderClear(renderer_);
    drawer_->render(ImGui::GetDrawData());
    SDL_RenderPresent(renderer_);
}

bool SdlDebugWindow::toolButton(DebugIcon icon, const char* id, std::string_view hint) {
    bool down = info_.downButton() == icon;
    ImGuiStyle& style = ImGui::GetStyle();
    ImGui::PushID(id);
    ImGui::PushStyleColor(ImGuiCol_Button,
                          down ? style.Colors[ImGuiCol_ButtonActive] : ImVec4(0, 0, 0, 0));
    bool clicked =
        ImGui::ImageButton(static_cast<ImTextureID>(icons_), ImVec2(kDebugIconSize, kDebugIconSize),
                           iconUv(icon, false), iconUv(icon, true), 3);
    ImGui::PopStyleColor();
    ImGui::PopID();
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s", sjisToUtf8(hint).c_str());
    return clicked;
}

void SdlDebugWindow::drawToolBar() {
    ImGui::SetCursorPosX(ImGui::GetCursorPosX() + kToolBarIndent);
    if (toolButton(DebugIcon::Run, "play", texts::kDebugHintPlay)) info_.tbPlayClick();
    ImGui::SameLine(0, 0);
    if (toolButton(DebugIcon::Step, "step", texts::kDebugHintStep)) info_.tbStepClick();
    ImGui::SameLine(0, kToolSeparator);
    if (toolButton(DebugIcon::Pause, "pause", texts::kDebugHintPause)) info_.tbPauseClick();
    ImGui::Separator();
}

void SdlDebugWindow::drawTabs() {
    // Plain buttons drawn as tabs: ImGui's own tab bar ignores a click that arrives together
    // with the pointer's move onto it, as clicks do while the gate holds the story.
    const std::string_view names[kDebugTabCount] = {texts::kDebugTabProcess, texts::kDebugTabScreen,
                                                    texts::kDebugTabVariables};
    ImGuiStyle& style = ImGui::GetStyle();
    for (int t = 0; t < kDebugTabCount; ++t) {
        bool selected = info_.tab() == static_cast<DebugTab>(t);
        if (t > 0) ImGui::SameLine(0, 2);
        ImGui::PushStyleColor(ImGuiCol_Button,
                              style.Colors[selected ? ImGuiCol_TabActive : ImGuiCol_Tab]);
        ImGui::PushStyleColor(ImGuiCol_ButtonHovered, style.Colors[ImGuiCol_TabHovered]);
        ImGui::PushStyleColor(ImGuiCol_ButtonActive, style.Colors[ImGuiCol_TabActive]);
        std::string label = sjisToUtf8(names[t]) + "###tab" + std::to_string(t);
        if (ImGui::Button(label.c_str()) && !selected)
            info_.tabControlChange(static_cast<DebugTab>(t));
        ImGui::PopStyleColor(3);
    }
    ImVec2 at = ImGui::GetCursorScreenPos();
    ImGui::GetWindowDrawList()->AddLine(ImVec2(at.x, at.y - 1),
                                        ImVec2(at.x + ImGui::GetContentRegionAvail().x, at.y - 1),
                                        ImGui::GetColorU32(ImGuiCol_TabActive));
}

void SdlDebugWindow::drawList() {
    // The header: one section, "property", whose width is where the values start.
    ImDrawList* draw = ImGui::GetWindowDrawList();
    ImVec2 at = ImGui::GetCursorScreenPos();
    float width = ImGui::GetContentRegionAvail().x;
    float headerHeight = ImGui::GetFrameHeight();
    ImU32 textColour = ImGui::GetColorU32(ImGuiCol_Text);
    draw->AddRectFilled(at, ImVec2(at.x + width, at.y + headerHeight),
                        IM_COL32(250, 250, 250, 255));
    draw->AddLine(ImVec2(at.x, at.y + headerHeight - 1),
                  ImVec2(at.x + width, at.y + headerHeight - 1), IM_COL32(200, 200, 200, 255));
    draw->AddLine(ImVec2(at.x + kHeaderSection, at.y + 2),
                  ImVec2(at.x + kHeaderSection, at.y + headerHeight - 2),
                  IM_COL32(200, 200, 200, 255));
    std::string header = sjisToUtf8(texts::kDebugHeaderProperty);
    draw->AddText(ImVec2(at.x + 4, at.y + (headerHeight - ImGui::GetFontSize()) / 2), textColour,
                  header.c_str());
    ImGui::Dummy(ImVec2(width, headerHeight));

    ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(0, 0));
    ImGui::BeginChild("list", ImVec2(0, 0), true);
    // Rows as tall as their text, at least as tall as an icon.
    float rowHeight = std::max(ImGui::GetTextLineHeight(), static_cast<float>(kDebugIconSize));
    bool scrolled = false;
    if (info_.topIndex() != shownTop_) {
        ImGui::SetScrollY(static_cast<float>(info_.topIndex()) * rowHeight);
        shownTop_ = info_.topIndex();
        scrolled = true;
    }
    int count = static_cast<int>(info_.items().size());
    ImDrawList* rows = ImGui::GetWindowDrawList();
    ImGuiListClipper clipper;
    clipper.Begin(count, rowHeight);
    while (clipper.Step()) {
        for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
            ImVec2 rowAt = ImGui::GetCursorScreenPos();
            bool selected = i == info_.itemIndex();
            ImGui::PushID(i);
            if (ImGui::Selectable("##row", selected, ImGuiSelectableFlags_None,
                                  ImVec2(0, rowHeight)))
                info_.select(i);
            ImGui::PopID();
            DebugRow row = info_.row(i);
            if (row.icon == DebugIcon::None) continue;  // border lines stay empty
            ImU32 colour = selected ? IM_COL32(255, 255, 255, 255) : textColour;
            rows->AddImage(static_cast<ImTextureID>(icons_), rowAt,
                           ImVec2(rowAt.x + kDebugIconSize, rowAt.y + kDebugIconSize),
                           iconUv(row.icon, false), iconUv(row.icon, true));
            float textTop = rowAt.y + rowHeight - ImGui::GetFontSize();
            std::string label = sjisToUtf8(row.label);
            std::string value = sjisToUtf8(row.value);
            // A long name stops where the values begin.
            rows->PushClipRect(rowAt, ImVec2(rowAt.x + kHeaderSection - 2, rowAt.y + rowHeight),
                               true);
            rows->AddText(ImVec2(rowAt.x + kDebugIconSize + 2, textTop), colour, label.c_str());
            rows->PopClipRect();
            rows->AddText(ImVec2(rowAt.x + kHeaderSection, textTop), colour, value.c_str());
        }
    }
    if (!scrolled && rowHeight > 0) {
        info_.setTopIndex(static_cast<int>(ImGui::GetScrollY() / rowHeight));
        shownTop_ = info_.topIndex();
    }
    ImGui::EndChild();
    ImGui::PopStyleVar();
}

}  // namespace zarvo::platform
