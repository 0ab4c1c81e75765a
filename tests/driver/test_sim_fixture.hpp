// Shared set-up of the simulation tests: a hand-filled table (up to four spherical valleys,
// constant total rate), run parameters for a short stationary run, a stand-in scattering
// routine that records what it is handed, and the captured output.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/records.hpp"
#include "driver_env.hpp"
#include "driver/run.hpp"
#include "driver/sim.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"
#include "tables/model.hpp"
#include "tables/tables.hpp"

namespace simtest {

namespace fs = std::filesystem;

// What the stand-in scattering routine saw at each call.
struct Seen {
    float ENF, WXF, TR;
    int32_t NVF;
};
inline std::vector<Seen> seen;
inline int32_t next_kind = 16;   // INTERION reported by the stand-in
inline int32_t next_valley = 0;  // valley after the event (0: unchanged)

// Self-scattering unless told otherwise: the end-of-flight state becomes the start state.
inline void stand_in_inter() {
    auto& e = driver::electr;
    seen.push_back({e.ENF, e.WXF, e.TR, e.NVF});
    e.end_becomes_start();
    if (next_valley != 0) e.NVI = next_valley;
    driver::INTERION = next_kind;
    if (next_kind == 16) ++driver::NBINTER;
}

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> v;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            v.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) v.push_back(cur);
    return v;
}

inline bool has_line(const std::vector<std::string>& v, const std::string& s) {
    for (const auto& l : v) {
        if (l == s) return true;
    }
    return false;
}

inline int count_lines(const std::vector<std::string>& v, const std::string& s) {
    int n = 0;
    for (const auto& l : v) n += l == s ? 1 : 0;
    return n;
}

class Sim : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = fs::current_path();
        dir_ = drivertest::enter_test_dir("zot_sim_");
        drivertest::reset_program();
        driver::inter_routine = &stand_in_inter;
        seen.clear();
        next_kind = 16;
        next_valley = 0;
        table(1);
        run_parameters();
        fio::capture_begin();
    }
    void TearDown() override {
        fio::capture_end();
        driver::inter_routine = &scatter::inter;
        fs::current_path(old_);
        fs::remove_all(dir_);
    }

    // nva spherical valleys of mass 1, no non-parabolicity, bottoms at 0; energies up to
    // 1 eV in steps of 0.01 eV; mean time between events 0.1 ps everywhere.
    static void table(int nva) {
        auto& t = tables::tablam;
        auto& b = tables::bande;
        tables::reset_records();
        t.NVA = nva;
        t.DELTAE = 0.01f;
        for (int iv = 1; iv <= nva; ++iv) {
            t.NEN[iv] = 100;
            t.ENMAX[iv] = 1.0f;
            t.IPTOT[iv] = (iv - 1) * 100;
            b.MEFF[iv] = 1.0f;
            b.ML[iv] = 1.0f;
            b.MT[iv] = 1.0f;
            b.IFORV[iv] = 0;
        }
        for (int n = 1; n <= 400; ++n) t.RLTOT[n] = -1e-13f;
        tables::cbande = 'N';
    }

    static void run_parameters() {
        auto& r = driver::run;
        r.npart = 2;
        r.nvinit = 1;
        r.STAT = 1;
        r.ex = 1e5f;
        r.exn = r.ex * 1e-7f;
        r.champ = 1e5f;
        r.tcali = 1e-12f;
        r.dteq = 1e-12f;
        r.ndteq = 2;
        r.nfrlx = 1;
        r.tcalm = 5e-12f;
        r.t = 300.0f;
        r.kbtsq = 8.61708e-5f * 300.0f;
        r.eth = r.kbtsq * 1.5f;
        r.nommat.set("GAAS");
        r.dopmat = 1e17f;
        r.filspc.set("N");
        r.fildes.set("dyn.txt");
    }

    // Put particle ip in valley iv with energy en and wave vector (wx, wy, wz).
    static void particle(int ip, int iv, float en, float wx, float wy = 0.0f, float wz = 0.0f) {
        auto& e = driver::ensemble;
        e.NV[ip] = iv;
        e.EN[ip] = en;
        e.WX[ip] = wx;
        e.WY[ip] = wy;
        e.WZ[ip] = wz;
        e.XX[ip] = e.XY[ip] = e.XZ[ip] = 0.0f;
    }

    // Flight time of the next draw on ISEED(4), computed as the flight does.
    static float next_flight_time(float rltot) {
        int32_t s = driver::etir.ISEED[4];
        float r = 0.0f;
        scatter::alea(s, r);
        return logf(r) * rltot;
    }

    static std::string output() {
        std::string s = fio::capture_end();
        fio::capture_begin();
        return s;
    }

    static std::string read_file(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    fs::path old_, dir_;
};

}  // namespace simtest
