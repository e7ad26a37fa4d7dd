// Entry point of the update utility. For now it shows which product its file name selects and a
// few facts the platform reports; the real start-up and main window take its place later.
#include <windows.h>

#include <exception>
#include <string>

#include "platform/platform.h"
#include "platform/strings.h"
#include "win32/wide.h"
#include "win32/win32_platform.h"

namespace {

const wchar_t kClassName[] = L"UpdexarStartWindow";
std::wstring g_facts;

// The last character of the file name without its extension, upper-cased: UpdateG.exe -> "G".
std::string ProductLetter(const std::string& programPath) {
    std::string name = updexar::PathFileName(programPath);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    size_t last = name.size();
    while (last > 0 && (static_cast<unsigned char>(name[last - 1]) & 0xC0) == 0x80) --last;
    if (last == 0) return {};
    return updexar::ToUpper(name.substr(last - 1));
}

std::wstring Facts() {
    auto& os = updexar::platform::Os();
    const std::string letter = ProductLetter(os.system->ProgramPath());
    const std::string commandLine = os.system->CommandLine();
    std::string text = "Product: " + (letter.empty() ? std::string("?") : letter) + "\n";
    text += "System directory: " + os.system->SystemDirectory() + "\n";
    text += "Computer name: " + os.system->ComputerName() + "\n";
    text += "Command line: " + (commandLine.empty() ? std::string("(none)") : commandLine);
    return updexar::win32::Wide(text);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            RECT area;
            GetClientRect(window, &area);
            InflateRect(&area, -12, -12);
            auto* old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(dc, TRANSPARENT);
            DrawTextW(dc, g_facts.c_str(), static_cast<int>(g_facts.size()), &area,
                      DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
            SelectObject(dc, old);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    updexar::platform::InstallPlatform(&updexar::win32::Win32Platform());
    try {
        g_facts = Facts();
    } catch (const std::exception& e) {
        // Nothing here is worth not starting for; show what failed instead.
        g_facts = updexar::win32::Wide(std::string("Start-up facts unavailable: ") + e.what());
    }

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) return 1;

    HWND window = CreateWindowExW(0, kClassName, L"Updexar", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 560, 200, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
