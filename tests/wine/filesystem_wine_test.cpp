// The file system as Windows keeps it: attributes on disk, local-time dates, the ANSI bytes of
// text files, sharing with a writer, drives and a UNC share.
#include <windows.h>
// Before any platform header: it takes CopyFile/DeleteFile back from <windows.h>.
#include "win32/win32_filesystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "contract/contract_env.h"
#include "core_wine_util.h"
#include "platform/strings.h"
#include "win32/win32_ansi.h"

namespace updexar {
namespace {

using wine_test::ErrorOf;
using wine_test::RawAttributes;

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

class FileSystemWine : public testing::Test {
protected:
    void SetUp() override { root_ = contract::Env().scratchFolder; }
    std::string At(const std::string& name) const { return PathJoin(root_, name); }

    win32::Win32AnsiText text_;
    win32::Win32FileSystem files_{text_};
    std::string root_;
};

// What the refusals rest on, as the disk shows it; the refusals themselves are pinned by the
// contract tests, which run in this program too.
TEST_F(FileSystemWine, ReadOnlyAndHiddenBitsAreTheDisksOwn) {
    const std::string file = At("locked.txt");
    files_.WriteAllText(file, "keep");
    files_.SetAttributes(file, platform::AttrReadOnly | platform::AttrArchive);
    EXPECT_TRUE(RawAttributes(file) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(platform::AttrReadOnly | platform::AttrArchive, files_.GetAttributes(file));

    // A copy carries the attribute, so copying over it again is refused too.
    files_.WriteAllText(At("other.txt"), "other");
    files_.CopyFile(file, At("copy.txt"));
    EXPECT_TRUE(RawAttributes(At("copy.txt")) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ErrPermissionDenied, ErrorOf([&] { files_.CopyFile(At("other.txt"), At("copy.txt")); }));

    files_.DeleteFile(file, true);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, RawAttributes(file));

    // Hidden files can be rewritten (the system refuses to "create" over them).
    files_.WriteAllText(At("hidden.txt"), "one");
    files_.SetAttributes(At("hidden.txt"), platform::AttrHidden);
    files_.WriteAllText(At("hidden.txt"), "two");
    EXPECT_EQ("two", files_.ReadAllText(At("hidden.txt")));
    EXPECT_TRUE(RawAttributes(At("hidden.txt")) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(FileSystemWine, DatesAreLocalAndSurviveARoundTrip) {
    const std::string file = At("dated.bin");
    files_.WriteAllBytes(file, Bytes("x"));
    for (const DateTime when : {DateTime{2019, 7, 15, 13, 45, 30}, DateTime{2003, 1, 2, 3, 4, 5},
                                DateTime{2038, 12, 31, 23, 59, 58}}) {
        files_.SetLastModified(file, when);
        EXPECT_EQ(when, files_.LastModified(file)) << when.ToIsoText();

        // What the system itself reports, turned into local time.
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExW(win32::Wide(file).c_str(), GetFileExInfoStandard, &data));
        FILETIME local;
        SYSTEMTIME st;
        FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
        FileTimeToSystemTime(&local, &st);
        EXPECT_EQ(when, (DateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond}));
    }

    // A file just written is dated now, in local time.
    files_.WriteAllText(At("fresh.txt"), "x");
    SYSTEMTIME now;
    GetLocalTime(&now);
    const DateTime fresh = files_.LastModified(At("fresh.txt"));
    const DateTime nowDate{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    EXPECT_LE(std::llabs(fresh.SerialSeconds() - nowDate.SerialSeconds()), 5) << fresh.ToIsoText();
}

// Writing, appending and line reading are the contract tests'; here the bytes of the code page.
TEST_F(FileSystemWine, TextFilesAreAnsiOnDisk) {
    const std::string file = At("ansi.txt");
    auto writer = files_.OpenTextWriter(file);
    writer->WriteLine("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC");  // "Grüße €"
    writer->Close();
    if (GetACP() == 1252) {
        EXPECT_EQ(Bytes("Gr\xFC\xDF" "e \x80\r\n"), files_.ReadAllBytes(file));
    }

    // A character the code page lacks is written as "?".
    if (GetACP() == 1252) {
        files_.WriteAllText(At("greek.txt"), "\xCE\xA9=1");  // "Ω=1"
        EXPECT_EQ(Bytes("?=1"), files_.ReadAllBytes(At("greek.txt")));
    }
}

TEST_F(FileSystemWine, ALogBeingWrittenCanBeRead) {
    const std::string log = At("machine.log");
    auto writer = files_.OpenTextWriter(log);
    writer->WriteLine("[START]");
    EXPECT_EQ("[START]\r\n", files_.ReadAllText(log)) << "written through at once, readable while open";
    auto reader = files_.OpenTextReader(log);
    EXPECT_EQ("[START]", reader->ReadLine());
    writer->WriteLine("[END]");
    EXPECT_NE(std::string::npos, files_.ReadAllText(log).find("[END]"));
    // The file can be copied while it is still open for writing.
    files_.CopyFile(log, At("copy.log"));
    EXPECT_EQ(files_.ReadAllText(log), files_.ReadAllText(At("copy.log")));
}

TEST_F(FileSystemWine, ListingsKeepTheSystemsOrder) {
    for (const char* name : {"b.txt", "A.txt", "c.dat"}) files_.WriteAllBytes(At(name), Bytes(name));
    files_.CreateFolder(At("Sub"));
    files_.CreateFolder(At("Sub\\Deeper"));
    files_.WriteAllBytes(At("Sub\\Deeper\\z.bin"), std::vector<uint8_t>(70000, 7));

    // Same order as the system's own listing.
    std::vector<std::string> direct;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(win32::Wide(At("*")).c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) direct.push_back(win32::Narrow(data.cFileName));
    } while (FindNextFileW(h, &data));
    FindClose(h);
    EXPECT_EQ(direct, files_.ListFiles(root_));
    EXPECT_EQ(std::vector<std::string>{"Sub"}, files_.ListFolders(root_ + "\\"));

    // Past the 64 KiB a single read call may return.
    EXPECT_EQ(70000u, files_.FileSize(At("Sub\\Deeper\\z.bin")));
    EXPECT_EQ(70000u, files_.ReadAllBytes(At("Sub\\Deeper\\z.bin")).size());
}

TEST_F(FileSystemWine, DrivesIncludeFixedCWithSerial) {
    const auto drives = files_.Drives();
    const platform::DriveInfo* c = nullptr;
    for (const auto& d : drives)
        if (d.letter == "C") c = &d;
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(platform::DriveFixed, c->type);
    EXPECT_TRUE(c->ready);
    ASSERT_TRUE(c->hasSerial);
    DWORD serial = 0;
    ASSERT_TRUE(GetVolumeInformationW(L"C:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(static_cast<int32_t>(serial), c->serial);
}

TEST_F(FileSystemWine, UncShareWorksLikeALocalFolder) {
    const char* share = std::getenv("UPDEXAR_TEST_SHARE");
    if (!share || !*share) GTEST_SKIP() << "UPDEXAR_TEST_SHARE is not set";
    const std::string base = std::string(share) + "\\updexar-core-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(files_.FolderExists(share));
    files_.CreateFolder(base);
    files_.CreateFolder(base + "\\Reports");
    files_.WriteAllText(base + "\\Reports\\M1.txt", "[START]\r\nConnected\r\n[END]\r\n");
    EXPECT_TRUE(files_.FileExists(base + "\\Reports\\M1.txt"));
    EXPECT_EQ(std::vector<std::string>{"M1.txt"}, files_.ListFiles(base + "\\Reports"));

    files_.CopyFolder(base, At("fromShare"));
    EXPECT_EQ("[START]\r\nConnected\r\n[END]\r\n", files_.ReadAllText(At("fromShare\\Reports\\M1.txt")));
    files_.CopyFile(At("fromShare\\Reports\\M1.txt"), base + "\\back.txt");
    files_.SetLastModified(base + "\\back.txt", DateTime{2024, 5, 6, 7, 8, 9});
    EXPECT_EQ((DateTime{2024, 5, 6, 7, 8, 9}), files_.LastModified(base + "\\back.txt"));
    EXPECT_EQ(27u * 2, files_.FolderSize(base));

    files_.DeleteFolder(base, true);
    EXPECT_FALSE(files_.FolderExists(base));
    EXPECT_EQ(ErrPathNotFound, ErrorOf([&] { files_.CreateFolder(std::string(share) + "\\no\\such"); }));
}

}  // namespace
}  // namespace updexar
