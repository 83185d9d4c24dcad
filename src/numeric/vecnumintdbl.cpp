// Vectors of double intervals: the outward-rounded element kernels and the instantiation of the
// typed layer. Compiled with -frounding-math (see CMakeLists.txt), as every user of bias.h.
#include "numeric/vecnumsum.h"

#include "coef/bias.h"

namespace {
using K = t_bias<double>;
using I = t_biasint<double>;
I get(const t_dbiasinterval* e) { return I{e->inf, e->sup}; }
void put(t_dbiasinterval* d, const I& i) { *d = t_dbiasinterval{i.inf, i.sup}; }
}  // namespace

void t_vecelt<t_intdbltype>::fromcoef(t_cctx*, E* d, const coef* c)
{
    if (c->type == BH_ZERO) {
        *d = E{0, 0};
        return;
    }
    if (coef_tag(c) == BH_INTDBL) {
        *d = *coef_box<t_intdbltype>(c);
        return;
    }
    // Bounds rounded outward from the exact value (coefnum_get_fr rounds an interval's own
    // bounds in the same directions).
    mpfr_t f;
    mpfr_init2(f, 53);
    coefnum_get_fr(f, c, 0, MPFR_RNDD);
    d->inf = mpfr_get_d(f, MPFR_RNDD);
    coefnum_get_fr(f, c, 0, MPFR_RNDU);
    d->sup = mpfr_get_d(f, MPFR_RNDU);
    mpfr_clear(f);
}

void t_vecelt<t_intdbltype>::add(E* d, const E* a, const E* b) { put(d, K::AddII(get(a), get(b))); }
void t_vecelt<t_intdbltype>::sub(E* d, const E* a, const E* b) { put(d, K::SubII(get(a), get(b))); }
void t_vecelt<t_intdbltype>::mul(E* d, const E* a, const E* b) { put(d, K::MulII(get(a), get(b))); }
void t_vecelt<t_intdbltype>::div(E* d, const E* a, const E* b) { put(d, K::DivII(get(a), get(b))); }

// a^n for the integral point exponent powcheck accepted, by squaring; a negative power is the
// inverse of the positive one.
void t_vecelt<t_intdbltype>::pow(E* d, const E* a, const E* b)
{
    const long n = (long)b->inf;
    unsigned long m = n < 0 ? 0UL - (unsigned long)n : (unsigned long)n;
    I x = get(a), r{1, 1};
    while (m) {
        if (m & 1) r = K::MulII(r, x);
        m >>= 1;
        if (m) x = K::SqrI(x);
    }
    if (n < 0) r = K::DivII(I{1, 1}, r);
    put(d, r);
}

template class t_vecnumt<t_intdbltype>;
