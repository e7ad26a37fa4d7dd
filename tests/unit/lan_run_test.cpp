// The LAN run on a pretend network: PsExec's starts stand in for the machines, which answer
// through the shared folder as the utility on them would.
#include <gtest/gtest.h>

#include "lan/update_lan.h"
#include "mainwindow/frmmain.h"
#include "ui_fixture.h"
#include "update/frmupdate.h"

using namespace updexar;

namespace {

const std::string kPkg = "C:\\Updates\\GalvanoUpd";
const std::string kShared = "\\\\SERVER\\share\\VEK_Updates\\GalvanoUpd";
const std::string kDone = "[START]\r\nConnected\r\n[END]\r\n";

struct Lan : uitest::UiFixture {
    // Per grid row: the marker and the log its machine writes; empty: it never answers.
    std::map<int, std::pair<std::string, std::string>> machines;
    std::string runFolder;
    uint32_t foreignPsExec = 0;
    // The row whose PsExec ends at once, its number then given to someone else's PsExec.
    int reusedRow = 0;
    uint32_t reusedBy = 0;
    std::function<void(int row)> onMachine;
    Lan() {
        AnswerMessages();
        SetProduct("Galvano");
        Shared().ProgramDir = kPkg;
        Shared().LanUpdateDir = kShared;
        system.programPath = kPkg + "\\UpdateG.exe";
        files.AddShare("\\\\SERVER\\share");
        files.MakeFolders(kShared);
        for (const char* f : {"UpdateG.exe", "UpdInfoP.txt", "MiscFls\\PsExec.exe", "DLLs\\NewUpFls\\INDEX.UPD"})
            Put(kPkg + "\\" + f, "x");
        foreignPsExec = fake.processes.AddProcess("PsExec.exe");  // someone else's work
        fake.processes.onStart = [this](const fakes::StartRecord& start) {
            fake.processes.KeepRunning(start, "PSEXEC.EXE");
            const std::vector<std::string> f = Split(start.commandLine.substr(start.commandLine.find("AUTOUPD-")), ":");
            const int row = std::stoi(f[2]);
            runFolder = f[1] + "\\" + f[3];
            if (row == reusedRow) {
                fake.processes.Terminate(start.processId);
                reusedBy = fake.processes.AddProcess("PsExec.exe", start.processId);
            }
            if (onMachine) onMachine(row);
            const auto it = machines.find(row);
            if (it == machines.end()) return;
            const auto& [marker, log] = it->second;
            files.WriteFromElsewhere(runFolder + "\\" + f[2] + ".txt", marker);
            if (!log.empty()) files.WriteFromElsewhere(runFolder + "\\" + f[2] + ".log", log);
        };
        frmmain& m = forms::Window<frmmain>();
        m.PrepareGrid();
        m.cboStartUpd.SetListIndex(1);
        m.cboCloseApp.SetListIndex(2);
        m.optCloseApp1.SetValue(true);
    }
    // `ticked`: 1 the name's box, 2 the address's, 0 neither.
    void Row(const std::string& name, const std::string& address, int ticked, const std::string& user = "") {
        uitest::AddMachineRow(forms::Window<frmmain>().vs, name, ticked == 1 ? 1 : 2, address, ticked == 2 ? 1 : 2,
                              user, user.empty() ? "" : "p w");
    }
    std::string Status(int r) { return forms::Window<frmmain>().vs.TextMatrix(r, 6); }
    // However the run ended, its end steps ran: its own PsExec processes ended, its folder and
    // program copy gone, and only the staged package left.
    void ExpectCleanedUp() {
        for (const auto& s : fake.processes.starts)
            EXPECT_TRUE(s.processId == reusedBy || !fake.processes.IsRunning(s.processId)) << s.commandLine;
        EXPECT_FALSE(files.FolderExists(runFolder));
        EXPECT_EQ(files.ListFiles(kShared), (std::vector<std::string>{"UpdInfoP.txt"}));
    }
};

}  // namespace

