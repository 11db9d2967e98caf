// SPDX-License-Identifier: GPL-3.0-or-later
// Mission packs: where each entry of a pack goes by the rules; real archives as players get them
// (zip, 7z, tar, RAR4 and RAR5) installed, left out with their reasons, replaced into the trash;
// the bounds; and the install through the window, by its menu, by a drop, and a mission to the
// trash.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>

#include "app/InstallDlg.h"
#include "os/Install.h"
#include "packs/PackInstall.h"
#include "tests/support/Launcher.h"
#include "tests/support/Messages.h"

using namespace sx;
using namespace sx::packs;
using namespace sxtest;
namespace fs = std::filesystem;

namespace {

// Where each counted entry goes: "single:Sub/b.mis", or "left out: <reason>".
Items Where(const std::vector<PackEntry>& entries, const Layout& layout) {
    Items out;
    const std::vector<Placement> placed = [&] {
        std::vector<Placement> p = PlacePack(entries, layout);
        LeaveOutTwins({&p});
        return p;
    }();
    for (const Placement& p : placed) {
        if (!p.counted) continue;
        if (p.leftOut != LeftOut::None) {
            out.push_back(std::string("left out: ") + LeftOutText(p.leftOut));
            continue;
        }
        std::string path = p.target == Target::Single ? "single:" : p.target == Target::Campaign ? "campaign:" : "custom:";
        for (size_t i = 0; i < p.parts.size(); ++i) path += (i ? "/" : "") + p.parts[i];
        out.push_back(path);
    }
    return out;
}

// Entries by their names: "dir/" a folder, "@" a link, "!" no file, "*" encrypted.
std::vector<PackEntry> Entries(const Items& names) {
    std::vector<PackEntry> entries;
    for (std::string n : names) {
        PackEntry e;
        if (n[0] == '@') e.kind = EntryKind::Link;
        if (n[0] == '!') e.kind = EntryKind::Other;
        if (n[0] == '*') e.encrypted = true;
        if (n[0] == '@' || n[0] == '!' || n[0] == '*') n.erase(0, 1);
        if (n.back() == '/') e.kind = EntryKind::Folder;
        e.name = n;
        entries.push_back(e);
    }
    return entries;
}

TEST(PackRules, WhereEachEntryGoes) {
    const Layout single{Target::Single, true}, custom{Target::Custom, true}, none{Target::Custom, false};
    const std::string kNotPart = "left out: not part of a mission folder";
    const struct {
        const char* what;
        Layout layout;
        Items entries, where;
    } rows[] = {
        {"a mission folder at any depth, subfolders kept", single,
         {"Pack/", "Pack/Data/Missions/a.mis", "Pack/Data/Missions/Sub/b.mis", "Pack/readme.txt"},
         {"single:a.mis", "single:Sub/b.mis", kNotPart}},
        {"campaigns, and a zip made on Windows", single, {"Campaigns\\C1\\c.mis", "data\\missions\\w.mis"},
         {"campaign:C1/c.mis", "single:w.mis"}},
        {"a loose pack: its missions and what shares their names", custom,
         {"x.mis", "x.properties", "x_ru.properties", "X.txt", "xy.txt", "readme.txt"},
         {"custom:x.mis", "custom:x.properties", "custom:x_ru.properties", "custom:X.txt", kNotPart, kNotPart}},
        {"a campaign of its own, wrapped twice", single,
         {"Outer/", "Outer/Pack/", "Outer/Pack/Camp/1.mis", "Outer/Pack/Camp/intro.txt", "Outer/Pack/notes.txt",
          "Outer/Pack/Pics/p.jpg"},
         {"single:Camp/1.mis", "single:Camp/intro.txt", kNotPart, kNotPart}},
        {"never installed", single,
         {"Missions/a.exe", "Missions/b.ZIP", "Missions/c.sh", "@Missions/l.mis", "!Missions/f.mis",
          "*Missions/e.mis", "/abs.mis", "Missions/../../up.mis", "C:Missions/d.mis", "Missions/con.txt.mis",
          "Missions/COM\xC2\xB9.mis", "Missions/dot.", "Missions/q?.mis", "Missions/" + std::string(300, 'l')},
         {"left out: a program or script", "left out: an archive inside", "left out: a program or script",
          "left out: a link", "left out: not a file", "left out: encrypted", "left out: outside the folder",
          "left out: outside the folder", "left out: outside the folder", "left out: a name Windows cannot hold",
          "left out: a name Windows cannot hold", "left out: a name Windows cannot hold",
          "left out: a name Windows cannot hold", "left out: a name too long"}},
        {"names that differ in case: the first keeps it", single,
         {"Missions/\xC3\x84rger.mis", "Missions/\xC3\xA4rger.mis", "Missions/a.mis"},
         {"single:\xC3\x84rger.mis", "left out: same name as another entry", "single:a.mis"}},
        {"game directory none", none, {"Missions/a.mis", "x.mis"}, {"left out: no game folder", kNotPart}},
        {"game directory none, a loose pack", none, {"x.mis"}, {"custom:x.mis"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Where(Entries(row.entries), row.layout), row.where);
    }
    EXPECT_TRUE(BeginsLikeArchive("PK\x03\x04rest"));
    EXPECT_FALSE(BeginsLikeArchive(".MissionSummary"));
}

// A pack laid out in a folder of its own and archived as a player's tools make it.
struct Pack {
    TempDir dir;
    std::string File(const std::string& name, const std::string& bytes) {
        MakeDirs(fs::path(dir / ("pack/" + name)).parent_path().string());
        WriteFile(dir / ("pack/" + name), bytes);
        return dir / ("pack/" + name);
    }
    // bsdtar (zip, 7z, tar.gz) or 7zz, run inside the pack's folder on files (in that order);
    // the archive's path.
    std::string Archive(const std::string& command, const std::string& name, const std::string& files = "*") {
        const std::string out = dir / name;
        const std::string run = "cd '" + (dir / "pack") + "' && " + command + " '" + out + "' " + files + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(run.c_str()), 0) << run;
        return out;
    }
};

// An install as the command line runs it, into the launcher's folders.
InstallSummary Install(Launcher& l, const std::vector<std::string>& items, Target shown = Target::Single) {
    InstallFolders folders{"C:\\Games\\Vantorra\\Data\\Missions", "C:\\Games\\Vantorra\\Data\\Campaigns", "", shown};
    PackInstall install(folders);
    InstallSummary summary;
    if (install.Prepare(items, nullptr))
        summary = install.Place(nullptr, nullptr);
    else
        summary = install.Unplaced();
    EXPECT_TRUE(l.Leftovers(l.prefix.missions()).empty()) << "no staging folder is left";
    return summary;
}

std::string Summary(Launcher& l, const std::vector<std::string>& items) {
    return InstallSummaryText(Install(l, items));
}

TEST(PackInstall, RealArchivesAsPlayersMakeThem) {
    const std::string mission = Mission("Pack.", "Ace");
    const struct {
        const char* what;
        std::string command, name;
    } formats[] = {
        {"zip", "bsdtar --format zip -cf", "pack.zip"},
        {"7z", "7zz a -bd", "pack.7z"},
        {"tar.gz", "bsdtar -czf", "pack.tar.gz"},
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.what);
        Launcher l;
        WriteFile(l.Missions("alpha.mis"), Mission("Old.", "Old"));
        const std::string odd = "E%20x \xC3\xA4.mis";  // comes back from the trash by its own name
        WriteFile(l.Missions(odd), Mission("Odd.", "Old"));
        Pack pack;
        pack.File("Vantorra/Data/Missions/Alpha.mis", mission);
        pack.File("Vantorra/Data/Missions/" + odd, mission);
        pack.File("Vantorra/Data/Missions/Ops/b\xC3\xA9ta.mis", mission);
        pack.File("Vantorra/Data/Campaigns/Autumn/c.mis", mission);
        pack.File("Vantorra/Data/Missions/run.bat", "@echo off");
        pack.File("Vantorra/readme.txt", "read me");
        const std::string archive = pack.Archive(f.command, f.name,
                                                 "Vantorra/Data/Missions/Alpha.mis 'Vantorra/Data/Missions/" + odd +
                                                     "' 'Vantorra/Data/Missions/Ops' "
                                                 "Vantorra/Data/Campaigns Vantorra/Data/Missions/run.bat Vantorra/readme.txt");
        EXPECT_EQ(Summary(l, {archive}),
                  "Installed 4 missions and 0 other files.\n2 replaced files are in the trash.\n2 were left out:\n"
                  "Vantorra/Data/Missions/run.bat: a program or script\nVantorra/readme.txt: not part of a mission folder");
        // The existing spelling is kept; the old bytes are in the trash, its info file leads back.
        EXPECT_EQ(ReadFile(l.Missions("alpha.mis")), mission);
        EXPECT_FALSE(Exists(l.Missions("Alpha.mis")) && !Exists(l.Missions("alpha.mis")));
        EXPECT_EQ(ReadFile(l.Missions("Ops/b\xC3\xA9ta.mis")), mission);
        EXPECT_EQ(ReadFile(l.prefix.campaigns() + "/Autumn/c.mis"), mission);
        EXPECT_EQ(ReadFile(l.prefix.trash() + "/files/alpha.mis"), Mission("Old.", "Old"));
        for (const std::string& name : {std::string("alpha.mis"), odd}) {
            const std::string info = ReadFile(l.prefix.trash() + "/info/" + name + ".trashinfo");
            const size_t at = info.find("\nPath=") + 6;
            std::string path;
            for (size_t i = at; i < info.size() && info[i] != '\n'; ++i) {
                if (info[i] != '%') {
                    path += info[i];
                    continue;
                }
                path += static_cast<char>(std::stoi(info.substr(i + 1, 2), nullptr, 16));
                i += 2;
            }
            EXPECT_EQ(path, Canon(l.Missions(name)));
            EXPECT_NE(info.find("\nDeletionDate=20"), std::string::npos);
        }
        EXPECT_EQ(ReadFile(l.prefix.trash() + "/files/" + odd), Mission("Odd.", "Old"));
        // The same pack again: nothing to do.
        EXPECT_EQ(Summary(l, {archive}),
                  "Installed 0 missions and 0 other files.\n4 were already installed.\n2 were left out:\n"
                  "Vantorra/Data/Missions/run.bat: a program or script\nVantorra/readme.txt: not part of a mission folder");
    }
}

