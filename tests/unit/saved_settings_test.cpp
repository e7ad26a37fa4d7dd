// The LAN settings in the shared update directory: the options file's reading rules and its
// writing only on a change.
#include <gtest/gtest.h>

#include "lan/saved_settings.h"
#include "forms/grid.h"
#include "mainwindow/frmmain.h"
#include "platform/errors.h"
#include "ui_fixture.h"

using namespace updexar;

namespace {

const std::string kShare = "\\\\SERVER\\share\\Updates\\vek_updates";

struct Settings : uitest::UiFixture {
    Settings() {
        files.AddShare("\\\\SERVER\\share");
        files.MakeFolders(kShare);
        forms::Window<frmmain>().txtUpdDir.SetText(kShare);
    }
    frmmain& Main() { return forms::Window<frmmain>(); }
};

}  // namespace

TEST(SavedSettings, OptionsAreReadByTheirRulesAndWrittenOnlyWhenChanged) {
    Settings s;
    frmmain& m = s.Main();
    const std::string ini = kShare + "\\VEKUpdUtil.INI";  // the typed VEK_Updates folder is used as it is
    s.files.WriteAllText(ini, "optCloseApp=Y\r\n cboCloseApp=3\r\nnoise\r\n=2\r\ncboStartUpd=2=more\r\nCBOCLOSEAPP=1\r\n");
    LoadOptions(m);
    EXPECT_EQ(m.cboStartUpd.Tag, "2");
    EXPECT_EQ(m.cboCloseApp.Tag, "0");
    EXPECT_EQ(m.optCloseApp0.Tag, "Y");

    m.cboStartUpd.SetListIndex(2);
    m.cboCloseApp.SetListIndex(0);
    m.optCloseApp1.SetValue(true);
    int writes = 0;
    s.files.beforeChange = [&](const std::string& path) { writes += path == ToUpper(ini); };
    SaveOptions(m);  // the same as read: nothing written
    EXPECT_EQ(writes, 0);
    m.cboCloseApp.SetListIndex(1);
    SaveOptions(m);
    SaveOptions(m);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(s.files.ReadAllText(ini), "cboStartUpd=2\r\ncboCloseApp=1\r\noptCloseApp=Y\r\n");
}

TEST(SavedSettings, TheMachineListGoesOutPackedAndPrivateAndComesBackLookedUpAgain) {
    Settings s;
    frmmain& m = s.Main();
    forms::VSFlexGrid& vs = m.vs;
    m.PrepareGrid();
    s.fake.network.machines = {{"10.1.2.3", "ALPHA"}, {"10.1.2.4", "BETA"}};
    const auto row = [&](auto... cells) { uitest::AddMachineRow(vs, cells...); };
    row("OLDNAME", 2, "10.1.2.3", 1, "admin", "pa\tss");  // found by address: the name comes anew
    row("BETA", 1, "9.9.9.9", 2, "clerk", "x");            // by name: the address comes anew
    row("GONE", 2, "10.1.2.99", 1, "", "");                 // its address has no name: no name box
    m.cboSaveUPL.SetListIndex(1);
    const std::string upl = kShare + "\\VEKUpdUtil.UPL";
    SaveMachineList(m);
    EXPECT_EQ(vs.TextMatrix(1, 5), "pass");  // the cell loses its TAB too
    EXPECT_EQ(s.files.ReadAllBytes(upl)[2], '3');
    EXPECT_EQ(s.files.AccessDescription(upl).find(";;;WD)"), std::string::npos);  // written privately

    vs.SetRows(1);
    EXPECT_EQ(LoadMachineList(m), 3);
    std::vector<std::string> rows;
    for (int r = 1; r < vs.Rows(); ++r)
        rows.push_back(vs.TextMatrix(r, 0) + "|" + vs.TextMatrix(r, 1) + std::to_string(vs.CellChecked(r, 1)) + "|" +
                       vs.TextMatrix(r, 2) + std::to_string(vs.CellChecked(r, 2)) + "|" + vs.TextMatrix(r, 3) + "|" +
                       vs.TextMatrix(r, 4) + "|" + vs.TextMatrix(r, 5));
    EXPECT_EQ(rows, (std::vector<std::string>{"1|ALPHA2|10.1.2.31|admin|****|pass", "2|BETA1|10.1.2.42|clerk|*|x",
                                              "3|0|10.1.2.991|||"}));

    // A damaged list loads nothing; "No" removes the saved list and writes none.
    std::vector<uint8_t> bytes = s.files.ReadAllBytes(upl);
    bytes[4] ^= 1;
    s.files.DeleteFile(upl);
    s.files.WriteAllBytes(upl, bytes);
    vs.SetRows(1);
    EXPECT_EQ(LoadMachineList(m), 0);
    m.cboSaveUPL.SetListIndex(0);
    SaveMachineList(m);
    EXPECT_FALSE(s.files.FileExists(upl));
}

TEST(SavedSettings, TheMachineListIsReplacedWholeOrNotAtAll) {
    Settings s;
    s.AnswerMessages();
    frmmain& m = s.Main();
    m.PrepareGrid();
    m.cboSaveUPL.SetListIndex(1);
    uitest::AddMachineRow(m.vs, "PC1", 1, "", 0, "admin", "pw");
    const std::string upl = kShare + "\\VEKUpdUtil.UPL";
    SaveMachineList(m);
    const std::vector<uint8_t> old = s.files.ReadAllBytes(upl);
    s.files.SetAttributes(upl, platform::AttrReadOnly);  // replaced all the same
    uitest::AddMachineRow(m.vs, "PC2", 1, "", 0, "admin", "pw");
    // Each change of the save fails in its turn: the old list stays, and nothing beside it.
    for (int failAt = 1, seen = 0;; ++failAt) {
        seen = 0;
        s.files.beforeChange = [&](const std::string&) {
            if (++seen == failAt) throw RuntimeError(ErrDiskFull);
        };
        SaveMachineList(m);
        if (seen < failAt) break;  // it went through
        EXPECT_EQ(s.files.ReadAllBytes(upl), old) << failAt;
        EXPECT_EQ(s.files.ListFiles(kShare), std::vector<std::string>{"VEKUpdUtil.UPL"}) << failAt;
    }
    s.files.beforeChange = nullptr;
    EXPECT_NE(s.files.ReadAllBytes(upl), old);

    // A share that keeps no access rules: saved with the folder's rights, and said once.
    const std::string fresh = upl + ".WS01.new";
    s.files.InjectFault({fresh, ErrNoAccessRules});
    s.files.InjectFault({fresh, ErrNoAccessRules, 1});
    SaveMachineList(m);
    SaveMachineList(m);
    EXPECT_NE(s.files.AccessDescription(upl).find(";;;WD)"), std::string::npos);
    ASSERT_EQ(s.messages.size(), 1u);
    EXPECT_NE(s.messages[0].find("keeps no access rules: the machine list [" + upl + "] was saved"), std::string::npos);
    m.vs.SetRows(1);
    EXPECT_EQ(LoadMachineList(m), 2);
}
