// The path field of the fixture skin wired to its editor: input through the
// manager as the window delivers it, output through a recording bridge and
// painter.
#include <gtest/gtest.h>

#include "tests/vekui/native/ui_support.h"
#include "utility/vekui/core/controls.h"

namespace vekui {
namespace {

constexpr unsigned kTab = 0x09;
constexpr unsigned kShift = kModShift, kCtrl = kModControl;
const std::wstring kClef{wchar_t(0xD834), wchar_t(0xDD1E)};

class EditBridge : public test::RecordingBridge {
public:
    std::wstring clipboard;
    CursorKind cursor = CursorKind::Arrow;
    std::vector<Rect> imePositions;
    std::vector<uintptr_t> killed;
    std::wstring GetClipboardText() override { return clipboard; }
    void SetClipboardText(const std::wstring& text) override { clipboard = text; }
    void SetCursor(CursorKind kind) override { cursor = kind; }
    void SetImePosition(const Rect& caret) override { imePositions.push_back(caret); }
    void KillTimer(CControlUI*, uintptr_t id) override { killed.push_back(id); }
};

struct Draw {
    enum Kind { Image, Fill, Text } kind;
    Rect rect;
    Rect clip;
    Color color = 0;
    std::wstring text;
    std::string image;
};

class RecordingPainter : public IPainter {
public:
    std::vector<Draw> draws;
    int Dpi() const override { return 96; }
    Size MeasureText(const std::wstring&, int) override { return {}; }
    bool DrawImage(const ImageSpec& image, const Rect& rect) override {
        draws.push_back({Draw::Image, rect, Clip(), 0, {}, image.file + "@" + std::to_string(image.source.left)});
        return true;
    }
    void FillRect(const Rect& rect, Color color) override { draws.push_back({Draw::Fill, rect, Clip(), color, {}, {}}); }
    void DrawText(const Rect& rect, const std::wstring& text, int, Color color, unsigned) override {
        draws.push_back({Draw::Text, rect, Clip(), color, text, {}});
    }
    void PushClip(const Rect& rect) override { m_clips.push_back(m_clips.empty() ? rect : Clip().Intersect(rect)); }
    void PopClip() override { m_clips.pop_back(); }
    std::vector<Draw> Of(Draw::Kind kind) const {
        std::vector<Draw> found;
        for (const Draw& d : draws) {
            if (d.kind == kind) found.push_back(d);
        }
        return found;
    }

private:
    Rect Clip() const { return m_clips.empty() ? Rect{0, 0, 100000, 100000} : m_clips.back(); }
    std::vector<Rect> m_clips;
};

// The fixture window; the field is empty and focused by a click at its
// left end unless asked otherwise.
struct EditWindow {
    EditBridge bridge;
    CUiManager manager{&bridge};
    test::RecordingNotifier notifier;
    CRichEditUI* edit = nullptr;
    Rect textRect;
    int em = 0;

