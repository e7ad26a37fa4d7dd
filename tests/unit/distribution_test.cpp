// The update-information checks and the store in the data directory on a pretend machine: what
// refuses an update and with which words, what the data directory holds afterwards, and that a
// store stopped at any point leaves the stored update whole.
#include <gtest/gtest.h>

#include "core/config.h"
#include "core/exit_codes.h"
#include "distribution/copy_update.h"
#include "distribution/data_store.h"
#include "distribution/upd_info.h"
#include "mainwindow/frmmain.h"
#include "platform/errors.h"
#include "platform/strings.h"
#include "ui_fixture.h"
#include "update/frmupdate.h"

using namespace updexar;

namespace {

constexpr auto HKLM = platform::RegRoot::LocalMachine;
const std::string kPkg = uitest::UiFixture::kSharePkg;
const std::string kData = "\\\\DATA\\d\\Galvano";
const std::string kRoot = kData + "\\SoftUpdates";
const std::string kApp = "C:\\Apps\\Galvano";
const std::string kSys = "C:\\WINDOWS\\system32";

const std::string kHeader = "Upd1,06/12/2026,,\r\n";
const std::string kNeeds = "new.dll,,,2\r\n";  // a file the installation lacks: the update is needed
const StoreJob kJob{kPkg, kData, "Upd1", "P", kPkg + "\\UpdateX.exe", "UpdateG.exe", "Upd0", "WS01"};

// A package whose update information says the update is needed.
struct Site : uitest::UiFixture {
    explicit Site(bool automatic = true) {
        OnShare("Galvano", automatic);
        Shared().ProgramDir = kPkg;
        system.programPath = kPkg + "\\UpdateX.exe";
        files.AddShare("\\\\DATA\\d");
        files.MakeFolders(kApp);
        files.MakeFolders(kData);
        Put(kPkg + "\\UpdateX.exe", "program");
        Put(kPkg + "\\DLLs\\NewUpFls\\a.dll", "aaa");
        Put(kPkg + "\\DLLs\\NewUpFls\\deep\\b.txt", "bb");
        Put(kPkg + "\\MiscFls\\RegIni.exe", "tool");
        Put(kPkg + "\\Log7\\report.log", "another machine's report");
        Put(kApp + "\\old.dll", "installed");
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "InstallPath", RegKindText, kApp);
        WriteRegValue(HKLM, "Software\\VEKInfo\\Galvano", "AppPath", RegKindText, kData);
        Info(kHeader + kNeeds);
        forms::Window<frmmain>();
    }
    void Info(const std::string& text) { Put(kPkg + "\\UpdInfoP.txt", text); }
    // Stores an update named `name` dated `date` as an earlier run would have left it.
    void Stored(const std::string& name, const std::string& date) {
        Put(kRoot + "\\UpdInfoP.txt", name + "," + date + ",,\r\n");
        Put(kRoot + "\\" + name + "\\UpdInfoP.txt", name + "," + date + ",,\r\n");
    }
    // The exit code when the run ended the process, else 100 + the result.
    uint32_t Run() {
        uint32_t result = 0;
        return Ended([&] { result = 100 + CopyUpdateToDataPath(forms::Window<frmUpdate>()); }).value_or(result);
    }
};

}  // namespace

TEST(UpdateInfo, RefusalsEndAnUnattendedRunWithTheirLineAndTouchNothing) {
    const DateTime modified{2026, 11, 20, 10, 0, 0};
    const struct {
        const char* info;  // nullptr: no info file at all
        std::string line;
    } cases[] = {
        {nullptr, "Error:CopyUpdateToDataPath:Missing Update Info File"},
        {"x.dll,01/01/2026,02/02/2026,2\r\nonly,two,x,\r\n", "Error:CopyUpdateToDataPath:Not a Valid Update Info File"},
        {"Other,06/12/2026,,\r\nnew.dll,,,2\r\n", "Error:CopyUpdateToDataPath:Invalid Update Name [Other] in Info File"},
        {"upd1,6/12/2026,,\r\nnew.dll,,,2\r\n", "Error:CopyUpdateToDataPath:Invalid Update Date [6/12/2026] in Info File"},
        {"Upd1,06/12/2026,,\r\nold.dll,21/11/2026,,2\r\n",
         "Error:CheckFileVer:File [" + kApp + "\\old.dll] last modified on [Friday, 20 November 2026] is not updated "
         "to support this Update"},
        {"Upd1,06/12/2026,,\r\ngone.ocx,01/01/2020,,1\r\n",
         "Error:CheckFileVer:File [" + kSys + "\\gone.ocx] is missing and does not support this Update"},
        {"Upd1,06/12/2026,,\r\nnew.dll,,", "Error:CopyUpdateToDataPath:Input past end of file"},
    };
    for (const auto& c : cases) {
        Site site;
        site.files.SetLastModified(kApp + "\\old.dll", modified);
        if (c.info) site.Info(c.info);
        else site.files.DeleteFile(kPkg + "\\UpdInfoP.txt");
        EXPECT_EQ(site.Run(), ExitDataDirectory) << c.line;
        EXPECT_EQ(site.Log(), "[START]\r\n" + c.line + "\r\n[END]\r\n");
        EXPECT_FALSE(site.files.FolderExists(kRoot)) << c.line;
    }
}

