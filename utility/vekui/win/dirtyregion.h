// The areas to repaint before the next update of the window: rectangles
// that overlap or touch are merged, and past a few the whole bounds are
// taken, so a batch of invalidations costs one pass.
#pragma once

#include <vector>

#include "utility/vekui/core/geometry.h"

namespace vekui {

class CDirtyRegion {
public:
    static constexpr size_t kMaxRects = 8;

    void Add(const Rect& rect);
    bool Empty() const { return rects_.empty(); }
    const std::vector<Rect>& Rects() const { return rects_; }
    Rect Bounds() const;
    void Clear() { rects_.clear(); }

private:
    std::vector<Rect> rects_;
};

}  // namespace vekui
