#include "utility/vekui/win/imagecache.h"

#include <shlwapi.h>

#include <algorithm>
#include <cctype>

#include "utility/base/handles.h"
#include "utility/vekui/core/imagespec.h"
#include "utility/vekui/win/svgimage.h"

namespace vekui {
namespace {

std::string LowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool LooksLikeSvg(const std::string& name, const std::string& bytes) {
    const std::string lower = LowerAscii(name);
    if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".svg") == 0) return true;
    const size_t first = bytes.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    return first != std::string::npos && bytes[first] == '<';
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> DecodeRaster(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > UINT_MAX) return nullptr;
    vek::ComPtr<IStream> stream;
    *stream.put() = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    if (!stream) return nullptr;
    // The decoded image reads its stream lazily: draw it into a bitmap of
    // our own so the stream can go now.
    Gdiplus::Bitmap decoded(stream.get());
    if (decoded.GetLastStatus() != Gdiplus::Ok) return nullptr;
    const UINT width = decoded.GetWidth(), height = decoded.GetHeight();
    if (width == 0 || height == 0 || width > 16384 || height > 16384) return nullptr;
    auto copy = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                  PixelFormat32bppPARGB);
    if (copy->GetLastStatus() != Gdiplus::Ok) return nullptr;
    Gdiplus::Graphics graphics(copy.get());
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    if (graphics.DrawImage(&decoded, 0, 0, static_cast<INT>(width), static_cast<INT>(height)) != Gdiplus::Ok)
        return nullptr;
    return copy;
}

CImageCache::CImageCache(const ISkinFiles& skin) : skin_(skin) {}
CImageCache::~CImageCache() = default;

SkinImage CImageCache::Get(const std::string& file, int percent) {
    auto key = std::make_pair(LowerAscii(file), percent);
    auto found = entries_.find(key);
    if (found == entries_.end()) found = entries_.emplace(key, Load(file, percent)).first;
    return {found->second.bitmap.get(), found->second.percent};
}

CImageCache::Entry CImageCache::Load(const std::string& file, int percent) {
    Entry entry;
    if (percent != 100) {
        entry.bitmap = Decode(ImageVariantName(file, percent), percent);
        if (entry.bitmap) {
            entry.percent = percent;
            return entry;
        }
    }
    entry.bitmap = Decode(file, percent);
    entry.percent = entry.bitmap && LooksLikeSvg(file, {}) ? percent : 100;
    return entry;
}

std::unique_ptr<Gdiplus::Bitmap> CImageCache::Decode(const std::string& name, int percent) const {
    std::string bytes, error;
    if (!skin_.Read(name, &bytes, &error)) return nullptr;
    if (LooksLikeSvg(name, bytes)) return RasteriseSvg(bytes, percent);
    return DecodeRaster(bytes);
}

}  // namespace vekui
