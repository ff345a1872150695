#include "utility/vekui/core/svg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vekui::svg {
namespace {

std::string Wrap(const std::string& body) {
    return "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'>" + body + "</svg>";
}

Document ParseOk(const std::string& text) {
    Document doc;
    std::string error;
    EXPECT_TRUE(Parse(text, &doc, &error)) << error << "\n" << text;
    return doc;
}

// The on-curve points of a subpath: the start and every segment's end.
std::vector<PointF> Ends(const Subpath& sp) {
    std::vector<PointF> ends;
    for (size_t i = 0; i < sp.points.size(); i += 3) ends.push_back(sp.points[i]);
    return ends;
}

std::string Describe(const std::vector<Subpath>& subpaths) {
    std::string text;
    char buf[64];
    for (const Subpath& sp : subpaths) {
        for (const PointF& p : Ends(sp)) {
            snprintf(buf, sizeof buf, "%g,%g ", p.x, p.y);
            text += buf;
        }
        text += sp.closed ? "Z | " : "| ";
    }
    return text;
}

TEST(SvgPath, EveryLineCommandAbsoluteRelativeAndRepeated) {
    // Expected: the on-curve points of each subpath, "Z" when closed.
    struct Case { const char* d; const char* ends; };
    const Case cases[] = {
        {"M10 20 L30 40", "10,20 30,40 | "},
        {"m10 20 l30 40", "10,20 40,60 | "},
        {"M10 20 30 40 50 60", "10,20 30,40 50,60 | "},
        {"m10 20 30 40 5 5", "10,20 40,60 45,65 | "},
        {"M0 0 H10 V20 h5 v-5", "0,0 10,0 10,20 15,20 15,15 | "},
        {"M0 0 H10 20 V5 6", "0,0 10,0 20,0 20,5 20,6 | "},
        {"M0 0L10 0L10 10Z", "0,0 10,0 10,10 Z | "},
        {"M0 0 10 0 10 10zm5 5 l1 1", "0,0 10,0 10,10 Z | 5,5 6,6 | "},
        {"M0 0 10 0 10 10z l1 1", "0,0 10,0 10,10 Z | 0,0 1,1 | "},
        {"M1-2-3.5.5", "1,-2 -3.5,0.5 | "},
        {"M1e1 2E-1 L+3,4", "10,0.2 3,4 | "},
        {"  M 1 , 2 , 3 , 4  ", "1,2 3,4 | "},
        {"M0 0 L10 10 M20 20 L30 30", "0,0 10,10 | 20,20 30,30 | "},
        // The first error ends the data; what came before stays.
        {"M0 0 L10 10 L20 x L30 30", "0,0 10,10 | "},
        {"M0 0 L10 10 Z 5 5", "0,0 10,10 Z | "},
        {"L10 10", ""},
        {"10 10 L20 20", ""},
        {"M0 0", ""},
        {"M0 0 L1e999 0", ""},
    };
    for (const Case& c : cases) {
        Document doc = ParseOk(Wrap(std::string("<path stroke='black' d='") + c.d + "'/>"));
        std::string got = doc.shapes.empty() ? "" : Describe(doc.shapes[0].subpaths);
        EXPECT_EQ(got, c.ends) << c.d;
    }
}

TEST(SvgPath, CurveControlPoints) {
    // Every point of the first subpath: start, then control, control, end.
    struct Case { const char* d; std::vector<float> xy; };
    const Case cases[] = {
        {"M0 0 C1 2 3 4 5 6", {0, 0, 1, 2, 3, 4, 5, 6}},
        {"M1 1 c1 2 3 4 5 6", {1, 1, 2, 3, 4, 5, 6, 7}},
        // S reflects the previous curve's second control point.
        {"M0 0 C1 2 3 4 5 6 S9 9 10 10", {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 10, 10}},
        {"M0 0 c1 2 3 4 5 6 s1 1 2 2", {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 6, 7, 7, 8}},
        // ...and without a curve before it, the current point is the first control.
        {"M0 0 S1 1 2 2", {0, 0, 0, 0, 1, 1, 2, 2}},
        {"M0 0 L3 0 S1 1 2 2", {0, 0, 1, 0, 2, 0, 3, 0, 3, 0, 1, 1, 2, 2}},
        // Quadratics raised to cubics: controls two thirds towards the control point.
        {"M0 0 Q3 3 6 0", {0, 0, 2, 2, 4, 2, 6, 0}},
        {"M0 0 q3 3 6 0 t6 0", {0, 0, 2, 2, 4, 2, 6, 0, 8, -2, 10, -2, 12, 0}},
        {"M0 0 Q3 3 6 0 T12 0", {0, 0, 2, 2, 4, 2, 6, 0, 8, -2, 10, -2, 12, 0}},
        {"M0 0 T6 0", {0, 0, 0, 0, 2, 0, 6, 0}},
        // Implicit repeats of curves.
        {"M0 0 C1 1 2 2 3 3 4 4 5 5 6 6", {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6}},
    };
    for (const Case& c : cases) {
        Document doc = ParseOk(Wrap(std::string("<path d='") + c.d + "'/>"));
        ASSERT_EQ(doc.shapes.size(), 1u) << c.d;
        const std::vector<PointF>& pts = doc.shapes[0].subpaths[0].points;
        ASSERT_EQ(pts.size() * 2, c.xy.size()) << c.d;
        for (size_t i = 0; i < pts.size(); ++i) {
            EXPECT_NEAR(pts[i].x, c.xy[2 * i], 1e-4) << c.d << " point " << i;
            EXPECT_NEAR(pts[i].y, c.xy[2 * i + 1], 1e-4) << c.d << " point " << i;
        }
    }
}

PointF Bezier(const PointF* p, float t) {
    const float u = 1 - t;
    const float a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    return {a * p[0].x + b * p[1].x + c * p[2].x + d * p[3].x, a * p[0].y + b * p[1].y + c * p[2].y + d * p[3].y};
}

// Samples of the outline of a single-subpath shape.
std::vector<PointF> Samples(const Subpath& sp) {
    std::vector<PointF> samples;
    for (size_t i = 0; i + 3 < sp.points.size(); i += 3) {
        for (int k = 0; k <= 16; ++k) samples.push_back(Bezier(&sp.points[i], k / 16.0f));
    }
    return samples;
}

TEST(SvgPath, ArcsTakeTheSideAndSizeTheirFlagsAsk) {
    // From (0,0) to (10,0) with radius 10: the centre is at (5, ±8.66). The
    // small arcs bulge 1.34 and the large ones 18.66; sweep 1 turns clockwise
    // on screen (y down).
    struct Case { const char* d; float minY, maxY; };
    const Case cases[] = {
        {"M0 0 A10 10 0 0 1 10 0", -1.34f, 0},
        {"M0 0 A10 10 0 0 0 10 0", 0, 1.34f},
        {"M0 0 A10 10 0 1 1 10 0", -18.66f, 0},
        {"M0 0 A10 10 0 1 0 10 0", 0, 18.66f},
        {"M0 0 a10 10 0 1 0 10 0", 0, 18.66f},
        // Flags may run into the numbers after them.
        {"M0 0 A10 10 0 1010 0", 0, 18.66f},
        {"M0 0 a10,10,0,1,1,10,0", -18.66f, 0},
        // Radii too small are scaled up to a half circle; negative ones count as positive.
        {"M0 0 A1 1 0 0 1 10 0", -5, 0},
        {"M0 0 A-1 -1 0 0 0 10 0", 0, 5},
        // Rotation: radii 2 across and 5 along turned a quarter fit the chord of 10
        // exactly, bulging 2 (unturned they would be scaled to 5 and 12.5).
        {"M0 0 A2 5 90 0 1 10 0", -2, 0},
        // A zero radius is a line.
        {"M0 0 A0 10 0 0 1 10 0", 0, 0},
    };
    for (const Case& c : cases) {
        Document doc = ParseOk(Wrap(std::string("<path d='") + c.d + "'/>"));
        ASSERT_EQ(doc.shapes.size(), 1u) << c.d;
        float minY = 1e9f, maxY = -1e9f;
        for (const PointF& p : Samples(doc.shapes[0].subpaths[0])) {
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
        EXPECT_NEAR(minY, c.minY, 0.05) << c.d;
        EXPECT_NEAR(maxY, c.maxY, 0.05) << c.d;
    }
}

TEST(SvgPath, ArcStaysOnItsCircle) {
    // A large arc of radius 10 around (20,20): every sample within 0.03 of it.
    Document doc = ParseOk(Wrap("<path d='M30 20 A10 10 0 1 1 20 10'/>"));
    ASSERT_EQ(doc.shapes.size(), 1u);
    const Subpath& sp = doc.shapes[0].subpaths[0];
    EXPECT_EQ(sp.points.size(), 1u + 3 * 3) << "three quarter turns, a cubic each";
    for (const PointF& p : Samples(sp)) {
        EXPECT_NEAR(std::hypot(p.x - 20, p.y - 20), 10, 0.03) << p.x << "," << p.y;
    }
    EXPECT_NEAR(sp.points.back().x, 20, 1e-4);
    EXPECT_NEAR(sp.points.back().y, 10, 1e-4);
}

TEST(SvgTransform, FunctionsListsAndNesting) {
    // The point (1,1) of a path inside <g transform=...>.
    struct Case { const char* transform; float x, y; };
    const Case cases[] = {
        {"translate(10,20)", 11, 21},
        {"translate(5)", 6, 1},
        {"scale(2)", 2, 2},
        {"scale(2 3)", 2, 3},
        {"rotate(90)", -1, 1},
        {"rotate(90 10 10)", 19, 1},
        {"skewX(45)", 2, 1},
        {"skewY(45)", 1, 2},
        {"matrix(1 2 3 4 5 6)", 9, 12},
        {"translate(10,0),scale(2)", 12, 2},
        {"translate(10,0) scale(2)", 12, 2},
        {"scale(2) translate(10,0)", 22, 2},
        {" translate( 10 , 0 )  rotate(-90) ", 11, -1},
        // A malformed list is ignored as a whole.
        {"translate(10", 1, 1},
        {"rotate(1 2)", 1, 1},
        {"scale(2) bogus(3)", 1, 1},
        {"translate(10 x)", 1, 1},
    };
    for (const Case& c : cases) {
        Document doc = ParseOk(Wrap(std::string("<g transform='") + c.transform + "'><path d='M1 1 L2 2'/></g>"));
        ASSERT_EQ(doc.shapes.size(), 1u) << c.transform;
        const PointF p = doc.shapes[0].subpaths[0].points[0];
        EXPECT_NEAR(p.x, c.x, 1e-4) << c.transform;
        EXPECT_NEAR(p.y, c.y, 1e-4) << c.transform;
    }
}

TEST(SvgTransform, NestedGroupsAndTheElementsOwnComposeOuterFirst) {
    Document doc = ParseOk(Wrap(
        "<g transform='translate(100 0)'><g transform='scale(2)'>"
        "<rect x='1' y='2' width='3' height='4' transform='translate(1 1)' stroke='red' stroke-width='3'/>"
        "</g></g>"));
    ASSERT_EQ(doc.shapes.size(), 1u);
    const Shape& s = doc.shapes[0];
    EXPECT_NEAR(s.subpaths[0].points[0].x, 104, 1e-4);
    EXPECT_NEAR(s.subpaths[0].points[0].y, 6, 1e-4);
    EXPECT_FLOAT_EQ(s.strokeWidth, 6) << "the stroke scales with the transform";
}

TEST(SvgShapes, BasicShapesOutlines) {
    // Bounding box of the on- and off-curve points, subpath and point counts.
    struct Case { const char* element; float l, t, r, b; size_t points; bool closed; };
    const Case cases[] = {
        {"<rect x='1' y='2' width='10' height='20'/>", 1, 2, 11, 22, 10, true},
        {"<rect x='0' y='0' width='10' height='20' rx='2'/>", 0, 0, 10, 20, 25, true},
        {"<rect x='0' y='0' width='10' height='20' ry='30'/>", 0, 0, 10, 20, 25, true},
        {"<circle cx='5' cy='6' r='4'/>", 1, 2, 9, 10, 13, true},
        {"<ellipse cx='5' cy='6' rx='4' ry='2'/>", 1, 4, 9, 8, 13, true},
        {"<polygon points='0,0 10,0 10,10'/>", 0, 0, 10, 10, 7, true},
        {"<polyline points='0,0 10,0 10,10 5' stroke='red'/>", 0, 0, 10, 10, 7, false},
        {"<line x1='1' y1='2' x2='3' y2='4' stroke='red'/>", 1, 2, 3, 4, 4, false},
    };
    for (const Case& c : cases) {
        Document doc = ParseOk(Wrap(c.element));
        ASSERT_EQ(doc.shapes.size(), 1u) << c.element;
        ASSERT_EQ(doc.shapes[0].subpaths.size(), 1u) << c.element;
        const Subpath& sp = doc.shapes[0].subpaths[0];
        float l = 1e9f, t = 1e9f, r = -1e9f, b = -1e9f;
        for (const PointF& p : sp.points) {
            l = std::min(l, p.x), t = std::min(t, p.y), r = std::max(r, p.x), b = std::max(b, p.y);
        }
        EXPECT_NEAR(l, c.l, 1e-4) << c.element;
        EXPECT_NEAR(t, c.t, 1e-4) << c.element;
        EXPECT_NEAR(r, c.r, 1e-4) << c.element;
        EXPECT_NEAR(b, c.b, 1e-4) << c.element;
        EXPECT_EQ(sp.points.size(), c.points) << c.element;
        EXPECT_EQ(sp.closed, c.closed) << c.element;
    }
    // Lines have no inside to fill.
    EXPECT_FALSE(ParseOk(Wrap("<line x1='1' y1='2' x2='3' y2='4' stroke='red'/>")).shapes[0].fill);
}

TEST(SvgShapes, DegenerateShapesDrawNothing) {
    const char* elements[] = {
        "<rect width='0' height='10'/>", "<rect width='10' height='-1'/>", "<circle r='0'/>",
        "<ellipse rx='3'/>", "<polygon points='5'/>", "<path/>", "<line x1='1' y1='1' x2='2' y2='2'/>",
        "<rect width='10' height='10' fill='none'/>", "<rect width='10' height='10' fill-opacity='0'/>",
    };
    for (const char* e : elements) EXPECT_TRUE(ParseOk(Wrap(e)).shapes.empty()) << e;
}

TEST(SvgStyle, ColoursByHexFunctionAndName) {
    struct Case { const char* fill; Color expected; };
    const Case cases[] = {
        {"#f00", 0xFFFF0000}, {"#FF8000", 0xFFFF8000}, {"#12345680", 0x80123456}, {"#0f08", 0x8800FF00},
        {"rgb(255, 128, 0)", 0xFFFF8000}, {"rgb(100%,0%,50%)", 0xFFFF0080}, {"RGB(1 2 3)", 0xFF010203},
        {"rgba(0,0,255,0.5)", 0x800000FF}, {"rgb(300,-5,0)", 0xFFFF0000},
        {"red", 0xFFFF0000}, {"CornflowerBlue", 0xFF6495ED}, {"rebeccapurple", 0xFF663399},
        {"yellowgreen", 0xFF9ACD32}, {" navy ", 0xFF000080}, {"currentColor", 0xFF00FF00},
        // Malformed: the inherited colour (the group's blue).
        {"#12", 0xFF0000FF}, {"#ggg", 0xFF0000FF}, {"rgb(1,2)", 0xFF0000FF}, {"notacolour", 0xFF0000FF},
        {"url(#gradient) red", 0xFFFF0000},
    };
    for (const Case& c : cases) {
        Document doc = ParseOk(Wrap(std::string("<g fill='blue' color='lime'><rect width='1' height='1' fill='") +
                                    c.fill + "'/></g>"));
        ASSERT_EQ(doc.shapes.size(), 1u) << c.fill;
        EXPECT_EQ(doc.shapes[0].fillColor, c.expected) << c.fill << std::hex << " got " << doc.shapes[0].fillColor;
    }
    EXPECT_TRUE(ParseOk(Wrap("<rect width='1' height='1' fill='url(#g)'/>")).shapes.empty());
    EXPECT_TRUE(ParseOk(Wrap("<rect width='1' height='1' fill='transparent'/>")).shapes.empty());
}

TEST(SvgStyle, InheritanceStyleAttributeAndOpacity) {
    Document doc = ParseOk(Wrap(
        "<g stroke='red' stroke-width='4' stroke-linecap='round' stroke-linejoin='bevel' fill-rule='evenodd'"
        "   opacity='0.5' stroke-miterlimit='7'>"
        "  <g style='stroke-linejoin: round; fill:#00ff00 !important;fill-opacity:0.5' fill='blue' opacity='0.5'>"
        "    <rect width='1' height='1' stroke-opacity='0.5' stroke-linecap='square'/>"
        "    <rect width='1' height='1' style='stroke:none' stroke-width='inherit' fill-rule='bogus'/>"
        "  </g>"
        "  <rect width='1' height='1' stroke-linecap='bogus'/>"
        "</g>"));
    ASSERT_EQ(doc.shapes.size(), 3u);
    const Shape& a = doc.shapes[0];
    EXPECT_EQ(a.fillColor, 0x2000FF00u) << std::hex << a.fillColor;  // 0.5 × 0.5 × 0.5
    EXPECT_EQ(a.strokeColor, 0x20FF0000u) << std::hex << a.strokeColor;
    EXPECT_TRUE(a.stroke);
    EXPECT_FLOAT_EQ(a.strokeWidth, 4);
    EXPECT_EQ(a.lineCap, LineCap::Square);
    EXPECT_EQ(a.lineJoin, LineJoin::Round);
    EXPECT_FLOAT_EQ(a.miterLimit, 7);
    EXPECT_EQ(a.fillRule, FillRule::EvenOdd);
    const Shape& b = doc.shapes[1];
    EXPECT_FALSE(b.stroke);
    EXPECT_EQ(b.fillRule, FillRule::EvenOdd);
    const Shape& c = doc.shapes[2];
    EXPECT_EQ(c.fillColor, 0x80000000u) << "opacity is not inherited, only folded in once per group";
    EXPECT_EQ(c.lineCap, LineCap::Round);
    EXPECT_EQ(c.lineJoin, LineJoin::Bevel);
}

TEST(SvgDocument, SizeAndViewBox) {
    struct Case { const char* attributes; float w, h, vx, vy, vw, vh; };
    const Case cases[] = {
        {"width='32' height='16' viewBox='0 0 64 32'", 32, 16, 0, 0, 64, 32},
        {"width='32px' height='16' viewBox='-1,-2,64,32'", 32, 16, -1, -2, 64, 32},
        {"width='24' height='24'", 24, 24, 0, 0, 24, 24},
        {"viewBox='0 0 20 10'", 20, 10, 0, 0, 20, 10},
        {"width='40' viewBox='0 0 20 10'", 40, 20, 0, 0, 20, 10},
        {"height='40' viewBox='0 0 20 10'", 80, 40, 0, 0, 20, 10},
        {"width='1in' height='72pt'", 96, 96, 0, 0, 96, 96},
        {"width='30' height='30' viewBox='0 0 0 10'", 30, 30, 0, 0, 30, 30},
        {"width='bogus' height='12' viewBox='0 0 24 24'", 12, 12, 0, 0, 24, 24},
    };
    for (const Case& c : cases) {
        Document doc = ParseOk(std::string("<svg ") + c.attributes + "/>");
        EXPECT_FLOAT_EQ(doc.width, c.w) << c.attributes;
        EXPECT_FLOAT_EQ(doc.height, c.h) << c.attributes;
        EXPECT_FLOAT_EQ(doc.viewX, c.vx) << c.attributes;
        EXPECT_FLOAT_EQ(doc.viewY, c.vy) << c.attributes;
        EXPECT_FLOAT_EQ(doc.viewWidth, c.vw) << c.attributes;
        EXPECT_FLOAT_EQ(doc.viewHeight, c.vh) << c.attributes;
    }
}

TEST(SvgDocument, RejectedDocuments) {
    const char* texts[] = {
        "", "not xml at all", "<svg width='1' height='1'>", "<html width='1' height='1'/>",
        "<svg/>", "<svg width='nan' height='inf'/>", "<svg width='1e30' height='1e30'/>",
        "<svg width='-5' height='-5'/>",
    };
    for (const char* t : texts) {
        Document doc;
        doc.width = 7;
        std::string error;
        EXPECT_FALSE(Parse(t, &doc, &error)) << t;
        EXPECT_FALSE(error.empty()) << t;
        EXPECT_EQ(doc.width, 0) << t;
    }
}

TEST(SvgDocument, OutsideTheSubsetIsSkipped) {
    Document doc = ParseOk(Wrap(
        "<defs><rect width='5' height='5'/></defs>"
        "<text x='1' y='1'>hello</text><image href='x.png' width='5' height='5'/>"
        "<linearGradient id='g'><stop offset='0'/></linearGradient>"
        "<use href='#r'/><foo:bar xmlns:foo='urn:x'><rect width='5' height='5'/></foo:bar>"
        "<rect width='5' height='5' display='none'/><g visibility='hidden'><rect width='5' height='5'/></g>"
        "<rect width='5' height='5' filter='url(#f)' unknown='1' fill='#010203'/>"));
    ASSERT_EQ(doc.shapes.size(), 1u);
    EXPECT_EQ(doc.shapes[0].fillColor, 0xFF010203u);
}

TEST(SvgDocument, HostileInputStaysBounded) {
    // Nesting far beyond the limit: no crash, the deep shapes are dropped.
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "<g>";
    deep += "<rect width='1' height='1'/>";
    for (int i = 0; i < 5000; ++i) deep += "</g>";
    EXPECT_TRUE(ParseOk(Wrap(deep + "<rect width='2' height='2'/>")).shapes.size() == 1u);

    // Millions of points: the total is capped.
    std::string d = "M0 0";
    for (int i = 0; i < 800000; ++i) d += " 1 1";
    Document many = ParseOk(Wrap("<path d='" + d + "'/><path d='" + d + "'/><polygon points='" + d.substr(1) + "'/>"));
    size_t total = 0;
    for (const Shape& s : many.shapes) {
        for (const Subpath& sp : s.subpaths) total += sp.points.size();
    }
    EXPECT_LE(total, size_t{1} << 20);
    EXPECT_GT(total, size_t{1} << 19);

    // Numbers that overflow, or transforms that blow them up, drop the shape.
    const char* elements[] = {
        "<rect width='1e400' height='1'/>",
        "<rect width='1' height='1' transform='scale(1e300)'/>",
        "<rect width='1' height='1' transform='matrix(1e308 0 0 1e308 1e308 0)'/>",
        "<circle r='99999999999999999999999999999999999999999999'/>",
        "<path d='M0 0 L1e308 1e308'/>",
        "<path d='M0 0 A1e-300 1e-300 0 0 1 1 1'/>",
        "<rect width='1' height='1' stroke='red' stroke-width='1e300'/>",
    };
    for (const char* e : elements) {
        Document doc = ParseOk(Wrap(e));
        for (const Shape& s : doc.shapes) {
            EXPECT_TRUE(std::isfinite(s.strokeWidth)) << e;
            for (const Subpath& sp : s.subpaths) {
                for (const PointF& p : sp.points) {
                    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << e;
                    EXPECT_LE(std::fabs(p.x), 1e6) << e;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vekui::svg
