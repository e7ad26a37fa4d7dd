// The classic list-input text format of the package files (the index, the font list and the
// update-information file): fields separated by commas or line ends, a field in double quotes
// keeps its commas and blanks, unquoted fields are trimmed, a blank line is an empty field, and a
// record simply takes the next N fields wherever the line ends fall.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace updexar {

class ListInput {
public:
    explicit ListInput(std::string text) : text_(std::move(text)) {}

    // Nothing but blanks and line ends is left.
    bool AtEnd() const;
    // The next field; throws 62 "Input past end of file" when AtEnd().
    std::string NextField();
    // The next `count` fields. False at the end of the text; also false, with `truncated` set,
    // when the text ends inside the record (the fields read so far are in `fields`).
    bool NextRecord(size_t count, std::vector<std::string>& fields);
    bool Truncated() const { return truncated_; }
    // The line (from 1) on which the record NextRecord read last began: where a package author
    // has to look when the record is wrong.
    size_t RecordLine() const { return recordLine_; }

private:
    std::string ReadField();
    // The line that holds text_[pos]; positions are only ever asked for in order.
    size_t LineAt(size_t pos);
    std::string text_;
    size_t pos_ = 0;
    bool truncated_ = false;
    size_t recordLine_ = 0;
    size_t line_ = 1;
    size_t lineCounted_ = 0;
};

}  // namespace updexar
