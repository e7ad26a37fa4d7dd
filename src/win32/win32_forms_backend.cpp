#include "win32/win32_forms_backend.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "forms/application.h"
#include "forms/control.h"
#include "forms/form.h"
#include "platform/clock.h"
#include "win32/wide.h"
#include "win32/win32_forms_peers.h"

namespace updexar::win32 {
namespace {

// Our own messages to the hidden pump window: a deferred event, and a bare wake-up.
constexpr UINT kEventMessage = WM_APP + 0x51;
constexpr UINT kWakeMessage = WM_APP + 0x52;
const wchar_t kFormClass[] = L"UpdexarForm";
const wchar_t kHostClass[] = L"UpdexarHost";
const wchar_t kPumpClass[] = L"UpdexarPump";
constexpr UINT_PTR kSubclassId = 0x55504458;
// Room for the list of a drop-down combo box below its field.
constexpr int kComboDropPixels = 160;
// A Pump hands back after this many messages, so timers and posted work are not starved.
constexpr int kBatchLimit = 256;

enum class Kind { None, Label, TextBox, Button, CheckBox, Option, Combo, Frame, Picture, Shape, Line, Image, Foreign };

// Events that run user code are posted and run from the message loop, never from inside a
// control's window procedure (a handler may unload the very window that clicked).
enum class Event : int { Press = 1, Toggle, Select, ComboPick, Click, GotFocus, LostFocus, Close, Activate };

Kind KindOf(const forms::Control& c) {
    if (dynamic_cast<const forms::Label*>(&c)) return Kind::Label;
    if (dynamic_cast<const forms::TextBox*>(&c)) return Kind::TextBox;
    if (dynamic_cast<const forms::CommandButton*>(&c)) return Kind::Button;
    if (dynamic_cast<const forms::CheckBox*>(&c)) return Kind::CheckBox;
    if (dynamic_cast<const forms::OptionButton*>(&c)) return Kind::Option;
    if (dynamic_cast<const forms::ComboBox*>(&c)) return Kind::Combo;
    if (dynamic_cast<const forms::Frame*>(&c)) return Kind::Frame;
    if (dynamic_cast<const forms::PictureBox*>(&c)) return Kind::Picture;
    if (dynamic_cast<const forms::Shape*>(&c)) return Kind::Shape;
    if (dynamic_cast<const forms::Line*>(&c)) return Kind::Line;
    if (dynamic_cast<const forms::Image*>(&c)) return Kind::Image;
    if (dynamic_cast<const forms::Timer*>(&c)) return Kind::None;
    return FindPeerFactory(c.TypeName()) ? Kind::Foreign : Kind::None;
}

const std::string* CaptionOf(const forms::Control& c) {
    if (auto* x = dynamic_cast<const forms::Label*>(&c)) return &x->Caption();
    if (auto* x = dynamic_cast<const forms::CommandButton*>(&c)) return &x->Caption();
    if (auto* x = dynamic_cast<const forms::CheckBox*>(&c)) return &x->Caption();
    if (auto* x = dynamic_cast<const forms::OptionButton*>(&c)) return &x->Caption();
    if (auto* x = dynamic_cast<const forms::Frame*>(&c)) return &x->Caption();
    return nullptr;
}

// The access key of a caption ("&Retry" -> 'R'), upper case; 0 for none.
int AccessKeyOf(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return std::toupper(static_cast<unsigned char>(caption[i + 1]));
    }
    return 0;
}

std::wstring WideTextOf(HWND window) {
    const int n = GetWindowTextLengthW(window);
    if (n <= 0) return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), n + 1);
    text.resize(static_cast<size_t>(std::max(0, got)));
    return text;
}

std::string TextOf(HWND window) { return Narrow(WideTextOf(window)); }

// The model counts characters, the edit window UTF-16 units: they differ by the second half of
// each surrogate pair.
int CharsBefore(const std::wstring& text, int units) {
    int chars = 0;
    for (int i = 0; i < units && i < static_cast<int>(text.size()); ++i)
        if (text[static_cast<size_t>(i)] < 0xDC00 || text[static_cast<size_t>(i)] > 0xDFFF) ++chars;
    return chars;
}

int UnitsBefore(const std::wstring& text, int chars) {
    int units = 0;
    for (; units < static_cast<int>(text.size()); ++units) {
        const wchar_t c = text[static_cast<size_t>(units)];
        if (c >= 0xDC00 && c <= 0xDFFF) continue;
        if (chars-- == 0) break;
    }
    return units;
}

DWORD LabelStyle(const forms::Label& label) {
    switch (label.GetAlignment()) {
        case forms::Alignment::Right: return SS_RIGHT;
        case forms::Alignment::Center: return SS_CENTER;
        default: return label.WordWrap() ? SS_LEFT : SS_LEFTNOWORDWRAP;
    }
}

// The system icons the message pictures name.
LPCWSTR SystemIconFor(const std::string& picture) {
    if (picture == "critical") return IDI_HAND;
    if (picture == "question") return IDI_QUESTION;
    if (picture == "exclamation") return IDI_EXCLAMATION;
    if (picture == "information") return IDI_ASTERISK;
    return nullptr;
}

// The shell's small icon a picture box's named picture stands for (the folder and network
// buttons), by its resource id in shell32.dll (Wine keeps Windows' ids, not its order); loaded
// once and kept for the life of the process. Null when the name has none. Wine's
// SHGetStockIconInfo answers S_OK without an icon, so it is no help here.
HICON ShellIconFor(const std::string& picture) {
    int index;  // negative: a resource id
    if (picture == "folder") index = -4;
    else if (picture == "network") index = -18;
    else return nullptr;
    static std::unordered_map<int, HICON> loaded;
    auto it = loaded.find(index);
    if (it != loaded.end()) return it->second;
    HICON icon = nullptr;
    if (ExtractIconExW(L"shell32.dll", index, nullptr, &icon, 1) != 1) icon = nullptr;
    loaded[index] = icon;
    return icon;
}

forms::Application* App() { return forms::Application::HasCurrent() ? &forms::Application::Current() : nullptr; }

}  // namespace

struct Win32FormsBackend::Impl {
    struct FormPeer {
        forms::Form* form = nullptr;
        uint32_t id = 0;
        HWND hwnd = nullptr;
        // The control that had the focus last; it gets it back when the window is activated.
        HWND lastFocus = nullptr;
        // The windows a modal show disabled, enabled again when it ends.
        std::vector<HWND> disabled;
        bool modal = false;
    };

    struct ControlPeer {
        forms::Control* control = nullptr;
        FormPeer* form = nullptr;
        Kind kind = Kind::None;
        uint32_t id = 0;
        // The control's window; for frames and picture boxes the host its children live in.
        HWND hwnd = nullptr;
        // A frame's group box, inside its host, below the frame's children.
        HWND groupBox = nullptr;
        HICON icon = nullptr;
        bool iconOwned = false;
        int iconSize = 0;
        HBRUSH back = nullptr;
        const PeerFactory* factory = nullptr;
    };

    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND pump = nullptr;
    bool quit = false;
    // Inside ShowForm: the toolkit raises Activate itself right after.
    int showing = 0;
    // The text box whose own typing is being copied into the model: do not write it back.
    const forms::Control* echo = nullptr;
    uint32_t nextId = 1;
    std::unordered_map<const forms::Form*, std::unique_ptr<FormPeer>> forms;
    std::unordered_map<const forms::Control*, std::unique_ptr<ControlPeer>> controls;
    std::unordered_map<HWND, ControlPeer*> byWindow;
    std::unordered_map<HWND, FormPeer*> formByWindow;
    std::unordered_map<uint32_t, ControlPeer*> controlById;
    std::unordered_map<uint32_t, FormPeer*> formById;

