// A sealed package on a pretend machine: the update, the store in the data directory and the LAN
// run's staging take it when it is whole, and refuse it, naming the file, when one is not.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "core/config.h"
#include "core/exit_codes.h"
#include "core/package_seal.h"
#include "distribution/copy_update.h"
#include "lan/running_apps.h"
#include "lan/update_lan.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
#include "posix/posix_filesystem.h"
#include "ui_fixture.h"
#include "update/frmupdate.h"

using namespace updexar;

namespace {

constexpr auto HKLM = platform::RegRoot::LocalMachine;
const std::string kPkg = uitest::UiFixture::kSharePkg;
const std::string kSrc = kPkg + "\\DLLs\\NewUpFls\\";
const std::string kApp = "C:\\Apps\\Galvano";
const std::string kData = "\\\\SERVER\\share\\Data";

// A Galvano machine with a package of a few files, sealed.
struct Sealed : uitest::UiFixture {
    explicit Sealed(bool automatic = true) {
        OnShare("Galvano", automatic);
        Shared().ProgramDir = kPkg;
        Shared().IsWinNT = true;
        Shared().RegSvr32Path = kPkg + "\\MiscFls\\RegSvr32.exe";
        system.programPath = kPkg + "\\UpdateG.exe";
        files.MakeFolders(kApp);
        files.MakeFolders(kData);
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, kApp + "\\");
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "AppPath", RegKindText, kData);
        for (const auto& [path, text] : std::vector<std::pair<std::string, std::string>>{
                 {"UpdateG.exe", "program"},
                 {"MiscFls\\RegSvr32.exe", "tool"},
                 {"UpdInfoP.txt", "Upd1,06/12/2026,,\r\na.txt,,,2\r\n"},
                 {"DLLs\\NewUpFls\\INDEX.UPD", "FILE,a.txt,a.txt,Always\r\n"},
                 {"DLLs\\NewUpFls\\a.txt", "aaa"}}) {
            Put(kPkg + "\\" + path, text);
            std::string sealed = path;
            std::replace(sealed.begin(), sealed.end(), '\\', '/');
            seal.push_back(SealedFile{sealed, FileSha256(files, kPkg + "\\" + path), 0});
        }
        Put(kPkg + "\\Updexar.sha256", SealText(seal));
        Handoffs() = MainWindowHandoffs{};
        InstallLocalUpdate();
        forms::Window<frmmain>();
    }
    ~Sealed() { Handoffs() = MainWindowHandoffs{}; }
    std::vector<SealedFile> seal;
};

const std::string kDiffers = "File [" + kSrc + "a.txt] differs from the package's seal";

}  // namespace

TEST(PackageSeal, TheUpdateInstallsAWholePackageAndNothingOfADamagedOne) {
    const struct {
        const char* what;
        std::function<void(Sealed&)> damage;
        uint32_t code;
        std::string lines;
    } rows[] = {
        {"whole, a blank line an editor left at its end",
         [](Sealed& m) { m.Put(kPkg + "\\Updexar.sha256", SealText(m.seal) + "\r\n"); }, ExitOk, "Process:Update:OK"},
        {"one byte changed", [](Sealed& m) { m.Put(kSrc + "a.txt", "aXa"); }, ExitPackageDamaged, "Error:Update:" + kDiffers},
        {"a file gone", [](Sealed& m) { m.files.DeleteFile(kPkg + "\\UpdateG.exe"); }, ExitPackageDamaged,
         "Error:Update:File [" + kPkg + "\\UpdateG.exe] is missing from the package"},
        {"the seal broken", [](Sealed& m) { m.Put(kPkg + "\\Updexar.sha256", SealText(m.seal) + "x  y\n"); },
         ExitPackageDamaged,
         "Error:Update:Seal [" + kPkg + "\\Updexar.sha256] line 6: not \"<SHA-256 in hex>  <file>\""},
        // Without a seal an index cut short is read up to the cut, which is logged.
        {"an index cut short",
         [](Sealed& m) {
             m.files.DeleteFile(kPkg + "\\Updexar.sha256");
             m.Put(kSrc + "INDEX.UPD", "FILE,a.txt,a.txt,Always\r\nFILE,a.txt");
         },
         ExitUpdatedWithErrors,
         "Error:Update:Input past end of file [Occured while updating (" + kSrc + "INDEX.UPD)]\r\nProcess:Update:OK"},
    };
    for (const auto& row : rows) {
        Sealed m;
        if (row.damage) row.damage(m);
        EXPECT_EQ(m.Ended(UpdateSoftwareOnLocal), row.code) << row.what;
        EXPECT_EQ(m.Log(), "[START]\r\nProcess:Update:To->" + kApp + "\r\n" + row.lines + "\r\n[END]\r\n") << row.what;
        // Refused before the first change: not even the installation's path is written.
        EXPECT_EQ(m.files.FileExists(kApp + "\\a.txt"), row.code != ExitPackageDamaged) << row.what;
        EXPECT_EQ(ReadRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, ""),
                  row.code != ExitPackageDamaged ? kApp : kApp + "\\")
            << row.what;
    }
    Sealed desk(false);
    desk.Put(kSrc + "a.txt", "aXa");
    desk.Ended(UpdateSoftwareOnLocal);
    EXPECT_EQ(desk.messages.back(), "Updexar|" + kDiffers + ".");
    EXPECT_FALSE(desk.files.FileExists(kApp + "\\a.txt"));
}

