// The input and focus state machine of the manager over the fixture
// window, with a bridge that records what the tree asks of the window.
#include <gtest/gtest.h>

#include "tests/vekui/native/ui_support.h"
#include "utility/vekui/core/controls.h"

namespace vekui {
namespace {

constexpr unsigned kTab = 0x09, kSpace = 0x20, kReturn = 0x0D, kKeyA = 0x41;

std::vector<std::string> Names(const std::vector<test::Notice>& notices, const char* type = nullptr) {
    std::vector<std::string> out;
    for (const auto& n : notices) {
        if (!type || n.type == type) out.push_back(n.type + ":" + n.sender);
    }
    return out;
}

std::string FocusName(const CUiManager& manager) {
    return manager.GetFocus() ? manager.GetFocus()->GetName() : "(none)";
}

const test::FolderSkin& Skin() {
    static const test::FolderSkin skin(test::FixtureSkinDir());
    return skin;
}

// A press and a release, with moves in between; "click" only when the
// release happens inside the control that was pressed.
TEST(UiInput, ClickOnReleaseInsideTheSameControlOnly) {
    enum Step { Move, Down, Up };
    struct Case {
        const char* what;
        std::vector<std::pair<Step, Point>> steps;
        std::vector<std::string> notices;
    };
    const Point install{300, 259}, outside{300, 200}, link{350, 303};
    const std::vector<Case> cases = {
        {"inside", {{Move, install}, {Down, install}, {Up, install}}, {"click:BtnInstall"}},
        {"released outside", {{Move, install}, {Down, install}, {Move, outside}, {Up, outside}}, {}},
        {"out and back", {{Down, install}, {Move, outside}, {Move, install}, {Up, install}}, {"click:BtnInstall"}},
        {"pressed elsewhere", {{Down, outside}, {Move, install}, {Up, install}}, {}},
        {"released on another button", {{Down, install}, {Move, link}, {Up, link}}, {}},
    };
    for (const Case& c : cases) {
        test::TestWindow w(96, Skin());
        ASSERT_TRUE(w.built) << w.error;
        for (const auto& [step, pt] : c.steps) {
            if (step == Move) w.manager.HandleMouseMove(pt, 0);
            if (step == Down) w.manager.HandleButtonDown(pt, 0);
            if (step == Up) w.manager.HandleButtonUp(pt, 0);
            if (step == Down && w.manager.FindControlAt(pt)->IsInputControl()) {
                EXPECT_EQ(w.bridge.captures, 1) << c.what;
                EXPECT_EQ(w.manager.GetCapture(), w.manager.FindControlAt(pt)) << c.what;
            }
        }
        EXPECT_EQ(Names(w.notifier.notices, "click"), c.notices) << c.what;
        EXPECT_EQ(w.bridge.captures, 0) << c.what;
        EXPECT_EQ(w.manager.GetCapture(), nullptr) << c.what;
        EXPECT_FALSE(w.manager.FindControl<CButtonUI>("BtnInstall")->IsPushed()) << c.what;
    }
}

TEST(UiInput, CaptureLostCancelsTheClick) {
    test::TestWindow w(96, Skin());
    w.manager.HandleButtonDown(w.Center("BtnInstall"), 0);
    w.manager.HandleCaptureLost();
    w.manager.HandleButtonUp(w.Center("BtnInstall"), 0);
    EXPECT_TRUE(Names(w.notifier.notices, "click").empty());
    EXPECT_FALSE(w.manager.FindControl<CButtonUI>("BtnInstall")->IsPushed());
}

TEST(UiInput, OptionsToggleAndNotify) {
    test::TestWindow w(96, Skin());
    auto* licence = w.manager.FindControl<COptionUI>("CheckLicence");
    ASSERT_NE(licence, nullptr);
    EXPECT_TRUE(licence->IsSelected());
    w.Click(w.Center("CheckLicence"));
    EXPECT_FALSE(licence->IsSelected());
    EXPECT_EQ(Names(w.notifier.notices), (std::vector<std::string>{"setfocus:CheckLicence",
                                                                   "selectchanged:CheckLicence", "click:CheckLicence"}));
    w.notifier.notices.clear();
    w.Click(w.Center("CheckLicence"));
    EXPECT_TRUE(licence->IsSelected());
    licence->Selected(true);  // no change, no notice
    licence->Selected(false, false);
    EXPECT_EQ(Names(w.notifier.notices, "selectchanged"), (std::vector<std::string>{"selectchanged:CheckLicence"}));
    licence->Selected(true);
    EXPECT_EQ(Names(w.notifier.notices, "selectchanged").size(), 2u);
}

TEST(UiInput, DisabledControlsGetNoInput) {
    test::TestWindow w(96, Skin());
    CControlUI* install = w.Find("BtnInstall");
    install->SetFocus();
    install->SetEnabled(false);
    EXPECT_EQ(w.manager.GetFocus(), nullptr);
    w.notifier.notices.clear();
    w.Click(w.Center("BtnInstall"));
    EXPECT_EQ(w.manager.GetHot(), nullptr);
    EXPECT_EQ(w.bridge.captures, 0);
    EXPECT_TRUE(w.notifier.notices.empty());
    EXPECT_FALSE(w.manager.HandleKeyDown(kReturn, 0));
    // Tab passes it by.
    w.manager.HandleKeyDown(kTab, 0);
    EXPECT_EQ(FocusName(w.manager), "CheckLicence");
}

TEST(UiInput, TabCyclesOverTabStopsInDocumentOrder) {
    const std::vector<std::string> order = {"BtnInstall", "CheckLicence", "BtnLicenceLink", "EditInstallPath",
                                            "BtnSelectPath", "ShouldStartWithWindowsChk", "StartMenuShortcutChk"};
    test::TestWindow w(96, Skin());
    for (size_t i = 0; i <= order.size(); ++i) {
        EXPECT_TRUE(w.manager.HandleKeyDown(kTab, 0));
        EXPECT_EQ(FocusName(w.manager), order[i % order.size()]);
    }
    for (size_t i = 0; i <= order.size(); ++i) {
        w.manager.HandleKeyDown(kTab, kModShift);
        EXPECT_EQ(FocusName(w.manager), order[(2 * order.size() - 1 - i) % order.size()]) << i;
    }
    EXPECT_EQ(Names(w.notifier.notices, "setfocus").size(), 2 * order.size() + 2);
    EXPECT_EQ(Names(w.notifier.notices, "killfocus").size(), 2 * order.size() + 1);
    // Hiding the view takes the focus away; the next view has one stop.
    auto* tab = w.manager.FindControl<CTabLayoutUI>("TabMain");
    tab->SelectItem(2);
    EXPECT_EQ(w.manager.GetFocus(), nullptr);
    w.manager.HandleKeyDown(kTab, 0);
    EXPECT_EQ(FocusName(w.manager), "BtnStart");
    w.manager.HandleKeyDown(kTab, kModShift);
    EXPECT_EQ(FocusName(w.manager), "BtnStart");
}

TEST(UiInput, SpaceAndEnterActOnTheFocusedButtonOrOption) {
    struct Case { const char* focus; unsigned key; bool used; std::vector<std::string> notices; };
    const Case cases[] = {
        {"BtnInstall", kReturn, true, {"click:BtnInstall"}},
        {"BtnInstall", kSpace, true, {"click:BtnInstall"}},
        {"BtnInstall", kKeyA, false, {}},
        {"CheckLicence", kSpace, true, {"selectchanged:CheckLicence", "click:CheckLicence"}},
        {"StartMenuShortcutChk", kReturn, true, {"selectchanged:StartMenuShortcutChk", "click:StartMenuShortcutChk"}},
    };
    for (const Case& c : cases) {
        test::TestWindow w(96, Skin());
        w.Find(c.focus)->SetFocus();
        w.notifier.notices.clear();
        EXPECT_EQ(w.manager.HandleKeyDown(c.key, 0), c.used) << c.focus;
        EXPECT_EQ(Names(w.notifier.notices), c.notices) << c.focus;
    }
    test::TestWindow w(96, Skin());
    EXPECT_FALSE(w.manager.HandleKeyDown(kReturn, 0));  // nothing focused
}

class EventLog : public CControlUI {
public:
    std::vector<uintptr_t> timers;
    void DoEvent(UiEvent& event) override {
        if (event.type == EventType::Timer) timers.push_back(event.timerId);
    }
};

TEST(UiInput, TimersReachTheControlAndTheHandlers) {
    test::TestWindow w(96, Skin());
    auto* view = w.manager.FindControl<CContainerUI>("VertInstallView");
    auto owned = std::make_unique<EventLog>();
    EventLog* log = owned.get();
    log->SetName("log");
    view->Add(std::move(owned));
    ASSERT_TRUE(log->SetTimer(1989, 2000));
    ASSERT_EQ(w.bridge.timers.size(), 1u);
    EXPECT_EQ(w.bridge.timers[0].control, log);
    EXPECT_EQ(w.bridge.timers[0].id, 1989u);
    EXPECT_EQ(w.bridge.timers[0].elapse, 2000u);
    w.manager.HandleTimer(log, 1989);
    w.manager.HandleTimer(log, 1990);
    EXPECT_EQ(log->timers, (std::vector<uintptr_t>{1989, 1990}));
    ASSERT_EQ(w.notifier.notices.size(), 2u);
    EXPECT_EQ(w.notifier.notices[0].type, "timer");
    EXPECT_EQ(w.notifier.notices[0].sender, "log");
    EXPECT_EQ(w.notifier.notices[1].wParam, 1990u);
}

TEST(UiInput, RemovedControlsLeaveNoTimersBehind) {
    auto w = std::make_unique<test::TestWindow>(96, Skin());
    CControlUI* progress = w->Find("ProgressInstall");
    progress->SetTimer(1990, 300);
    w->manager.SetRoot(nullptr);
    const auto& killed = w->bridge.killedAll;
    EXPECT_NE(std::find(killed.begin(), killed.end(), progress), killed.end());
    EXPECT_EQ(w->manager.FindControl("ProgressInstall"), nullptr);
}

TEST(UiInput, HotStateAndTooltips) {
    test::TestWindow w(96, Skin());
    w.manager.HandleMouseMove(w.Center("minbtn"), 0);
    EXPECT_EQ(w.manager.GetHot(), w.Find("minbtn"));
    w.manager.HandleMouseMove(w.Center("BtnClose"), 0);
    w.manager.HandleMouseLeave();
    EXPECT_EQ(w.manager.GetHot(), nullptr);
    EXPECT_EQ(w.bridge.tooltips, (std::vector<std::wstring>{L"最小化", L"", L"关闭", L""}));
}

// Each state change repaints the changed control's rectangle and nothing else.
TEST(UiInput, StateChangesInvalidateOnlyTheirControl) {
    struct Case {
        const char* control;
        int view;
        void (*change)(test::TestWindow&);
    };
    const Case cases[] = {
        {"BtnInstall", 0, [](test::TestWindow& w) { w.manager.HandleMouseMove(w.Center("BtnInstall"), 0); }},
        {"BtnInstall", 0, [](test::TestWindow& w) { w.manager.HandleButtonDown(w.Center("BtnInstall"), 0); }},
        {"CheckLicence", 0, [](test::TestWindow& w) { w.manager.FindControl<COptionUI>("CheckLicence")->Selected(false); }},
        {"EditInstallPath", 0, [](test::TestWindow& w) { w.Find("EditInstallPath")->SetText(L"C:\\Tovik"); }},
        {"LabelVerevu", 0, [](test::TestWindow& w) { w.Find("LabelVerevu")->SetVisible(true); }},
        {"LabelInstallValue", 1, [](test::TestWindow& w) { w.Find("LabelInstallValue")->SetText(L"(80%)"); }},
        {"ProgressInstall", 1, [](test::TestWindow& w) { w.manager.FindControl<CProgressUI>("ProgressInstall")->SetValue(40); }},
    };
    for (const Case& c : cases) {
        test::TestWindow w(144, Skin());
        w.manager.FindControl<CTabLayoutUI>("TabMain")->SelectItem(c.view);
        w.bridge.invalidated.clear();
        c.change(w);
        const Rect own = w.Find(c.control)->GetPos();
        EXPECT_FALSE(own.IsEmpty()) << c.control;
        ASSERT_FALSE(w.bridge.invalidated.empty()) << c.control;
        for (const Rect& r : w.bridge.invalidated) {
            EXPECT_EQ(r, own) << c.control << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        }
    }
}

}  // namespace
}  // namespace vekui
