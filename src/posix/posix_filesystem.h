// The file system of the native build, for the package tool on Linux. Packages are made on
// Windows, so this one takes their habits: "\" separates as "/" does, and a name that is not
// there as written is found without regard to case. Text files are in the Windows ANSI code page
// (Windows-1252 here), as the program reads them.
#pragma once

#include "platform/filesystem.h"

namespace updexar::posix {

class PosixFileSystem : public platform::FileSystem {
public:
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    std::string ParentFolder(const std::string& folder) override;
    std::vector<platform::DriveInfo> Drives() override { return {}; }

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
    void ReadPieces(const std::string& path, const std::function<void(const uint8_t*, size_t)>& take) override;
    void WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) override;
    void WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) override;
    std::string AccessDescription(const std::string&) override { return ""; }
    std::unique_ptr<platform::TextWriter> OpenTextWriter(const std::string& path, bool append = false) override;
    std::unique_ptr<platform::TextReader> OpenTextReader(const std::string& path) override;
};

// The Linux path a Windows-made path names: separators turned, each missing name matched
// without regard to case against its folder's listing.
std::string LocalPath(const std::string& path);

}  // namespace updexar::posix