TEST(PackageSeal, TheStoreJudgesACopyByTheSealAndRefusesADamagedPackage) {
    const std::string stored = kData + "\\SoftUpdates\\Upd1";
    for (const std::string changed : {"DLLs\\NewUpFls\\a.txt", "UpdateG.exe"}) {
        // A copy of this update left with the right sizes but other bytes is not taken for it.
        Sealed m;
        for (const SealedFile& f : m.seal) m.Put(SealedPath(stored, f.path), m.files.ReadAllText(SealedPath(kPkg, f.path)));
        const std::string ours = m.files.ReadAllText(kPkg + "\\" + changed);
        m.Put(stored + "\\" + changed, std::string(ours.size(), 'x'));
        EXPECT_EQ(m.Ended([] { EXPECT_TRUE(CopyUpdateToDataPath(forms::Window<frmUpdate>())); }), std::nullopt);
        EXPECT_EQ(m.files.ReadAllText(stored + "\\" + changed), ours) << changed;
    }
    {
        Sealed m;
        m.Put(kSrc + "a.txt", "aXa");
        EXPECT_EQ(m.Ended([] { CopyUpdateToDataPath(forms::Window<frmUpdate>()); }), ExitPackageDamaged);
        EXPECT_EQ(m.Log(), "[START]\r\nError:CopyUpdateToDataPath:" + kDiffers + "\r\n[END]\r\n");
        EXPECT_FALSE(m.files.FolderExists(stored));
        EXPECT_FALSE(m.files.FileExists(kData + "\\SoftUpdates\\UpdInfoP.txt"));
    }
}

TEST(PackageSeal, TheLanRunStagesOnlyAWholePackageAndTheSealOfWhatItStaged) {
    const std::string shared = "\\\\SERVER\\share\\VEK_Updates\\Upd1";
    const auto lan = [&](Sealed& m) {
        Shared().LanUpdateDir = shared;
        m.files.MakeFolders(shared);
        forms::Window<frmmain>().PrepareGrid();
        UpdateLAN(forms::Window<frmUpdate>());
    };
    {
        Sealed m(false);
        m.Put(kSrc + "a.txt", "aXa");
        lan(m);
        EXPECT_EQ(m.messages, std::vector<std::string>{"Updexar|" + kDiffers + "."});
        EXPECT_EQ(m.files.ListEntries(shared).size(), 0u);
    }
    {
        // A copy an earlier run staged, with as many files but other bytes, is staged again.
        Sealed m(false);
        m.Put(shared + "\\DLLs\\NewUpFls\\a.txt", "old");
        m.Put(shared + "\\DLLs\\NewUpFls\\INDEX.UPD", "old");
        lan(m);
        EXPECT_TRUE(m.messages.empty());
        EXPECT_EQ(m.files.ReadAllText(shared + "\\DLLs\\NewUpFls\\a.txt"), "aaa");
        std::vector<SealedFile> staged = m.seal;
        staged.erase(staged.begin());  // the program travels under the run's own name
        EXPECT_EQ(m.files.ReadAllText(shared + "\\Updexar.sha256"), SealText(staged));
        EXPECT_EQ(PackageSealFailure(m.files, shared), "");
    }
    {
        // A copy that matches the seal is used again as it stands, extra files and all.
        Sealed m(false);
        for (const SealedFile& f : m.seal) m.Put(SealedPath(shared, f.path), m.files.ReadAllText(SealedPath(kPkg, f.path)));
        m.Put(shared + "\\DLLs\\extra.txt", "kept");
        lan(m);
        EXPECT_TRUE(m.files.FileExists(shared + "\\DLLs\\extra.txt"));
    }
    {
        // Without a seal, none is staged, and one an earlier package left goes.
        Sealed m(false);
        m.files.DeleteFile(kPkg + "\\Updexar.sha256");
        m.Put(shared + "\\Updexar.sha256", "an earlier package's");
        m.files.SetAttributes(shared + "\\Updexar.sha256", platform::AttrReadOnly);
        lan(m);
        EXPECT_TRUE(m.messages.empty());
        EXPECT_TRUE(m.files.FileExists(shared + "\\DLLs\\NewUpFls\\a.txt"));
        EXPECT_FALSE(m.files.FileExists(shared + "\\Updexar.sha256"));
    }
}

TEST(PackageSeal, WorkersSideBySideReportTheFirstBreachInTheSealsOrder) {
    char pattern[] = "/tmp/updexar-seal-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    posix::PosixFileSystem fs;
    PackageSeal seal;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "f" + std::to_string(100 + i);
        fs.WriteAllText(dir + "/" + name, std::string(static_cast<size_t>(i) * 997, 'x'));
        seal.files.push_back(SealedFile{name, FileSha256(fs, dir + "/" + name), 0});
    }
    EXPECT_FALSE(FirstBreach(fs, dir, seal, nullptr, 4));
    for (const char* name : {"f130", "f107"}) fs.WriteAllText(dir + "/" + name, "changed");
    EXPECT_EQ(FirstBreach(fs, dir, seal, nullptr, 4)->file.path, "f107");
    EXPECT_EQ(FirstBreach(fs, dir, seal, [](const std::string& p) { return p != "f107"; }, 3)->file.path, "f130");
    // Started early, the check's answer is the one the update then gets.
    fs.WriteAllText(dir + "/Updexar.sha256", SealText(seal.files));
    StartPackageSealCheck(fs, dir);
    EXPECT_EQ(PackageSealFailure(fs, dir), "File [" + dir + "\\f107] differs from the package's seal");
    fs.DeleteFolder(dir, true);
}
