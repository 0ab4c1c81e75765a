// Fuzz target: the table file reader. The input is the table file; after a load that
// reports success, every count and index the scattering engine will follow must lie inside
// the capacities of the model, otherwise the reader let an inconsistent table through.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/run.hpp"
#include "fuzz/harness.hpp"
#include "tables/model.hpp"
#include "tables/tables.hpp"

namespace {

using namespace tables;

bool within(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }
int32_t count(int32_t n) { return n < 0 ? 0 : n; }

// The invariants a successful load guarantees.
bool consistent() {
    const auto& t = tablam;
    if (!within(t.NVA, 1, kValleys)) return false;
    if (!within(compac.NCOMP, 0, kRates) || !within(compac.IDRLT1, 0, kTotals)) return false;
    if (!(t.DELTAE > 0.0f)) return false;
    for (int iv = 1; iv <= t.NVA; ++iv) {
        const int32_t nlam = count(t.NLAM[iv]), ndom = count(t.NDOM[iv]), nen = count(t.NEN[iv]);
        if (nlam > kLambdas || ndom > kDomains || nen > kEnergies) return false;
        for (int j = 1; j <= ndom; ++j) {
            const int32_t nl = count(t.NLDOM[iv][j]);
            if (nl > kLambdas) return false;
            for (int k = 1; k <= nl; ++k) {
                if (!within(t.IORDL[iv][j][k], 1, t.NLAM[iv])) return false;
            }
        }
        for (int k = 1; k <= nlam; ++k) {
            if (!within(t.IPLAM[iv][k], 0, compac.NCOMP - t.NEN[iv])) return false;
            if (!within(t.NVFL[iv][k], 1, t.NVA) || !within(t.IPHOL[iv][k], 1, 4)) return false;
        }
        if (!within(t.IPTOT[iv], 0, compac.IDRLT1 - t.NEN[iv])) return false;
        for (int ie = 1; ie <= nen; ++ie) {
            if (!within(t.IDOM[iv][ie], 1, t.NDOM[iv])) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::workdir();
    fuzz::install_message_files();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 262144) return 0;
    fuzz::write_file("table", std::string(reinterpret_cast<const char*>(data), size));
    fuzz::reset("");
    fuzz::guarded([] {
        driver::startup();
        const int status = lila("table          ", 1);
        if (status != 0 && status != 1) __builtin_trap();
        if (status == 0 && !consistent()) __builtin_trap();
    });
    fuzz::finish();
    return 0;
}
