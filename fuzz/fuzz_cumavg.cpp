// Fuzz target: cumavg's input. The input is cut at a line "%%" into the text typed at the
// terminal (the count) and the file "avirer" (no second part: no "avirer" at all). A run
// that fails must leave "MoyMobilCumul.txt" as it was and must not create "avirer".
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cumavg.hpp"
#include "fuzz/harness.hpp"

namespace {
std::FILE* sink = nullptr;
constexpr const char* kSentinel = "earlier content\n";
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::workdir();
    sink = std::fopen("/dev/null", "w");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const bool has_file = in.find("\n%%\n") != std::string_view::npos || in.substr(0, 3) == "%%\n";
    auto parts = fuzz::split(data, size, 2);
    if (has_file) {
        fuzz::write_file("avirer", parts[1]);
    } else {
        fuzz::remove_file("avirer");
    }
    fuzz::write_file("MoyMobilCumul.txt", kSentinel);
    std::FILE* terminal = parts[0].empty() ? std::fopen("/dev/null", "r")
                                           : fmemopen(parts[0].data(), parts[0].size(), "r");
    const int status = cumavg::run(terminal, sink, sink);
    std::fclose(terminal);
    bool exists = false;
    const std::string out = fuzz::read_file("MoyMobilCumul.txt", &exists);
    if (status != 0 && status != 2) __builtin_trap();
    if (status == 2 && (!exists || out != kSentinel)) __builtin_trap();
    if (status == 0 && (!exists || out == kSentinel)) __builtin_trap();
    bool avirer = false;
    fuzz::read_file("avirer", &avirer);
    if (!has_file && avirer) __builtin_trap();
    return 0;
}
