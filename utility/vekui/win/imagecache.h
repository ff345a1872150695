// Pictures of the skin decoded once per file and scale. PNG, JPEG and BMP
// are told apart by content (GDI+ decodes from memory); SVG is rasterised
// at the scale. Everything is kept as premultiplied 32-bit bitmaps, the
// form that draws fastest onto the window's surface.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "utility/vekui/core/skinarchive.h"
#include "utility/vekui/win/gdiplusinc.h"

namespace vekui {

struct SkinImage {
    Gdiplus::Bitmap* bitmap = nullptr;  // owned by the cache; nullptr: not loadable
    int percent = 100;                  // scale its pixels are at (100: the 100 % file)
};

class CImageCache {
public:
    explicit CImageCache(const ISkinFiles& skin);
    ~CImageCache();
    CImageCache(const CImageCache&) = delete;
    CImageCache& operator=(const CImageCache&) = delete;

    // The picture for a scale: the "@NNN" variant when the skin has it,
    // an SVG rasterised at the scale, otherwise the 100 % file.
    SkinImage Get(const std::string& file, int percent);

private:
    struct Entry {
        std::unique_ptr<Gdiplus::Bitmap> bitmap;
        int percent = 100;
    };
    Entry Load(const std::string& file, int percent);
    std::unique_ptr<Gdiplus::Bitmap> Decode(const std::string& name, int percent) const;

    const ISkinFiles& skin_;
    std::map<std::pair<std::string, int>, Entry> entries_;
};

// Decodes PNG, JPEG, BMP or GIF bytes into a premultiplied bitmap that owns
// its pixels; nullptr for anything else.
std::unique_ptr<Gdiplus::Bitmap> DecodeRaster(const std::string& bytes);

}  // namespace vekui
