// The computer search on a pretend network: what it refuses, and the rows it leaves in the grid,
// which must be those a search of one address after another would leave.
#include <gtest/gtest.h>

#include "forms/grid.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handoffs.h"
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
    frmGetIPs& Window() { return forms::Window<frmGetIPs>(); }
    // Row by row: "number|name(check)|address(check)".
    std::vector<std::string> Rows() {
        forms::VSFlexGrid& vs = forms::Window<frmmain>().vs;
        std::vector<std::string> rows;
        for (int r = 1; r < vs.Rows(); ++r)
            rows.push_back(vs.TextMatrix(r, 0) + "|" + vs.TextMatrix(r, 1) + "(" + std::to_string(vs.CellChecked(r, 1)) +
                           ")|" + vs.TextMatrix(r, 2) + "(" + std::to_string(vs.CellChecked(r, 2)) + ")");
        return rows;
    }
};

}  // namespace

TEST(ComputerSearch, ARangeFillsTheGridInItsOwnOrderAndSkipsThisComputer) {
    Search s;
    frmGetIPs& f = s.Window();
    EXPECT_EQ(f.txtIP0.Text() + "." + f.txtIP1.Text() + "." + f.txtIP2.Text(), "10.1.2");
    EXPECT_TRUE(f.optAddIP2.Value());

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
    EXPECT_EQ(s.Rows(), (std::vector<std::string>{"1|GAMMA(2)|10.1.2.5(1)", "2|ALPHA(2)|10.1.2.3(1)", "3|(0)|10.1.2.4(1)",
                                                  "4|(0)|10.1.2.6(1)", "5|(0)|10.1.2.8(1)"}));
}

TEST(ComputerSearch, OneMachineByNameOrAddress) {
    Search s;
    frmGetIPs& f = s.Window();
    f.optAddIP1.SetValue(true);
    f.txtNameIP.SetText("10.1.2.300");
    f.cmdOk_Click();
    f.txtNameIP.SetText("");
    f.cmdOk_Click();
    EXPECT_EQ(s.messages, (std::vector<std::string>{"Updexar|Invalid IP Address [10.1.2.300].",
                                                    "Updexar|Please specify 'IP Address'."}));
    EXPECT_TRUE(IsValidIPAddress("010.001.002.009"));  // leading zeros are fine
    f.optAddIP0.SetValue(true);
    f.txtNameIP.SetText("DELTA");
    f.cmdOk_Click();
    EXPECT_EQ(s.Rows(), (std::vector<std::string>{"1|DELTA(1)|10.1.2.9(2)"}));
    frmGetIPs& again = s.Window();  // Esc, and no other key, closes the window when no search runs
    fakes::HeadlessBackend::Key(again, 'A');
    EXPECT_TRUE(again.Loaded());
    fakes::HeadlessBackend::Key(again, forms::KeyEscape);
    EXPECT_FALSE(again.Loaded());
}

TEST(UserLookup, TheThirdAccountThatResolvesIsTheOneLoggedOn) {
    Search s;
    s.registry.reachable = {"PC7"};
    for (const char* key : {".DEFAULT", "S-1-5-18", "S-1-5-19", "S-1-5-19_Classes", "S-1-5-20", "S-1-5-21-7-8-4294967295-1001",
                            "S-1-5-21-7-8-4294967295-1001_CLASSES"})
        s.registry.Create(platform::RegRoot::Users, key);
    s.fake.network.accounts = {{{18}, {"NT AUTHORITY", "SYSTEM"}},
                               {{19}, {"NT AUTHORITY", "LOCAL SERVICE"}},
                               {{21, 7, 8, 0xFFFFFFFFu, 1001}, {"OFFICE", "clerk"}}};
    EXPECT_EQ(GetLoggedOnUser("pc7"), "OFFICE\\clerk");  // 20 does not resolve: three resolve in all

    // The lookup window asks for every ticked row, by the name or the address that is ticked.
    frmmain& m = forms::Window<frmmain>();
    uitest::AddMachineRow(m.vs, "PC7", 1, "10.0.0.7", 2, "", "");
    uitest::AddMachineRow(m.vs, "PC8", 2, "PC7", 1, "", "");
    uitest::AddMachineRow(m.vs, "PC7", 2, "PC7", 2, "", "");
    forms::Window<frmLoginNms>().Show(true, &m);
    EXPECT_EQ(m.vs.TextMatrix(1, 3) + "|" + m.vs.TextMatrix(2, 3) + "|" + m.vs.TextMatrix(3, 3), "OFFICE\\clerk|OFFICE\\clerk|");
    s.fake.network.accounts.erase({18});
    EXPECT_EQ(GetLoggedOnUser("PC7"), "");
    EXPECT_EQ(GetLoggedOnUser("PC8"), "");  // out of reach
}
