// Installed font faces and adding a font file to the system font table.
#pragma once

#include <string>

namespace updexar::platform {

class Fonts {
public:
    virtual ~Fonts() = default;
    // Whether a face of that name is available, compared without regard to case.
    virtual bool IsFaceInstalled(const std::string& face) = 0;
    // Adds the font file; returns how many fonts were added (0 on failure).
    virtual int AddFontFile(const std::string& path) = 0;
    // Tells every top-level window that the font table changed.
    virtual void BroadcastFontChange() = 0;
};

}  // namespace updexar::platform
