// The single-line editor behind the path field: text, caret, selection and
// horizontal scroll, driven by keys, characters and the mouse. It knows no
// window and draws nothing; the control paints from what it exposes here.
// Positions are UTF-16 indexes that never fall inside a surrogate pair;
// x coordinates are device pixels of the window.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "utility/vekui/core/geometry.h"
#include "utility/vekui/core/painter.h"

namespace vekui {

// The virtual-key codes the editor reads (the Windows values).
namespace vk {
constexpr unsigned kBack = 0x08;
constexpr unsigned kEnd = 0x23;
constexpr unsigned kHome = 0x24;
constexpr unsigned kLeft = 0x25;
constexpr unsigned kRight = 0x27;
constexpr unsigned kInsert = 0x2D;
constexpr unsigned kDelete = 0x2E;
}  // namespace vk

class ITextClipboard {
public:
    virtual ~ITextClipboard() = default;
    virtual std::wstring GetText() = 0;
    virtual void SetText(const std::wstring& text) = 0;
};

// Where and how the text is shown: the metrics that measure prefixes, the
// font, the rectangle the text is drawn and clipped in, the caret's width.
struct TextView {
    ITextMetrics* metrics = nullptr;
    int fontId = 0;
    Rect rect;
    int caretWidth = 1;
};

struct EditResult {
    bool handled = false;      // the key belongs to the editor
    bool textChanged = false;
};

class CTextEditModel {
public:
    // The longest Windows path in UTF-16 units; longer text is cut at the
    // last whole character that fits.
    static constexpr size_t kDefaultMaxLength = 32767;

    const std::wstring& Text() const { return text_; }
    // Filters the text like typed input, puts the caret at the end and
    // clears the selection. True when the text changed.
    bool SetText(std::wstring_view text);
    size_t MaxLength() const { return maxLength_; }
    // Cuts the current text when it is longer. True when it was cut.
    bool SetMaxLength(size_t maxLength);

    size_t Caret() const { return caret_; }
    size_t Anchor() const { return anchor_; }
    size_t SelStart() const { return std::min(caret_, anchor_); }
    size_t SelEnd() const { return std::max(caret_, anchor_); }
    bool HasSelection() const { return caret_ != anchor_; }
    std::wstring SelectedText() const;
    // Both ends clamped to the text and moved off the middle of a pair.
    void SetSel(size_t anchor, size_t caret);
    void SelectAll();

    // Replaces the selection with the text, less control characters
    // (CR and LF included), cut to the room MaxLength leaves.
    bool InsertText(std::wstring_view text);
    // One UTF-16 unit of typed text; a high surrogate waits for its low half.
    bool TypeChar(wchar_t ch);
    // Editing and caret keys (Windows virtual-key codes), clipboard
    // keys through the clipboard when there is one.
    EditResult KeyDown(unsigned key, unsigned modifiers, ITextClipboard* clipboard);

    bool Cut(ITextClipboard& clipboard);
    void Copy(ITextClipboard& clipboard) const;
    bool Paste(ITextClipboard& clipboard);

    // Geometry; without metrics every width is 0.
    void SetView(const TextView& view);
    const TextView& View() const { return view_; }
    int ScrollX() const { return scrollX_; }
    // Left edge of the text's first character on the window.
    int TextOriginX() const { return view_.rect.left - scrollX_; }
    int TextWidth() const { return PrefixWidth(text_.size()); }
    int PrefixWidth(size_t pos) const;
    Rect CaretRect() const;
    // The selection's visible part, empty without a selection.
    Rect SelectionRect() const;
    // Nearest caret position to a window x.
    size_t PositionFromX(int x) const;

    // Mouse: a press places the caret (Shift extends), a drag moves the
    // caret and keeps the anchor, a double-click selects the word.
    void MouseDown(int x, unsigned modifiers);
    void MouseDrag(int x);
    void DoubleClick(int x);

private:
    size_t Boundary(size_t pos) const;   // moved left off the middle of a pair
    size_t NextPos(size_t pos) const;
    size_t PrevPos(size_t pos) const;
    size_t WordRight(size_t pos) const;
    size_t WordLeft(size_t pos) const;
    std::vector<size_t> Boundaries() const;
    size_t FloorIndex(const std::vector<size_t>& positions, int textX) const;
    size_t CharIndexAtX(int x) const;
    void MoveTo(size_t pos, bool extend);
    bool DeleteRange(size_t from, size_t to);
    bool EraseBackward(bool word);
    bool EraseForward(bool word);
    EditResult MoveKey(unsigned key, unsigned modifiers);
    EditResult EditKey(unsigned key, unsigned modifiers, ITextClipboard* clipboard);
    void ScrollToCaret();

    std::wstring text_;
    size_t caret_ = 0;
    size_t anchor_ = 0;
    size_t maxLength_ = kDefaultMaxLength;
    wchar_t pendingHigh_ = 0;
    TextView view_;
    int scrollX_ = 0;
};

// Drops what a single line cannot hold: C0 and C1 controls, DEL, unpaired
// surrogates.
std::wstring FilterSingleLine(std::wstring_view text);

}  // namespace vekui
