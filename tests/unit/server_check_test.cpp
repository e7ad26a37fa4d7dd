// The server settings and the check of the data directory on a pretend machine and network: what
// is read and saved, what refuses a directory, and what each answer of the VEK service (or its
// silence) leads to, at the desk and in an unattended run.
#include <gtest/gtest.h>

#include "core/config.h"
#include "core/exit_codes.h"
#include "fakes/fake_platform.h"
#include "mainwindow/frmmain.h"
#include "server/frmcheckonsvr.h"
#include "server/vek_protocol.h"
#include "ui_fixture.h"
#include "update/frmupdate.h"

using namespace updexar;
using updexar::fakes::FakeTcpServer;

namespace {

constexpr auto HKLM = platform::RegRoot::LocalMachine;
constexpr auto HKCU = platform::RegRoot::CurrentUser;
const std::string kKey = "Software\\VEKInfo\\Galvano";
const std::string kData = "\\\\SERVER\\share\\Data\\Galvano";

struct Check : uitest::UiFixture {
    fakes::FakeTcpClient tcp;
    explicit Check(bool automatic = true, const std::string& server = "VEKSRV") {
        fake.Get().tcp = &tcp;
        OnShare("Galvano", automatic);
        Shared().ProductCode = "GAL";
        Shared().ProgramDir = kSharePkg;
        files.MakeFolders(kData);
        WriteRegValue(HKLM, kKey, "AppPath", RegKindText, kData + "\\");
        WriteRegValue(HKLM, kKey, "Server", RegKindText, server);
        WriteRegValue(HKLM, "Software\\VEKInfo", "SvrPort", RegKindText, "7070");
        InstallServerCheck();
        forms::Window<frmmain>();
    }
    ~Check() { UpdateHooks() = {}; }
    // The version table the product's database is checked for.
    void VersionTable() { Shared().VerInfoTable = "VerInfo", Shared().ProductDbName = "galvano"; }
    // A service that answers whatever `answer` makes of this machine's key; none: it never takes the connection.
    void Service(std::function<std::vector<std::string>(const std::string& key)> answer) {
        FakeTcpServer server{answer ? FakeTcpServer::Accept::Yes : FakeTcpServer::Accept::Never, {}};
        if (answer) server.answer = [answer, key = vek::MachineKey(files.Drives())](const std::string&) { return answer(key); };
        tcp.AddServer("VEKSRV", 7070, server);
    }
    // The check as the update run makes it; the exit code when the run ended.
    std::optional<uint32_t> Run() { return Ended([] { UpdateHooks().checkServer(forms::Window<frmUpdate>()); }); }
    size_t TestFiles() {
        size_t n = 0;
        for (const std::string& f : files.ListFiles(kData)) n += f.size() == 9 && f[0] == 'T';
        return n;
    }
};

std::string Line(const std::string& text) { return "[START]\r\nError:CheckOnSvr:" + text + "\r\n[END]\r\n"; }

}  // namespace

TEST(ServerCheck, EveryAnswerOrSilenceOfTheServiceEndsAnUnattendedCheckItsOwnWay) {
    const std::string dir = "Software Data Directory [" + kData + "]";
    const std::string service = "Service [VEKSvrReg.Exe]";
    using Answers = std::vector<std::string>;
    const std::pair<std::function<Answers(const std::string& key)>, std::string> cases[] = {  // log; empty: confirmed
        {[](auto& key) { return Answers{vek::BuildAnswer("GAL", true, key)}; }, ""},
        {[](auto& key) {  // the answer in three pieces
             const std::string a = vek::BuildAnswer("GAL", true, key);
             return Answers{a.substr(0, 3), a.substr(3, 9), a.substr(12)};
         },
         ""},
        {[](auto& key) { return Answers{vek::BuildAnswer("GAL", false, key)}; },
         Line(dir + " could not be verified from the server")},
        {[](auto&) { return Answers{"INVALIDCOMMAND|0"}; }, Line("Old Version of " + service + " is running on Server")},
        {[](auto&) { return Answers{std::string("\0\xff garbage|", 11)}; }, Line("Failed to Verify " + dir + " from the server")},
        {[](auto&) { return Answers{}; }, Line("Connected to " + service + " but Failed to Retrieve Data")},
        {nullptr, Line("Can't Connect to " + service)},
    };
    for (const auto& [answer, log] : cases) {
        Check check;
        check.Service(answer);
        const std::optional<uint32_t> ended = check.Run();
        EXPECT_EQ(check.Log(), log);
        EXPECT_EQ(ended, log.empty() ? std::nullopt : std::optional<uint32_t>(ExitServerCheck)) << log;
        EXPECT_EQ(Shared().SvrCheckOk, log.empty()) << log;
        EXPECT_EQ(check.tcp.ConnectionCount(), 1u);
        EXPECT_EQ(check.TestFiles(), 0u) << log;
    }

    Check refused;  // a port where nothing listens: the socket error with its number
    EXPECT_EQ(refused.Run(), ExitServerCheck);
    EXPECT_EQ(refused.Log().rfind("[START]\r\nError:CheckOnSvr:Error Occured while Connecting to " + service + "-10061 : ", 0), 0u)
        << refused.Log();

    Check local(true, "ws01");  // this computer by name: no network, and the check passes
    EXPECT_EQ(local.Run(), std::nullopt);
    EXPECT_TRUE(Shared().SvrCheckOk);
    EXPECT_EQ(local.tcp.ConnectionCount(), 0u);
}

