// The LAN settings in the shared update directory: the options file's reading rules and its
// writing only on a change.
#include <gtest/gtest.h>

#include "lan/saved_settings.h"
#include "mainwindow/frmmain.h"
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
