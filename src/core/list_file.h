// The saved machine list's file in the shared folder: replaced whole or not at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/filesystem.h"

namespace updexar {

// Puts bytes in place of the file at path in one step: written whole to a new file beside it
// (named with tag, so that two computers saving at once do not share one), private to the
// Administrators group and whoever saves it, then renamed over the old file. A failure at any
// point throws and leaves the old file as it was, and no new one. False when the file system
// keeps no access rules, and the file got the folder's own rights instead.
bool ReplaceListFile(platform::FileSystem& fs, const std::string& path, const std::vector<uint8_t>& bytes,
                     const std::string& tag);

}  // namespace updexar
