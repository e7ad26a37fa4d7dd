// Files, folders, drives and text streams on the real file system, with the run-time error
// numbers the scripting runtime's file-system object gives for the same failures.
#pragma once

// <windows.h> renames these two to their W forms; the interface's names must win. Include this
// header after <windows.h>, and before any platform header when <windows.h> came first.
#ifdef CopyFile
#undef CopyFile
#endif
#ifdef DeleteFile
#undef DeleteFile
#endif

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ansi.h"
#include "platform/filesystem.h"

namespace updexar::win32 {

class Win32FileSystem : public platform::FileSystem {
public:
    // Text files are read and written in the code page of `text`.
    explicit Win32FileSystem(platform::AnsiText& text) : text_(text) {}

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
    void ReadPieces(const std::string& path, const std::function<void(const uint8_t*, size_t)>& take) override;
    void WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) override;
    void WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) override;
    std::string AccessDescription(const std::string& path) override;
    std::unique_ptr<platform::FolderWatch> WatchFolder(const std::string& folder, std::function<void()> woken) override;
    std::unique_ptr<platform::TextWriter> OpenTextWriter(const std::string& path, bool append = false) override;
    std::unique_ptr<platform::TextReader> OpenTextReader(const std::string& path) override;

private:
    platform::AnsiText& text_;
};

// The scripting runtime's drive type for a GetDriveType result.
int DriveTypeNumber(unsigned win32DriveType);

}  // namespace updexar::win32
