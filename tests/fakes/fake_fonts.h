// Installed font faces, compared without regard to case; font files add nothing.
#pragma once

#include <string>
#include <vector>

#include "platform/fonts.h"
#include "platform/strings.h"

namespace updexar::fakes {

class FakeFonts : public platform::Fonts {
public:
    std::vector<std::string> faces{"MS Sans Serif", "Arial"};

    bool IsFaceInstalled(const std::string& face) override {
        for (const auto& f : faces)
            if (EqualsNoCase(f, face)) return true;
        return false;
    }
    int AddFontFile(const std::string&) override { return 0; }
    void BroadcastFontChange() override {}
};

}  // namespace updexar::fakes
