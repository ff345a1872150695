#include "utility/vekui/core/texteditor.h"

#include "utility/vekui/core/events.h"

namespace vekui {
namespace {

bool IsHigh(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool IsControl(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Word stops: runs of one class are words; spaces after a run belong to it
// when moving right. Path separators and punctuation stop a word, so
// Ctrl+arrows walk a path folder by folder.
enum class CharClass { Space, Delimiter, Word };

bool IsAsciiPunct(wchar_t c) {
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60 && c != L'_') ||
           (c >= 0x7B && c <= 0x7E);
}

bool IsWidePunct(wchar_t c) {
    return (c >= 0x3001 && c <= 0x3003) || (c >= 0x3008 && c <= 0x3011) || (c >= 0xFF01 && c <= 0xFF0F) ||
           (c >= 0xFF1A && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65);
}

CharClass Classify(wchar_t c) {
    if (c == L' ' || c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200A)) return CharClass::Space;
    if (IsAsciiPunct(c) || IsWidePunct(c)) return CharClass::Delimiter;
    return CharClass::Word;
}

// Cuts to at most length units without leaving half a pair.
void CutToLength(std::wstring& text, size_t length) {
    if (text.size() <= length) return;
    if (length > 0 && IsHigh(text[length - 1])) --length;
    text.resize(length);
}

}  // namespace

std::wstring FilterSingleLine(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsHigh(c)) {
            if (i + 1 < text.size() && IsLow(text[i + 1])) {
                out += c;
                out += text[++i];
            }
        } else if (!IsLow(c) && !IsControl(c)) {
            out += c;
        }
    }
    return out;
}

bool CTextEditModel::SetText(std::wstring_view text) {
    std::wstring filtered = FilterSingleLine(text);
    CutToLength(filtered, maxLength_);
    const bool changed = filtered != text_;
    text_ = std::move(filtered);
    caret_ = anchor_ = text_.size();
    pendingHigh_ = 0;
    scrollX_ = 0;
    ScrollToCaret();
    return changed;
}

bool CTextEditModel::SetMaxLength(size_t maxLength) {
    maxLength_ = maxLength;
    if (text_.size() <= maxLength_) return false;
    CutToLength(text_, maxLength_);
    SetSel(anchor_, caret_);
    return true;
}

std::wstring CTextEditModel::SelectedText() const { return text_.substr(SelStart(), SelEnd() - SelStart()); }

void CTextEditModel::SetSel(size_t anchor, size_t caret) {
    anchor_ = Boundary(std::min(anchor, text_.size()));
    caret_ = Boundary(std::min(caret, text_.size()));
    ScrollToCaret();
}

void CTextEditModel::SelectAll() { SetSel(0, text_.size()); }

bool CTextEditModel::InsertText(std::wstring_view text) {
    std::wstring filtered = FilterSingleLine(text);
    const size_t kept = text_.size() - (SelEnd() - SelStart());
    CutToLength(filtered, maxLength_ > kept ? maxLength_ - kept : 0);
    if (filtered.empty()) return false;
    const size_t start = SelStart();
    text_.replace(start, SelEnd() - start, filtered);
    caret_ = anchor_ = start + filtered.size();
    ScrollToCaret();
    return true;
}

bool CTextEditModel::TypeChar(wchar_t ch) {
    if (IsHigh(ch)) {
        pendingHigh_ = ch;
        return false;
    }
    const wchar_t high = pendingHigh_;
    pendingHigh_ = 0;
    if (IsLow(ch)) {
        if (high == 0) return false;
        const wchar_t pair[2] = {high, ch};
        return InsertText(std::wstring_view(pair, 2));
    }
    return InsertText(std::wstring_view(&ch, 1));
}

EditResult CTextEditModel::KeyDown(unsigned key, unsigned modifiers, ITextClipboard* clipboard) {
    if (modifiers & kModAlt) return {};
    EditResult moved = MoveKey(key, modifiers);
    return moved.handled ? moved : EditKey(key, modifiers, clipboard);
}

