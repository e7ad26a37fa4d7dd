#include <gtest/gtest.h>

#include <thread>

#include "platform/errors.h"
#include "ui_fixture.h"

using namespace updexar;
using namespace updexar::forms;
using updexar::fakes::HeadlessBackend;

namespace {

int g_loads = 0;

class frmWait : public Form {
public:
    frmWait() : Form("frmWait"), tmr(Add<Timer>("Timer1")), cmdOk(Add<CommandButton>("cmdOk")),
                cmdCancel(Add<CommandButton>("cmdCancel")), txt(Add<TextBox>("txtName")) {
        cmdCancel.Cancel = true;
        cmdOk.Default = true;
        cmdOk.Click = [this] { Tag += "ok;"; };
        cmdCancel.Click = [this] { Application::Current().Unload(*this); };
        tmr.Tick = [this] {
            if (++ticks == limit) Application::Current().Unload(*this);
        };
    }
    void Form_Load() override { ++g_loads; }
    void Form_Activate() override { ++activations; }
    void Form_QueryUnload(int& cancel, UnloadMode mode) override {
        lastMode = mode;
        if (refuseClose && mode != UnloadMode::FromCode) cancel = 1;
    }
    Timer& tmr;
    CommandButton& cmdOk;
    CommandButton& cmdCancel;
    TextBox& txt;
    int ticks = 0;
    int limit = 900;
    int activations = 0;
    bool refuseClose = false;
    UnloadMode lastMode = UnloadMode::FromCode;
};

class frmOwner : public Form {
public:
    frmOwner() : Form("frmOwner") {}
    void Form_Activate() override { ++activations; }
    int activations = 0;
};

}  // namespace

TEST(Forms, AWindowIsMadeOnFirstReferenceAndReleasedOnUnload) {
    uitest::UiFixture ui;
    g_loads = 0;
    frmWait& first = Window<frmWait>();
    EXPECT_EQ(&Window<frmWait>(), &first);
    EXPECT_EQ(g_loads, 1);
    first.Tag = "state";

    first.refuseClose = true;
    HeadlessBackend::CloseBox(first);  // the user's close is refused, ours is not
    EXPECT_TRUE(ui.app.IsLoaded<frmWait>());
    EXPECT_EQ(first.lastMode, UnloadMode::ControlMenu);
    EXPECT_TRUE(Unload(first));
    EXPECT_FALSE(ui.app.IsLoaded<frmWait>());

    frmWait& second = Window<frmWait>();
    EXPECT_EQ(g_loads, 2);
    EXPECT_EQ(second.Tag, "");  // a fresh window, not the old one with its state
}

TEST(Forms, AModalWaitOf900SecondsRunsOnTheClockNotTheWall) {
    uitest::UiFixture ui;
    frmOwner& owner = Window<frmOwner>();
    owner.Show();
    EXPECT_EQ(owner.activations, 1);

    frmWait& wait = Window<frmWait>();
    wait.tmr.SetInterval(1000);
    const int64_t before = ui.clock.MonotonicMs();
    wait.Show(true, &owner);  // returns when the 900th tick unloads it
    EXPECT_EQ(ui.clock.MonotonicMs() - before, 900'000);
    EXPECT_FALSE(ui.app.IsLoaded<frmWait>());
    // Closing the modal window activates its owner again.
    EXPECT_EQ(owner.activations, 2);
    EXPECT_EQ(ui.backend.transcript[1], "show frmWait modal owner=frmOwner");
}

TEST(Forms, KeysReachPreviewThenControlThenDefaultAndCancelButtons) {
    uitest::UiFixture ui;
    frmWait& f = Window<frmWait>();
    f.txt.SetFocus();
    HeadlessBackend::Key(f, KeyReturn);  // focus on a text box: the default button
    EXPECT_EQ(f.Tag, "ok;");
    f.cmdCancel.SetFocus();
    HeadlessBackend::Key(f, KeyReturn);  // focus on a button: that button
    EXPECT_FALSE(ui.app.IsLoaded<frmWait>());

    frmWait& g = Window<frmWait>();
    g.txt.KeyDown = [](int& key, int) {
        if (key == KeyEscape) key = 0;  // the control eats Esc
    };
    g.txt.SetFocus();
    HeadlessBackend::Key(g, KeyEscape);
    EXPECT_TRUE(ui.app.IsLoaded<frmWait>());
    g.txt.KeyDown = nullptr;
    HeadlessBackend::Key(g, KeyEscape);
    EXPECT_FALSE(ui.app.IsLoaded<frmWait>());
}

TEST(Forms, SelectionsCountCharactersAndZOrderRestacksControls) {
    uitest::UiFixture ui;
    frmWait& f = Window<frmWait>();
    TextBox& t = f.txt;
    t.SetText("d\xC3\xA9j\xC3\xA0");  // four characters in six bytes
    t.SetSelStart(1);
    t.SetSelLength(9);
    EXPECT_EQ(t.SelStart(), 1);
    EXPECT_EQ(t.SelLength(), 3);
    EXPECT_EQ(t.CaretPos(), 4);
    t.SetSelStart(9);
    EXPECT_EQ(t.CaretPos(), 4);
    EXPECT_EQ(t.SelLength(), 0);
    t.SetSelStart(-1);
    EXPECT_EQ(t.SelStart(), 0);
    t.SetSelStart(2);
    t.SetText("x");
    EXPECT_EQ(t.CaretPos(), 0) << "a new text puts the caret at its start";

    // Made later lies lower; ZOrder puts one over or under all the others.
    EXPECT_GT(f.cmdOk.ZIndex(), f.txt.ZIndex());
    f.txt.ZOrder(0);
    for (Control* c : f.Controls()) {
        if (c == &f.txt) continue;
        EXPECT_GT(f.txt.ZIndex(), c->ZIndex()) << c->Name();
    }
    f.cmdOk.ZOrder(1);
    for (Control* c : f.Controls()) {
        if (c == &f.cmdOk) continue;
        EXPECT_LT(f.cmdOk.ZIndex(), c->ZIndex()) << c->Name();
    }
}

TEST(Forms, ControlArraysOptionGroupsAndPostedWork) {
    uitest::UiFixture ui;
    frmOwner& f = Window<frmOwner>();
    auto& first = f.Add<CommandButton>("cmdAction", 0);
    first.Move(100, 200, 1000, 300);
    first.SetCaption("&Ok");
    auto& second = f.LoadMember<CommandButton>("cmdAction", 1);
    EXPECT_EQ(second.Left(), 100);
    EXPECT_EQ(second.Caption(), "&Ok");
    EXPECT_FALSE(second.Visible());  // members loaded at run time start hidden
    EXPECT_EQ(f.UBound("cmdAction"), 1);
    EXPECT_THROW(f.LoadMember<CommandButton>("cmdAction", 1), RuntimeError);
    EXPECT_THROW(f.UnloadMember("cmdAction", 0), RuntimeError);
    f.UnloadMember("cmdAction", 1);
    EXPECT_EQ(f.UBound("cmdAction"), 0);

    auto& frame = f.Add<Frame>("famA");
    auto& a = f.Add<OptionButton>("optA", 0);
    auto& b = f.Add<OptionButton>("optA", 1);
    auto& other = f.Add<OptionButton>("optB");
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
