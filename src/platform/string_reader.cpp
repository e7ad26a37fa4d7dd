#include "platform/string_reader.h"

#include "platform/errors.h"

namespace updexar::platform {

bool StringTextReader::AtEnd() {
    CheckOpen();
    return pos_ >= content_.size();
}

std::string StringTextReader::ReadLine() {
    CheckOpen();
    if (pos_ >= content_.size()) throw RuntimeError(ErrInputPastEnd);
    const size_t end = content_.find_first_of("\r\n", pos_);
    if (end == std::string::npos) {
        std::string line = content_.substr(pos_);
        pos_ = content_.size();
        return line;
    }
    std::string line = content_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (content_[end] == '\r' && pos_ < content_.size() && content_[pos_] == '\n') ++pos_;
    return line;
}

std::string StringTextReader::ReadAll() {
    CheckOpen();
    std::string rest = pos_ < content_.size() ? content_.substr(pos_) : std::string();
    pos_ = content_.size();
    return rest;
}

void StringTextReader::CheckOpen() const {
    if (!open_) throw RuntimeError(ErrBadFileNameOrNumber);
}

}  // namespace updexar::platform
