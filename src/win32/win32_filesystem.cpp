// <windows.h> (through wide.h) must come before our header, which takes back CopyFile/DeleteFile.
#include "win32/wide.h"
//
#include "win32/win32_filesystem.h"

#include <sddl.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "platform/errors.h"
#include "platform/string_reader.h"
#include "platform/strings.h"

namespace updexar::win32 {
namespace {

constexpr DWORD kInvalid = INVALID_FILE_ATTRIBUTES;

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE Get() const { return h_; }
    void Close() {
        if (Valid()) CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_;
};

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

private:
    HANDLE h_;
};

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

// Drops one trailing separator, except from a drive root ("C:\") which needs it.
std::string WithoutTrailingSeparator(const std::string& path) {
    if (!EndsWithSeparator(path)) return path;
    if (path.size() <= 3 && path.size() >= 2 && path[1] == ':') return path;
    return path.substr(0, path.size() - 1);
}

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }

bool IsFolder(DWORD a) { return a != kInvalid && (a & FILE_ATTRIBUTE_DIRECTORY); }
bool IsFile(DWORD a) { return a != kInvalid && !(a & FILE_ATTRIBUTE_DIRECTORY); }

std::wstring FullPath(const std::string& path) {
    const std::wstring wide = Wide(WithoutTrailingSeparator(path));
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return wide;
    std::wstring out(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, out.data(), nullptr);
    out.resize(n);
    return out;
}

bool SamePathOrInside(const std::string& inner, const std::string& outer) {
    const std::string a = ToUpper(Narrow(FullPath(inner)));
    std::string b = ToUpper(Narrow(FullPath(outer)));
    if (a == b) return true;
    if (!b.empty() && b.back() != '\\') b += '\\';
    return a.rfind(b, 0) == 0;
}

struct Entry {
    std::string name;
    DWORD attributes = 0;
    uint64_t size = 0;
    int64_t modified = 0;  // seconds since 1970, UTC
};

// The folder's entries in the order the file system gives them, without "." and "..".
std::vector<Entry> ListRaw(const std::string& folder) {
    const DWORD a = Attributes(folder);
    if (!IsFolder(a)) throw RuntimeError(ErrPathNotFound);
    const std::wstring pattern = Wide(PathJoin(folder, "*"));
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_NO_MORE_FILES) return {};
        ThrowError(e);
    }
    FindHandle guard(h);
    std::vector<Entry> out;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        Entry entry;
        entry.name = Narrow(name);
        entry.attributes = data.dwFileAttributes;
        entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        const uint64_t written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                 data.ftLastWriteTime.dwLowDateTime;
        entry.modified = static_cast<int64_t>(written / 10000000ULL) - 11644473600LL;
        out.push_back(std::move(entry));
    } while (FindNextFileW(h, &data));
    return out;
}

// Writing over a read-only file is refused here rather than left to the system: a process with
// enough rights (Wine run as root) would otherwise write through the attribute.
void RefuseReadOnlyTarget(const std::string& path) {
    const DWORD a = Attributes(path);
    if (a == kInvalid) return;
    if (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) throw RuntimeError(ErrPermissionDenied);
}

// Says why a copy the system refused went wrong, in the order a caller would look: the source,
// then what stands at the target.
[[noreturn]] void ThrowCopyRefused(const std::string& source, const std::string& target, bool overwrite, DWORD error) {
    if (!IsFile(Attributes(source))) throw RuntimeError(ErrFileNotFound);
    const DWORD t = Attributes(target);
    if (t != kInvalid) {
        if (t & FILE_ATTRIBUTE_DIRECTORY) throw RuntimeError(ErrPermissionDenied);
        if (!overwrite) throw RuntimeError(ErrFileExists);
    }
    ThrowError(error);
}

