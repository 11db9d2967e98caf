// SPDX-License-Identifier: GPL-3.0-or-later
// The least an atomic replacement of every file of a folder does, as a floor for the callsign
// batch beside the copy it is measured against: each file read, a new file written beside it,
// one sync of the file system, then each new file renamed over its old one and the folder
// flushed. No lock, no check, no attribute: nothing of what makes it safe.
//
//   least_replacement DIR
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const int dir = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = dir >= 0 ? ::fdopendir(::dup(dir)) : nullptr;
    if (d == nullptr) return 1;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d))
        if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    ::closedir(d);
    std::vector<char> buffer(1 << 20);
    for (const std::string& name : names) {
        const int in = ::openat(dir, name.c_str(), O_RDONLY | O_CLOEXEC);
        const ssize_t got = in >= 0 ? ::read(in, buffer.data(), buffer.size()) : -1;
        if (in >= 0) ::close(in);
        const int out = ::openat(dir, (name + ".new").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (got < 0 || out < 0 || ::write(out, buffer.data(), static_cast<size_t>(got)) != got) return 1;
        ::close(out);
    }
    if (::syncfs(dir) != 0) return 1;
    for (const std::string& name : names)
        if (::renameat(dir, (name + ".new").c_str(), dir, name.c_str()) != 0) return 1;
    return ::fsync(dir) == 0 ? 0 : 1;
}
