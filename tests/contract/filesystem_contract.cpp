// What every file system behind the program must do alike: the numbered errors callers test for,
// the protection of read-only files, merging copies, dates and listings; text in the ANSI code page
// with every kind of line end; profile (INI) files read as the configuration reader meets them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>

#include "contract/contract_env.h"
#include "contract/contract_util.h"
#include "platform/strings.h"

namespace updexar::contract {
namespace {

using platform::AttrReadOnly;

std::string At(const std::string& name) { return Env().scratchFolder + "\\" + name; }

TEST(FileSystemContract, MissingThingsAndClashesGiveTheClassicNumbers) {
    platform::FileSystem& fs = *Env().files;
    fs.WriteAllText(At("here.txt"), "here");
    fs.WriteAllText(At("other.txt"), "other");
    fs.CreateFolder(At("dir"));
    const std::pair<int, std::function<void()>> calls[] = {
        // A missing file in an existing folder: 53; a missing folder on the way: 76.
        {ErrFileNotFound, [&] { fs.ReadAllText(At("none.txt")); }},
        {ErrFileNotFound, [&] { fs.CopyFile(At("none.txt"), At("x.txt")); }},
        {ErrFileNotFound, [&] { fs.LastModified(At("none.txt")); }},
        {ErrPathNotFound, [&] { fs.WriteAllText(At("no\\x.txt"), "x"); }},
        {ErrPathNotFound, [&] { fs.CreateFolder(At("no\\sub")); }},
        {ErrPathNotFound, [&] { fs.ListFiles(At("no")); }},
        {ErrPathNotFound, [&] { fs.CopyFolder(At("no"), At("copy")); }},
        // Something already there: 58.
        {ErrFileExists, [&] { fs.CreateFolder(At("dir")); }},
        {ErrFileExists, [&] { fs.CreateFolder(At("here.txt")); }},
        {ErrFileExists, [&] { fs.CopyFile(At("other.txt"), At("here.txt"), false); }},
        // A file where a folder is wanted and the other way round.
        {ErrPermissionDenied, [&] { fs.WriteAllText(At("dir"), "x"); }},
        {ErrPermissionDenied, [&] { fs.CopyFile(At("here.txt"), At("dir")); }},
        {ErrFileNotFound, [&] { fs.DeleteFile(At("dir")); }},
        {ErrPathNotFound, [&] { fs.DeleteFolder(At("here.txt")); }},
    };
    for (size_t i = 0; i < std::size(calls); ++i) EXPECT_EQ(calls[i].first, ErrorOf(calls[i].second)) << "call " << i;
    EXPECT_FALSE(fs.FileExists(At("dir")) || fs.FolderExists(At("here.txt")));
}

TEST(FileSystemContract, ReadOnlyFilesAreKeptUntilForced) {
    platform::FileSystem& fs = *Env().files;
    const std::string locked = At("locked.txt");
    fs.WriteAllText(locked, "keep");
    fs.WriteAllText(At("other.txt"), "other");
    fs.SetAttributes(locked, AttrReadOnly);
    EXPECT_TRUE(fs.GetAttributes(locked) & AttrReadOnly);

    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { fs.DeleteFile(locked); }));
    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { fs.OpenTextWriter(locked, true); }));
    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { fs.CopyFile(At("other.txt"), locked); }));
    EXPECT_EQ("keep", fs.ReadAllText(locked));
    // Clearing the attribute lifts the protection; force deletes it anyway.
    fs.SetAttributes(locked, platform::AttrNormal);
    fs.WriteAllText(locked, "changed");
    fs.SetAttributes(locked, AttrReadOnly);
    fs.DeleteFile(locked, true);
    EXPECT_FALSE(fs.FileExists(locked));
    // One read-only file deep in a tree protects the whole tree, and nothing goes half way.
    fs.CreateFolder(At("tree"));
    fs.CreateFolder(At("tree\\sub"));
    fs.WriteAllText(At("tree\\a.txt"), "a");
    fs.WriteAllText(At("tree\\sub\\b.txt"), "b");
    fs.SetAttributes(At("tree\\sub\\b.txt"), AttrReadOnly);
    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { fs.DeleteFolder(At("tree")); }));
    EXPECT_TRUE(fs.FileExists(At("tree\\a.txt")));
    EXPECT_TRUE(fs.FileExists(At("tree\\sub\\b.txt")));
    fs.DeleteFolder(At("tree"), true);
    EXPECT_FALSE(fs.FolderExists(At("tree")));
}

