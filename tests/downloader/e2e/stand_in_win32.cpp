// The stand-in game's Win32 window: key messages are translated as the client's own message loop
// would (TranslateMessage) and fed to the chat (GameChat.h). A key event without a scan code, or a
// bare character (VK_PACKET), shows in the transcript as "<no key>": the client reads keys.
#include "GameChat.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <thread>

namespace {

standin::Options opt;
standin::Chat* chat = nullptr;
constexpr UINT TakeFocusBack = WM_APP;

LRESULT CALLBACK windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (opt.recorder) {
            chat->note("vk " + std::to_string(wp));
        } else if (wp == VK_PACKET || ((lp >> 16) & 0xFF) == 0) {
            chat->note("<no key>");
        } else if (wp == VK_RETURN && chat->enter() == 2) {
            if (!opt.retitle.empty()) {
                SetWindowTextA(w, opt.retitle.c_str());
                standin::logDone(opt, "retitled");
            }
            if (opt.dropFocus) {
                SetFocus(nullptr);
                standin::logDone(opt, "dropped");
            }
        }
        break;
    case WM_CHAR:
        if (!opt.recorder && wp != L'\r') {
            chat->character(static_cast<unsigned>(wp));
        }
        return 0;
    case WM_SETFOCUS:
        chat->ready();
        break;
    case WM_KILLFOCUS:
        if (opt.stealFocus) {
            PostMessageW(w, TakeFocusBack, 0, 0);
        }
        break;
    case TakeFocusBack:
        SetForegroundWindow(w);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

} // namespace

int main(int argc, char** argv) {
    if (!standin::parse(argc, argv, opt)) {
        return 2;
    }
    standin::Chat game(opt);
    chat = &game;
    WNDCLASSW cls{};
    cls.lpfnWndProc = windowProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszClassName = L"StandInGame";
    RegisterClassW(&cls);
    // The titles in the ANSI code page, as the command line came.
    const HWND top = CreateWindowExA(0, "StandInGame", (opt.wineDesktop ? opt.desktopTitle : opt.title).c_str(),
                                     WS_OVERLAPPEDWINDOW, 40, 40, 480, 320, nullptr, nullptr, cls.hInstance, nullptr);
    if (opt.wineDesktop) {
        CreateWindowExA(0, "STATIC", opt.title.c_str(), WS_CHILD | WS_VISIBLE, 10, 10, 400, 260, top, nullptr,
                        cls.hInstance, nullptr);
    }
    if (opt.stealFocus) {
        std::thread([top] { standin::watchFocus(opt, [top] { return GetForegroundWindow() == top; }); }).detach();
    }
    ShowWindow(top, opt.iconic ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
    if (opt.iconic) {
        game.ready();
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
