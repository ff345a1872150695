// What a control needs to draw itself and to measure text. The window side
// implements both with GDI+ into the window's surface; tests implement them
// with recorders. Every rectangle here is in device pixels of the window.
#pragma once

#include <string>

#include "utility/vekui/core/geometry.h"
#include "utility/vekui/core/imagespec.h"

namespace vekui {

// Text placement flags (combinable).
enum TextStyle : unsigned {
    kTextLeft = 0x0000,
    kTextCenter = 0x0001,
    kTextRight = 0x0002,
    kTextTop = 0x0000,
    kTextVCenter = 0x0004,
    kTextBottom = 0x0008,
    kTextSingleLine = 0x0020,
    kTextEndEllipsis = 0x8000,
    kTextNoClip = 0x0100,
};

class ITextMetrics {
public:
    virtual ~ITextMetrics() = default;
    // Size of text in the font table's font at the window's DPI, in device pixels.
    virtual Size MeasureText(const std::wstring& text, int fontId) = 0;
};

class IPainter : public ITextMetrics {
public:
    // The window's DPI (96 = 100 %); images are taken at its scale.
    virtual int Dpi() const = 0;
    // Draws the image into the control rectangle: the image's source cell
    // (100 % units, or the scale's own cell) of the variant for the DPI,
    // into its dest (100 % units, relative to the control, scaled here) or
    // the whole rectangle. False when the image cannot be loaded.
    virtual bool DrawImage(const ImageSpec& image, const Rect& controlRect) = 0;
    virtual void FillRect(const Rect& rect, Color color) = 0;
    // Draws text with a font of the font table, clipped to rect.
    virtual void DrawText(const Rect& rect, const std::wstring& text, int fontId, Color color, unsigned style) = 0;
    // Clipping nests: each push intersects with the current clip.
    virtual void PushClip(const Rect& rect) = 0;
    virtual void PopClip() = 0;
};

}  // namespace vekui
