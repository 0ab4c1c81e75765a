// Numbered channels and the Fortran-style text layer every line of the system goes through:
// the unit table, the free-format output line, the fixed layouts (edit descriptors) and the
// free-format reader.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace fio {

// ---------------------------------------------------------------- units
// Unit 5 is standard input, unit 6 standard output; other units are files opened by name.
// Every function takes the unit number; a unit that is not open is treated as an error
// (reads fail, writes are dropped), never as a crash.

constexpr int kStdin = 5;
constexpr int kStdout = 6;

// Open an existing text file for reading (status OLD). Returns 0, or the system's errno;
// a name that is not a regular file is refused without waiting on it: 21 (EISDIR) for a
// directory, 22 (EINVAL) for a FIFO, a device or a socket. The unit is rewound.
int open_old(int unit, std::string_view name);
// Create or replace a text file for writing (status UNKNOWN; emptied when opened).
int open_new(int unit, std::string_view name);
// Create or replace an unformatted sequential file (records: 4-byte length, payload, length).
int open_unformatted(int unit, std::string_view name);
void close(int unit);
// Close an output file, reporting whether everything written on it reached the file:
// 0, or the system's errno of the write, flush or close that failed.
int close_checked(int unit);
void rewind(int unit);
bool is_open(int unit);

// Longest line accepted from any file or from the terminal.
constexpr size_t kMaxLineBytes = size_t{16} << 20;
enum class LineStatus { Ok, End, TooLong };
// Read one line, without its end-of-line character and without a carriage return that ends
// it. End at end of file or on a read error (`line` empty). A line longer than
// kMaxLineBytes is TooLong: `line` holds its beginning, the rest of it is passed over and
// the next read starts on the line after it (on standard input, at most 256 MiB more are
// passed over; beyond that the input is taken as ended).
LineStatus read_line_status(int unit, std::string& line);
// As read_line_status, true only for a line read in full.
bool read_line(int unit, std::string& line);
// Write one line; an open prompt on that unit is continued.
void write_line(int unit, std::string_view text);
// Write text and leave the line open: the next write continues on the same line.
void write_prompt(int unit, std::string_view text);
// One unformatted record: 4-byte length, payload, 4-byte length (native byte order).
void write_record(int unit, const void* data, int32_t nbytes);
// Hints for the user on standard error (standard output keeps the report alone); the fuzz
// targets turn them off.
inline bool hints_enabled = true;
// Flush one output channel (unit 6: standard output).
void flush(int unit);
// Flush every open output channel (standard output included).
void flush_all();
// Flush standard output; false once writing it has failed (see stdout_failure).
bool flush_stdout();
// The system's errno of the first failed write of standard output, 0 while none failed.
int stdout_failure();
// At start-up: a standard descriptor (0, 1, 2) that is closed is given /dev/null, so that no
// file opened later takes its number; a closed standard output counts as a failed write.
void guard_standard_streams();
// Flush everything and end the process with `code`. When writing standard output has
// failed, or reading standard input failed (a folder, a terminal hung up: not its end), one
// line on standard error says so and a code of 0 becomes 3.
[[noreturn]] void terminate(int code);

// Test hook: while capturing, everything written on unit 6 goes to a string instead.
void capture_begin();
std::string capture_end();
// Test hook: the next reads on unit 5 come from this text instead of standard input
// (until it is used up; then unit 5 is at end of file).
void stdin_from_string(std::string text);

// ---------------------------------------------------------------- free-format output
// The free-format line: one leading blank, then the items; texts as they stand, integers
// as two blanks and digits, logicals as two blanks and T/F, reals as "  0." for zero, a
// blank and 10 columns of fixed notation (six significant digits) when 0.1 <= |x| < 1e6
// after rounding, otherwise a blank and 14 columns of 1.23457E-05 notation; infinities
// and NaN as "Infinity", "-Infinity", "NaN" in the 14-column field. A line that would pass
// column 80 is ended and the item goes to a new line beginning with one blank.
class List {
public:
    explicit List(int unit = kStdout);
    ~List();  // ends the record
    List(const List&) = delete;
    List& operator=(const List&) = delete;

