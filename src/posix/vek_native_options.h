// Settings of the native VEK service: port and data directories from a small file or the
// command line, in place of the registry the Windows service reads.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "posix/vek_native_host.h"

namespace updexar::posix {

struct NativeOptions {
    NativeHostOptions host;
    // Product code -> data directory.
    std::map<std::string, std::string> dataByCode;
};

// One line of the settings file or one --data value: "CODE=DIR" for a product code of the table,
// or "port=N". Blank lines and lines starting with '#' are skipped. False with a reason otherwise.
bool ApplySettingLine(std::string_view line, NativeOptions& options, std::string& error);

// --port N, --address A, --threads N, --config FILE, --data CODE=DIR, in any order; later ones win.
bool ParseNativeArguments(const std::vector<std::string>& args, NativeOptions& options, std::string& error);

}  // namespace updexar::posix
