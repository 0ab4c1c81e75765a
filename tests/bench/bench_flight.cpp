// Flight-loop benchmark: time steps of a three-valley ensemble through the real flight
// procedure and scattering routine, against two floors of bare arithmetic with no table
// work. By default the shipped GaAs electron table (Gamma, L and X valleys, made by tabgen
// from the material file) under 5 kV/cm with the example's 0.5 ps steps.
//
//   bench_flight [--table=FILE] [--step-ps=T] [--particles=N] [google-benchmark options]
//
// The figures after the Google Benchmark table are processor time of this process summed
// over every repetition (by default six of each benchmark, interleaved at random).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/input.hpp"
#include "driver/records.hpp"
#include "driver/run.hpp"
#include "driver/sim.hpp"
#include "klip/fio.hpp"
#include "klip/klip.hpp"
#include "klip/records.hpp"
#include "scatter/scatter.hpp"
#include "tables/model.hpp"
#include "tables/tables.hpp"

namespace {

int32_t particles = 10000;
float step_ps = 0.5f;
std::string table_file = ZOT_SOURCE_DIR "/examples/GAAS_E-bin";

// Processor time of this process: the machine may be shared.
double cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Measure {
    double events = 0.0;
    double seconds = 0.0;
    double self = 0.0;  // self-scattering events among them
};
Measure flight_measure, floor_measure, mix_measure;
float real_share = 0.5f;  // share of the measured events that are not self-scattering
long steps_done = 0;

void one_step() {
    for (int32_t ip = 1; ip <= driver::run.npart; ++ip) {
        driver::electr.IP = ip;
        driver::move_particle();
    }
}

void prepare() {
    klip::standard_units();
    klip::debug.level = 0;
    tables::ulog.table_unit = 26;
    fio::capture_begin();  // the run's report lines are not part of the measure
    driver::reset_model();
    if (tables::lila(table_file, 1) != 0) {
        std::fprintf(stderr, "%s", fio::capture_end().c_str());
        std::fprintf(stderr, "cannot load the table file\n");
        std::exit(2);
    }
    driver::copy_rates();
    driver::kind_codes();
    auto& r = driver::run;
    r.npart = particles;
    r.nvinit = 1;
    r.STAT = 1;
    r.ex = 5.0f * 1e5f;
    r.exn = r.ex * 1e-7f;
    r.champ = r.ex;
    r.tcali = step_ps * 1e-12f;
    r.dteq = step_ps * 1e-12f;
    r.t = 300.0f;
    r.kbtsq = driver::setup.kbsq * r.t;
    r.eth = r.kbtsq * 1.5f;
    driver::build_ensemble();
    driver::flight_setup();
    driver::run_start();
    // Relax the ensemble before measuring (the equilibration steps of a run, then time steps
    // until ten million events), then take the event mix of the floor of the event mix from
    // the next ten million events.
    for (int k = 0; k < 5; ++k) driver::time_step();
    auto events_of = [](double wanted) {
        const int32_t events = driver::flight.ninter;
        const int32_t self = driver::NBINTER;
        double n = 0.0, s = 0.0;
        while (n < wanted) {
            driver::flight.ninter = 0;
            driver::NBINTER = 0;
            one_step();
            n += static_cast<double>(driver::flight.ninter);
            s += static_cast<double>(driver::NBINTER);
        }
        driver::flight.ninter = events;
        driver::NBINTER = self;
        return 1.0 - s / n;
    };
    events_of(1e7);
    real_share = static_cast<float>(events_of(1e7));
    fio::capture_end();
    fio::capture_begin();
}

void BM_Flight(benchmark::State& state) {
    for (auto _ : state) {
        const int32_t before = driver::flight.ninter;
        const int32_t self_before = driver::NBINTER;
        const auto t0 = cpu_seconds();
        one_step();
        ++steps_done;
        const auto t1 = cpu_seconds();
        const double events = static_cast<double>(driver::flight.ninter - before);
        flight_measure.events += events;
        flight_measure.self += static_cast<double>(driver::NBINTER - self_before);
        flight_measure.seconds += (t1 - t0);
        state.counters["events"] += events;
        // Keep the phase counters from growing without bound.
        if (driver::flight.ninter > 1000000000) driver::flight.ninter = 0;
        if (driver::NBINTER > 1000000000) driver::NBINTER = 0;
    }
    state.counters["events_per_s"] =
        benchmark::Counter(state.counters["events"], benchmark::Counter::kIsRate);
    state.counters["s_per_event"] = benchmark::Counter(
        state.counters["events"], benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Flight)->Unit(benchmark::kMillisecond)->MinTime(0.5);

// The floor of every event in full: per event the flight-time draw and its logarithm, the
// energy square root, the selection draw, the two angle draws, the final-state square root,
// sine and cosine, with no table work. The events are independent of one another.
void BM_Floor(benchmark::State& state) {
    int32_t s4 = 19763, s9 = 35677, s2 = 10855, s3 = 23431;
    float acc = 0.0f;
    constexpr int kEvents = 1 << 20;
    for (auto _ : state) {
        const auto t0 = cpu_seconds();
        for (int i = 0; i < kEvents; ++i) {
            float r04 = 0.0f, r09 = 0.0f, r02 = 0.0f, r03 = 0.0f;
            scatter::alea(s4, r04);
            const float tv = logf(r04) * -1e-13f;
            const float en = sqrtf(tv * 4.0e12f + 1.0f);
            scatter::alea(s9, r09);
            scatter::alea(s2, r02);
            scatter::alea(s3, r03);
            const float c = 1.0f - 2.0f * r02;
            const float w = sqrtf(1.0f - c * c) * en;
            const float phi = 6.2831802f * r03;
            acc = acc + w * cosf(phi) + w * sinf(phi) + r09;
        }
        benchmark::DoNotOptimize(acc);
        const auto t1 = cpu_seconds();
        floor_measure.events += kEvents;
        floor_measure.seconds += (t1 - t0);
        state.counters["events"] += kEvents;
    }
    state.counters["events_per_s"] =
        benchmark::Counter(state.counters["events"], benchmark::Counter::kIsRate);
    state.counters["s_per_event"] = benchmark::Counter(
        state.counters["events"], benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->MinTime(0.5);

// The floor of the measured event mix, in sequence: every event draws its flight time
// (draw and logarithm), moves the wave vector with it, forms the energy (one square root)
// and draws the selection deviate; the share of events that are not self-scattering in the
// measured run (chosen by that deviate) also draws the two angles and forms the new wave
// vector (two square roots, sine and cosine). Each event starts from the wave vector the
// previous one left, as a particle's events do.
void floor_mix(int32_t n, float& kx, float& ky, float& kz, float& en) {
    static int32_t s4 = 19763, s9 = 35677, s2 = 10855, s3 = 23431;
    for (int32_t i = 0; i < n; ++i) {
        float r04 = 0.0f, r09 = 0.0f;
        scatter::alea(s4, r04);
        const float tv = -logf(r04);
        kx = kx + 0.05f * tv;
        en = 0.5f * (sqrtf(2.0f * (kx * kx + ky * ky + kz * kz) + 1.0f) - 1.0f);
        scatter::alea(s9, r09);
        if (r09 < real_share) {
            float r02 = 0.0f, r03 = 0.0f;
            scatter::alea(s2, r02);
            scatter::alea(s3, r03);
            const float ct = 1.0f - 2.0f * r02;
            const float st = sqrtf(1.0f - ct * ct);
            const float w = sqrtf(en * (1.0f + 0.6f * en));
            const float phi = 6.2831802f * r03;
            kx = w * st * cosf(phi);
            ky = w * st * sinf(phi);
            kz = w * ct;
        }
    }
}

void BM_FloorMix(benchmark::State& state) {
    float kx = 0.1f, ky = 0.0f, kz = 0.0f, en = 0.0f;
    constexpr int32_t kEvents = 1 << 20;
    for (auto _ : state) {
        const auto t0 = cpu_seconds();
        floor_mix(kEvents, kx, ky, kz, en);
        benchmark::DoNotOptimize(en);
        const auto t1 = cpu_seconds();
        mix_measure.events += kEvents;
        mix_measure.seconds += (t1 - t0);
        state.counters["events"] += kEvents;
    }
    state.counters["events_per_s"] =
        benchmark::Counter(state.counters["events"], benchmark::Counter::kIsRate);
    state.counters["s_per_event"] = benchmark::Counter(
        state.counters["events"], benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FloorMix)->Unit(benchmark::kMillisecond)->MinTime(0.5);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--particles=", 12) == 0) particles = std::atoi(argv[i] + 12);
        if (std::strncmp(argv[i], "--step-ps=", 10) == 0)
            step_ps = std::strtof(argv[i] + 10, nullptr);
        if (std::strncmp(argv[i], "--table=", 8) == 0) table_file = argv[i] + 8;
    }
    if (particles < 1 || particles > driver::kMaxParticles) particles = 10000;
    prepare();
    // Unless told otherwise, six repetitions of each benchmark in random interleaving, so
    // that the slow and fast spells of a shared machine fall on the loop and the floors
    // alike; the summary below sums over all of them.
    std::vector<char*> args(argv, argv + argc);
    std::string reps = "--benchmark_repetitions=6";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    bool told = false;
    for (int i = 1; i < argc; ++i)
        told = told || std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
    if (!told) {
        args.push_back(reps.data());
        args.push_back(interleave.data());
    }
    int nargs = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&nargs, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fio::capture_end();
    if (flight_measure.events > 0.0) {
        const double ns_flight = flight_measure.seconds / flight_measure.events * 1e9;
        std::printf("table file                %s\n", table_file.c_str());
        std::printf("particles                 %d\n", particles);
        std::printf("time step                 %.3f ps\n", static_cast<double>(step_ps));
        std::printf("events per particle-step  %.2f\n",
                    flight_measure.events
                        / (static_cast<double>(particles) * static_cast<double>(steps_done)));
        std::printf("self-scattering share     %.3f (floor of the event mix: %.3f)\n",
                    flight_measure.self / flight_measure.events,
                    1.0 - static_cast<double>(real_share));
        std::printf("flight + scattering       %.2f ns/event   %.2f M events/s\n", ns_flight,
                    1e3 / ns_flight);
        for (const auto& [name, m] : {std::pair{"floor (events in full)   ", &floor_measure},
                                      std::pair{"floor (event mix)        ", &mix_measure}}) {
            if (m->events <= 0.0) continue;
            const double ns = m->seconds / m->events * 1e9;
            std::printf("%s %.2f ns/event   ratio %.2f\n", name, ns, ns_flight / ns);
        }
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak RSS                  %.2f MiB\n", static_cast<double>(ru.ru_maxrss) / 1024.0);
    return 0;
}
