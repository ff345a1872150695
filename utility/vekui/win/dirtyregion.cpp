#include "utility/vekui/win/dirtyregion.h"

namespace vekui {
namespace {

bool Touches(const Rect& a, const Rect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

void CDirtyRegion::Add(const Rect& rect) {
    if (rect.IsEmpty()) return;
    Rect merged = rect;
    // Merging can make a rectangle touch others it did not: repeat.
    for (bool again = true; again;) {
        again = false;
        for (size_t i = 0; i < rects_.size(); ++i) {
            if (!Touches(rects_[i], merged)) continue;
            merged = merged.Union(rects_[i]);
            rects_.erase(rects_.begin() + static_cast<long>(i));
            again = true;
            break;
        }
    }
    rects_.push_back(merged);
    if (rects_.size() > kMaxRects) {
        const Rect all = Bounds();
        rects_.assign(1, all);
    }
}

Rect CDirtyRegion::Bounds() const {
    Rect all;
    for (const Rect& r : rects_) all = all.Union(r);
    return all;
}

}  // namespace vekui
