// An in-memory file system with the habits of Windows that the program relies on: names compare
// without regard to case but keep the case they were made with, "\" and "/" both separate, drives
// and UNC shares are roots a test adds, read-only files are protected, failures carry the classic
// numbers. Listings come in creation order (a real disk sorts or not as it likes; tests that care
// about order create in order).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ansi.h"
#include "platform/clock.h"
#include "platform/filesystem.h"

namespace updexar::fakes {

// The next writes to a path (or anything below it) fail with an error number: opening for
// writing, each Write of an open writer, copying onto a file.
struct Fault {
    std::string path{};
    int error = 70;
    int skip = 0;   // matching writes let through first
    int times = 1;  // failures before the fault is used up; negative: for ever
};

class FakeFileSystem : public platform::FileSystem {
public:
    FakeFileSystem(platform::Clock& clock, platform::AnsiText& text) : clock_(clock), text_(text) {}

    // --- set-up by tests
    // A fixed, ready drive with a serial number.
    void AddDrive(const std::string& letter);
    // A share "\\SERVER\share" that exists from now on.
    void AddShare(const std::string& uncRoot);
    // Every missing folder on the way, like "mkdir -p".
    void MakeFolders(const std::string& path);
    void InjectFault(const Fault& fault) { faults_.push_back(fault); }
    // The file is said to be this large (the bytes beyond its content are not kept).
    void SetSize(const std::string& path, uint64_t size);
    // Called before every change (a file made, written, copied, renamed or deleted, a folder
    // made, each entry of a folder deleted), with the upper-case path it changes: a test can stop
    // the program there as a crash would.
    std::function<void(const std::string& path)> beforeChange;
    std::string userSid = "S-1-5-21-1-2-3-1001";

    // --- platform::FileSystem
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    std::string ParentFolder(const std::string& folder) override;
    std::vector<platform::DriveInfo> Drives() override;
    void CopyFile(const std::string& source, const std::string& target, bool overwrite = true) override;
    void CopyFolder(const std::string& source, const std::string& target, bool overwrite = true) override;
    void DeleteFile(const std::string& path, bool force = false) override;
    void DeleteFolder(const std::string& path, bool force = false) override;
    void CreateFolder(const std::string& path) override;
    uint32_t GetAttributes(const std::string& path) override;
    void SetAttributes(const std::string& path, uint32_t attributes) override;
    uint64_t FileSize(const std::string& path) override;
    uint64_t FolderSize(const std::string& path) override;
    DateTime LastModified(const std::string& path) override;
    void SetLastModified(const std::string& path, const DateTime& when) override;
    std::vector<std::string> ListFiles(const std::string& folder) override;
    std::vector<std::string> ListFolders(const std::string& folder) override;
    std::vector<platform::FolderEntry> ListEntries(const std::string& folder) override;
    void Rename(const std::string& from, const std::string& to, bool replace = false) override;
    std::string ReadAllText(const std::string& path) override;
    void WriteAllText(const std::string& path, const std::string& text) override;
    std::vector<uint8_t> ReadAllBytes(const std::string& path) override;
    void WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) override;
    void WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) override;
    // "D:P(A;;FA;;;BA)(A;;FA;;;<user>)" for files written privately, empty for the others.
    std::string AccessDescription(const std::string& path) override;
    std::unique_ptr<platform::TextWriter> OpenTextWriter(const std::string& path, bool append = false) override;
    std::unique_ptr<platform::TextReader> OpenTextReader(const std::string& path) override;

    struct Entry {
        std::string name;  // as made; a root's is empty
        bool folder = false;
        uint32_t attributes = 0;
        DateTime modified;
        std::vector<uint8_t> bytes;
        uint64_t unheld = 0;  // bytes the file is said to hold beyond those it keeps
        uint64_t made = 0;    // creation order
        bool isPrivate = false;
    };
    struct Where;

private:
    Where Find(const std::string& path);
    std::vector<std::pair<std::string, std::shared_ptr<Entry>>> Children(const std::string& key);
    std::shared_ptr<Entry> Make(const Where& w, bool folder);
    int TakeFault(const std::string& key);
    void CheckFault(const std::string& key);
    void Changing(const std::string& key) {
        if (beforeChange) beforeChange(key);
    }
    std::shared_ptr<Entry> OpenForWriting(const std::string& path, bool append, std::string& key);
    void CopyOne(const Entry& source, const std::string& target, bool overwrite);
    void CopyTree(const std::string& sourceKey, const std::string& target, bool overwrite);
    void RemoveTree(const std::string& key);

    platform::Clock& clock_;
    platform::AnsiText& text_;
    // By the whole path in upper case ("C:", "C:\APPS", "\\SERVER\SHARE\X"); roots included.
    std::map<std::string, std::shared_ptr<Entry>> entries_;
    std::vector<platform::DriveInfo> drives_;
    std::vector<Fault> faults_;
    uint64_t made_ = 0;
};

}  // namespace updexar::fakes
