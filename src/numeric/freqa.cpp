// Resonance searches: which integer combinations of base frequencies explain measured
// frequencies (freqa), and which combinations of the base frequencies vanish (freqareson).
//
// Cost: (2 kmax + 1)^m combinations per measured frequency (m base frequencies), walked as an
// odometer with the running sum updated by one addition per step; the measured frequencies are
// independent, so they are shared among the scheduler's threads when asked.
#include "numeric/naf.h"

#include "interp/taskloop.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Calls f(k, sum) for every k in [-kmax, kmax]^m.
template <class F>
void everycombination(const std::vector<double>& base, int kmax, F f)
{
    const size_t m = base.size();
    std::vector<int> k(m, -kmax);
    double sum = 0;
    for (size_t j = 0; j < m; j++) sum -= kmax * base[j];
    for (;;) {
        f(k, sum);
        size_t j = 0;
        while (j < m && k[j] == kmax) {
            sum -= 2.0 * kmax * base[j];
            k[j] = -kmax;
            j++;
        }
        if (j == m) return;
        k[j]++;
        sum += base[j];
    }
}

int order(const std::vector<int>& k)
{
    int s = 0;
    for (int x : k) s += std::abs(x);
    return s;
}

double exactsum(const std::vector<int>& k, const std::vector<double>& base)
{
    double s = 0;
    for (size_t j = 0; j < k.size(); j++) s += k[j] * base[j];
    return s;
}

t_freqa_match bestfor(double nu, const std::vector<double>& base, int kmax, double tol)
{
    t_freqa_match best;
    double bestgap = INFINITY;
    int bestorder = 0;
    std::vector<int> bestk;
    everycombination(base, kmax, [&](const std::vector<int>& k, double sum) {
        const double gap = std::fabs(nu - sum);
        // A lower order wins among combinations that fit equally well (within rounding).
        if (gap < bestgap - 1e-15 * std::fabs(nu) || (gap <= bestgap + 1e-15 * std::fabs(nu) && order(k) < bestorder)) {
            bestgap = gap;
            bestorder = order(k);
            bestk = k;
        }
    });
    if (!bestk.empty()) {
        const double value = exactsum(bestk, base);
        if (std::fabs(nu - value) <= tol) {
            best.k = bestk;
            best.value = value;
            best.gap = nu - value;
        }
    }
    return best;
}

} // namespace

std::vector<t_freqa_match> freqa_find(t_cctx* ctx, const std::vector<double>& measured,
                                      const std::vector<double>& base, int kmax, double tol, bool parallel)
{
    std::vector<t_freqa_match> out(measured.size());
    if (measured.empty() || base.empty()) return out;
    auto body = [&](int i, t_cctx*) { out[i] = bestfor(measured[i], base, kmax, tol); };
    if (parallel) parallel_loop_for_fast3(ctx, 0, static_cast<int>(measured.size()) - 1, body);
    else
        for (int i = 0; i < static_cast<int>(measured.size()); i++) body(i, ctx);
    return out;
}

std::vector<t_freqa_match> freqa_resonances(t_cctx* ctx, const std::vector<double>& base, int kmax, double tol,
                                            bool parallel)
{
    std::vector<t_freqa_match> out;
    if (base.empty()) return out;
    // Split on the first coefficient (0..kmax): each share collects its own list.
    std::vector<std::vector<t_freqa_match>> shares(static_cast<size_t>(kmax) + 1);
    const std::vector<double> rest(base.begin() + 1, base.end());
    auto body = [&](int k0, t_cctx*) {
        auto keep = [&](const std::vector<int>& k, double) {
            std::vector<int> full(1, k0);
            full.insert(full.end(), k.begin(), k.end());
            const int o = order(full);
            if (o == 0) return;
            // first non-zero entry positive: one of k and -k
            for (int x : full)
                if (x != 0) {
                    if (x < 0) return;
                    break;
                }
            const double v = exactsum(full, base);
            if (std::fabs(v) <= tol) shares[k0].push_back({full, v, v});
        };
        if (rest.empty()) keep({}, 0);
        else everycombination(rest, kmax, keep);
    };
    if (parallel) parallel_loop_for_fast3(ctx, 0, kmax, body);
    else
        for (int k0 = 0; k0 <= kmax; k0++) body(k0, ctx);
    for (auto& s : shares) out.insert(out.end(), s.begin(), s.end());
    std::stable_sort(out.begin(), out.end(),
                     [](const t_freqa_match& a, const t_freqa_match& b) { return order(a.k) < order(b.k); });
    return out;
}
