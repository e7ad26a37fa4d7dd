// What a command-line tool needs of the system it runs on, whichever that is: its arguments as
// UTF-8 and the local file system. The Windows layer and the native one each provide both.
#pragma once

#include <string>
#include <vector>

#include "platform/filesystem.h"

namespace updexar::platform {

// The arguments after the program's name. On Windows they are read again from the wide command
// line, so that names outside the ANSI code page survive.
std::vector<std::string> ToolArguments(int argc, char** argv);
FileSystem& LocalFileSystem();

}  // namespace updexar::platform
