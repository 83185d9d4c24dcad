// Helpers of the numeric-vector tests: vectors from lists, their values back, and the log of the
// errors reported (their texts, compared with the catalogue's text for a number and arguments).
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "coef/coefnum.h"
#include "coef/modenum.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "numeric/vecnumtyped.h"

inline t_cctx* tctx() { return t_cctx::getLocalCctx(); }

// Texts of the run errors reported since the last clear (filled by the message hook).
std::vector<std::string>& reported_errors();

// The text error `number` prints with these arguments.
template <class... A>
std::string errtext(int number, A... args)
{
    char buf[1024];
    snprintf(buf, sizeof buf, kst_getmsgerror(number), args...);
    return buf;
}

struct t_vecdel {
    void operator()(t_vecnum* v) const
    {
        if (v) v->Vdelete();
    }
};
using vecptr = std::unique_ptr<t_vecnum, t_vecdel>;

inline vecptr mkvec(int flag, const std::vector<double>& re, const std::vector<double>& im = {})
{
    vecptr v(vecnum_create(tctx(), flag, "v", (uint32_t)re.size()));
    for (size_t i = 0; i < re.size(); i++) {
        coef c{};
        if (im.empty()) c = coef_fromdbl(re[i]);
        else {
            c.z = complexe{re[i], im[i]};
            c.type = BH_ZDBL;
        }
        v->coef2data(tctx(), (uint32_t)i, &c);
    }
    return v;
}
inline vecptr mkdbl(const std::vector<double>& x) { return mkvec(VECNUM_DBL, x); }

// Real (0) or imaginary (1) parts of the elements as doubles.
inline std::vector<double> values(const t_vecnum* v, int part = 0)
{
    std::vector<double> out;
    for (uint32_t i = 0; i < v->size(); i++) {
        coef c = v->data2coef(tctx(), i);
        complexe z = c.type == BH_ZERO ? complexe{0, 0} : coef2zdbl(&c);
        out.push_back(part ? z.im : z.re);
        deletecoef(&c);
    }
    return out;
}

class VecnumTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kst_kctx(tctx()).num = t_modenum_ctx{};
        Erreur_Execution = 0;
        reported_errors().clear();
    }
    void TearDown() override
    {
        kst_kctx(tctx()).num = t_modenum_ctx{};
        Erreur_Execution = 0;
        reported_errors().clear();
    }
    // The one error reported since the last check, then the flag cleared.
    void expect_error(const std::string& text)
    {
        EXPECT_EQ(Erreur_Execution, 1);
        ASSERT_FALSE(reported_errors().empty());
        EXPECT_EQ(reported_errors().front(), text);
        reported_errors().clear();
        Erreur_Execution = 0;
    }
    void expect_noerror()
    {
        EXPECT_EQ(Erreur_Execution, 0);
        EXPECT_TRUE(reported_errors().empty()) << reported_errors().front();
    }
};
