// libFuzzer target: the skin as the installer loads it. Any bytes are
// opened as a zip, every entry is read, and each one goes to the layout
// builder (as a layout file, over a window that does nothing) and to the
// SVG parser.
#include <cstddef>
#include <cstdint>
#include <string>

#include "utility/vekui/core/layoutbuilder.h"
#include "utility/vekui/core/skinarchive.h"
#include "utility/vekui/core/svg.h"
#include "utility/vekui/core/uimanager.h"

namespace {

class NullBridge final : public vekui::IWindowBridge, public vekui::ITextMetrics {
public:
    void Invalidate(const vekui::Rect&) override {}
    bool SetTimer(vekui::CControlUI*, uintptr_t, unsigned) override { return true; }
    void KillTimer(vekui::CControlUI*, uintptr_t) override {}
    void KillAllTimers(vekui::CControlUI*) override {}
    void SetCapture() override {}
    void ReleaseCapture() override {}
    void SetCursor(vekui::CursorKind) override {}
    std::wstring GetClipboardText() override { return {}; }
    void SetClipboardText(const std::wstring&) override {}
    void SetImePosition(const vekui::Rect&) override {}
    void ShowTooltip(const std::wstring&, const vekui::Rect&) override {}
    void HideTooltip() override {}
    void Minimize() override {}
    vekui::ITextMetrics& TextMetrics() override { return *this; }
    // Every character a fixed cell, so that text-driven widths stay defined.
    vekui::Size MeasureText(const std::wstring& text, int) override {
        return {static_cast<int>(text.size() % 4096) * 7, 16};
    }
};

void BuildFrom(const vekui::CSkinArchive& archive, const std::string& name) {
    NullBridge bridge;
    vekui::CUiManager manager(&bridge);
    std::string error;
    if (vekui::BuildLayout(archive, name, manager, &error)) manager.Layout({800, 600});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vekui::CSkinArchive archive;
    std::string error;
    if (!archive.Open(data, size, &error)) return 0;
    for (const std::string& name : archive.Names()) {
        std::string content;
        if (!archive.Read(name, &content, &error)) continue;
        vekui::svg::Document document;
        vekui::svg::Parse(content, &document, &error);
        BuildFrom(archive, name);
    }
    return 0;
}
