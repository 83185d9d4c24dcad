// The reductions of the typed vectors (sum and product), included by the translation units that
// instantiate t_vecnumt for a number trait.
#pragma once
#include <vector>

#include "numeric/vecnumtyped.h"

// ---------------------------------------------------------------- sum and product

template <class T>
coef t_vecnumt<T>::Vsum(t_cctx* ctx, int method, int) const
{
    using O = ops;
    t_tmpelt<O> s(m_prec);
    if constexpr (T::exact || T::tag == BH_INTDBL) {
        // Exact sums need no compensation; an interval sum is an enclosure as it stands (a
        // compensation term would only widen it).
        for (uint32_t i = 0; i < m_size; i++) O::add(&s.e, &s.e, &data()[i]);
    } else if constexpr (multiprec && !O::cplx) {
        // MPFR sums every term exactly and rounds once: no compensation needed.
        std::vector<__mpfr_struct*> terms(m_size);
        for (uint32_t i = 0; i < m_size; i++) terms[i] = const_cast<__mpfr_struct*>(&data()[i]);
        mpfr_sum(&s.e, terms.data(), m_size, MPFR_RNDN);
    } else if (method == ESUM_KAHAN) {
        // Compensated summation: c carries the low-order bits lost by each addition.
        t_tmpelt<O> c(m_prec), y(m_prec), t(m_prec), d(m_prec);
        for (uint32_t i = 0; i < m_size; i++) {
            O::sub(&y.e, &data()[i], &c.e);
            O::add(&t.e, &s.e, &y.e);
            O::sub(&d.e, &t.e, &s.e);
            O::sub(&c.e, &d.e, &y.e);
            O::set(&s.e, &t.e);
        }
    } else {
        for (uint32_t i = 0; i < m_size; i++) O::add(&s.e, &s.e, &data()[i]);
    }
    return O::tocoef(ctx, &s.e);
}

template <class T>
coef t_vecnumt<T>::Vprod(t_cctx* ctx, int) const
{
    using O = ops;
    t_tmpelt<O> p(m_prec);
    O::setone(&p.e);
    for (uint32_t i = 0; i < m_size; i++) O::mul(&p.e, &p.e, &data()[i]);
    return O::tocoef(ctx, &p.e);
}

