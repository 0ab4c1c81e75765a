// Fuzz target: the repository search. The input is the catalogue; two requests are made
// against it. A record reported as found must be one of the catalogue's lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/run.hpp"
#include "fuzz/harness.hpp"
#include "klip/records.hpp"
#include "klip/text.hpp"
#include "tables/tables.hpp"

namespace {

// The name returned must be the first 12 columns of one of the catalogue's lines.
bool names_a_line(std::string_view catalogue, const klip::Text<80>& name) {
    if (name.view().substr(12) != std::string(68, ' ')) return false;
    size_t pos = 0;
    while (pos <= catalogue.size()) {
        size_t nl = catalogue.find('\n', pos);
        std::string_view line =
            catalogue.substr(pos, nl == std::string_view::npos ? catalogue.npos : nl - pos);
        if (klip::pad(line, 12) == name.view().substr(0, 12)) return true;
        if (nl == std::string_view::npos) break;
        pos = nl + 1;
    }
    return false;
}

void request(std::string_view catalogue, std::string_view mat, float temp, char type, float dop) {
    klip::Text<80> nfidat;
    const int status =
        tables::search(klip::pad("../replam", 80), klip::pad(mat, 12), temp, type, dop, nfidat);
    if (status != 0 && status != 1) __builtin_trap();
    if (status == 0 && !names_a_line(catalogue, nfidat)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::workdir();
    fuzz::install_message_files();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const std::string catalogue(reinterpret_cast<const char*>(data), size);
    fuzz::write_file("../replam", catalogue);
    fuzz::reset("");
    fuzz::guarded([&] {
        driver::startup();
        klip::debug.level = (size > 0 && (data[0] & 1) != 0) ? 2 : 0;
        request(catalogue, "GAAS", 300.0f, 'E', 1.0e17f);
        request(catalogue, "INP X", 77.0f, 'T', 0.0f);
    });
    fuzz::finish();
    return 0;
}
