// SPDX-License-Identifier: GPL-3.0-or-later
// The mission list's own menu through the window: its entries, one callsign for the whole list
// (the dialog, the refusals, the progress window and its Cancel, the summary and the list
// afterwards), the list's folder handed to the desktop's file manager; and the same callsign
// batch from the command line.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "app/BatchDlg.h"
#include "base/Text.h"
#include "os/Files.h"
#include "os/Process.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sxtest;

namespace {

constexpr const char* kBatchBadCallsign =
    "A callsign must be one line of text made of characters\nthat mission files can hold.\nNo "
    "mission has been changed.";

// The control menu's last showing: each entry's text, "(off)" after a disabled one.
Items LastMenu(const FakeHost& host) {
    Items texts;
    for (const ui::MenuEntry& e : host.controlMenus.back())
        texts.push_back(e.text + (e.enabled ? "" : " (off)"));
    return texts;
}

TEST(ListMenu, OneCallsignForTheWholeList) {
    const struct {
        const char* what;
        std::string typed;
        bool exact;  // the typed text fits the mission files' code page
        bool ok;     // OK, else Cancel
        const char* counted;  // the dialog's count once the typed callsign is counted
        const char* summary;  // nullptr: no box
        const char* field;    // the callsign field afterwards
    } rows[] = {
        {"a new callsign", "Neu", true, true, "2 of them hold",
         "Callsign set in 2 missions.\n1 already had it.\n1 has no player record.", "Neu"},
        {"cancelled", "Neu", true, false, "2 of them hold", nullptr, "Typed"},
        {"a tab in it", "Neu\tX", true, true, "3 of them hold", kBatchBadCallsign, "Typed"},
        {"characters the missions cannot hold", "Neu?", false, true, "3 of them hold", kBatchBadCallsign, "Typed"},
    };
    const std::string undone = " another callsign now. This cannot be undone.";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l;
        WriteFile(l.Missions("a.mis"), Mission("A.", "Old"));
        WriteFile(l.Missions("b.mis"), Mission("B.", "Neu"));
        WriteFile(l.Missions("c.mis"), "no record\r\n");
        WriteFile(l.Missions("d.mis"), Mission("D.", "Other"));
        FakeWindow& w = l.Open();
        w.SelectListItem(IDC_MISSION_LIST, 3);
        w.Type(IDC_CALLSIGN, "Typed");  // typed, not yet changed: the dialog starts from it
        Items shown, counted;
        l.host.ScriptDialog(IDD_BATCH_CALLSIGN, [&](FakeWindow& d) {
            // The dialog shows before the missions are counted, and counts while it waits.
            shown = {d.Text(IDC_BATCH_COUNT), d.Text(IDC_BATCH_CALLSIGN), d.Text(IDC_BATCH_OTHER)};
            l.host.RunIdle();
            counted.push_back(d.Text(IDC_BATCH_OTHER));
            // Each edit counts afresh, for the callsign typed.
            d.Type(IDC_BATCH_CALLSIGN, row.typed, row.exact);
            counted.push_back(d.Text(IDC_BATCH_OTHER));
            l.host.RunIdle();
            counted.push_back(d.Text(IDC_BATCH_OTHER));
            d.Click(row.ok ? ui::IdOk : ui::IdCancel);
        });
        l.host.AnswerControlMenu(IDM_SET_CALLSIGN_ALL);
        w.OpenControlMenu(IDC_MISSION_LIST);

        EXPECT_EQ(LastMenu(l.host), (Items{"&Install missions...", "Set callsign in &all missions...",
                                           "Open this &folder", "Move to &trash"}));
        EXPECT_EQ(shown, (Items{"Callsign for the 4 missions of this list:", "Typed",
                                "Counting the missions that hold another callsign..."}));
        EXPECT_EQ(counted, (Items{"3 of them hold" + undone, "Counting the missions that hold another callsign...",
                                  row.counted + undone}));
        if (row.summary) {
            EXPECT_TRUE(OneMessage(l.host, row.summary));
        } else {
            EXPECT_TRUE(NoMessage(l.host));
        }
        const bool set = row.summary && row.field == row.typed;
        EXPECT_EQ(ReadFile(l.Missions("a.mis")), Mission("A.", set ? row.typed : "Old"));
        EXPECT_EQ(ReadFile(l.Missions("d.mis")), Mission("D.", set ? row.typed : "Other"));
        EXPECT_EQ(ReadFile(l.Missions("c.mis")), "no record\r\n");
        // The list again, the same mission selected, its callsign in the field.
        EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"a.mis", "b.mis", "c.mis", "d.mis"}));
        EXPECT_EQ(l.dlg->m_listMissions.GetCurSel(), 3);
        EXPECT_EQ(w.Text(IDC_CALLSIGN), row.field);
        EXPECT_EQ(w.Text(IDC_BRIEFING), "\r\r\nD.");
        EXPECT_TRUE(w.Enabled());
    }
}