void CopyOneFile(const std::string& source, const std::string& target, bool overwrite) {
    if (overwrite) {
        // Only a copy that may replace needs a look first; a new file costs the system's own
        // checks alone, which matters when thousands are copied from a share.
        const DWORD t = Attributes(target);
        const bool refused = t != kInvalid && ((t & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) ||
                                               // Copying a file onto itself would empty it.
                                               SamePathOrInside(source, target));
        if (refused) {
            if (!IsFile(Attributes(source))) throw RuntimeError(ErrFileNotFound);
            throw RuntimeError(ErrPermissionDenied);
        }
    }
    if (!CopyFileW(Wide(source).c_str(), Wide(target).c_str(), overwrite ? FALSE : TRUE)) {
        ThrowCopyRefused(source, target, overwrite, GetLastError());
    }
}

void CopyTree(const std::string& source, const std::string& target, bool overwrite) {
    const DWORD t = Attributes(target);
    if (IsFile(t)) throw RuntimeError(ErrFileExists);
    if (t == kInvalid && !CreateDirectoryW(Wide(target).c_str(), nullptr)) ThrowLastError();
    for (const Entry& e : ListRaw(source)) {
        const std::string from = PathJoin(source, e.name);
        const std::string to = PathJoin(target, e.name);
        if (e.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            CopyTree(from, to, overwrite);
        } else {
            CopyOneFile(from, to, overwrite);
        }
    }
}

bool HoldsReadOnly(const std::string& folder) {
    for (const Entry& e : ListRaw(folder)) {
        if (e.attributes & FILE_ATTRIBUTE_READONLY) return true;
        if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) && !(e.attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            HoldsReadOnly(PathJoin(folder, e.name)))
            return true;
    }
    return false;
}

void ClearReadOnly(const std::wstring& path, DWORD attributes) {
    if (!SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)))
        ThrowLastError();
}

void DeleteOneFile(const std::string& path, DWORD attributes, bool force) {
    const std::wstring wide = Wide(path);
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        if (!force) throw RuntimeError(ErrPermissionDenied);
        ClearReadOnly(wide, attributes);
    }
    if (!DeleteFileW(wide.c_str())) {
        const DWORD e = GetLastError();
        // A file we could not delete keeps the protection it had.
        if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wide.c_str(), attributes);
        ThrowError(e);
    }
}

void DeleteTree(const std::string& folder, DWORD attributes, bool force) {
    // A linked folder is removed as a link; what it points to is not ours to empty.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        for (const Entry& e : ListRaw(folder)) {
            const std::string path = PathJoin(folder, e.name);
            if (e.attributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path, e.attributes, force);
            } else {
                DeleteOneFile(path, e.attributes, force);
            }
        }
    }
    const std::wstring wide = Wide(folder);
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        if (!force) throw RuntimeError(ErrPermissionDenied);
        ClearReadOnly(wide, attributes);
    }
    if (!RemoveDirectoryW(wide.c_str())) ThrowLastError();
}

uint64_t TreeSize(const std::string& folder) {
    uint64_t total = 0;
    for (const Entry& e : ListRaw(folder)) {
        if (e.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(e.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) total += TreeSize(PathJoin(folder, e.name));
        } else {
            total += e.size;
        }
    }
    return total;
}

// File or folder data; missing things are "File not found" as the file object reports them.
WIN32_FILE_ATTRIBUTE_DATA AttributeData(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(WithoutTrailingSeparator(path)).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) throw RuntimeError(ErrFileNotFound);
        ThrowError(e);
    }
    return data;
}

void WriteAll(HANDLE h, const char* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(h, data, chunk, &written, nullptr)) ThrowLastError();
        if (written == 0) throw RuntimeError(ErrDiskFull);
        data += written;
        size -= written;
    }
}

// Opens for writing, created when missing; truncated unless appending. OPEN_ALWAYS rather than
// CREATE_ALWAYS because the latter refuses existing hidden or system files.
HANDLE OpenForWriting(const std::string& path, bool append) {
    RefuseReadOnlyTarget(path);
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) ThrowLastError();
    LARGE_INTEGER zero{};
    const BOOL placed = append ? SetFilePointerEx(h, zero, nullptr, FILE_END) : SetEndOfFile(h);
    if (!placed) {
        const DWORD e = GetLastError();
        CloseHandle(h);
        ThrowError(e);
    }
    return h;
}

