// Free-format text layer of cumavg: the free-format output line and the free-format read.
// cumavg links against nothing of zot, so it carries its own small copy of both rules.
#pragma once

#include <cstdint>
#include <cstdio>

namespace cumavg {

// ------------------------------------------------------------------ free-format output
// A free-format line begins with one blank; the items follow with no other separator:
// a text as it stands, an integer as two blanks and its digits, a real as "  0." when it
// is zero, otherwise one blank and either 10 columns of fixed notation with six
// significant digits (0.1 <= |x| < 1e6 after rounding to six digits) or 14 columns of
// 1.23457E-05 notation; infinities and NaN as Infinity, -Infinity, NaN in the 14 columns.
// Before an item, when the line already holds two characters or more and the item's
// nominal width (a text's length, an integer's characters plus 2, 4 for a real zero, 7 for
// any other real) would carry it past column 80, the line is ended and a new one begun
// with one blank.
inline constexpr int kLineMax = 512;
inline constexpr int kLineWidth = 80;

struct Line {
    std::FILE* out;
    char text[kLineMax + 1];
    int len;
    bool ok;  // false once the stream has reported an error
};

void line_begin(Line& line, std::FILE* out);
void put_text(Line& line, const char* text);
void put_int(Line& line, int64_t value);
void put_real(Line& line, float value);
// Writes the line and its end; false when the stream reported an error on this line.
bool line_end(Line& line);

// The field of one free-format real item, leading blank included; returns its length.
// `field` must hold at least 16 characters.
int free_real(float value, char* field);

// ------------------------------------------------------------------- free-format input
// One read takes the first value found from the start of the next line, going on to the
// following lines while they hold none, and drops the rest of the line it came from.
// Separators are blanks, commas and tabs (a run of them counts as one); a line may end in
// CR LF. An integer is an optional sign and digits that fit in 32 bits; a real is a
// decimal number with an optional exponent (E or D) that is finite in single precision.
// A line longer than kMaxLineBytes is not read to its end: TooLong.
enum class ReadStatus { Ok, End, Bad, Error, TooLong };

inline constexpr int64_t kMaxLineBytes = int64_t{16} << 20;

inline constexpr int kTokenMax = 255;

struct Reader {
    std::FILE* in;
    int64_t lines;              // lines consumed so far
    int64_t line;               // number of the line the last value came from
    char token[kTokenMax + 1];  // the last value's characters (cut at kTokenMax)
    bool overlong;              // the last value was longer than kTokenMax
};

void reader_init(Reader& rd, std::FILE* in);
ReadStatus read_int(Reader& rd, int32_t& value);
ReadStatus read_real(Reader& rd, float& value);

bool parse_int(const char* tok, int32_t& value);
bool parse_real(const char* tok, float& value);

}  // namespace cumavg