    List& operator<<(std::string_view text);
    List& operator<<(const char* text) { return *this << std::string_view(text); }
    List& operator<<(const std::string& text) { return *this << std::string_view(text); }
    List& operator<<(int32_t value);
    List& operator<<(float value);
    List& operator<<(bool value);
    // Reals are single precision everywhere: a double here is a mistake.
    List& operator<<(double) = delete;
    List& operator<<(int64_t) = delete;
    List& operator<<(uint32_t) = delete;

    // The text of the record written so far (lines separated by '\n'); for tests.
    const std::string& text() const { return out_; }

private:
    void item(std::string_view field, int nominal);
    int unit_;
    std::string out_;  // completed lines plus the current one
    size_t line_start_ = 0;
};

// The field of one free-format real item, leading blank included ("  0.", " 1.50000"...).
std::string free_real(float value);

// ---------------------------------------------------------------- fixed layouts
// One item for a fixed layout: an integer, a real or a text.
struct Arg {
    enum class Kind { Int, Real, Text };
    Kind kind;
    int64_t i = 0;  // event counts are 64-bit
    float r = 0.0f;
    std::string_view s;
    Arg(int32_t v) : kind(Kind::Int), i(v) {}
    Arg(float v) : kind(Kind::Real), r(v) {}
    Arg(std::string_view v) : kind(Kind::Text), s(v) {}
    Arg(const char* v) : kind(Kind::Text), s(v) {}
    Arg(const std::string& v) : kind(Kind::Text), s(v) {}
    Arg(int64_t v) : kind(Kind::Int), i(v) {}
    Arg(double) = delete;
};

// Format items with a layout in edit-descriptor notation, e.g.
// "(5X,I5,' particules dans la vallee no',I2)". Supports nX, A, An, In, Fw.d, Ew.d, 1P
// (and kP), quoted literals ('' inside a literal is one quote), /, repeat groups n(...),
// repeat counts on descriptors (3I6), and reversion. Returns the lines, each ended by '\n'.
std::string format(std::string_view layout, std::initializer_list<Arg> args);
// Same, written on a unit (an open prompt on the unit is continued by the first line).
void write_fmt(int unit, std::string_view layout, std::initializer_list<Arg> args);

// Single fields, for callers that build a line piece by piece.
std::string fmt_i(int64_t value, int w);
std::string fmt_f(float value, int w, int d);
std::string fmt_e(float value, int w, int d, int scale = 0);  // scale 1 = the 1P form

// ---------------------------------------------------------------- free-format input
// A free-format read: begin() starts at the next line of the unit; each next_*() takes the
// next value, reading further lines when the current one is used up; end() drops whatever
// is left on the current line (the next read starts on a new line). Separators: blanks,
// commas and tabs; consecutive separators count as one. An integer is an optional sign and
// digits that fit in 32 bits; a real is a decimal number with an optional exponent (E or D),
// finite in single precision.
enum class ReadStatus { Ok = 0, End = 1, Bad = 2 };

class ListReader {
public:
    explicit ListReader(int unit) : unit_(unit) {}
    ReadStatus next_int(int32_t& value);
    ReadStatus next_real(float& value);
    void end() {
        have_line_ = false;
        line_.clear();
        pos_ = 0;
    }
    // Number of lines read so far by this reader.
    int lines_read() const { return lines_; }

private:
    ReadStatus next_token(std::string_view& tok);
    int unit_;
    std::string line_;
    size_t pos_ = 0;
    bool have_line_ = false;
    int lines_ = 0;
};

// Text record: the first n characters of the next line, blank-padded to n.
ReadStatus read_text(int unit, int n, std::string& out);
// Skip one whole line.
ReadStatus skip_line(int unit);

// Parse helpers shared with readers of in-memory text (exact rules of the free-format read).
bool parse_int(std::string_view tok, int32_t& value);
bool parse_real(std::string_view tok, float& value);

}  // namespace fio
