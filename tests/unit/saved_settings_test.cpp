#include <gtest/gtest.h>

#include "lan/saved_settings.h"
#include "mainwindow/frmmain.h"
#include "platform/errors.h"
#include "ui_fixture.h"

using namespace updexar;

namespace {

// The typed VEK_Updates folder is used as it is.
const std::string kShare = "\\\\SERVER\\share\\Updates\\vek_updates", kUpl = kShare + "\\VEKUpdUtil.UPL";

struct Settings : uitest::UiFixture {
    Settings() {
        files.AddShare("\\\\SERVER\\share");
        files.MakeFolders(kShare);
        forms::Window<frmmain>().txtUpdDir.SetText(kShare);
        forms::Window<frmmain>().PrepareGrid();
        forms::Window<frmmain>().cboSaveUPL.SetListIndex(1);
    }
    frmmain& m = forms::Window<frmmain>();
};

}  // namespace

TEST(SavedSettings, OptionsAreReadByTheirRulesAndWrittenOnlyWhenChanged) {
    Settings s;
    const std::string ini = kShare + "\\VEKUpdUtil.INI";
    s.files.WriteAllText(ini, "optCloseApp=Y\r\n cboCloseApp=3\r\nnoise\r\n=2\r\ncboStartUpd=2=more\r\nCBOCLOSEAPP=1");
    LoadOptions(s.m);
    EXPECT_EQ(s.m.cboStartUpd.Tag + s.m.cboCloseApp.Tag + s.m.optCloseApp0.Tag, "20Y");
    s.m.cboStartUpd.SetListIndex(2);
    s.m.cboCloseApp.SetListIndex(0);
    s.m.optCloseApp1.SetValue(true);
    int writes = 0;
    s.files.beforeChange = [&](const std::string& path) { writes += path == ToUpper(ini); };
    SaveOptions(s.m);  // the same as read: nothing written
    EXPECT_EQ(writes, 0);
    s.m.cboCloseApp.SetListIndex(1);
    SaveOptions(s.m);
    SaveOptions(s.m);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(s.files.ReadAllText(ini), "cboStartUpd=2\r\ncboCloseApp=1\r\noptCloseApp=Y\r\n");
}

TEST(SavedSettings, TheMachineListGoesOutPackedAndPrivateAndComesBackLookedUpAgain) {
    Settings s;
    forms::VSFlexGrid& vs = s.m.vs;
    s.fake.network.machines = {{"10.1.2.3", "ALPHA"}, {"10.1.2.4", "BETA"}};
    uitest::AddMachineRow(vs, "OLDNAME", 2, "10.1.2.3", 1, "admin", "pa\tss");  // by address: the name comes anew
    uitest::AddMachineRow(vs, "BETA", 1, "9.9.9.9", 2, "clerk", "x");            // by name: the address comes anew
    uitest::AddMachineRow(vs, "GONE", 2, "10.1.2.99", 1, "", "");  // its address has no name: no name box
    SaveMachineList(s.m);
    EXPECT_EQ(vs.TextMatrix(1, 5), "pass");  // the cell loses its TAB too
    EXPECT_EQ(s.files.ReadAllBytes(kUpl)[2], '3');
    EXPECT_EQ(s.files.AccessDescription(kUpl).find(";;;WD)"), std::string::npos);  // written privately
    vs.SetRows(1);
    EXPECT_EQ(LoadMachineList(s.m), 3);
    EXPECT_EQ(uitest::GridRows(vs), (std::vector<std::string>{"1|ALPHA(2)|10.1.2.3(1)|admin|****|pass",
                                                              "2|BETA(1)|10.1.2.4(2)|clerk|*|x",
                                                              "3|(0)|10.1.2.99(1)|||"}));
    // A damaged list loads nothing; "No" removes the saved list and writes none.
    std::vector<uint8_t> bytes = s.files.ReadAllBytes(kUpl);
    bytes[4] ^= 1;
    s.files.DeleteFile(kUpl);
    s.files.WriteAllBytes(kUpl, bytes);
    vs.SetRows(1);
    EXPECT_EQ(LoadMachineList(s.m), 0);
    s.m.cboSaveUPL.SetListIndex(0);
    SaveMachineList(s.m);
    EXPECT_FALSE(s.files.FileExists(kUpl));
}

TEST(SavedSettings, TheMachineListIsReplacedWholeOrNotAtAll) {
    Settings s;
    s.AnswerMessages();
    uitest::AddMachineRow(s.m.vs, "PC1", 1, "", 0, "admin", "pw");
    SaveMachineList(s.m);
    const std::vector<uint8_t> old = s.files.ReadAllBytes(kUpl);
    s.files.SetAttributes(kUpl, platform::AttrReadOnly);  // replaced all the same
    uitest::AddMachineRow(s.m.vs, "PC2", 1, "", 0, "admin", "pw");
    // Each change of the save fails in its turn: the old list stays, and nothing beside it.
    for (int failAt = 1, seen = 0;; ++failAt) {
        seen = 0;
        s.files.beforeChange = [&](const std::string&) {
            if (++seen == failAt) throw RuntimeError(ErrDiskFull);
        };
        SaveMachineList(s.m);
        if (seen < failAt) break;  // it went through
        EXPECT_EQ(s.files.ReadAllBytes(kUpl), old) << failAt;
        EXPECT_EQ(s.files.ListFiles(kShare), std::vector<std::string>{"VEKUpdUtil.UPL"}) << failAt;
    }
    s.files.beforeChange = nullptr;
    EXPECT_NE(s.files.ReadAllBytes(kUpl), old);
    // A share that keeps no access rules: saved with the folder's rights, and said once.
    const std::string fresh = kUpl + ".WS01.new";
    s.files.InjectFault({fresh, ErrNoAccessRules});
    s.files.InjectFault({fresh, ErrNoAccessRules, 1});
    SaveMachineList(s.m);
    SaveMachineList(s.m);
    EXPECT_NE(s.files.AccessDescription(kUpl).find(";;;WD)"), std::string::npos);
    ASSERT_EQ(s.messages.size(), 1u);
    EXPECT_NE(s.messages[0].find("no access rules: the machine list [" + kUpl + "] was saved"), std::string::npos);
    s.m.vs.SetRows(1);
    EXPECT_EQ(LoadMachineList(s.m), 2);
}
