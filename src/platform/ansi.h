// The ANSI code page at file and wire boundaries. Inside the program all text is UTF-8.
#pragma once

#include <string>

namespace updexar::platform {

class AnsiText {
public:
    virtual ~AnsiText() = default;
    // A character the code page lacks becomes "?".
    virtual std::string ToAnsi(const std::string& utf8) = 0;
    virtual std::string FromAnsi(const std::string& ansi) = 0;
};

// Windows-1252, the code page of western Windows installations; a portable stand-in for the
// system's code page where there is no system to ask (Linux builds, fakes).
std::string Utf8ToCp1252(const std::string& utf8);
std::string Cp1252ToUtf8(const std::string& ansi);

class Cp1252Text : public AnsiText {
public:
    std::string ToAnsi(const std::string& utf8) override { return Utf8ToCp1252(utf8); }
    std::string FromAnsi(const std::string& ansi) override { return Cp1252ToUtf8(ansi); }
};

}  // namespace updexar::platform
