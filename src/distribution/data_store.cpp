#include "distribution/data_store.h"

#include <algorithm>
#include <atomic>
#include <cctype>

#include "core/product_table.h"
#include "distribution/upd_info.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/strings.h"

namespace updexar {
namespace {

void ListInto(platform::FileSystem& fs, const std::string& folder, const std::string& prefix, std::vector<TreeFile>& out) {
    std::vector<platform::FolderEntry> entries;
    try {
        entries = fs.ListEntries(folder);
    } catch (const RuntimeError&) {
        return;
    }
    for (const platform::FolderEntry& e : entries) {
        if (e.folder) ListInto(fs, folder + "\\" + e.name, prefix + e.name + "\\", out);
        else out.push_back(TreeFile{prefix + e.name, e.size, e.modified});
    }
}

template <class F>
bool Try(F&& statement) {
    try {
        statement();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

std::optional<uint64_t> SizeOf(platform::FileSystem& fs, const std::string& path) {
    try {
        return fs.FileSize(path);
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

bool SameTime(int64_t a, int64_t b) { return a - b <= 2 && b - a <= 2; }

// A file's size and last-write time, as a listing gives them; nothing when it is not there.
std::optional<TreeFile> Stamp(platform::FileSystem& fs, const std::string& path) {
    try {
        return TreeFile{"", fs.FileSize(path), fs.LastModified(path).SerialSeconds()};
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}
bool SameStamp(const std::optional<TreeFile>& a, const std::optional<TreeFile>& b) {
    return a && b && a->size == b->size && SameTime(a->modified, b->modified);
}

// Ten tries a tenth of a second apart: far longer than anyone holds the marker open.
constexpr int kMarkerAttempts = 10;
constexpr uint32_t kMarkerPauseMs = 100;
// The store lock is held for a few renames; one that stays the same this long belongs to a store
// that died, and one not had in a minute is given up.
constexpr int64_t kLockStaleMs = 30000;
constexpr int64_t kLockWaitMs = 60000;
constexpr uint32_t kLockPauseMs = 50;
constexpr int kReleaseAttempts = 100;

class Store {
public:
    Store(platform::FileSystem& fs, const StoreJob& job, const StoreProgress& progress)
        : fs_(fs), job_(job), progress_(progress), root_(job.dataDir + "\\SoftUpdates"), target_(root_ + "\\" + job.name),
          marker_(root_ + "\\UpdInfo" + job.kind + ".txt"), info_("UpdInfo" + job.kind + ".txt"),
          mine_("~" + ToUpper(job.owner) + "."), lock_(root_ + "\\~Lock") {}

    StoreResult Run() {
        Status("Copying Update to Server Data Directory ...");
        if (!fs_.FolderExists(root_)) Try([&] { fs_.CreateFolder(root_); });  // another computer may be quicker
        if (!fs_.FolderExists(root_)) return Fail("Failed to Create Folder [" + root_ + "]");
        ClearLeftovers();

        // The copy is made outside the lock, into a folder of this computer's own; a folder of
        // this name that the marker names, or that holds this package, needs none.
        std::string staging;
        const bool there = fs_.FolderExists(target_) && (EqualsNoCase(job_.storedName, job_.name) || Complete(target_));
        if (!there) {
            staging = Private("");
            StoreResult copied = CopyPackage(staging);
            if (!copied.ok) return copied;
        }
        // Computers storing different updates at one moment take turns for what others read: the
        // marker and the folders it may name.
        StoreResult result;
        if (TakeLock()) {
            result = Locked(staging);
            ReleaseLock();
        } else {
            if (!staging.empty()) Aside(staging);
            result = Fail("Failed to Create Folder [" + lock_ + "]");
        }
        for (const std::string& folder : asides_) Try([&] { fs_.DeleteFolder(folder, true); });
        return result;
    }

private:
    // Under the lock. The marker is read again: another computer may have stored since this one
    // first looked, a newer update (this one then gives way) or an older one (replaced).
    StoreResult Locked(const std::string& staging) {
        std::optional<UpdInfoHeader> stored;
        Try([&] {
            if (fs_.FileExists(marker_)) stored = ReadStoredHeader(fs_.ReadAllText(marker_));
        });
        const bool named = stored && EqualsNoCase(stored->name, job_.name);
        if (stored && !named && Later(*stored)) {
            if (!staging.empty()) Aside(staging);
            return StoreResult{false, HigherStoredUpdate(stored->date), false, true};
        }
        if (!staging.empty()) {
            // A copy another computer put in place serves as well as this one.
            if (fs_.FolderExists(target_) && (named || Complete(target_))) {
                Aside(staging);
            } else {
                if (fs_.FolderExists(target_) && !Aside(target_)) return Fail("Failed to Delete Folder [" + target_ + "]");
                if (!Try([&] { fs_.Rename(staging, target_); })) {
                    Aside(staging);
                    return Fail("Failed to Create Folder [" + target_ + "]");
                }
            }
        } else if (!fs_.FolderExists(target_)) {
            return Fail("Failed to Create Folder [" + target_ + "]");
        }
        if (!named) {
            // The marker: one rename, so that it is never missing or half written for a reader.
            const std::string next = Private(".txt");
            const bool copied = Try([&] { fs_.CopyFile(job_.packageDir + "\\" + info_, next, true); });
            // A file that is open cannot be replaced, and the marker is open for a moment whenever
            // another computer reads it: try again shortly.
            bool replaced = false;
            for (int attempt = 0; copied && !replaced && attempt < kMarkerAttempts; ++attempt) {
                if (attempt > 0) platform::Os().clock->Sleep(kMarkerPauseMs);
                replaced = Try([&] { fs_.Rename(next, marker_, true); });
            }
            if (!replaced || !fs_.FileExists(marker_)) {
                Try([&] { fs_.DeleteFile(next, true); });
                return Fail("Failed to Copy File [" + marker_ + "]");
            }
            // Only now that the marker names this update may the one it named before go.
            if (stored && fs_.FolderExists(root_ + "\\" + stored->name)) Aside(root_ + "\\" + stored->name);
        }
        ClearOlderUpdates();
        return Done();
    }

    // Whether the stored update is dated after this package (one without a date stands before
    // every stored update).
    bool Later(const UpdInfoHeader& stored) {
        const std::optional<UpdDate> theirs = ParseUpdDate(stored.date);
        if (!theirs) return false;
        std::optional<UpdDate> ours;
        Try([&] {
            if (const auto header = ReadStoredHeader(fs_.ReadAllText(job_.packageDir + "\\" + info_))) ours = ParseUpdDate(header->date);
        });
        return !ours || UpdDateSeconds(*theirs) > UpdDateSeconds(*ours);
    }

    // The lock is a folder, which only one computer can make; the file in it names its holder.
    // A lock of this computer's own was left by a store that died (one store of a product runs
    // on a computer at a time), and one that stays the same for kLockStaleMs by this computer's
    // clock by a store elsewhere that died: either is broken. Clocks of other computers are never
    // compared.
    bool TakeLock() {
        platform::Clock& clock = *platform::Os().clock;
        const int64_t start = clock.MonotonicMs();
        std::string seen;
        int64_t seenSince = start;
        for (int attempt = 0;; ++attempt) {
            if (attempt > 0) clock.Sleep(kLockPauseMs);
            const int64_t now = clock.MonotonicMs();
            if (Try([&] { fs_.CreateFolder(lock_); })) {
                holder_ = PathFileName(Private(""));
                if (!Try([&] { fs_.WriteAllText(lock_ + "\\" + holder_, job_.owner); })) holder_.clear();
                return true;
            }
            if (now - start > kLockWaitMs) return false;
            const std::optional<std::string> holder = Holder(lock_);
            if (!holder) continue;  // let go meanwhile, or no folder could be made at all
            if (*holder != seen) {
                seen = *holder;
                seenSince = now;
            }
            if (StartsWithNoCase(*holder, mine_) || now - seenSince >= kLockStaleMs) Break(*holder);
        }
    }

    // Who holds the lock folder: its file's name, empty while the holder has not named itself;
    // nothing when there is no such folder.
    std::optional<std::string> Holder(const std::string& folder) {
        std::vector<std::string> names;
        if (!Try([&] { names = fs_.ListFiles(folder); })) return std::nullopt;
        return names.empty() ? std::string() : names.front();
    }

    // Takes the lock away from `holder` in one rename, and puts it back when another computer
    // took the lock anew in between.
    void Break(const std::string& holder) {
        const std::string aside = Private(".old");
        if (!Try([&] { fs_.Rename(lock_, aside); })) return;
        if (Holder(aside) == holder) asides_.push_back(aside);
        else if (!Try([&] { fs_.Rename(aside, lock_); })) asides_.push_back(aside);
    }

    // Only the lock this store holds: one broken as stale meanwhile belongs to another computer.
    // Windows refuses to rename a folder that another computer is listing at that moment, so the
    // release is tried again rather than leave the others waiting for the lock to go stale.
    void ReleaseLock() {
        for (int attempt = 0; attempt < kReleaseAttempts && Holder(lock_) == holder_; ++attempt) {
            if (attempt > 0) platform::Os().clock->Sleep(kLockPauseMs);
            Break(holder_);
        }
    }

    StoreResult CopyPackage(const std::string& staging) {
        if (!Try([&] { fs_.CreateFolder(staging); }) || !fs_.FolderExists(staging))
            return Fail("Failed to Create Folder [" + target_ + "]");
        auto failed = [&](const std::string& text) {
            Try([&] { fs_.DeleteFolder(staging, true); });
            return Fail(text);
        };
        for (const std::string& folder : PackageFolders()) {
            Status("Copying Folder [" + folder + "] to Server Data Directory ...");
            const std::string source = job_.packageDir + "\\" + folder;
            std::vector<TreeFile> files = ListTree(fs_, source);
            if (progress_.folderStarts) progress_.folderStarts(static_cast<int32_t>(files.size()));
            CopyFolderTree(fs_, source, staging + "\\" + folder, progress_.fileCopied);
            if (!SameFiles(std::move(files), ListTree(fs_, staging + "\\" + folder)))
                return failed("Failed to Copy Folder [" + target_ + "\\" + folder + "]");
        }
        for (const auto& file : {std::pair{job_.packageDir + "\\" + info_, info_},
                                 std::pair{job_.programPath, job_.storedProgram}}) {
            const std::string& from = file.first;
            const std::string& name = file.second;
            Try([&] { fs_.CopyFile(from, staging + "\\" + name, true); });
            const std::optional<uint64_t> copy = SizeOf(fs_, staging + "\\" + name);
            if (!copy || copy != SizeOf(fs_, from)) return failed("Failed to Copy File [" + target_ + "\\" + name + "]");
        }
        if (const std::optional<CopyBreach> breach = SealBreachIn(staging)) {
            Try([&] { fs_.DeleteFolder(staging, true); });
            // Whose fault: a package that differs from its seal is refused as damaged, a copy
            // that went wrong on the way is a failed copy.
            std::string source;
            Try([&] { source = FileSha256(fs_, breach->source); });
            if (source != breach->sha256)
                return StoreResult{false, "File [" + breach->source + "] differs from the package's seal", true};
            return Fail("Failed to Copy File [" + target_ + breach->copy.substr(staging.size()) + "]");
        }
        return Done();
    }

    // Whether the folder holds this package: the same files with the same sizes and times (a
    // copy keeps the time its source was written).
    bool Complete(const std::string& folder) {
        for (const std::string& sub : PackageFolders())
            if (!SameFiles(ListTree(fs_, job_.packageDir + "\\" + sub), ListTree(fs_, folder + "\\" + sub))) return false;
        return SameStamp(Stamp(fs_, folder + "\\" + info_), Stamp(fs_, job_.packageDir + "\\" + info_)) &&
               SameStamp(Stamp(fs_, folder + "\\" + job_.storedProgram), Stamp(fs_, job_.programPath)) && !SealBreachIn(folder);
    }

    // A file of a copy that is missing or differs from the seal: where it lies in the copy, the
    // package's file it was copied from, and the hash the seal gives.
    struct CopyBreach {
        std::string copy, source, sha256;
    };
    // The first such file of a copy in `folder`: the files of the package's folders, the update
    // information and, under its stored name, the program. None without a seal.
    std::optional<CopyBreach> SealBreachIn(const std::string& folder) {
        if (!job_.seal) return std::nullopt;
        const std::optional<SealBreach> breach = FirstBreach(fs_, folder, *job_.seal, [&](const std::string& path) {
            if (EqualsNoCase(path, info_)) return true;
            for (const std::string& sub : PackageFolders())
                if (StartsWithNoCase(path, sub + "/")) return true;
            return false;
        });
        if (breach) {
            return CopyBreach{SealedPath(folder, breach->file.path), SealedPath(job_.packageDir, breach->file.path),
                              breach->file.sha256};
        }
        const std::string program = PathFileName(job_.programPath);
        for (const SealedFile& f : job_.seal->files) {
            if (!EqualsNoCase(f.path, program)) continue;
            const std::string copy = folder + "\\" + job_.storedProgram;
            std::string hash;
            Try([&] { hash = FileSha256(fs_, copy); });
            if (hash != f.sha256) return CopyBreach{copy, job_.programPath, f.sha256};
        }
        return std::nullopt;
    }

    // Takes a folder out of the way in one rename; it is deleted once the lock is let go.
    bool Aside(const std::string& folder) {
        const std::string aside = Private(".old");
        if (Try([&] { fs_.Rename(folder, aside); })) {
            asides_.push_back(aside);
            return true;
        }
        Try([&] { fs_.DeleteFolder(folder, true); });
        return !fs_.FolderExists(folder);
    }

    // Updates older than the one the marker names, left by a store that died between the marker
    // and the clean-up: the next store takes them away. An update dated later is left alone:
    // another computer may be about to name it.
    void ClearOlderUpdates() {
        std::optional<UpdDate> ours;
        Try([&] {
            if (const auto header = ReadStoredHeader(fs_.ReadAllText(marker_)); header && EqualsNoCase(header->name, job_.name))
                ours = ParseUpdDate(header->date);
        });
        if (!ours) return;
        for (const std::string& name : ListFolderNames(root_)) {
            if (EqualsNoCase(name, job_.name) || name.rfind('~', 0) == 0) continue;
            std::optional<UpdDate> theirs;
            Try([&] {
                if (const auto header = ReadStoredHeader(fs_.ReadAllText(root_ + "\\" + name + "\\" + info_)))
                    theirs = ParseUpdDate(header->date);
            });
            if (theirs && UpdDateSeconds(*theirs) <= UpdDateSeconds(*ours)) Aside(root_ + "\\" + name);
        }
    }

    // What a store of this owner left when it died: its private folders and files.
    void ClearLeftovers() {
        std::vector<platform::FolderEntry> entries;
        if (!Try([&] { entries = fs_.ListEntries(root_); })) return;
        for (const platform::FolderEntry& e : entries) {
            if (!StartsWithNoCase(e.name, mine_)) continue;
            const std::string path = root_ + "\\" + e.name;
            Try([&] { e.folder ? fs_.DeleteFolder(path, true) : fs_.DeleteFile(path, true); });
        }
    }

    std::vector<std::string> ListFolderNames(const std::string& folder) {
        std::vector<std::string> names;
        Try([&] { names = fs_.ListFolders(folder); });
        return names;
    }

    const std::vector<std::string>& PackageFolders() {
        if (!packageFolders_) {
            packageFolders_.emplace();
            for (std::string& name : ListFolderNames(job_.packageDir))
                if (!IsReportFolder(name)) packageFolders_->push_back(std::move(name));
        }
        return *packageFolders_;
    }

    std::string Private(const std::string& suffix) {
        static std::atomic<int> serial{0};
        const int64_t now = platform::Os().clock->Now().SerialSeconds();
        return root_ + "\\" + mine_ + std::to_string(now) + "." + std::to_string(++serial) + suffix;
    }

    void Status(const std::string& text) {
        if (progress_.status) progress_.status(text);
    }
    static StoreResult Done() { return StoreResult{true, {}}; }
    static StoreResult Fail(const std::string& text) { return StoreResult{false, text}; }

    platform::FileSystem& fs_;
    const StoreJob& job_;
    const StoreProgress& progress_;
    const std::string root_, target_, marker_, info_, mine_, lock_;
    std::optional<std::vector<std::string>> packageFolders_;
    std::string holder_;
    std::vector<std::string> asides_;
};

}  // namespace

std::vector<TreeFile> ListTree(platform::FileSystem& fs, const std::string& folder) {
    std::vector<TreeFile> out;
    ListInto(fs, folder, "", out);
    return out;
}

int32_t CountFiles(platform::FileSystem& fs, const std::string& folder) {
    return static_cast<int32_t>(std::min<size_t>(ListTree(fs, folder).size(), INT32_MAX));
}

void CopyFolderTree(platform::FileSystem& fs, const std::string& source, const std::string& target,
                    const std::function<void()>& copied) {
    // A folder made here holds nothing yet: its files need no look before the copy.
    const bool fresh = !fs.FolderExists(target) && Try([&] { fs.CreateFolder(target); });
    std::vector<platform::FolderEntry> entries;
    if (!Try([&] { entries = fs.ListEntries(source); })) return;
    for (const platform::FolderEntry& e : entries) {
        if (e.folder) continue;
        Try([&] { fs.CopyFile(source + "\\" + e.name, target + "\\" + e.name, !fresh); });
        if (copied) copied();
    }
    for (const platform::FolderEntry& e : entries)
        if (e.folder) CopyFolderTree(fs, source + "\\" + e.name, target + "\\" + e.name, copied);
}

bool SameFiles(std::vector<TreeFile> a, std::vector<TreeFile> b) {
    if (a.size() != b.size()) return false;
    auto byName = [](const TreeFile& x, const TreeFile& y) { return ToUpper(x.relative) < ToUpper(y.relative); };
    std::sort(a.begin(), a.end(), byName);
    std::sort(b.begin(), b.end(), byName);
    for (size_t i = 0; i < a.size(); ++i)
        if (!EqualsNoCase(a[i].relative, b[i].relative) || a[i].size != b[i].size || !SameTime(a[i].modified, b[i].modified))
            return false;
    return true;
}

bool IsReportFolder(const std::string& name) {
    if (name.size() <= 3 || !StartsWithNoCase(name, "Log")) return false;
    return std::all_of(name.begin() + 3, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

StoreResult StoreUpdate(platform::FileSystem& fs, const StoreJob& job, const StoreProgress& progress) {
    return Store(fs, job, progress).Run();
}

std::string HigherStoredUpdate(const std::string& date) {
    return "A Higher Version of Software Update dated [" + date +
           "] is available in Software Data Directory, which has been Updated on any Other Computer over Network";
}

std::string ProductLetter(const std::string& productKey) {
    const ProductRow* row = ProductByKey(productKey);
    return row ? std::string(1, row->letter) : std::string();
}

}  // namespace updexar
