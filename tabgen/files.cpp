#include "tabgen/files.hpp"

#include "core/files.hpp"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tabgen {
namespace {

using core::HoldSignals;

// Writes `text` under a new unique name beside `target`; returns the name, or "" with `error`.
std::string write_temp(const std::string& target, const std::string& text, std::string& error) {
    std::string tmp;
    int fd = -1;
    int code = core::make_temporary(target, tmp, fd);
    if (code != 0) {
        error = "cannot create a temporary file in the folder of " + target + ": "
                + std::strerror(code);
        return "";
    }
    for (size_t done = 0; code == 0 && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno != EINTR) code = errno;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    if (code == 0 && fsync(fd) != 0) code = errno;
    if (::close(fd) != 0 && code == 0) code = errno;
    if (code != 0) {
        error = "cannot write " + target + ": " + std::strerror(code);
        unlink(tmp.c_str());
        return "";
    }
    return tmp;
}

}  // namespace

std::string resolve_links(const std::string& path) { return core::resolve_links(path); }

ReadResult read_bounded(const std::string& path, size_t limit, std::string& text,
                        std::string& error) {
    text.clear();
    // Not blocking on the open: a FIFO without a writer is refused, not waited for.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return ReadResult::Missing;
        error = std::strerror(errno);
        return ReadResult::Failed;
    }
    struct stat st;
    int code = fstat(fd, &st) == 0 ? 0 : errno;
    if (code == 0 && S_ISDIR(st.st_mode)) code = EISDIR;
    if (code == 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "not a regular file (a FIFO, a device or a socket)";
        return ReadResult::Failed;
    }
    if (code == 0) {
        char buf[1 << 16];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0) {
                if (errno == EINTR) continue;
                code = errno;
                break;
            }
            if (n == 0) break;
            if (text.size() + static_cast<size_t>(n) > limit) {
                ::close(fd);
                text.clear();
                error = "longer than " + std::to_string(limit >> 20) + " MiB";
                return ReadResult::Failed;
            }
            text.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    if (code != 0) {
        text.clear();
        error = std::strerror(code);
        return ReadResult::Failed;
    }
    return ReadResult::Ok;
}

Lock::~Lock() {
    if (fd_ >= 0) ::close(fd_);
}

bool Lock::acquire_impl(const std::string& path, std::string& error, void* ctx,
                        void (*waiting)(void*)) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // A lock file another user created may be read-only to us: a lock needs no write access.
    // When there is none, the reason to give is the first one (a folder we may not write).
    if (fd_ < 0 && errno == EACCES) {
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) errno = EACCES;
    }
    if (fd_ < 0) {
        error = "cannot open the lock file " + path + ": " + std::strerror(errno);
        return false;
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EWOULDBLOCK) {
        waiting(ctx);
        int r;
        while ((r = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (r == 0) return true;
    }
    error = "cannot lock " + path + ": " + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return false;
}

namespace {

// A file that exists where a table or the catalogue goes must be a regular file: a rename
// would put a plain file in place of a device or a FIFO, and cannot replace a folder.
bool replaceable(const std::string& target, std::string& error) {
    struct stat st;
    if (stat(target.c_str(), &st) != 0) {
        if (errno == ENOENT) return true;
        error = target + ": " + std::strerror(errno);  // a loop of links: one would be replaced
        return false;
    }
    // A rename needs no write access to the file: a write-protected table or catalogue
    // (frozen by its owner) would be replaced all the same.
    if (S_ISREG(st.st_mode) && access(target.c_str(), W_OK) != 0 && errno == EACCES) {
        error = target + " is write-protected; make it writable to replace it";
        return false;
    }
    if (S_ISREG(st.st_mode)) return true;
    error = target
            + (S_ISDIR(st.st_mode) ? " is a folder"
                                   : " is not a regular file (a device, a FIFO or a socket)")
            + "; remove or rename it";
    return false;
}

std::string list(const std::vector<std::string>& names, size_t from, size_t to) {
    std::string s;
    for (size_t i = from; i < to; ++i) s += (i > from ? ", " : "") + names[i];
    return s;
}

}  // namespace

bool write_all_atomic(const std::vector<std::pair<std::string, std::string>>& files,
                      std::string& error) {
    std::vector<std::string> targets, temps;
    for (const auto& f : files) {
        targets.push_back(resolve_links(f.first));
        if (!replaceable(targets.back(), error)) {
            error += "; nothing was replaced";
            return false;
        }
    }
    HoldSignals hold;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string tmp = write_temp(targets[i], files[i].second, error);
        if (tmp.empty()) {
            for (const auto& t : temps) unlink(t.c_str());
            error += "; nothing was replaced";
            return false;
        }
        temps.push_back(tmp);
    }
    for (size_t i = 0; i < temps.size(); ++i) {
        if (std::rename(temps[i].c_str(), targets[i].c_str()) != 0) {
            error = "cannot replace " + targets[i] + ": " + std::strerror(errno);
            error += i == 0 ? "; nothing was replaced"
                            : "; replaced: " + list(targets, 0, i)
                                  + "; not replaced: " + list(targets, i, targets.size());
            for (size_t j = i; j < temps.size(); ++j) unlink(temps[j].c_str());
            return false;
        }
    }
    return true;
}

bool write_atomic(const std::string& path, const std::string& text, std::string& error) {
    return write_all_atomic({{path, text}}, error);
}

}  // namespace tabgen
