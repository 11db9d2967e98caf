// SPDX-License-Identifier: GPL-3.0-or-later
// A substitute for the game, for the demo installation and the tests.
//
//   vnt.exe               the game on its own
//   vnt.exe -m PATH       the game straight into the mission at PATH
//
// It shows a small window with the mission's name and an "End mission" button; with
// SORTILEX_VNT_SECONDS set it shows nothing and ends by itself after that many seconds. On exit it
// writes Data\Missions\Results.txt under its working folder, as the game does: random losses,
// or the lines SORTILEX_VNT_RESULTS holds (for tests that check what the table shows). When
// SORTILEX_VNT_LOG names a file, it appends one line there: its working folder and its
// arguments, separated by tabs (on Windows a second line: "command line", a tab, and the command
// line as Windows hands it over). SORTILEX_VNT_END=crash or =killed makes it end the way a broken
// game would: by aborting, or killed by a signal, without writing results.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#endif

namespace {

const char* const kListKeys[] = {
    "AlliedArmor", "AlliedArtillery", "AlliedFlak", "AlliedOther",
    "AxisArmor",   "AxisArtillery",   "AxisFlak",   "AxisOther",
};

void WriteResults() {
    std::mt19937 rng(
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::filesystem::path folder = std::filesystem::path("Data") / "Missions";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::ofstream out(folder / "Results.txt", std::ios::binary | std::ios::trunc);
    if (const char* given = std::getenv("SORTILEX_VNT_RESULTS"); given != nullptr) {
        for (const char* c = given; *c != '\0'; ++c)
            out << (*c == '\n' ? "\r\n" : std::string(1, *c));
        return;
    }
    const int fighters = pick(0, 14), bombers = pick(0, 9);
    out << "[Mission Results]\r\n";
    out << "Fighters: " << fighters << "\r\n";
    out << "FightersByPlayer: " << pick(0, fighters) << "\r\n";
    out << "Bombers: " << bombers << "\r\n";
    out << "BombersByPlayer: " << pick(0, bombers) << "\r\n";
    // Each loss line comes in most runs, so a few runs show every one of them.
    for (const char* key : kListKeys) {
        if (pick(0, 3) == 0) continue;
        const int lost = pick(1, 8);
        out << key << ": " << lost << "\r\n";
        if (pick(0, 1)) out << key << "ByPlayer: " << pick(0, lost) << "\r\n";
    }
    out << "Duration: " << pick(5, 90) << " min\r\n";
}

void Log(int argc, char** argv) {
    const char* log = std::getenv("SORTILEX_VNT_LOG");
    if (log == nullptr || *log == '\0') return;
    std::error_code ec;
    std::string line = std::filesystem::current_path(ec).string();
    for (int i = 0; i < argc; ++i) line += std::string("\t") + argv[i];
#ifdef _WIN32
    // And the command line as Windows hands it over, quotes and all.
    line += std::string("\ncommand line\t") + GetCommandLineA();
#endif
    if (FILE* f = std::fopen(log, "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

std::string MissionName(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "-m") {
            std::string path = argv[i + 1];
            const size_t sep = path.find_last_of("\\/");
            return sep == std::string::npos ? path : path.substr(sep + 1);
        }
    }
    return {};
}

#ifdef _WIN32
constexpr int kEndButton = 1;

LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if ((msg == WM_COMMAND && LOWORD(wp) == kEndButton) || msg == WM_CLOSE) {
        DestroyWindow(wnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

void ShowWindowUntilEnded(const std::string& mission) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = inst;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "VantorraSubstitute";
    RegisterClassA(&wc);
    HWND wnd =
        CreateWindowA("VantorraSubstitute", "Vantorra", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                      CW_USEDEFAULT, CW_USEDEFAULT, 320, 140, nullptr, nullptr, inst, nullptr);
    const std::string text = mission.empty() ? std::string("No mission") : "Mission: " + mission;
    CreateWindowA("STATIC", text.c_str(), WS_CHILD | WS_VISIBLE, 16, 16, 280, 20, wnd, nullptr,
                  inst, nullptr);
    CreateWindowA("BUTTON", "End mission", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 100, 52, 110,
                  28, wnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEndButton)), inst,
                  nullptr);
    ShowWindow(wnd, SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
#else
void ShowWindowUntilEnded(int argc, char** argv, const std::string& mission) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Vantorra"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(mission.empty() ? QStringLiteral("No mission")
                                                 : QStringLiteral("Mission: ") +
                                                       QString::fromLocal8Bit(mission.c_str())));
    auto* end = new QPushButton(QStringLiteral("End mission"));
    layout->addWidget(end);
    QObject::connect(end, &QPushButton::clicked, &window, &QWidget::close);
    window.resize(320, 120);
    window.show();
    app.exec();
}
#endif

}  // namespace

int main(int argc, char** argv) {
    Log(argc, argv);
    const std::string mission = MissionName(argc, argv);
    if (const char* s = std::getenv("SORTILEX_VNT_SECONDS"); s != nullptr && *s != '\0') {
        std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(s)));
    } else {
#ifdef _WIN32
        ShowWindowUntilEnded(mission);
#else
        ShowWindowUntilEnded(argc, argv, mission);
#endif
    }
    if (const char* end = std::getenv("SORTILEX_VNT_END")) {
        if (std::string(end) == "crash") std::abort();
#ifndef _WIN32
        if (std::string(end) == "killed") std::raise(SIGKILL);
#endif
    }
    WriteResults();
    return 0;
}
