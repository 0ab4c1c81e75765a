// Numbered channels: unit 5 is standard input, unit 6 standard output, the others files.
#include "klip/fio.hpp"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace fio {
namespace {

constexpr int kMaxUnit = 99;

struct Channel {
    std::FILE* f = nullptr;
    bool reading = false;
};

std::array<Channel, kMaxUnit + 1> channels{};
bool capturing = false;
std::string captured;
bool stdin_override = false;
std::string stdin_text;
size_t stdin_pos = 0;

Channel* channel(int unit) {
    if (unit < 0 || unit > kMaxUnit) return nullptr;
    return &channels[static_cast<size_t>(unit)];
}

void put(int unit, std::string_view text) {
    if (unit == kStdout) {
        if (capturing) {
            captured.append(text);
        } else {
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
        return;
    }
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr || c->reading) return;
    std::fwrite(text.data(), 1, text.size(), c->f);
}

int open_file(int unit, std::string_view name, const char* mode, bool reading) {
    Channel* c = channel(unit);
    if (c == nullptr || unit == kStdin || unit == kStdout) return EBADF;
    close(unit);
    std::string path(name);
    while (!path.empty() && path.back() == ' ') path.pop_back();
    if (path.empty()) return ENOENT;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return EISDIR;
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (f == nullptr) return errno != 0 ? errno : EIO;
    c->f = f;
    c->reading = reading;
    return 0;
}

bool read_stdin_line(std::string& line) {
    if (stdin_override) {
        if (stdin_pos >= stdin_text.size()) return false;
        size_t nl = stdin_text.find('\n', stdin_pos);
        if (nl == std::string::npos) {
            line = stdin_text.substr(stdin_pos);
            stdin_pos = stdin_text.size();
        } else {
            line = stdin_text.substr(stdin_pos, nl - stdin_pos);
            stdin_pos = nl + 1;
        }
        return true;
    }
    std::fflush(stdout);  // a prompt must be visible before the user answers
    return false;
}

// A line longer than this is not a line of text (a device, a binary file): the read fails
// instead of growing without end.
constexpr size_t kMaxLineBytes = size_t{16} << 20;

bool read_file_line(std::FILE* f, std::string& line) {
    int ch = getc_unlocked(f);
    if (ch == EOF) return false;
    while (ch != EOF && ch != '\n') {
        if (line.size() >= kMaxLineBytes) {
            line.clear();
            return false;
        }
        line.push_back(static_cast<char>(ch));
        ch = getc_unlocked(f);
    }
    return true;
}

}  // namespace

int open_old(int unit, std::string_view name) {
    int st = open_file(unit, name, "rb", true);
    if (st == 0) rewind(unit);
    return st;
}

int open_new(int unit, std::string_view name) { return open_file(unit, name, "wb", false); }

int open_unformatted(int unit, std::string_view name) { return open_file(unit, name, "wb", false); }

void close(int unit) {
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr) return;
    std::fclose(c->f);
    c->f = nullptr;
    c->reading = false;
}

int close_checked(int unit) {
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr) return EBADF;
    errno = 0;
    int status = 0;
    if (std::fflush(c->f) != 0 || std::ferror(c->f) != 0) status = errno != 0 ? errno : EIO;
    errno = 0;
    if (std::fclose(c->f) != 0 && status == 0) status = errno != 0 ? errno : EIO;
    c->f = nullptr;
    c->reading = false;
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

bool read_line(int unit, std::string& line) {
    line.clear();
    if (unit == kStdin) {
        if (stdin_override) return read_stdin_line(line);
        read_stdin_line(line);
        return read_file_line(stdin, line);
    }
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr || !c->reading) return false;
    return read_file_line(c->f, line);
}

void write_line(int unit, std::string_view text) {
    put(unit, text);
    put(unit, "\n");
}

// A prompt is shown at once, even when standard output is a pipe or a file.
void write_prompt(int unit, std::string_view text) {
    put(unit, text);
    if (unit == kStdout && !capturing) std::fflush(stdout);
}

void write_record(int unit, const void* data, int32_t nbytes) {
    Channel* c = channel(unit);
    if (c == nullptr || c->f == nullptr || c->reading || nbytes < 0) return;
    std::fwrite(&nbytes, sizeof nbytes, 1, c->f);
    std::fwrite(data, 1, static_cast<size_t>(nbytes), c->f);
    std::fwrite(&nbytes, sizeof nbytes, 1, c->f);
}

void flush(int unit) {
    if (unit == kStdout) {
        if (!capturing) std::fflush(stdout);
        return;
    }
    Channel* c = channel(unit);
    if (c != nullptr && c->f != nullptr && !c->reading) std::fflush(c->f);
}

void flush_all() {
    std::fflush(stdout);
    for (Channel& c : channels) {
        if (c.f != nullptr && !c.reading) std::fflush(c.f);
    }
}

void terminate(int code) {
    flush_all();
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
