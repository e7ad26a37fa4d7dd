#include "posix/posix_filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

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
bool ReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

std::string ParentOf(const std::string& local) {
    const size_t slash = local.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : local.substr(0, slash);
}

// A missing file is 53 where its folder is there, 76 where it is not.
[[noreturn]] void ThrowMissing(const std::string& local) {
    throw RuntimeError(IsFolder(ParentOf(local)) ? ErrFileNotFound : ErrPathNotFound);
}

[[noreturn]] void ThrowErrno(int error, const std::string& local) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        ThrowMissing(local);
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case EISDIR:
        throw RuntimeError(ErrPermissionDenied);
    case EEXIST:
    case ENOTEMPTY:
        throw RuntimeError(ErrFileExists);
    case ENOSPC:
        throw RuntimeError(ErrDiskFull);
    case ENAMETOOLONG:
        throw RuntimeError(ErrBadFileNameOrNumber);
    default:
        throw RuntimeError(ErrPathFileAccess);
    }
}

struct stat FileStat(const std::string& local) {
    struct stat st;
    if (!Stat(local, st)) ThrowErrno(errno, local);
    if (!S_ISREG(st.st_mode)) throw RuntimeError(ErrFileNotFound);
    return st;
}

std::vector<platform::FolderEntry> List(const std::string& local) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(local.c_str()), ::closedir);
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR) throw RuntimeError(ErrPathNotFound);
        ThrowErrno(errno, local);
    }
    std::vector<platform::FolderEntry> out;
    while (const dirent* d = ::readdir(dir.get())) {
        const std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        if (!Stat(local + "/" + name, st)) continue;
        if (S_ISDIR(st.st_mode)) out.push_back({name, true, 0});
        else if (S_ISREG(st.st_mode)) out.push_back({name, false, static_cast<uint64_t>(st.st_size)});
    }
    return out;
}

void WriteBytes(const std::string& local, const char* data, size_t size, bool append) {
    if (IsFolder(local)) throw RuntimeError(ErrPermissionDenied);
    struct stat st;
    if (Stat(local, st) && ReadOnly(st)) throw RuntimeError(ErrPermissionDenied);
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(local.c_str(), append ? "ab" : "wb"), std::fclose);
    if (!f) ThrowErrno(errno, local);
    if (size > 0 && std::fwrite(data, 1, size, f.get()) != size) ThrowErrno(errno, local);
    if (std::fclose(f.release()) != 0) ThrowErrno(errno, local);
}

void CopyOne(const std::string& from, const std::string& to, bool overwrite) {
    const struct stat source = FileStat(from);
    struct stat st;
    if (Stat(to, st)) {
        if (S_ISDIR(st.st_mode) || ReadOnly(st)) throw RuntimeError(ErrPermissionDenied);
        if (!overwrite) throw RuntimeError(ErrFileExists);
        if (st.st_ino == source.st_ino && st.st_dev == source.st_dev) throw RuntimeError(ErrPermissionDenied);
    }
    if (!IsFolder(ParentOf(to))) throw RuntimeError(ErrPathNotFound);
    std::error_code ec;
    stdfs::copy_file(from, to, stdfs::copy_options::overwrite_existing, ec);
    if (ec) ThrowErrno(ec.value(), to);
    // As Windows copies: the copy keeps the source's last change.
    const timespec times[2] = {source.st_atim, source.st_mtim};
    ::utimensat(AT_FDCWD, to.c_str(), times, 0);
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
        if (e.folder ? HoldsReadOnly(path) : (Stat(path, st) && ReadOnly(st))) return true;
    }
    return false;
}