class Win32TextWriter : public platform::TextWriter {
public:
    Win32TextWriter(HANDLE h, platform::AnsiText& text) : handle_(h), text_(text) {}
    void Write(const std::string& text) override {
        if (!handle_.Valid()) throw RuntimeError(ErrBadFileNameOrNumber);
        const std::string ansi = text_.ToAnsi(text);
        WriteAll(handle_.Get(), ansi.data(), ansi.size());
    }
    void WriteLine(const std::string& text) override { Write(text + "\r\n"); }
    void Close() override { handle_.Close(); }

private:
    Handle handle_;
    platform::AnsiText& text_;
};


}  // namespace

int DriveTypeNumber(unsigned win32DriveType) {
    switch (win32DriveType) {
        case DRIVE_REMOVABLE: return platform::DriveRemovable;
        case DRIVE_FIXED: return platform::DriveFixed;
        case DRIVE_REMOTE: return platform::DriveNetwork;
        case DRIVE_CDROM: return platform::DriveCdRom;
        case DRIVE_RAMDISK: return platform::DriveRamDisk;
        default: return platform::DriveUnknown;
    }
}

bool Win32FileSystem::FileExists(const std::string& path) { return !path.empty() && IsFile(Attributes(path)); }

bool Win32FileSystem::FolderExists(const std::string& path) {
    return !path.empty() && IsFolder(Attributes(path));
}

std::string Win32FileSystem::ParentFolder(const std::string& folder) {
    if (!FolderExists(folder)) throw RuntimeError(ErrPathNotFound);
    return ParentOfNormalized(NormalizePath(Narrow(FullPath(folder))));
}

std::vector<platform::DriveInfo> Win32FileSystem::Drives() {
    std::vector<platform::DriveInfo> drives;
    const DWORD needed = GetLogicalDriveStringsW(0, nullptr);
    if (needed == 0) return drives;
    std::wstring buffer(needed + 1, L'\0');
    const DWORD got = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (got == 0 || got > buffer.size()) return drives;
    // An empty floppy or card reader must not put up a "no disk" box.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (const wchar_t* root = buffer.c_str(); *root; root += wcslen(root) + 1) {
        platform::DriveInfo d;
        d.letter = Narrow(root, 1);
        d.type = DriveTypeNumber(GetDriveTypeW(root));
        DWORD serial = 0;
        if (GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
            d.ready = true;
            d.hasSerial = true;
            d.serial = static_cast<int32_t>(serial);
        }
        drives.push_back(d);
    }
    SetErrorMode(oldMode);
    return drives;
}

void Win32FileSystem::CopyFile(const std::string& source, const std::string& target, bool overwrite) {
    // A target ending in a separator names the folder to copy into.
    const std::string to = EndsWithSeparator(target) ? target + PathFileName(source) : target;
    CopyOneFile(source, to, overwrite);
}

void Win32FileSystem::CopyFolder(const std::string& source, const std::string& target, bool overwrite) {
    const std::string from = WithoutTrailingSeparator(source);
    if (!IsFolder(Attributes(from))) throw RuntimeError(ErrPathNotFound);
    const std::string to =
        EndsWithSeparator(target) ? target + PathFileName(from) : WithoutTrailingSeparator(target);
    // Copying a folder into itself would never end.
    if (SamePathOrInside(to, from)) throw RuntimeError(ErrPermissionDenied);
    CopyTree(from, to, overwrite);
}

void Win32FileSystem::DeleteFile(const std::string& path, bool force) {
    const DWORD a = Attributes(path);
    if (!IsFile(a)) throw RuntimeError(ErrFileNotFound);
    DeleteOneFile(path, a, force);
}

