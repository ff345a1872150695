#include "utility/vekui/core/texteditor.h"

#include <gtest/gtest.h>

#include "utility/vekui/core/events.h"

namespace vekui {
namespace {

// 7 px an ASCII unit, 14 px any other character (a surrogate pair is one).
class FixedMetrics : public ITextMetrics {
public:
    static int Width(const std::wstring& text) {
        int width = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            const wchar_t c = text[i];
            if (c >= 0xDC00 && c <= 0xDFFF) continue;
            width += c < 0x80 ? 7 : 14;
        }
        return width;
    }
    Size MeasureText(const std::wstring& text, int fontId) override { return {Width(text), 18}; }
};

class FakeClipboard : public ITextClipboard {
public:
    std::wstring text;
    std::wstring GetText() override { return text; }
    void SetText(const std::wstring& t) override { text = t; }
};

// U+1D11E as UTF-16 on every host (wchar_t is 32 bits on Linux).
const std::wstring kClef{wchar_t(0xD834), wchar_t(0xDD1E)};
const std::wstring kPath = L"C:\\Program Files\\Tovik";

CTextEditModel Model(const std::wstring& text, size_t anchor, size_t caret) {
    CTextEditModel model;
    model.SetText(text);
    model.SetSel(anchor, caret);
    return model;
}

bool InsidePair(const std::wstring& text, size_t pos) {
    return pos > 0 && pos < text.size() && text[pos - 1] >= 0xD800 && text[pos - 1] <= 0xDBFF;
}

TEST(TextEditModel, InsertFiltersAndReplacesTheSelection) {
    struct Case {
        const wchar_t* name; std::wstring text; size_t anchor, caret; std::wstring insert; size_t maxLength;
        std::wstring expected; size_t caretAfter; bool changed;
    };
    const Case cases[] = {
        {L"plain", L"ac", 1, 1, L"b", 100, L"abc", 2, true},
        {L"line breaks dropped", L"", 0, 0, L"C:\\a\r\nb\n", 100, L"C:\\ab", 5, true},
        {L"controls dropped", L"", 0, 0, L"a\tb\x7f" L"c\x85" L"d\x2028", 100, L"abcd", 4, true},
        {L"only controls keep the selection", L"abc", 0, 3, L"\r\n", 100, L"abc", 3, false},
        {L"replaces selection", L"C:\\Old\\x", 3, 6, L"新的", 100, L"C:\\新的\\x", 5, true},
        {L"Chinese", L"D:\\", 3, 3, L"软件安装", 100, L"D:\\软件安装", 7, true},
        {L"pair kept", L"", 0, 0, kClef + L"z", 100, kClef + L"z", 3, true},
        {L"unpaired halves dropped", L"", 0, 0, L"a\xD834" L"b\xDD1E" L"c", 100, L"abc", 3, true},
        {L"cut to the room", L"abc", 3, 3, L"defg", 5, L"abcde", 5, true},
        {L"full field takes nothing", L"abcde", 5, 5, L"f", 5, L"abcde", 5, false},
        {L"selection frees its room", L"abcde", 1, 3, L"xyz", 5, L"axyde", 3, true},
        {L"cut never splits a pair", L"abc", 3, 3, L"d" + kClef, 5, L"abcd", 4, true},
    };
    for (const Case& c : cases) {
        CTextEditModel model;
        model.SetMaxLength(c.maxLength);
        model.SetText(c.text);
        model.SetSel(c.anchor, c.caret);
        const bool changed = model.InsertText(c.insert);
        EXPECT_EQ(model.Text(), c.expected) << c.name;
        EXPECT_EQ(model.Caret(), c.caretAfter) << c.name;
        EXPECT_EQ(model.HasSelection(), !c.changed && c.anchor != c.caret) << c.name;
        EXPECT_EQ(changed, c.changed) << c.name;
    }
}

TEST(TextEditModel, SetTextFiltersCutsAndPutsTheCaretAtTheEnd) {
    CTextEditModel model;
    model.SetText(L"abc");
    model.SetSel(0, 2);
    EXPECT_TRUE(model.SetText(L"x\r\ny"));
    EXPECT_EQ(model.Text(), L"xy");
    EXPECT_EQ(model.Caret(), 2u);
    EXPECT_FALSE(model.HasSelection());
    EXPECT_FALSE(model.SetText(L"xy"));

    model.SetMaxLength(3);
    model.SetText(L"ab" + kClef);
    EXPECT_EQ(model.Text(), L"ab");
    model.SetMaxLength(10);
    model.SetText(L"ab" + kClef + L"cd");
    model.SetSel(0, 6);
    EXPECT_TRUE(model.SetMaxLength(3));
    EXPECT_EQ(model.Text(), L"ab");
    EXPECT_EQ(model.SelEnd(), 2u);
}

TEST(TextEditModel, Keys) {
    const unsigned S = kModShift, C = kModControl, A = kModAlt;
    const std::wstring pairs = L"a" + kClef + L"b";  // a D834 DD1E b
    struct Case {
        const char* name; std::wstring text; size_t anchor, caret; unsigned key, mods;
        std::wstring expected; size_t anchorAfter, caretAfter; bool handled;
    };
    const Case cases[] = {
        {"left", L"abc", 2, 2, vk::kLeft, 0, L"abc", 1, 1, true},
        {"left at start", L"abc", 0, 0, vk::kLeft, 0, L"abc", 0, 0, true},
        {"right over a pair", pairs, 1, 1, vk::kRight, 0, pairs, 3, 3, true},
        {"left over a pair", pairs, 3, 3, vk::kLeft, 0, pairs, 1, 1, true},
        {"shift right over a pair", pairs, 1, 1, vk::kRight, S, pairs, 1, 3, true},
        {"left collapses a selection", L"abcdef", 4, 1, vk::kLeft, 0, L"abcdef", 1, 1, true},
        {"right collapses a selection", L"abcdef", 4, 1, vk::kRight, 0, L"abcdef", 4, 4, true},
        {"shift left shrinks", L"abcdef", 1, 4, vk::kLeft, S, L"abcdef", 1, 3, true},
        {"home", L"abc", 2, 2, vk::kHome, 0, L"abc", 0, 0, true},
        {"shift home", L"abc", 2, 2, vk::kHome, S, L"abc", 2, 0, true},
        {"shift end", L"abc", 1, 1, vk::kEnd, S, L"abc", 1, 3, true},
        {"ctrl right: drive letter", kPath, 0, 0, vk::kRight, C, kPath, 1, 1, true},
        {"ctrl right: separators", kPath, 1, 1, vk::kRight, C, kPath, 3, 3, true},
        {"ctrl right: word and its space", kPath, 3, 3, vk::kRight, C, kPath, 11, 11, true},
        {"ctrl right at end", kPath, 22, 22, vk::kRight, C, kPath, 22, 22, true},
        {"ctrl left: word", kPath, 22, 22, vk::kLeft, C, kPath, 17, 17, true},
        {"ctrl left: over space", kPath, 11, 11, vk::kLeft, C, kPath, 3, 3, true},
        {"ctrl shift left", kPath, 22, 22, vk::kLeft, C | S, kPath, 22, 17, true},
        {"ctrl right: Chinese run", L"安装 目录", 0, 0, vk::kRight, C, L"安装 目录", 3, 3, true},
        {"ctrl right: wide punctuation", L"安装，目录", 0, 0, vk::kRight, C, L"安装，目录", 2, 2, true},
        {"backspace", L"abc", 2, 2, vk::kBack, 0, L"ac", 1, 1, true},
        {"backspace at start", L"abc", 0, 0, vk::kBack, 0, L"abc", 0, 0, true},
        {"backspace a pair", pairs, 3, 3, vk::kBack, 0, L"ab", 1, 1, true},
        {"backspace a selection", L"abcdef", 1, 4, vk::kBack, 0, L"aef", 1, 1, true},
        {"ctrl backspace a word", kPath, 22, 22, vk::kBack, C, L"C:\\Program Files\\", 17, 17, true},
        {"delete", L"abc", 1, 1, vk::kDelete, 0, L"ac", 1, 1, true},
        {"delete at end", L"abc", 3, 3, vk::kDelete, 0, L"abc", 3, 3, true},
        {"delete a pair", pairs, 1, 1, vk::kDelete, 0, L"ab", 1, 1, true},
        {"delete a selection", L"abcdef", 4, 1, vk::kDelete, 0, L"aef", 1, 1, true},
        {"ctrl delete a word", kPath, 3, 3, vk::kDelete, C, L"C:\\Files\\Tovik", 3, 3, true},
        {"ctrl A", L"abc", 1, 1, 'A', C, L"abc", 0, 3, true},
        {"plain A is a character", L"abc", 1, 1, 'A', 0, L"abc", 1, 1, false},
        {"alt left is the window's", L"abc", 2, 2, vk::kLeft, A, L"abc", 2, 2, false},
        {"enter is not the editor's", L"abc", 2, 2, 0x0D, 0, L"abc", 2, 2, false},
    };
    for (const Case& c : cases) {
        CTextEditModel model = Model(c.text, c.anchor, c.caret);
        const std::wstring before = model.Text();
        const EditResult result = model.KeyDown(c.key, c.mods, nullptr);
        EXPECT_EQ(model.Text(), c.expected) << c.name;
        EXPECT_EQ(model.Anchor(), c.anchorAfter) << c.name;
        EXPECT_EQ(model.Caret(), c.caretAfter) << c.name;
        EXPECT_EQ(result.handled, c.handled) << c.name;
        EXPECT_EQ(result.textChanged, model.Text() != before) << c.name;
    }
}

TEST(TextEditModel, NoKeyLeavesThePositionsInsideAPair) {
    const std::wstring text = kClef + L"a " + kClef + kClef + L"\\中" + kClef;
    const unsigned keys[] = {vk::kLeft, vk::kRight, vk::kHome, vk::kEnd};
    const unsigned mods[] = {0, kModShift, kModControl, kModShift | kModControl};
    for (size_t anchor = 0; anchor <= text.size(); ++anchor) {
        for (size_t caret = 0; caret <= text.size(); ++caret) {
            for (unsigned key : keys) {
                for (unsigned mod : mods) {
                    CTextEditModel model = Model(text, anchor, caret);
                    ASSERT_FALSE(InsidePair(text, model.Caret()));
                    ASSERT_FALSE(InsidePair(text, model.Anchor()));
                    model.KeyDown(key, mod, nullptr);
                    ASSERT_FALSE(InsidePair(text, model.Caret())) << anchor << " " << caret << " " << key;
                    ASSERT_FALSE(InsidePair(text, model.Anchor())) << anchor << " " << caret << " " << key;
                }
            }
        }
    }
}

TEST(TextEditModel, TypedUnitsJoinPairsAndSkipControls) {
    struct Case { const char* name; std::wstring units; std::wstring expected; };
    const Case cases[] = {
        {"ASCII and Chinese", L"C:\\安装", L"C:\\安装"},
        {"pair in two units", L"a\xD834\xDD1E" L"b", L"a" + kClef + L"b"},
        {"high then no low", L"a\xD834" L"b", L"ab"},
        {"lone low", L"a\xDD1E" L"b", L"ab"},
        {"two highs, the second pairs", L"\xD834\xD834\xDD1E", kClef},
        {"control characters", L"a\x08\x01\x1b\r\tb", L"ab"},
    };
    for (const Case& c : cases) {
        CTextEditModel model;
        for (wchar_t unit : c.units) model.TypeChar(unit);
        EXPECT_EQ(model.Text(), c.expected) << c.name;
        EXPECT_EQ(model.Caret(), c.expected.size()) << c.name;
    }
    CTextEditModel selected = Model(L"abc", 0, 3);
    EXPECT_FALSE(selected.TypeChar(0x08));
    EXPECT_EQ(selected.SelEnd(), 3u);
    EXPECT_FALSE(selected.TypeChar(0xD834));
    EXPECT_EQ(selected.Text(), L"abc");
    EXPECT_TRUE(selected.TypeChar(0xDD1E));
    EXPECT_EQ(selected.Text(), kClef);
}

TEST(TextEditModel, ClipboardKeys) {
    const unsigned S = kModShift, C = kModControl;
    struct Case {
        const char* name; size_t anchor, caret; unsigned key, mods; std::wstring clipboard;
        std::wstring text, clipboardAfter; size_t caretAfter;
    };
    const std::wstring text = L"D:\\游戏\\" + kClef;
    const Case cases[] = {
        {"ctrl C", 3, 5, 'C', C, L"old", text, L"游戏", 5},
        {"ctrl insert", 5, 3, vk::kInsert, C, L"old", text, L"游戏", 3},
        {"ctrl C without selection keeps", 3, 3, 'C', C, L"old", text, L"old", 3},
        {"ctrl X", 3, 5, 'X', C, L"old", L"D:\\\\" + kClef, L"游戏", 3},
        {"shift delete", 6, 8, vk::kDelete, S, L"old", L"D:\\游戏\\", kClef, 6},
        {"ctrl X without selection", 3, 3, 'X', C, L"old", text, L"old", 3},
        {"ctrl V replaces", 3, 5, 'V', C, L"软件", L"D:\\软件\\" + kClef, L"软件", 5},
        {"shift insert", 0, 0, vk::kInsert, S, L"E:", L"E:" + text, L"E:", 2},
        {"paste drops line breaks", 8, 8, 'V', C, L"\\x\r\n", text + L"\\x", L"\\x\r\n", 10},
    };
    for (const Case& c : cases) {
        CTextEditModel model = Model(text, c.anchor, c.caret);
        FakeClipboard clipboard;
        clipboard.text = c.clipboard;
        const EditResult result = model.KeyDown(c.key, c.mods, &clipboard);
        EXPECT_TRUE(result.handled) << c.name;
        EXPECT_EQ(model.Text(), c.text) << c.name;
        EXPECT_EQ(clipboard.text, c.clipboardAfter) << c.name;
        EXPECT_EQ(model.Caret(), c.caretAfter) << c.name;
        EXPECT_EQ(result.textChanged, c.text != text) << c.name;
    }
    CTextEditModel model = Model(text, 0, 3);
    EXPECT_TRUE(model.KeyDown('V', C, nullptr).handled);
    EXPECT_EQ(model.Text(), text);
}

// Text starts at x 10; widths a=7, 中=14, pair=14: boundaries at 0 7 21 35 42.
TEST(TextEditModel, PositionFromX) {
    FixedMetrics metrics;
    CTextEditModel model;
    model.SetView({&metrics, 0, {10, 0, 200, 18}, 1});
    model.SetText(L"a中" + kClef + L"b");
    struct Case { int x; size_t pos; };
    const Case cases[] = {
        {-50, 0}, {10, 0}, {13, 0}, {14, 1}, {17, 1}, {23, 1}, {24, 2}, {25, 2}, {37, 2},
        {38, 4}, {39, 4}, {48, 4}, {49, 5}, {52, 5}, {500, 5},
    };
    for (const Case& c : cases) EXPECT_EQ(model.PositionFromX(c.x), c.pos) << c.x;
}

TEST(TextEditModel, MouseSelects) {
    FixedMetrics metrics;
    const TextView view{&metrics, 0, {10, 0, 400, 18}, 1};
    const std::wstring text = L"C:\\安装目录\\My app" + kClef;  // 安 at 3, pair at 14
    struct Case { const char* name; int downX; unsigned mods; int dragX; bool doubleClick; size_t anchor, caret; };
    const Case cases[] = {
        {"click", 10 + 21 + 3, 0, -1, false, 3, 3},
        {"drag right", 10 + 21, 0, 10 + 21 + 28, false, 3, 5},
        {"drag left past the start", 10 + 21, 0, 0, false, 3, 0},
        {"shift click extends", 10 + 21, kModShift, -1, false, 14, 3},
        {"double-click Chinese word", 10 + 21 + 20, 0, -1, true, 3, 7},
        {"double-click separator", 10 + 17, 0, -1, true, 1, 3},
        {"double-click right half of a word's last char", 10 + 21 + 4 * 14 - 2, 0, -1, true, 3, 7},
        {"double-click the pair", 10 + 126 + 8, 0, -1, true, 11, 16},
        {"double-click past the end", 390, 0, -1, true, 11, 16},
    };
    for (const Case& c : cases) {
        CTextEditModel model;
        model.SetView(view);
        model.SetText(text);
        if (c.doubleClick) {
            model.DoubleClick(c.downX);
        } else {
            model.SetSel(14, 14);
            model.MouseDown(c.downX, c.mods);
            if (c.dragX >= 0) model.MouseDrag(c.dragX);
        }
        EXPECT_EQ(model.Anchor(), c.anchor) << c.name;
        EXPECT_EQ(model.Caret(), c.caret) << c.name;
    }
}

TEST(TextEditModel, LongTextScrollsToKeepTheCaretInView) {
    FixedMetrics metrics;
    const Rect rect{20, 5, 120, 23};   // 100 px
    CTextEditModel model;
    model.SetView({&metrics, 0, rect, 2});
    std::wstring typed;
    for (int i = 0; i < 40; ++i) {
        model.TypeChar(i % 3 ? L'x' : L'中');
        const Rect caret = model.CaretRect();
        ASSERT_GE(caret.left, rect.left) << i;
        ASSERT_LE(caret.right, rect.right) << i;
        ASSERT_GE(model.ScrollX(), 0);
    }
    const int total = model.TextWidth();
    EXPECT_EQ(model.ScrollX(), total + 2 - 100);
    EXPECT_EQ(model.CaretRect(), (Rect{118, 5, 120, 23}));

    model.KeyDown(vk::kHome, 0, nullptr);
    EXPECT_EQ(model.ScrollX(), 0);
    EXPECT_EQ(model.CaretRect(), (Rect{20, 5, 22, 23}));
    model.KeyDown(vk::kEnd, kModShift, nullptr);
    EXPECT_EQ(model.ScrollX(), total + 2 - 100);
    // The visible part of the selection only.
    EXPECT_EQ(model.SelectionRect(), (Rect{20, 5, 118, 23}));

    // Deleting from the end brings the text back instead of leaving room.
    model.SetSel(model.Text().size(), model.Text().size());
    for (int i = 0; i < 10; ++i) model.KeyDown(vk::kBack, 0, nullptr);
    EXPECT_EQ(model.ScrollX(), model.TextWidth() + 2 - 100);
    model.SetText(std::wstring(30, L'w'));   // 210 px
    for (int i = 0; i < 5; ++i) model.KeyDown(vk::kLeft, 0, nullptr);
    EXPECT_EQ(model.ScrollX(), 112);
    model.KeyDown(vk::kEnd, kModShift, nullptr);
    model.KeyDown(vk::kDelete, 0, nullptr);
    EXPECT_EQ(model.ScrollX(), 175 + 2 - 100);
    while (model.TextWidth() + 2 > 100) model.KeyDown(vk::kBack, 0, nullptr);
    EXPECT_EQ(model.ScrollX(), 0);

    // Drag past the right edge scrolls on.
    model.SetText(std::wstring(50, L'w'));
    model.SetSel(0, 0);
    model.MouseDown(rect.left + 5, 0);
    for (int x = rect.right; x < rect.right + 400; x += 20) model.MouseDrag(x);
    EXPECT_EQ(model.Caret(), 50u);
    EXPECT_EQ(model.Anchor(), 1u);
    EXPECT_EQ(model.ScrollX(), 350 + 2 - 100);

    // SetText scrolls to the new end; a narrower view keeps the caret in.
    model.SetText(L"short");
    EXPECT_EQ(model.ScrollX(), 0);
    model.SetText(std::wstring(30, L'w'));
    model.SetSel(29, 29);
    EXPECT_EQ(model.ScrollX(), 112);
    model.SetView({&metrics, 0, {20, 5, 60, 23}, 2});
    EXPECT_GE(model.CaretRect().left, 20);
    EXPECT_LE(model.CaretRect().right, 60);
}

TEST(TextEditModel, WithoutMetricsNothingScrolls) {
    CTextEditModel model;
    model.SetText(std::wstring(100, L'a'));
    EXPECT_EQ(model.ScrollX(), 0);
    EXPECT_EQ(model.PositionFromX(1000), 100u);
    model.DoubleClick(5);
    EXPECT_EQ(model.SelEnd(), 100u);
}

}  // namespace
}  // namespace vekui
