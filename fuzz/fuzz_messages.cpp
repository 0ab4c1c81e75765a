// Fuzz target: the message and help files. The input is cut at lines "%%" into the
// toolkit's message file "synerr", the program's message file "zotmer", the help file
// "zothlp" and the text typed at the terminal: its first line lists the message numbers to
// report (any 32-bit integers), its second line is a help request ("AIDE *", "AIDE CA",
// "BATCH ..." to ask with paging on), the following lines answer "SUITE ?".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/run.hpp"
#include "fuzz/harness.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"

namespace {

constexpr int kMaxCodes = 8;

void report_codes(std::string_view line) {
    int reported = 0;
    size_t pos = 0;
    while (pos < line.size() && reported < kMaxCodes) {
        while (pos < line.size() && line[pos] == ' ') ++pos;
        size_t end = line.find(' ', pos);
        if (end == std::string_view::npos) end = line.size();
        int32_t code = 0;
        if (end > pos && fio::parse_int(line.substr(pos, end - pos), code)) {
            const int r = klip::error(code);
            if (r != (code == 0 ? 0 : 1)) __builtin_trap();
            ++reported;
        }
        pos = end;
    }
}

void session(const std::string& codes) {
    driver::startup();
    report_codes(codes);
    klip::lire();
    if (klip::indic.INDERR != 0) return;
    klip::Text<80> key;
    int32_t ln = 0;
    klip::getstr(key, ln);
    if (klip::indic.INDERR != 0) return;
    if (key.view().substr(0, 5) == "BATCH") klip::indic.IPAGE = 1;
    klip::help(klip::pad("zothlp", 80));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::workdir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    auto parts = fuzz::split(data, size, 4);
    fuzz::write_file("synerr", parts[0]);
    fuzz::write_file("zotmer", parts[1]);
    fuzz::write_file("zothlp", parts[2]);
    std::string typed = parts[3];
    const size_t nl = typed.find('\n');
    const std::string codes = typed.substr(0, nl);
    fuzz::reset(nl == std::string::npos ? std::string() : typed.substr(nl + 1));
    fuzz::guarded([&] { session(codes); });
    fuzz::finish();
    return 0;
}
