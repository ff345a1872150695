#include "utility/vekui/win/clipboard.h"

#include <cstring>

#include "utility/vekui/win/gdihandles.h"

namespace vekui {
namespace {

class ClipboardScope {
public:
    explicit ClipboardScope(HWND owner) : open_(::OpenClipboard(owner) != FALSE) {}
    ~ClipboardScope() {
        if (open_) ::CloseClipboard();
    }
    ClipboardScope(const ClipboardScope&) = delete;
    ClipboardScope& operator=(const ClipboardScope&) = delete;
    bool open() const { return open_; }

private:
    bool open_;
};

// Text up to the first NUL and never past the block's end.
std::wstring TextOf(HGLOBAL block) {
    const SIZE_T bytes = ::GlobalSize(block);
    const auto* text = static_cast<const wchar_t*>(::GlobalLock(block));
    if (!text) return {};
    const size_t units = bytes / sizeof(wchar_t);
    size_t length = 0;
    while (length < units && text[length]) ++length;
    std::wstring result(text, length);
    ::GlobalUnlock(block);
    return result;
}

}  // namespace

std::wstring ReadClipboardText(HWND owner) {
    ClipboardScope clipboard(owner);
    if (!clipboard.open()) return {};
    HGLOBAL block = ::GetClipboardData(CF_UNICODETEXT);
    return block ? TextOf(block) : std::wstring();
}

bool WriteClipboardText(HWND owner, const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!block) return false;
    void* target = ::GlobalLock(block.get());
    if (!target) return false;
    std::memcpy(target, text.c_str(), bytes);
    ::GlobalUnlock(block.get());
    ClipboardScope clipboard(owner);
    if (!clipboard.open() || !::EmptyClipboard()) return false;
    if (!::SetClipboardData(CF_UNICODETEXT, block.get())) return false;
    block.release();  // the clipboard owns it now
    return true;
}

}  // namespace vekui
