#include <gtest/gtest.h>

#include "core/config.h"
#include "ui/msgbox.h"
#include "ui/scaling.h"
#include "ui_fixture.h"

using namespace updexar;
using namespace updexar::forms;
using updexar::fakes::HeadlessBackend;

namespace {

// What the next message box showed, kept as it is answered with Enter: its width, the label's
// left edge, width and height, the first button's top, the caption, text, buttons and icons.
struct Seen {
    double width = 0, labelLeft = 0, labelWidth = 0, labelHeight = 0, button0Top = 0;
    std::string caption, label, buttons, icons;
    int answer = 0;
};

Seen ShowAndSee(uitest::UiFixture& ui, const std::string& prompt, int style, std::optional<std::string> title = {}) {
    Seen seen;
    ui.backend.WhenShown("frmMsgBox", [&seen](Form& f) {
        auto& m = static_cast<frmMsgBox&>(f);
        seen = {m.Width(), m.lblMsg.Left(), m.lblMsg.Width(), m.lblMsg.Height(), m.Button(0).Top(),
                m.Caption(), m.lblMsg.Caption(), "", "", 0};
        for (int i = 0; i < m.ButtonCount(); ++i) seen.buttons += m.Button(i).Caption() + ";";
        for (const auto& [icon, name] : {std::pair<Image*, char>{&m.imgC, 'C'}, {&m.imgI, 'I'}, {&m.imgQ, 'Q'}})
            if (icon->Visible()) seen.icons += name;
        HeadlessBackend::Key(m, KeyReturn);
    });
    seen.answer = ShowMessage(nullptr, prompt, style, title);
    return seen;
}

}  // namespace

// Which key, click or close box gives which answer, and the placement itself, are measured on real
// windows (forms_wine_test.cpp); here what the text and the style choose: caption, icon, button set
// (also where the style's bits overlap), tabs, and the width rules of the screen.
TEST(MessageBox, TextStyleAndScreenChooseWhatIsShown) {
    EXPECT_EQ(DecodeMsgStyle(18).icon, 16);
    EXPECT_EQ(DecodeMsgStyle(48 | 16).icon, 48);  // 32 and 16 together read as exclamation
    EXPECT_EQ(DecodeMsgStyle(7).buttonSet, 5);  // 5 matches before 4, 3, 2 and 1
    EXPECT_EQ(ResultOfCaption("&Ignore"), 5);
    EXPECT_EQ(ResultOfCaption("Ok"), 0);  // not a caption of ours
    uitest::UiFixture ui;  // 1024 x 768 at 96 DPI: the screen is 15360 twips wide
    const Seen shortText = ShowAndSee(ui, "Done.", 64);
    EXPECT_GE(shortText.width, 15360 / 5);  // even a short text gets a fifth of the screen
    EXPECT_EQ(shortText.icons + std::to_string(shortText.answer), "I1");
    std::string words;
    for (int i = 0; i < 30; ++i) words += "abcdefgh ";
    const Seen longText = ShowAndSee(ui, words, 0, "Title");
    EXPECT_DOUBLE_EQ(longText.labelWidth, 15360 / 2);  // wraps at half the screen
    EXPECT_GT(longText.labelHeight, 2 * 198 - 1);
    EXPECT_DOUBLE_EQ(longText.labelLeft, longText.width - longText.labelLeft - longText.labelWidth);  // no icon
    EXPECT_GE(longText.button0Top, longText.labelHeight);
    EXPECT_EQ(longText.caption + "|" + longText.icons, "Title|");
    const Seen tabbed = ShowAndSee(ui, "a\tb\r\nsecond line", 36);
    EXPECT_EQ(tabbed.label + "|" + tabbed.buttons + tabbed.icons + std::to_string(tabbed.answer),
              "a    b\r\nsecond line|&Yes;&No;Q6");
}

TEST(MessageBox, FallsBackToTheSystemBoxWhenOursGivesNoAnswer) {
    uitest::UiFixture ui;
    // Closed by code without a choice.
    ui.backend.WhenShown("frmMsgBox", [](Form& f) { Application::Current().Unload(f); });
    ui.backend.systemMessageBoxAnswers = {7};
    EXPECT_EQ(ShowMessage(nullptr, "Sure?", 36, "T"), MsgNo);
    EXPECT_EQ(ui.backend.transcript.back(), "sysmsgbox 36 'T': Sure? -> 7");
    // Could not be built at all.
    struct Broken : HeadlessBackend {
        void RemoveCloseMenuItems(Form&) override { throw std::runtime_error("no system menu"); }
    };
    Broken broken;
    Application app(broken, ui.clock);
    broken.systemMessageBoxAnswers = {6};
    EXPECT_EQ(ShowMessage(nullptr, "Sure?", 36), MsgYes);
    EXPECT_EQ(broken.transcript.back(), "sysmsgbox 36 '': Sure? -> 6");
    EXPECT_TRUE(app.LoadedForms().empty());
}

