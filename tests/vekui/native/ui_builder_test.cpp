// Attribute values, the layout builder's failures, and painting order.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/vekui/native/ui_support.h"
#include "utility/vekui/core/controls.h"

namespace vekui {
namespace {

TEST(UiAttributes, ValuesAndTheirFallbacks) {
    struct Case {
        const char* name;
        const char* value;
        std::function<bool(CProgressUI&)> holds;
    };
    // A progress bar is a label with a control's attributes: one kind
    // covers the parsers. Defaults: black text, no width, no padding.
    const std::vector<Case> cases = {
        {"textcolor", "#FF51DB9E", [](CProgressUI& c) { return c.GetTextColor() == 0xFF51DB9E; }},
        {"textcolor", "0xffffffff", [](CProgressUI& c) { return c.GetTextColor() == 0xFFFFFFFF; }},
        {"textcolor", "#333333", [](CProgressUI& c) { return c.GetTextColor() == 0xFF333333; }},
        {"textcolor", "FF333333", [](CProgressUI& c) { return c.GetTextColor() == 0xFF000000; }},
        {"textcolor", "#GG333333", [](CProgressUI& c) { return c.GetTextColor() == 0xFF000000; }},
        {"textcolor", "#FF333", [](CProgressUI& c) { return c.GetTextColor() == 0xFF000000; }},
        {"bkcolor", "", [](CProgressUI& c) { return c.GetBkColor() == 0; }},
        {"width", "216", [](CProgressUI& c) { return c.GetFixedWidth() == 216; }},
        {"width", "21x", [](CProgressUI& c) { return c.GetFixedWidth() == 0; }},
        {"width", "-5", [](CProgressUI& c) { return c.GetFixedWidth() == 0; }},
        {"height", "99999999999", [](CProgressUI& c) { return c.GetFixedHeight() == 0; }},
        {"padding", "345,85,0,0", [](CProgressUI& c) { return c.GetPadding() == Rect{345, 85, 0, 0}; }},
        {"padding", "345,85,0", [](CProgressUI& c) { return c.GetPadding() == Rect{}; }},
        {"padding", "1,2,3,4,5", [](CProgressUI& c) { return c.GetPadding() == Rect{}; }},
        {"textpadding", "15,8,0,8", [](CProgressUI& c) { return c.GetTextPadding() == Rect{15, 8, 0, 8}; }},
        {"visible", "false", [](CProgressUI& c) { return !c.IsVisible(); }},
        {"visible", "no", [](CProgressUI& c) { return c.IsVisible(); }},
        {"float", "true", [](CProgressUI& c) { return c.IsFloat(); }},
        {"floatalign", "right,vcenter", [](CProgressUI& c) { return c.GetFloatAlign() == (kFloatRight | kFloatVCenter); }},
        {"pos", "0,10,0,0", [](CProgressUI& c) { return c.GetFloatPos() == Rect{0, 10, 0, 0}; }},
        {"tag", "2000", [](CProgressUI& c) { return c.GetTag() == 2000; }},
        {"tag", "two", [](CProgressUI& c) { return c.GetTag() == 0; }},
        {"font", "x", [](CProgressUI& c) { return c.GetFont() == -1; }},
        {"text", "快速安装", [](CProgressUI& c) { return c.GetText() == L"快速安装"; }},
        {"text", "\xE5\xBF", [](CProgressUI& c) { return c.GetText() == L"\uFFFD\uFFFD"; }},
        {"userdata", "InstallPath", [](CProgressUI& c) { return c.GetUserData() == L"InstallPath"; }},
        {"bkimage", "file='Image/a.svg' source='0,0,24,24'", [](CProgressUI& c) { return c.GetBkImage().hasSource; }},
        {"value", "150", [](CProgressUI& c) { return c.GetValue() == 100; }},
        {"value", "-3", [](CProgressUI& c) { return c.GetValue() == 0; }},
        {"max", "-1", [](CProgressUI& c) { return c.GetMaxValue() == 100; }},
        {"TabSuppot", "true", [](CProgressUI& c) { return c.IsTabStop(); }},
        {"frobnicate", "1", [](CProgressUI& c) { return c.GetText().empty() && c.GetFixedWidth() == 0; }},
    };
    for (const Case& c : cases) {
        CProgressUI control;
        control.SetAttribute(c.name, c.value);
        EXPECT_TRUE(c.holds(control)) << c.name << "=\"" << c.value << "\"";
    }
    COptionUI option;
    option.SetAttribute("selected", "true");
    EXPECT_TRUE(option.IsSelected());
    option.SetAttribute("selected", "1");
    EXPECT_TRUE(option.IsSelected());
}

TEST(UiBuilder, WindowFontsAndTreeOfTheFixture) {
    test::TestWindow w(96, test::FolderSkin(test::FixtureSkinDir()));
    ASSERT_TRUE(w.built) << w.error;
    const WindowAttributes& a = w.manager.Window();
    EXPECT_EQ(a.size, (Size{600, 460}));
    EXPECT_EQ(a.caption, (Rect{0, 0, 0, 66}));
    EXPECT_TRUE(a.bkTrans && a.showShadow && a.autoDpi && a.gdiplusText && a.outlineText);
    EXPECT_EQ(a.textRenderingHint, 5);
    EXPECT_EQ(a.tooltipTextColor, 0xFF8B8989u);
    EXPECT_EQ(w.manager.Fonts().All().size(), 19u);
    EXPECT_EQ(w.manager.Fonts().Get(17).size, 12);
    EXPECT_TRUE(w.manager.Fonts().Get(17).underline);
    EXPECT_EQ(w.manager.Fonts().Get(-1).size, 12);
    EXPECT_EQ(w.manager.Fonts().Get(-1).face, L"微软雅黑");
    EXPECT_EQ(w.Find("VertInstallView")->GetTag(), 2000u);
    EXPECT_EQ(w.Find("EditInstallPath")->GetText(), L"$global_install_path$");
    EXPECT_EQ(w.Find("EditInstallPath")->GetUserData(), L"InstallPath");
    // Kinds: an option is a button, the look-ups check the kind.
    EXPECT_NE(w.manager.FindControl<CButtonUI>("CheckLicence"), nullptr);
    EXPECT_EQ(w.manager.FindControl<COptionUI>("BtnInstall"), nullptr);
    auto* init = w.manager.FindControl<CContainerUI>("VertInitView");
    std::vector<std::string> options;
    for (COptionUI* o : init->FindSubControlsByClass<COptionUI>()) options.push_back(o->GetName());
    EXPECT_EQ(options, (std::vector<std::string>{"CheckLicence", "ShouldStartWithWindowsChk", "StartMenuShortcutChk"}));
    EXPECT_NE(init->FindSubControl("BtnSelectPath"), nullptr);
    EXPECT_EQ(init->FindSubControl("BtnStart"), nullptr);
}

std::string Nested(const char* element, int depth) {
    std::string xml;
    for (int i = 0; i < depth; ++i) xml += std::string("<") + element + ">";
    for (int i = 0; i < depth; ++i) xml += std::string("</") + element + ">";
    return xml;
}

TEST(UiBuilder, HostileOrBrokenLayoutsFailWithAReason) {
    std::string many;
    for (int i = 0; i < 5000; ++i) many += "<Control/>";
    struct Case { const char* what; std::string layout; const char* reason; };
    const Case cases[] = {
        {"not XML", "<Window><Container>", "not well-formed"},
        {"other root", "<Layout><Container/></Layout>", "not <Window>"},
        {"missing include", "<Window><Include source=\"nofont.xml\"/><Container/></Window>", "nofont.xml"},
        {"include without source", "<Window><Include/><Container/></Window>", "without source"},
        {"bad include", "<Window><Include source=\"broken.xml\"/><Container/></Window>", "broken.xml"},
        {"no control", "<Window><Frob/></Window>", "no control"},
        {"deep nesting", "<Window>" + Nested("Container", 100000) + "</Window>", "nest deeper"},
        {"too many", "<Window><Container>" + many + "</Container></Window>", "more than"},
    };
    for (const Case& c : cases) {
        test::MemorySkin skin;
        skin.Put("Layout/Layout.xml", c.layout);
        skin.Put("broken.xml", "<Fonts><Font id='1'");
        test::RecordingBridge bridge;
        CUiManager manager(&bridge);
        bridge.manager = &manager;
        std::string error;
        EXPECT_FALSE(BuildLayout(skin, "Layout/Layout.xml", manager, &error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(manager.GetRoot(), nullptr) << c.what;
    }
    test::MemorySkin empty;
    test::RecordingBridge bridge;
    CUiManager manager(&bridge);
    std::string error;
    EXPECT_FALSE(BuildLayout(empty, "Layout/Layout.xml", manager, &error));
    EXPECT_NE(error.find("Layout/Layout.xml"), std::string::npos) << error;
}

TEST(UiBuilder, UnknownElementsAreSkippedWithTheirChildren) {
    test::MemorySkin skin;
    skin.Put("Layout/Layout.xml",
             "<Window size='10,10'><VerticalLayout name='root' frob='1'>"
             "<Gadget><Button name='inside'/></Gadget><!-- note --><Button name='after' width='5'/>"
             "</VerticalLayout><Button name='second'/></Window>");
    test::RecordingBridge bridge;
    CUiManager manager(&bridge);
    bridge.manager = &manager;
    std::string error;
    ASSERT_TRUE(BuildLayout(skin, "Layout/Layout.xml", manager, &error)) << error;
    EXPECT_EQ(manager.GetRoot()->GetName(), "root");
    EXPECT_EQ(manager.FindControl("inside"), nullptr);
    EXPECT_EQ(manager.FindControl("second"), nullptr);   // one root control
    ASSERT_NE(manager.FindControl("after"), nullptr);
    EXPECT_EQ(manager.FindControl<CContainerUI>("root")->GetCount(), 1);
}

// A window's own kinds come from its factory, which is asked first; the
// kinds it declines are the framework's.
TEST(UiBuilder, OwnKindsFromTheWindowsFactory) {
    struct CGaugeUI : CLabelUI {};
    test::MemorySkin skin;
    skin.Put("Layout/Layout.xml",
             "<Window size='10,10'><VerticalLayout name='root'>"
             "<Gauge name='gauge' text='g'/><Label name='label'/><Button name='button'/>"
             "</VerticalLayout></Window>");
    test::RecordingBridge bridge;
    CUiManager manager(&bridge);
    bridge.manager = &manager;
    std::vector<std::string> asked;
    const ControlFactory factory = [&asked](std::string_view kind) -> std::unique_ptr<CControlUI> {
        asked.emplace_back(kind);
        if (kind == "Gauge") return std::make_unique<CGaugeUI>();
        if (kind == "Button") return std::make_unique<CLabelUI>();  // a window may replace a kind
        return nullptr;
    };
    std::string error;
    ASSERT_TRUE(BuildLayout(skin, "Layout/Layout.xml", manager, &error, factory)) << error;
    ASSERT_NE(manager.FindControl<CGaugeUI>("gauge"), nullptr);
    EXPECT_EQ(manager.FindControl("gauge")->GetText(), L"g");
    EXPECT_NE(manager.FindControl<CLabelUI>("label"), nullptr);
    EXPECT_EQ(manager.FindControl<CButtonUI>("button"), nullptr);
    EXPECT_NE(std::find(asked.begin(), asked.end(), "VerticalLayout"), asked.end());
}

class RecordingPainter : public IPainter {
public:
    std::vector<std::string> images;
    int clips = 0;
    int Dpi() const override { return 96; }
    Size MeasureText(const std::wstring&, int) override { return {}; }
    bool DrawImage(const ImageSpec& image, const Rect&) override {
        images.push_back(image.file + (image.hasSource ? "@" + std::to_string(image.source.left) : ""));
        return true;
    }
    void FillRect(const Rect&, Color) override {}
    void DrawText(const Rect&, const std::wstring&, int, Color, unsigned) override {}
    void PushClip(const Rect&) override { ++clips; }
    void PopClip() override { --clips; }
};

// Only what meets the dirty rectangle is drawn, back to front.
TEST(UiPaint, OnlyControlsMeetingTheDirtyRectangle) {
    test::TestWindow w(96, test::FolderSkin(test::FixtureSkinDir()));
    struct Case { Rect dirty; std::vector<std::string> images; };
    const Case cases[] = {
        {w.Find("CheckLicence")->GetPos(), {"Image/BkViewInit.png", "Image/CheckLicence.svg@42"}},
        {{60, 395, 70, 400}, {"Image/BkViewInit.png", "Image/CheckLicence.svg@42"}},  // one of a row
        {{530, 350, 540, 360}, {"Image/BkViewInit.png", "Image/BkPath.svg@0", "Image/BtnSelectPath.svg@0"}},
        {{560, 12, 570, 20}, {"Image/BkViewInit.png", "Image/BtnMin.svg@0", "Image/BtnClose.svg@0"}},
        {{0, 0, 600, 460}, {"Image/BkViewInit.png", "Image/BtnInstall.svg@0", "Image/CheckLicence.svg@42",
                            "Image/BkPath.svg@0", "Image/BtnSelectPath.svg@0", "Image/CheckLicence.svg@42",
                            "Image/CheckLicence.svg@42", "Image/BtnMin.svg@0", "Image/BtnClose.svg@0"}},
    };
    for (const Case& c : cases) {
        RecordingPainter painter;
        w.manager.Paint(painter, c.dirty);
        EXPECT_EQ(painter.images, c.images) << c.dirty.left << "," << c.dirty.top;
        EXPECT_EQ(painter.clips, 0);
    }
}

}  // namespace
}  // namespace vekui