void Win32FileSystem::DeleteFolder(const std::string& path, bool force) {
    const std::string folder = WithoutTrailingSeparator(path);
    const DWORD a = Attributes(folder);
    if (!IsFolder(a)) throw RuntimeError(ErrPathNotFound);
    // Refuse before anything is gone rather than halfway through.
    if (!force && ((a & FILE_ATTRIBUTE_READONLY) || HoldsReadOnly(folder))) throw RuntimeError(ErrPermissionDenied);
    DeleteTree(folder, a, force);
}

void Win32FileSystem::CreateFolder(const std::string& path) {
    if (path.empty()) throw RuntimeError(ErrPathNotFound);
    if (CreateDirectoryW(Wide(path).c_str(), nullptr)) return;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || Attributes(path) != kInvalid) throw RuntimeError(ErrFileExists);
    ThrowError(error);
}

uint32_t Win32FileSystem::GetAttributes(const std::string& path) {
    const DWORD a = AttributeData(path).dwFileAttributes;
    // FILE_ATTRIBUTE_NORMAL and the newer bits are not reported.
    return a & (platform::AttrReadOnly | platform::AttrHidden | platform::AttrSystem | platform::AttrDirectory |
                platform::AttrArchive | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_COMPRESSED);
}

void Win32FileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
    const std::string p = WithoutTrailingSeparator(path);
    AttributeData(p);
    // Only these four can be set; the others describe what the entry is.
    DWORD a = attributes &
              (platform::AttrReadOnly | platform::AttrHidden | platform::AttrSystem | platform::AttrArchive);
    if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileAttributesW(Wide(p).c_str(), a)) ThrowLastError();
}

uint64_t Win32FileSystem::FileSize(const std::string& path) {
    const WIN32_FILE_ATTRIBUTE_DATA data = AttributeData(path);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) throw RuntimeError(ErrFileNotFound);
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

uint64_t Win32FileSystem::FolderSize(const std::string& path) { return TreeSize(WithoutTrailingSeparator(path)); }

DateTime Win32FileSystem::LastModified(const std::string& path) {
    const WIN32_FILE_ATTRIBUTE_DATA data = AttributeData(path);
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &st))
        throw RuntimeError(ErrPathFileAccess);
    return DateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

void Win32FileSystem::SetLastModified(const std::string& path, const DateTime& when) {
    if (!when.IsValid() || when.year < 1601) throw RuntimeError(ErrInvalidCall);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(when.year);
    st.wMonth = static_cast<WORD>(when.month);
    st.wDay = static_cast<WORD>(when.day);
    st.wHour = static_cast<WORD>(when.hour);
    st.wMinute = static_cast<WORD>(when.minute);
    st.wSecond = static_cast<WORD>(when.second);
    FILETIME local, utc;
    if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc))
        throw RuntimeError(ErrInvalidCall);
    const std::string p = WithoutTrailingSeparator(path);
    AttributeData(p);
    // Backup semantics let the same call open a folder.
    Handle h(CreateFileW(Wide(p).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.Valid()) ThrowLastError();
    if (!SetFileTime(h.Get(), nullptr, nullptr, &utc)) ThrowLastError();
}

std::vector<std::string> Win32FileSystem::ListFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (Entry& e : ListRaw(folder))
        if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(std::move(e.name));
    return names;
}

std::vector<std::string> Win32FileSystem::ListFolders(const std::string& folder) {
    std::vector<std::string> names;
    for (Entry& e : ListRaw(folder))
        if (e.attributes & FILE_ATTRIBUTE_DIRECTORY) names.push_back(std::move(e.name));
    return names;
}

