// Numbered channels: unit 5 is standard input, unit 6 standard output, the others files.
#include "klip/fio.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/files.hpp"

namespace fio {
namespace {

constexpr int kMaxUnit = 99;

struct Channel {
    std::FILE* f = nullptr;
    bool reading = false;
    int write_errno = 0;  // the first write or flush that failed: its reason for the close
};

// Remembers why a write to a file failed: by the close, the stream keeps only that it did.
void note_write(Channel& c, bool failed) {
    if (failed && c.write_errno == 0) c.write_errno = errno != 0 ? errno : EIO;
}

std::array<Channel, kMaxUnit + 1> channels{};
bool capturing = false;
std::string captured;
bool stdin_override = false;
std::string stdin_text;
size_t stdin_pos = 0;
int stdout_errno = 0;  // first failed write of standard output
int stdin_errno = 0;   // a read of standard input that failed (not its end)
// The rest of an over-long line passed over on standard input, which may never end (a
// device such as /dev/zero): beyond this, the input is taken as ended and that is reported.
constexpr size_t kMaxSkipBytes = size_t{256} << 20;
bool stdin_endless = false;

// Remember the first failure of standard output, with the errno of the write that failed.
void note_stdout_write(bool failed) {
    if (stdout_errno != 0) return;
    if (failed || std::ferror(stdout) != 0) stdout_errno = errno != 0 ? errno : EIO;
}

Channel* channel(int unit) {
    if (unit < 0 || unit > kMaxUnit) return nullptr;
    return &channels[static_cast<size_t>(unit)];
}

void put(int unit, std::string_view text) {
    if (unit == kStdout) {
        if (capturing) {
            captured.append(text);
        } else {
            errno = 0;
            note_stdout_write(std::fwrite(text.data(), 1, text.size(), stdout) != text.size());
        }
        return;
    }
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr || c->reading) return;
    errno = 0;
    note_write(*c, std::fwrite(text.data(), 1, text.size(), c->f) != text.size());
}

// Closes `unit` and gives its channel and the name without its trailing blanks: 0, or the
// errno when the unit cannot take a file or the name is empty.
int prepare_unit(int unit, std::string_view name, Channel*& c, std::string& path) {
    c = channel(unit);
    if (c == nullptr || unit == kStdin || unit == kStdout) return EBADF;
    close(unit);
    path = std::string(name);
    while (!path.empty() && path.back() == ' ') path.pop_back();
    return path.empty() ? ENOENT : 0;
}

// Opens a file for writing (emptied when it exists) on `unit`.
int open_for_writing(int unit, std::string_view name) {
    Channel* c = nullptr;
    std::string path;
    if (const int status = prepare_unit(unit, name, c, path); status != 0) return status;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return EISDIR;
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return errno != 0 ? errno : EIO;
    c->f = f;
    c->reading = false;
    c->write_errno = 0;
    return 0;
}

// A carriage return that ends a line (a line written with CR LF ends) is not part of it.
LineStatus line_read(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return LineStatus::Ok;
}

LineStatus read_stdin_override(std::string& line) {
    if (stdin_pos >= stdin_text.size()) return LineStatus::End;
    size_t nl = stdin_text.find('\n', stdin_pos);
    if (nl == std::string::npos) nl = stdin_text.size();
    const size_t n = nl - stdin_pos;
    line = stdin_text.substr(stdin_pos, n < kMaxLineBytes ? n : kMaxLineBytes);
    stdin_pos = nl < stdin_text.size() ? nl + 1 : nl;
    return n > kMaxLineBytes ? LineStatus::TooLong : line_read(line);
}

// A line longer than kMaxLineBytes is not a line of text: its beginning is kept, the rest
// passed over without being stored, so that memory stays bounded. With `endless`, at most
// kMaxSkipBytes are passed over; *endless is then set.
LineStatus read_file_line(std::FILE* f, std::string& line, bool* endless = nullptr) {
    int ch = core::getc_waiting(f);
    if (ch == EOF) return LineStatus::End;
    while (ch != EOF && ch != '\n') {
        if (line.size() >= kMaxLineBytes) {
            for (size_t skipped = 0; ch != EOF && ch != '\n'; ch = core::getc_waiting(f)) {
                if (endless != nullptr && ++skipped > kMaxSkipBytes) {
                    *endless = true;
                    break;
                }
            }
            return LineStatus::TooLong;
        }
        line.push_back(static_cast<char>(ch));
        ch = core::getc_waiting(f);
    }
    return line_read(line);
}

// Open for reading only what is a regular file: a FIFO would wait for a writer, a device may
// never end. The name is checked before it is opened, and the file opened checked again.
int open_regular(Channel& c, const std::string& path) {
    auto refusal = [](const struct stat& st) { return S_ISDIR(st.st_mode) ? EISDIR : EINVAL; };
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return refusal(st);
    errno = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno != 0 ? errno : EIO;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int status = S_ISREG(st.st_mode) ? EIO : refusal(st);
        ::close(fd);
        return status;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (f == nullptr) {
        const int status = errno != 0 ? errno : EIO;
        ::close(fd);
        return status;
    }
    c.f = f;
    c.reading = true;
    return 0;
}

}  // namespace

