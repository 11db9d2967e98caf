// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/win32/Win32Host.h"

#include "hosts/win32/Win32DialogWindow.h"

#include <commctrl.h>
#include <cderr.h>
#include <commdlg.h>

#include <vector>

#include "ui/Constants.h"

namespace sx::win32 {

namespace {

HWND HandleOf(ui::IDialogWindow* window) {
    auto* w = dynamic_cast<Win32DialogWindow*>(window);
    return w ? w->Handle() : nullptr;
}

// The dialog a keyboard message is for, so that the dialog manager can move the focus and turn
// Enter and Escape into the dialog's commands.
HWND DialogOf(HWND hwnd) {
    HWND root = hwnd ? ::GetAncestor(hwnd, GA_ROOT) : nullptr;
    for (ui::IDialogWindow* w : ui::OpenDialogWindows())
        if (HandleOf(w) == root) return root;
    return nullptr;
}

}  // namespace

Win32Host::Win32Host() {
    // The controls of common controls 6, which the manifest asks for.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
}

std::unique_ptr<ui::IDialogWindow> Win32Host::CreateDialogWindow(ui::CDialog& dlg,
                                                                 ui::IDialogWindow* owner) {
    auto window = std::make_unique<Win32DialogWindow>(dlg, HandleOf(owner));
    if (window->Handle() == nullptr) return nullptr;
    return window;
}

namespace {
// Handles the messages waiting now; false when the program is to end, or done() holds.
bool HandleWaiting(const std::function<bool()>& done) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        HWND dialog = DialogOf(msg.hwnd);
        if (dialog == nullptr || !::IsDialogMessageW(dialog, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done && done()) return false;
    }
    return true;
}
}  // namespace

void Win32Host::RunUntil(const std::function<bool()>& done, const std::function<bool()>& idle) {
    while (!done()) {
        // Wakes at least every 25 ms, for conditions that no message changes; with work to do,
        // only the messages that wait are handled between its pieces.
        const bool busy = idle && idle();
        ::MsgWaitForMultipleObjectsEx(0, nullptr, busy ? 0 : 25, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (!HandleWaiting(done)) return;
    }
}

void Win32Host::PumpEvents() {
    HandleWaiting(nullptr);
}

int Win32Host::ShowMessageBox(ui::IDialogWindow* owner, const std::string& text,
                              const std::string& caption, unsigned type) {
    UINT style = (type & 0xF) == ui::MbYesNo ? MB_YESNO : MB_OK;
    if (type & ui::MbDefaultSecond) style |= MB_DEFBUTTON2;
    // Over its owner, which the box disables while it shows; without one, a window of its own
    // that comes to the front.
    HWND hwnd = HandleOf(owner);
    if (hwnd == nullptr) style |= MB_SETFOREGROUND;
    const int answer = ::MessageBoxA(hwnd, text.c_str(), caption.c_str(), style);
    if (answer == IDYES) return ui::IdYes;
    if (answer == IDNO) return ui::IdNo;
    return ui::IdOk;
}

std::optional<std::string> Win32Host::OpenFileDialog(ui::IDialogWindow* owner,
                                                     const ui::FileDialogRequest& request) {
    // "Name (*.ext)|*.ext||" -> "Name (*.ext)\0*.ext\0\0".
    std::string filter = request.filter;
    for (char& c : filter)
        if (c == '|') c = '\0';
    std::vector<char> file(32768, '\0');
    request.fileName.copy(file.data(), file.size() - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    // The dialog disables its owner while it shows, as every modal window of the program does.
    ofn.hwndOwner = HandleOf(owner);
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = request.initialDir.empty() ? nullptr : request.initialDir.c_str();
    ofn.lpstrDefExt = request.defaultExt.empty() ? nullptr : request.defaultExt.c_str();
    ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    // The program's options as it gives them; the look of today's dialog is the framework's.
    ofn.Flags = request.flags | OFN_EXPLORER;
    const BOOL chosen = request.open ? ::GetOpenFileNameA(&ofn) : ::GetSaveFileNameA(&ofn);
    if (!chosen) return std::nullopt;
    return std::string(file.data());
}

ui::IHost::ChosenFiles Win32Host::OpenFilesDialog(ui::IDialogWindow* owner, const ui::FileDialogRequest& request) {
    ChosenFiles chosen;
    std::string filter = request.filter;
    for (char& c : filter)
        if (c == '|') c = '\0';
    // Room for a few thousand names: the folder, then each name, each ending in a NUL.
    std::vector<char> file(1 << 17, '\0');
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = HandleOf(owner);
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = request.initialDir.empty() ? nullptr : request.initialDir.c_str();
    ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    ofn.Flags = request.flags | OFN_ALLOWMULTISELECT | OFN_EXPLORER;
    if (!::GetOpenFileNameA(&ofn)) {
        chosen.tooMany = ::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL;
        return chosen;
    }
    // One file: its full path. Several: the folder, then the names.
    const std::string first = file.data();
    const char* next = file.data() + first.size() + 1;
    if (*next == '\0') {
        chosen.paths.push_back(first);
        return chosen;
    }
    const std::string folder = first.back() == '\\' ? first : first + "\\";
    for (; *next != '\0'; next += std::char_traits<char>::length(next) + 1) chosen.paths.push_back(folder + next);
    return chosen;
}

std::string Win32Host::AppName() const {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    name = name.substr(name.find_last_of("\\/") + 1);
    return name.substr(0, name.find_last_of('.'));
}

}  // namespace sx::win32
