// The computer search on a pretend network: what it refuses, and the rows it leaves in the grid,
// which must be those a search of one address after another would leave.
#include <gtest/gtest.h>

#include "mainwindow/frmmain.h"
#include "network/frmgetips.h"
#include "network/frmloginnms.h"
#include "ui_fixture.h"

using namespace updexar;

namespace {

struct Search : uitest::UiFixture {
    Search() {
        AnswerMessages();
        fake.network.address = "10.1.2.7";
        fake.network.machines = {{"10.1.2.3", "ALPHA"}, {"10.1.2.5", "GAMMA"}, {"10.1.2.9", "DELTA"}};
        InstallComputerSearch();
        forms::Window<frmmain>().PrepareGrid();
    }
    std::vector<std::string> Rows() { return uitest::GridRows(forms::Window<frmmain>().vs); }
};

}  // namespace

TEST(ComputerSearch, ARangeFillsTheGridInItsOwnOrderAndSkipsThisComputer) {
    Search s;
    frmGetIPs& f = forms::Window<frmGetIPs>();
    f.txtIP3.SetText("256");
    f.cmdOk_Click();
    f.txtIP3.SetText("10");
    f.txtIP4.SetText("9");
    f.cmdOk_Click();
    EXPECT_EQ(s.messages, (std::vector<std::string>{"Updexar|Invalid Value.", "Updexar|Invalid Range."}));
    // A machine found by name first: the range finds its address again and updates its row.
    AddFoundMachine(forms::Window<frmmain>(), "GAMMA", "", "10.1.2.5");
    f.txtIP3.SetText("3");
    f.txtIP4.SetText("8");
    f.cmdOk_Click();
    EXPECT_FALSE(f.Loaded());
    EXPECT_EQ(s.Rows(), (std::vector<std::string>{"1|GAMMA(2)|10.1.2.5(1)|||", "2|ALPHA(2)|10.1.2.3(1)|||",
                                                  "3|(0)|10.1.2.4(1)|||", "4|(0)|10.1.2.6(1)|||",
                                                  "5|(0)|10.1.2.8(1)|||"}));
}

TEST(ComputerSearch, OneMachineByNameOrAddress) {
    Search s;
    frmGetIPs& f = forms::Window<frmGetIPs>();
    f.optAddIP1.SetValue(true);
    for (const char* address : {"10.1.2.300", "10.1.2", ""}) {
        f.txtNameIP.SetText(address);
        f.cmdOk_Click();
    }
    EXPECT_EQ(s.messages, (std::vector<std::string>{"Updexar|Invalid IP Address [10.1.2.300].",
                                                    "Updexar|Invalid IP Address [10.1.2].",
                                                    "Updexar|Please specify 'IP Address'."}));
    EXPECT_TRUE(IsValidIPAddress("010.001.002.009"));  // leading zeros are fine
    f.optAddIP0.SetValue(true);
    f.txtNameIP.SetText("DELTA");
    f.cmdOk_Click();
    EXPECT_EQ(s.Rows(), (std::vector<std::string>{"1|DELTA(1)|10.1.2.9(2)|||"}));
    frmGetIPs& again = forms::Window<frmGetIPs>();  // Esc, and no other key, closes it when no search runs
    fakes::HeadlessBackend::Key(again, 'A');
    EXPECT_TRUE(again.Loaded());
    fakes::HeadlessBackend::Key(again, forms::KeyEscape);
    EXPECT_FALSE(again.Loaded());
}

TEST(UserLookup, TheThirdAccountThatResolvesIsTheOneLoggedOn) {
    Search s;
    frmmain& m = forms::Window<frmmain>();
    s.registry.reachable = {"PC7"};
    for (const char* key : {".DEFAULT", "S-1-5-18", "S-1-5-19", "S-1-5-19_Classes", "S-1-5-20",
                            "S-1-5-21-7-8-4294967295-1001", "S-1-5-21-7-8-4294967295-1001_CLASSES"})
        s.registry.Create(platform::RegRoot::Users, key);
    s.fake.network.accounts = {{{18}, {"NT AUTHORITY", "SYSTEM"}},
                               {{19}, {"NT AUTHORITY", "LOCAL SERVICE"}},
                               {{21, 7, 8, 0xFFFFFFFFu, 1001}, {"OFFICE", "clerk"}}};
    EXPECT_EQ(GetLoggedOnUser("pc7"), "OFFICE\\clerk");  // 20 does not resolve: three resolve in all
    // The lookup window asks for every ticked row, by the name or the address that is ticked.
    uitest::AddMachineRow(m.vs, "PC7", 1, "10.0.0.7", 2, "", "");
    uitest::AddMachineRow(m.vs, "PC8", 2, "PC7", 1, "", "");
    uitest::AddMachineRow(m.vs, "PC7", 2, "PC7", 2, "", "");
    forms::Window<frmLoginNms>().Show(true, &m);
    EXPECT_EQ(m.vs.TextMatrix(1, 3) + "|" + m.vs.TextMatrix(2, 3) + "|" + m.vs.TextMatrix(3, 3),
              "OFFICE\\clerk|OFFICE\\clerk|");
    s.fake.network.accounts.erase({18});
    EXPECT_EQ(GetLoggedOnUser("PC7"), "");
    EXPECT_EQ(GetLoggedOnUser("PC8"), "");  // out of reach
}
