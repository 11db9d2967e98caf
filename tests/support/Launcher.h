// SPDX-License-Identifier: GPL-3.0-or-later
// The one harness of the window tests: a Wine prefix with the game installed, the scripted host,
// and the main window opened on it; plus the assertions that recur.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/LauncherDlg.h"
#include "tests/fake/FakeHost.h"
#include "tests/support/Assertions.h"
#include "tests/support/TestSupport.h"

namespace sxtest {


struct Launcher {
    // The prefix's registry holds registryValues for the game's key ("" for no key).
    explicit Launcher(const std::string& registryValues = InstalledGameValues());
    // Opens the main window (lay out the files first).
    sx::FakeWindow& Open();

    sx::FakeWindow& wnd() { return *m_wnd; }
    std::string Missions(const std::string& name) const { return prefix.missions() + "/" + name; }
    // Types the callsign and clicks "Change".
    void Change(const std::string& callsign, bool exact = true);
    // Chooses a file in the custom-missions file dialog.
    void PickCustom(const std::string& hostPath);
    // Names in the folder that a rewrite may leave behind.
    Items Leftovers(const std::string& folder) const;

    FakePrefix prefix;
    sx::FakeHost host;
    std::unique_ptr<CLauncherDlg> dlg;

  private:
    sx::FakeWindow* m_wnd = nullptr;
};

// A fresh prefix with one mission in the single-missions folder and the main window open on it.
struct OneMission : Launcher {
    explicit OneMission(const std::string& bytes, const std::string& name = "m.mis");
    std::string path;
    Items Leftovers() const { return Launcher::Leftovers(prefix.missions()); }
};

}  // namespace sxtest