TEST(FileSystemContract, CopiesMergeOverwriteAndNeverEatTheirSource) {
    platform::FileSystem& fs = *Env().files;
    for (const char* folder : {"src", "src\\sub", "src\\sub\\deep", "dst", "dst\\sub", "into"}) fs.CreateFolder(At(folder));
    fs.WriteAllText(At("src\\a.txt"), "a");
    fs.WriteAllText(At("src\\sub\\b.txt"), "bb");
    fs.WriteAllBytes(At("src\\sub\\deep\\c.bin"), std::vector<uint8_t>(1000, 7));
    EXPECT_EQ(1003u, fs.FolderSize(At("src")));
    // Into an existing folder: files overwritten, others kept, missing folders made.
    fs.WriteAllText(At("dst\\keep.txt"), "keep");
    fs.WriteAllText(At("dst\\sub\\b.txt"), "old");
    fs.CopyFolder(At("src"), At("dst"));
    EXPECT_EQ("bb", fs.ReadAllText(At("dst\\sub\\b.txt")));
    EXPECT_EQ(1007u, fs.FolderSize(At("dst")));
    EXPECT_EQ(ErrFileExists, ErrorOf([&] { fs.CopyFolder(At("src"), At("dst"), false); }));
    // A target ending in "\" receives the folder under its own name.
    fs.CopyFolder(At("src"), At("into\\"));
    EXPECT_EQ("a", fs.ReadAllText(At("into\\src\\a.txt")));
    fs.CopyFile(At("src\\a.txt"), At("into\\"));
    EXPECT_EQ("a", fs.ReadAllText(At("into\\a.txt")));
    // Onto itself or into itself: refused, nothing lost.
    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { fs.CopyFile(At("src\\a.txt"), At("SRC\\A.TXT")); }));
    EXPECT_EQ("a", fs.ReadAllText(At("src\\a.txt")));
    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { fs.CopyFolder(At("src"), At("src\\sub\\again")); }));
    EXPECT_EQ(1003u, fs.FolderSize(At("src")));
}

TEST(FileSystemContract, DatesKeepTheSecondAndTravelWithCopies) {
    platform::FileSystem& fs = *Env().files;
    const std::string file = At("dated.bin");
    fs.WriteAllBytes(file, Bytes("x"));
    for (const DateTime when : {DateTime{2003, 1, 2, 3, 4, 5}, DateTime{2030, 12, 31, 23, 59, 59}}) {
        fs.SetLastModified(file, when);
        EXPECT_EQ(when, fs.LastModified(file)) << when.ToIsoText();
    }
    // A copy has its source's date, also when it overwrites an older file.
    fs.CopyFile(file, At("copy.bin"));
    fs.SetLastModified(file, DateTime{2022, 2, 3, 4, 5, 6});
    fs.CopyFile(file, At("copy.bin"));
    EXPECT_EQ((DateTime{2022, 2, 3, 4, 5, 6}), fs.LastModified(At("copy.bin")));
    fs.CreateFolder(At("tree"));
    fs.CopyFile(file, At("tree\\in.bin"));
    fs.CopyFolder(At("tree"), At("tree2"));
    EXPECT_EQ((DateTime{2022, 2, 3, 4, 5, 6}), fs.LastModified(At("tree2\\in.bin")));
    // A listing gives each file's time, the second kept: a copy's is its source's.
    const auto listed = [&](const std::string& folder) { return fs.ListEntries(At(folder)).at(0).modified; };
    EXPECT_EQ(listed("tree"), listed("tree2"));
    fs.SetLastModified(At("tree2\\in.bin"), DateTime{2022, 2, 3, 4, 5, 9});
    EXPECT_EQ(listed("tree2") - listed("tree"), 3);
    // Read-only files take dates too.
    fs.SetAttributes(file, AttrReadOnly);
    fs.SetLastModified(file, DateTime{2020, 2, 29, 12, 0, 0});
    EXPECT_EQ((DateTime{2020, 2, 29, 12, 0, 0}), fs.LastModified(file));
}

