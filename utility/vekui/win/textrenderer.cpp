#include "utility/vekui/win/textrenderer.h"

#include <cmath>

#include "utility/vekui/core/painter.h"

// The GDI+ headers keep their generic string formats in variables the
// program defines. Only the window's thread draws text.
extern "C" {
void* _GdipStringFormatCachedGenericDefault = nullptr;
void* _GdipStringFormatCachedGenericTypographic = nullptr;
}

namespace vekui {
namespace {

int FontStyleOf(const FontSpec& spec) {
    int style = Gdiplus::FontStyleRegular;
    if (spec.bold) style |= Gdiplus::FontStyleBold;
    if (spec.italic) style |= Gdiplus::FontStyleItalic;
    if (spec.underline) style |= Gdiplus::FontStyleUnderline;
    return style;
}

// Drawing and measuring share the typographic format (no padding around the
// text), so that the path field's caret lands where a measured prefix ends.
void SetFormat(Gdiplus::StringFormat& format, unsigned style) {
    format.SetAlignment((style & kTextCenter)  ? Gdiplus::StringAlignmentCenter
                        : (style & kTextRight) ? Gdiplus::StringAlignmentFar
                                               : Gdiplus::StringAlignmentNear);
    format.SetLineAlignment((style & kTextVCenter)  ? Gdiplus::StringAlignmentCenter
                            : (style & kTextBottom) ? Gdiplus::StringAlignmentFar
                                                    : Gdiplus::StringAlignmentNear);
    INT flags = Gdiplus::StringFormatFlagsMeasureTrailingSpaces;
    if (style & kTextSingleLine) flags |= Gdiplus::StringFormatFlagsNoWrap;
    if (style & kTextNoClip) flags |= Gdiplus::StringFormatFlagsNoClip;
    format.SetFormatFlags(flags);
    format.SetTrimming((style & kTextEndEllipsis) ? Gdiplus::StringTrimmingEllipsisCharacter
                                                  : Gdiplus::StringTrimmingNone);
}

Gdiplus::Color ToGdiplus(Color c) {
    return Gdiplus::Color(ColorAlpha(c), ColorRed(c), ColorGreen(c), ColorBlue(c));
}

}  // namespace

CTextRenderer::CTextRenderer(const CFontTable& fonts) : fonts_(fonts) {}
CTextRenderer::~CTextRenderer() = default;

void CTextRenderer::Prepare(Gdiplus::Graphics& graphics) const {
    graphics.SetTextRenderingHint(static_cast<Gdiplus::TextRenderingHint>(
        hint_ >= 0 && hint_ <= Gdiplus::TextRenderingHintClearTypeGridFit ? hint_ : 0));
}

Gdiplus::Font* CTextRenderer::Font(int fontId, int dpi) {
    auto key = std::make_pair(fontId, dpi);
    auto found = cache_.find(key);
    if (found != cache_.end()) return found->second.get();
    const FontSpec& spec = fonts_.Get(fontId);
    const float pixels = static_cast<float>(ScaleLength(spec.size > 0 ? spec.size : 12, dpi));
    Gdiplus::FontFamily family(spec.face.empty() ? L"Tahoma" : spec.face.c_str());
    std::unique_ptr<Gdiplus::Font> font;
    if (family.GetLastStatus() == Gdiplus::Ok) {
        font = std::make_unique<Gdiplus::Font>(&family, pixels, FontStyleOf(spec), Gdiplus::UnitPixel);
    } else {
        // A face the system lacks: a face every system has rather than nothing.
        Gdiplus::FontFamily fallback(L"Tahoma");
        font = std::make_unique<Gdiplus::Font>(&fallback, pixels, FontStyleOf(spec), Gdiplus::UnitPixel);
    }
    if (font->GetLastStatus() != Gdiplus::Ok) font.reset();
    return cache_.emplace(key, std::move(font)).first->second.get();
}

void CTextRenderer::Draw(Gdiplus::Graphics& graphics, const Rect& rect, const std::wstring& text, int fontId,
                         int dpi, Color color, unsigned style) {
    Gdiplus::Font* font = Font(fontId, dpi);
    if (!font || text.empty() || rect.IsEmpty()) return;
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    SetFormat(format, style);
    Gdiplus::SolidBrush brush(ToGdiplus(color));
    Prepare(graphics);
    const Gdiplus::RectF layout(static_cast<float>(rect.left), static_cast<float>(rect.top),
                                static_cast<float>(rect.Width()), static_cast<float>(rect.Height()));
    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), font, layout, &format, &brush);
}

Size CTextRenderer::Measure(Gdiplus::Graphics& graphics, const std::wstring& text, int fontId, int dpi) {
    Gdiplus::Font* font = Font(fontId, dpi);
    if (!font) return {};
    if (text.empty()) return {0, static_cast<int>(std::ceil(font->GetHeight(&graphics)))};
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    SetFormat(format, kTextSingleLine);
    Prepare(graphics);
    Gdiplus::RectF bounds;
    graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), font, Gdiplus::PointF(0, 0), &format,
                           &bounds);
    return {static_cast<int>(std::ceil(bounds.Width)), static_cast<int>(std::ceil(bounds.Height))};
}

}  // namespace vekui
