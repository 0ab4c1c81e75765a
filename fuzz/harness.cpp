// Shared plumbing of the fuzz targets.
#include "fuzz/harness.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef ZOT_SOURCE_DIR
#define ZOT_SOURCE_DIR "."
#endif

namespace fuzz {

const std::string& workdir() {
    static const std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string base =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zotfuzz-XXXXXX";
        if (::mkdtemp(base.data()) == nullptr) std::abort();
        std::string run = base + "/run";
        if (::mkdir(run.c_str(), 0700) != 0 || ::chdir(run.c_str()) != 0) std::abort();
        return run;
    }();
    return dir;
}

std::vector<std::string> split(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> parts(count);
    std::string_view in(reinterpret_cast<const char*>(data), size);
    size_t part = 0;
    size_t pos = 0;
    while (pos <= in.size()) {
        size_t nl = in.find('\n', pos);
        std::string_view line = in.substr(pos, nl == std::string_view::npos ? in.npos : nl - pos);
        if (line == "%%" && part + 1 < count) {
            ++part;
        } else {
            parts[part].append(line);
            if (nl != std::string_view::npos) parts[part].push_back('\n');
        }
        if (nl == std::string_view::npos) break;
        pos = nl + 1;
    }
    return parts;
}

void write_file(const std::string& name, std::string_view content) {
    workdir();
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string read_file(const std::string& name, bool* exists) {
    workdir();
    std::ifstream in(name, std::ios::binary);
    if (exists != nullptr) *exists = static_cast<bool>(in);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void remove_file(const std::string& name) {
    workdir();
    std::remove(name.c_str());
}

void install_message_files() {
    workdir();
    for (const char* name : {"synerr", "zotmer", "zothlp"}) {
        bool exists = false;
        std::ifstream in(std::string(ZOT_SOURCE_DIR) + "/data/" + name, std::ios::binary);
        exists = static_cast<bool>(in);
        if (!exists) continue;
        std::ostringstream s;
        s << in.rdbuf();
        write_file(name, s.str());
    }
}

}  // namespace fuzz
