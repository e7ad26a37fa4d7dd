// The package files' list-input reader on any bytes: it ends, never reads past the text, and
// every field it hands out is one a caller can use as it is.
#include <vector>

#include "core/list_input.h"
#include "fuzz_check.h"
#include "platform/errors.h"

UPDEXAR_FUZZ_TARGET(text) {
    size_t delimiters = 1;
    for (char c : text) delimiters += (c == ',' || c == '\r' || c == '\n');

    updexar::ListInput in(text);
    std::vector<std::string> fields;
    size_t total = 0;
    while (in.NextRecord(4, fields)) {
        total += fields.size();
        for (const std::string& f : fields) Check(f.size() <= text.size());
    }
    Check(total + fields.size() <= delimiters && in.AtEnd() && in.Truncated() == !fields.empty());
    try {
        in.NextField();
        std::abort();
    } catch (const updexar::RuntimeError& e) {
        Check(e.Number() == updexar::ErrInputPastEnd);
    }
}
