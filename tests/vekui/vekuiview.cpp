// Shows or renders a skin's window for tests and previews.
//   vekuiview --skin <zip | folder | installer.exe> --render <out.png> [--dpi N] [--view N]
//   vekuiview --skin <...> --show --log <file> [--probe x,y]
// Rendering needs no display; it prints the size and each named control
// ("control <name> l t r b"). Showing writes one line per notification
// ("notify <type> <sender> <wParam>") and per window event ("shown x y w h",
// "frame l t r b probe RRGGBB" with the
// pixel shown at the --probe x,y client point, "firstframe <ms since process start>", "minimized",
// "moved x y", "focus in|out", "closed") to the log, each line flushed.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "utility/base/handles.h"
#include "utility/base/resources.h"
#include "utility/base/system.h"
#include "utility/base/textconv.h"
#include "utility/vekui/core/controls.h"
#include "utility/vekui/win/offscreen.h"
#include "utility/vekui/win/pngwriter.h"
#include "utility/vekui/win/skinstore.h"
#include "utility/vekui/win/windowimplbase.h"

namespace {

constexpr int kSkinResourceId = 249;
constexpr char kLayout[] = "Layout/Layout.xml";

struct Options {
    std::wstring skin, render, log;
    bool show = false;
    int dpi = 96;
    int view = 0;
    POINT probe = {-1, -1};
};

bool ParseOptions(int argc, wchar_t** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--show") o->show = true;
        else if (arg == L"--skin" && hasValue) o->skin = argv[++i];
        else if (arg == L"--render" && hasValue) o->render = argv[++i];
        else if (arg == L"--log" && hasValue) o->log = argv[++i];
        else if (arg == L"--dpi" && hasValue) o->dpi = _wtoi(argv[++i]);
        else if (arg == L"--view" && hasValue) o->view = _wtoi(argv[++i]);
        else if (arg == L"--probe" && hasValue && std::swscanf(argv[++i], L"%ld,%ld", &o->probe.x, &o->probe.y) == 2) continue;
        else return false;
    }
    return !o->skin.empty() && (o->show ? !o->log.empty() : !o->render.empty()) && o->dpi >= 48 && o->dpi <= 480;
}

// A skin folder on disk, read as the archive would be.
class FolderSkin : public vekui::ISkinFiles {
public:
    explicit FolderSkin(std::wstring root) : root_(std::move(root)) {}
    bool Read(std::string_view name, std::string* data, std::string* error) const override {
        std::wstring path = root_ + L"\\" + vek::Utf8ToWide(name);
        for (wchar_t& c : path)
            if (c == L'/') c = L'\\';
        vek::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                           nullptr));
        LARGE_INTEGER size = {};
        if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > (64 << 20)) {
            if (error) *error = "cannot read " + std::string(name);
            return false;
        }
        data->resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        return data->empty() || (::ReadFile(file.get(), data->data(), static_cast<DWORD>(data->size()), &got,
                                            nullptr) && got == data->size());
    }

private:
    std::wstring root_;
};

// The skin's bytes and the archive over them, or a folder.
struct LoadedSkin {
    std::string zipBytes;
    vek::UniqueModule module;
    std::unique_ptr<FolderSkin> folder;
    const vekui::ISkinFiles* files = nullptr;
};

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
    FolderSkin reader(L"");
    return reader.Read(vek::WideToUtf8(path), bytes, nullptr);
}