TEST(UpdateInfo, FileDatesDecideWhetherTheUpdateIsNeeded) {
    InstalledFiles installed;
    installed.location1 = kSys + "\\";
    installed.location2 = kApp + "\\";
    installed.lastModified = [](const std::string& path) -> std::optional<DateTime> {
        if (EndsWithNoCase(path, "missing.dll")) return std::nullopt;
        return DateTime{2026, 12, 6, 10, 30, 15};
    };
    installed.longDate = [](const DateTime&) { return std::string("a long date"); };
    auto count = [&](const std::string& records) { return CheckFileVer(kHeader + records, installed).count; };

    EXPECT_EQ(count(""), 0);
    EXPECT_EQ(count("a.dll,,06/12/2026,2\r\nb.dll,,06/12/2026 10:30:15,1\r\n"), 0);  // equal to the day, the second
    EXPECT_EQ(count("a.dll,,06/12/2026 10:30:16,2\r\nb.dll,,07/12/2026,2\r\nmissing.dll,,,2\r\n"), 3);
    // A file newer than the update stops the reading: the refusal after it is never reached.
    EXPECT_EQ(count("a.dll,,06/12/2026 10:30:14,2\r\nmissing.dll,01/01/2020,,2\r\n"), -3);
    // Records before the header and records that name no place are passed over; a record runs
    // over line ends, four fields at a time.
    EXPECT_EQ(CheckFileVer("x,y,z,2\r\n" + kHeader + "a.dll,,07/12/2026,3\r\n\"c,d.dll\",,07/12/2026\r\n2\r\n", installed).count, 1);
    EXPECT_EQ(CheckFileVer("junk,1,2,3\r\n", installed).count, -1);
    // Dates carry over as a calendar does, and a date alone stands for its midnight.
    EXPECT_EQ(ParseUpdDate("31/13/2025")->when, (DateTime{2026, 1, 31, 0, 0, 0}));
    EXPECT_LT(UpdDateSeconds(*ParseUpdDate("06/12/2026")), UpdDateSeconds(*ParseUpdDate("06/12/2026 00:00:01")));
    EXPECT_FALSE(ParseUpdDate("6/12/2026"));
}

