// The real native file system under a pretend computer's roots: drive "C:" and shares
// "\\SERVER\share" are folders of a temporary directory of the test's own (gone with it), and
// paths already in Linux form pass as they are. What a test adds: faults, a call before each
// change, pretend sizes, the drives listed, and the clock's time on what the program writes.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/filesystem.h"
#include "posix/posix_filesystem.h"

namespace updexar::fakes {

// The next writes to a file fail with an error number: opening it for writing, each Write of an open writer,
// copying onto it.
struct Fault {
    std::string path{};
    int error = 70;
    int skip = 0;   // matching writes let through first
    int times = 1;  // failures before the fault is used up; negative: for ever
};

// A Windows SMB client's caches on the shares: a folder's listing is served again for `listingMs`
// after it was read, and a name found missing stays missing for `notFoundMs` (existence checks and
// opens), on the clock; change notifications only when `notifications` is set.
struct ShareCache {
    int64_t listingMs = 10000;
    int64_t notFoundMs = 5000;
    bool notifications = true;
};

class FakeFileSystem : public platform::FileSystem {
public:
    explicit FakeFileSystem(platform::Clock& clock);
    ~FakeFileSystem() override;
    FakeFileSystem(const FakeFileSystem&) = delete;
    FakeFileSystem& operator=(const FakeFileSystem&) = delete;
    // --- set-up by tests
    void AddDrive(const std::string& letter);  // fixed, ready, with a serial number
    void AddShare(const std::string& uncRoot) { std::filesystem::create_directories(Local(uncRoot)); }
    void MakeFolders(const std::string& path);  // like "mkdir -p"
    void InjectFault(const Fault& fault) { faults_.push_back(fault); }
    // The file is said to be this large: a sparse file, whose bytes beyond its content are zeros.
    void SetSize(const std::string& path, uint64_t size) {
        if (FileSize(path) < size) std::filesystem::resize_file(posix::LocalPath(Local(path)), size);
    }
    // Called before every change (a file made, written, copied, renamed or deleted, a folder made, each entry of a
    // folder deleted), with the upper-case path it changes: a test can stop the program there as a crash would.
    std::function<void(const std::string& path)> beforeChange;
    void PlayShareCache(const ShareCache& cache) { cache_ = cache; }
    // A file written by another computer: it clears nothing this one has cached.
    void WriteFromElsewhere(const std::string& path, const std::string& text);
    // The Linux path of a Windows one.
    std::string Local(const std::string& path) const;
    // --- platform::FileSystem
    bool FileExists(const std::string& path) override {
        return Found(path, [&] { return real_.FileExists(Local(path)); });
    }
    bool FolderExists(const std::string& path) override {
        return Found(path, [&] { return real_.FolderExists(Local(path)); });
    }
    std::string ParentFolder(const std::string& folder) override;
    std::vector<platform::DriveInfo> Drives() override { return drives_; }
    void CopyFile(const std::string& source, const std::string& target, bool overwrite = true) override;
    void CopyFolder(const std::string& source, const std::string& target, bool overwrite = true) override {
        real_.CopyFolder(Local(source), Local(target), overwrite);
    }
    void DeleteFile(const std::string& path, bool force = false) override {
        Changing(path);
        real_.DeleteFile(Local(path), force);
    }
    void DeleteFolder(const std::string& path, bool force = false) override;
    void CreateFolder(const std::string& path) override;
    uint32_t GetAttributes(const std::string& path) override { return real_.GetAttributes(Local(path)); }
    void SetAttributes(const std::string& path, uint32_t attributes) override {
        Changing(path);
        real_.SetAttributes(Local(path), attributes);
    }
    uint64_t FileSize(const std::string& path) override { return real_.FileSize(Local(path)); }
    uint64_t FolderSize(const std::string& path) override { return real_.FolderSize(Local(path)); }
    DateTime LastModified(const std::string& path) override { return real_.LastModified(Local(path)); }
    void SetLastModified(const std::string& path, const DateTime& when) override {
        real_.SetLastModified(Local(path), when);
    }
    std::vector<std::string> ListFiles(const std::string& folder) override;
    std::vector<std::string> ListFolders(const std::string& folder) override {
        return real_.ListFolders(Local(folder));
    }
    std::vector<platform::FolderEntry> ListEntries(const std::string& folder) override;
    void Rename(const std::string& from, const std::string& to, bool replace = false) override {
        Changing(to);
        real_.Rename(Local(from), Local(to), replace);
    }
    std::string ReadAllText(const std::string& path) override;
    std::unique_ptr<platform::FolderWatch> WatchFolder(const std::string& folder, std::function<void()> woken) override;
    void WriteAllText(const std::string& path, const std::string& text) override {
        Write(path, [&] { real_.WriteAllText(Local(path), text); });
    }
    std::vector<uint8_t> ReadAllBytes(const std::string& path) override { return real_.ReadAllBytes(Local(path)); }
    void ReadPieces(const std::string& path, const std::function<void(const uint8_t*, size_t)>& take) override {
        real_.ReadPieces(Local(path), take);
    }
    void WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) override {
        Write(path, [&] { real_.WriteAllBytes(Local(path), bytes); });
    }
    void WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) override {
        Write(path, [&] { real_.WritePrivateFile(Local(path), bytes); });
    }
    std::string AccessDescription(const std::string& path) override { return real_.AccessDescription(Local(path)); }
    std::unique_ptr<platform::TextWriter> OpenTextWriter(const std::string& path, bool append = false) override;
    std::unique_ptr<platform::TextReader> OpenTextReader(const std::string& path) override {
        return real_.OpenTextReader(Local(path));
    }

private:
    friend struct FakeTextWriter;
    // The upper-case key of a path for hooks and faults; it throws what the fault says, after a
    // full disk has let the file be made or emptied by `write`.
    std::string Changing(const std::string& path);
    void Write(const std::string& path, const std::function<void()>& write);
    void CheckFault(const std::string& key);
    void Stamp(const std::string& path) { real_.SetLastModified(Local(path), clock_.Now()); }
    void RemoveTree(const std::string& path);
    bool HoldsReadOnly(const std::string& path);

    bool Shared(const std::string& path) const { return cache_ && path.rfind("\\\\", 0) == 0; }
    // Whether `exists` finds the path, unless the cache still says it is missing.
    bool Found(const std::string& path, const std::function<bool()>& exists);
    void Notify(const std::string& path);
    struct Watch;

    platform::Clock& clock_;
    std::optional<ShareCache> cache_;
    std::map<std::string, std::pair<int64_t, std::vector<platform::FolderEntry>>> listings_;
    std::map<std::string, int64_t> missing_;
    std::vector<Watch*> watches_;
    posix::PosixFileSystem real_;
    std::string root_;
    std::vector<platform::DriveInfo> drives_;
    std::vector<Fault> faults_;
};

}  // namespace updexar::fakes
