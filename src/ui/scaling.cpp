#include "ui/scaling.h"

#include <cmath>
#include <string>

#include "forms/application.h"
#include "forms/form.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "core/config.h"
#include "core/shared_state.h"

namespace updexar {
namespace {

using forms::Font;

double RoundTo1(double v) { return std::round(v * 10.0) / 10.0; }

// Font sizes compare in the fixed point they are held in.
int64_t Fixed(double points) { return Font::FromPoints(points); }

// Tries T, T - 0.1, ... until the font takes a size not above the one asked for; when every try
// snaps upwards, falls back to T1, its integer part and finally Arial.
void ScaleFont(forms::Control& c, float sf) {
    const int64_t s0 = c.GetFont().size;
    const double s0Points = c.FontSize();
    double t = RoundTo1(s0Points * sf);
    if (c.TypeName() == "CheckBox" || c.TypeName() == "OptionButton") t = t * 0.98;
    for (int64_t tf = Fixed(t); tf > 0; tf -= 1000) {
        const double tryPoints = static_cast<double>(tf) / 10000.0;
        c.SetFontSize(tryPoints);
        if (c.GetFont().size <= tf) return;
    }
    const double t1 = RoundTo1(s0Points * sf);
    auto bad = [&] { return c.GetFont().size == s0 || c.GetFont().size > Fixed(t1); };
    c.SetFontSize(t1);
    if (!bad()) return;
    c.SetFontSize(std::trunc(t1));
    if (!bad()) return;
    c.SetFontName("Arial");
    c.SetFontSize(t1);
    if (!bad()) return;
    c.SetFontSize(std::trunc(t1));
}

void ScaleGeometry(forms::Control& c, float sx, float sy, double l0, double w0) {
    const std::string type = ToUpper(c.TypeName());
    if (type == "COMBOBOX") {
        c.Move(c.Left() * sx, c.Top() * sy, c.Width() * sx, c.Height());
        return;
    }
    if (auto* line = dynamic_cast<forms::Line*>(&c)) {
        line->SetEnds(line->X1() * sx, line->Y1() * sy, line->X2() * sx, line->Y2() * sy);
        return;
    }
    if (auto* label = dynamic_cast<forms::Label*>(&c)) {
        if (!label->AutoSize()) {
            c.Move(c.Left() * sx, c.Top() * sy, c.Width() * sx, c.Height() * sy);
        } else if (label->GetAlignment() == forms::Alignment::Left) {
            if (label->WordWrap()) c.Move(c.Left() * sx, c.Top() * sy, c.Width() * sx, c.Height());
            else c.Move(c.Left() * sx, c.Top() * sy);
        } else {
            // Keeps the right edge (d = 1) or the centre (d = 2) of the text where the scaled
            // design put it.
            const double d = label->GetAlignment() == forms::Alignment::Right ? 1.0 : 2.0;
            if (label->WordWrap()) {
                const double left = (l0 + (w0 - c.Width()) / d) * sx;
                c.Move(left, c.Top() * sy, c.Width() * sx, c.Height());
            } else {
                const double left = (l0 + (w0 - c.Width() / sx) / d) * sx;
                c.Move(left, c.Top() * sy);
            }
        }
        return;
    }
    if (!c.HasGeometry()) return;
    double left = c.Left();
    if (left < 0) {
        // Controls parked off to the left at design time come back into view.
        const forms::Control* container = c.Container();
        if (container && ToUpper(container->TypeName()) == "SSTAB") left += 75000;
        else left = 120;
    }
    c.Move(left * sx, c.Top() * sy, c.Width() * sx, c.Height() * sy);
}

}  // namespace

void ComputeScaleFactors() {
    SharedState& s = Shared();
    s.sx = s.sy = s.sf = 1.0f;
    platform::System& sys = *platform::Os().system;

    const platform::ScreenSize mode = sys.DisplayModeSize();
    double w = mode.width;
    double h = mode.height;
    double dpi = sys.LogicalDpiX();
    const double logPixels =
        Val(ReadRegValue(platform::RegRoot::CurrentUser, "Control Panel\\Desktop", "LogPixels", RegKindDword, ""));
    if (logPixels >= 96 && logPixels <= 192 && logPixels > dpi) dpi = logPixels;

    if (w < 1) {
        const int tpp = sys.TwipsPerPixelX();
        w = tpp > 0 ? sys.ScreenSizeTwips().width / tpp : 0;
        if (w < 1) w = 800;
    }
    if (h < 1) {
        const int tpp = sys.TwipsPerPixelY();
        h = tpp > 0 ? sys.ScreenSizeTwips().height / tpp : 0;
        if (h < 1) h = 600;
    }
    if (dpi < 1) dpi = 96;

    const std::string opt = ReadConfigIni("ScrReso", "Opt", "0");
    const double optValue = Val(opt);
    if (optValue == 1) {
        const double x = Val(ReadConfigIni("ScrReso", "X", "0"));
        const double y = Val(ReadConfigIni("ScrReso", "Y", "0"));
        const double d = Val(ReadConfigIni("ScrReso", "DPI", "0"));
        if (x >= 1) w = x;
        if (y >= 1) h = y;
        if (d >= 1) dpi = d;
    } else if (optValue != 0) {
        return;
    }

    s.sx = static_cast<float>(w / 800.0);
    s.sy = static_cast<float>(h / 600.0);
    s.sf = (s.sx + s.sy) / 2;
    if (dpi != 96) {
        s.sx = static_cast<float>(s.sx * 96.0 / dpi);
        s.sy = static_cast<float>(s.sy * 96.0 / dpi);
        s.sf = (s.sx + s.sy) / 2;
    }
}

void ScaleForm(forms::Form& form) {
    const SharedState& s = Shared();
    const float sx = s.sx, sy = s.sy, sf = s.sf;
    if (sx == 1.0f && sy == 1.0f && sf == 1.0f) return;
    if (!(sx > 0) || !(sy > 0) || !(sf > 0)) return;

    const std::vector<forms::Control*> controls = form.Controls();
    for (forms::Control* c : controls) {
        const std::string type = ToUpper(c->TypeName());
        if (type == "MENU" || type == "TIMER" || type == "COMMONDIALOG" || type == "MDIEXTEND") continue;
        double l0 = c->Left(), w0 = c->Width();
        const bool noFont = type == "LINE" || type == "SHAPE" || type == "IMAGE" || type == "PROGRESSBAR" || type == "CLGRD";
        if (!noFont && c->HasFont()) ScaleFont(*c, sf);
        ScaleGeometry(*c, sx, sy, l0, w0);
        if (type == "VSFLEXGRID") c->ScaleLimits(sx, sy);
    }
    form.Move(form.Left() * sx, form.Top() * sy, form.Width() * sx, form.Height() * sy);
}

void CenterOnScreen(forms::Form& form) {
    const platform::ScreenSize screen = platform::Os().system->ScreenSizeTwips();
    form.Move((screen.width - form.Width()) / 2, (screen.height - form.Height()) / 2);
}

}  // namespace updexar
