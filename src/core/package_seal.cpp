#include "core/package_seal.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/errors.h"
#include "platform/sha256.h"
#include "platform/strings.h"

namespace updexar {
namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Why a path written in a seal does not name a file below the package; empty when it does.
std::string PathProblem(const std::string& path) {
    if (path.empty()) return "no file name after the hash";
    if (path[0] == '/' || path[0] == '\\' || (path.size() >= 2 && path[1] == ':'))
        return "the file is not named below the package";
    // Windows allows no control character in a file name; a stray carriage return from an editor
    // would otherwise name a file that cannot exist.
    for (unsigned char c : path)
        if (c < 0x20) return "the file name holds a control character";
    for (const std::string& part : Split(path, "/"))
        for (const std::string& piece : Split(part, "\\"))
            if (piece == ".." || piece == ".") return "the path goes through \"" + piece + "\"";
    if (EqualsNoCase(path, kSealName)) return "the seal lists itself";
    return "";
}

}  // namespace

PackageSeal ReadSeal(std::string_view text) {
    PackageSeal seal;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark an editor left
    size_t line = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++line;
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        if (row.empty()) continue;
        std::string problem;
        if (row.size() < 66 || row[64] != ' ' || (row[65] != ' ' && row[65] != '*'))
            problem = "not \"<SHA-256 in hex>  <file>\"";
        for (size_t i = 0; problem.empty() && i < 64; ++i)
            if (!IsHex(row[i])) problem = "the hash is not 64 hexadecimal digits";
        const std::string path = problem.empty() ? std::string(row.substr(66)) : std::string();
        if (problem.empty()) problem = PathProblem(path);
        if (!problem.empty()) {
            if (seal.badLine == 0) {
                seal.badLine = line;
                seal.badReason = problem;
            }
            continue;
        }
        std::string sealed = path;
        for (char& c : sealed)
            if (c == '\\') c = '/';
        seal.files.push_back(SealedFile{sealed, ToLower(row.substr(0, 64)), line});
    }
    return seal;
}

std::string SealText(const std::vector<SealedFile>& files) {
    std::string text;
    for (const SealedFile& f : files) text += f.sha256 + "  " + f.path + "\n";
    return text;
}

std::string FileSha256(platform::FileSystem& fs, const std::string& path) {
    platform::Sha256 hash;
    fs.ReadPieces(path, [&hash](const uint8_t* data, size_t size) { hash.Add(data, size); });
    return platform::HexOf(hash.Finish());
}

std::string SealedPath(const std::string& folder, const std::string& sealPath) {
    std::string path = folder + "\\" + sealPath;
    for (size_t i = folder.size(); i < path.size(); ++i)
        if (path[i] == '/') path[i] = '\\';
    return path;
}

SealLoad LoadPackageSeal(platform::FileSystem& fs, const std::string& packageDir) {
    SealLoad load;
    const std::string path = packageDir + "\\" + std::string(kSealName);
    if (!fs.FileExists(path)) return load;
    load.present = true;
    try {
        const std::vector<uint8_t> bytes = fs.ReadAllBytes(path);
        load.seal = ReadSeal(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } catch (const RuntimeError& e) {
        load.failure = "Seal [" + path + "] cannot be read (" + e.Description() + ")";
        return load;
    }
    if (load.seal.badLine != 0)
        load.failure = "Seal [" + path + "] line " + std::to_string(load.seal.badLine) + ": " + load.seal.badReason;
    return load;
}

namespace {

std::optional<SealBreach> Breach(platform::FileSystem& fs, const std::string& folder, const SealedFile& f) {
    const std::string path = SealedPath(folder, f.path);
    std::string hash;
    try {
        hash = FileSha256(fs, path);
    } catch (const RuntimeError& e) {
        if (e.Number() == ErrFileNotFound || e.Number() == ErrPathNotFound)
            return SealBreach{f, "File [" + path + "] is missing from the package"};
        return SealBreach{f, "File [" + path + "] of the package cannot be read (" + e.Description() + ")"};
    }
    if (hash != f.sha256) return SealBreach{f, "File [" + path + "] differs from the package's seal"};
    return std::nullopt;
}

std::string Failure(platform::FileSystem& fs, const std::string& packageDir, unsigned workers) {
    const SealLoad load = LoadPackageSeal(fs, packageDir);
    if (!load.present || !load.failure.empty()) return load.failure;
    const std::optional<SealBreach> breach = FirstBreach(fs, packageDir, load.seal, nullptr, workers);
    return breach ? breach->text : "";
}

// The check StartPackageSealCheck began. Never destroyed: a process that ends while it runs must
// not wait for it on the way out.
struct Pending {
    std::string dir;
    std::mutex mutex;
    std::condition_variable done;
    std::optional<std::string> failure;
};
Pending* g_pending = nullptr;

}  // namespace

std::optional<SealBreach> FirstBreach(platform::FileSystem& fs, const std::string& folder, const PackageSeal& seal,
                                      const std::function<bool(const std::string&)>& take, unsigned workers) {
    std::vector<const SealedFile*> files;
    for (const SealedFile& f : seal.files)
        if (!take || take(f.path)) files.push_back(&f);
    if (workers <= 1 || files.size() < 2) {
        for (const SealedFile* f : files)
            if (std::optional<SealBreach> breach = Breach(fs, folder, *f)) return breach;
        return std::nullopt;
    }
    // Workers take the next file in turn; the breach that counts is the first in the seal's order,
    // so a file after a breach already found is not looked at.
    std::atomic<size_t> next{0};
    std::mutex mutex;
    std::optional<std::pair<size_t, SealBreach>> first;
    const auto work = [&] {
        for (size_t i; (i = next++) < files.size();) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (first && first->first < i) return;
            }
            std::optional<SealBreach> breach = Breach(fs, folder, *files[i]);
            if (!breach) continue;
            std::lock_guard<std::mutex> lock(mutex);
            if (!first || i < first->first) first.emplace(i, std::move(*breach));
        }
    };
    std::vector<std::thread> threads;
    for (unsigned w = 1; w < std::min<size_t>(workers, files.size()); ++w) threads.emplace_back(work);
    work();
    for (std::thread& t : threads) t.join();
    if (!first) return std::nullopt;
    return std::move(first->second);
}

std::string PackageSealFailure(platform::FileSystem& fs, const std::string& packageDir) {
    if (Pending* pending = g_pending; pending && pending->dir == packageDir) {
        std::unique_lock<std::mutex> lock(pending->mutex);
        pending->done.wait(lock, [pending] { return pending->failure.has_value(); });
        return *pending->failure;
    }
    return Failure(fs, packageDir, 1);
}

void StartPackageSealCheck(platform::FileSystem& fs, const std::string& packageDir) {
    if (g_pending || !fs.FileExists(packageDir + "\\" + std::string(kSealName))) return;
    g_pending = new Pending;
    g_pending->dir = packageDir;
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::thread([&fs, pending = g_pending, workers] {
        std::string failure;
        try {
            failure = Failure(fs, pending->dir, workers);
        } catch (const std::exception& e) {
            failure = "The package could not be checked (" + std::string(e.what()) + ")";
        }
        std::lock_guard<std::mutex> lock(pending->mutex);
        pending->failure = std::move(failure);
        pending->done.notify_all();
    }).detach();
}

}  // namespace updexar
