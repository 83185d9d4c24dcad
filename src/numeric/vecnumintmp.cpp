// Vectors of GMP integers: the typed layer instantiated in a translation unit of
// its own, so that the number types compile apart.
#include "numeric/vecnumsum.h"

template class t_vecnumt<t_intmptype>;

void vecelt_getz(mpz_ptr d, const coef* c, int part)
{
    if (c->type == BH_ZERO) {
        mpz_set_ui(d, 0);
        return;
    }
    if (coef_tag(c) == BH_INTMP && part == 0) {
        mpz_set(d, coef_box<t_intmptype>(c));
        return;
    }
    mpq_t q;
    mpq_init(q);
    coefnum_get_q(q, c, part);
    mpz_tdiv_q(d, mpq_numref(q), mpq_denref(q));
    mpq_clear(q);
}
