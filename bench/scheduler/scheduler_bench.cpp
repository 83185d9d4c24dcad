// The scheduler beside OpenMP and oneTBB on the same work, in one run: task spawn and join (flat
// groups and a recursive tree), a fine-grained loop and a coarse loop. Prints the best of a few
// repetitions of each and the ratios; nothing is asserted.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "parallel/parallel_init.h"
#include "parallel/zoduv_loop.h"

#ifdef KEST_BENCH_TBB
#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/task_group.h>
#endif
#ifdef KEST_BENCH_OPENMP
#include <omp.h>
#endif

namespace {

int g_reps = 5;

// Best wall times of g_reps rounds, in seconds, one entry per contender. The contenders take
// turns within each round, so that a burst of load from elsewhere hits them alike; a pause before
// each lets the previous contender's threads go to sleep instead of spinning against the next.
std::vector<double> best_of(const std::vector<std::function<void()>>& contenders)
{
    std::vector<double> best(contenders.size(), 1e30);
    for (int r = -1; r < g_reps; ++r) {  // round -1 warms up
        for (std::size_t c = 0; c < contenders.size(); ++c) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const auto t0 = std::chrono::steady_clock::now();
            contenders[c]();
            const auto t1 = std::chrono::steady_clock::now();
            if (r >= 0) best[c] = std::min(best[c], std::chrono::duration<double>(t1 - t0).count());
        }
    }
    return best;
}

volatile std::uint64_t g_sink = 0;

inline std::uint64_t tiny_work(std::uint64_t x)
{
    for (int k = 0; k < 8; ++k) x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    return x;
}

// The fine loop's body, shared by every contender so that only the scheduling differs.
__attribute__((noinline)) void fine_block(double* __restrict a, const double* __restrict b, std::int64_t s,
                                          std::int64_t e)
{
    for (std::int64_t i = s; i < e; ++i) a[i] = a[i] * 1.0000001 + b[i];
}

double coarse_work(int i)
{
    double s = 0;
    for (int k = 1; k < 120000; ++k) s += std::sqrt(static_cast<double>(k + i));
    return s;
}

constexpr int k_flatrounds = 20000, k_flattasks = 8;
constexpr int k_fib = 25;
constexpr std::int64_t k_finen = 1000000;
constexpr int k_finerounds = 20;
constexpr int k_coarsen = 64;

// ---- KEST ------------------------------------------------------------------------------------

struct flattask {
    std::atomic<std::uint64_t>* sum;
    std::uint64_t seed;
    void run() { sum->fetch_add(tiny_work(seed), std::memory_order_relaxed); }
};

void kest_flat()
{
    std::atomic<std::uint64_t> sum{0};
    for (int r = 0; r < k_flatrounds; ++r) {
        ZODUV_independant_task<ZODUVDispatcherLocal> group;
        for (int t = 0; t < k_flattasks; ++t) group.add(flattask{&sum, static_cast<std::uint64_t>(r * 8 + t)});
        group.finish();
    }
    g_sink = sum.load();
}

long kest_fib(int n);
struct fibtask {
    int n;
    long* out;
    void run() { *out = kest_fib(n); }
};
long kest_fib(int n)
{
    if (n < 2) return n;
    long a = 0;
    ZODUV_independant_task<ZODUVDispatcherLocal> group;
    group.add(fibtask{n - 1, &a});
    const long b = kest_fib(n - 2);
    group.finish();
    return a + b;
}

struct fineloop {
    double* a;
    const double* b;
    void run(std::int64_t s, std::int64_t e) { fine_block(a, b, s, e + 1); }
};

void kest_fine(std::vector<double>& a, const std::vector<double>& b)
{
    fineloop loop{a.data(), b.data()};
    for (int r = 0; r < k_finerounds; ++r)
        ZODUV_loop_for_fast<ZODUVDispatcherLocal, ZODUVSmallGrain, fineloop>(0, k_finen - 1, loop);
}

struct coarseloop {
    double* out;
    void run(int i) { out[i] = coarse_work(i); }
};

void kest_coarse(std::vector<double>& out)
{
    coarseloop loop{out.data()};
    ZODUV_loop_for<ZODUVDispatcherLocal, ZODUVLargeGrain, int, coarseloop>(0, k_coarsen - 1, loop);
}