std::vector<platform::FolderEntry> Win32FileSystem::ListEntries(const std::string& folder) {
    std::vector<platform::FolderEntry> out;
    for (Entry& e : ListRaw(folder)) {
        const bool isFolder = (e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        out.push_back(platform::FolderEntry{std::move(e.name), isFolder, isFolder ? 0 : e.size, isFolder ? 0 : e.modified});
    }
    return out;
}

void Win32FileSystem::Rename(const std::string& from, const std::string& to, bool replace) {
    const std::string source = WithoutTrailingSeparator(from);
    const std::string target = WithoutTrailingSeparator(to);
    if (MoveFileExW(Wide(source).c_str(), Wide(target).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) return;
    const DWORD error = GetLastError();
    if (Attributes(source) == kInvalid) throw RuntimeError(ErrFileNotFound);
    const DWORD t = Attributes(target);
    if (t != kInvalid && (!replace || (t & FILE_ATTRIBUTE_DIRECTORY))) throw RuntimeError(ErrFileExists);
    ThrowError(error);
}

std::string Win32FileSystem::ReadAllText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadAllBytes(path);
    return text_.FromAnsi(std::string(bytes.begin(), bytes.end()));
}

void Win32FileSystem::WriteAllText(const std::string& path, const std::string& text) {
    const std::string ansi = text_.ToAnsi(text);
    Handle h(OpenForWriting(path, false));
    WriteAll(h.Get(), ansi.data(), ansi.size());
}

std::vector<uint8_t> Win32FileSystem::ReadAllBytes(const std::string& path) {
    // Shared for writing too: a log another machine is still writing must be readable.
    Handle h(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) ThrowLastError();
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> chunk(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(h.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) ThrowLastError();
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    }
    return bytes;
}

void Win32FileSystem::ReadPieces(const std::string& path, const std::function<void(const uint8_t*, size_t)>& take) {
    // Read ahead by the system: a package is hashed from its first byte to its last.
    Handle h(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.Valid()) ThrowLastError();
    // Not zeroed, and small enough for the heap: a fresh megabyte for each of thousands of small
    // files cost more than reading them.
    constexpr DWORD kPiece = 256 * 1024;
    const std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(h.Get(), piece.get(), kPiece, &got, nullptr)) ThrowLastError();
        if (got == 0) break;
        take(piece.get(), got);
    }
}

