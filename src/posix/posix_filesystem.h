// The file system of the native build, for the tools on Linux and the native tests. It keeps the
// habits of Windows that the program's code relies on: "\" separates as "/" does, a name that is
// not there as written is found without regard to case (and keeps the case it was made with), a
// file without write bits is read-only and refused to writers, and failures carry the classic
// numbers. Text files are in the Windows ANSI code page (Windows-1252 here), as the program reads
// them. Listings come sorted by name without regard to case, as NTFS gives them.
#pragma once

#include "platform/filesystem.h"

namespace updexar::posix {

class PosixFileSystem : public platform::FileSystem {
public:
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    std::string ParentFolder(const std::string& folder) override;
    // A Linux machine has no drive letters.
    std::vector<platform::DriveInfo> Drives() override { return {}; }

    void CopyFile(const std::string& source, const std::string& target, bool overwrite = true) override;
    void CopyFolder(const std::string& source, const std::string& target, bool overwrite = true) override;
    void DeleteFile(const std::string& path, bool force = false) override;
    void DeleteFolder(const std::string& path, bool force = false) override;
    void CreateFolder(const std::string& path) override;

    // Files are read-only or normal, folders are folders: the other bits have no place to live.
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
    void ReadPieces(const std::string& path, const std::function<void(const uint8_t*, size_t)>& take) override;
    void WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) override;
    // Mode 0600: its owner alone (and root) may open it.
    void WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) override;
    // The permission bits told as a descriptor: the owner as "S-1-22-1-<uid>", the group as
    // "S-1-22-2-<gid>", everyone else as "WD"; FA for read and write, FR or FW for one of them.
    std::string AccessDescription(const std::string& path) override;
    std::unique_ptr<platform::TextWriter> OpenTextWriter(const std::string& path, bool append = false) override;
    std::unique_ptr<platform::TextReader> OpenTextReader(const std::string& path) override;
};

// The Linux path a Windows-made path names: separators turned, a trailing one dropped, each
// missing name matched without regard to case against its folder's listing.
std::string LocalPath(const std::string& path);

}  // namespace updexar::posix