// A watch, where the file system gives one, wakes its owner and names a file written in its folder.
TEST(FileSystemContract, AWatchNamesTheFilesWrittenInItsFolder) {
    platform::FileSystem& fs = *Env().files;
    fs.CreateFolder(At("watched"));
    std::mutex mutex;
    std::condition_variable wake;
    bool woken = false;
    const std::unique_ptr<platform::FolderWatch> watch = fs.WatchFolder(At("watched"), [&] {
        std::lock_guard<std::mutex> lock(mutex);
        woken = true;
        wake.notify_all();
    });
    if (!watch) GTEST_SKIP() << "this file system sends no change notifications";
    fs.WriteAllText(At("watched\\7.log"), "[END]");
    std::vector<std::string> names;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::find(names.begin(), names.end(), "7.log") == names.end()) {
        std::unique_lock<std::mutex> lock(mutex);
        if (!wake.wait_until(lock, until, [&] { return woken; })) break;
        woken = false;
        lock.unlock();
        for (std::string& name : watch->Changed()) names.push_back(std::move(name));
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "7.log"), names.end());
}

TEST(FileSystemContract, NamesIgnoreCaseAndKeepIt) {
    platform::FileSystem& fs = *Env().files;
    const std::string& root = Env().scratchFolder;
    fs.WriteAllText(At("MixedCase.TXT"), "one");
    fs.CreateFolder(At("SubFolder"));
    fs.WriteAllText(At("SubFolder\\Inner.txt"), "in");

    EXPECT_TRUE(fs.FolderExists(At("SubFolder\\")));
    EXPECT_EQ("in", fs.ReadAllText(root + "/subfolder/INNER.TXT"));
    // Writing through another spelling changes the file, not its name.
    fs.WriteAllText(At("MIXEDCASE.txt"), "two");
    EXPECT_EQ("two", fs.ReadAllText(At("mixedcase.TXT")));
    EXPECT_EQ((std::set<std::string>{"MixedCase.TXT"}), AsSet(fs.ListFiles(root)));
    EXPECT_EQ((std::set<std::string>{"SubFolder"}), AsSet(fs.ListFolders(root + "\\")));

    fs.WriteAllText(At("b.txt"), "b");
    fs.DeleteFile(At("B.TXT"));
    EXPECT_EQ((std::set<std::string>{"MixedCase.TXT"}), AsSet(fs.ListFiles(root)));
    fs.DeleteFolder(At("subFOLDER\\"));
    EXPECT_TRUE(fs.ListFolders(root).empty());
    // The drive the scratch folder is on is listed, and its root exists.
    if (root.size() > 2 && root[1] == ':') {
        EXPECT_TRUE(fs.FolderExists(root.substr(0, 3)));
        bool listed = false;
        for (const auto& d : fs.Drives()) listed = listed || EqualsNoCase(d.letter, root.substr(0, 1));
        EXPECT_TRUE(listed);
    }
}

TEST(FileSystemContract, ParentFolderIsLookedUpNotCutFromTheText) {
    platform::FileSystem& fs = *Env().files;
    fs.CreateFolder(At("pkg"));
    fs.CreateFolder(At("pkg\\sub"));
    const std::string scratch = Env().scratchFolder;
    EXPECT_TRUE(EqualsNoCase(fs.ParentFolder(At("pkg\\")), scratch));
    EXPECT_TRUE(EqualsNoCase(fs.ParentFolder(At("pkg\\sub\\..\\sub\\.")), At("pkg")));
    EXPECT_EQ(fs.ParentFolder(scratch.substr(0, 3)), "");  // the drive's root has no parent
    EXPECT_EQ(ErrPathNotFound, ErrorOf([&] { fs.ParentFolder(At("none\\")); }));
}