TEST(Scaling, FactorsFromTheScreenTheDpiAndTheConfiguration) {
    uitest::UiFixture ui;
    auto factors = [&](const std::string& ini = "") {
        if (!ini.empty()) ui.Put("C:\\WINDOWS\\system32\\VEKCONFIG.INI", ini);
        ComputeScaleFactors();
        return std::vector<float>{Shared().sx, Shared().sy, Shared().sf};
    };
    ui.system.SetDisplay(800, 600, 96);
    EXPECT_EQ(factors(), (std::vector<float>{1.0f, 1.0f, 1.0f}));
    ui.system.SetDisplay(1024, 768, 96);
    EXPECT_EQ(factors(), (std::vector<float>{1.28f, 1.28f, 1.28f}));
    ui.system.SetDisplay(1024, 768, 120);
    EXPECT_FLOAT_EQ(factors()[0], 1.024f);
    EXPECT_FLOAT_EQ(Shared().sy, 1.024f);
    // "LogPixels" replaces a smaller measured DPI, but only within 96..192.
    ui.system.SetDisplay(1024, 768, 96);
    WriteRegValue(platform::RegRoot::CurrentUser, "Control Panel\\Desktop", "LogPixels", RegKindDword, "120");
    EXPECT_FLOAT_EQ(factors()[0], 1.024f);
    WriteRegValue(platform::RegRoot::CurrentUser, "Control Panel\\Desktop", "LogPixels", RegKindDword, "200");
    EXPECT_FLOAT_EQ(factors()[0], 1.28f);
    // The configuration's own screen: Opt=2 the design size, Opt=1 the size and DPI it gives.
    EXPECT_EQ(factors("[ScrReso]\r\nOpt=2\r\n"), (std::vector<float>{1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(factors("[ScrReso]\r\nOpt=1\r\nX=1280\r\n"), (std::vector<float>{1.6f, 1.28f, 1.44f}));
    EXPECT_FLOAT_EQ(factors("[ScrReso]\r\nOpt=1\r\nDPI=120\r\n")[0], 1.024f);
    // One pixel is still a configured height.
    EXPECT_FLOAT_EQ(factors("[ScrReso]\r\nOpt=1\r\nX=800\r\nY=1\r\n")[1], 1.0f / 600);
}

namespace {
struct frmScaled : Form {
    frmScaled() : Form("frmScaled") {}
    Label &right = Add<Label>("lblRight"), &centre = Add<Label>("lblCentre"), &fixed = Add<Label>("lblFixed");
    CheckBox& check = Add<CheckBox>("chk");
    ComboBox& list = Add<ComboBox>("cbo");
    Line& line = Add<Line>("lin");
    CommandButton& parked = Add<CommandButton>("cmdParked");
    Timer& tmr = Add<Timer>("tmr");  // nothing to place
};
}  // namespace

TEST(Scaling, ScaleFormMovesSizesAndSnapsFonts) {
    uitest::UiFixture ui;
    frmScaled& f = Window<frmScaled>();
    f.Move(100, 100, 6000, 4000);
    for (Label* l : {&f.right, &f.centre}) {
        l->SetAutoSize(true);
        l->SetCaption("0123456789");  // 825 twips at 8.25 points
        l->Move(1000, 500);
    }
    f.right.SetAlignment(Alignment::Right);
    f.centre.SetAlignment(Alignment::Center);
    f.fixed.Move(100, 100, 1000, 300);
    f.list.Move(200, 300, 1500, 315);
    f.line.SetEnds(10, 20, 30, 40);
    f.parked.Move(-5000, 100, 1000, 300);
    f.check.Move(0, 0, 1000, 300);
    Shared().sx = Shared().sy = Shared().sf = 1.0f;
    ScaleForm(f);
    EXPECT_DOUBLE_EQ(f.Width(), 6000);  // factors of 1 change nothing
    Shared().sx = Shared().sy = Shared().sf = 1.28f;
    ScaleForm(f);
    const double sx = 1.28f;
    // 8.25 x 1.28 = 10.6; a face in whole pixels takes 14 px = 10.5 points.
    EXPECT_DOUBLE_EQ(f.fixed.FontSize(), 10.5);
    EXPECT_NEAR(f.right.Left() + f.right.Width(), 1825 * sx, 1e-3);  // right edge kept
    EXPECT_NEAR(f.centre.Left() + f.centre.Width() / 2, (1000 + 412.5) * sx, 1e-3);  // centre kept
    EXPECT_NEAR(f.fixed.Width(), 1000 * sx, 1e-3);
    EXPECT_NEAR(f.list.Height(), 315, 1e-9);  // a list's height follows its font
    EXPECT_NEAR(f.line.X2(), 30 * sx, 1e-4);
    EXPECT_NEAR(f.parked.Left(), 120 * sx, 1e-3);  // parked off screen: brought back
    // Check boxes aim 2 % lower: 10.388 points ends at 13 px = 9.75.
    EXPECT_DOUBLE_EQ(f.check.FontSize(), 9.75);
    EXPECT_NEAR(f.Width(), 6000 * sx, 1e-3);

    // A bitmap face with 8, 10 and 12 points takes the next size up: whole sizes are tried downwards.
    Unload(f);
    frmScaled& g = Window<frmScaled>();
    ui.backend.fontSizeRule = [](const std::string&, bool, double requested) {
        for (double s : {8.0, 10.0, 12.0})
            if (s >= requested - 1e-9) return s;
        return 12.0;
    };
    ScaleForm(g);
    EXPECT_DOUBLE_EQ(g.fixed.FontSize(), 10.0);  // 10.6, 10.5, ... 10.0 is the first that fits
    EXPECT_EQ(g.fixed.GetFont().name, "MS Sans Serif");
    // A face that never goes below 12: whole size, then Arial, then Arial's whole size.
    ui.backend.fontSizeRule = [](const std::string&, bool, double requested) { return std::max(requested, 12.0); };
    Unload(g);
    frmScaled& h = Window<frmScaled>();
    ScaleForm(h);
    EXPECT_EQ(h.fixed.GetFont().name, "Arial");
    EXPECT_DOUBLE_EQ(h.fixed.FontSize(), 12.0);
}
