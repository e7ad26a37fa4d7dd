// The seal of an update package: Updexar.sha256 at the package's top, one line per file in the
// form sha256sum writes and reads ("<64 hex digits>  <path below the package>", "/" between
// folders). Anyone can check a package with `sha256sum -c Updexar.sha256`; the program checks it
// before it installs, stores or stages anything, so a package damaged on its way to the machine
// changes nothing there. A package without the file is taken as it is.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"

namespace updexar {

inline constexpr std::string_view kSealName = "Updexar.sha256";

struct SealedFile {
    std::string path;    // below the package, as the seal writes it: "DLLs/NewUpFls/Galvano.exe"
    std::string sha256;  // lower-case hex
    size_t line = 0;
};

struct PackageSeal {
    std::vector<SealedFile> files;
    // The first line that is not a hash and a path below the package, and why; 0 when none.
    size_t badLine = 0;
    std::string badReason;
};
// Reads a seal's bytes: UTF-8 names, lines ended by LF or CR LF; a "\" in a path counts as "/"
// (a seal written by hand on Windows). Never throws.
PackageSeal ReadSeal(std::string_view text);
// One line per file, in the order given, each ended by LF.
std::string SealText(const std::vector<SealedFile>& files);

// The file's SHA-256 in lower-case hex, read a piece at a time.
std::string FileSha256(platform::FileSystem& fs, const std::string& path);
// Where a sealed path lies below a folder: the seal's "/" become "\".
std::string SealedPath(const std::string& folder, const std::string& sealPath);

// The package's seal, when it carries one. `failure` says why a seal that is there cannot be
// used (unreadable, or a line that is not a hash and a path below the package).
struct SealLoad {
    bool present = false;
    PackageSeal seal;
    std::string failure;
};
SealLoad LoadPackageSeal(platform::FileSystem& fs, const std::string& packageDir);

// A sealed file that is missing or differs, with the message that names it.
struct SealBreach {
    SealedFile file;
    std::string text;
};
// The first such file in the seal's order among those `take` picks (by their sealed path), as they
// lie below the folder: the package itself or a copy of it. More than one worker hashes files
// side by side; the file system must then take calls from several threads.
std::optional<SealBreach> FirstBreach(platform::FileSystem& fs, const std::string& folder, const PackageSeal& seal,
                                      const std::function<bool(const std::string& sealPath)>& take = nullptr,
                                      unsigned workers = 1);

// Why the package in the folder cannot be trusted, without a closing full stop: "File [<path>]
// is missing from the package", "File [<path>] differs from the package's seal", or what is wrong
// with the seal itself. Empty when the package carries no seal or every sealed file is whole.
// After StartPackageSealCheck for the same folder it waits for that check instead.
std::string PackageSealFailure(platform::FileSystem& fs, const std::string& packageDir);

// Starts PackageSealFailure for a sealed package on threads of its own, one a core. An unattended
// run starts it as soon as it knows its package, so that its windows and its start countdown hide
// the time that hashing every file takes; the update still waits for the answer before it changes
// anything. The file system must take calls from several threads.
void StartPackageSealCheck(platform::FileSystem& fs, const std::string& packageDir);

}  // namespace updexar
