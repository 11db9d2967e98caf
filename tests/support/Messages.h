// SPDX-License-Identifier: GPL-3.0-or-later
// The texts the user sees, written out once for every test. They are the tests' own copies on
// purpose: a test that took them from the program would not notice the program getting them
// wrong.
#pragma once

namespace sxtest::text {

inline constexpr const char* kNotDetected = "Vantorra not detected on your machine";
inline constexpr const char* kMissionNotFound = "Mission file not found";
inline constexpr const char* kNoBriefing = "No Briefing available for this mission";
inline constexpr const char* kCannotModify =
    "Mission file cannot be modified.\nPlease make sure it is available on\nyour hard drive and "
    "not on a CD";
inline constexpr const char* kLeftUnchanged =
    "The new callsign could not be written.\nThe mission file has been left unchanged.";
inline constexpr const char* kMissionInUse =
    "The mission file is in use by another program.\nThe mission file has been left unchanged.";
inline constexpr const char* kBadCallsign =
    "A callsign must be one line of text made of characters\nthat mission files can hold.\nThe "
    "mission file has been left unchanged.";
inline constexpr const char* kNotLocated =
    "The selected mission cannot be located\n Vantorra will not be launched";
inline constexpr const char* kResultsNotFound = "Results file cannot be located";
inline constexpr const char* kNoGameExe =
    "Vantorra cannot be started:\nvnt.exe was not found in the game folder.";
inline constexpr const char* kNoWine =
    "Vantorra cannot be started:\nit is a Windows program, and Wine is not installed.";
inline constexpr const char* kResultsQuestion = "\nWould you like to view the results table ?";
inline constexpr const char* kAboutEntry =
    "Inf&o \xFC"
    "ber Sortilex...";

}  // namespace sxtest::text
