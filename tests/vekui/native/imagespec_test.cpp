#include "utility/vekui/core/imagespec.h"

#include <gtest/gtest.h>

namespace vekui {
namespace {

TEST(ImageSpec, BareNameAndQuotedFields) {
    ImageSpec bare = ParseImageSpec("Image/BkViewInit.png");
    EXPECT_EQ(bare.file, "Image/BkViewInit.png");
    EXPECT_FALSE(bare.hasSource);

    ImageSpec cell = ParseImageSpec(
        "file='Image/CheckLicence.svg' source='14,0,28,14' source125='18,0,36,18' dest='0,1,14,15' fade='128'");
    EXPECT_EQ(cell.file, "Image/CheckLicence.svg");
    ASSERT_TRUE(cell.hasSource);
    EXPECT_EQ(cell.source, (Rect{14, 0, 28, 14}));
    EXPECT_EQ(cell.sourceAt.at(125), (Rect{18, 0, 36, 18}));
    ASSERT_TRUE(cell.hasDest);
    EXPECT_EQ(cell.dest, (Rect{0, 1, 14, 15}));
    EXPECT_EQ(cell.fade, 128);
}

TEST(ImageSpec, MalformedFieldsKeepTheirDefaults) {
    struct Case { const char* text; bool hasSource; int fade; };
    const Case cases[] = {
        {"file='a.png' source='1,2,3'", false, 255},
        {"file='a.png' source='1,2,3,x'", false, 255},
        {"file='a.png' source='99999999999,0,1,1'", false, 255},
        {"file='a.png' fade='300'", false, 255},
        {"file='a.png' source='0,0,1,1", false, 255},  // no closing quote
    };
    for (const Case& c : cases) {
        ImageSpec spec = ParseImageSpec(c.text);
        EXPECT_EQ(spec.file, "a.png") << c.text;
        EXPECT_EQ(spec.hasSource, c.hasSource) << c.text;
        EXPECT_EQ(spec.fade, c.fade) << c.text;
    }
}

TEST(ImageSpec, VariantNames) {
    EXPECT_EQ(ImageVariantName("Image/BkViewInit.png", 150), "Image/BkViewInit@150.png");
    EXPECT_EQ(ImageVariantName("Image/BkViewInit.png", 100), "Image/BkViewInit.png");
    EXPECT_EQ(ImageVariantName("Image.d/noext", 125), "Image.d/noext");
}

}  // namespace
}  // namespace vekui
