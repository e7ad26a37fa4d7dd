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

private:
    std::string ReadField();
    std::string text_;
    size_t pos_ = 0;
    bool truncated_ = false;
};

}  // namespace updexar