// ---- oneTBB ----------------------------------------------------------------------------------
#ifdef KEST_BENCH_TBB
void tbb_flat()
{
    std::atomic<std::uint64_t> sum{0};
    for (int r = 0; r < k_flatrounds; ++r) {
        tbb::task_group group;
        for (int t = 0; t < k_flattasks; ++t) {
            const std::uint64_t seed = static_cast<std::uint64_t>(r * 8 + t);
            group.run([&sum, seed] { sum.fetch_add(tiny_work(seed), std::memory_order_relaxed); });
        }
        group.wait();
    }
    g_sink = sum.load();
}

long tbb_fib(int n)
{
    if (n < 2) return n;
    long a = 0;
    tbb::task_group group;
    group.run([&a, n] { a = tbb_fib(n - 1); });
    const long b = tbb_fib(n - 2);
    group.wait();
    return a + b;
}

void tbb_fine(std::vector<double>& a, const std::vector<double>& b)
{
    for (int r = 0; r < k_finerounds; ++r)
        tbb::parallel_for(tbb::blocked_range<std::int64_t>(0, k_finen), [&](const tbb::blocked_range<std::int64_t>& rg) {
            fine_block(a.data(), b.data(), rg.begin(), rg.end());
        });
}

void tbb_coarse(std::vector<double>& out)
{
    tbb::parallel_for(0, k_coarsen, [&](int i) { out[i] = coarse_work(i); });
}
#endif

// ---- OpenMP ----------------------------------------------------------------------------------
#ifdef KEST_BENCH_OPENMP
void omp_flat()
{
    std::uint64_t total = 0;
#pragma omp parallel
#pragma omp single
    {
        std::atomic<std::uint64_t> sum{0};
        for (int r = 0; r < k_flatrounds; ++r) {
            for (int t = 0; t < k_flattasks; ++t) {
                const std::uint64_t seed = static_cast<std::uint64_t>(r * 8 + t);
#pragma omp task firstprivate(seed) shared(sum)
                sum.fetch_add(tiny_work(seed), std::memory_order_relaxed);
            }
#pragma omp taskwait
        }
        total = sum.load();
    }
    g_sink = total;
}

long omp_fib_inner(int n)
{
    if (n < 2) return n;
    long a = 0;
#pragma omp task shared(a) firstprivate(n)
    a = omp_fib_inner(n - 1);
    const long b = omp_fib_inner(n - 2);
#pragma omp taskwait
    return a + b;
}

long omp_fib(int n)
{
    long r = 0;
#pragma omp parallel
#pragma omp single
    r = omp_fib_inner(n);
    return r;
}

void omp_fine(std::vector<double>& a, const std::vector<double>& b)
{
    double* pa = a.data();
    const double* pb = b.data();
    const int nt = omp_get_max_threads();
    for (int r = 0; r < k_finerounds; ++r) {
#pragma omp parallel for schedule(static)
        for (int t = 0; t < nt; ++t) fine_block(pa, pb, k_finen * t / nt, k_finen * (t + 1) / nt);
    }
}

void omp_coarse(std::vector<double>& out)
{
#pragma omp parallel for schedule(dynamic, 1)
    for (int i = 0; i < k_coarsen; ++i) out[i] = coarse_work(i);
}
#endif

struct row {
    const char* name;
    const char* unit;
    double scale;  // seconds -> unit
    double kest, tbb, omp, seq;
};

void print_row(const row& r)
{
    auto cell = [](double v) {
        if (v < 0)
            printf(" %11s", "-");
        else
            printf(" %11.3f", v);
    };
    printf("%-34s", r.name);
    cell(r.seq < 0 ? -1 : r.seq * r.scale);
    cell(r.kest * r.scale);
    cell(r.tbb < 0 ? -1 : r.tbb * r.scale);
    cell(r.omp < 0 ? -1 : r.omp * r.scale);
    cell(r.tbb > 0 ? r.kest / r.tbb : -1);
    cell(r.omp > 0 ? r.kest / r.omp : -1);
    printf("  %s\n", r.unit);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1) g_reps = std::max(1, atoi(argv[1]));
    kst_parallel_init("./");
    const int nthreads = kst_parallel_cpucount();
