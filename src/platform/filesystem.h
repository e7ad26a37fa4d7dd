// The one file-system service all file work goes through. Every failure is thrown as a
// RuntimeError with the classic number (53 file not found, 70 permission denied, 76 path not
// found, ...). Paths are Windows paths ("C:\x\y", "\\SERVER\share\x"); names and paths compare
// without regard to case.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/datetime.h"

namespace updexar::platform {

// Attribute bits as the file system reports them.
enum FileAttribute : uint32_t {
    AttrNormal = 0,
    AttrReadOnly = 1,
    AttrHidden = 2,
    AttrSystem = 4,
    AttrDirectory = 16,
    AttrArchive = 32,
};

// Drive types, numbered as the scripting runtime numbers them.
enum DriveType : int {
    DriveUnknown = 0,
    DriveRemovable = 1,
    DriveFixed = 2,
    DriveNetwork = 3,
    DriveCdRom = 4,
    DriveRamDisk = 5,
};

struct DriveInfo {
    std::string letter;  // "C"
    int type = DriveUnknown;
    bool ready = false;
    bool hasSerial = false;
    int32_t serial = 0;  // signed, as the volume serial is reported
};

// Lines written end with CR LF; text is converted to the ANSI code page on the way out.
class TextWriter {
public:
    virtual ~TextWriter() = default;
    virtual void Write(const std::string& text) = 0;
    virtual void WriteLine(const std::string& text) = 0;
    virtual void Close() = 0;
};

// Reads ANSI text as UTF-8; a line ends at CR LF, a lone LF or a lone CR.
class TextReader {
public:
    virtual ~TextReader() = default;
    virtual bool AtEnd() = 0;
    // Throws 62 "Input past end of file" when already at the end.
    virtual std::string ReadLine() = 0;
    // Everything not read yet.
    virtual std::string ReadAll() = 0;
    virtual void Close() = 0;
};

// One entry of a folder listing.
struct FolderEntry {
    std::string name;
    bool folder = false;
    uint64_t size = 0;  // files only
    // Files only: when last written, in seconds since 1970 (UTC).
    int64_t modified = 0;
};

// Changes in one folder as the system reports them, which it does on shares too (where a
// listing may be seconds old: Windows keeps a share's listing up to 10 s).
class FolderWatch {
public:
    virtual ~FolderWatch() = default;
    // The names of files made, renamed into the folder or written since the last call.
    virtual std::vector<std::string> Changed() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual bool FileExists(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // The folder that really holds an existing folder, looked up rather than cut from the text
    // (a trailing backslash, "." and ".." and a relative path all resolve); empty for a drive or
    // share root. 76 when the folder does not exist.
    virtual std::string ParentFolder(const std::string& folder) = 0;
    virtual std::vector<DriveInfo> Drives() = 0;

    // Copies over an existing file when overwrite is set, else 58; a read-only target gives 70.
    virtual void CopyFile(const std::string& source, const std::string& target, bool overwrite = true) = 0;
    // Copies the folder and everything in it into target (created when missing), merging with
    // what is there and overwriting files when overwrite is set.
    virtual void CopyFolder(const std::string& source, const std::string& target, bool overwrite = true) = 0;
    // A read-only file is deleted only when force is set (else 70).
    virtual void DeleteFile(const std::string& path, bool force = false) = 0;
    // The folder with everything in it; read-only contents only when force is set.
    virtual void DeleteFolder(const std::string& path, bool force = false) = 0;
    // One level: the parent must exist (76), the folder must not (58).
    virtual void CreateFolder(const std::string& path) = 0;

    virtual uint32_t GetAttributes(const std::string& path) = 0;
    virtual void SetAttributes(const std::string& path, uint32_t attributes) = 0;
    virtual uint64_t FileSize(const std::string& path) = 0;
    // The folder's files and all its subfolders' files added up.
    virtual uint64_t FolderSize(const std::string& path) = 0;
    virtual DateTime LastModified(const std::string& path) = 0;
    virtual void SetLastModified(const std::string& path, const DateTime& when) = 0;

    // Names (not paths), in the order the file system lists them.
    virtual std::vector<std::string> ListFiles(const std::string& folder) = 0;
    virtual std::vector<std::string> ListFolders(const std::string& folder) = 0;
    // Files and folders with their sizes in one listing; 76 when the folder does not exist.
    virtual std::vector<FolderEntry> ListEntries(const std::string& folder) = 0;

    // Moves a file or folder to another name on the same volume in one step: another process
    // sees either the old name or the new one, never a half. With replace an existing file at
    // `to` is replaced in the same step; without it, anything at `to` gives 58.
    virtual void Rename(const std::string& from, const std::string& to, bool replace = false) = 0;

    // Whole-file text in the ANSI code page, returned and taken as UTF-8.
    virtual std::string ReadAllText(const std::string& path) = 0;
    virtual void WriteAllText(const std::string& path, const std::string& text) = 0;
    virtual std::vector<uint8_t> ReadAllBytes(const std::string& path) = 0;
    // The file's bytes handed over piece after piece, so that a file of any size can be hashed
    // without holding it whole. This one reads the file whole; real file systems read in pieces.
    virtual void ReadPieces(const std::string& path, const std::function<void(const uint8_t* data, size_t size)>& take);
    virtual void WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) = 0;
    // Creates the file anew (an existing one must have been deleted: 58) so that only the
    // Administrators group and the user running the program may open it, whatever the folder
    // would pass on; ErrNoAccessRules, and no file, where the file system keeps no such rule.
    virtual void WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) = 0;
    // Who may open the file, as the system's security-descriptor text ("D:P(A;;FA;;;BA)...");
    // empty when the file system keeps no such thing.
    virtual std::string AccessDescription(const std::string& path) = 0;
    // Watches the folder: after each change `woken` is called, on another thread. Nothing when
    // the file system sends no change notifications; this one sends none.
    virtual std::unique_ptr<FolderWatch> WatchFolder(const std::string& folder, std::function<void()> woken);
    // Creates (truncating) or, with append, extends the file.
    virtual std::unique_ptr<TextWriter> OpenTextWriter(const std::string& path, bool append = false) = 0;
    virtual std::unique_ptr<TextReader> OpenTextReader(const std::string& path) = 0;
};

}  // namespace updexar::platform
