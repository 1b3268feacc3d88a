#pragma once
// GDI and GDI+ resources the windows share: the GDI+ session, pictures from the program's
// resources, fonts and brushes made once and freed with their owner.

#include <windows.h>
// GDI+ needs the COM stream types and min/max before its own header.
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>

namespace bw::winapp {

// GDI+ is usable while one of these lives.
class GdiplusSession {
  public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

  private:
    ULONG_PTR token_ = 0;
};

// A picture stored as RCDATA in the program (PNG, GIF), with the stream it is read from
// (GDI+ reads an animation's frames from it as long as the bitmap lives).
class Picture {
  public:
    explicit Picture(int resourceId);
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Null when the resource is missing or cannot be decoded.
    Gdiplus::Bitmap* Bitmap() const { return bitmap_.get(); }

  private:
    IStream* stream_ = nullptr;
    std::unique_ptr<Gdiplus::Bitmap> bitmap_;
};

// Pixels of a font size in points on this screen.
int PointsToPixels(int points);

struct FontKey {
    std::wstring face;
    int pixels = 12;  // character height
    bool bold = false;
    auto operator<=>(const FontKey&) const = default;
};

class FontCache {
  public:
    FontCache() = default;
    ~FontCache();
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    HFONT Get(const FontKey& key);

  private:
    std::map<FontKey, HFONT> fonts_;
};

class BrushCache {
  public:
    BrushCache() = default;
    ~BrushCache();
    BrushCache(const BrushCache&) = delete;
    BrushCache& operator=(const BrushCache&) = delete;

    HBRUSH Get(COLORREF colour);

  private:
    std::map<COLORREF, HBRUSH> brushes_;
};

}  // namespace bw::winapp
