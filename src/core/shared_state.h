// The one process-wide record every window and module reads. Only the user-interface thread
// touches it, so it has no lock.
#pragma once

#include <cstdint>
#include <string>

namespace updexar::platform {
class FileSystem;
}

namespace updexar {

struct SharedState {
    int16_t MsgBoxResult = 0;
    bool SvrCheckOk = false;
    bool SvrIsRemote = false;

    std::string ProductKey;
    std::string ProductDbName;
    std::string ProductDirName;
    std::string ProductName;
    std::string ProductCode;
    std::string VerInfoTable;

    // Never ends with a backslash.
    std::string ProgramDir;
    std::string LanUpdateDir;
    int LogFileNo = 0;
    std::string SysDir;
    std::string RegSvr32Path;
    std::string MsizapPath;
    bool IsWinNT = false;
    platform::FileSystem* FileSys = nullptr;
    // "|A|B": each service name preceded by "|".
    std::string ServiceList;

    // Screen-resolution scale factors: horizontal, vertical and for fonts.
    float sx = 1.0f;
    float sy = 1.0f;
    float sf = 1.0f;
};

// The record of this process.
SharedState& Shared();
// Back to a fresh record (for tests that start the program over).
void ResetShared();

}  // namespace updexar
