// The sparse polynomial products of bench/series, computed by FLINT (fmpz_mpoly) so that the
// series kernel has a reference measured on the same machine in the same run.
//
// Usage: flint_series [-n REPS] [-t THREADS,...] CASE...
//   CASE is one of fateman20, fateman20-dbl, fateman30, mp12, mp12-dbl, trunc-fateman20,
//   poisson10, or fateman:E (the Fateman product at exponent E, for the scale table);
//   "all" stands for the seven named cases.
// Prints one line per case and thread count: "CASE<TAB>THREADS<TAB>SECONDS<TAB>TERMS", the best
// wall time of REPS runs (default 3) after one untimed run. Operands are built before the clock
// starts; only the product (and, for the truncated cases, the truncation that follows it) is
// timed.
//
// FLINT has no double-coefficient mpoly: the "-dbl" cases time the exact product, so that their
// row compares the double series product against the exact FLINT one. FLINT has no truncated
// multivariate product either: the truncated cases compute the whole product and then drop the
// terms above the bound, and the time includes both.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <flint/flint.h>
#include <flint/fmpz_mpoly.h>
#include <flint/mpoly.h>

namespace {

struct t_ctx {
    fmpz_mpoly_ctx_t c;
    explicit t_ctx(slong nvars) { fmpz_mpoly_ctx_init(c, nvars, ORD_LEX); }
    ~t_ctx() { fmpz_mpoly_ctx_clear(c); }
    t_ctx(const t_ctx&) = delete;
    t_ctx& operator=(const t_ctx&) = delete;
};

struct t_poly {
    fmpz_mpoly_t p;
    const t_ctx& ctx;
    explicit t_poly(const t_ctx& x) : ctx(x) { fmpz_mpoly_init(p, ctx.c); }
    ~t_poly() { fmpz_mpoly_clear(p, ctx.c); }
    t_poly(const t_poly&) = delete;
    t_poly& operator=(const t_poly&) = delete;
};

// Adds c * prod vars[i]^exps[i] to p.
void addterm(t_poly& p, long c, std::vector<ulong> exps)
{
    t_poly m(p.ctx);
    fmpz_mpoly_set_coeff_si_ui(m.p, c, exps.data(), p.ctx.c);
    fmpz_mpoly_add(p.p, p.p, m.p, p.ctx.c);
}

// base^e, where base is given as a list of (coefficient, exponent vector) terms.
void power(t_poly& r, const std::vector<std::pair<long, std::vector<ulong>>>& base, ulong e)
{
    t_poly b(r.ctx);
    for (const auto& [c, v] : base) addterm(b, c, v);
    if (!fmpz_mpoly_pow_ui(r.p, b.p, e, r.ctx.c)) {
        fprintf(stderr, "flint_series: power failed\n");
        exit(1);
    }
}

// Keeps the terms of a whose exponents, weighted by w, sum to at most bound; in place, in one
// pass, so that the truncation costs one walk over the product.
void truncate(t_poly& a, const std::vector<ulong>& w, ulong bound)
{
    const fmpz_mpoly_ctx_struct* ctx = a.ctx.c;
    fmpz_mpoly_struct* A = a.p;
    const slong n = ctx->minfo->nvars;
    const slong N = mpoly_words_per_exp(A->bits, ctx->minfo);
    std::vector<ulong> e(n);
    slong k = 0;
    for (slong i = 0; i < A->length; ++i) {
        mpoly_get_monomial_ui(e.data(), A->exps + N * i, A->bits, ctx->minfo);
        ulong d = 0;
        for (slong j = 0; j < n; ++j) d += w[j] * e[j];
        if (d > bound) continue;
        if (k != i) {
            fmpz_swap(A->coeffs + k, A->coeffs + i);
            mpoly_monomial_set(A->exps + N * k, A->exps + N * i, N);
        }
        ++k;
    }
    _fmpz_mpoly_set_length(A, k, ctx);
}

using t_base = std::vector<std::pair<long, std::vector<ulong>>>;

t_base fateman_base()
{
    return {{1, {0, 0, 0, 0}}, {1, {1, 0, 0, 0}}, {1, {0, 1, 0, 0}}, {1, {0, 0, 1, 0}}, {1, {0, 0, 0, 1}}};
}

// One benchmark case: builds its operands once, then runs the timed product.
struct t_case {
    std::string name;
    slong nvars;
    std::function<void(t_poly& a, t_poly& b)> build;  // the two operands
    std::function<void(t_poly& r)> after;              // truncation, or nothing
};

t_case fateman(ulong e, const std::string& name)
{
    return {name, 4,
            [e](t_poly& a, t_poly& b) {
                power(a, fateman_base(), e);
                fmpz_mpoly_add_ui(b.p, a.p, 1, b.ctx.c);
            },
            nullptr};
}

t_case monagan_pearce(const std::string& name)
{
    // Variables x, y, z, t, u.
    return {name, 5,
            [](t_poly& a, t_poly& b) {
                power(a,
                      {{1, {0, 0, 0, 0, 0}}, {1, {1, 0, 0, 0, 0}}, {1, {0, 1, 0, 0, 0}}, {2, {0, 0, 2, 0, 0}},
                       {3, {0, 0, 0, 3, 0}}, {5, {0, 0, 0, 0, 5}}},
                      12);
                power(b,
                      {{1, {0, 0, 0, 0, 0}}, {1, {0, 0, 0, 0, 1}}, {1, {0, 0, 0, 1, 0}}, {2, {0, 0, 2, 0, 0}},
                       {3, {0, 3, 0, 0, 0}}, {5, {5, 0, 0, 0, 0}}},
                      12);
            },
            nullptr};
}

t_case truncated_fateman(const std::string& name)
{
    return {name, 4,
            [](t_poly& a, t_poly& b) {
                power(a, fateman_base(), 20);
                fmpz_mpoly_set(b.p, a.p, b.ctx.c);
            },
            [](t_poly& r) { truncate(r, {1, 1, 1, 1}, 20); }};
}

// Variables e1, e2, E, F. The angular exponentials take negative exponents, which fmpz_mpoly
// cannot hold: a is multiplied by (E F)^10 and b by (E F^2)^10, the lowest powers of E and F in
// each, so every exponent is non-negative; the product is the true one times E^20 F^30, which has
// the same terms. The bound on the degree in (e1, e2) is untouched by the shift.
t_case poisson(const std::string& name)
{
    return {name, 4,
            [](t_poly& a, t_poly& b) {
                // 1 + e1 + e2^2 + E + E^-1 + F + F^-1, times E F
                power(a,
                      {{1, {0, 0, 1, 1}}, {1, {1, 0, 1, 1}}, {1, {0, 2, 1, 1}}, {1, {0, 0, 2, 1}},
                       {1, {0, 0, 0, 1}}, {1, {0, 0, 1, 2}}, {1, {0, 0, 1, 0}}},
                      10);
                // 1 + e1^2 + e2 + E + E^-1 + F^2 + F^-2, times E F^2
                power(b,
                      {{1, {0, 0, 1, 2}}, {1, {2, 0, 1, 2}}, {1, {0, 1, 1, 2}}, {1, {0, 0, 2, 2}},
                       {1, {0, 0, 0, 2}}, {1, {0, 0, 1, 4}}, {1, {0, 0, 1, 0}}},
                      10);
            },
            [](t_poly& r) { truncate(r, {1, 1, 0, 0}, 12); }};
}

bool findcase(const std::string& name, t_case& out)
{
    if (name == "fateman20" || name == "fateman20-dbl") out = fateman(20, name);
    else if (name == "fateman30") out = fateman(30, name);
    else if (name == "mp12" || name == "mp12-dbl") out = monagan_pearce(name);
    else if (name == "trunc-fateman20") out = truncated_fateman(name);
    else if (name == "poisson10") out = poisson(name);
    else if (name.rfind("fateman:", 0) == 0) {
        char* end = nullptr;
        const long e = strtol(name.c_str() + 8, &end, 10);
        if (e < 1 || e > 100 || *end) return false;
        out = fateman(static_cast<ulong>(e), name);
    } else return false;
    return true;
}

// The best wall time of reps products, and the number of terms of the last one.
std::pair<double, slong> run(const t_case& c, int threads, int reps)
{
    t_ctx ctx(c.nvars);
    t_poly a(ctx), b(ctx);
    c.build(a, b);
    flint_set_num_threads(threads);
    double best = 1e300;
    slong terms = 0;
    // One product more, untimed, first: the allocator's first growth and the thread pool's start
    // belong to no repetition.
    for (int r = -1; r < reps; ++r) {
        t_poly p(ctx);
        const auto t0 = std::chrono::steady_clock::now();
        fmpz_mpoly_mul(p.p, a.p, b.p, ctx.c);
        if (c.after) c.after(p);
        const auto t1 = std::chrono::steady_clock::now();
        if (r >= 0) best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
        terms = fmpz_mpoly_length(p.p, ctx.c);
    }
    flint_set_num_threads(1);
    return {best, terms};
}

void usage()
{
    fprintf(stderr, "usage: flint_series [-n REPS] [-t THREADS,...] CASE...\n"
                    "cases: fateman20 fateman20-dbl fateman30 mp12 mp12-dbl trunc-fateman20 poisson10 "
                    "fateman:E all\n");
    exit(2);
}

} // namespace