TEST(DataStore, TheDataDirectoryMovesFromOneWholeUpdateToTheNext) {
    {  // Nothing stored yet: the package without report folders, the program under its product's name.
        Site site;
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\UpdInfoP.txt"), kHeader + kNeeds);
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\Upd1\\DLLs\\NewUpFls\\deep\\b.txt"), "bb");
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\Upd1\\UpdateG.exe"), "program");
        EXPECT_FALSE(site.files.FolderExists(kRoot + "\\Upd1\\Log1"));
        EXPECT_FALSE(site.files.FolderExists(kRoot + "\\Upd1\\Log7"));
        EXPECT_FALSE(site.files.FileExists(kRoot + "\\Upd1\\UpdateX.exe"));
        EXPECT_EQ(site.files.ListEntries(kRoot).size(), 2u);  // nothing private left behind
    }
    {  // The same update stored: nothing is copied again.
        Site site;
        site.Stored("UPD1", "06/12/2026");
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_FALSE(site.files.FileExists(kRoot + "\\UPD1\\UpdateG.exe"));
    }
    {  // Named by the marker but its folder gone: stored again, the marker left as it is.
        Site site;
        site.Stored("Upd1", "06/12/2026 00:00:00");
        site.files.DeleteFolder(kRoot + "\\Upd1", true);
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_TRUE(site.files.FileExists(kRoot + "\\Upd1\\UpdateG.exe"));
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\UpdInfoP.txt"), "Upd1,06/12/2026 00:00:00,,\r\n");
    }
    {  // An older update stored, and a stale copy of this one: both give way to this update.
        Site site;
        site.Stored("Upd0", "01/12/2026");
        site.Put(kRoot + "\\Upd1\\DLLs\\half.txt", "a copy that never finished");
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\UpdInfoP.txt"), kHeader + kNeeds);
        EXPECT_FALSE(site.files.FolderExists(kRoot + "\\Upd0"));
        EXPECT_FALSE(site.files.FileExists(kRoot + "\\Upd1\\DLLs\\half.txt"));
        EXPECT_TRUE(site.files.FileExists(kRoot + "\\Upd1\\UpdateG.exe"));
    }
    {  // A whole copy of this update's name, but its DLL rebuilt to the same size: replaced.
        Site site;
        site.files.MakeFolders(kRoot);
        site.files.CopyFolder(kPkg, kRoot + "\\Upd1");
        site.files.CopyFile(kPkg + "\\UpdateX.exe", kRoot + "\\Upd1\\UpdateG.exe");
        site.Put(kRoot + "\\Upd1\\DLLs\\NewUpFls\\a.dll", "aab");
        site.files.SetLastModified(kRoot + "\\Upd1\\DLLs\\NewUpFls\\a.dll", DateTime{2026, 11, 2, 9, 0, 0});
        EXPECT_EQ(site.Run(), 101u);
        EXPECT_EQ(site.files.ReadAllText(kRoot + "\\Upd1\\DLLs\\NewUpFls\\a.dll"), "aaa");
    }
    {  // A newer update stored: refused, nothing changed.
        Site site;
        site.Stored("Upd2", "07/12/2026");
        EXPECT_EQ(site.Run(), ExitDataDirectory);
        EXPECT_EQ(site.Log(),
                  "[START]\r\nError:CopyUpdateToDataPath:A Higher Version of Software Update dated [07/12/2026] is "
                  "available in Software Data Directory, which has been Updated on any Other Computer over "
                  "Network\r\n[END]\r\n");
        EXPECT_FALSE(site.files.FolderExists(kRoot + "\\Upd1"));
    }
    {  // The root cannot be made.
        Site site;
        site.Put(kRoot, "a file where the folder should be");
        EXPECT_EQ(site.Run(), ExitDataDirectory);
        EXPECT_EQ(site.Log(), "[START]\r\nError:CopyUpdateToDataPath:Failed to Create Folder [" + kRoot + "]\r\n[END]\r\n");
    }
}

// Computers storing different updates take turns under a lock in SoftUpdates: a newer update
// stored meanwhile refuses this one, and a lock its holder left when it died is broken, at once
// when this computer left it, after 30 s of staying the same when another did.
TEST(DataStore, StoresTakeTurnsAndAStaleLockIsBroken) {
    {
        Site site;
        site.Stored("Upd2", "07/12/2026");  // since this store read the marker naming Upd0
        const StoreResult result = StoreUpdate(site.files, kJob, {});
        EXPECT_TRUE(result.newer && !result.ok);
        EXPECT_EQ(result.failure, HigherStoredUpdate("07/12/2026"));
        EXPECT_EQ(site.files.ListEntries(kRoot).size(), 2u);  // the marker and Upd2, nothing of Upd1
    }
    for (const auto& [holder, waited] : {std::pair{"~WS01.7.1", 0}, std::pair{"~WS09.7.1", 30000}}) {
        Site site;
        site.Put(kRoot + "\\~Lock\\" + holder, "");
        const int64_t before = site.clock.MonotonicMs();
        EXPECT_TRUE(StoreUpdate(site.files, kJob, {}).ok) << holder;
        EXPECT_GE(site.clock.MonotonicMs() - before, waited);
        EXPECT_LT(site.clock.MonotonicMs() - before, waited + 1000);
        EXPECT_EQ(ReadStoredHeader(site.files.ReadAllText(kRoot + "\\UpdInfoP.txt"))->name, "Upd1");
        EXPECT_EQ(site.files.ListEntries(kRoot).size(), 2u) << holder;
    }
}

// Another computer reading the marker holds it open for a moment: the rename onto it is tried
// again after a pause, not given up.
TEST(DataStore, AMarkerOpenElsewhereForAMomentIsReplacedOnALaterTry) {
    Site site;
    int refused = 0;
    site.files.beforeChange = [&](const std::string& path) {
        if (path == ToUpper(kRoot + "\\UpdInfoP.txt") && refused++ < 2) throw RuntimeError(ErrPermissionDenied);
    };
    const int64_t before = site.clock.MonotonicMs();
    EXPECT_EQ(site.Run(), 101u);
    EXPECT_EQ(site.clock.MonotonicMs() - before, 200);  // two pauses between three tries
    EXPECT_EQ(site.files.ReadAllText(kRoot + "\\UpdInfoP.txt"), kHeader + kNeeds);
}