TEST(FileSystemContract, RenamesMoveInOneStepAndReplaceOnlyFilesWhenAsked) {
    platform::FileSystem& fs = *Env().files;
    fs.WriteAllText(At("a.txt"), "abc");
    fs.WriteAllText(At("new.txt"), "newer");
    fs.CreateFolder(At("d"));
    fs.WriteAllText(At("d\\in.txt"), "in");
    fs.CreateFolder(At("other"));

    std::map<std::string, std::pair<bool, uint64_t>> listed;
    for (const platform::FolderEntry& e : fs.ListEntries(Env().scratchFolder)) listed[e.name] = {e.folder, e.size};
    EXPECT_EQ((std::pair<bool, uint64_t>{false, 3}), listed["a.txt"]);
    EXPECT_TRUE(listed["d"].first);
    EXPECT_EQ(ErrPathNotFound, ErrorOf([&] { fs.ListEntries(At("none")); }));

    fs.Rename(At("a.txt"), At("b.txt"));
    EXPECT_FALSE(fs.FileExists(At("a.txt")));
    EXPECT_EQ("abc", fs.ReadAllText(At("b.txt")));
    EXPECT_EQ(ErrFileExists, ErrorOf([&] { fs.Rename(At("new.txt"), At("b.txt")); }));
    EXPECT_EQ(ErrFileExists, ErrorOf([&] { fs.Rename(At("new.txt"), At("d"), true); }));
    fs.Rename(At("new.txt"), At("B.TXT"), true);
    EXPECT_EQ("newer", fs.ReadAllText(At("b.txt")));
    EXPECT_FALSE(fs.FileExists(At("new.txt")));
    // A folder moves with everything in it, but never onto another folder.
    EXPECT_EQ(ErrFileExists, ErrorOf([&] { fs.Rename(At("d"), At("other")); }));
    fs.Rename(At("d\\"), At("moved"));
    EXPECT_EQ("in", fs.ReadAllText(At("moved\\in.txt")));
    EXPECT_FALSE(fs.FolderExists(At("d")));
}

TEST(FileSystemContract, APrivateFileIsOpenToAdministratorsAndItsWriterOnly) {
    platform::FileSystem& fs = *Env().files;
    fs.WritePrivateFile(At("logins.bin"), {1, 2, 3});
    EXPECT_EQ(fs.ReadAllBytes(At("logins.bin")), (std::vector<uint8_t>{1, 2, 3}));
    const std::string access = fs.AccessDescription(At("logins.bin"));
    // Its writer has full access; nobody else but administrators: no entry for everyone, users or the authenticated.
    EXPECT_NE(access.find("(A;;FA;;;S-1-"), std::string::npos) << access;
    for (const char* wide : {";;;WD)", ";;;BU)", ";;;AU)"}) EXPECT_EQ(access.find(wide), std::string::npos) << access;
    fs.WriteAllText(At("plain.txt"), "x");
    EXPECT_NE(fs.AccessDescription(At("plain.txt")), access);
    EXPECT_EQ(ErrFileExists, ErrorOf([&] { fs.WritePrivateFile(At("logins.bin"), {4}); }));
}

const std::string kLine = "Caf\xC3\xA9 \xE2\x82\xAC" "5";  // "Café €5"