TEST(ListMenu, OneMissionIsSaidInTheSingular) {
    Launcher l;
    WriteFile(l.Missions("a.mis"), Mission("A.", "Old"));
    FakeWindow& w = l.Open();
    Items shown;
    l.host.ScriptDialog(IDD_BATCH_CALLSIGN, [&](FakeWindow& d) {
        d.Type(IDC_BATCH_CALLSIGN, "New");
        l.host.RunIdle();
        shown = {d.Text(IDC_BATCH_COUNT), d.Text(IDC_BATCH_OTHER)};
        d.Click(ui::IdOk);
    });
    l.host.AnswerControlMenu(IDM_SET_CALLSIGN_ALL);
    w.OpenControlMenu(IDC_MISSION_LIST);
    EXPECT_EQ(shown, (Items{"Callsign for the one mission of this list:",
                            "1 of them holds another callsign now. This cannot be undone."}));
    EXPECT_TRUE(OneMessage(l.host, "Callsign set in 1 mission.\n0 already had it.\n0 have no player record."));
}

TEST(ListMenu, TheProgressWindowAndItsCancel) {
    // A batch slow enough to show its progress: each step waits a little, or the first mission
    // is held by another program.
    const struct {
        const char* what;
        std::function<void(FakeWindow&)> cancel;
        bool held;
    } rows[] = {
        {"Cancel", [](FakeWindow& p) { p.Click(ui::IdCancel); }, false},
        {"Escape", [](FakeWindow& p) { p.PressEscape(); }, false},
        {"the close box", [](FakeWindow& p) { p.CloseBox(); }, false},
        {"Cancel while another program holds a mission", [](FakeWindow& p) { p.Click(ui::IdCancel); }, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l;
        const int total = 40;
        for (int i = 0; i < total; ++i)
            WriteFile(l.Missions("m" + std::to_string(100 + i) + ".mis"), Mission("Fly.", "Old"));
        FakeWindow& w = l.Open();
        l.host.ScriptDialog(IDD_BATCH_CALLSIGN, [](FakeWindow& d) {
            d.Type(IDC_BATCH_CALLSIGN, "Neu");
            d.Click(ui::IdOk);
        });
        const int holder = ::open(l.Missions("m100.mis").c_str(), O_RDONLY);
        if (row.held) ::flock(holder, LOCK_EX);
        std::string progressText, caption;
        bool mainEnabled = true, mainClicked = false, progressEnabled = false;
        // The copies made, and how many there were when Cancel was pressed.
        int copies = 0, copiesAtCancel = -1;
        os::SetFaultHook([&copies](os::FileOp op, const std::string& path) {
            copies += op == os::FileOp::Open && path.find("SXTemp") != std::string::npos;
            return std::error_code();
        });
        l.host.whileWaiting = [&] {
            if (!row.held) std::this_thread::sleep_for(std::chrono::milliseconds(40));
            for (ui::IDialogWindow* open : ui::OpenDialogWindows()) {
                auto* p = static_cast<FakeWindow*>(open);
                if (p->Dialog().TemplateId() != IDD_PROGRESS || !progressText.empty()) continue;
                progressText = p->Text(IDC_PROGRESS_TEXT);
                caption = p->Dialog().Template()->caption;
                progressEnabled = p->Enabled();
                mainEnabled = w.Enabled();
                // The main window takes no click meanwhile.
                w.Click(IDC_CUSTOM_MISSIONS);
                mainClicked = !l.host.fileDialogs.empty();
                row.cancel(*p);
                copiesAtCancel = copies;
            }
        };
        const auto start = std::chrono::steady_clock::now();
        l.host.AnswerControlMenu(IDM_SET_CALLSIGN_ALL);
        w.OpenControlMenu(IDC_MISSION_LIST);
        l.host.whileWaiting = nullptr;
        os::SetFaultHook(nullptr);
        ::close(holder);

        EXPECT_EQ(caption, "Setting callsign");
        ASSERT_EQ(progressText.rfind("Copy ", 0), 0u) << progressText;
        EXPECT_NE(progressText.find(" of 40: m1"), std::string::npos) << progressText;
        EXPECT_TRUE(progressEnabled);
        EXPECT_FALSE(mainEnabled);
        EXPECT_FALSE(mainClicked);
        int changed = 0;
        for (int i = 0; i < total; ++i)
            changed += ReadFile(l.Missions("m" + std::to_string(100 + i) + ".mis")) == Mission("Fly.", "Neu");
        // Cancel stops before the next copy; every copy made before it is in place.
        EXPECT_EQ(copies, copiesAtCancel);
        EXPECT_EQ(changed, copies);
        std::string summary = "Callsign set in " + Counted(changed, "mission", "missions") +
                              ".\n0 already had it.\n0 have no player record.";
        if (row.held) {
            // Cancel ends the wait for the held mission at once, and the batch there.
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
            EXPECT_EQ(changed, 0);
            summary += "\n1 could not be changed:\nm100.mis: it is in use by another program";
        } else {
            EXPECT_GT(changed, 5) << "half a second of batch before the window shows";
            EXPECT_LT(changed, total);
        }
        ASSERT_EQ(l.host.messages.size(), 1u);
        EXPECT_EQ(l.host.messages[0].text, summary + "\nCancelled after " +
                                               std::to_string(row.held ? 1 : changed) + " of 40 missions.");
        EXPECT_TRUE(w.Enabled());
        EXPECT_EQ(ui::OpenDialogWindows().size(), 1u) << "the progress window is gone";
    }
}

TEST(ListMenu, TheFolderInTheFileManager) {
    // A stand-in file manager that notes what it was asked to open.
    TempDir bin;
    const std::string log = bin / "opened";
    WriteFile(bin / "xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + log + ".part' && mv '" +
                                    log + ".part' '" + log + "'\n");
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    const auto opened = [&log] {
        for (int i = 0; i < 500 && !Exists(log); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Exists(log) ? ReadFile(log) : "(nothing)";
    };
    Launcher l;
    FakeWindow& w = l.Open();
    {
        const Env path("PATH", bin.path() + ":/usr/bin:/bin");
        l.host.AnswerControlMenu(IDM_OPEN_FOLDER);
        w.OpenControlMenu(IDC_MISSION_LIST);
        // The folder as it really is, as a folder.
        EXPECT_EQ(opened(), l.prefix.missions() + "/\n");
        EXPECT_TRUE(NoMessage(l.host));
        // An empty list has nothing to set a callsign in.
        EXPECT_EQ(LastMenu(l.host), (Items{"&Install missions...", "Set callsign in &all missions... (off)",
                                           "Open this &folder", "Move to &trash (off)"}));
    }
    {
        const Env path("PATH", l.prefix.missions());
        l.host.AnswerControlMenu(IDM_OPEN_FOLDER);
        w.OpenControlMenu(IDC_MISSION_LIST);
        EXPECT_TRUE(OneMessage(l.host, "The folder could not be opened."));
    }
    // The folder the list was filled from is gone, or a link to a file that a desktop would
    // run: nothing to open.
    std::filesystem::remove_all(l.prefix.missions());
    w.OpenControlMenu(IDC_MISSION_LIST);
    EXPECT_EQ(LastMenu(l.host), (Items{"&Install missions... (off)", "Set callsign in &all missions... (off)",
                                       "Open this &folder (off)", "Move to &trash (off)"}));
    WriteFile(bin / "evil.desktop", "[Desktop Entry]\nExec=touch " + bin / "ran" + "\n");
    std::filesystem::create_symlink(bin / "evil.desktop", l.prefix.missions());
    std::filesystem::remove(log);
    {
        const Env path("PATH", bin.path() + ":/usr/bin:/bin");
        w.Click(IDC_SINGLE_MISSIONS);
        w.OpenControlMenu(IDC_MISSION_LIST);
        EXPECT_EQ(LastMenu(l.host)[2], "Open this &folder (off)");
        EXPECT_FALSE(os::OpenFolder(l.dlg->m_strGameDir + "\\Data\\Missions"));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(Exists(log));
    }
}

}  // namespace

TEST(ListMenu, TheSameFromTheCommandLine) {
    // Without a window: missions named as the user likes, in any folder; the callsign taken from
    // the locale's text.
    TempDir dir;
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    MakeDirs(dir / "sub");
    const auto layOut = [&dir] {
        WriteFile(dir / "a.mis", Mission("A.", "Old"));
        WriteFile(dir / "sub/b.mis", Mission("B.", "J\xFCrgen"));
        WriteFile(dir / "c.mis", "no record\r\n");
    };
    const std::string usage = "Try 'Sortilex --help'.\n";
    const std::string refused = ": a callsign must be one line of text made of characters that "
                                "mission files can hold\n";
    const struct {
        std::vector<std::string> args;
        int code;
        std::string out, err;
        bool set;  // a.mis holds the new callsign afterwards
    } cases[] = {
        {{"--set-callsign", "J\xC3\xBCrgen", "a.mis", dir / "sub/b.mis", "c.mis", "gone.mis"}, 1,
         "Callsign set in 1 mission.\n1 already had it.\n1 has no player record.\n"
         "1 could not be changed:\ngone.mis: it is gone\n", "", true},
        // The same mission by three spellings is changed and counted once; "--" once ends the
        // options, a later one is a file's name.
        {{"--set-callsign", "J\xC3\xBCrgen", "--", "a.mis", "./a.mis", dir / "a.mis", "--"}, 1,
         "Callsign set in 1 mission.\n0 already had it.\n0 have no player record.\n"
         "1 could not be changed:\n--: it is gone\n", "", true},
        // A folder is not a file; a name's control characters never reach the terminal raw.
        {{"--set-callsign", "J\xC3\xBCrgen", "sub", "e\x1b[2J\r\x9b.mis"}, 1,
         "Callsign set in 0 missions.\n0 already had it.\n0 have no player record.\n"
         "2 could not be changed:\nsub: it is not a file\ne\\x1B[2J\\x0D\\x9B.mis: it is gone\n", "", false},
        {{"--set-callsign", "\xE6\x97\xA5\xE6\x9C\xAC", "a.mis"}, 2, "", "Sortilex: \xE6\x97\xA5\xE6\x9C\xAC" + refused, false},
        {{"--set-callsign", "a\tb", "a.mis"}, 2, "", "Sortilex: a\\tb" + refused, false},
        {{"--set-callsign", "J\xC3\xBCrgen"}, 2, "",
         "Sortilex: --set-callsign needs a callsign and at least one mission\n" + usage, false},
        {{"--set-callsign", "J\xC3\xBCrgen", "--"}, 2, "",
         "Sortilex: --set-callsign needs a callsign and at least one mission\n" + usage, false},
        {{"--prefix"}, 2, "", "Sortilex: --prefix needs a folder\n" + usage, false},
    };
    const Env locale("LC_ALL", "C.UTF-8");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        layOut();
        const CommandRun run = RunCommandLine(c.args, dir.path());
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(ReadFile(dir / "a.mis"), Mission("A.", c.set ? "J\xFCrgen" : "Old"));
        EXPECT_EQ(ReadFile(dir / "sub/b.mis"), Mission("B.", "J\xFCrgen"));
    }
    ASSERT_EQ(::chdir("/"), 0);
}