EditResult CTextEditModel::MoveKey(unsigned key, unsigned modifiers) {
    const bool extend = (modifiers & kModShift) != 0;
    const bool word = (modifiers & kModControl) != 0;
    switch (key) {
    case vk::kLeft:
        if (!extend && !word && HasSelection()) MoveTo(SelStart(), false);
        else MoveTo(word ? WordLeft(caret_) : PrevPos(caret_), extend);
        break;
    case vk::kRight:
        if (!extend && !word && HasSelection()) MoveTo(SelEnd(), false);
        else MoveTo(word ? WordRight(caret_) : NextPos(caret_), extend);
        break;
    case vk::kHome: MoveTo(0, extend); break;
    case vk::kEnd: MoveTo(text_.size(), extend); break;
    default: return {};
    }
    return {true, false};
}

EditResult CTextEditModel::EditKey(unsigned key, unsigned modifiers, ITextClipboard* clipboard) {
    const bool shift = (modifiers & kModShift) != 0;
    const bool ctrl = (modifiers & kModControl) != 0;
    EditResult result{true, false};
    if (key == vk::kBack) {
        result.textChanged = EraseBackward(ctrl);
    } else if (key == vk::kDelete && shift && !ctrl) {
        result.textChanged = clipboard && Cut(*clipboard);
    } else if (key == vk::kDelete) {
        result.textChanged = EraseForward(ctrl);
    } else if (ctrl && key == 'A') {
        SelectAll();
    } else if ((ctrl && key == 'C') || (ctrl && !shift && key == vk::kInsert)) {
        if (clipboard) Copy(*clipboard);
    } else if (ctrl && key == 'X') {
        result.textChanged = clipboard && Cut(*clipboard);
    } else if ((ctrl && key == 'V') || (shift && !ctrl && key == vk::kInsert)) {
        result.textChanged = clipboard && Paste(*clipboard);
    } else {
        result.handled = false;
    }
    return result;
}

bool CTextEditModel::Cut(ITextClipboard& clipboard) {
    if (!HasSelection()) return false;
    Copy(clipboard);
    return DeleteRange(SelStart(), SelEnd());
}

void CTextEditModel::Copy(ITextClipboard& clipboard) const {
    if (HasSelection()) clipboard.SetText(SelectedText());
}

bool CTextEditModel::Paste(ITextClipboard& clipboard) { return InsertText(clipboard.GetText()); }

bool CTextEditModel::EraseBackward(bool word) {
    if (HasSelection()) return DeleteRange(SelStart(), SelEnd());
    return DeleteRange(word ? WordLeft(caret_) : PrevPos(caret_), caret_);
}

bool CTextEditModel::EraseForward(bool word) {
    if (HasSelection()) return DeleteRange(SelStart(), SelEnd());
    return DeleteRange(caret_, word ? WordRight(caret_) : NextPos(caret_));
}

bool CTextEditModel::DeleteRange(size_t from, size_t to) {
    if (from >= to) return false;
    text_.erase(from, to - from);
    caret_ = anchor_ = from;
    ScrollToCaret();
    return true;
}

void CTextEditModel::MoveTo(size_t pos, bool extend) {
    caret_ = pos;
    if (!extend) anchor_ = pos;
    ScrollToCaret();
}

size_t CTextEditModel::Boundary(size_t pos) const {
    if (pos > 0 && pos < text_.size() && IsLow(text_[pos]) && IsHigh(text_[pos - 1])) return pos - 1;
    return pos;
}

size_t CTextEditModel::NextPos(size_t pos) const {
    if (pos >= text_.size()) return text_.size();
    return IsHigh(text_[pos]) && pos + 1 < text_.size() ? pos + 2 : pos + 1;
}

size_t CTextEditModel::PrevPos(size_t pos) const { return pos == 0 ? 0 : Boundary(pos - 1); }

size_t CTextEditModel::WordRight(size_t pos) const {
    const size_t n = text_.size();
    if (pos >= n) return n;
    const CharClass run = Classify(text_[pos]);
    if (run != CharClass::Space) {
        while (pos < n && Classify(text_[pos]) == run) ++pos;
    }
    while (pos < n && Classify(text_[pos]) == CharClass::Space) ++pos;
    return pos;
}

