// The store of an update package in the product's data directory on the server
// (<data directory>\SoftUpdates), from which every other computer of the installation takes it.
//
// Many computers may store the same update at the same moment (a LAN run starts them within
// seconds), and any of them may die halfway. So nothing is ever half there under a name others
// read: a package is copied into a folder private to this computer, checked file by file, and put
// in place with one rename; the marker that names the current update is replaced by a rename too,
// and the update it named before is removed only after that. Stores of different updates take
// turns for those steps under a lock in SoftUpdates, so that the newest always ends named.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/package_seal.h"
#include "platform/filesystem.h"

namespace updexar {

// Every file below a folder, with its size and when it was last written, by its path relative to
// the folder. Folders that cannot be read count what could be.
struct TreeFile {
    std::string relative;
    uint64_t size = 0;
    int64_t modified = 0;  // seconds since 1970 (UTC)
};
std::vector<TreeFile> ListTree(platform::FileSystem& fs, const std::string& folder);

// The number of files in the folder and all its subfolders; an unreadable folder counts what was
// counted so far.
int32_t CountFiles(platform::FileSystem& fs, const std::string& folder);

// Makes target and copies every file of source into it and its subfolders, overwriting; after
// each file `copied` is called. Errors are passed over: what failed shows when the copy is
// compared with its source.
void CopyFolderTree(platform::FileSystem& fs, const std::string& source, const std::string& target,
                    const std::function<void()>& copied);

// Whether two file lists hold the same paths (case ignored) with the same sizes and last-write
// times, as mirroring tools decide: a rebuilt DLL often keeps its size. Times within two seconds
// are the same, as a FAT volume keeps them.
bool SameFiles(std::vector<TreeFile> a, std::vector<TreeFile> b);

// The folders of a package that are part of the update: not the report folders ("Log" and
// digits) that a LAN run keeps in the shared package folder while machines still write to them.
bool IsReportFolder(const std::string& name);

struct StoreJob {
    std::string packageDir;    // the package folder
    std::string dataDir;       // the product's data directory
    std::string name;          // the update's name: the package folder's own name
    std::string kind;          // "P" or "F", of UpdInfo<kind>.txt
    std::string programPath;   // the utility that runs, stored with the package
    std::string storedProgram; // its name there, "Update" + product letter + ".exe"
    std::string storedName;    // the update the marker names now; empty when none
    // Names this store's private folders and files in SoftUpdates, so that a later store by the
    // same owner clears what a dead one left: the computer's name (one update of a product at a
    // time runs on a computer).
    std::string owner;
    // The package's seal, when it carries one: a copy is then whole only when its files hash as
    // the seal says, not merely when their sizes agree.
    const PackageSeal* seal = nullptr;
};

struct StoreProgress {
    std::function<void(const std::string& text)> status;
    std::function<void(int32_t files)> folderStarts;
    std::function<void()> fileCopied;
};

struct StoreResult {
    bool ok = false;
    // Why not, without a closing full stop ("Failed to Copy Folder [...]").
    std::string failure;
    // The package itself differs from its seal (not just the copy): `failure` names the file.
    bool damaged = false;
    // Another computer stored a newer update meanwhile: `failure` says so, and this one gives way.
    bool newer = false;
};

StoreResult StoreUpdate(platform::FileSystem& fs, const StoreJob& job, const StoreProgress& progress);

// Why an update is not stored over the one stored, dated `date`, which is newer.
std::string HigherStoredUpdate(const std::string& date);

// The product's one-letter code for the stored program's name; empty for an unknown key.
std::string ProductLetter(const std::string& productKey);

}  // namespace updexar
