#include "winapp/gdi_resources.h"

#include <shlwapi.h>

namespace bw::winapp {

GdiplusSession::GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
}

GdiplusSession::~GdiplusSession() {
    if (token_ != 0) Gdiplus::GdiplusShutdown(token_);
}

Picture::Picture(int resourceId) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    if (found == nullptr) return;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return;
    stream_ = SHCreateMemStream(static_cast<const BYTE*>(bytes), SizeofResource(module, found));
    if (stream_ == nullptr) return;
    bitmap_.reset(Gdiplus::Bitmap::FromStream(stream_));
    if (bitmap_ && bitmap_->GetLastStatus() != Gdiplus::Ok) bitmap_.reset();
}

Picture::~Picture() {
    bitmap_.reset();
    if (stream_ != nullptr) stream_->Release();
}

int PointsToPixels(int points) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return MulDiv(points, dpi, 72);
}

FontCache::~FontCache() {
    for (const auto& entry : fonts_) DeleteObject(entry.second);
}

HFONT FontCache::Get(const FontKey& key) {
    if (const auto it = fonts_.find(key); it != fonts_.end()) return it->second;
    LOGFONTW logFont{};
    logFont.lfHeight = -key.pixels;
    logFont.lfWeight = key.bold ? FW_BOLD : FW_NORMAL;
    logFont.lfCharSet = DEFAULT_CHARSET;
    logFont.lfQuality = CLEARTYPE_QUALITY;
    logFont.lfOutPrecision = OUT_TT_PRECIS;
    lstrcpynW(logFont.lfFaceName, key.face.c_str(), LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&logFont);
    fonts_.emplace(key, font);
    return font;
}

BrushCache::~BrushCache() {
    for (const auto& [colour, brush] : brushes_) DeleteObject(brush);
}

HBRUSH BrushCache::Get(COLORREF colour) {
    if (const auto it = brushes_.find(colour); it != brushes_.end()) return it->second;
    HBRUSH brush = CreateSolidBrush(colour);
    brushes_.emplace(colour, brush);
    return brush;
}

}  // namespace bw::winapp