    // ---- lookups

    FormPeer* FormOf(const forms::Form* f) {
        auto it = forms.find(f);
        return it == forms.end() ? nullptr : it->second.get();
    }
    ControlPeer* PeerOf(const forms::Control* c) {
        auto it = controls.find(c);
        return it == controls.end() ? nullptr : it->second.get();
    }
    ControlPeer* PeerByWindow(HWND h) {
        auto it = byWindow.find(h);
        return it == byWindow.end() ? nullptr : it->second;
    }
    FormPeer* FormByWindow(HWND h) {
        auto it = formByWindow.find(h);
        return it == formByWindow.end() ? nullptr : it->second;
    }
    // The form a window belongs to, whatever child of it the window is.
    FormPeer* FormAround(HWND h) { return h ? FormByWindow(GetAncestor(h, GA_ROOT)) : nullptr; }
    // The control a window is, or is part of (the grid's cell editor is the grid's); null for the
    // form itself. A key belongs to the control it was typed in: the focus may have moved on by
    // the time its character comes (Enter on the grid opens a box that takes the focus).
    forms::Control* ControlAround(HWND h) {
        for (; h && !FormByWindow(h); h = GetParent(h))
            if (ControlPeer* p = PeerByWindow(h)) return p->control;
        return nullptr;
    }

    void Post(Event e, uint32_t id) { PostMessageW(pump, kEventMessage, static_cast<WPARAM>(e), static_cast<LPARAM>(id)); }

    // ---- classes and window procedures

    void RegisterClasses() {
        static bool done = false;
        if (done) return;
        done = true;
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);

        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = FormProc;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        wc.lpszClassName = kFormClass;
        RegisterClassExW(&wc);

        wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = HostProc;
        wc.hbrBackground = nullptr;
        wc.hIcon = nullptr;
        wc.lpszClassName = kHostClass;
        RegisterClassExW(&wc);