TEST(LanRun, EachMachineGetsItsResultAndTheRunLeavesOnlyTheStagedPackage) {
    Lan lan;
    lan.Row("PC1", "10.0.0.1", 1, "admin");
    lan.Row("PC2", "10.0.0.2", 2);
    lan.Row("PC3", "10.0.0.3", 1);
    lan.Row("PC4", "10.0.0.4", 1);
    lan.Row("PC5", "10.0.0.5", 0);  // not selected
    lan.machines[1] = {kDone, "[START]\r\nProcess:Update:To->C:\\Apps\\Galvano\r\nProcess:Update:OK\r\n[END]\r\n"};
    lan.machines[2] = {kDone, "[START]\r\nError:CopyUpdateToDataPath:Missing Update Info File\r\n[END]\r\n"};
    lan.machines[4] = {"[START]\r\n[END]\r\n", ""};
    lan.reusedRow = 3;
    forms::Window<frmmain>().vs.SetTextMatrix(1, 5, "p w\\");        // its last backslash must not eat the quote
    lan.Put(kShared + "\\UpdInfoF.txt", "an earlier package's");  // the machines would read it, not ours
    // A run at this time of day on another day left its folder: its answers are not this run's.
    lan.Put(kShared + "\\Log62382\\3.txt", kDone);
    lan.Put(kShared + "\\Log62382\\3.log", "[START]\r\nProcess:Update:OK\r\n[END]\r\n");
    UpdateLAN(forms::Window<frmUpdate>());
    EXPECT_EQ(lan.Status(1), "Updated successfully to:\r\nC:\\Apps\\Galvano");
    EXPECT_EQ(forms::Window<frmmain>().vs.CellBackColor(1, 6), 65280u);
    EXPECT_EQ(lan.Status(2), "Erros:\r\nCopyUpdateToDataPath:Missing Update Info File");
    EXPECT_EQ(lan.Status(3), "Not Connected (Time Out)");
    EXPECT_EQ(lan.Status(4), "Not Connected (Unknown reason)");
    EXPECT_EQ(lan.Status(5), "");
    const auto& starts = lan.fake.processes.starts;
    ASSERT_EQ(starts.size(), 4u);
    const std::string run = PathFileName(lan.runFolder);
    EXPECT_EQ(starts[0].commandLine, "\"" + kPkg + "\\MiscFls\\PsExec.exe\" \"\\\\PC1\" -u \"admin\" -p \"p w\\\\\" " +
                                         "-accepteula -c -f -i 0 \"" + kShared + "\\Up" + run.substr(3) +
                                         ".exe\" AUTOUPD-Galvano:" + kShared + ":1:" + run + ":1:2:Y");
    EXPECT_EQ(starts[1].commandLine.find(" -u "), std::string::npos);  // no user: PsExec's own logon
    EXPECT_NE(starts[1].commandLine.find("\"\\\\10.0.0.2\""), std::string::npos);
    // Someone else's PsExec processes run on.
    lan.ExpectCleanedUp();
    EXPECT_TRUE(lan.fake.processes.IsRunning(lan.foreignPsExec) && lan.fake.processes.IsRunning(lan.reusedBy));
    const std::vector<std::string> records = lan.files.ListFiles("\\\\SERVER\\share\\VEK_Updates");
    ASSERT_EQ(records, std::vector<std::string>{"LanRun-20261204-171942.csv"});  // the run's start, not its end
    const std::string csv = lan.files.ReadAllText("\\\\SERVER\\share\\VEK_Updates\\" + records[0]);
    EXPECT_NE(csv.find("\"PC1\",\"10.0.0.1\",\"Updated successfully to: / C:\\Apps\\Galvano\""), std::string::npos)
        << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5);  // a header and the four machines asked
}

