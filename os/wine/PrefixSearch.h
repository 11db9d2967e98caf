// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the Wine prefixes the game lives in, among those the usual tools make: the order (the
// prefix used last first), the trust rules, and the choice. What each tool's files say is read
// by the readers of Tools.h.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/wine/Tools.h"

namespace sx::os::wine {

SearchRoots RootsFromEnvironment();

// Every prefix the tools' settings name (and ~/.wine) that exists, each folder once, newest
// system.reg first (a time in the future counts as now). One the trust rules refuse carries its
// reason: it belongs to another user (Wine itself would refuse it), or a program its tool would
// start lies where another user can change it.
std::vector<PrefixCandidate> FindPrefixes(const SearchRoots& roots, SearchReport& report);

// Those of them whose registry holds the key (either registry view), in the same order; only the
// registry's section headers are read.
std::vector<PrefixCandidate> HoldingKey(const std::vector<PrefixCandidate>& prefixes,
                                        std::string_view key);

// The candidate a prefix is among those found, by its real path; a prefix no tool names is
// plain Wine's, under the system's Wine.
PrefixCandidate DescribePrefix(const std::vector<PrefixCandidate>& found, const std::string& prefix);

// Why a program folder (and its bin, lib, lib64 and share/wine), or a folder above it, may be
// changed by a user other than this one and root; empty when none can. Group write is allowed
// for this user's own private group, and a sticky folder above the program's folder, whose
// entries only their owners may rename, is allowed too.
std::string Untrusted(const std::string& programFolder);
// Why a start may not run: a program folder of it fails Untrusted, or a program it names, where
// it resolves to, or a folder above that, may be changed by another user. Checked at the search
// and again right before the start, which then names each program by its resolved path (a link
// swapped afterwards changes nothing). Empty when it may run.
// verdicts, where given, keeps what one search found of each folder and program, for the other
// prefixes of the same tool: a search looks at each once.
std::string TrustNow(StartCommand& start, const std::vector<std::string>& programFolders,
                     std::map<std::string, std::string>* verdicts = nullptr);
// Why a prefix may not be used: it belongs to another user. Empty when it may.
// ownerUid: the owner a look at the folder just found, where there was one.
std::string ForeignPrefix(const std::string& prefix, std::optional<uint32_t> ownerUid = std::nullopt);

// The game's folder in a prefix, as its registry's key names it ("Path", else the unnamed
// value); empty when it names none.
std::string GameFolderIn(const std::string& prefix, std::string_view key);

// The places FindPrefixes looks, for the user (--help).
std::vector<std::string> SearchPlaces();

}  // namespace sx::os::wine