TEST(PackInstall, WhatIsNeverWritten) {
    // Archives made to write outside the folder, links, odd names, archives inside, encrypted
    // entries, RAR samples from libarchive's own tests: each left out with its reason, and
    // nothing written anywhere but the missions folder.
    TempDir outside;
    const std::string src = SORTILEX_LIBARCHIVE_SOURCE;
    std::string rar;
    for (const auto& e : fs::directory_iterator(src, *std::make_unique<std::error_code>()))
        if (e.path().filename().string().rfind("libarchive-", 0) == 0) rar = e.path().string() + "/libarchive/test/";
    const auto uudecoded = [&rar, &outside](const std::string& name) {
        const std::string out = outside / name;
        const std::string run = "python3 -c \"import binascii,sys\nw=open(sys.argv[2],'wb')\nfor l in open(sys.argv[1]):\n"
                                " l=l.rstrip('\\n')\n if l and not l.startswith(('begin','end')):\n"
                                "  w.write(binascii.a2b_uu(l))\" '" +
                                rar + name + ".uu' '" + out + "'";
        return std::system(run.c_str()) == 0 ? out : std::string();
    };
    const struct {
        const char* what;
        std::function<std::string(Pack&)> make;  // the archive; "" when it cannot be made here
        std::string summary;
    } rows[] = {
        {"absolute names and names that climb",
         [&outside](Pack& p) {
             p.File("Missions/a.mis", "a");
             p.File("Missions/b.mis", "b");
             return p.Archive("bsdtar -P -s ',^Missions/a.mis," + (outside / "abs.mis") +
                                  ",' -s ',^Missions/b.mis,../../b.mis,' --format zip -cf",
                              "climb.zip", "Missions/a.mis Missions/b.mis");
         },
         "Installed 0 missions and 0 other files.\n2 were left out:\n" + (outside / "abs.mis") +
             ": outside the folder\n../../b.mis: outside the folder\nNothing in climb.zip can be installed."},
        {"links, names Windows cannot hold, twins, an archive inside",
         [&outside](Pack& p) {
             p.File("Missions/x.mis", "x");
             p.File("Missions/X2.mis", "x2");
             p.File("Missions/aux.mis", "aux");
             p.File("Missions/inner.mis", "PK\x03\x04 a zip named like a mission");
             ::symlink((outside / "target").c_str(), (p.dir / "pack/Missions/link.mis").c_str());
             return p.Archive("bsdtar -s ',X2.mis,X.mis,' --format zip -cf", "odd.zip",
                              "Missions/x.mis Missions/aux.mis Missions/inner.mis Missions/link.mis Missions/X2.mis");
         },
         "Installed 1 mission and 0 other files.\n4 were left out:\nMissions/aux.mis: a name Windows cannot hold\n"
         "Missions/inner.mis: an archive inside\nMissions/link.mis: a link\nMissions/X.mis: same name as another entry"},
        {"encrypted, by 7-Zip",
         [](Pack& p) {
             p.File("Missions/secret.mis", "s");
             return p.Archive("7zz a -bd -pSecret", "secret.7z", "Missions/secret.mis");
         },
         "Installed 0 missions and 0 other files.\n1 was left out:\nMissions/secret.mis: encrypted\n"
         "Nothing in secret.7z can be installed."},
        {"RAR4: a file, a link, a folder", [&](Pack&) { return uudecoded("test_read_format_rar.rar"); },
         "Installed 0 missions and 0 other files.\n3 were left out:\ntest.txt: not part of a mission folder\n"
         "testlink: a link\ntestdir/test.txt: not part of a mission folder\nNothing in test_read_format_rar.rar can be installed."},
        {"RAR5", [&](Pack&) { return uudecoded("test_read_format_rar5_compressed.rar"); },
         "Installed 0 missions and 0 other files.\n1 was left out:\ntest.bin: not part of a mission folder\n"
         "Nothing in test_read_format_rar5_compressed.rar can be installed."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Launcher l;
        Pack pack;
        const std::string archive = row.make(pack);
        if (archive.empty() || !Exists(archive)) {
            std::printf("%s: no sample here\n", row.what);
            continue;
        }
        const InstallSummary s = Install(l, {archive});
        EXPECT_EQ(InstallSummaryText(s), row.summary);
        EXPECT_FALSE(fs::exists(outside / "abs.mis"));
        EXPECT_FALSE(fs::exists(fs::symlink_status(outside / "target")));
        EXPECT_FALSE(fs::exists(l.prefix.game() + "/b.mis"));
    }
}

TEST(PackInstall, KilledWhilePlacing) {
    // Two packs of the same 40 names installed over each other in a loop, killed at random
    // moments: every name holds whole bytes, the bytes it held before are in place or in the
    // trash, and the next install leaves no staging folder behind.
    const char* wanted = std::getenv("SORTILEX_ROUNDS");
    const int rounds = wanted ? std::atoi(wanted) : 50;
    Launcher l;
    std::vector<std::string> zips;
    for (const char* letter : {"A", "B"}) {
        Pack pack;
        for (int i = 0; i < 40; ++i) pack.File("Missions/m" + std::to_string(i) + ".mis", std::string(letter) + std::to_string(i) + std::string(20000, 'x'));
        zips.push_back(pack.Archive("bsdtar --format zip -cf", std::string(letter) + ".zip"));
        fs::copy_file(zips.back(), l.prefix.root() + "/" + letter + ".zip");
        zips.back() = l.prefix.root() + "/" + letter + ".zip";
    }
    const auto bytes = [&l](int i) { return ReadFile(l.Missions("m" + std::to_string(i) + ".mis")); };
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<int> delayUs(0, 40000);
    std::vector<std::string> before(40);
    int inside = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < 40; ++i) before[i] = bytes(i);
        const pid_t child = ::fork();
        if (child == 0) {
            for (int k = 0;; ++k) Install(l, {zips[k % 2]});
        }
        ::usleep(static_cast<useconds_t>(delayUs(rng)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        for (const std::string& name : ListDir(l.prefix.missions())) inside += name.rfind("SXStaging-", 0) == 0;
        std::set<std::string> trashed;
        for (const std::string& name : ListDir(l.prefix.trash() + "/files")) trashed.insert(ReadFile(l.prefix.trash() + "/files/" + name));
        for (int i = 0; i < 40; ++i) {
            const std::string now = bytes(i);
            const std::string tail(20000, 'x');
            ASSERT_TRUE(now.empty() || now == "A" + std::to_string(i) + tail || now == "B" + std::to_string(i) + tail)
                << "round " << round << ": " << now.size() << " bytes";
            if (!before[i].empty() && now != before[i]) {
                ASSERT_EQ(trashed.count(before[i]), 1u) << "round " << round << ": m" << i << "'s old bytes are lost";
            }
        }
    }
    Install(l, {zips[0]});
    for (const std::string& name : ListDir(l.prefix.missions())) EXPECT_NE(name.rfind("SXStaging-", 0), 0u);
    EXPECT_GT(inside, rounds / 4) << "too few kills landed inside an install to prove anything";
    std::printf("%d kills, %d of them inside an install; every name whole every time\n", rounds, inside);
}

TEST(PackInstall, ArchivesPastTheBoundsOrCutOff) {
    // A zip of a GiB of zeros (a MiB packed), one of 10,001 entries, one cut half-way: nothing of
    // each is installed, nothing staged is left, and the other items of the install go on.
    TempDir dir;
    const std::string make =
        "python3 -c \"import zipfile,sys\nd=sys.argv[1]\n"
        "with zipfile.ZipFile(d+'/zeros.zip','w',zipfile.ZIP_DEFLATED) as z:\n"
        " with z.open('Missions/zeros.mis','w',force_zip64=True) as f:\n"
        "  b=bytes(1<<20)\n  for i in range(1024): f.write(b)\n"
        "with zipfile.ZipFile(d+'/many.zip','w') as z:\n"
        " [z.writestr('Missions/m%d.mis'%i,'m') for i in range(10001)]\n"
        "with zipfile.ZipFile(d+'/good.zip','w',zipfile.ZIP_DEFLATED) as z:\n"
        " z.writestr('Missions/good.mis','good'*100000)\n"
        "g=open(d+'/good.zip','rb').read()\nopen(d+'/cut.zip','wb').write(g[:len(g)//2])\" '" +
        dir.path() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    Launcher l;
    EXPECT_EQ(Summary(l, {dir / "zeros.zip", dir / "many.zip", dir / "cut.zip", dir / "good.zip"}),
              "Installed 1 mission and 0 other files.\nzeros.zip is damaged or too large; nothing of it was installed.\n"
              "many.zip is damaged or too large; nothing of it was installed.\n"
              "cut.zip is damaged or too large; nothing of it was installed.");
    EXPECT_EQ(ListDir(l.prefix.missions()), Items{"good.mis"});
}

TEST(PackInstall, NoTrashToBeHad) {
    // The missions on a file system of their own whose top folder the player may not write, and
    // the home trash on another: the file that would be replaced stays, with its reason.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount and to switch to another user";
    Launcher l;
    const std::string top = l.prefix.game() + "/Data";
    if (::mount("tmpfs", top.c_str(), "tmpfs", 0, "size=4m,mode=0755") != 0) GTEST_SKIP() << "no tmpfs mount here";
    MakeDirs(l.prefix.missions());
    ::chown(l.prefix.missions().c_str(), 65534, 65534);
    WriteFile(l.Missions("a.mis"), "old");
    ::chown(l.Missions("a.mis").c_str(), 65534, 65534);
    Pack pack;
    pack.File("Missions/a.mis", "new");
    const std::string zip = pack.Archive("bsdtar --format zip -cf", "a.zip");
    for (const std::string& d : {pack.dir.path(), l.prefix.root(), l.prefix.root() + "/drive_c",
                                 l.prefix.root() + "/drive_c/Games", l.prefix.game()})
        ::chmod(d.c_str(), 0755);
    const int status = RunAsNobody([&] {
        const std::string text = Summary(l, {zip});
        return text == "Installed 0 missions and 0 other files.\n1 was left out:\nMissions/a.mis: could not be moved to the trash";
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(l.Missions("a.mis")), "old");
    ::umount2(top.c_str(), MNT_DETACH);
}

TEST(PackInstall, ThroughTheWindow) {
    // The list's menu: the file dialog, the confirmation (Cancel, then OK), the summary, the
    // list on the first mission installed; a drop; a mission to the trash.
    Launcher l;
    WriteFile(l.Missions("keep.mis"), Mission("Keep.", "Old"));
    Pack pack;
    pack.File("Camp/one.mis", Mission("One.", "Ace"));
    pack.File("Camp/two.mis", Mission("Two.", "Ace"));
    pack.File("readme.txt", "read me");
    const std::string zip = pack.Archive("bsdtar --format zip -cf", "camp.zip", "Camp/one.mis Camp/two.mis readme.txt");
    FakeWindow& w = l.Open();
    Items lines, entries;
    const auto confirm = [&](int button) {
        l.host.ScriptDialog(IDD_INSTALL, [&, button](FakeWindow& d) {
            lines = Split(d.Text(IDC_INSTALL_TEXT), '\n');
            entries = d.Items(IDC_INSTALL_ENTRIES);
            d.Click(button);
        });
    };
    confirm(ui::IdCancel);
    l.host.AnswerFilesDialog({zip});
    l.host.AnswerControlMenu(IDM_INSTALL_MISSIONS);
    w.OpenControlMenu(IDC_MISSION_LIST);
    EXPECT_EQ(l.host.fileDialogs.back().title, "Install missions");
    EXPECT_EQ(l.host.fileDialogs.back().filter,
              "Mission packs (*.zip;*.7z;*.rar;*.mis)|*.zip;*.7z;*.rar;*.mis|All files (*.*)|*.*||");
    EXPECT_EQ(lines, (Items{"2 missions and 0 other files from camp.zip go into C:\\Games\\Vantorra\\Data\\Missions.\r",
                            "Nothing is replaced."}));
    EXPECT_EQ(entries, (Items{"Camp/one.mis: new", "Camp/two.mis: new", "readme.txt: left out: not part of a mission folder"}));
    EXPECT_TRUE(NoMessage(l.host));
    EXPECT_EQ(ListDir(l.prefix.missions()), Items{"keep.mis"}) << "nothing written after Cancel";
    Items menu;
    for (const ui::MenuEntry& e : l.host.controlMenus.back()) menu.push_back(e.text + (e.enabled ? "" : " (off)"));
    EXPECT_EQ(menu, (Items{"&Install missions...", "Set callsign in &all missions...", "Open this &folder",
                           "Move to &trash"}));

    // Dropped on the window, and agreed to: the subfolder shown as custom missions.
    confirm(ui::IdOk);
    w.DropFiles({zip});
    EXPECT_TRUE(OneMessage(l.host, "Installed 2 missions and 0 other files.\n1 was left out:\nreadme.txt: not part of a mission folder"));
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), (Items{"one.mis", "two.mis"}));
    EXPECT_EQ(l.dlg->m_nCategory, kCustomMissions);
    EXPECT_EQ(l.dlg->m_strCustomDir, "C:\\Games\\Vantorra\\Data\\Missions\\Camp");

    // A mission to the trash, No first: the next one is selected after.
    w.SelectListItem(IDC_MISSION_LIST, 0);
    w.PressDelete(IDC_MISSION_LIST);
    ASSERT_EQ(l.host.messages.size(), 1u);
    EXPECT_EQ(l.host.messages.back().text, "Move \"one.mis\" to the trash?");
    EXPECT_EQ(l.host.messages.back().type, ui::MbYesNo | ui::MbDefaultSecond);
    EXPECT_TRUE(Exists(l.Missions("Camp/one.mis")));
    l.host.AnswerMessages({ui::IdYes});
    w.PressDelete(IDC_MISSION_LIST);
    EXPECT_EQ(w.Items(IDC_MISSION_LIST), Items{"two.mis"});
    EXPECT_EQ(ReadFile(l.prefix.trash() + "/files/one.mis"), Mission("One.", "Ace"));
    // A link is no mission to move.
    fs::create_symlink(l.Missions("keep.mis"), l.Missions("Camp/link.mis"));
    l.PickCustom(l.Missions("Camp/link.mis"));
    l.host.messages.clear();
    l.host.AnswerMessages({ui::IdYes});
    w.PressDelete(IDC_MISSION_LIST);
    EXPECT_EQ(l.host.messages.back().text, "This mission cannot be moved to the trash.");
    EXPECT_TRUE(fs::is_symlink(l.Missions("Camp/link.mis")));
}

}  // namespace
