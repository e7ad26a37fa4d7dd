#include "win32/win32_forms_peers.h"

#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

#include "win32/wide.h"

namespace updexar::win32 {
namespace {

std::map<std::string, PeerFactory>& Factories() {
    static std::map<std::string, PeerFactory> factories;
    return factories;
}

int MeasureDpi(int index) {
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, index) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

// Keeps absurd geometry (NaN, huge values from a bad calculation) from reaching the window manager.
int ToPixels(double twips, int dpi) {
    if (!std::isfinite(twips)) return 0;
    const double px = twips * dpi / 1440.0;
    if (px > 100000) return 100000;
    if (px < -100000) return -100000;
    return static_cast<int>(std::lround(px));
}

std::mutex g_keptMutex;
std::exception_ptr g_kept;

}  // namespace

void RegisterPeerFactory(const std::string& typeName, PeerCreate create) {
    RegisterPeerFactory(typeName, PeerFactory{std::move(create), nullptr, nullptr});
}

void RegisterPeerFactory(const std::string& typeName, PeerFactory factory) { Factories()[typeName] = std::move(factory); }

const PeerFactory* FindPeerFactory(const std::string& typeName) {
    auto it = Factories().find(typeName);
    return it == Factories().end() || !it->second.create ? nullptr : &it->second;
}

int ScreenDpiX() {
    static const int dpi = MeasureDpi(LOGPIXELSX);
    return dpi;
}

int ScreenDpiY() {
    static const int dpi = MeasureDpi(LOGPIXELSY);
    return dpi;
}

int TwipsToPixelsX(double twips) { return ToPixels(twips, ScreenDpiX()); }
int TwipsToPixelsY(double twips) { return ToPixels(twips, ScreenDpiY()); }
double PixelsToTwipsX(int pixels) { return pixels * 1440.0 / ScreenDpiX(); }
double PixelsToTwipsY(int pixels) { return pixels * 1440.0 / ScreenDpiY(); }

HFONT FontFor(const forms::Font& font) {
    static std::map<std::tuple<std::string, bool, int64_t>, HFONT> cache;
    const auto key = std::make_tuple(font.name, font.bold, font.size);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    const int height = -static_cast<int>(std::lround(font.Points() * ScreenDpiY() / 72.0));
    HFONT made = CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             Wide(font.name).c_str());
    if (!made) made = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    cache.emplace(key, made);
    return made;
}

COLORREF ColorRefOf(forms::Color color) {
    if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color & 0x00FFFFFF);
}

void KeepException(std::exception_ptr error) {
    std::lock_guard<std::mutex> lock(g_keptMutex);
    if (!g_kept) g_kept = std::move(error);
}

void RethrowKeptException() {
    std::exception_ptr error;
    {
        std::lock_guard<std::mutex> lock(g_keptMutex);
        error.swap(g_kept);
    }
    if (error) std::rethrow_exception(error);
}

}  // namespace updexar::win32
