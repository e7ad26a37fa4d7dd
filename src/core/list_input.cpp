#include "core/list_input.h"

#include "platform/errors.h"

namespace updexar {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

bool ListInput::AtEnd() const {
    for (size_t i = pos_; i < text_.size(); ++i)
        if (!IsBlank(text_[i]) && !IsLineEnd(text_[i])) return false;
    return true;
}

std::string ListInput::NextField() {
    if (AtEnd()) {
        pos_ = text_.size();
        throw RuntimeError(ErrInputPastEnd);
    }
    return ReadField();
}

std::string ListInput::ReadField() {
    const size_t n = text_.size();
    while (pos_ < n && IsBlank(text_[pos_])) ++pos_;

    std::string field;
    if (pos_ < n && text_[pos_] == '"') {
        const size_t close = text_.find('"', pos_ + 1);
        const size_t end = close == std::string::npos ? n : close;
        field = text_.substr(pos_ + 1, end - pos_ - 1);
        pos_ = close == std::string::npos ? n : close + 1;
        // Whatever stands between the closing quote and the delimiter is not part of any field.
        while (pos_ < n && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) ++pos_;
    } else {
        const size_t start = pos_;
        while (pos_ < n && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) ++pos_;
        size_t end = pos_;
        while (end > start && IsBlank(text_[end - 1])) --end;
        field = text_.substr(start, end - start);
    }

    if (pos_ < n) {
        if (text_[pos_] == ',') {
            ++pos_;
        } else if (text_[pos_] == '\r') {
            ++pos_;
            if (pos_ < n && text_[pos_] == '\n') ++pos_;
        } else {
            ++pos_;
        }
    }
    return field;
}

size_t ListInput::LineAt(size_t pos) {
    for (; lineCounted_ < pos && lineCounted_ < text_.size(); ++lineCounted_) {
        const char c = text_[lineCounted_];
        // CR LF is one line end.
        if (c == '\r' || (c == '\n' && (lineCounted_ == 0 || text_[lineCounted_ - 1] != '\r'))) ++line_;
    }
    return line_;
}

bool ListInput::NextRecord(size_t count, std::vector<std::string>& fields) {
    fields.clear();
    if (AtEnd()) return false;
    recordLine_ = LineAt(pos_);
    for (size_t i = 0; i < count; ++i) {
        // Inside a record only the end of the text ends it: a comma before a line end is an
        // empty field, not the end.
        if (pos_ >= text_.size()) {
            truncated_ = true;
            return false;
        }
        fields.push_back(ReadField());
    }
    return true;
}

}  // namespace updexar