        wc.style = 0;
        wc.lpfnWndProc = PumpProc;
        wc.lpszClassName = kPumpClass;
        RegisterClassExW(&wc);
    }

    static Impl* SelfOf(HWND h, UINT m, LPARAM l) {
        if (m == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(l);
            SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        return reinterpret_cast<Impl*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    }

    static LRESULT CALLBACK FormProc(HWND h, UINT m, WPARAM w, LPARAM l) {
        Impl* self = SelfOf(h, m, l);
        if (!self) return DefWindowProcW(h, m, w, l);
        LRESULT result = 0;
        if (RunGuarded([&] { result = self->OnFormMessage(h, m, w, l); })) return result;
        return DefWindowProcW(h, m, w, l);
    }

    static LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) {
        Impl* self = SelfOf(h, m, l);
        if (!self) return DefWindowProcW(h, m, w, l);
        LRESULT result = 0;
        if (RunGuarded([&] { result = self->OnHostMessage(h, m, w, l); })) return result;
        return DefWindowProcW(h, m, w, l);
    }

    static LRESULT CALLBACK PumpProc(HWND h, UINT m, WPARAM w, LPARAM l) {
        Impl* self = SelfOf(h, m, l);
        // Reached only when someone else's loop (a system message box, a window being dragged)
        // dispatches our events; our own loop runs them without a window procedure in between.
        if (self && m == kEventMessage) {
            RunGuarded([&] { self->HandleEvent(static_cast<Event>(w), static_cast<uint32_t>(l)); });
            return 0;
        }
        if (m == kWakeMessage) return 0;
        return DefWindowProcW(h, m, w, l);
    }

    static LRESULT CALLBACK ChildProc(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR ref) {
        auto* self = reinterpret_cast<Impl*>(ref);
        if (m == WM_SETFOCUS || m == WM_KILLFOCUS) RunGuarded([&] { self->OnFocus(h, m == WM_SETFOCUS); });
        else if (m == WM_NCDESTROY) RemoveWindowSubclass(h, ChildProc, kSubclassId);
        return DefSubclassProc(h, m, w, l);
    }

    // A frame's group box covers the whole frame and paints only its edge and caption: it fills
    // its own inside, where nothing of the frame's content sits, with the colour behind it.
    static LRESULT CALLBACK GroupBoxProc(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR ref) {
        auto* self = reinterpret_cast<Impl*>(ref);
        if (m == WM_ERASEBKGND) {
            RECT rc;
            GetClientRect(h, &rc);
            FillRect(reinterpret_cast<HDC>(w), &rc, self->HostBrush(GetParent(h)));
            return 1;
        }
        if (m == WM_NCDESTROY) RemoveWindowSubclass(h, GroupBoxProc, kSubclassId);
        return DefSubclassProc(h, m, w, l);
    }

    LRESULT OnFormMessage(HWND h, UINT m, WPARAM w, LPARAM l) {
        FormPeer* fp = FormByWindow(h);
        switch (m) {
            case WM_CLOSE:
                if (fp) Post(Event::Close, fp->id);
                return 0;
            case WM_QUERYENDSESSION: {
                if (!fp || !App()) return TRUE;
                const uint32_t id = fp->id;
                App()->RequestClose(*fp->form, forms::UnloadMode::AppWindows);
                return formById.count(id) ? FALSE : TRUE;
            }
            case WM_ACTIVATE:
                if (fp && LOWORD(w) != WA_INACTIVE && !HIWORD(w)) {
                    if (showing == 0) Post(Event::Activate, fp->id);
                    HWND f = fp->lastFocus;
                    if (f && IsWindow(f) && IsChild(h, f) && IsWindowVisible(f) && IsWindowEnabled(f)) {
                        SetFocus(f);
                        return 0;
                    }
                }
                break;
            default:
                break;
        }
        return OnHostMessage(h, m, w, l);
    }

    // What forms and container controls have in common: their children notify them, they paint
    // the graphic controls (shapes, lines) that sit on them, and they give labels their colour.
    LRESULT OnHostMessage(HWND h, UINT m, WPARAM w, LPARAM l) {
        switch (m) {
            case WM_COMMAND:
                if (l) {
                    LRESULT r = 0;
                    if (OnCommand(reinterpret_cast<HWND>(l), HIWORD(w), m, w, l, &r)) return r;
                }
                break;
            case WM_NOTIFY:
                if (auto* n = reinterpret_cast<NMHDR*>(l)) {
                    ControlPeer* p = PeerByWindow(n->hwndFrom);
                    LRESULT r = 0;
                    if (p && p->factory && p->factory->notify && p->factory->notify(p->hwnd, *p->control, m, w, l, &r))
                        return r;
                }
                break;
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN:
                if (HBRUSH b = ControlColours(h, reinterpret_cast<HDC>(w), reinterpret_cast<HWND>(l)))
                    return reinterpret_cast<LRESULT>(b);
                break;
            case WM_ERASEBKGND: {
                RECT rc;
                GetClientRect(h, &rc);
                FillRect(reinterpret_cast<HDC>(w), &rc, HostBrush(h));
                return 1;
            }
            case WM_PAINT: {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(h, &ps);
                PaintGraphics(h, dc);
                PaintPicture(h, dc);
                EndPaint(h, &ps);
                return 0;
            }
            case WM_LBUTTONUP:
                if (ControlPeer* p = PeerByWindow(h); p && p->kind == Kind::Picture) Post(Event::Click, p->id);
                break;
            default:
                break;
        }
        return DefWindowProcW(h, m, w, l);
    }

    bool OnCommand(HWND child, int code, UINT m, WPARAM w, LPARAM l, LRESULT* result) {
        ControlPeer* p = PeerByWindow(child);
        if (!p) return false;
        switch (p->kind) {
            case Kind::Button:
                if (code == BN_CLICKED) Post(Event::Press, p->id);
                return true;
            case Kind::CheckBox:
                if (code == BN_CLICKED) Post(Event::Toggle, p->id);
                return true;
            case Kind::Option:
                if (code == BN_CLICKED) Post(Event::Select, p->id);
                return true;
            case Kind::Combo:
                if (code == CBN_SELCHANGE) Post(Event::ComboPick, p->id);
                return true;
            case Kind::Label:
            case Kind::Image:
                if (code == STN_CLICKED) Post(Event::Click, p->id);
                return true;
            case Kind::TextBox:
                if (code == EN_CHANGE && echo != p->control) {
                    // The model follows the typing at once, so a key handled next sees the text.
                    auto* box = static_cast<forms::TextBox*>(p->control);
                    const forms::Control* before = echo;
                    echo = box;
                    struct Restore {
                        const forms::Control*& slot;
                        const forms::Control* value;
                        ~Restore() { slot = value; }
                    } restore{echo, before};
                    box->SetText(TextOf(child));
                }
                return true;
            case Kind::Foreign:
                return p->factory && p->factory->notify && p->factory->notify(p->hwnd, *p->control, m, w, l, result);
            default:
                return false;
        }
    }

    void OnFocus(HWND h, bool gained) {
        ControlPeer* p = PeerByWindow(h);
        if (!p) return;
        if (gained) {
            p->form->form->SetActiveControl(p->control);
            p->form->lastFocus = h;
            ShowDefaultButton(*p->form, p);
            Post(Event::GotFocus, p->id);
        } else {
            Post(Event::LostFocus, p->id);
        }
    }

    // The focused button looks like the default one; elsewhere the Default button does.
    void ShowDefaultButton(FormPeer& fp, ControlPeer* focused) {
        ControlPeer* target = focused && focused->kind == Kind::Button ? focused : nullptr;
        std::vector<ControlPeer*> buttons;
        for (forms::Control* c : fp.form->Controls()) {
            ControlPeer* p = PeerOf(c);
            if (!p || p->kind != Kind::Button || !p->hwnd) continue;
            buttons.push_back(p);
            if (!focused || focused->kind != Kind::Button)
                if (static_cast<forms::CommandButton*>(c)->Default && !target) target = p;
        }
        for (ControlPeer* p : buttons) {
            const LONG_PTR style = GetWindowLongPtrW(p->hwnd, GWL_STYLE) & 0x0F;
            const LONG_PTR want = p == target ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            if (style != want) SendMessageW(p->hwnd, BM_SETSTYLE, static_cast<WPARAM>(want), TRUE);
        }
    }

    HBRUSH HostBrush(HWND host) {
        for (HWND h = host; h; h = GetParent(h)) {
            if (FormByWindow(h)) break;
            ControlPeer* p = PeerByWindow(h);
            if (!p) break;
            if (p->kind == Kind::Picture && p->back) return p->back;
            if (p->kind != Kind::Frame) break;
        }
        return GetSysColorBrush(COLOR_BTNFACE);
    }

    HBRUSH ControlColours(HWND host, HDC dc, HWND child) {
        ControlPeer* p = PeerByWindow(child);
        const bool groupBox = !p && GetParent(child) == host && PeerByWindow(host) &&
                              PeerByWindow(host)->kind == Kind::Frame && PeerByWindow(host)->groupBox == child;
        if (!p && !groupBox) return nullptr;
        if (p && (p->kind == Kind::TextBox || p->kind == Kind::Combo || p->kind == Kind::Foreign)) return nullptr;
        if (p && p->kind == Kind::Label) {
            auto* label = static_cast<forms::Label*>(p->control);
            SetTextColor(dc, ColorRefOf(label->ForeColor));
            if (!label->BackTransparent && p->back) {
                SetBkColor(dc, ColorRefOf(label->BackColor));
                return p->back;
            }
        }
        SetBkMode(dc, TRANSPARENT);
        return HostBrush(host);
    }

    void PaintGraphics(HWND host, HDC dc) {
        FormPeer* fp = FormAround(host);
        if (!fp) return;
        for (forms::Control* c : fp->form->Controls()) {
            ControlPeer* p = PeerOf(c);
            if (!p || (p->kind != Kind::Shape && p->kind != Kind::Line) || !c->Visible()) continue;
            if (HostOf(*c, *fp) != host) continue;
            if (auto* shape = dynamic_cast<forms::Shape*>(c)) {
                RECT r{TwipsToPixelsX(c->Left()), TwipsToPixelsY(c->Top()), TwipsToPixelsX(c->Left() + c->Width()),
                       TwipsToPixelsY(c->Top() + c->Height())};
                if (shape->Filled) {
                    HBRUSH fill = CreateSolidBrush(ColorRefOf(shape->FillColor));
                    FillRect(dc, &r, fill);
                    DeleteObject(fill);
                }
                HBRUSH edge = CreateSolidBrush(ColorRefOf(shape->BorderColor));
                FrameRect(dc, &r, edge);
                DeleteObject(edge);
            } else if (auto* line = dynamic_cast<forms::Line*>(c)) {
                const COLORREF colour = ColorRefOf(line->BorderColor);
                HPEN pen = CreatePen(PS_SOLID, 1, colour);
                HGDIOBJ old = SelectObject(dc, pen);
                const int x2 = TwipsToPixelsX(line->X2()), y2 = TwipsToPixelsY(line->Y2());
                MoveToEx(dc, TwipsToPixelsX(line->X1()), TwipsToPixelsY(line->Y1()), nullptr);
                LineTo(dc, x2, y2);
                SetPixelV(dc, x2, y2, colour);  // LineTo leaves out the last point
                SelectObject(dc, old);
                DeleteObject(pen);
            }
        }
    }

    // A picture box's named picture, centred in it.
    void PaintPicture(HWND host, HDC dc) {
        ControlPeer* p = PeerByWindow(host);
        if (!p || p->kind != Kind::Picture) return;
        HICON icon = ShellIconFor(static_cast<forms::PictureBox*>(p->control)->Picture);
        if (!icon) return;
        RECT rc;
        GetClientRect(host, &rc);
        const int size = std::min({static_cast<int>(rc.right), static_cast<int>(rc.bottom), GetSystemMetrics(SM_CXSMICON)});
        if (size <= 0) return;
        DrawIconEx(dc, (rc.right - size) / 2, (rc.bottom - size) / 2, icon, size, size, 0, nullptr, DI_NORMAL);
    }

    // The window a control's own window (or drawing) goes in: its frame or picture box, else
    // the form.
    HWND HostOf(const forms::Control& c, FormPeer& fp) {
        if (forms::Control* k = c.Container()) {
            ControlPeer* kp = PeerOf(k);
            if (kp && kp->hwnd && (kp->kind == Kind::Frame || kp->kind == Kind::Picture)) return kp->hwnd;
        }
        return fp.hwnd;
    }

    void InvalidateHost(ControlPeer& p) {
        if (HWND host = HostOf(*p.control, *p.form)) InvalidateRect(host, nullptr, TRUE);
    }

    // ---- peers

    ControlPeer* EnsurePeer(forms::Control& c, int depth = 0) {
        if (ControlPeer* p = PeerOf(&c)) return p;
        FormPeer* fp = FormOf(&c.Parent());
        if (!fp || !fp->hwnd || depth > 32) return nullptr;
        if (forms::Control* k = c.Container(); k && k != &c) EnsurePeer(*k, depth + 1);
        if (ControlPeer* p = PeerOf(&c)) return p;  // a container cycle came back to it

        auto made = std::make_unique<ControlPeer>();
        ControlPeer& p = *made;
        p.control = &c;
        p.form = fp;
        p.kind = KindOf(c);
        p.id = nextId++;
        if (p.kind == Kind::Foreign) p.factory = FindPeerFactory(c.TypeName());
        controls[&c] = std::move(made);
        controlById[p.id] = &p;
        if (p.kind == Kind::Shape || p.kind == Kind::Line) InvalidateHost(p);
        if (p.kind != Kind::None && p.kind != Kind::Shape && p.kind != Kind::Line) CreateWindowFor(p);
        return &p;
    }

    void CreateWindowFor(ControlPeer& p) {
        forms::Control& c = *p.control;
        HWND parent = HostOf(c, *p.form);
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (c.Visible() ? WS_VISIBLE : 0) | (c.Enabled() ? 0 : WS_DISABLED);
        DWORD ex = 0;
        const wchar_t* cls = L"STATIC";
        int x = TwipsToPixelsX(c.Left()), y = TwipsToPixelsY(c.Top());
        int w = std::max(0, TwipsToPixelsX(c.Width())), h = std::max(0, TwipsToPixelsY(c.Height()));
        void* param = nullptr;
        switch (p.kind) {
            case Kind::Label:
                style |= SS_NOTIFY | SS_NOPREFIX | LabelStyle(static_cast<forms::Label&>(c));
                break;
            case Kind::TextBox: {
                auto& box = static_cast<forms::TextBox&>(c);
                cls = L"EDIT";
                if (box.BorderVisible()) ex = WS_EX_CLIENTEDGE;
                style |= WS_TABSTOP | ES_AUTOHSCROLL;
                if (box.MultiLine()) style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
                if (box.Locked()) style |= ES_READONLY;
                if (box.PasswordChar() && !box.MultiLine()) style |= ES_PASSWORD;
                break;
            }
            case Kind::Button:
                cls = L"BUTTON";
                style |= WS_TABSTOP | (static_cast<forms::CommandButton&>(c).Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
                break;
            case Kind::CheckBox:
                cls = L"BUTTON";
                style |= WS_TABSTOP | BS_3STATE;
                break;
            case Kind::Option:
                cls = L"BUTTON";
                style |= WS_TABSTOP | BS_RADIOBUTTON;
                break;
            case Kind::Combo:
                cls = L"COMBOBOX";
                style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
                h += kComboDropPixels;
                break;
            case Kind::Frame:
                cls = kHostClass;
                style |= WS_CLIPCHILDREN;
                param = this;
                break;
            case Kind::Picture:
                cls = kHostClass;
                style |= WS_CLIPCHILDREN;
                if (static_cast<forms::PictureBox&>(c).Border) ex = WS_EX_CLIENTEDGE;
                param = this;
                break;
            case Kind::Image:
                style |= SS_ICON | SS_NOTIFY | SS_REALSIZECONTROL;
                break;
            case Kind::Foreign:
                break;
            default:
                return;
        }
        HWND hwnd = nullptr;
        if (p.kind == Kind::Foreign) {
            hwnd = p.factory->create(parent, c);
        } else {
            hwnd = CreateWindowExW(ex, cls, L"", style, x, y, w, h, parent,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(p.id & 0xFFFF)), instance, param);
        }
        if (!hwnd) return;
        p.hwnd = hwnd;
        byWindow[hwnd] = &p;
        if (p.kind == Kind::Frame) {
            const auto& frame = static_cast<forms::Frame&>(c);
            p.groupBox = CreateWindowExW(0, L"BUTTON", L"",
                                         WS_CHILD | WS_CLIPSIBLINGS | BS_GROUPBOX | (frame.BorderVisible() ? WS_VISIBLE : 0),
                                         0, 0, w, h, hwnd, nullptr, instance, nullptr);
            if (p.groupBox) SetWindowSubclass(p.groupBox, GroupBoxProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
        }
        if (p.kind != Kind::Frame && p.kind != Kind::Picture) SetWindowSubclass(hwnd, ChildProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
        KeepGroupBoxUnder(p);

        for (forms::Property what : {forms::Property::Font, forms::Property::Caption, forms::Property::Text,
                                     forms::Property::Selection, forms::Property::Items, forms::Property::Value,
                                     forms::Property::Appearance})
            Apply(p, what);
    }

    void ReleaseResources(ControlPeer& p) {
        if (p.icon && p.iconOwned) DestroyIcon(p.icon);
        if (p.back) DeleteObject(p.back);
        p.icon = nullptr;
        p.back = nullptr;
    }

    void Forget(ControlPeer& p) {
        if (p.hwnd) byWindow.erase(p.hwnd);
        controlById.erase(p.id);
    }

    void DestroyPeer(ControlPeer* p) {
        if (!p) return;
        // What sits in it goes first, while the model still knows its members.
        for (forms::Control* c : p->form->form->Controls())
            if (c != p->control && c->Container() == p->control) DestroyPeer(PeerOf(c));
        Forget(*p);
        if (p->kind == Kind::Shape || p->kind == Kind::Line) InvalidateHost(*p);
        if (p->hwnd && IsWindow(p->hwnd)) DestroyWindow(p->hwnd);
        ReleaseResources(*p);
        controls.erase(p->control);
    }

    // ---- model -> window

    void Apply(ControlPeer& p, forms::Property what) {
        forms::Control& c = *p.control;
        HWND h = p.hwnd;
        using forms::Property;
        if (p.kind == Kind::Shape || p.kind == Kind::Line) {
            InvalidateHost(p);
            return;
        }
        if (!h) return;
        switch (what) {
            case Property::Geometry: {
                int hh = std::max(0, TwipsToPixelsY(c.Height()));
                if (p.kind == Kind::Combo) hh += kComboDropPixels;
                const int w = std::max(0, TwipsToPixelsX(c.Width()));
                MoveWindow(h, TwipsToPixelsX(c.Left()), TwipsToPixelsY(c.Top()), w, hh, TRUE);
                if (p.groupBox) MoveWindow(p.groupBox, 0, 0, w, hh, TRUE);
                if (p.kind == Kind::Image && std::max(1, std::min(w, hh)) != p.iconSize) Apply(p, Property::Appearance);
                break;
            }
            case Property::Caption:
                if (const std::string* caption = CaptionOf(c)) SetWindowTextW(p.groupBox ? p.groupBox : h, Wide(*caption).c_str());
                break;
            case Property::Text:
                if (auto* box = dynamic_cast<forms::TextBox*>(&c); box && echo != &c && TextOf(h) != box->Text()) {
                    // Our own write is no typing: the window's version of it does not go back.
                    const forms::Control* before = echo;
                    echo = &c;
                    SetWindowTextW(h, Wide(box->Text()).c_str());
                    echo = before;
                }
                break;
            case Property::Visible:
                ShowWindow(h, c.Visible() ? SW_SHOWNA : SW_HIDE);
                break;
            case Property::Enabled:
                EnableWindow(h, c.Enabled() ? TRUE : FALSE);
                break;
            case Property::Font:
                if (c.HasFont()) {
                    HFONT font = FontFor(c.GetFont());
                    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
                    if (p.groupBox) SendMessageW(p.groupBox, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
                }
                break;
            case Property::Value:
                if (auto* check = dynamic_cast<forms::CheckBox*>(&c)) {
                    const int v = check->Value();
                    SendMessageW(h, BM_SETCHECK, v == 1 ? BST_CHECKED : v == 2 ? BST_INDETERMINATE : BST_UNCHECKED, 0);
                } else if (auto* option = dynamic_cast<forms::OptionButton*>(&c)) {
                    SendMessageW(h, BM_SETCHECK, option->Value() ? BST_CHECKED : BST_UNCHECKED, 0);
                }
                break;
            case Property::Items:
                if (auto* combo = dynamic_cast<forms::ComboBox*>(&c)) {
                    SendMessageW(h, CB_RESETCONTENT, 0, 0);
                    for (int i = 0; i < combo->ListCount(); ++i)
                        SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(combo->List(i)).c_str()));
                    SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(combo->ListIndex()), 0);
                }
                break;
            case Property::ListIndex:
                if (auto* combo = dynamic_cast<forms::ComboBox*>(&c))
                    SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(combo->ListIndex()), 0);
                break;
            case Property::Selection:
                if (auto* box = dynamic_cast<forms::TextBox*>(&c)) {
                    const std::wstring text = WideTextOf(h);
                    const int start = UnitsBefore(text, box->HeldSelStart());
                    const int end = UnitsBefore(text, box->HeldSelStart() + box->HeldSelLength());
                    SendMessageW(h, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
                }
                break;
            case Property::Appearance:
                ApplyAppearance(p);
                break;
            default:
                break;
        }
        if (p.factory && p.factory->changed) p.factory->changed(h, c, what);
    }

    void ApplyAppearance(ControlPeer& p) {
        forms::Control& c = *p.control;
        HWND h = p.hwnd;
        if (auto* label = dynamic_cast<forms::Label*>(&c)) {
            const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
            const LONG_PTR want = (style & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | static_cast<LONG_PTR>(LabelStyle(*label));
            if (want != style) SetWindowLongPtrW(h, GWL_STYLE, want);
            if (p.back) DeleteObject(p.back);
            p.back = label->BackTransparent ? nullptr : CreateSolidBrush(ColorRefOf(label->BackColor));
            InvalidateRect(h, nullptr, TRUE);
        } else if (auto* box = dynamic_cast<forms::TextBox*>(&c)) {
            const bool multi = (GetWindowLongPtrW(h, GWL_STYLE) & ES_MULTILINE) != 0;
            if (multi != box->MultiLine()) {
                // Windows fixes that style at creation: make the window again.
                Forget(p);
                DestroyWindow(h);
                p.hwnd = nullptr;
                CreateWindowFor(p);
                if (p.hwnd) controlById[p.id] = &p;
                return;
            }
            SendMessageW(h, EM_SETREADONLY, box->Locked() ? TRUE : FALSE, 0);
            if (!multi) SendMessageW(h, EM_SETPASSWORDCHAR, static_cast<WPARAM>(static_cast<unsigned char>(box->PasswordChar())), 0);
            SendMessageW(h, EM_SETLIMITTEXT, static_cast<WPARAM>(std::max(0, box->MaxLength())), 0);
            SetClientEdge(h, box->BorderVisible());
            InvalidateRect(h, nullptr, TRUE);
        } else if (auto* picture = dynamic_cast<forms::PictureBox*>(&c)) {
            if (p.back) DeleteObject(p.back);
            p.back = CreateSolidBrush(ColorRefOf(picture->BackColor));
            SetClientEdge(h, picture->Border);
            InvalidateRect(h, nullptr, TRUE);
        } else if (auto* image = dynamic_cast<forms::Image*>(&c)) {
            SetIcon(p, *image);
        } else if (auto* frame = dynamic_cast<forms::Frame*>(&c)) {
            if (p.groupBox) ShowWindow(p.groupBox, frame->BorderVisible() ? SW_SHOWNA : SW_HIDE);
        }
    }

    static void SetClientEdge(HWND h, bool on) {
        const LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
        const LONG_PTR want = on ? (ex | WS_EX_CLIENTEDGE) : (ex & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE));
        if (want == ex) return;
        SetWindowLongPtrW(h, GWL_EXSTYLE, want);
        SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }

    // System icons drawn at the image's size, so a scaled window keeps its proportions.
    void SetIcon(ControlPeer& p, const forms::Image& image) {
        const int w = std::max(0, TwipsToPixelsX(image.Width())), h = std::max(0, TwipsToPixelsY(image.Height()));
        const int size = std::max(1, std::min(w, h));
        HICON icon = nullptr;
        bool owned = false;
        if (LPCWSTR id = SystemIconFor(image.Picture)) {
            icon = static_cast<HICON>(LoadImageW(nullptr, id, IMAGE_ICON, size, size, 0));
            owned = icon != nullptr;
            if (!icon) icon = LoadIconW(nullptr, id);
        }
        SendMessageW(p.hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        if (p.icon && p.iconOwned) DestroyIcon(p.icon);
        p.icon = icon;
        p.iconOwned = owned;
        p.iconSize = size;
        // Setting an icon sizes the window to it; the model's geometry wins.
        MoveWindow(p.hwnd, TwipsToPixelsX(image.Left()), TwipsToPixelsY(image.Top()), w, h, TRUE);
    }

    // ---- stacking

    void ZOrder(ControlPeer& p, bool front) {
        if (!p.hwnd) return;
        SetWindowPos(p.hwnd, front ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        KeepGroupBoxUnder(p);
    }

    // A frame draws its box under everything put in it.
    void KeepGroupBoxUnder(ControlPeer& p) {
        if (ControlPeer* host = PeerByWindow(GetParent(p.hwnd)); host && host->groupBox)
            SetWindowPos(host->groupBox, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    // Windows are made in the design order, each under the ones before it; a control the program
    // raised or lowered before its window was made is put in its place now.
    void Restack(FormPeer& fp) {
        const auto& all = fp.form->Controls();
        bool designOrder = true;
        for (size_t i = 1; i < all.size() && designOrder; ++i) designOrder = all[i]->ZIndex() < all[i - 1]->ZIndex();
        if (designOrder) return;
        std::vector<forms::Control*> lowToHigh(all.begin(), all.end());
        std::stable_sort(lowToHigh.begin(), lowToHigh.end(),
                         [](forms::Control* a, forms::Control* b) { return a->ZIndex() < b->ZIndex(); });
        for (forms::Control* c : lowToHigh)
            if (ControlPeer* p = PeerOf(c)) ZOrder(*p, true);
    }

    // ---- focus and keys

    std::vector<ControlPeer*> TabOrder(FormPeer& fp) {
        std::vector<ControlPeer*> order;
        for (forms::Control* c : fp.form->Controls()) {
            ControlPeer* p = PeerOf(c);
            if (p && p->hwnd && c->CanFocus() && IsWindowVisible(p->hwnd) && IsWindowEnabled(p->hwnd)) order.push_back(p);
        }
        std::stable_sort(order.begin(), order.end(),
                         [](ControlPeer* a, ControlPeer* b) { return a->control->TabIndex() < b->control->TabIndex(); });
        return order;
    }

    void FocusPeer(ControlPeer& p) {
        SetFocus(p.hwnd);
        if (p.kind == Kind::TextBox) SendMessageW(p.hwnd, EM_SETSEL, 0, -1);
    }

    void MoveFocus(FormPeer& fp, bool forward) {
        const std::vector<ControlPeer*> order = TabOrder(fp);
        if (order.empty()) return;
        HWND focus = GetFocus();
        ptrdiff_t at = -1;
        for (size_t i = 0; i < order.size(); ++i)
            if (order[i]->hwnd == focus || IsChild(order[i]->hwnd, focus)) at = static_cast<ptrdiff_t>(i);
        if (at < 0)
            for (size_t i = 0; i < order.size(); ++i)
                if (order[i]->control == fp.form->ActiveControl()) at = static_cast<ptrdiff_t>(i);
        const auto n = static_cast<ptrdiff_t>(order.size());
        ptrdiff_t next;
        if (at < 0) next = forward ? 0 : n - 1;
        else next = ((forward ? at + 1 : at - 1) + n) % n;
        FocusPeer(*order[static_cast<size_t>(next)]);
    }

    // Alt plus the underlined letter of a caption acts on that control; a frame hands the focus
    // to the control that follows it in the tab order. Labels show their text as it stands (an
    // "&" in a message is just an ampersand), so they have no access keys.
    bool AccessKey(FormPeer& fp, int vk) {
        if (!((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))) return false;
        for (forms::Control* c : fp.form->Controls()) {
            ControlPeer* p = PeerOf(c);
            const std::string* caption = CaptionOf(*c);
            if (!p || !p->hwnd || !caption || p->kind == Kind::Label || AccessKeyOf(*caption) != vk) continue;
            if (!IsWindowVisible(p->hwnd) || !IsWindowEnabled(p->hwnd)) continue;
            if (p->kind == Kind::Frame) {
                for (ControlPeer* next : TabOrder(fp))
                    if (next->control->TabIndex() > c->TabIndex()) {
                        FocusPeer(*next);
                        break;
                    }
                return true;
            }
            FocusPeer(*p);
            if (p->kind == Kind::Button) Post(Event::Press, p->id);
            else if (p->kind == Kind::CheckBox) Post(Event::Toggle, p->id);
            else if (p->kind == Kind::Option) Post(Event::Select, p->id);
            return true;
        }
        return false;
    }

    static int ShiftState(const MSG& msg) {
        int shift = 0;
        if (GetKeyState(VK_SHIFT) < 0) shift |= forms::ShiftKey;
        if (GetKeyState(VK_CONTROL) < 0) shift |= forms::CtrlKey;
        if (GetKeyState(VK_MENU) < 0 || (msg.message == WM_SYSKEYDOWN && (msg.lParam & (1 << 29)))) shift |= forms::AltKey;
        return shift;
    }

    // Keys go to the form before the window that has the focus (key preview, default and cancel
    // buttons, Tab). True when the message is used up.
    bool PreTranslate(MSG& msg) {
        if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
            FormPeer* fp = FormAround(msg.hwnd);
            if (!fp) return false;
            const int vk = static_cast<int>(msg.wParam);
            const int shift = ShiftState(msg);
            if (vk == VK_TAB && !(shift & (forms::CtrlKey | forms::AltKey))) {
                MoveFocus(*fp, !(shift & forms::ShiftKey));
                return true;
            }
            // A window that takes Enter and Esc itself (a multi-line text box, the grid's cell
            // editor) gets them first and alone: they finish its own work, not the window's.
            if ((vk == VK_RETURN || vk == VK_ESCAPE) && !(shift & forms::AltKey)) {
                const LRESULT code = SendMessageW(msg.hwnd, WM_GETDLGCODE, static_cast<WPARAM>(vk),
                                                  reinterpret_cast<LPARAM>(&msg));
                if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
            }
            const uint32_t id = fp->id;
            fp->form->DispatchKeyDown(vk, shift, ControlAround(msg.hwnd));
            fp = formById.count(id) ? formById[id] : nullptr;
            if (!fp || !IsWindow(msg.hwnd)) return true;  // the key closed the window
            return (shift & forms::AltKey) && !(shift & forms::CtrlKey) && AccessKey(*fp, vk);
        }
        if (msg.message == WM_CHAR) {
            FormPeer* fp = FormAround(msg.hwnd);
            if (!fp) return false;
            const uint32_t id = fp->id;
            const int ch = fp->form->DispatchKeyPress(static_cast<int>(msg.wParam), ControlAround(msg.hwnd));
            if (!formById.count(id) || !IsWindow(msg.hwnd) || ch == 0) return true;
            msg.wParam = static_cast<WPARAM>(ch);
        }
        return false;
    }

    // ---- deferred events

    void HandleEvent(Event e, uint32_t id) {
        forms::Application* app = App();
        if (!app) return;
        if (e == Event::Close || e == Event::Activate) {
            auto it = formById.find(id);
            if (it == formById.end()) return;
            forms::Form& form = *it->second->form;
            if (e == Event::Close) app->RequestClose(form, forms::UnloadMode::ControlMenu);
            else if (form.Loaded() && form.Visible()) app->Activate(form);
            return;
        }
        auto it = controlById.find(id);
        if (it == controlById.end()) return;
        ControlPeer& p = *it->second;
        forms::Control& c = *p.control;
        switch (e) {
            case Event::Press:
                if (auto* b = dynamic_cast<forms::CommandButton*>(&c)) b->Press();
                break;
            case Event::Toggle:
                if (auto* b = dynamic_cast<forms::CheckBox*>(&c)) b->SetValue(b->Value() == 1 ? 0 : 1);
                break;
            case Event::Select:
                if (auto* b = dynamic_cast<forms::OptionButton*>(&c)) b->SetValue(true);
                break;
            case Event::ComboPick:
                if (auto* b = dynamic_cast<forms::ComboBox*>(&c)) {
                    const int i = static_cast<int>(SendMessageW(p.hwnd, CB_GETCURSEL, 0, 0));
                    if (i >= -1 && i < b->ListCount()) b->SetListIndex(i);
                }
                break;
            case Event::Click:
                if (auto handler = c.Click) handler();
                break;
            case Event::GotFocus:
                if (auto handler = c.GotFocus) handler();
                break;
            case Event::LostFocus:
                if (auto handler = c.LostFocus) handler();
                break;
            default:
                break;
        }
    }

    // ---- the loop

    bool Drain() {
        bool any = false;
        MSG msg;
        for (int n = 0; n < kBatchLimit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
            any = true;
            if (msg.message == WM_QUIT) {
                quit = true;
                continue;
            }
            if (msg.hwnd == pump) {
                if (msg.message == kEventMessage) HandleEvent(static_cast<Event>(msg.wParam), static_cast<uint32_t>(msg.lParam));
                continue;
            }
            if (PreTranslate(msg)) {
                RethrowKeptException();
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            RethrowKeptException();
        }
        RethrowKeptException();
        return any;
    }

    // ---- modal

    void DisableOthers(FormPeer& fp) {
        for (auto& [hwnd, other] : formByWindow)
            if (other != &fp && IsWindowEnabled(hwnd)) {
                EnableWindow(hwnd, FALSE);
                fp.disabled.push_back(hwnd);
            }
        fp.modal = true;
    }

    void EnableOthers(FormPeer& fp) {
        for (auto it = fp.disabled.rbegin(); it != fp.disabled.rend(); ++it)
            if (IsWindow(*it)) EnableWindow(*it, TRUE);
        fp.disabled.clear();
        fp.modal = false;
    }
};

// ---- Win32FormsBackend

Win32FormsBackend::Win32FormsBackend() : impl_(std::make_unique<Impl>()) {
    impl_->RegisterClasses();
    impl_->pump = CreateWindowExW(0, kPumpClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, impl_->instance, impl_.get());
}

Win32FormsBackend::~Win32FormsBackend() {
    std::vector<forms::Form*> left;
    for (auto& [form, peer] : impl_->forms) left.push_back(peer->form);
    for (forms::Form* f : left) FormUnloaded(*f);
    if (impl_->pump) DestroyWindow(impl_->pump);
}

void Win32FormsBackend::FormLoaded(forms::Form& form) {
    if (impl_->FormOf(&form)) return;
    auto made = std::make_unique<Impl::FormPeer>();
    Impl::FormPeer& fp = *made;
    fp.form = &form;
    fp.id = impl_->nextId++;

    DWORD style = WS_CLIPCHILDREN;
    DWORD ex = 0;
    if (form.FixedDialog) {
        style |= WS_OVERLAPPED | WS_CAPTION;
        ex |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
    } else {
        style |= WS_OVERLAPPEDWINDOW;
    }
    if (form.ControlBox) style |= WS_SYSMENU;
    else style &= ~static_cast<DWORD>(WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);

    fp.hwnd = CreateWindowExW(ex, kFormClass, Wide(form.Caption()).c_str(), style, TwipsToPixelsX(form.Left()),
                              TwipsToPixelsY(form.Top()), std::max(0, TwipsToPixelsX(form.Width())),
                              std::max(0, TwipsToPixelsY(form.Height())), nullptr, nullptr, impl_->instance, impl_.get());
    if (!fp.hwnd) ThrowLastError();
    impl_->formByWindow[fp.hwnd] = &fp;
    impl_->formById[fp.id] = &fp;
    impl_->forms[&form] = std::move(made);
    for (forms::Control* c : form.Controls()) impl_->EnsurePeer(*c);
    impl_->Restack(fp);
}

void Win32FormsBackend::FormUnloaded(forms::Form& form) {
    Impl::FormPeer* fp = impl_->FormOf(&form);
    if (!fp) return;
    impl_->EnableOthers(*fp);
    std::vector<std::unique_ptr<Impl::ControlPeer>> peers;
    for (auto it = impl_->controls.begin(); it != impl_->controls.end();) {
        if (it->second->form == fp) {
            impl_->Forget(*it->second);
            peers.push_back(std::move(it->second));
            it = impl_->controls.erase(it);
        } else {
            ++it;
        }
    }
    HWND hwnd = fp->hwnd;
    impl_->formByWindow.erase(hwnd);
    impl_->formById.erase(fp->id);
    impl_->forms.erase(&form);
    if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
    for (auto& p : peers) impl_->ReleaseResources(*p);
}

void Win32FormsBackend::ControlAdded(forms::Control& control) { impl_->EnsurePeer(control); }

void Win32FormsBackend::ControlRemoved(forms::Control& control) { impl_->DestroyPeer(impl_->PeerOf(&control)); }

void Win32FormsBackend::ControlChanged(forms::Control& control, forms::Property what) {
    Impl::ControlPeer* p = impl_->PeerOf(&control);
    if (!p) {
        // A control the form had before the window was made, or one made in Form_Load.
        const auto& all = control.Parent().Controls();
        if (std::find(all.begin(), all.end(), &control) != all.end()) impl_->EnsurePeer(control);
        return;
    }
    impl_->Apply(*p, what);
}

void Win32FormsBackend::FormChanged(forms::Form& form, forms::Property what) {
    Impl::FormPeer* fp = impl_->FormOf(&form);
    if (!fp) return;
    if (what == forms::Property::Caption) {
        SetWindowTextW(fp->hwnd, Wide(form.Caption()).c_str());
    } else if (what == forms::Property::Geometry) {
        SetWindowPos(fp->hwnd, nullptr, TwipsToPixelsX(form.Left()), TwipsToPixelsY(form.Top()),
                     std::max(0, TwipsToPixelsX(form.Width())), std::max(0, TwipsToPixelsY(form.Height())),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32FormsBackend::ShowForm(forms::Form& form, bool modal, forms::Form* owner) {
    Impl::FormPeer* fp = impl_->FormOf(&form);
    if (!fp) return;
    HWND ownerWindow = owner ? WindowOf(*owner) : nullptr;
    if (!ownerWindow && modal) {
        // A modal window stays above the window it interrupts.
        if (forms::Application* app = App(); app && app->ActiveForm() && app->ActiveForm() != &form) {
            HWND active = WindowOf(*app->ActiveForm());
            if (active && IsWindowVisible(active)) ownerWindow = active;
        }
    }
    if (ownerWindow != fp->hwnd && reinterpret_cast<HWND>(GetWindowLongPtrW(fp->hwnd, GWLP_HWNDPARENT)) != ownerWindow)
        SetWindowLongPtrW(fp->hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ownerWindow));
    if (modal && !fp->modal) impl_->DisableOthers(*fp);

    ++impl_->showing;
    struct Leave {
        int& n;
        ~Leave() { --n; }
    } leave{impl_->showing};
    ShowWindow(fp->hwnd, SW_SHOW);
    SetForegroundWindow(fp->hwnd);
    SetActiveWindow(fp->hwnd);
    // The focus goes where the program put it, else to the first stop of the tab order.
    Impl::ControlPeer* target = nullptr;
    if (forms::Control* active = form.ActiveControl()) {
        Impl::ControlPeer* p = impl_->PeerOf(active);
        if (p && p->hwnd && active->CanFocus() && IsWindowVisible(p->hwnd) && IsWindowEnabled(p->hwnd)) target = p;
    }
    if (!target) {
        const auto order = impl_->TabOrder(*fp);
        if (!order.empty()) target = order.front();
    }
    if (target) impl_->FocusPeer(*target);
    else SetFocus(fp->hwnd);
    UpdateWindow(fp->hwnd);
}

void Win32FormsBackend::HideForm(forms::Form& form) {
    Impl::FormPeer* fp = impl_->FormOf(&form);
    if (!fp) return;
    // Enable the others first, so the activation goes back to them and not to another program.
    impl_->EnableOthers(*fp);
    ShowWindow(fp->hwnd, SW_HIDE);
}

void Win32FormsBackend::EndModal(forms::Form& form) {
    if (Impl::FormPeer* fp = impl_->FormOf(&form)) impl_->EnableOthers(*fp);
}

void Win32FormsBackend::Focus(forms::Control& control) {
    Impl::ControlPeer* p = impl_->PeerOf(&control);
    if (!p || !p->hwnd) return;
    p->form->lastFocus = p->hwnd;
    // A window of the control's own (the grid's cell editor) keeps the focus it has: taking it
    // away would end the editing.
    if (IsChild(p->hwnd, GetFocus())) return;
    if (IsWindowVisible(p->form->hwnd) && IsWindowVisible(p->hwnd) && IsWindowEnabled(p->hwnd)) impl_->FocusPeer(*p);
}

void Win32FormsBackend::ZOrder(forms::Control& control, bool front) {
    if (Impl::ControlPeer* p = impl_->PeerOf(&control)) impl_->ZOrder(*p, front);
}

bool Win32FormsBackend::ReadSelection(const forms::Control& box, int& start, int& length, int& caret) {
    Impl::ControlPeer* p = impl_->PeerOf(&box);
    if (!p || !p->hwnd || p->kind != Kind::TextBox) return false;
    DWORD from = 0, to = 0;
    SendMessageW(p->hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    // The edit window says where its selection is, not which end the caret is at: the caret
    // stands where the character at the start is drawn when the selection was made backwards.
    bool atStart = false;
    POINT at;
    if (from < to && GetFocus() == p->hwnd && GetCaretPos(&at)) {
        const LRESULT pos = SendMessageW(p->hwnd, EM_POSFROMCHAR, from, 0);
        atStart = pos != -1 && std::abs(at.x - static_cast<short>(LOWORD(pos))) <= 1;
    }
    const std::wstring text = WideTextOf(p->hwnd);
    start = CharsBefore(text, static_cast<int>(from));
    length = CharsBefore(text, static_cast<int>(to)) - start;
    caret = atStart ? start : start + length;
    return true;
}

void Win32FormsBackend::RemoveCloseMenuItems(forms::Form& form) {
    HWND hwnd = WindowOf(form);
    if (!hwnd) return;
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (!menu) return;
    const int count = GetMenuItemCount(menu);
    // The close entry is the last item on Windows; Wine puts a separator and "About Wine" after
    // it, so count from where the close entry really is.
    int last = count - 1;
    for (int i = 0; i < count; ++i)
        if (GetMenuItemID(menu, i) == SC_CLOSE) last = i;
    if (last >= 0) RemoveMenu(menu, static_cast<UINT>(last), MF_BYPOSITION);
    if (last >= 1) RemoveMenu(menu, static_cast<UINT>(last - 1), MF_BYPOSITION);
    DrawMenuBar(hwnd);
}

uintptr_t Win32FormsBackend::Handle(const forms::Form& form) { return reinterpret_cast<uintptr_t>(WindowOf(form)); }

forms::Size Win32FormsBackend::MeasureText(const forms::Font& font, const std::string& text, bool wordWrap,
                                            double wrapWidth) {
    HDC dc = GetDC(nullptr);
    if (!dc) return {};
    HGDIOBJ old = SelectObject(dc, FontFor(font));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const std::wstring wide = Wide(text);
    RECT r{0, 0, wordWrap ? std::max(1, TwipsToPixelsX(wrapWidth)) : 0, 0};
    if (wide.empty()) {
        r.right = 0;
        r.bottom = tm.tmHeight;
    } else {
        // Tabs were replaced by the toolkit already; the label draws with the same flags.
        const UINT flags = DT_CALCRECT | DT_NOPREFIX | DT_LEFT | DT_TOP | (wordWrap ? DT_WORDBREAK : 0);
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, flags);
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return {PixelsToTwipsX(r.right - r.left), PixelsToTwipsY(r.bottom - r.top)};
}

double Win32FormsBackend::FontSizeTaken(const std::string& face, bool bold, double requested) {
    const int dpi = ScreenDpiY();
    int height = static_cast<int>(std::lround(requested * dpi / 72.0));
    if (height < 1) height = 1;
    HFONT font = CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             Wide(face).c_str());
    if (!font) return requested;
    HDC dc = GetDC(nullptr);
    TEXTMETRICW tm{};
    bool ok = false;
    if (dc) {
        HGDIOBJ old = SelectObject(dc, font);
        ok = GetTextMetricsW(dc, &tm) != 0;
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
    }
    DeleteObject(font);
    if (!ok) return requested;
    // Bitmap faces snap to the sizes they have, TrueType faces to whole pixels.
    return (tm.tmHeight - tm.tmInternalLeading) * 72.0 / dpi;
}

forms::Size Win32FormsBackend::InnerSize(const forms::Control& control) {
    HWND hwnd = WindowOf(control);
    RECT rc;
    if (!hwnd || !GetClientRect(hwnd, &rc)) return {control.Width(), control.Height()};
    return {PixelsToTwipsX(rc.right - rc.left), PixelsToTwipsY(rc.bottom - rc.top)};
}

forms::Size Win32FormsBackend::InnerSize(const forms::Form& form) {
    HWND hwnd = WindowOf(form);
    RECT rc;
    if (!hwnd || !GetClientRect(hwnd, &rc)) return {form.Width(), form.Height()};
    return {PixelsToTwipsX(rc.right - rc.left), PixelsToTwipsY(rc.bottom - rc.top)};
}

void Win32FormsBackend::Pump(int64_t waitMs, platform::Clock& clock) {
    if (impl_->Drain() || waitMs == 0) return;
    DWORD timeout = INFINITE;
    if (waitMs > 0) {
        const int64_t real = clock.RealMsFor(waitMs);
        if (real <= 0) {
            // A clock that moves only when told to (or faster than a millisecond can show):
            // waiting means moving it.
            clock.Sleep(static_cast<uint32_t>(std::min<int64_t>(waitMs, 0x7FFFFFFF)));
            impl_->Drain();
            return;
        }
        timeout = static_cast<DWORD>(std::min<int64_t>(real, 0x7FFFFFFE));
    }
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    impl_->Drain();
}

void Win32FormsBackend::Wake() { PostMessageW(impl_->pump, kWakeMessage, 0, 0); }

int Win32FormsBackend::SystemMessageBox(forms::Form* owner, const std::string& prompt, int style,
                                        const std::optional<std::string>& title) {
    HWND ownerWindow = owner ? WindowOf(*owner) : nullptr;
    std::string caption = title ? *title : (App() ? App()->Title : std::string());
    const int result = MessageBoxW(ownerWindow, Wide(prompt).c_str(), Wide(caption).c_str(), static_cast<UINT>(style));
    RethrowKeptException();
    return result;
}

HWND Win32FormsBackend::WindowOf(const forms::Form& form) const {
    auto it = impl_->forms.find(&form);
    return it == impl_->forms.end() ? nullptr : it->second->hwnd;
}

HWND Win32FormsBackend::WindowOf(const forms::Control& control) const {
    auto it = impl_->controls.find(&control);
    return it == impl_->controls.end() ? nullptr : it->second->hwnd;
}

bool Win32FormsBackend::QuitRequested() const { return impl_->quit; }

}  // namespace updexar::win32