    explicit EditWindow(int dpi = 96, bool focus = true) {
        bridge.manager = &manager;
        manager.SetDpi(dpi);
        std::string error;
        EXPECT_TRUE(BuildLayout(test::FolderSkin(test::FixtureSkinDir()), "Layout/Layout.xml", manager, &error))
            << error;
        manager.AddNotifier(&notifier);
        manager.Layout(manager.WindowSize());
        edit = manager.FindControl<CRichEditUI>("EditInstallPath");
        const Rect pos = edit->GetPos();
        textRect = {pos.left + ScaleLength(15, dpi), pos.top + ScaleLength(8, dpi), pos.right,
                    pos.bottom - ScaleLength(8, dpi)};
        em = ScaleLength(12, dpi);
        edit->SetText(L"");
        if (focus) Press({textRect.left + 1, textRect.top + 2}, 0);
        notifier.notices.clear();
    }
    void Press(Point pt, unsigned mods) {
        manager.HandleMouseMove(pt, mods);
        manager.HandleButtonDown(pt, mods);
        manager.HandleButtonUp(pt, mods);
    }
    void Type(const std::wstring& units) {
        for (wchar_t unit : units) EXPECT_TRUE(manager.HandleChar(unit));
    }
    bool Key(unsigned key, unsigned mods = 0) { return manager.HandleKeyDown(key, mods); }
    // x of the boundary before the n-th unit (one em per unit here).
    int X(int n) const { return textRect.left + n * em; }
    int TextChanges() const {
        int n = 0;
        for (const test::Notice& notice : notifier.notices) n += notice.type == "textchanged";
        return n;
    }
    RecordingPainter Paint() {
        RecordingPainter painter;
        manager.Paint(painter, edit->GetPos());
        return painter;
    }
    std::vector<Draw> EditDraws(Draw::Kind kind) {
        std::vector<Draw> found;
        for (const Draw& d : Paint().Of(kind)) {
            if (!d.rect.Intersect(edit->GetPos()).IsEmpty() && d.image.rfind("Image/BkViewInit", 0) != 0) {
                found.push_back(d);
            }
        }
        return found;
    }
};

TEST(RichEdit, TypingEditsAndNotifies) {
    EditWindow w;
    ASSERT_TRUE(w.edit->IsFocused());
    w.Type(L"D:\\软件" + kClef);
    EXPECT_EQ(w.edit->GetText(), L"D:\\软件" + kClef);
    // The pair's first half waits for the second: one change for both.
    EXPECT_EQ(w.TextChanges(), 6);
    EXPECT_EQ(w.edit->GetSelStart(), 7);

    EXPECT_TRUE(w.Key(vk::kBack));
    EXPECT_EQ(w.edit->GetText(), L"D:\\软件");
    EXPECT_TRUE(w.Key(vk::kLeft, kShift));
    EXPECT_TRUE(w.Key(vk::kLeft, kShift));
    EXPECT_EQ(w.edit->GetSelStart(), 3);
    EXPECT_EQ(w.edit->GetSelEnd(), 5);
    w.Type(L"游戏");
    EXPECT_EQ(w.edit->GetText(), L"D:\\游戏");
    EXPECT_EQ(w.TextChanges(), 9);

    // Moves, controls and keys the window keeps raise nothing.
    w.notifier.notices.clear();
    EXPECT_TRUE(w.Key(vk::kHome));
    EXPECT_TRUE(w.manager.HandleChar(0x01));
    EXPECT_FALSE(w.manager.HandleChar(L'\r'));
    EXPECT_FALSE(w.Key(0x0D));
    EXPECT_TRUE(w.Key(kTab));   // the focus moves on
    EXPECT_FALSE(w.edit->IsFocused());
    EXPECT_EQ(w.TextChanges(), 0);
    EXPECT_EQ(w.edit->GetText(), L"D:\\游戏");
}

TEST(RichEdit, SetTextPutsTheCaretAtTheEndWithoutNotice) {
    EditWindow w;
    w.Type(L"abc");
    w.edit->SetSel(0, 2);
    w.notifier.notices.clear();
    w.edit->SetText(L"C:\\Program Files\r\n\\Tovik");
    EXPECT_EQ(w.edit->GetText(), L"C:\\Program Files\\Tovik");
    EXPECT_EQ(w.edit->GetSelStart(), 22);
    EXPECT_EQ(w.edit->GetSelEnd(), 22);
    EXPECT_EQ(w.TextChanges(), 0);
    w.edit->SetSel(0, -1);
    EXPECT_EQ(w.edit->GetSelEnd(), 22);
    EXPECT_EQ(w.edit->GetSelStart(), 0);
    w.edit->SetSel(-1, 0);
    EXPECT_EQ(w.edit->GetSelStart(), w.edit->GetSelEnd());
}

TEST(RichEdit, MouseSelects) {
    EditWindow w;
    w.edit->SetText(L"C:\\Program Files\\Tovik");
    const int y = w.textRect.top + 5;
    struct Case { const char* name; int down, to; bool dbl; unsigned mods; int start, end; };
    const Case cases[] = {
        {"click places the caret", w.X(5) + 2, -1, false, 0, 5, 5},
        {"click nearer the next boundary", w.X(5) + 7, -1, false, 0, 6, 6},
        {"drag selects", w.X(3), w.X(10) + 1, false, 0, 3, 10},
        {"drag backwards", w.X(10), w.X(3), false, 0, 3, 10},
        {"shift click extends from the caret", w.X(3), -1, false, kShift, 3, 22},
        {"double-click selects the word", w.X(12) + 3, -1, true, 0, 11, 16},
    };
    for (const Case& c : cases) {
        w.edit->SetText(w.edit->GetText());   // caret to the end
        const Point down{c.down, y};
        w.manager.HandleMouseMove(down, c.mods);
        w.manager.HandleButtonDown(down, c.mods);
        if (c.dbl) {
            w.manager.HandleButtonUp(down, 0);
            w.manager.HandleDoubleClick(down, 0);
        }
        if (c.to >= 0) w.manager.HandleMouseMove({c.to, y}, 0);
        w.manager.HandleButtonUp(c.to >= 0 ? Point{c.to, y} : down, 0);
        EXPECT_EQ(w.edit->GetSelStart(), c.start) << c.name;
        EXPECT_EQ(w.edit->GetSelEnd(), c.end) << c.name;
        EXPECT_EQ(w.bridge.cursor, CursorKind::IBeam) << c.name;
    }
    // After the drag ended, moving does not select.
    w.manager.HandleMouseMove({w.X(1), y}, 0);
    EXPECT_EQ(w.edit->GetSelStart(), 11);
}

TEST(RichEdit, ClipboardRoundTrip) {
    EditWindow w;
    w.Type(L"E:\\安装");
    w.bridge.clipboard = L"old";
    EXPECT_TRUE(w.Key('A', kCtrl));
    EXPECT_TRUE(w.Key('C', kCtrl));
    EXPECT_EQ(w.bridge.clipboard, L"E:\\安装");
    EXPECT_TRUE(w.Key('X', kCtrl));
    EXPECT_EQ(w.edit->GetText(), L"");
    EXPECT_TRUE(w.Key('V', kCtrl));
    EXPECT_TRUE(w.Key('V', kCtrl));
    EXPECT_EQ(w.edit->GetText(), L"E:\\安装E:\\安装");
    w.bridge.clipboard = L"\\x\r\n";
    EXPECT_TRUE(w.Key(vk::kInsert, kShift));
    EXPECT_EQ(w.edit->GetText(), L"E:\\安装E:\\安装\\x");
    w.notifier.notices.clear();
    w.bridge.clipboard.clear();
    EXPECT_TRUE(w.Key('V', kCtrl));
    EXPECT_EQ(w.TextChanges(), 0);
}

TEST(RichEdit, PaintsFrameTextSelectionAndCaret) {
    EditWindow w(96, false);
    w.edit->SetText(L"abcdef");
    std::vector<Draw> images = w.EditDraws(Draw::Image);
    ASSERT_FALSE(images.empty());
    EXPECT_EQ(images.front().image, "Image/BkPath.svg@0");
    EXPECT_TRUE(w.EditDraws(Draw::Fill).empty());   // no caret without focus

    w.Press({w.X(2), w.textRect.top + 2}, 0);
    w.bridge.invalidated.clear();
    images = w.EditDraws(Draw::Image);
    EXPECT_EQ(images.front().image, "Image/BkPath.svg@500");
    std::vector<Draw> texts = w.EditDraws(Draw::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, L"abcdef");
    EXPECT_EQ(texts[0].rect.left, w.textRect.left);
    EXPECT_EQ(texts[0].clip, w.textRect);
    EXPECT_EQ(texts[0].color, 0xFF333333u);
    std::vector<Draw> fills = w.EditDraws(Draw::Fill);
    ASSERT_EQ(fills.size(), 1u);
    const Rect caret{w.X(2), w.textRect.top, w.X(2) + 1, w.textRect.bottom};
    EXPECT_EQ(fills[0].rect, caret);
    EXPECT_EQ(fills[0].color, 0xFF333333u);   // the caret takes the text colour
    ASSERT_FALSE(w.bridge.imePositions.empty());
    EXPECT_EQ(w.bridge.imePositions.back(), caret);

    // The blink: a timer every 530 ms hides and shows the caret and
    // repaints only the caret.
    ASSERT_FALSE(w.bridge.timers.empty());
    EXPECT_EQ(w.bridge.timers.back().id, CRichEditUI::kCaretTimerId);
    EXPECT_EQ(w.bridge.timers.back().elapse, CRichEditUI::kCaretBlinkMs);
    w.manager.HandleTimer(w.edit, CRichEditUI::kCaretTimerId);
    EXPECT_FALSE(w.edit->IsCaretShown());
    ASSERT_EQ(w.bridge.invalidated.size(), 1u);
    EXPECT_EQ(w.bridge.invalidated[0], caret);
    EXPECT_TRUE(w.EditDraws(Draw::Fill).empty());
    w.manager.HandleTimer(w.edit, CRichEditUI::kCaretTimerId);
    EXPECT_TRUE(w.edit->IsCaretShown());
    // Input shows the caret at once.
    w.manager.HandleTimer(w.edit, CRichEditUI::kCaretTimerId);
    w.Key(vk::kRight);
    EXPECT_TRUE(w.edit->IsCaretShown());

    // A selection: filled, and its text drawn again in the selection's
    // colour, clipped to it.
    w.Key(vk::kRight, kShift);
    w.Key(vk::kRight, kShift);
    const Rect selection{w.X(3), w.textRect.top, w.X(5), w.textRect.bottom};
    fills = w.EditDraws(Draw::Fill);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].rect, selection);
    EXPECT_EQ(fills[0].color, CRichEditUI::kSelectionBkColor);
    texts = w.EditDraws(Draw::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].clip, selection);
    EXPECT_EQ(texts[1].color, CRichEditUI::kSelectionTextColor);

    // Focus gone: no caret, no selection shown, the blink stops.
    w.manager.HandleMouseMove({5, 5}, 0);
    w.Key(kTab);
    EXPECT_TRUE(w.EditDraws(Draw::Fill).empty());
    EXPECT_EQ(w.EditDraws(Draw::Image).front().image, "Image/BkPath.svg@0");
    ASSERT_FALSE(w.bridge.killed.empty());
    EXPECT_EQ(w.bridge.killed.back(), CRichEditUI::kCaretTimerId);
    w.manager.HandleTimer(w.edit, CRichEditUI::kCaretTimerId);
    EXPECT_FALSE(w.edit->IsCaretShown());
}

