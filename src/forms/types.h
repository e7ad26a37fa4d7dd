// Small shared vocabulary of the window toolkit: fonts held in fixed point, key codes, close
// reasons, sizes.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace updexar::forms {

// Characters of UTF-8 text as a user counts them; text-box positions are in these.
inline int CharCount(std::string_view text) {
    int n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// A font; the size is held in ten-thousandths of a point, so steps of 0.1 point are exact.
struct Font {
    std::string name = "MS Sans Serif";
    bool bold = false;
    int64_t size = 82500;  // 8.25 points

    static int64_t FromPoints(double points) { return std::llround(points * 10000.0); }
    double Points() const { return static_cast<double>(size) / 10000.0; }
    bool operator==(const Font&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;
};

enum class Alignment { Left = 0, Right = 1, Center = 2 };

// Why a window is being closed. Everything but FromCode is a close the program did not ask for.
enum class UnloadMode {
    ControlMenu = 0,  // caption-bar close, system menu, Alt+F4
    FromCode = 1,     // our own code unloads it
    AppWindows = 2,   // Windows is shutting down
    TaskManager = 3,
    Owner = 5,        // its owner is closing
};

enum KeyCode : int {
    KeyBack = 8,
    KeyTab = 9,
    KeyReturn = 13,
    KeyEscape = 27,
    KeySpace = 32,
    KeyLeft = 37,
    KeyUp = 38,
    KeyRight = 39,
    KeyDown = 40,
    KeyDelete = 46,
    KeyF2 = 113,
};

enum ShiftMask : int { ShiftKey = 1, CtrlKey = 2, AltKey = 4 };

// Colours as 0x00BBGGRR.
using Color = uint32_t;

}  // namespace updexar::forms
