// SPDX-License-Identifier: GPL-3.0-or-later
// Sortilex's file work measured beside the system's own tools on the same files, so that the
// figures are ratios to a physical limit rather than bare times. scripts/bench.sh makes the
// files and runs this.
//
//   Bench --files DIR    benchmarks (Google Benchmark) on DIR/scan/big.mis (no summary block, no
//                        player record: every read is a full scan) and DIR/catalogue/ (10,000
//                        missions); each reference command runs as a child process
//   Bench --memory FILE  scans and rewrites FILE, then prints the process's peak resident memory
//   Bench --select FILE  selects FILE in the main window (briefing and callsign), then prints the
//                        milliseconds it took and the peak resident memory
//   Bench --registry-memory PREFIX
//                        looks the game's key up in PREFIX/system.reg, then prints the peak
//                        resident memory
//   Bench --batch-dialog DIR
//                        lists the missions of DIR in the main window, picks "Set callsign in
//                        all missions..." from the list's menu, and prints the milliseconds until
//                        its dialog shows
// With --files, DIR/prefix-bigreg holds a 64 MiB system.reg for the registry benchmark.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/LauncherDlg.h"
#include "catalogue/Catalogue.h"
#include "missionfile/FileStreams.h"
#include "missionfile/MissionText.h"
#include "os/Files.h"
#include "os/Registry.h"
#include "tests/fake/FakeHost.h"

extern char** environ;

namespace {

std::string g_dir;

// Runs a shell command with its output thrown away, and waits for it.
void Run(const std::string& command) {
    std::vector<std::string> args = {"/bin/sh", "-c", command + " >/dev/null"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0) std::abort();
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
}

// The main window on the folder of one mission, with that mission selected.
struct Window {
    explicit Window(const std::string& path) {
        const size_t slash = path.find_last_of('/');
        host.Open(dlg);
        dlg.m_strCustomDir = path.substr(0, slash);
        dlg.m_strSelectedMission = path.substr(slash + 1);
        dlg.m_bReselect = 1;
        dlg.m_nCategory = sx::kCustomMissions;
        dlg.RefreshMissionList();
        if (dlg.SelectedMission() != dlg.m_strSelectedMission) std::abort();
    }
    sx::FakeHost host;
    CLauncherDlg dlg;
};

// The two loads every selection makes: briefing, then callsign.
void Scan(Window& w) {
    w.dlg.LoadBriefing();
    w.dlg.LoadCallsign();
}

// The rewrite as "Change" makes it: a complete copy, flushed to disk, put in the file's place.
void Rewrite(const std::string& path) {
    const auto r = sx::os::ReplaceFileSafely(
        path,
        [](sx::os::InputFile& in, sx::os::OutputFile& out) {
            sx::FileSource src(in);
            sx::FileSink sink(out);
            return sx::CopyWithCallsign(src, sink, "Bench");
        },
        nullptr);
    if (!r.ok) std::abort();
}

void BM_Scan(benchmark::State& state) {
    Window w(g_dir + "/scan/big.mis");
    for (auto _ : state) Scan(w);
}
void BM_ScanReference_wc(benchmark::State& state) {
    for (auto _ : state) Run("wc -l '" + g_dir + "/scan/big.mis'");
}
void BM_Rewrite(benchmark::State& state) {
    for (auto _ : state) Rewrite(g_dir + "/scan/big.mis");
}
void BM_RewriteReference_cp_sync(benchmark::State& state) {
    for (auto _ : state)
        Run("cp '" + g_dir + "/scan/big.mis' '" + g_dir + "/copy.mis' && sync '" + g_dir +
            "/copy.mis'");
}
void BM_Catalogue(benchmark::State& state) {
    sx::FakeHost host;
    CLauncherDlg dlg;
    host.Open(dlg);
    dlg.m_strCustomDir = g_dir + "/catalogue";
    dlg.m_nCategory = sx::kCustomMissions;
    for (auto _ : state) dlg.RefreshMissionList();
    if (dlg.m_listMissions.GetCount() != 10000) std::abort();
}
void BM_CatalogueReference_ls(benchmark::State& state) {
    for (auto _ : state) Run("ls -f '" + g_dir + "/catalogue'");
}

void BM_Registry(benchmark::State& state) {
    ::setenv("WINEPREFIX", (g_dir + "/prefix-bigreg").c_str(), 1);
    for (auto _ : state) {
        sx::os::RegistryKey key;
        if (!key.OpenMachineKey(sx::kGameKey, {"", "Path"})) std::abort();
    }
}
void BM_RegistryReference_grep(benchmark::State& state) {
    for (auto _ : state)
        Run("LC_ALL=C grep -Fc '[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App "
            "Paths\\\\vnt.exe]' '" +
            g_dir + "/prefix-bigreg/system.reg'");
}

long PeakKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

}  // namespace

BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ScanReference_wc)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_Rewrite)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_RewriteReference_cp_sync)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_Catalogue)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_CatalogueReference_ls)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_Registry)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_RegistryReference_grep)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--memory") == 0) {
        {
            Window w(argv[2]);
            Scan(w);
        }
        Rewrite(argv[2]);
        std::printf("%ld\n", PeakKiB());
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--select") == 0) {
        const auto start = std::chrono::steady_clock::now();
        { Window w(argv[2]); }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        std::printf("%lld %ld\n", static_cast<long long>(ms.count()), PeakKiB());
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--registry-memory") == 0) {
        ::setenv("WINEPREFIX", argv[2], 1);
        sx::os::RegistryKey key;
        if (!key.OpenMachineKey(sx::kGameKey, {"", "Path"})) return 1;
        std::printf("%ld\n", PeakKiB());
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--batch-dialog") == 0) {
        sx::FakeHost host;
        CLauncherDlg dlg;
        host.Open(dlg);
        dlg.m_strCustomDir = argv[2];
        dlg.m_nCategory = sx::kCustomMissions;
        dlg.RefreshMissionList();
        std::chrono::steady_clock::time_point shown{};
        host.ScriptDialog(sx::IDD_BATCH_CALLSIGN, [&shown](sx::FakeWindow&) { shown = std::chrono::steady_clock::now(); });
        host.AnswerControlMenu(sx::IDM_SET_CALLSIGN_ALL);
        auto& wnd = static_cast<sx::FakeWindow&>(*dlg.GetWindow());
        const auto start = std::chrono::steady_clock::now();
        wnd.OpenControlMenu(sx::IDC_MISSION_LIST);
        std::printf("%.1f\n", std::chrono::duration<double, std::milli>(shown - start).count());
        return shown == std::chrono::steady_clock::time_point{} ? 1 : 0;
    }
    if (argc < 3 || std::strcmp(argv[1], "--files") != 0) {
        std::fprintf(stderr,
                     "usage: Bench --files DIR [benchmark options] | Bench --memory FILE | "
                     "Bench --select FILE | Bench --registry-memory PREFIX | Bench --batch-dialog DIR\n");
        return 2;
    }
    g_dir = argv[2];
    argv[2] = argv[0];
    int n = argc - 2;
    benchmark::Initialize(&n, argv + 2);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
