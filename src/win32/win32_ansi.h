// Text in the system's ANSI code page, converted by the system itself.
#pragma once

#include <string>

#include "platform/ansi.h"

namespace updexar::win32 {

class Win32AnsiText : public platform::AnsiText {
public:
    std::string ToAnsi(const std::string& utf8) override;
    std::string FromAnsi(const std::string& ansi) override;
};

}  // namespace updexar::win32
