// Helpers of the coefficient tests: numbers of any tag from exact rationals, exact reference values,
// printing to a string, and a context reset between tests.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "coef/coefnum.h"
#include "coef/coefaff.h"
#include "coef/modenum.h"
#include "interp/cctx.h"
#include "interp/error.h"

inline t_cctx* tctx() { return t_cctx::getLocalCctx(); }

// The number p/q made exactly (exact tags) or correctly rounded / enclosed (the others).
inline coef mknum(eBHTypeCoef tag, long p, long q = 1, long ip = 0, long iq = 1)
{
    if (p == 0 && ip == 0) return coef{};   // zero is tag 0
    t_zratmp* z = zratmp_new();
    mpq_set_si(z->re, p, (unsigned long)q);
    mpq_canonicalize(z->re);
    mpq_set_si(z->im, ip, (unsigned long)iq);
    mpq_canonicalize(z->im);
    coef src = coef_fromptr(z, BH_ZRATMP);
    coef r = coefnum_convert_raw(tctx(), &src, tag);
    zratmp_free(z);
    return r;
}

// Exact rational value of part 0/1 as text ("0" for tag 0).
inline std::string qtext(const coef& c, int part = 0)
{
    mpq_t q;
    mpq_init(q);
    coefnum_get_q(q, &c, part);
    char* s = mpq_get_str(nullptr, 10, q);
    std::string r(s);
    free(s);
    mpq_clear(q);
    return r;
}

inline std::string affstr(const coef& c, int affc)
{
    char* s = coef_affstr(tctx(), &c, affc);
    std::string r(s);
    free(s);
    return r;
}

inline std::string str(const coef& c)
{
    char* s = coef2str(&c);
    std::string r(s);
    free(s);
    return r;
}

// Every numeric tag, real ones first.
inline const eBHTypeCoef* numeric_tags(int* n)
{
    static const eBHTypeCoef tags[] = {BH_DBL,    BH_RAT,     BH_QUAD,  BH_INTDBL, BH_INTQUAD, BH_RATMP,
                                       BH_FPMP,   BH_INTMP,   BH_ZDBL,  BH_ZRAT,   BH_ZQUAD,   BH_ZINTDBL,
                                       BH_ZINTQUAD, BH_ZRATMP, BH_ZFPMP, BH_ZINTMP};
    *n = (int)(sizeof tags / sizeof tags[0]);
    return tags;
}

// Puts the context back to a new session's settings.
class CoefTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kst_kctx(tctx()).num = t_modenum_ctx{};
        kst_kctx(tctx()).options[g_kst_opt_affc] = 1;
        Erreur_Execution = 0;
    }
    void TearDown() override
    {
        kst_kctx(tctx()).num = t_modenum_ctx{};
        Erreur_Execution = 0;
    }
};
