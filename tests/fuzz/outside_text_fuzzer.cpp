// The small readers of text that comes from outside: the service's answer on the wire, numbers
// in configuration values, the command line of an automatic run and lines of a text file. None
// may crash, and each must keep the promises its callers build on.
#include "core/config.h"
#include "core/update_log.h"
#include "fuzz_check.h"
#include "platform/string_reader.h"
#include "server/vek_protocol.h"

UPDEXAR_FUZZ_TARGET(text) {
    using namespace updexar;

    // An answer can only ever become one of the five states the check knows.
    const std::string state = vek::ParseAnswer(text, "84 94 05 ", "GLV");
    Check(state == "EXIST" || state == "NOTEXIST" || state == "NOUPD" || state == "-1" || state.empty());

    (void)Val(text);

    // Splitting at ":" and joining again gives the command line back.
    const std::vector<std::string> fields = CommandFields(text);
    std::string joined;
    for (size_t i = 0; i < fields.size(); ++i) joined += (i ? ":" : "") + fields[i];
    Check(joined == text);

    // Lines never hold a line end, and reading never runs past the end.
    platform::StringTextReader reader(text);
    size_t lines = 0;
    while (!reader.AtEnd()) Check(reader.ReadLine().find_first_of("\r\n") == std::string::npos && ++lines <= text.size());
}
