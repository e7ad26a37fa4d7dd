// Native windows for control kinds the forms backend does not know itself (the grid, ...): a kind
// registers a factory under its type name, and the backend asks it for the control's window.
// Also the few helpers such a window needs: pixels at the screen's DPI, the control's font, and a
// way to run model code from a window procedure without letting an exception cross it.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "forms/backend.h"
#include "forms/types.h"

namespace updexar::forms {
class Control;
}

namespace updexar::win32 {

// Makes the control's window as a child of parent, with the control's geometry; null for none.
// The backend then moves, shows, enables, re-fonts and destroys it like its own windows.
using PeerCreate = std::function<HWND(HWND parent, forms::Control& control)>;
// A property change the backend does not apply by itself (Data, Appearance, Caption, ...); called
// after the backend's own handling of Geometry, Visible, Enabled and Font.
using PeerChanged = std::function<void(HWND window, forms::Control& control, forms::Property what)>;
// A WM_COMMAND or WM_NOTIFY the window sent to its parent. True when handled; *result is returned.
using PeerNotify =
    std::function<bool(HWND window, forms::Control& control, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)>;

struct PeerFactory {
    PeerCreate create;
    PeerChanged changed;
    PeerNotify notify;
};

// Registering a type name again replaces its factory. Register before the forms load.
void RegisterPeerFactory(const std::string& typeName, PeerCreate create);
void RegisterPeerFactory(const std::string& typeName, PeerFactory factory);
// Null when the type name has no factory.
const PeerFactory* FindPeerFactory(const std::string& typeName);

// Screen DPI, measured once.
int ScreenDpiX();
int ScreenDpiY();
// Twips <-> pixels at the screen's DPI (1440 twips per inch).
int TwipsToPixelsX(double twips);
int TwipsToPixelsY(double twips);
double PixelsToTwipsX(int pixels);
double PixelsToTwipsY(int pixels);
// A GDI font for a toolkit font, kept for the life of the process; do not delete it.
HFONT FontFor(const forms::Font& font);
// A toolkit colour (0x00BBGGRR, or 0x800000nn for system colour nn) as a COLORREF.
COLORREF ColorRefOf(forms::Color color);

// Window procedures run model code through this: an exception is kept and rethrown by the
// backend's Pump once DispatchMessage has returned. The first one wins until it is rethrown.
void KeepException(std::exception_ptr error);
template <class Work>
bool RunGuarded(Work&& work) {
    try {
        work();
        return true;
    } catch (...) {
        KeepException(std::current_exception());
        return false;
    }
}
// Rethrows (and forgets) an exception a window procedure kept.
void RethrowKeptException();

}  // namespace updexar::win32