TEST(ServerCheck, TheDataDirectoryMustBeThereBeTheProductsAndTakeAFile) {
    {
        Check check;
        WriteRegValue(HKLM, kKey, "AppPath", RegKindText, kData + "X");
        check.files.MakeFolders(kData + "X");
        EXPECT_EQ(check.Run(), ExitServerCheck);
        EXPECT_EQ(check.Log(), Line("Data Path [" + kData + "X] is not correct"));
    }
    {
        Check check(false);
        WriteRegValue(HKLM, kKey, "AppPath", RegKindText, kData + "\\..\\Gone\\Galvano");
        bool ok = true;
        forms::Window<frmCheckOnSvr>().InitMe(false, ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(check.messages, (std::vector<std::string>{"Updexar|Data Path [" + kData + "\\..\\Gone\\Galvano] not found."}));
    }
    {
        Check check;
        check.files.InjectFault(fakes::Fault{kData + "\\TestGAL.TXT", 70});
        EXPECT_EQ(check.Run(), ExitServerCheck);
        EXPECT_EQ(check.Log(), Line("Data Path [" + kData + "] is Write-Protected"));
    }
}

TEST(ServerCheck, TheSettingsAreShownAndSavedAsText) {
    Check check(false);
    WriteRegValue(HKLM, "Software\\VEKInfo", "SvrPort", RegKindText, "0");
    WriteRegValue(HKLM, kKey, "Server", RegKindText, "");
    frmCheckOnSvr& f = forms::Window<frmCheckOnSvr>();
    bool ok = true;
    f.InitMe(true, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(f.txtDataDir.Text(), kData);
    EXPECT_EQ(f.txtSvr.Text(), "localhost");
    EXPECT_EQ(f.txtPort.Text(), "7070");

    f.txtSvr.SetText("SRV2");
    f.txtPort.SetText("7071");
    f.chkThinCl.SetValue(1);
    f.cmdsubmit_Click();
    EXPECT_EQ(ReadRegValue(HKCU, kKey, "ThinClient", RegKindText, ""), "1");
    EXPECT_EQ(ReadRegValue(HKCU, kKey, "Server", RegKindText, ""), "SRV2");
    EXPECT_EQ(ReadRegValue(HKLM, "Software\\VEKInfo", "SvrPort", RegKindText, ""), "7071");
    EXPECT_EQ(ReadRegValue(HKLM, kKey, "DefVal", RegKindText, ""), "0");
    EXPECT_FALSE(f.Loaded());
    EXPECT_TRUE(check.messages.empty());
}

TEST(ServerCheck, AtTheDeskTheWaitCanBeRetriedLeftForTheSettingsOrCancelled) {
    Check check(false);
    check.Service([](auto&) { return std::vector<std::string>{}; });  // connects, never answers
    frmCheckOnSvr& f = forms::Window<frmCheckOnSvr>();
    bool ok = false;
    f.InitMe(false, ok);
    ASSERT_TRUE(ok);
    check.app.DoEvents();
    EXPECT_EQ(f.cmdsubmit.Caption(), "&Settings");
    EXPECT_TRUE(f.lblProg.Visible() && !f.famMain.Visible());  // the wait shows its progress, not the settings
    EXPECT_EQ(check.TestFiles(), 1u);

    check.answers = {"&Yes", "&No"};
    for (int tick = 0; tick < 2; ++tick) {
        check.clock.Advance(30000);
        check.app.DoEvents();
    }
    ASSERT_EQ(check.messages.size(), 2u);
    EXPECT_EQ(check.messages[0], check.messages[1]);
    EXPECT_NE(check.messages[0].find("but Failed to Retrieve Data.\r\n\r\nDo you want to Retry?"), std::string::npos);
    EXPECT_EQ(f.cmdsubmit.Caption(), "&Submit");  // back to the settings
    EXPECT_TRUE(f.famMain.Visible() && !f.lblProg.Visible());

    check.Service(nullptr);
    f.cmdsubmit.SetCaption("&Submit");
    f.InitMe(false, ok);  // the check again, and Settings during the wait
    f.cmdsubmit_Click();
    EXPECT_EQ(f.cmdsubmit.Caption(), "&Submit");
    check.clock.Advance(60000);
    check.app.DoEvents();
    EXPECT_EQ(check.messages.size(), 2u);  // the wait is over: no question comes

    fakes::HeadlessBackend::Key(f, forms::KeyEscape);  // Esc cancels wherever the focus is
    EXPECT_FALSE(f.Loaded());
    EXPECT_EQ(check.TestFiles(), 0u);
    EXPECT_FALSE(Shared().SvrCheckOk);
}

TEST(ServerCheck, OnThisComputerTheVersionTableIsMendedWhenItDoesNotOpen) {
    {
        Check check(true, "localhost");
        check.VersionTable();
        check.fake.database.AddTable("VerInfo", fakes::FakeTable{false, {"REPAIR TABLE VerInfo EXTENDED"}});
        EXPECT_EQ(check.Run(), std::nullopt);
        EXPECT_TRUE(Shared().SvrCheckOk);  // a table that stays broken does not stop the update
        ASSERT_EQ(check.fake.database.connections.size(), 1u);
        EXPECT_EQ(check.fake.database.connections[0].text,
                  "PROVIDER=MSDASQL;driver={MySQL};server=localhost;uid=zolt;pwd=;database=galvano;port=3306;");
        EXPECT_LE(check.fake.database.connections[0].timeoutSeconds, 5);  // a server that is down holds nothing up
        EXPECT_EQ(check.fake.database.requests,
                  (std::vector<std::string>{"open VerInfo", "REPAIR TABLE VerInfo USE_FRM", "open VerInfo",
                                            "REPAIR TABLE VerInfo EXTENDED"}));
        EXPECT_EQ(check.fake.database.open, 0);
    }
    {  // The account of the installed server version; a port of 0 is left out.
        Check check(true, "WS01");
        check.VersionTable();
        WriteRegValue(HKLM, kKey, "MySqlVer", RegKindText, "5.1");
        WriteRegValue(HKLM, kKey, "Database", RegKindText, "galvano_2026");
        check.files.WriteAllText(Shared().SysDir + "\\VEKCONFIG.INI",
                                 "[MySql]\r\nUID_51=admin\r\nPWD_51=secret\r\nPort_51=0\r\nDriverVer_51=5.1\r\n");
        check.fake.database.AddTable("VerInfo");
        EXPECT_EQ(check.Run(), std::nullopt);
        ASSERT_EQ(check.fake.database.connections.size(), 1u);
        EXPECT_EQ(check.fake.database.connections[0].text,
                  "PROVIDER=MSDASQL;driver={MySQL ODBC 5.1 Driver};server=WS01;uid=admin;pwd=secret;database=galvano_2026;");
        EXPECT_EQ(check.fake.database.requests, (std::vector<std::string>{"open VerInfo"}));
    }
    {  // Another product's database is not touched.
        Check check(true, "localhost");
        check.VersionTable();
        WriteRegValue(HKLM, kKey, "Database", RegKindText, "tarsel");
        EXPECT_EQ(check.Run(), std::nullopt);
        EXPECT_TRUE(check.fake.database.connections.empty());
    }
}
