// Frequency analysis against injected signals: the frequencies of a sum of exponentials with
// their error falling like 1/T^4 under the Hanning window, amplitudes of clean signals, real
// signals as conjugate pairs, frequency windows, the time origin, the window weights, and the
// refusals (too many terms, a sample count that is not a multiple of 6, too few samples).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "numeric/naf.h"
#include "vecnumtest.h"

namespace {

struct t_term {
    double nu;
    t_nafcplx a;
};

// Samples of sum a exp(i nu t) at t0 + k h, k = 0..n-1.
void sample(const std::vector<t_term>& terms, long n, double t0, double h, std::vector<double>* re,
            std::vector<double>* im)
{
    re->assign(n, 0);
    im->assign(n, 0);
    for (long k = 0; k < n; k++) {
        const double t = t0 + k * h;
        for (const t_term& s : terms) {
            const t_nafcplx z = s.a * std::polar(1.0, s.nu * t);
            (*re)[k] += z.real();
            (*im)[k] += z.imag();
        }
    }
}

struct t_result {
    bool ok;
    std::vector<double> freq;
    std::vector<t_nafcplx> amp;
};

t_result analyse(const std::vector<t_term>& terms, int nterm, long n, double h, t_nafsettings set = {},
                 double t0 = 0, const std::vector<t_nafwindow>& windows = {})
{
    std::vector<double> re, im;
    sample(terms, n, t0, h, &re, &im);
    t_result r;
    r.ok = naf_process_samples(tctx(), set, nullptr, nterm, re.data(), im.data(), n, t0, h, windows, "re", "im",
                               &r.freq, &r.amp);
    return r;
}

// The found term nearest to nu.
size_t nearest(const t_result& r, double nu)
{
    size_t best = 0;
    for (size_t i = 1; i < r.freq.size(); i++)
        if (std::fabs(r.freq[i] - nu) < std::fabs(r.freq[best] - nu)) best = i;
    return best;
}

// Frequencies on a grid of 0.05: over a length that is a multiple of 2 pi / 0.05 every pair of
// terms meets the window in the same phase, so the error follows its power law without the
// oscillation that other lengths add to it.
const std::vector<t_term> k_five = {
    {1.0, {1.0, 0.0}}, {-0.6, {0.0, 0.5}}, {0.35, {0.3, -0.2}}, {0.75, {0.2, 0.1}}, {-1.3, {-0.1, 0.0}},
};
const double k_period = 2 * M_PI / 0.05;

double worstfrequencyerror(const t_result& r, const std::vector<t_term>& terms)
{
    double worst = 0;
    for (const t_term& s : terms) worst = std::max(worst, std::fabs(r.freq[nearest(r, s.nu)] - s.nu));
    return worst;
}

double worstamplitudeerror(const t_result& r, const std::vector<t_term>& terms)
{
    double worst = 0;
    for (const t_term& s : terms) worst = std::max(worst, std::abs(r.amp[nearest(r, s.nu)] - s.a));
    return worst;
}

} // namespace

// Doubling the length divides the error of the frequencies by 16 with the Hanning window (and by
// 64 with IW = 2, whose error falls like 1/T^6).
TEST(Naf, FrequencyErrorFallsLikeTheFourthPowerOfTheLength)
{
    for (int iw : {1, 2}) {
        t_nafsettings set;
        set.iw = iw;
        std::vector<double> err;
        for (int m : {2, 4, 8}) {
            const long ktabs = 300L * m;   // 6k + 1 samples over T = m 2 pi / 0.05
            t_result r = analyse(k_five, 5, ktabs + 1, m * k_period / ktabs, set);
            ASSERT_TRUE(r.ok);
            ASSERT_EQ(r.freq.size(), 5u);
            err.push_back(worstfrequencyerror(r, k_five));
        }
        const double expected = iw == 1 ? 4 : 6;
        for (size_t i = 1; i < err.size(); i++) {
            const double slope = std::log2(err[i - 1] / err[i]);
            EXPECT_NEAR(slope, expected, 0.3) << "IW " << iw << ": " << err[i - 1] << " -> " << err[i];
        }
    }
}