size_t CTextEditModel::WordLeft(size_t pos) const {
    while (pos > 0 && Classify(text_[pos - 1]) == CharClass::Space) --pos;
    if (pos == 0) return 0;
    const CharClass run = Classify(text_[pos - 1]);
    while (pos > 0 && Classify(text_[pos - 1]) == run) --pos;
    return pos;
}

void CTextEditModel::SetView(const TextView& view) {
    const bool same = view.metrics == view_.metrics && view.fontId == view_.fontId && view.rect == view_.rect &&
                      view.caretWidth == view_.caretWidth;
    view_ = view;
    if (!same) ScrollToCaret();
}

int CTextEditModel::PrefixWidth(size_t pos) const {
    if (!view_.metrics || pos == 0) return 0;
    return view_.metrics->MeasureText(text_.substr(0, std::min(pos, text_.size())), view_.fontId).cx;
}

Rect CTextEditModel::CaretRect() const {
    const int x = TextOriginX() + PrefixWidth(caret_);
    return {x, view_.rect.top, x + view_.caretWidth, view_.rect.bottom};
}

Rect CTextEditModel::SelectionRect() const {
    if (!HasSelection()) return {};
    const Rect span{TextOriginX() + PrefixWidth(SelStart()), view_.rect.top, TextOriginX() + PrefixWidth(SelEnd()),
                    view_.rect.bottom};
    return span.Intersect(view_.rect);
}

// Keeps the caret inside the view, and no empty room after the text's end
// while there is text scrolled out on the left.
void CTextEditModel::ScrollToCaret() {
    const int width = view_.rect.Width();
    if (width <= 0) {
        scrollX_ = 0;
        return;
    }
    const int caretX = PrefixWidth(caret_);
    if (caretX < scrollX_) scrollX_ = caretX;
    if (caretX + view_.caretWidth > scrollX_ + width) scrollX_ = caretX + view_.caretWidth - width;
    const int maxScroll = std::max(0, TextWidth() + view_.caretWidth - width);
    scrollX_ = std::max(0, std::min(scrollX_, maxScroll));
}

std::vector<size_t> CTextEditModel::Boundaries() const {
    std::vector<size_t> positions;
    positions.reserve(text_.size() + 1);
    for (size_t pos = 0; pos < text_.size(); pos = NextPos(pos)) positions.push_back(pos);
    positions.push_back(text_.size());
    return positions;
}

// Prefix widths grow with the prefix, so the boundary under x is found by
// halving: the last one whose width does not pass x.
size_t CTextEditModel::FloorIndex(const std::vector<size_t>& positions, int textX) const {
    size_t lo = 0, hi = positions.size() - 1;
    while (lo < hi) {
        const size_t mid = (lo + hi + 1) / 2;
        if (PrefixWidth(positions[mid]) <= textX) lo = mid;
        else hi = mid - 1;
    }
    return lo;
}

size_t CTextEditModel::PositionFromX(int x) const {
    const int textX = x - TextOriginX();
    const std::vector<size_t> positions = Boundaries();
    const size_t k = FloorIndex(positions, textX);
    if (k + 1 < positions.size()) {
        const long long left = PrefixWidth(positions[k]);
        const long long right = PrefixWidth(positions[k + 1]);
        if (2LL * textX >= left + right) return positions[k + 1];
    }
    return positions[k];
}

size_t CTextEditModel::CharIndexAtX(int x) const {
    const std::vector<size_t> positions = Boundaries();
    const size_t k = FloorIndex(positions, x - TextOriginX());
    return positions[k] == text_.size() && k > 0 ? positions[k - 1] : positions[k];
}

void CTextEditModel::MouseDown(int x, unsigned modifiers) { MoveTo(PositionFromX(x), (modifiers & kModShift) != 0); }

void CTextEditModel::MouseDrag(int x) { MoveTo(PositionFromX(x), true); }

void CTextEditModel::DoubleClick(int x) {
    if (text_.empty()) return;
    const size_t at = CharIndexAtX(x);
    const CharClass run = Classify(text_[at]);
    size_t start = at, end = at;
    while (start > 0 && Classify(text_[start - 1]) == run) --start;
    while (end < text_.size() && Classify(text_[end]) == run) ++end;
    anchor_ = start;
    caret_ = end;
    ScrollToCaret();
}

}  // namespace vekui