TEST(DataStore, AtTheDeskAHigherStoredUpdateIsShownAndStarted) {
    Site site(false);
    site.Stored("Upd2", "07/12/2026");
    site.fake.shell.executeSucceeds = false;
    EXPECT_EQ(site.Run(), 100u);
    ASSERT_EQ(site.messages.size(), 1u);
    EXPECT_NE(site.messages[0].find("dated [07/12/2026]"), std::string::npos);
    EXPECT_NE(site.messages[0].find("Network.\r\n\r\nThe Higher Version Software Update will be run"), std::string::npos);
    const std::string stored = kRoot + "\\Upd2";
    EXPECT_EQ(site.fake.shell.executed, (std::vector<std::string>{"Open|explorer.exe|/select," + stored + "|3",
                                                                   "|" + stored + "\\UpdateG.exe||1"}));
    EXPECT_EQ(site.backend.transcript.back(),
              "sysmsgbox 64 '': Failed to Run Update File [" + stored + "\\UpdateG.exe]. -> 1");
    // Already updated: the user is asked, and No leaves everything as it was.
    Site again(false);
    again.Info(kHeader);
    again.answers = {"&No"};
    EXPECT_EQ(again.Run(), 100u);
    EXPECT_EQ(again.messages, (std::vector<std::string>{"Updexar|Software is already updated. Do you want to Update again ?"}));
}

// Whatever change a store dies before, the marker names an update whose folder is whole, and the
// next store finishes the job; a change that fails instead of dying leaves the same.
TEST(DataStore, AStoreCutOffAtAnyChangeLeavesAWholeUpdateAndTheNextOneFinishes) {
    struct Died {};
    for (const bool dies : {true, false}) {
        for (int stop = 1;; ++stop) {
            Site site;
            auto& fs = site.files;
                site.Stored("Upd0", "01/12/2026");
            site.Put(kRoot + "\\Upd0\\DLLs\\x.dll", "old");
            StoreJob job = kJob;
            const auto whole = [&](const std::string& name) {
                return name == "Upd0" ? fs.ReadAllText(kRoot + "\\Upd0\\DLLs\\x.dll") == "old"
                                      : SameFiles(ListTree(fs, kPkg + "\\DLLs"), ListTree(fs, kRoot + "\\Upd1\\DLLs")) &&
                                            fs.FileExists(kRoot + "\\Upd1\\UpdateG.exe") &&
                                            fs.FileExists(kRoot + "\\Upd1\\UpdInfoP.txt");
            };
            int changes = 0;
            fs.beforeChange = [&](const std::string&) {
                if (++changes != stop) return;
                if (dies) throw Died{};
                throw RuntimeError(ErrPermissionDenied);
            };
            bool reached = false;
            try {
                StoreUpdate(fs, job, {});
            } catch (const Died&) {
                reached = true;
            }
            reached = reached || changes >= stop;
            fs.beforeChange = nullptr;
            const std::optional<UpdInfoHeader> named = ReadStoredHeader(fs.ReadAllText(kRoot + "\\UpdInfoP.txt"));
            ASSERT_TRUE(named) << stop;
            EXPECT_TRUE(whole(named->name)) << (dies ? "died" : "failed") << " before change " << stop;

            job.storedName = named->name;
            EXPECT_TRUE(StoreUpdate(fs, job, {}).ok) << stop;
            EXPECT_EQ(ReadStoredHeader(fs.ReadAllText(kRoot + "\\UpdInfoP.txt"))->name, "Upd1");
            EXPECT_TRUE(whole("Upd1")) << stop;
            EXPECT_EQ(fs.ListEntries(kRoot).size(), 2u) << stop;
            if (!reached) break;  // the store made fewer changes than this: every one has been tried
        }
    }
}

TEST(DataStore, ACopyThatDiffersFromItsSourceIsNotStored) {
    Site site;
    // The source grows while it is copied: same count, another size.
    site.files.beforeChange = [&](const std::string& path) {
        if (EndsWithNoCase(path, "\\deep\\B.TXT")) site.files.beforeChange = nullptr, site.Put(kPkg + "\\DLLs\\NewUpFls\\deep\\b.txt", "bbbb");
    };
    EXPECT_EQ(site.Run(), ExitDataDirectory);
    EXPECT_EQ(site.Log(), "[START]\r\nError:CopyUpdateToDataPath:Failed to Copy Folder [" + kRoot + "\\Upd1\\DLLs]\r\n[END]\r\n");
    EXPECT_FALSE(site.files.FolderExists(kRoot + "\\Upd1"));
    EXPECT_FALSE(site.files.FileExists(kRoot + "\\UpdInfoP.txt"));
}