// Clean signals: one exponential, or terms far apart under a long window, give their amplitudes
// to 1e-10; a time origin other than 0 changes nothing of what is found.
TEST(Naf, AmplitudesOfCleanSignals)
{
    t_result one = analyse({{0.37, {1.0, 0.0}}}, 1, 6 * 200 + 1, 0.25);
    ASSERT_EQ(one.freq.size(), 1u);
    EXPECT_NEAR(one.freq[0], 0.37, 1e-12);
    EXPECT_LT(std::abs(one.amp[0] - 1.0), 1e-10);

    t_nafsettings set;
    set.iw = 2;
    t_result five = analyse(k_five, 5, 300 * 32 + 1, k_period * 32 / (300 * 32), set);
    ASSERT_EQ(five.freq.size(), 5u);
    EXPECT_LT(worstamplitudeerror(five, k_five), 1e-10);
    EXPECT_LT(worstfrequencyerror(five, k_five), 1e-13);

    const std::vector<t_term> two = {{0.8, {0.5, -0.25}}, {-0.3, {0.0, 2.0}}};
    for (double t0 : {0.0, 13.5, -400.0}) {
        t_result r = analyse(two, 2, 6 * 1000 + 1, 0.5, set, t0);
        ASSERT_EQ(r.freq.size(), 2u) << t0;
        EXPECT_NEAR(r.freq[0], -0.3, 1e-12) << "the larger term first";
        EXPECT_LT(worstamplitudeerror(r, two), 1e-10) << "t0 " << t0;
    }
}

// Real samples give every frequency with its opposite and conjugate amplitudes; the count asked
// is halved rounding up.
TEST(Naf, RealSignalGivesConjugatePairs)
{
    t_nafsettings set;
    set.icplx = 0;
    set.iw = 2;
    const long n = 6 * 1500 + 1;
    std::vector<double> re(n);
    for (long k = 0; k < n; k++) re[k] = 3 * std::cos(0.9 * k * 0.5 + 0.2) + 0.5 * std::sin(0.25 * k * 0.5);
    std::vector<double> freq;
    std::vector<t_nafcplx> amp;
    ASSERT_TRUE(naf_process_samples(tctx(), set, nullptr, 3, re.data(), nullptr, n, 0, 0.5, {}, "x", "y", &freq, &amp));
    ASSERT_EQ(freq.size(), 4u);
    EXPECT_NEAR(freq[0], 0.9, 1e-11);
    EXPECT_NEAR(freq[1], -0.9, 1e-11);
    EXPECT_LT(std::abs(amp[0] - std::polar(1.5, 0.2)), 1e-9);
    EXPECT_LT(std::abs(amp[1] - std::conj(amp[0])), 1e-12);
    EXPECT_NEAR(std::fabs(freq[2]), 0.25, 1e-11);
    EXPECT_NEAR(std::abs(amp[2]), 0.25, 1e-9);
}

// A window searches its own band only: the weaker term inside it is found, the stronger one
// outside is not; reversed bounds are the same band.
TEST(Naf, FrequencyWindowsLimitTheSearch)
{
    const std::vector<t_term> two = {{1.2, {3.0, 0.0}}, {-0.4, {0.0, 0.1}}};
    for (auto w : {t_nafwindow{-0.6, -0.2, 1}, t_nafwindow{-0.2, -0.6, 1}}) {
        t_result r = analyse(two, 0, 6 * 800 + 1, 0.5, {}, 0, {w});
        ASSERT_EQ(r.freq.size(), 1u);
        EXPECT_NEAR(r.freq[0], -0.4, 1e-8);
        EXPECT_NEAR(std::abs(r.amp[0]), 0.1, 1e-6);
    }
    // Two windows: one term in each, the counts adding up.
    t_result r = analyse(two, 0, 6 * 800 + 1, 0.5, {}, 0, {{1.0, 1.4, 1}, {-1.0, 0.0, 1}});
    ASSERT_EQ(r.freq.size(), 2u);
    EXPECT_NEAR(r.freq[0], 1.2, 1e-8);
    EXPECT_NEAR(r.freq[1], -0.4, 1e-8);
}