TEST(RichEdit, LongTextScrollsInsideTheTextRectangle) {
    for (int dpi : {96, 144}) {
        EditWindow w(dpi);
        const int units = w.textRect.Width() / w.em + 20;
        std::wstring text;
        for (int i = 0; i < units; ++i) text += i % 2 ? L'字' : L'x';
        for (wchar_t c : text) {
            w.manager.HandleChar(c);
            ASSERT_FALSE(w.bridge.imePositions.empty());
            const Rect ime = w.bridge.imePositions.back();
            ASSERT_GE(ime.left, w.textRect.left) << dpi;
            ASSERT_LE(ime.right, w.textRect.right) << dpi;
        }
        EXPECT_EQ(w.edit->GetText(), text);
        const int caretWidth = ScaleLength(1, dpi);
        EXPECT_EQ(w.bridge.imePositions.back().right, w.textRect.right) << dpi;
        std::vector<Draw> texts = w.EditDraws(Draw::Text);
        ASSERT_EQ(texts.size(), 1u);
        const int scroll = units * w.em + caretWidth - w.textRect.Width();
        EXPECT_EQ(texts[0].rect.left, w.textRect.left - scroll) << dpi;
        EXPECT_GE(texts[0].rect.Width(), units * w.em) << dpi;
        EXPECT_EQ(texts[0].clip, w.textRect) << dpi;

        // Home brings the start back; a click then lands on the right unit.
        w.Key(vk::kHome);
        EXPECT_EQ(w.EditDraws(Draw::Text)[0].rect.left, w.textRect.left) << dpi;
        EXPECT_EQ(w.bridge.imePositions.back().left, w.textRect.left) << dpi;
        w.Key(vk::kEnd);
        w.Press({w.textRect.left + 1, w.textRect.top + 2}, 0);
        EXPECT_EQ(w.edit->GetSelStart(), (1 + scroll + w.em / 2) / w.em) << dpi;
    }
}

}  // namespace
}  // namespace vekui
