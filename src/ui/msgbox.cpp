#include "ui/msgbox.h"

#include <cmath>
#include <exception>

#include "forms/application.h"
#include "platform/platform.h"
#include "core/shared_state.h"
#include "ui/scaling.h"

namespace updexar {
namespace {

constexpr int kCyCaption = 4;
constexpr int kCyDlgFrame = 8;

struct ButtonSet {
    int count;
    const char* captions[3];
};
const ButtonSet kButtonSets[6] = {
    {1, {"&Ok", nullptr, nullptr}},
    {2, {"&Ok", "&Cancel", nullptr}},
    {3, {"&Abort", "&Retry", "&Ignore"}},
    {3, {"&Yes", "&No", "&Cancel"}},
    {2, {"&Yes", "&No", nullptr}},
    {2, {"&Retry", "&Cancel", nullptr}},
};

bool Has(int style, int bits) { return (style & bits) == bits; }

double R(double twips) { return std::round(twips); }

std::string TabsToSpaces(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\t') out += "    ";
        else out += c;
    }
    return out;
}

// Lays out a loaded dialog for the prompt and style: the icon, the buttons with the default one
// focused, the text wrapped at half the screen's width and never narrower than a fifth of it or
// than the row of buttons, and the window sized around them and centred on the screen.
void Build(frmMsgBox& f, const std::string& prompt, const MsgStyle& ms, const std::optional<std::string>& title,
           double captionH, double frameH) {
    const SharedState& s = Shared();
    const float sx = s.sx, sy = s.sy;
    platform::System& sys = *platform::Os().system;

    f.imgC.SetVisible(ms.icon == 16);
    f.imgQ.SetVisible(ms.icon == 32);
    f.imgE.SetVisible(ms.icon == 48);
    f.imgI.SetVisible(ms.icon == 64);

    const ButtonSet& set = kButtonSets[ms.buttonSet];
    for (int i = 0; i < set.count; ++i) f.Button(i).SetCaption(set.captions[i]);

    if (set.count > 1) forms::Application::Current().GetBackend().RemoveCloseMenuItems(f);

    f.SetCaption(title ? *title : forms::Application::Current().Title);

    double rowWidth = 0;
    for (int i = 0; i < f.ButtonCount(); ++i) {
        forms::CommandButton& b = f.Button(i);
        b.SetVisible(true);
        b.SetTabIndex(i);
        rowWidth += b.Width();
        if (i > 0) rowWidth += 60 * sx;
    }
    if (ms.defaultButton > 0) {
        int tab = 0;
        for (int i = ms.defaultButton; i < f.ButtonCount(); ++i) f.Button(i).SetTabIndex(tab++);
    }
    for (int i = 0; i < f.ButtonCount(); ++i)
        if (f.Button(i).TabIndex() == 0) f.Button(i).SetFocus();

    forms::Label& lbl = f.lblMsg;
    lbl.SetWordWrap(false);
    lbl.SetAutoSize(true);
    lbl.SetCaption(TabsToSpaces(prompt));

    const double screenW = sys.ScreenSizeTwips().width;
    double textW;
    if (R(lbl.Width()) < R(rowWidth)) textW = rowWidth;
    else if (R(lbl.Width()) > R(screenW / 2)) textW = R(screenW / 2);
    else textW = lbl.Width();
    if (R(textW) < R(lbl.Width())) {
        lbl.SetWidth(textW);
        lbl.SetWordWrap(true);
        textW = lbl.Width();
    }
    if (R(textW) < R(screenW / 5)) textW = R(screenW / 5);

    const double m = f.imgC.Left();
    double width;
    if (ms.icon == 0) {
        width = m + textW + m;
        lbl.SetLeft((width - lbl.Width()) / 2);
    } else {
        width = m + f.imgC.Width() + 60 * sx + textW + m;
        lbl.SetLeft(m + f.imgC.Width() + 60 * sx + (textW - lbl.Width()) / 2);
    }

    forms::CommandButton& first = f.Button(0);
    double top;
    if (lbl.Height() > f.imgC.Height()) top = lbl.Top() + lbl.Height() + 120 * sy;
    else top = f.imgC.Top() + f.imgC.Height() + 120 * sy;
    first.Move((width - rowWidth) / 2, top);
    for (int i = 1; i < f.ButtonCount(); ++i) {
        forms::CommandButton& prev = f.Button(i - 1);
        f.Button(i).Move(prev.Left() + prev.Width() + 60 * sx, top);
    }

    const double height = captionH + frameH + top + first.Height() + 60 * sy + frameH;
    const platform::ScreenSize screen = sys.ScreenSizeTwips();
    f.Move((screen.width - width) / 2, (screen.height - height) / 2, width, height);
}

}  // namespace