void Win32FileSystem::WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    Handle h(OpenForWriting(path, false));
    WriteAll(h.Get(), reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

namespace {

// The text form of the running user's security identifier; empty when the token says nothing.
std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    Handle guard(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<uint8_t> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
    std::wstring sid(text);
    LocalFree(text);
    return sid;
}

}  // namespace

void Win32FileSystem::WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    // Protected from what the folder would pass on; full access for the Administrators group and
    // for whoever saves the file, nobody else.
    std::wstring sddl = L"D:P(A;;FA;;;BA)";
    const std::wstring user = CurrentUserSid();
    if (!user.empty()) sddl += L"(A;;FA;;;" + user + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        ThrowLastError();
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE | WRITE_DAC, 0, &attributes, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = GetLastError();
    bool noRules = h == INVALID_HANDLE_VALUE && error == ERROR_NOT_SUPPORTED;
    // A NAS or Samba share without Windows ACLs makes the file and drops the descriptor without a
    // word; its volume says so.
    DWORD volume = 0;
    if (h != INVALID_HANDLE_VALUE && GetVolumeInformationByHandleW(h, nullptr, 0, nullptr, nullptr, &volume, nullptr, 0) &&
        !(volume & FILE_PERSISTENT_ACLS))
        noRules = true;
    // Wine keeps a descriptor given at creation only as Unix permissions; set once more, it keeps
    // it whole. Windows has it already and takes the same again.
    if (h != INVALID_HANDLE_VALUE &&
        (noRules || !SetKernelObjectSecurity(h, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, descriptor))) {
        error = GetLastError();
        noRules = noRules || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
        CloseHandle(h);
        DeleteFileW(Wide(path).c_str());
        h = INVALID_HANDLE_VALUE;
    }
    LocalFree(descriptor);
    if (noRules) throw RuntimeError(ErrNoAccessRules);
    if (h == INVALID_HANDLE_VALUE) ThrowError(error);
    Handle guard(h);
    WriteAll(h, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string Win32FileSystem::AccessDescription(const std::string& path) {
    DWORD size = 0;
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION;
    GetFileSecurityW(Wide(path).c_str(), what, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<uint8_t> buffer(size);
    if (!GetFileSecurityW(Wide(path).c_str(), what, buffer.data(), size, &size)) return {};
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(buffer.data(), SDDL_REVISION_1, what, &text, nullptr)) return {};
    std::string out = Narrow(text);
    LocalFree(text);
    return out;
}

std::unique_ptr<platform::TextWriter> Win32FileSystem::OpenTextWriter(const std::string& path, bool append) {
    return std::make_unique<Win32TextWriter>(OpenForWriting(path, append), text_);
}

std::unique_ptr<platform::TextReader> Win32FileSystem::OpenTextReader(const std::string& path) {
    return std::make_unique<platform::StringTextReader>(ReadAllText(path));
}

namespace {

// ReadDirectoryChangesW on its own thread, which alone issues and cancels the read (I/O belongs to
// the thread that started it). It works on shares, where it is what tells of a file long before
// the client's cached listing does.
class Win32FolderWatch : public platform::FolderWatch {
public:
    Win32FolderWatch(HANDLE folder, std::function<void()> woken)
        : folder_(folder), woken_(std::move(woken)), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), armed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          thread_([this] { Watch(); }) {
        // Changes are kept for the handle only from its first read on: one made as soon as this
        // returns must not be missed.
        if (armed_) WaitForSingleObject(armed_, INFINITE);
    }
    ~Win32FolderWatch() override {
        SetEvent(stop_);
        thread_.join();
        CloseHandle(folder_);
        CloseHandle(stop_);
        CloseHandle(ready_);
        CloseHandle(armed_);
    }
    std::vector<std::string> Changed() override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> names;
        names.swap(names_);
        return names;
    }

private:
    void Watch() {
        // Network folders take at most 64 KB; a burst larger than this is reported as lost, and
        // the folder's listing then tells.
        std::vector<DWORD> buffer(16384);
        const DWORD filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
        struct Armed {
            HANDLE event;
            ~Armed() { SetEvent(event); }
        } armed{armed_};
        while (stop_ && ready_) {
            OVERLAPPED ov{};
            ov.hEvent = ready_;
            ResetEvent(ready_);
            const BOOL reading = ReadDirectoryChangesW(folder_, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(DWORD)),
                                                       FALSE, filter, nullptr, &ov, nullptr);
            SetEvent(armed_);
            if (!reading) return;
            const HANDLE both[] = {stop_, ready_};
            DWORD bytes = 0;
            if (WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
                CancelIo(folder_);
                GetOverlappedResult(folder_, &ov, &bytes, TRUE);
                return;
            }
            if (!GetOverlappedResult(folder_, &ov, &bytes, FALSE)) return;
            // Deletions (the program's own, of what it has read) wake nobody.
            if (Take(reinterpret_cast<const uint8_t*>(buffer.data()), bytes)) woken_();
        }
    }

    // Whether any name came.
    bool Take(const uint8_t* at, DWORD bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        const size_t before = names_.size();
        for (DWORD offset = 0; bytes >= sizeof(FILE_NOTIFY_INFORMATION);) {
            const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at + offset);
            if (info->Action == FILE_ACTION_ADDED || info->Action == FILE_ACTION_MODIFIED ||
                info->Action == FILE_ACTION_RENAMED_NEW_NAME)
                names_.push_back(Narrow(info->FileName, info->FileNameLength / sizeof(wchar_t)));
            if (info->NextEntryOffset == 0 || offset + info->NextEntryOffset >= bytes) break;
            offset += info->NextEntryOffset;
        }
        return names_.size() > before;
    }

    HANDLE folder_;
    std::function<void()> woken_;
    HANDLE stop_, ready_, armed_;
    std::mutex mutex_;
    std::vector<std::string> names_;
    std::thread thread_;  // last: it starts once everything above is made
};

}  // namespace

std::unique_ptr<platform::FolderWatch> Win32FileSystem::WatchFolder(const std::string& folder, std::function<void()> woken) {
    const HANDLE h = CreateFileW(Wide(WithoutTrailingSeparator(folder)).c_str(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32FolderWatch>(h, std::move(woken));
}

}  // namespace updexar::win32
