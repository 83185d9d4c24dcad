// Helpers of the array tests: arrays of numbers from nested lists, their numbers back, and a
// fixture that installs the array entries of the operation table once.
#pragma once
#include <initializer_list>
#include <memory>
#include <vector>

#include "interp/idconstante.h"
#include "numeric/linalg.h"
#include "numeric/tableau.h"
#include "vecnumtest.h"

struct t_iddel {
    void operator()(t_idcommon* v) const
    {
        if (v) v->Vdelete();
    }
};
using tabptr = std::unique_ptr<t_tableau, t_iddel>;
using idptr = std::unique_ptr<t_idcommon, t_iddel>;

inline t_idconstante* mknum(double x) { return new t_idconstante(tctx(), "", coef_dbl2coef(x)); }
inline t_idconstante* mkint(long long n) { return new t_idconstante(tctx(), "", coef_creenumlong_init(tctx(), n)); }

// A [lo..lo+n-1] array of numbers.
inline tabptr mkrow(const std::vector<double>& x, int lo = 1)
{
    tabptr t(creeinit_tab(lo, lo + static_cast<int>(x.size()) - 1));
    for (size_t p = 0; p < x.size(); p++) t->init_elt_tab_idc(static_cast<long>(p), mknum(x[p]));
    return t;
}

// A [1..r, 1..c] matrix of integers in the current mode (exact in the exact modes).
inline tabptr mkmat(std::initializer_list<std::initializer_list<long long>> rows, int lo1 = 1, int lo2 = 1)
{
    const int r = static_cast<int>(rows.size()), c = static_cast<int>(rows.begin()->size());
    tabptr t(creeinit_tab2D(lo1, lo1 + r - 1, lo2, lo2 + c - 1));
    long p = 0;
    for (auto& row : rows)
        for (long long x : row) t->init_elt_tab_idc(p++, mkint(x));
    return t;
}

inline tabptr mkdblmat(const std::vector<std::vector<double>>& rows)
{
    const int r = static_cast<int>(rows.size()), c = static_cast<int>(rows[0].size());
    tabptr t(creeinit_tab2D(1, r, 1, c));
    long p = 0;
    for (auto& row : rows)
        for (double x : row) t->init_elt_tab_idc(p++, mknum(x));
    return t;
}

inline const coef& numberat(const t_tableau* t, long p)
{
    return static_cast<const t_idconstante*>(t->elt(p).getData())->rawvalue();
}
inline double dblat(const t_tableau* t, long p)
{
    const coef& c = numberat(t, p);
    return coef_iszero(&c) ? 0.0 : coef2dbl(&c);
}
inline complexe zat(const t_tableau* t, long p)
{
    const coef& c = numberat(t, p);
    return coef_iszero(&c) ? complexe{0, 0} : coef2zdbl(&c);
}
inline std::vector<double> dbls(const t_tableau* t)
{
    std::vector<double> out;
    for (long p = 0; p < t->Vsize(); p++) out.push_back(t->elt(p).getData() ? dblat(t, p) : -999);
    return out;
}
// Lower, upper and step of every dimension, flattened.
inline std::vector<int> shape(const t_tableau* t)
{
    std::vector<int> out;
    for (const list_dim_tab* d = t->dims(); d; d = d->next) out.insert(out.end(), {d->binf, d->bsup, d->step});
    return out;
}

class TableauTest : public VecnumTest {
protected:
    void SetUp() override
    {
        VecnumTest::SetUp();
        static const bool s_installed = [] {
            if (kst_id_vtable_count() == 0) id_vtable_init();
            kst_tableau_inittables();
            return true;
        }();
        (void)s_installed;
    }
};
