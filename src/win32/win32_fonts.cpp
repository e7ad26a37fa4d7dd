#include "win32/win32_fonts.h"

#include <windows.h>

#include "win32/wide.h"

namespace updexar::win32 {
namespace {

struct FaceQuery {
    const wchar_t* face;
    bool found;
};

int CALLBACK MatchFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM param) {
    auto* query = reinterpret_cast<FaceQuery*>(param);
    // GDI also hands back close relatives (substitutes, vertical "@" faces); only the name counts.
    if (CompareStringOrdinal(font->lfFaceName, -1, query->face, -1, TRUE) == CSTR_EQUAL) {
        query->found = true;
        return 0;
    }
    return 1;
}

}  // namespace

bool Win32Fonts::IsFaceInstalled(const std::string& face) {
    const std::wstring wide = Wide(face);
    // An empty name would enumerate every family; a longer one cannot name a GDI face.
    if (wide.empty() || wide.size() >= LF_FACESIZE) return false;
    HDC dc = GetDC(nullptr);
    if (!dc) return false;
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    wide.copy(lf.lfFaceName, wide.size());
    FaceQuery query{wide.c_str(), false};
    EnumFontFamiliesExW(dc, &lf, MatchFace, reinterpret_cast<LPARAM>(&query), 0);
    ReleaseDC(nullptr, dc);
    return query.found;
}

int Win32Fonts::AddFontFile(const std::string& path) {
    if (path.empty()) return 0;
    return AddFontResourceW(Wide(path).c_str());
}

void Win32Fonts::BroadcastFontChange() {
    // Posted, not sent: a window that does not answer must not hold up the update.
    PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

}  // namespace updexar::win32
