#include "posix/posix_filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>

#include "platform/ansi.h"
#include "platform/errors.h"
#include "platform/local_system.h"
#include "platform/string_reader.h"
#include "platform/strings.h"

namespace updexar::posix {
namespace {

namespace stdfs = std::filesystem;

bool Stat(const std::string& local, struct stat& st) { return ::stat(local.c_str(), &st) == 0; }
bool IsFile(const std::string& local) {
    struct stat st;
    return Stat(local, st) && S_ISREG(st.st_mode);
}
bool IsFolder(const std::string& local) {
    struct stat st;
    return Stat(local, st) && S_ISDIR(st.st_mode);
}
// A linked folder is not gone into when adding up or looking for protected files: a link back up
// would never end.
bool Linked(const std::string& local) {
    struct stat st;
    return ::lstat(local.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}
// Checked by hand rather than left to the system: root writes through missing write bits.
bool ReadOnly(const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0; }
bool EndsWithSeparator(const std::string& path) { return !path.empty() && (path.back() == '\\' || path.back() == '/'); }

std::string ParentOf(const std::string& local) {
    const size_t slash = local.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : local.substr(0, slash);
}
std::string NameOf(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && EndsWithSeparator(p)) p.pop_back();
    const size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// A missing file is 53 where its folder is there, 76 where it is not.
[[noreturn]] void ThrowMissing(const std::string& local) {
    throw RuntimeError(IsFolder(ParentOf(local)) ? ErrFileNotFound : ErrPathNotFound);
}

[[noreturn]] void ThrowErrno(int error, const std::string& local) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: ThrowMissing(local);
        case EACCES:
        case EPERM:
        case EROFS:
        case EBUSY:
        case EISDIR: throw RuntimeError(ErrPermissionDenied);
        case EEXIST:
        case ENOTEMPTY: throw RuntimeError(ErrFileExists);
        case ENOSPC:
        case EDQUOT: throw RuntimeError(ErrDiskFull);
        case ENAMETOOLONG: throw RuntimeError(ErrBadFileNameOrNumber);
        case EXDEV: throw RuntimeError(ErrRenameAcrossDisks);
        case EMFILE:
        case ENFILE: throw RuntimeError(ErrTooManyFiles);
        case EIO: throw RuntimeError(ErrDeviceIo);
        default: throw RuntimeError(ErrPathFileAccess);
    }
}

struct stat FileStat(const std::string& local) {
    struct stat st;
    if (!Stat(local, st) || !S_ISREG(st.st_mode)) throw RuntimeError(ErrFileNotFound);
    return st;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

void WriteAll(int fd, const char* data, size_t size, const std::string& local) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ThrowErrno(n < 0 ? errno : ENOSPC, local);
        data += n;
        size -= static_cast<size_t>(n);
    }
}

// Opens for writing, created when missing; emptied unless appending.
int OpenForWriting(const std::string& local, bool append) {
    struct stat st;
    if (Stat(local, st) && (S_ISDIR(st.st_mode) || ReadOnly(st))) throw RuntimeError(ErrPermissionDenied);
    const int fd = ::open(local.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
    if (fd < 0) ThrowErrno(errno, local);
    return fd;
}

void WriteFile(const std::string& local, const char* data, size_t size) {
    Fd fd(OpenForWriting(local, false));
    WriteAll(fd.Get(), data, size, local);
}

std::vector<platform::FolderEntry> List(const std::string& local) {
    DIR* dir = ::opendir(local.c_str());
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR) throw RuntimeError(ErrPathNotFound);
        ThrowErrno(errno, local);
    }
    std::vector<platform::FolderEntry> out;
    while (const dirent* d = ::readdir(dir)) {
        const std::string name = d->d_name;
        struct stat st;
        if (name == "." || name == ".." || !Stat(local + "/" + name, st)) continue;
        if (S_ISDIR(st.st_mode)) out.push_back({name, true, 0});
        else if (S_ISREG(st.st_mode)) out.push_back({name, false, static_cast<uint64_t>(st.st_size), static_cast<int64_t>(st.st_mtime)});
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return ToUpper(a.name) < ToUpper(b.name); });
    return out;
}