int open_old(int unit, std::string_view name) {
    Channel* c = nullptr;
    std::string path;
    if (const int status = prepare_unit(unit, name, c, path); status != 0) return status;
    const int st = open_regular(*c, path);
    if (st == 0) rewind(unit);
    return st;
}

int open_new(int unit, std::string_view name) { return open_for_writing(unit, name); }

int open_unformatted(int unit, std::string_view name) { return open_for_writing(unit, name); }

void close(int unit) {
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr) return;
    std::fclose(c->f);
    c->f = nullptr;
    c->reading = false;
    c->write_errno = 0;
}

int close_checked(int unit) {
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr) return EBADF;
    errno = 0;
    int status = 0;
    if (std::fflush(c->f) != 0 || std::ferror(c->f) != 0) status = errno != 0 ? errno : EIO;
    if (status != 0 && c->write_errno != 0) status = c->write_errno;
    errno = 0;
    if (std::fclose(c->f) != 0 && status == 0) status = errno != 0 ? errno : EIO;
    c->f = nullptr;
    c->reading = false;
    c->write_errno = 0;
    return status;
}

void rewind(int unit) {
    Channel* c = channel(unit);
    if (c != nullptr && c->f != nullptr) std::rewind(c->f);
}

bool is_open(int unit) {
    if (unit == kStdin || unit == kStdout) return true;
    Channel* c = channel(unit);
    return c != nullptr && c->f != nullptr;
}

LineStatus read_line_status(int unit, std::string& line) {
    line.clear();
    if (unit == kStdin) {
        if (stdin_override) return read_stdin_override(line);
        flush_stdout();  // a prompt must be visible before the user answers
        if (stdin_endless) return LineStatus::End;
        errno = 0;
        const LineStatus st = read_file_line(stdin, line, &stdin_endless);
        // A read that fails (standard input a folder, a terminal hung up) ends the input
        // like its end, but the failure is reported when the program ends.
        if (st == LineStatus::End && std::ferror(stdin) != 0 && stdin_errno == 0)
            stdin_errno = errno != 0 ? errno : EIO;
        return st;
    }
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr || !c->reading) return LineStatus::End;
    return read_file_line(c->f, line);
}

bool read_line(int unit, std::string& line) {
    return read_line_status(unit, line) == LineStatus::Ok;
}

void write_line(int unit, std::string_view text) {
    put(unit, text);
    put(unit, "\n");
}

// A prompt is shown at once, even when standard output is a pipe or a file.
void write_prompt(int unit, std::string_view text) {
    put(unit, text);
    if (unit == kStdout) flush_stdout();
}

void write_record(int unit, const void* data, int32_t nbytes) {
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr || c->reading || nbytes < 0) return;
    errno = 0;
    note_write(*c, std::fwrite(&nbytes, sizeof nbytes, 1, c->f) != 1);
    note_write(
        *c, std::fwrite(data, 1, static_cast<size_t>(nbytes), c->f) != static_cast<size_t>(nbytes));
    note_write(*c, std::fwrite(&nbytes, sizeof nbytes, 1, c->f) != 1);
}

void flush(int unit) {
    if (unit == kStdout) {
        flush_stdout();
        return;
    }
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr || c->reading) return;
    errno = 0;
    note_write(*c, std::fflush(c->f) != 0);
}

void flush_all() {
    flush_stdout();
    for (Channel& c : channels) {
        if (c.f == nullptr || c.reading) continue;
        errno = 0;
        note_write(c, std::fflush(c.f) != 0);
    }
}

bool flush_stdout() {
    if (capturing) return true;
    errno = 0;
    note_stdout_write(std::fflush(stdout) != 0);
    return stdout_errno == 0;
}

int stdout_failure() { return stdout_errno; }

void guard_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int got = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (got >= 0 && got != fd) {
            ::dup2(got, fd);
            ::close(got);
        }
        if (fd == 1 && stdout_errno == 0) stdout_errno = EBADF;
    }
}

void terminate(int code) {
    flush_all();
    if (stdout_errno != 0) {
        std::fprintf(stderr, "%s: cannot write standard output: %s\n",
                     program_invocation_short_name, std::strerror(stdout_errno));
        if (code == 0) code = 3;
    }
    if (stdin_endless) {
        std::fprintf(stderr,
                     "%s: standard input: a line of over %zu MiB that does not end; it was "
                     "read no further\n",
                     program_invocation_short_name, (kMaxLineBytes + kMaxSkipBytes) >> 20);
        if (code == 0) code = 3;
    }
    if (stdin_errno != 0) {
        std::fprintf(stderr, "%s: cannot read standard input: %s\n", program_invocation_short_name,
                     std::strerror(stdin_errno));
        if (code == 0) code = 3;
    }
    std::exit(code);
}

void capture_begin() {
    capturing = true;
    captured.clear();
}

std::string capture_end() {
    capturing = false;
    std::string out;
    out.swap(captured);
    return out;
}

void stdin_from_string(std::string text) {
    stdin_override = true;
    stdin_text = std::move(text);
    stdin_pos = 0;
}

}  // namespace fio
