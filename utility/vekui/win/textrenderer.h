// Text through GDI+ with the layout's font table: fonts made once per id
// and DPI, one string format per placement, the same for drawing and
// measuring so that measured text fits where it is drawn.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "utility/vekui/core/fonttable.h"
#include "utility/vekui/core/geometry.h"
#include "utility/vekui/win/gdiplusinc.h"

namespace vekui {

class CTextRenderer {
public:
    explicit CTextRenderer(const CFontTable& fonts);
    ~CTextRenderer();
    CTextRenderer(const CTextRenderer&) = delete;
    CTextRenderer& operator=(const CTextRenderer&) = delete;

    void SetRenderingHint(int hint) { hint_ = hint; }
    void Prepare(Gdiplus::Graphics& graphics) const;  // the hint
    // The font of the id at the DPI; the table's default for unknown ids.
    Gdiplus::Font* Font(int fontId, int dpi);
    void Draw(Gdiplus::Graphics& graphics, const Rect& rect, const std::wstring& text, int fontId, int dpi,
              Color color, unsigned style);
    Size Measure(Gdiplus::Graphics& graphics, const std::wstring& text, int fontId, int dpi);

private:
    const CFontTable& fonts_;
    int hint_ = 0;
    std::map<std::pair<int, int>, std::unique_ptr<Gdiplus::Font>> cache_;
};


}  // namespace vekui
