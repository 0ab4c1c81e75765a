// Fuzz target: tabgen's material descriptions. Every input is parsed; one that parses is
// generated into tables, and a table set that is generated must pass tabgen's own checks
// (tabgen writes nothing otherwise, so a generated set that fails them would be a fault).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tabgen/build.hpp"
#include "tabgen/material.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tabgen::Material m;
    std::string error;
    if (!tabgen::parse_material(text, m, error)) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    auto g = tabgen::build_tables(m, error);
    if (!g) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    if (!tabgen::check_tables(*g, error)) __builtin_trap();
    return 0;
}