MsgStyle DecodeMsgStyle(int style) {
    MsgStyle ms;
    for (int icon : {64, 48, 32, 16})
        if (Has(style, icon)) {
            ms.icon = icon;
            break;
        }
    for (int set : {5, 4, 3, 2, 1})
        if (Has(style, set)) {
            ms.buttonSet = set;
            break;
        }
    if (Has(style, 512)) ms.defaultButton = 2;
    else if (Has(style, 256)) ms.defaultButton = 1;
    return ms;
}

int16_t ResultOfCaption(const std::string& caption) {
    if (caption == "&Abort") return MsgAbort;
    if (caption == "&Retry") return MsgRetry;
    if (caption == "&Ignore") return MsgIgnore;
    if (caption == "&Yes") return MsgYes;
    if (caption == "&No") return MsgNo;
    if (caption == "&Cancel") return MsgCancel;
    if (caption == "&Ok") return MsgOk;
    return 0;
}

frmMsgBox::frmMsgBox()
    : forms::Form("frmMsgBox"),
      imgC(Add<forms::Image>("imgC")),
      imgQ(Add<forms::Image>("imgQ")),
      imgE(Add<forms::Image>("imgE")),
      imgI(Add<forms::Image>("imgI")),
      lblMsg(Add<forms::Label>("lblMsg")) {
    KeyPreview = true;
    FixedDialog = true;
    Move(0, 0, 4800, 2000);
    for (forms::Image* img : {&imgC, &imgQ, &imgE, &imgI}) img->Move(240, 240, 480, 480);
    imgC.Picture = "critical";
    imgQ.Picture = "question";
    imgE.Picture = "exclamation";
    imgI.Picture = "information";
    lblMsg.Move(960, 240, 2500, 195);
    auto& b0 = Add<forms::CommandButton>("cmdAction", 0);
    b0.Move(240, 960, 1095, 375);
    b0.Click = [this] { cmdAction_Click(0); };
}

void frmMsgBox::Form_Load() { ScaleForm(*this); }

forms::CommandButton& frmMsgBox::Button(int index) {
    if (auto* c = dynamic_cast<forms::CommandButton*>(Find("cmdAction", index))) return *c;
    auto& b = LoadMember<forms::CommandButton>("cmdAction", index);
    b.Click = [this, index] { cmdAction_Click(index); };
    return b;
}

int frmMsgBox::ButtonCount() const { return UBound("cmdAction") + 1; }

void frmMsgBox::cmdAction_Click(int index) {
    Shared().MsgBoxResult = ResultOfCaption(Button(index).Caption());
    forms::Application::Current().Unload(*this);
}

void frmMsgBox::Form_QueryUnload(int& cancel, forms::UnloadMode mode) {
    if (mode == forms::UnloadMode::FromCode) return;
    // A close we did not ask for: one button means "that button", several mean "no".
    if (ButtonCount() == 1) Shared().MsgBoxResult = ResultOfCaption(Button(0).Caption());
    else cancel = 1;
}

void frmMsgBox::Form_KeyDown(int& keyCode, int /*shift*/) {
    if (keyCode != forms::KeyEscape) return;
    keyCode = 0;
    if (ButtonCount() == 1) Button(0).Press();
}

int16_t ShowMessage(forms::Form* owner, const std::string& prompt, int style, const std::optional<std::string>& title) {
    SharedState& s = Shared();
    s.MsgBoxResult = 0;
    forms::Application& app = forms::Application::Current();
    frmMsgBox* dialog = nullptr;
    try {
        platform::System& sys = *platform::Os().system;
        const double captionH = sys.SystemMetric(kCyCaption) * sys.TwipsPerPixelY();
        const double frameH = sys.SystemMetric(kCyDlgFrame) * sys.TwipsPerPixelY();
        dialog = &app.New<frmMsgBox>();
        Build(*dialog, prompt, DecodeMsgStyle(style), title, captionH, frameH);
        dialog->Show(true, owner);
    } catch (const std::exception&) {
        // Falls through to the system message box below.
    }
    if (s.MsgBoxResult < 1) {
        if (dialog && dialog->Loaded()) app.Unload(*dialog);
        s.MsgBoxResult = static_cast<int16_t>(app.GetBackend().SystemMessageBox(owner, prompt, style, title));
    }
    return s.MsgBoxResult;
}

}  // namespace updexar
