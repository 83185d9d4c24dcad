// Start-up for the series tests: a whole session (every room), English catalogues, and the three
// variables x, y, z the tests build series in.
#include "seriestest.h"

#include <cstdio>
#include <cstdlib>

#include "interp/kest.h"
#include "series/serie.h"

std::vector<std::string>& reported_errors()
{
    static std::vector<std::string> s_errors;
    return s_errors;
}

namespace {
t_variable* s_vars[3];

void record_error(const char*, int, int, int, int, int, const char* text)
{
    reported_errors().push_back(text ? text : "");
}

class SeriesEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        setenv("KESTDIR", KEST_BUILD_DIR, 1);
        kst_findkestdir("kest");
        testing::internal::CaptureStdout();
        kest_init(1, 0);
        testing::internal::GetCapturedStdout();
        Mkest("_language = \"en\";", nullptr);
        const char* names[] = {"x", "y", "z"};
        for (int i = 0; i < 3; i++) s_vars[i] = cree_var(testctx(), names[i]);
        g_stderr = fopen("/dev/null", "w");
        kst_setfunchook_msgerror(kst_hookkey, record_error);
    }
    void TearDown() override { kst_setfunchook_msgerror(kst_hookkey, nullptr); }
};
const auto* const s_env = ::testing::AddGlobalTestEnvironment(new SeriesEnvironment);
} // namespace

t_cctx* testctx() { return kst_localcctx(); }
t_variable* var(int i) { return s_vars[i]; }

coef randomserie(std::mt19937& rng, int terms, int maxdeg)
{
    t_cctx* ctx = testctx();
    std::uniform_int_distribution<int> deg(0, maxdeg), cf(-5, 5), count(1, terms);
    coef s{};
    for (int k = count(rng); k > 0; k--) {
        coef m = coef_creenum_init(ctx, cf(rng));
        for (int v = 0; v < 3; v++) {
            int d = deg(rng);
            if (d == 0) continue;
            coef p = serie_pow(ctx, const_cast<coef*>(&kst_variable_monomial(ctx, s_vars[v])), 1, static_cast<unsigned long>(d));
            m = serie_mul(ctx, &m, 0, &p, 0);
        }
        s = serie_add(ctx, &s, 0, &m, 0);
    }
    return s;
}

std::string text(const coef& c)
{
    t_cctx* ctx = testctx();
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    Mkest("_affdist = 1$", nullptr);
    affiche(ctx, kst_cctx_getrender(ctx, f), &c);
    Mkest("_affdist = 2$", nullptr);
    kst_cctx_getrender(ctx, stdout);
    fclose(f);
    std::string s(buf, len);
    free(buf);
    return s;
}
