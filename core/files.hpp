// File-system helpers that zot, tabgen and cumavg share for reading and writing files safely:
// the folder of a path, the file a chain of symbolic links leads to, signals held back while a
// temporary file exists, and a character read that waits on a non-blocking stream. Header only.
#pragma once

#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace core {

// The folder part of a path, with its final slash ("" for a bare name).
inline std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The path a file name leads to: symbolic links are followed, so that the file they lead to
// is written and the links stay in place (a link to a file not there yet leads to it). A loop
// of links stops after 40 hops; opening or renaming it then fails with its own reason.
inline std::string resolve_links(const std::string& name) {
    std::string p = name;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        char buf[PATH_MAX];
        const ssize_t n = readlink(p.c_str(), buf, sizeof buf - 1);
        if (n <= 0) return p;
        const std::string target(buf, static_cast<size_t>(n));
        p = target[0] == '/' ? target : folder_of(p) + target;
    }
    return p;
}

// Creates a file with a unique name ".NAME.XXXXXX" beside `target` (in its folder, so that a
// rename replaces the target), with the permissions of the file it will replace or of a new
// file. Returns 0 with the name in `temp` and the open descriptor in `fd`, or the errno with
// nothing left behind.
inline int make_temporary(const std::string& target, std::string& temp, int& fd) {
    const size_t slash = target.rfind('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    temp = target.substr(0, base) + "." + target.substr(base) + ".XXXXXX";
    fd = mkstemp(temp.data());
    if (fd < 0) return errno;
    struct stat st;
    mode_t mode;
    if (stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (fchmod(fd, mode) == 0) return 0;
    const int status = errno;
    ::close(fd);
    unlink(temp.c_str());
    fd = -1;
    return status;
}

// SIGINT, SIGTERM and SIGHUP wait while it lives (while temporary files exist), so that no
// stop leaves one behind; they take effect when it ends.
class HoldSignals {
public:
    HoldSignals() {
        sigset_t s;
        sigemptyset(&s);
        sigaddset(&s, SIGINT);
        sigaddset(&s, SIGTERM);
        sigaddset(&s, SIGHUP);
        sigprocmask(SIG_BLOCK, &s, &old_);
    }
    ~HoldSignals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
    HoldSignals(const HoldSignals&) = delete;
    HoldSignals& operator=(const HoldSignals&) = delete;

private:
    sigset_t old_;
};

// The next character of `f`. A stream left non-blocking by another program reads EAGAIN while
// nothing has come yet: that is waited for, not taken for a read error or the end.
inline int getc_waiting(std::FILE* f) {
    for (;;) {
        const int ch = getc_unlocked(f);
        if (ch != EOF || std::ferror(f) == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return ch;
        std::clearerr(f);
        struct pollfd p {};
        p.fd = fileno(f);
        p.events = POLLIN;
        poll(&p, 1, -1);
    }
}

}  // namespace core