// Holes stay holes, so a large sparse file costs no more to copy than its data. The copy keeps
// its source's permission bits and last change, as a copy on Windows keeps attributes and date.
void CopyOne(const std::string& from, const std::string& to, bool overwrite) {
    const struct stat source = FileStat(from);
    struct stat st;
    if (Stat(to, st)) {
        if (S_ISDIR(st.st_mode)) throw RuntimeError(ErrPermissionDenied);
        if (!overwrite) throw RuntimeError(ErrFileExists);
        // Onto itself the copy would empty it first.
        if (ReadOnly(st) || (st.st_ino == source.st_ino && st.st_dev == source.st_dev))
            throw RuntimeError(ErrPermissionDenied);
    } else if (!IsFolder(ParentOf(to))) {
        throw RuntimeError(ErrPathNotFound);
    }
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0) ThrowErrno(errno, from);
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (out.Get() < 0) ThrowErrno(errno, to);
    std::vector<char> piece(1 << 20);
    off_t at = 0;
    while (at < source.st_size) {
        const off_t data = ::lseek(in.Get(), at, SEEK_DATA);
        if (data < 0) break;  // nothing but a hole up to the end
        const off_t hole = std::max(data, ::lseek(in.Get(), data, SEEK_HOLE));
        for (at = data; at < hole;) {
            const ssize_t got = ::pread(in.Get(), piece.data(), std::min<off_t>(hole - at, piece.size()), at);
            if (got <= 0) ThrowErrno(got < 0 ? errno : EIO, from);
            if (::lseek(out.Get(), at, SEEK_SET) < 0) ThrowErrno(errno, to);
            WriteAll(out.Get(), piece.data(), static_cast<size_t>(got), to);
            at += got;
        }
    }
    if (::ftruncate(out.Get(), source.st_size) != 0) ThrowErrno(errno, to);
    ::fchmod(out.Get(), source.st_mode & 07777);
    const timespec times[2] = {source.st_atim, source.st_mtim};
    ::futimens(out.Get(), times);
}

void CopyTree(const std::string& from, const std::string& to, bool overwrite) {
    if (IsFile(to)) throw RuntimeError(ErrFileExists);
    if (!IsFolder(to) && ::mkdir(to.c_str(), 0777) != 0) ThrowErrno(errno, to);
    for (const platform::FolderEntry& e : List(from)) {
        if (e.folder) CopyTree(from + "/" + e.name, to + "/" + e.name, overwrite);
        else CopyOne(from + "/" + e.name, to + "/" + e.name, overwrite);
    }
}

bool HoldsReadOnly(const std::string& local) {
    for (const platform::FolderEntry& e : List(local)) {
        struct stat st;
        const std::string path = local + "/" + e.name;
        if (e.folder ? !Linked(path) && HoldsReadOnly(path) : (Stat(path, st) && ReadOnly(st))) return true;
    }
    return false;
}

bool SameOrInside(const std::string& inner, const std::string& outer) {
    const std::string a = stdfs::weakly_canonical(inner).string();
    const std::string b = stdfs::weakly_canonical(outer).string();
    return a == b || (a.size() > b.size() && a.compare(0, b.size(), b) == 0 && a[b.size()] == '/');
}

// Each write goes straight to the file, so a reader sees it at once, as with the log files.
class PosixTextWriter : public platform::TextWriter {
public:
    PosixTextWriter(std::string local, bool append) : local_(std::move(local)), fd_(OpenForWriting(local_, append)) {}
    void Write(const std::string& text) override {
        if (fd_.Get() < 0) throw RuntimeError(ErrBadFileNameOrNumber);
        const std::string ansi = platform::Utf8ToCp1252(text);
        WriteAll(fd_.Get(), ansi.data(), ansi.size(), local_);
    }
    void WriteLine(const std::string& text) override { Write(text + "\r\n"); }
    void Close() override { fd_.Close(); }

private:
    std::string local_;
    Fd fd_;
};

std::string Rights(bool read, bool write) { return read && write ? "FA" : read ? "FR" : "FW"; }

}  // namespace

std::string LocalPath(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    struct stat st;
    if (p.empty() || Stat(p, st)) return p;
    std::string out = p[0] == '/' ? "/" : "";
    for (const std::string& part : Split(p, "/")) {
        if (part.empty()) continue;
        const std::string here = out.empty() ? part : out == "/" ? "/" + part : out + "/" + part;
        std::string name = part;
        // Past a missing folder the rest is kept as written.
        const std::string folder = out.empty() ? "." : out;
        if (part != "." && part != ".." && !Stat(here, st) && IsFolder(folder)) {
            for (const platform::FolderEntry& e : List(folder))
                if (EqualsNoCase(e.name, part)) {
                    name = e.name;
                    break;
                }
        }
        out = out.empty() ? name : out == "/" ? "/" + name : out + "/" + name;
    }
    return out;
}

bool PosixFileSystem::FileExists(const std::string& path) {
    return !EndsWithSeparator(path) && IsFile(LocalPath(path));
}
bool PosixFileSystem::FolderExists(const std::string& path) { return !path.empty() && IsFolder(LocalPath(path)); }

std::string PosixFileSystem::ParentFolder(const std::string& folder) {
    const std::string local = LocalPath(folder);
    if (!IsFolder(local)) throw RuntimeError(ErrPathNotFound);
    const std::string real = stdfs::weakly_canonical(local).string();
    return real == "/" ? "" : ParentOf(real);
}