TEST(LanRun, WhatCannotTravelIsRefusedAndLogsReadIntoTheirResult) {
    Lan lan;
    lan.Row("PC1", "10.0.0.1", 1, "ad\"min");
    UpdateLAN(forms::Window<frmUpdate>());
    EXPECT_TRUE(lan.fake.processes.starts.empty());
    ASSERT_EQ(lan.messages.size(), 1u);
    EXPECT_NE(lan.messages[0].find("[PC1] holds a double quote"), std::string::npos);
    const std::string p = "Process:Update:To->C:\\P\r\n";
    const std::pair<std::string, std::string> logs[] = {
        {"[START]\r\n[END]", "Unknown Response"},
        {p + "Error:Update:Cancelled\r\n[END]", "Errors:\r\nUpdate:Cancelled\r\nWhile updating to:\r\nC:\\P"},
        {p + "Process:Update:OK\r\nError:A:x\r\nError:B:y", "Updated to:\r\nC:\\P\r\nwith Errors:\r\nA:x\r\nB:y"},
        {p + "process:update:ok", "Unknown erros while updating to:\r\nC:\\P"},
    };
    for (const auto& [log, result] : logs) {
        ShowLanResponse(forms::Window<frmmain>(), log, 1);
        EXPECT_EQ(lan.Status(1), result);
    }
    EXPECT_EQ(TimeLeftText(900), "15 Minute(s)");
    EXPECT_EQ(TimeLeftText(899), "14 Minute(s) 59 Second(s)");
    EXPECT_EQ(TimeLeftText(60), "60 Second(s)");
    EXPECT_EQ(TimeLeftText(0), "");
}

// An error nobody foresaw (here as the first answer is taken) goes on to the caller after the end steps.
TEST(LanRun, ARunThatFailsHalfwayStillCleansUp) {
    const std::function<void()> failures[] = {
        [] { throw std::out_of_range("an error nobody foresaw"); },
        [] { throw std::bad_alloc(); },
    };
    for (const auto& fail : failures) {
        Lan lan;
        lan.Row("PC1", "10.0.0.1", 1);
        lan.Row("PC2", "10.0.0.2", 1);
        lan.machines[1] = {kDone, ""};
        bool failed = false;
        lan.files.beforeChange = [&](const std::string& path) {
            if (!failed && EndsWithNoCase(path, "\\1.TXT")) failed = true, fail();
        };
        EXPECT_ANY_THROW(UpdateLAN(forms::Window<frmUpdate>()));
        ASSERT_EQ(lan.fake.processes.starts.size(), 2u);
        lan.ExpectCleanedUp();
    }
}

// On a share whose listing lags 10 s and whose "not found" lags 5 s: a marker written a second
// before the connect wait ends is no time-out, and no log waits for its result longer than a
// second where the share sends change notifications, the listing's lag and a second where not.
TEST(LanRun, AShareThatCachesItsListingNeitherLosesNorDelaysResults) {
    for (const bool notifications : {true, false}) {
        Lan lan;
        lan.files.PlayShareCache({10000, 5000, notifications});
        lan.Row("PC1", "10.0.0.1", 1);
        lan.Row("PC2", "10.0.0.2", 1);
        const std::string updated = "Process:Update:To->C:\\A\r\nProcess:Update:OK\r\n[END]";
        // Per row, the milliseconds after the launch when its marker and its log are written.
        const std::map<int, std::pair<int64_t, int64_t>> writes = {{1, {14000, 21300}}, {2, {800, 47700}}};
        std::map<int, int64_t> logged;
        std::set<int> marked;
        int64_t launched = -1;
        forms::Timer machines(forms::Window<frmUpdate>(), "tmrMachines");
        machines.SetInterval(100);
        machines.Tick = [&] {
            const int64_t since = lan.clock.MonotonicMs() - launched;
            for (const auto& [row, at] : writes) {
                const std::string file = lan.runFolder + "\\" + std::to_string(row);
                if (since >= at.first && marked.insert(row).second) lan.files.WriteFromElsewhere(file + ".txt", kDone);
                if (since >= at.second && logged.emplace(row, since).second)
                    lan.files.WriteFromElsewhere(file + ".log", updated);
                const bool late = logged.count(row) && since - logged[row] > (notifications ? 1000 : 11000);
                EXPECT_TRUE(!late || lan.Status(row).rfind("Updated", 0) == 0) << row << " at " << since;
            }
        };
        lan.onMachine = [&](int) {
            if (launched < 0) launched = lan.clock.MonotonicMs();
            machines.SetEnabled(true);
        };
        UpdateLAN(forms::Window<frmUpdate>());
        EXPECT_EQ(logged.size(), 2u);
        for (int row : {1, 2}) EXPECT_EQ(lan.Status(row), "Updated successfully to:\r\nC:\\A") << row;
    }
}