int main(int argc, char** argv)
{
    int reps = 3;
    std::vector<int> threads{1, 2};
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "-n") && i + 1 < argc) {
            reps = atoi(argv[++i]);
            if (reps < 1) usage();
        } else if (!strcmp(argv[i], "-t") && i + 1 < argc) {
            threads.clear();
            for (const char* s = argv[++i]; *s;) {
                char* end = nullptr;
                const long t = strtol(s, &end, 10);
                if (end == s || t < 1 || t > 256) usage();
                threads.push_back(static_cast<int>(t));
                s = *end == ',' ? end + 1 : end;
                if (*end && *end != ',') usage();
            }
        } else if (!strcmp(argv[i], "all")) {
            for (const char* n : {"fateman20", "fateman20-dbl", "fateman30", "mp12", "mp12-dbl", "trunc-fateman20",
                                  "poisson10"})
                names.emplace_back(n);
        } else if (argv[i][0] == '-') usage();
        else names.emplace_back(argv[i]);
    }
    if (names.empty()) usage();

    // A double case times the same exact product as its exact twin: measure it once.
    std::vector<std::pair<std::string, std::vector<std::pair<double, slong>>>> done;
    for (const std::string& name : names) {
        t_case c;
        if (!findcase(name, c)) {
            fprintf(stderr, "flint_series: unknown case %s\n", name.c_str());
            return 2;
        }
        std::string twin = name;
        if (twin.size() > 4 && twin.compare(twin.size() - 4, 4, "-dbl") == 0) twin.resize(twin.size() - 4);
        const std::vector<std::pair<double, slong>>* prev = nullptr;
        for (const auto& d : done)
            if (d.first == twin) prev = &d.second;
        std::vector<std::pair<double, slong>> results;
        for (std::size_t k = 0; k < threads.size(); ++k) {
            const auto r = prev ? (*prev)[k] : run(c, threads[k], reps);
            results.push_back(r);
            printf("%s\t%d\t%.6f\t%ld\n", name.c_str(), threads[k], r.first, static_cast<long>(r.second));
            fflush(stdout);
        }
        done.emplace_back(twin, results);
    }
    flint_cleanup_master();
    return 0;
}