void PosixFileSystem::CopyFile(const std::string& source, const std::string& target, bool overwrite) {
    // A target ending in a separator names the folder to copy into.
    CopyOne(LocalPath(source), LocalPath(EndsWithSeparator(target) ? target + NameOf(source) : target), overwrite);
}

void PosixFileSystem::CopyFolder(const std::string& source, const std::string& target, bool overwrite) {
    const std::string from = LocalPath(source);
    if (!IsFolder(from)) throw RuntimeError(ErrPathNotFound);
    const std::string to = LocalPath(EndsWithSeparator(target) ? target + NameOf(source) : target);
    // Copying a folder into itself would never end.
    if (SameOrInside(to, from)) throw RuntimeError(ErrPermissionDenied);
    if (!IsFolder(to) && !IsFolder(ParentOf(to))) throw RuntimeError(ErrPathNotFound);
    CopyTree(from, to, overwrite);
}

void PosixFileSystem::DeleteFile(const std::string& path, bool force) {
    const std::string local = LocalPath(path);
    if (ReadOnly(FileStat(local)) && !force) throw RuntimeError(ErrPermissionDenied);
    if (::unlink(local.c_str()) != 0) ThrowErrno(errno, local);
}

void PosixFileSystem::DeleteFolder(const std::string& path, bool force) {
    const std::string local = LocalPath(path);
    if (!IsFolder(local)) throw RuntimeError(ErrPathNotFound);
    // Refused before anything is gone rather than halfway through.
    if (!force && HoldsReadOnly(local)) throw RuntimeError(ErrPermissionDenied);
    std::error_code ec;
    stdfs::remove_all(local, ec);
    if (ec) ThrowErrno(ec.value(), local);
}

void PosixFileSystem::CreateFolder(const std::string& path) {
    if (path.empty()) throw RuntimeError(ErrPathNotFound);
    const std::string local = LocalPath(path);
    struct stat st;
    if (Stat(local, st)) throw RuntimeError(ErrFileExists);
    if (!IsFolder(ParentOf(local))) throw RuntimeError(ErrPathNotFound);
    if (::mkdir(local.c_str(), 0777) != 0) ThrowErrno(errno, local);
}

uint32_t PosixFileSystem::GetAttributes(const std::string& path) {
    struct stat st;
    if (!Stat(LocalPath(path), st)) throw RuntimeError(ErrFileNotFound);
    if (S_ISDIR(st.st_mode)) return platform::AttrDirectory;
    return ReadOnly(st) ? platform::AttrReadOnly : platform::AttrNormal;
}

void PosixFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
    const std::string local = LocalPath(path);
    struct stat st;
    if (!Stat(local, st)) throw RuntimeError(ErrFileNotFound);
    // A read-only folder protects nothing on Windows; here it would keep its files from going.
    if (S_ISDIR(st.st_mode)) return;
    const mode_t writable = S_IWUSR | S_IWGRP | S_IWOTH;
    const mode_t mode = (attributes & platform::AttrReadOnly) ? (st.st_mode & ~writable) : (st.st_mode | S_IWUSR);
    if (::chmod(local.c_str(), mode & 07777) != 0) ThrowErrno(errno, local);
}

uint64_t PosixFileSystem::FileSize(const std::string& path) {
    return static_cast<uint64_t>(FileStat(LocalPath(path)).st_size);
}

uint64_t PosixFileSystem::FolderSize(const std::string& path) {
    const std::string local = LocalPath(path);
    uint64_t total = 0;
    for (const platform::FolderEntry& e : List(local)) {
        const std::string path = local + "/" + e.name;
        total += !e.folder ? e.size : Linked(path) ? 0 : FolderSize(path);
    }
    return total;
}

