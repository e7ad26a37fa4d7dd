// Font faces through GDI's family enumeration and the system font table.
#pragma once

#include "platform/fonts.h"

namespace updexar::win32 {

class Win32Fonts : public platform::Fonts {
public:
    bool IsFaceInstalled(const std::string& face) override;
    int AddFontFile(const std::string& path) override;
    void BroadcastFontChange() override;
};

}  // namespace updexar::win32
