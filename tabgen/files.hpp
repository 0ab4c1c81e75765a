// Files of a table repository: bounded reads, the repository lock and atomic replacement
// through symbolic links.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tabgen {

// The path a name leads to: symbolic links are followed (a link whose target does not exist
// yet leads to that target). Other names are returned as they are.
std::string resolve_links(const std::string& path);

enum class ReadResult { Ok, Missing, Failed };

// Reads a whole regular file of at most `limit` bytes. Missing: the name does not exist.
// Failed: `error` holds the reason (a folder, a FIFO or a device, a file over the limit, a
// read error), without the file name.
ReadResult read_bounded(const std::string& path, size_t limit, std::string& text,
                        std::string& error);

// An exclusive lock held on a lock file for the lifetime of the object (flock). When
// another process holds it, `waiting` is called once and the lock is waited for.
class Lock {
public:
    Lock() = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock();
    template <typename F> bool acquire(const std::string& path, std::string& error, F waiting) {
        return acquire_impl(path, error, &waiting, [](void* f) { (*static_cast<F*>(f))(); });
    }

private:
    bool acquire_impl(const std::string& path, std::string& error, void* ctx,
                      void (*waiting)(void*));
    int fd_ = -1;
};

// Writes `text` to `path` through a temporary file in the same directory and a rename, so
// that the file is either the old one or the whole new one.
bool write_atomic(const std::string& path, const std::string& text, std::string& error);

// The same for several files: each is written under a unique temporary name in the folder
// of the file its name leads to (a symbolic link is followed and stays in place), and only
// when all are complete are they renamed into place, in order; when one cannot be written,
// the temporary files are removed and no file is replaced. A name that leads to a folder, a
// device, a FIFO or a write-protected file is refused before anything is written. A replaced
// file keeps its permissions. `error` says which files were replaced when a rename fails
// part-way.
bool write_all_atomic(const std::vector<std::pair<std::string, std::string>>& files,
                      std::string& error);

}  // namespace tabgen
