// Angular exponential variables: their names, the dependence on their angle, the counter limit.
#include "seriestest.h"

#include <climits>
#include <cstring>

namespace {

bool takenfirst(t_cctx*, const char* name) { return strcmp(name, "_EXang1") == 0; }
bool alltaken(t_cctx*, const char*) { return true; }

TEST(AngularVariables, NamesSkipTakenSymbolsAndRecordTheirAngle)
{
    t_cctx* ctx = testctx();
    t_variable* angle = cree_var(ctx, "ang");
    coef one = coef_creenum_init(ctx, 1), two = coef_creenum_init(ctx, 2), zero{};
    t_variable* e = varang_create(ctx, angle, one, zero, takenfirst);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->getName(), "_EXang2");
    EXPECT_EQ(e->kind, VARKIND_ANGULAR);
    EXPECT_EQ(static_cast<t_vardep*>(e->dependence)->angle, angle);
    EXPECT_EQ(varang_get1(angle), e);
    t_variable* e2 = varang_create(ctx, angle, two, zero, nullptr);
    EXPECT_STREQ(e2->getName(), "_EXang1");
    EXPECT_EQ(varang_get1(angle), e);   // factor 2 is not exp(i*angle)
    EXPECT_EQ(angle->dependents.size(), 2u);
    // E^k with negative k: signed exponents, E^-3 * E^3 = 1
    coef em3 = serie_pow(ctx, const_cast<coef*>(&kst_variable_monomial(ctx, e)), 1, 3);
    coef e3 = poly_monomial(e, coef_creenum_init(ctx, 1), -3);
    EXPECT_EQ(serie_degmin(&e3, e), -3);
    coef p = serie_mul(ctx, &em3, 0, &e3, 0);
    ASSERT_FALSE(coef_ispoly(&p));
    EXPECT_EQ(coef2ll(&p), 1);
    deletecoef(&one);
    deletecoef(&two);
}

TEST(AngularVariables, CounterLimitIsError115AndCreatesNothing)
{
    t_cctx* ctx = testctx();
    t_variable* angle = cree_var(ctx, "lim");
    coef one = coef_creenum_init(ctx, 1), zero{};
    reported_errors().clear();
    EXPECT_EQ(varang_create(ctx, angle, one, zero, alltaken, INT32_MAX - 2), nullptr);
    ASSERT_EQ(reported_errors().size(), 1u);
    EXPECT_NE(reported_errors()[0].find("Too many angular variables"), std::string::npos);
    EXPECT_TRUE(angle->dependents.empty());
    Erreur_Execution = 0;
    deletecoef(&one);
}

} // namespace
