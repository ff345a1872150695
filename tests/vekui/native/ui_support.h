// Test doubles for the control tree: a skin read from a folder, a window
// bridge that records what the tree asks of it and measures text with a
// fixed advance (one em per UTF-16 unit), and a painter that records draws.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "utility/vekui/core/layoutbuilder.h"
#include "utility/vekui/core/skinarchive.h"
#include "utility/vekui/core/uimanager.h"

namespace vekui::test {

// The skin the input and builder tests load.
inline std::string FixtureSkinDir() {
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/')) + "/fixtures/skin";
}

// The shipped skin's sources (layout and font table), for the geometry.
inline std::string ShippedSkinDir() {
    std::string here = __FILE__;
    here = here.substr(0, here.find_last_of('/'));  // tests/vekui/native
    return here + "/../../../resources/skin";
}

class FolderSkin : public ISkinFiles {
public:
    explicit FolderSkin(std::string root) : m_root(std::move(root)) {}
    bool Read(std::string_view name, std::string* data, std::string* error) const override {
        std::ifstream in(m_root + "/" + std::string(name), std::ios::binary);
        if (!in) {
            *error = "no such entry";
            return false;
        }
        std::ostringstream all;
        all << in.rdbuf();
        *data = all.str();
        return true;
    }

private:
    std::string m_root;
};

// Files given in memory.
class MemorySkin : public ISkinFiles {
public:
    void Put(std::string name, std::string data) { m_files.emplace_back(std::move(name), std::move(data)); }
    bool Read(std::string_view name, std::string* data, std::string* error) const override {
        for (const auto& f : m_files) {
            if (f.first == name) return *data = f.second, true;
        }
        *error = "no such entry";
        return false;
    }

private:
    std::vector<std::pair<std::string, std::string>> m_files;
};

struct TimerCall {
    CControlUI* control;
    uintptr_t id;
    unsigned elapse;
};

class RecordingBridge : public IWindowBridge, public ITextMetrics {
public:
    CUiManager* manager = nullptr;
    std::vector<Rect> invalidated;
    std::vector<TimerCall> timers;
    std::vector<CControlUI*> killedAll;
    int captures = 0;   // SetCapture minus ReleaseCapture
    std::vector<std::wstring> tooltips;  // shown; an empty entry for each hide

    void Invalidate(const Rect& rect) override { invalidated.push_back(rect); }
    bool SetTimer(CControlUI* control, uintptr_t id, unsigned elapseMs) override {
        timers.push_back({control, id, elapseMs});
        return true;
    }
    void KillTimer(CControlUI*, uintptr_t) override {}
    void KillAllTimers(CControlUI* control) override { killedAll.push_back(control); }
    void SetCapture() override { ++captures; }
    void ReleaseCapture() override { --captures; }
    void SetCursor(CursorKind) override {}
    std::wstring GetClipboardText() override { return {}; }
    void SetClipboardText(const std::wstring&) override {}
    void SetImePosition(const Rect&) override {}
    void ShowTooltip(const std::wstring& text, const Rect&) override { tooltips.push_back(text); }
    void HideTooltip() override { tooltips.emplace_back(); }
    void Minimize() override {}
    ITextMetrics& TextMetrics() override { return *this; }

    Size MeasureText(const std::wstring& text, int fontId) override {
        const int em = ScaleLength(manager->Fonts().Get(fontId).size, manager->Dpi());
        return {static_cast<int>(text.size()) * em, em};
    }
};

struct Notice {
    std::string type;
    std::string sender;
    uintptr_t wParam;
};

class RecordingNotifier : public INotifyUI {
public:
    std::vector<Notice> notices;
    void Notify(TNotifyUI& msg) override {
        notices.push_back({msg.type, msg.sender ? msg.sender->GetName() : std::string(), msg.wParam});
    }
};

// A window of the fixture skin at a DPI, laid out at its window size.
struct TestWindow {
    RecordingBridge bridge;
    CUiManager manager{&bridge};
    RecordingNotifier notifier;
    std::string error;
    bool built = false;

    explicit TestWindow(int dpi, const ISkinFiles& skin) {
        bridge.manager = &manager;
        manager.SetDpi(dpi);
        built = BuildLayout(skin, "Layout/Layout.xml", manager, &error);
        manager.AddNotifier(&notifier);
        manager.Layout(manager.WindowSize());
        bridge.invalidated.clear();
    }
    CControlUI* Find(const char* name) const { return manager.FindControl(name); }
    Point Center(const char* name) const {
        const Rect r = Find(name)->GetPos();
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void Click(Point pt) {
        manager.HandleMouseMove(pt, 0);
        manager.HandleButtonDown(pt, 0);
        manager.HandleButtonUp(pt, 0);
    }
};

}  // namespace vekui::test