class PosixTextWriter : public platform::TextWriter {
public:
    PosixTextWriter(std::string local, bool append) : local_(std::move(local)) { WriteBytes(local_, "", 0, append); }
    void Write(const std::string& text) override { Append(platform::Utf8ToCp1252(text)); }
    void WriteLine(const std::string& text) override { Append(platform::Utf8ToCp1252(text) + "\r\n"); }
    void Close() override { closed_ = true; }

private:
    void Append(const std::string& bytes) {
        if (closed_) throw RuntimeError(ErrBadFileNameOrNumber);
        WriteBytes(local_, bytes.data(), bytes.size(), true);
    }
    std::string local_;
    bool closed_ = false;
};

}  // namespace

std::string LocalPath(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    struct stat st;
    if (p.empty() || Stat(p, st)) return p;
    std::string out = p[0] == '/' ? "/" : "";
    for (const std::string& part : Split(p, "/")) {
        if (part.empty()) continue;
        const std::string folder = out.empty() ? "." : out;
        std::string name = part;
        if (part != "." && part != ".." && !Stat((out.empty() || out == "/" ? out : out + "/") + part, st)) {
            try {
                for (const platform::FolderEntry& e : List(folder))
                    if (EqualsNoCase(e.name, part)) {
                        name = e.name;
                        break;
                    }
            } catch (const RuntimeError&) {
            }
        }
        out += (out.empty() || out == "/" ? "" : "/") + name;
    }
    return out;
}

bool PosixFileSystem::FileExists(const std::string& path) { return IsFile(LocalPath(path)); }
bool PosixFileSystem::FolderExists(const std::string& path) { return IsFolder(LocalPath(path)); }

std::string PosixFileSystem::ParentFolder(const std::string& folder) {
    const std::string local = LocalPath(folder);
    if (!IsFolder(local)) throw RuntimeError(ErrPathNotFound);
    const std::string real = stdfs::weakly_canonical(local).string();
    return real == "/" ? "" : ParentOf(real);
}

void PosixFileSystem::CopyFile(const std::string& source, const std::string& target, bool overwrite) {
    CopyOne(LocalPath(source), LocalPath(target), overwrite);
}

void PosixFileSystem::CopyFolder(const std::string& source, const std::string& target, bool overwrite) {
    const std::string from = LocalPath(source);
    if (!IsFolder(from)) throw RuntimeError(ErrPathNotFound);
    CopyTree(from, LocalPath(target), overwrite);
}

void PosixFileSystem::DeleteFile(const std::string& path, bool force) {
    const std::string local = LocalPath(path);
    const struct stat st = FileStat(local);
    if (ReadOnly(st) && !force) throw RuntimeError(ErrPermissionDenied);
    if (::unlink(local.c_str()) != 0) ThrowErrno(errno, local);
}

void PosixFileSystem::DeleteFolder(const std::string& path, bool force) {
    const std::string local = LocalPath(path);
    if (!IsFolder(local)) throw RuntimeError(ErrPathNotFound);
    if (!force && HoldsReadOnly(local)) throw RuntimeError(ErrPermissionDenied);
    std::error_code ec;
    stdfs::remove_all(local, ec);
    if (ec) ThrowErrno(ec.value(), local);
}

void PosixFileSystem::CreateFolder(const std::string& path) {
    const std::string local = LocalPath(path);
    if (IsFolder(local) || IsFile(local)) throw RuntimeError(ErrFileExists);
    if (!IsFolder(ParentOf(local))) throw RuntimeError(ErrPathNotFound);
    if (::mkdir(local.c_str(), 0777) != 0) ThrowErrno(errno, local);
}

uint32_t PosixFileSystem::GetAttributes(const std::string& path) {
    const std::string local = LocalPath(path);
    struct stat st;
    if (!Stat(local, st)) ThrowErrno(errno, local);
    if (S_ISDIR(st.st_mode)) return platform::AttrDirectory;
    return ReadOnly(st) ? platform::AttrReadOnly : platform::AttrNormal;
}

void PosixFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
    const std::string local = LocalPath(path);
    struct stat st;
    if (!Stat(local, st)) ThrowErrno(errno, local);
    const mode_t write = S_IWUSR | S_IWGRP;
    const mode_t mode = (attributes & platform::AttrReadOnly) ? (st.st_mode & ~(write | S_IWOTH)) : (st.st_mode | write);
    if (::chmod(local.c_str(), mode & 07777) != 0) ThrowErrno(errno, local);
}

uint64_t PosixFileSystem::FileSize(const std::string& path) {
    return static_cast<uint64_t>(FileStat(LocalPath(path)).st_size);
}

uint64_t PosixFileSystem::FolderSize(const std::string& path) {
    const std::string local = LocalPath(path);
    uint64_t total = 0;
    for (const platform::FolderEntry& e : List(local)) total += e.folder ? FolderSize(local + "/" + e.name) : e.size;
    return total;
}

DateTime PosixFileSystem::LastModified(const std::string& path) {
    const std::string local = LocalPath(path);
    struct stat st;
    if (!Stat(local, st)) ThrowErrno(errno, local);
    std::tm t{};
    ::localtime_r(&st.st_mtime, &t);
    return DateTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

void PosixFileSystem::SetLastModified(const std::string& path, const DateTime& when) {
    const std::string local = LocalPath(path);
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
    for (const platform::FolderEntry& e : List(LocalPath(folder)))
        if (!e.folder) out.push_back(e.name);
    return out;
}

std::vector<std::string> PosixFileSystem::ListFolders(const std::string& folder) {
    std::vector<std::string> out;
    for (const platform::FolderEntry& e : List(LocalPath(folder)))
        if (e.folder) out.push_back(e.name);
    return out;
}

std::vector<platform::FolderEntry> PosixFileSystem::ListEntries(const std::string& folder) {
    return List(LocalPath(folder));
}

void PosixFileSystem::Rename(const std::string& from, const std::string& to, bool replace) {
    const std::string a = LocalPath(from), b = LocalPath(to);
    struct stat st;
    if (!Stat(a, st)) ThrowMissing(a);
    if (Stat(b, st) && (!replace || S_ISDIR(st.st_mode))) throw RuntimeError(ErrFileExists);
    if (::rename(a.c_str(), b.c_str()) != 0) ThrowErrno(errno, b);
}

std::string PosixFileSystem::ReadAllText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadAllBytes(path);
    return platform::Cp1252ToUtf8(std::string(bytes.begin(), bytes.end()));
}

void PosixFileSystem::WriteAllText(const std::string& path, const std::string& text) {
    const std::string bytes = platform::Utf8ToCp1252(text);
    WriteBytes(LocalPath(path), bytes.data(), bytes.size(), false);
}

std::vector<uint8_t> PosixFileSystem::ReadAllBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    ReadPieces(path, [&](const uint8_t* data, size_t size) { bytes.insert(bytes.end(), data, data + size); });
    return bytes;
}

void PosixFileSystem::ReadPieces(const std::string& path, const std::function<void(const uint8_t*, size_t)>& take) {
    const std::string local = LocalPath(path);
    FileStat(local);
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(local.c_str(), "rb"), std::fclose);
    if (!f) ThrowErrno(errno, local);
    constexpr size_t kPiece = 256 * 1024;
    const std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
    size_t got;
    while ((got = std::fread(piece.get(), 1, kPiece, f.get())) > 0) take(piece.get(), got);
    if (std::ferror(f.get())) throw RuntimeError(ErrDeviceIo);
}

void PosixFileSystem::WriteAllBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteBytes(LocalPath(path), reinterpret_cast<const char*>(bytes.data()), bytes.size(), false);
}

void PosixFileSystem::WritePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string local = LocalPath(path);
    const int fd = ::open(local.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) ThrowErrno(errno, local);
    const ssize_t written = bytes.empty() ? 0 : ::write(fd, bytes.data(), bytes.size());
    ::close(fd);
    if (written != static_cast<ssize_t>(bytes.size())) throw RuntimeError(ErrDiskFull);
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
