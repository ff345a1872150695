// The SVG subset of the skin, parsed into a flat list of shapes whose
// outlines are cubic Bézier chains in the document's user space (viewBox
// units, transforms already applied); styles are resolved at parse time.
// Rasterising is the window side's (win/svgraster.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "utility/vekui/core/geometry.h"

namespace vekui::svg {

struct PointF {
    float x = 0;
    float y = 0;
};

// points[0] is the start; then groups of three: control 1, control 2, end.
struct Subpath {
    std::vector<PointF> points;
    bool closed = false;
};

enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };
enum class FillRule { NonZero, EvenOdd };

struct Shape {
    std::vector<Subpath> subpaths;
    bool fill = true;
    Color fillColor = 0xFF000000;     // opacity and fill-opacity folded into alpha
    FillRule fillRule = FillRule::NonZero;
    bool stroke = false;
    Color strokeColor = 0xFF000000;   // opacity and stroke-opacity folded in
    float strokeWidth = 1;            // in user space after transforms
    LineCap lineCap = LineCap::Butt;
    LineJoin lineJoin = LineJoin::Miter;
    float miterLimit = 4;
};

struct Document {
    float width = 0;                  // the document's size in pixels at 100 %
    float height = 0;
    float viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;
    std::vector<Shape> shapes;
};

// Elements and attributes outside the subset are skipped. False with a
// reason when the text is not XML or has no usable <svg> root.
bool Parse(std::string_view text, Document* document, std::string* error);

}  // namespace vekui::svg
