// The shipped window's geometry, worked out by hand from its description:
// 600 x 460 at 100 %, every length scaled and rounded on its own at 150 %.
#include <gtest/gtest.h>

#include "tests/vekui/native/ui_support.h"
#include "utility/vekui/core/controls.h"

namespace vekui {
namespace {

struct Expected {
    int view;          // TabMain's selected view; -1: in every view
    const char* name;
    Rect at96;
    Rect at144;
};

// Init view, top to bottom: rows at 85 (hidden badge), 125 + 38, 17 + 16,
// 30 + 34, 18 + 16 below one another. The licence row's two stretching
// ends share 600 - 100 - 8 * 12 equally; the path row is 500 wide, centred,
// the folder button keeps to its right. Install view: 322 high spacer, the
// bar, 16 below it the label. Complete view: the QR block stretches so
// that the start button ends 35 above the bottom. The caption bar floats
// 10 from the top, its buttons at the right with 2 and 10 around the
// close button.
const Expected kGeometry[] = {
    {-1, "TabMain", {0, 0, 600, 460}, {0, 0, 900, 690}},
    {-1, "HorizCaptionBtn", {0, 10, 600, 34}, {0, 15, 900, 51}},
    {-1, "minbtn", {540, 10, 564, 34}, {810, 15, 846, 51}},
    {-1, "BtnClose", {566, 10, 590, 34}, {849, 15, 885, 51}},
    {0, "VertInitView", {0, 0, 600, 460}, {0, 0, 900, 690}},
    {0, "BtnInstall", {192, 240, 408, 278}, {288, 361, 612, 418}},
    {0, "CheckLicence", {202, 295, 302, 311}, {303, 444, 453, 468}},
    {0, "BtnLicenceLink", {302, 295, 398, 311}, {453, 444, 597, 468}},
    {0, "EditInstallPath", {50, 341, 550, 375}, {75, 513, 825, 564}},
    {0, "BtnSelectPath", {512, 341, 550, 375}, {768, 513, 825, 564}},
    {0, "ShouldStartWithWindowsChk", {52, 393, 232, 409}, {78, 591, 348, 615}},
    {0, "StartMenuShortcutChk", {332, 393, 512, 409}, {498, 591, 768, 615}},
    {1, "VertInstallView", {0, 0, 600, 460}, {0, 0, 900, 690}},
    {1, "ProgressInstall", {55, 322, 545, 338}, {82, 483, 817, 507}},
    {1, "LabelInstallValue", {245, 354, 355, 373}, {367, 531, 532, 560}},
    {2, "VertCompleteView", {0, 0, 600, 460}, {0, 0, 900, 690}},
    {2, "CompleteViewlabel", {43, 10, 600, 34}, {65, 15, 900, 51}},
    {2, "BtnStart", {192, 387, 408, 425}, {288, 580, 612, 637}},
};

std::string Show(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

TEST(LayoutGeometry, EveryNamedControlOfEachViewAtBothScales) {
    const test::FolderSkin skin(test::ShippedSkinDir());
    for (int dpi : {96, 144}) {
        test::TestWindow w(dpi, skin);
        ASSERT_TRUE(w.built) << w.error;
        EXPECT_EQ(w.manager.WindowSize(), dpi == 96 ? (Size{600, 460}) : (Size{900, 690}));
        auto* tab = w.manager.FindControl<CTabLayoutUI>("TabMain");
        ASSERT_NE(tab, nullptr);
        EXPECT_EQ(tab->GetCurSel(), 0);
        for (int view = 0; view < 3; ++view) {
            ASSERT_TRUE(tab->SelectItem(view));
            for (const Expected& e : kGeometry) {
                if (e.view != -1 && e.view != view) continue;
                CControlUI* c = w.Find(e.name);
                ASSERT_NE(c, nullptr) << e.name;
                EXPECT_TRUE(c->IsVisible()) << e.name;
                const Rect want = dpi == 96 ? e.at96 : e.at144;
                EXPECT_EQ(Show(c->GetPos()), Show(want)) << e.name << " at " << dpi << " dpi, view " << view;
            }
            // The other views' controls are out of sight.
            for (const Expected& e : kGeometry) {
                if (e.view != -1 && e.view != view) EXPECT_FALSE(w.Find(e.name)->IsVisible()) << e.name;
            }
            // The hidden badge takes no room and cannot be hit.
            EXPECT_FALSE(w.Find("LabelVerevu")->IsVisible());
        }
    }
}

TEST(LayoutGeometry, HitTestingAndCaptionBand) {
    const test::FolderSkin skin(test::ShippedSkinDir());
    struct Case { int dpi; Point pt; const char* hit; bool caption; };
    const Case cases[] = {
        {96, {530, 358}, "BtnSelectPath", false},    // the float lies above the field
        {96, {100, 358}, "EditInstallPath", false},
        {96, {552, 22}, "minbtn", false},
        {96, {100, 20}, "", true},                    // the caption bar's spacer
        {96, {300, 60}, "VertInitView", true},
        {96, {300, 66}, "VertInitView", false},       // just below the band
        {96, {300, 259}, "BtnInstall", false},
        {144, {300, 98}, "VertInitView", true},       // the band is 99 high at 150 %
        {144, {300, 99}, "VertInitView", false},
        {144, {800, 540}, "BtnSelectPath", false},
    };
    for (const Case& c : cases) {
        test::TestWindow w(c.dpi, skin);
        ASSERT_TRUE(w.built) << w.error;
        CControlUI* hit = w.manager.FindControlAt(c.pt);
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(hit->GetName(), c.hit) << c.pt.x << "," << c.pt.y;
        EXPECT_EQ(w.manager.IsCaptionAt(c.pt), c.caption) << c.pt.x << "," << c.pt.y;
    }
}

}  // namespace
}  // namespace vekui