// A signal of one term asked for three: the next maximum is the leakage of the first, within the
// resolution but not within the tolerance, and the search stops there without error.
TEST(Naf, SearchStopsAtAFrequencyTooCloseToResolve)
{
    t_result r = analyse({{0.37, {1.0, 0.0}}}, 3, 6 * 100 + 1, 0.5);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.freq.size(), 1u);
    EXPECT_NEAR(r.freq[0], 0.37, 1e-10);
}

// Every window averages to 1 under the quadrature of the analysis; IW = -1 is zero at both ends.
TEST(Naf, WindowWeights)
{
    for (int iw : {0, 1, 2, 3, -1}) {
        t_nafstate st;
        t_nafsettings set;
        set.iw = iw;
        ASSERT_TRUE(naf_init(tctx(), &st, set, 600, 0.1, 0, 1));
        double mean = 0;
        for (double q : st.qw) mean += q;
        EXPECT_NEAR(mean, 1.0, iw == -1 ? 1e-6 : 1e-12) << "IW " << iw;
        if (iw == -1) {
            EXPECT_EQ(st.twin.front(), 0.0);
            EXPECT_EQ(st.twin.back(), 0.0);
            EXPECT_GT(st.twin[300], 1.0);
        }
        if (iw == 1) {
            EXPECT_NEAR(st.twin[300], 2.0, 1e-15);
            EXPECT_NEAR(st.twin[0], 0.0, 1e-15);
        }
    }
}

TEST(Naf, Refusals)
{
    reported_errors().clear();
    t_nafstate st;
    EXPECT_FALSE(naf_init(tctx(), &st, {}, 100, 0.1, 0, 2));
    EXPECT_TRUE(naf_init(tctx(), &st, {}, 96, 0.1, 0, 2));
    EXPECT_FALSE(naf_mftnaf(tctx(), &st, 3, 0));
    std::vector<double> re(6, 1.0), im(6, 0.0), freq{1}, out;
    std::vector<t_nafcplx> amp{1};
    EXPECT_FALSE(naf_process_samples(tctx(), {}, nullptr, 1, re.data(), im.data(), 6, 0, 1, {}, "a", "b", &freq, &amp));
    EXPECT_TRUE(freq.empty());
    ASSERT_EQ(reported_errors().size(), 3u);
    EXPECT_EQ(reported_errors()[0], errtext(347));
    EXPECT_EQ(reported_errors()[1], errtext(346, 3));
    EXPECT_EQ(reported_errors()[2], errtext(460));
    Erreur_Execution = 0;
    EXPECT_EQ(naf_ktabs_of_samples(tctx(), 101, "a", "b"), 96);
    EXPECT_EQ(naf_ktabs_of_samples(tctx(), 7, "a", "b"), 6);
    EXPECT_EQ(naf_puiss2(97), 64);
    EXPECT_EQ(naf_puiss2(128), 128);
    EXPECT_EQ(naf_puiss2(1), 1);
}

// A saved solution reads back to the last bit, parameters included in its head.
TEST(Naf, SolutionFileRoundTrip)
{
    t_nafstate st;
    ASSERT_TRUE(naf_init(tctx(), &st, {}, 60, 0.5, 2, 3));
    const std::vector<double> freq{0.1, -1.0 / 3, 2e-7};
    const std::vector<t_nafcplx> amp{{1, 2}, {-1.0 / 7, 0}, {0, 1e-300}};
    const std::string file = testing::TempDir() + "naf_solution.txt";
    ASSERT_TRUE(naf_savesol(tctx(), file.c_str(), &st, freq, amp));
    std::vector<double> f2;
    std::vector<t_nafcplx> a2;
    ASSERT_TRUE(naf_loadsol(tctx(), file.c_str(), &f2, &a2));
    EXPECT_EQ(f2, freq);
    EXPECT_EQ(a2, amp);
    FILE* f = fopen(file.c_str(), "r");
    char line[200];
    ASSERT_TRUE(fgets(line, sizeof line, f));
    EXPECT_STREQ(line, "# naf parameters\n");
    ASSERT_TRUE(fgets(line, sizeof line, f));
    EXPECT_STREQ(line, "# ktabs  = 60\n");
    fclose(f);
    f = fopen(file.c_str(), "a");
    fputs("4 oops\n", f);
    fclose(f);
    reported_errors().clear();
    EXPECT_FALSE(naf_loadsol(tctx(), file.c_str(), &f2, &a2));
    EXPECT_TRUE(f2.empty());
    ASSERT_EQ(reported_errors().size(), 1u);
    EXPECT_EQ(reported_errors()[0], errtext(771, 19, file.c_str()));
    Erreur_Execution = 0;
}