bool LoadSkin(const std::wstring& path, LoadedSkin* skin) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        skin->folder = std::make_unique<FolderSkin>(path);
        skin->files = skin->folder.get();
        return true;
    }
    std::string_view bytes;
    const bool exe = path.size() > 4 && _wcsicmp(path.c_str() + path.size() - 4, L".exe") == 0;
    if (exe) {
        skin->module.reset(::LoadLibraryExW(path.c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        if (!skin->module || vek::LoadResourceBytes(skin->module.get(), MAKEINTRESOURCEW(kSkinResourceId), L"ZIP",
                                                    &bytes) != vek::ResourceResult::Ok)
            return false;
    } else {
        if (!ReadWholeFile(path, &skin->zipBytes)) return false;
        bytes = skin->zipBytes;
    }
    if (!vekui::SetResourceZip(bytes.data(), bytes.size(), L"")) return false;
    skin->files = vekui::GetResourceSkin();
    return true;
}

class LogFile {
public:
    explicit LogFile(const std::wstring& path)
        : file_(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    bool ok() const { return file_.valid(); }
    // One whole line per write: a reader never sees half a line.
    void Line(const std::string& text) {
        const std::string line = text + "\n";
        DWORD written = 0;
        ::WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

private:
    vek::UniqueFile file_;
};

class ViewWindow : public vekui::WindowImplBase {
public:
    ViewWindow(const vekui::ISkinFiles* skin, LogFile& log, POINT probe) : skin_(skin), log_(log), probe_(probe) {}

    void Notify(vekui::TNotifyUI& msg) override {
        std::string line = "notify " + msg.type + " " + (msg.sender ? msg.sender->GetName() : std::string("-")) +
                           " " + std::to_string(msg.wParam);
        // The text a change leaves, so that typing can be checked.
        if (msg.type == "textchanged" && msg.sender) line += " " + vek::WideToUtf8(msg.sender->GetText());
        log_.Line(line);
        WindowImplBase::Notify(msg);
    }
    void OnClose(vekui::TNotifyUI&) { Close(); }
    bool shown = false;

    VEKUI_BEGIN_NOTIFY_MAP(ViewWindow)
    VEKUI_NOTIFY("click", "BtnClose", OnClose)
    VEKUI_END_NOTIFY_MAP()

protected:
    const wchar_t* GetWindowClassName() const override { return L"VekUiView"; }
    std::wstring GetSkinFile() override { return L"Layout/Layout.xml"; }
    const vekui::ISkinFiles* GetSkin() override { return skin_; }

    void OnFramePresented(const vekui::Rect& r) override {
        if (!shown) return;
        char pixel[16];
        const uint32_t value = Surface().Pixel(probe_.x, probe_.y);
        std::snprintf(pixel, sizeof(pixel), "%06X", static_cast<unsigned>(value & 0xFFFFFF));
        log_.Line("frame " + std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) +
                  " " + std::to_string(r.bottom) + " probe " + pixel);
    }

    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override {
        handled = false;
        if (msg == WM_SIZE && wParam == SIZE_MINIMIZED) log_.Line("minimized");
        if (msg == WM_MOVE && shown && !::IsIconic(GetHWND())) {
            RECT r;
            ::GetWindowRect(GetHWND(), &r);
            log_.Line("moved " + std::to_string(r.left) + " " + std::to_string(r.top));
        }
        if (msg == WM_SETFOCUS) log_.Line("focus in");
        if (msg == WM_KILLFOCUS) log_.Line("focus out");
        return 0;
    }
    void OnFinalMessage(HWND hwnd) override {
        WindowImplBase::OnFinalMessage(hwnd);
        log_.Line("closed");
        ::PostQuitMessage(0);
    }

private:
    const vekui::ISkinFiles* skin_;
    LogFile& log_;
    POINT probe_;
};

// Each named, visible control: "control <name> l t r b" (client pixels).
template <typename Emit>
void ListControls(vekui::CUiManager& manager, Emit emit) {
    auto* root = dynamic_cast<vekui::CContainerUI*>(manager.GetRoot());
    if (!root) return;
    for (vekui::CControlUI* c : root->FindSubControlsByClass<vekui::CControlUI>()) {
        if (c->GetName().empty() || !c->IsVisible()) continue;
        const vekui::Rect& r = c->GetPos();
        emit("control " + c->GetName() + " " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
             std::to_string(r.right) + " " + std::to_string(r.bottom));
    }
}

int Show(const vekui::ISkinFiles* skin, const Options& options) {
    LogFile log(options.log);
    if (!log.ok()) return 3;
    ViewWindow window(skin, log, options.probe);
    if (!window.Create(nullptr, L"vekuiview")) {
        std::fprintf(stderr, "cannot create the window: %s\n", window.LayoutError().c_str());
        return 4;
    }
    window.CenterWindow();
    window.ShowWindow(true, true);
    window.shown = true;
    log.Line("firstframe " + std::to_string(vek::MillisecondsSinceProcessStart()));
    RECT r;
    ::GetWindowRect(window.GetHWND(), &r);
    log.Line("shown " + std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
             " " + std::to_string(r.bottom - r.top) + " dpi " + std::to_string(window.Dpi()));
    ListControls(window.Manager(), [&log](const std::string& line) { log.Line(line); });
    log.Line("ready");
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

int Render(const vekui::ISkinFiles& skin, const Options& options) {
    vekui::COffscreenRenderer renderer(skin);
    std::string error;
    if (!renderer.Build(kLayout, &error)) {
        std::fprintf(stderr, "layout: %s\n", error.c_str());
        return 4;
    }
    if (auto* root = dynamic_cast<vekui::CContainerUI*>(renderer.Manager().GetRoot())) {
        auto tabs = root->FindSubControlsByClass<vekui::CTabLayoutUI>();
        if (!tabs.empty() && !tabs.front()->SelectItem(options.view)) return 5;
    }
    if (!renderer.Render(options.dpi) || !vekui::SaveSurfacePng(renderer.Surface(), options.render)) return 6;
    const vekui::Size size = renderer.Surface().GetSize();
    std::printf("size %d %d\n", size.cx, size.cy);
    ListControls(renderer.Manager(), [](const std::string& line) { std::printf("%s\n", line.c_str()); });
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: vekuiview --skin <zip|folder|exe> (--render <png> [--dpi N] [--view N] | --show --log <file>)\n");
        return 2;
    }
    LoadedSkin skin;
    if (!LoadSkin(options.skin, &skin)) {
        std::fprintf(stderr, "cannot load the skin\n");
        return 3;
    }
    return options.show ? Show(skin.files, options) : Render(*skin.files, options);
}
