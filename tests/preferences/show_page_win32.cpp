// Shows the preferences page in a real window, filled from sample settings and playlists, for
// a look at it (see show_page.sh, which photographs it under Xvfb).
//
//   tessel_show_preferences_page.exe [seconds]   (default 30)
//
// The port list holds the sample PC's ports (two phones and a USB adapter) and is shown open.
// Prints "ready X Y WIDTH HEIGHT", the page's place on the screen, once it has been painted.

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "host/preferences_dialog.h"
#include "host/settings.h"
#include "support/host_access.h"
#include "tests/common/sample_ports.h"
#include "tests/preferences/page_fixture.h"

namespace {

void pump_for(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(20);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;

    tessel::test::fake_host player;
    tessel::test::named_playlists playlists;
    playlists.names = {"Default", "Road trip", "Jazz"};
    player.add_service(corvina::class_guids::playlist_service, playlists);
    tessel::test::host_guard guard(player);
    tessel::host().instance = GetModuleHandleW(nullptr);
    tessel::test::recorded_link link;
    tessel::test::sample_ports pc;
    tessel::replace_preferences_link_actions(&link);

    tessel::cfg_com_port.set("COM5");
    tessel::cfg_music_directory.set("C:\\Music;D:\\Songs");
    tessel::cfg_auto_connect = 1;
    tessel::cfg_use_specific_playlist = 1;
    tessel::cfg_specific_playlist = 1;

    const HWND frame =
        CreateWindowExW(0, L"Static", L"Preferences: Ambrel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20,
                        20, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    const auto page = static_cast<HWND>(tessel::create_preferences_dialog(frame));
    if (frame == nullptr || page == nullptr) {
        std::fprintf(stderr, "could not create the page (error %lu)\n", GetLastError());
        return 1;
    }
    // Fit the frame around the page.
    RECT area{};
    GetWindowRect(page, &area);
    area.right -= area.left;
    area.bottom -= area.top;
    area.left = area.top = 0;
    AdjustWindowRect(&area, WS_OVERLAPPEDWINDOW, FALSE);
    SetWindowPos(frame, nullptr, 0, 0, area.right - area.left, area.bottom - area.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(page, SW_SHOW);
    UpdateWindow(frame);

    pump_for(500);
    SendDlgItemMessageW(page, 1004, CB_SHOWDROPDOWN, TRUE, 0);
    pump_for(1000);
    RECT shown{};
    GetWindowRect(page, &shown);
    std::printf("ready %ld %ld %ld %ld\n", shown.left, shown.top, shown.right - shown.left,
                shown.bottom - shown.top);
    std::fflush(stdout);
    pump_for(static_cast<DWORD>(seconds) * 1000);
    DestroyWindow(page);
    DestroyWindow(frame);
    tessel::replace_preferences_link_actions(nullptr);
    return 0;
}