TEST(AnsiContract, TextRoundTripsThroughTheCodePageWithCrLf) {
    platform::FileSystem& fs = *Env().files;
    platform::AnsiText& ansi = *Env().text;
    // é and € are single bytes in the western code pages and come back as they went.
    EXPECT_EQ(7u, ansi.ToAnsi(kLine).size());
    EXPECT_EQ(kLine, ansi.FromAnsi(ansi.ToAnsi(kLine)));

    const std::string file = At("text.txt");
    auto writer = fs.OpenTextWriter(file);
    writer->WriteLine(kLine);
    writer->Write("tail");
    writer->Close();
    EXPECT_EQ(ErrBadFileNameOrNumber, ErrorOf([&] { writer->Write("after close"); }));
    EXPECT_EQ(Bytes(ansi.ToAnsi(kLine) + "\r\ntail"), fs.ReadAllBytes(file));
    // Appending keeps what is there; opening without append empties the file.
    auto more = fs.OpenTextWriter(file, true);
    more->WriteLine("");
    more->WriteLine("last");
    more->Close();
    EXPECT_EQ(kLine + "\r\ntail\r\nlast\r\n", fs.ReadAllText(file));
    fs.OpenTextWriter(file)->Close();
    EXPECT_EQ(0u, fs.FileSize(file));
    // Whole-file text goes the same way.
    fs.WriteAllText(At("whole.txt"), kLine + "\r\n");
    EXPECT_EQ(Bytes(ansi.ToAnsi(kLine) + "\r\n"), fs.ReadAllBytes(At("whole.txt")));
}

TEST(AnsiContract, ReaderSplitsEveryLineEndAndStopsWith62) {
    platform::FileSystem& fs = *Env().files;
    fs.WriteAllBytes(At("mixed.txt"), Bytes(Env().text->ToAnsi(kLine) + "\r\nb\nc\rd\r\n\r\ne"));
    auto reader = fs.OpenTextReader(At("mixed.txt"));
    std::vector<std::string> lines;
    while (!reader->AtEnd()) lines.push_back(reader->ReadLine());
    EXPECT_EQ((std::vector<std::string>{kLine, "b", "c", "d", "", "e"}), lines);
    EXPECT_EQ(ErrInputPastEnd, ErrorOf([&] { reader->ReadLine(); }));
    // A last line end does not make an empty last line; ReadAll takes the rest as it stands.
    fs.WriteAllText(At("ended.txt"), "x\r\ny\r\nz\r\n");
    reader = fs.OpenTextReader(At("ended.txt"));
    EXPECT_EQ("x", reader->ReadLine());
    EXPECT_EQ("y\r\nz\r\n", reader->ReadAll());
    EXPECT_TRUE(reader->AtEnd());
}

TEST(ProfileContract, ValuesAreFoundTrimmedAndCutToTheBuffer) {
    const std::string ini = Env().scratchFolder + "\\VEKCONFIG.INI";
    Env().files->WriteAllText(ini, "; settings\r\n[ScrReso]\r\n  Width =  1024  \r\nQuoted=\"  spaced  \"\r\nEmpty=\r\n"
                                   "[MySql]\r\nUID_Galvano=0123456789abcdef\r\n");
    platform::System& sys = *Env().system;
    EXPECT_EQ("1024", sys.ReadProfileString(ini, "scrreso", "WIDTH", "0"));
    EXPECT_EQ("  spaced  ", sys.ReadProfileString(ini, "ScrReso", "Quoted", ""));
    EXPECT_EQ("", sys.ReadProfileString(ini, "ScrReso", "Empty", "dflt")) << "present but empty is not missing";
    EXPECT_EQ("dflt", sys.ReadProfileString(ini, "ScrReso", "Opt", "dflt"));
    EXPECT_EQ("dflt", sys.ReadProfileString(ini, "Nowhere", "Width", "dflt"));
    EXPECT_EQ("x", sys.ReadProfileString(Env().scratchFolder + "\\none.ini", "A", "B", "x"));

    EXPECT_EQ("0123456789abcdef", sys.ReadProfileString(ini, "MySql", "UID_Galvano", "", 255));
    EXPECT_EQ("0123456", sys.ReadProfileString(ini, "MySql", "UID_Galvano", "", 8));
    EXPECT_EQ("", sys.ReadProfileString(ini, "MySql", "UID_Galvano", "", 1));
    EXPECT_EQ("abc", sys.ReadProfileString(ini, "MySql", "Missing", "abcdef", 4));
}

}  // namespace
}  // namespace updexar::contract