DateTime PosixFileSystem::LastModified(const std::string& path) {
    struct stat st;
    if (!Stat(LocalPath(path), st)) throw RuntimeError(ErrFileNotFound);
    std::tm t{};
    ::localtime_r(&st.st_mtime, &t);
    return DateTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

void PosixFileSystem::SetLastModified(const std::string& path, const DateTime& when) {
    if (!when.IsValid() || when.year < 1601) throw RuntimeError(ErrInvalidCall);
    const std::string local = LocalPath(path);
    struct stat st;
    if (!Stat(local, st)) throw RuntimeError(ErrFileNotFound);
    std::tm t{};
    t.tm_year = when.year - 1900;
    t.tm_mon = when.month - 1;
    t.tm_mday = when.day;
    t.tm_hour = when.hour;
    t.tm_min = when.minute;
    t.tm_sec = when.second;
    t.tm_isdst = -1;
    const timespec times[2] = {{0, UTIME_OMIT}, {std::mktime(&t), 0}};
    if (::utimensat(AT_FDCWD, local.c_str(), times, 0) != 0) ThrowErrno(errno, local);
}

std::vector<std::string> PosixFileSystem::ListFiles(const std::string& folder) {
    std::vector<std::string> out;
    for (platform::FolderEntry& e : List(LocalPath(folder)))
        if (!e.folder) out.push_back(std::move(e.name));
    return out;
}

std::vector<std::string> PosixFileSystem::ListFolders(const std::string& folder) {
    std::vector<std::string> out;
    for (platform::FolderEntry& e : List(LocalPath(folder)))
        if (e.folder) out.push_back(std::move(e.name));
    return out;
}

std::vector<platform::FolderEntry> PosixFileSystem::ListEntries(const std::string& folder) {
    return List(LocalPath(folder));
}

void PosixFileSystem::Rename(const std::string& from, const std::string& to, bool replace) {
    const std::string a = LocalPath(from);
    std::string b = LocalPath(to);
    struct stat source, target;
    if (!Stat(a, source)) throw RuntimeError(ErrFileNotFound);
    if (Stat(b, target)) {
        if (target.st_ino == source.st_ino && target.st_dev == source.st_dev) {
            b = ParentOf(b) + "/" + NameOf(to);  // only the case changes
        } else if (!replace || S_ISDIR(target.st_mode) || S_ISDIR(source.st_mode)) {
            throw RuntimeError(ErrFileExists);
        } else if (ReadOnly(target)) {
            throw RuntimeError(ErrPermissionDenied);
        }
    }
    if (::rename(a.c_str(), b.c_str()) != 0) ThrowErrno(errno, b);
}

std::string PosixFileSystem::ReadAllText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadAllBytes(path);
    return platform::Cp1252ToUtf8(std::string(bytes.begin(), bytes.end()));
}

void PosixFileSystem::WriteAllText(const std::string& path, const std::string& text) {
    const std::string ansi = platform::Utf8ToCp1252(text);
    WriteFile(LocalPath(path), ansi.data(), ansi.size());
}

std::vector<uint8_t> PosixFileSystem::ReadAllBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    ReadPieces(path, [&bytes](const uint8_t* data, size_t size) { bytes.insert(bytes.end(), data, data + size); });
    return bytes;
}

void PosixFileSystem::ReadPieces(const std::string& path, const std::function<void(const uint8_t*, size_t)>& take) {
    const std::string local = LocalPath(path);
    if (IsFolder(local)) throw RuntimeError(ErrPermissionDenied);
    Fd fd(::open(local.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) ThrowErrno(errno, local);
    std::vector<uint8_t> piece(256 * 1024);
    for (;;) {
        const ssize_t got = ::read(fd.Get(), piece.data(), piece.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ThrowErrno(errno, local);
        if (got == 0) return;
        take(piece.data(), static_cast<size_t>(got));
    }
}

void PosixFileSystem::WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteFile(LocalPath(path), reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void PosixFileSystem::WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string local = LocalPath(path);
    Fd fd(::open(local.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.Get() < 0) ThrowErrno(errno, local);
    ::fchmod(fd.Get(), 0600);  // whatever the umask
    WriteAll(fd.Get(), reinterpret_cast<const char*>(bytes.data()), bytes.size(), local);
}

std::string PosixFileSystem::AccessDescription(const std::string& path) {
    struct stat st;
    if (!Stat(LocalPath(path), st)) return "";
    std::string out = "D:P";
    const auto entry = [&](mode_t read, mode_t write, const std::string& who) {
        if (st.st_mode & (read | write)) out += "(A;;" + Rights(st.st_mode & read, st.st_mode & write) + ";;;" + who + ")";
    };
    entry(S_IRUSR, S_IWUSR, "S-1-22-1-" + std::to_string(st.st_uid));
    entry(S_IRGRP, S_IWGRP, "S-1-22-2-" + std::to_string(st.st_gid));
    entry(S_IROTH, S_IWOTH, "WD");
    return out;
}

std::unique_ptr<platform::TextWriter> PosixFileSystem::OpenTextWriter(const std::string& path, bool append) {
    return std::make_unique<PosixTextWriter>(LocalPath(path), append);
}

std::unique_ptr<platform::TextReader> PosixFileSystem::OpenTextReader(const std::string& path) {
    return std::make_unique<platform::StringTextReader>(ReadAllText(path));
}

}  // namespace updexar::posix

namespace updexar::platform {

std::vector<std::string> ToolArguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

FileSystem& LocalFileSystem() {
    static posix::PosixFileSystem files;
    return files;
}

}  // namespace updexar::platform
