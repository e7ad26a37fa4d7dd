// A text reader over text already read whole: lines end at CR LF, a lone LF or a lone CR, and a
// read past the end is error 62. Both file services hand these out.
#pragma once

#include <string>

#include "platform/filesystem.h"

namespace updexar::platform {

class StringTextReader : public TextReader {
public:
    explicit StringTextReader(std::string content) : content_(std::move(content)) {}
    bool AtEnd() override;
    std::string ReadLine() override;
    std::string ReadAll() override;
    void Close() override { open_ = false; }

private:
    void CheckOpen() const;
    std::string content_;
    size_t pos_ = 0;
    bool open_ = true;
};

}  // namespace updexar::platform