// Resonances: the combination nearest to each measured frequency, the same whether the
// measured frequencies are shared among threads or not; vanishing combinations of the base.
TEST(Naf, ResonanceSearch)
{
    const std::vector<double> base{1.0, std::sqrt(2.0), 0.5 * M_PI};
    const std::vector<double> measured{2 * 1.0 - std::sqrt(2.0) + 1e-12, 3 * 0.5 * M_PI, 0.123456789, -1.0};
    for (bool par : {false, true}) {
        std::vector<t_freqa_match> m = freqa_find(tctx(), measured, base, 3, 1e-9, par);
        ASSERT_EQ(m.size(), 4u);
        EXPECT_EQ(m[0].k, (std::vector<int>{2, -1, 0}));
        EXPECT_NEAR(m[0].gap, 1e-12, 1e-15);
        EXPECT_EQ(m[1].k, (std::vector<int>{0, 0, 3}));
        EXPECT_TRUE(m[2].k.empty());
        EXPECT_EQ(m[3].k, (std::vector<int>{-1, 0, 0}));
    }
    const std::vector<double> res{0.3, 0.2, 0.5 + 1e-13};
    for (bool par : {false, true}) {
        std::vector<t_freqa_match> r = freqa_resonances(tctx(), res, 2, 1e-10, par);
        ASSERT_EQ(r.size(), 2u);
        EXPECT_EQ(r[0].k, (std::vector<int>{1, 1, -1}));
        EXPECT_EQ(r[1].k, (std::vector<int>{2, 2, -2}));
    }
}

// The sums over the samples are shared among threads by blocks: the same bits with one thread,
// two threads, or no context at all.
TEST(Naf, SameResultsWhateverTheThreadCount)
{
    t_cctx* ctx = tctx();
    const int saved = ctx->kc.cpu;
    const long n = 6 * 10000 + 1;
    std::vector<double> re, im;
    sample(k_five, n, 0, 0.25, &re, &im);
    std::vector<double> f[3];
    std::vector<t_nafcplx> a[3];
    t_cctx* contexts[3] = {ctx, ctx, nullptr};
    for (int i = 0; i < 3; i++) {
        ctx->kc.cpu = i == 1 ? 2 : 1;
        ASSERT_TRUE(naf_process_samples(contexts[i], {}, nullptr, 5, re.data(), im.data(), n, 0, 0.25, {}, "re",
                                        "im", &f[i], &a[i]));
    }
    ctx->kc.cpu = saved;
    ASSERT_EQ(f[0].size(), 5u);
    EXPECT_EQ(f[0], f[1]);
    EXPECT_EQ(a[0], a[1]);
    EXPECT_EQ(f[0], f[2]);
    EXPECT_EQ(a[0], a[2]);
    EXPECT_LT(worstfrequencyerror({true, f[0], a[0]}, k_five), 1e-9);
}

// With a wide tolerance the leakage maximum next to a term counts as that term again: its
// amplitude is measured once more and corrected, and no new term appears.
TEST(Naf, SameFrequencyAgainCorrectsItsTerm)
{
    t_nafsettings set;
    set.tol = 0.99;
    const std::vector<t_term> two = {{0.37, {1.0, 0.5}}, {-0.9, {0.0, 0.01}}};
    t_result r = analyse(two, 4, 6 * 400 + 1, 0.5, set);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.freq.size(), 2u);
    set.tol = 1e-10;
    t_result once = analyse(two, 2, 6 * 400 + 1, 0.5, set);
    ASSERT_EQ(once.freq, r.freq);
    EXPECT_LT(std::abs(once.amp[0] - r.amp[0]), 1e-9) << "the correction is the residual's own, tiny";
    EXPECT_LT(worstfrequencyerror(r, two), 1e-9);
    EXPECT_LT(worstamplitudeerror(r, two), 1e-7);
}