#ifdef KEST_BENCH_TBB
    tbb::global_control tbbthreads(tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(nthreads));
#endif
#ifdef KEST_BENCH_OPENMP
    omp_set_num_threads(nthreads);
#endif
    printf("scheduler benchmark: %d threads, best of %d runs; peers:%s%s\n", nthreads, g_reps,
#ifdef KEST_BENCH_TBB
           " oneTBB",
#else
           "",
#endif
#ifdef KEST_BENCH_OPENMP
           " OpenMP"
#else
           ""
#endif
    );
    printf("%-34s %11s %11s %11s %11s %11s %11s\n", "case", "sequential", "kest", "tbb", "omp", "kest/tbb",
           "kest/omp");

    // Runs the contenders of one case together and prints its row.
    auto measure = [](row r, std::function<void()> seq, std::function<void()> kest, std::function<void()> tbb,
                      std::function<void()> omp) {
        std::vector<std::function<void()>> contenders{kest};
        if (seq) contenders.push_back(seq);
        if (tbb) contenders.push_back(tbb);
        if (omp) contenders.push_back(omp);
        const std::vector<double> best = best_of(contenders);
        std::size_t k = 0;
        r.kest = best[k++];
        if (seq) r.seq = best[k++];
        if (tbb) r.tbb = best[k++];
        if (omp) r.omp = best[k++];
        print_row(r);
    };
    std::function<void()> none;

    const double flatscale = 1e9 / (static_cast<double>(k_flatrounds) * k_flattasks);
#ifdef KEST_BENCH_TBB
    std::function<void()> tbbflat = tbb_flat;
#else
    std::function<void()> tbbflat;
#endif
#ifdef KEST_BENCH_OPENMP
    std::function<void()> ompflat = omp_flat;
#else
    std::function<void()> ompflat;
#endif
    measure(row{"spawn+join, groups of 8 tasks", "ns/task", flatscale, 0, -1, -1, -1}, none, kest_flat, tbbflat,
            ompflat);

    long fibcheck = 0;
    const double fibtasks = 121392;  // tasks spawned by fib(25)
    std::function<void()> tbbfib, ompfib;
#ifdef KEST_BENCH_TBB
    tbbfib = [&] { fibcheck += tbb_fib(k_fib) - 75025; };
#endif
#ifdef KEST_BENCH_OPENMP
    ompfib = [&] { fibcheck += omp_fib(k_fib) - 75025; };
#endif
    measure(row{"spawn+join, recursive fib(25)", "ns/task", 1e9 / fibtasks, 0, -1, -1, -1}, none,
            [&] { fibcheck = kest_fib(k_fib); }, tbbfib, ompfib);

    std::vector<double> a(k_finen, 1.0), b(k_finen, 0.5);
    std::function<void()> tbbfine, ompfine;
#ifdef KEST_BENCH_TBB
    tbbfine = [&] { tbb_fine(a, b); };
#endif
#ifdef KEST_BENCH_OPENMP
    ompfine = [&] { omp_fine(a, b); };
#endif
    measure(row{"fine loop 1e6 x a=a*c+b (x20)", "ms", 1e3, 0, -1, -1, -1},
            [&] {
                for (int r = 0; r < k_finerounds; ++r) fine_block(a.data(), b.data(), 0, k_finen);
            },
            [&] { kest_fine(a, b); }, tbbfine, ompfine);

    std::vector<double> out(k_coarsen);
    std::function<void()> tbbcoarse, ompcoarse;
#ifdef KEST_BENCH_TBB
    tbbcoarse = [&] { tbb_coarse(out); };
#endif
#ifdef KEST_BENCH_OPENMP
    ompcoarse = [&] { omp_coarse(out); };
#endif
    measure(row{"coarse loop 64 x 120k sqrt", "ms", 1e3, 0, -1, -1, -1},
            [&] {
                for (int i = 0; i < k_coarsen; ++i) out[i] = coarse_work(i);
            },
            [&] { kest_coarse(out); }, tbbcoarse, ompcoarse);

    if (fibcheck != 75025) fprintf(stderr, "fib check failed: %ld\n", fibcheck);
    printf("ratios below 1 mean KEST is faster; the machine may be shared, so repeat before concluding\n");
    kst_parallel_exit();
    return 0;
}
