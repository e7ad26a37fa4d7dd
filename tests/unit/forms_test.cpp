// The window toolkit's rules that the program's windows lean on and their own tests do not reach:
// a refused close box, control arrays, option groups per container, and work posted from another
// thread. Keys, modal waits and message boxes are played through the program's windows.
#include <gtest/gtest.h>

#include <thread>

#include "platform/errors.h"
#include "ui_fixture.h"

using namespace updexar;
using namespace updexar::forms;

namespace {

class frmTest : public Form {
public:
    frmTest() : Form("frmTest") {}
    void Form_QueryUnload(int& cancel, UnloadMode mode) override {
        lastMode = mode;
        if (mode != UnloadMode::FromCode) cancel = 1;
    }
    UnloadMode lastMode = UnloadMode::FromCode;
};

}  // namespace

TEST(Forms, ClosesArraysOptionGroupsAndPostedWork) {
    uitest::UiFixture ui;
    frmTest& f = Window<frmTest>();
    f.Tag = "state";
    fakes::HeadlessBackend::CloseBox(f);  // the user's close is refused, ours is not
    EXPECT_EQ(f.lastMode, UnloadMode::ControlMenu);
    EXPECT_TRUE(ui.app.IsLoaded<frmTest>());
    EXPECT_TRUE(Unload(f));
    EXPECT_FALSE(ui.app.IsLoaded<frmTest>());
    frmTest& g = Window<frmTest>();
    EXPECT_EQ(g.Tag, "");  // a fresh window, not the old one with its state

    auto& first = g.Add<CommandButton>("cmdAction", 0);
    first.Move(100, 200, 1000, 300);
    first.SetCaption("&Ok");
    auto& second = g.LoadMember<CommandButton>("cmdAction", 1);
    EXPECT_EQ(second.Left(), 100);
    EXPECT_EQ(second.Caption(), "&Ok");
    EXPECT_FALSE(second.Visible());  // members loaded at run time start hidden
    EXPECT_THROW(g.LoadMember<CommandButton>("cmdAction", 1), RuntimeError);
    EXPECT_THROW(g.UnloadMember("cmdAction", 0), RuntimeError);  // only run-time members go
    g.UnloadMember("cmdAction", 1);
    EXPECT_EQ(g.UBound("cmdAction"), 0);

    auto& frame = g.Add<Frame>("famA");
    auto& a = g.Add<OptionButton>("optA", 0);
    auto& b = g.Add<OptionButton>("optA", 1);
    auto& other = g.Add<OptionButton>("optB");
    a.SetContainer(&frame);
    b.SetContainer(&frame);
    other.SetValue(true);
    a.SetValue(true);
    b.SetValue(true);
    EXPECT_FALSE(a.Value());
    EXPECT_TRUE(b.Value());
    EXPECT_TRUE(other.Value());  // another container keeps its choice

    int ran = 0;
    std::thread worker([&] { ui.app.Post([&] { ++ran; }); });
    worker.join();
    ui.app.WaitUntil([&] { return ran == 1; });  // a lost post would stall the headless loop
}
