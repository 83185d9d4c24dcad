// Element-wise arithmetic and comparisons of numeric vectors, and the operation table that routes
// vector-op-coefficient by (vector flag, coefficient tag).
#include "numeric/vecnumtyped.h"
#include "numeric/tableau.h"

#include "interp/error.h"

t_vecnumvtable g_kst_vecnum_vtable[KST_VECNUM_NFLAGS];

namespace {

enum t_arithop { OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_POW };

template <class O, int OP>
inline void apply(typename O::E* d, const typename O::E* a, const typename O::E* b)
{
    if constexpr (OP == OP_ADD) O::add(d, a, b);
    else if constexpr (OP == OP_SUB) O::sub(d, a, b);
    else if constexpr (OP == OP_MUL) O::mul(d, a, b);
    else if constexpr (OP == OP_DIV) O::div(d, a, b);
    else O::pow(d, a, b);
}

int rankof(int flag)
{
    switch (flag) {
    case VECNUM_DBL: case VECNUM_ZDBL: return 0;
    case VECNUM_QUAD: case VECNUM_ZQUAD: return 1;
    default: return 2;
    }
}
bool iscplxflag(int flag) { return flag == VECNUM_ZDBL || flag == VECNUM_ZQUAD || flag == VECNUM_ZFPMP; }
int flagof(int rank, bool cplx)
{
    static const int real[] = {VECNUM_DBL, VECNUM_QUAD, VECNUM_FPMP};
    return cplx ? vecnum_flagcplx(real[rank]) : real[rank];
}
// The type two vectors meet in: the more precise one, complex when either is.
int commonflag(int fa, int fb) { return flagof(std::max(rankof(fa), rankof(fb)), iscplxflag(fa) || iscplxflag(fb)); }

void release(t_vecnum* v, int keep)
{
    if (!keep && v) v->Vdelete();
}

// ---------------------------------------------------------------- vector op coefficient

// SIDE 0: v[i] op c; SIDE 1: c op v[i].
template <class T, int OP, int SIDE>
t_vecnum* coefcell(t_cctx* ctx, t_vecnum* v, int keepv, coef* c, int keepc)
{
    using O = t_vecelt<T>;
    using V = t_vecnumt<T>;
    if constexpr (!O::cplx) {
        if (coefnum_iscomplex(coef_tag(c))) {
            // A complex coefficient lifts the vector to the complex type of its precision.
            t_vecnum* z = vecnum_convertcopy(ctx, v, vecnum_flagcplx(v->vecflag()), "");
            release(v, keepv);
            return coefcell<typename O::cplxtrait, OP, SIDE>(ctx, z, 0, c, keepc);
        }
    }
    V* src = static_cast<V*>(v);
    V* dst = keepv ? static_cast<V*>(v->Vcreate(ctx, "", v->size())) : src;
    t_tmpelt<O> e(src->prec());
    O::fromcoef(ctx, &e.e, c);
    auto body = [&](uint32_t first, uint32_t last) {
        for (uint32_t i = first; i < last; i++) {
            if constexpr (SIDE == 0) apply<O, OP>(&(*dst)[i], &(*src)[i], &e.e);
            else apply<O, OP>(&(*dst)[i], &e.e, &(*src)[i]);
        }
    };
    vecnum_forblocks(ctx, src->size(), body);
    if (!keepc) deletecoef(c);
    return dst;
}

template <int SIDE>
t_vecnum* dispatch(t_cctx* ctx, t_vecnum_coefop (t_vecnumvtable::*row)[BH_NTAGS], t_vecnum* v, int keepv, coef* c, int keepc)
{
    const int flag = v->vecflag();
    if (flag < 0 || flag >= KST_VECNUM_NFLAGS) kst_iceerror(1012, "tabnum_coef", flag);
    return (g_kst_vecnum_vtable[flag].*row)[coef_tag(c)](ctx, v, keepv, c, keepc);
}

// ---------------------------------------------------------------- vector op vector

template <int OP>
t_vecnum* vecvec(t_cctx* ctx, t_vecnum* a, int keepa, t_vecnum* b, int keepb)
{
    if (a->size() != b->size()) {
        kst_runerror(ctx, 143, a->getName(), b->getName());
        release(a, keepa);
        if (b != a) release(b, keepb);
        return nullptr;
    }
    const int flag = commonflag(a->vecflag(), b->vecflag());
    // Operands of another type are converted into temporaries the result may reuse.
    if (a->vecflag() != flag) {
        t_vecnum* ca = vecnum_convertcopy(ctx, a, flag, "");
        release(a, keepa);
        a = ca;
        keepa = 0;
    }
    if (b->vecflag() != flag) {
        t_vecnum* cb = vecnum_convertcopy(ctx, b, flag, "");
        release(b, keepb);
        b = cb;
        keepb = 0;
    }
    t_vecnum* result = nullptr;
    vecnum_visit(a, [&](auto* ta) {
        using V = std::remove_pointer_t<decltype(ta)>;
        using O = typename V::ops;
        V* tb = static_cast<V*>(b);
        V* dst = !keepa ? ta : (!keepb ? tb : static_cast<V*>(a->Vcreate(ctx, "", a->size())));
        auto body = [&](uint32_t first, uint32_t last) {
            for (uint32_t i = first; i < last; i++) apply<O, OP>(&(*dst)[i], &(*ta)[i], &(*tb)[i]);
        };
        vecnum_forblocks(ctx, a->size(), body);
        result = dst;
    });
    if (result != a) release(a, keepa);
    if (result != b && b != a) release(b, keepb);
    return result;
}

// ---------------------------------------------------------------- comparisons

template <class O>
bool relation(const typename O::E* a, const typename O::E* b, t_vecnum_cmpop op)
{
    switch (op) {
    case VCMP_EQ: return O::eq(a, b);
    case VCMP_NE: return !O::eq(a, b);
    default: break;
    }
    if constexpr (!O::cplx) {
        switch (op) {
        case VCMP_LT: return O::lt(a, b);
        case VCMP_GT: return O::lt(b, a);
        case VCMP_LE: return O::lt(a, b) || O::eq(a, b);
        case VCMP_GE: return O::lt(b, a) || O::eq(a, b);
        default: break;
        }
    }
    return false;
}

// Runs f(typed a, typed b) with both vectors in their common type (temporaries freed after).
template <class F>
void with_common(t_cctx* ctx, const t_vecnum* a, const t_vecnum* b, F&& f)
{
    const int flag = commonflag(a->vecflag(), b->vecflag());
    t_vecnum* ca = a->vecflag() == flag ? nullptr : vecnum_convertcopy(ctx, a, flag, "");
    t_vecnum* cb = b->vecflag() == flag ? nullptr : vecnum_convertcopy(ctx, b, flag, "");
    const t_vecnum* ua = ca ? ca : a;
    const t_vecnum* ub = cb ? cb : b;
    vecnum_visit(ua, [&](auto* ta) {
        using V = std::remove_cv_t<std::remove_pointer_t<decltype(ta)>>;
        f(ta, static_cast<const V*>(ub));
    });
    release(ca, 0);
    release(cb, 0);
}

bool checkcmpop(t_cctx* ctx, int flag, t_vecnum_cmpop op)
{
    if (iscplxflag(flag) && op != VCMP_EQ && op != VCMP_NE) {
        kst_runerror(ctx, 23);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- table defaults

t_vecnum* default_coefop(t_cctx*, t_vecnum* v, int, coef* c, int)
{
    kst_iceerror(1015, "tabnum_coef", v->vecflag(), (int)coef_tag(c));
}
t_vecnum* default_new(t_cctx*, const char*, uint32_t) { kst_iceerror(1012, "new_vecnum", -1); }
coef default_data2coef(t_cctx*, const t_vecnum* v, uint32_t) { kst_iceerror(1012, "data2coef", v->vecflag()); }
void default_coef2data(t_cctx*, t_vecnum* v, uint32_t, const coef*) { kst_iceerror(1012, "coef2data", v->vecflag()); }

template <class T>
void filltype(t_vecnumvtable& r, const char* name)
{
    r.name = name;
    r.new_vecnum = [](t_cctx* ctx, const char* n, uint32_t size) -> t_vecnum* { return vecnum_new<T>(ctx, n, size); };
    r.sizeofvec = sizeof(typename t_vecnumclass<T>::type);
    r.sizeofelt = sizeof(typename t_vecelt<T>::E);
    r.data2coef = [](t_cctx* ctx, const t_vecnum* v, uint32_t i) { return v->data2coef(ctx, i); };
    for (int tag = 0; tag < BH_NTAGS; tag++) {
        if (tag != BH_ZERO && g_kst_coef_vtable[tag].kind != 3) continue;
        r.coef2data[tag] = [](t_cctx* ctx, t_vecnum* v, uint32_t i, const coef* c) { v->coef2data(ctx, i, c); };
        r.add[tag] = coefcell<T, OP_ADD, 0>;
        r.sub[tag] = coefcell<T, OP_SUB, 0>;
        r.mul[tag] = coefcell<T, OP_MUL, 0>;
        r.div[tag] = coefcell<T, OP_DIV, 0>;
        r.pow[tag] = coefcell<T, OP_POW, 0>;
        r.coefsub[tag] = coefcell<T, OP_SUB, 1>;
        r.coefdiv[tag] = coefcell<T, OP_DIV, 1>;
        r.coefpow[tag] = coefcell<T, OP_POW, 1>;
    }
}

}  // namespace

void kst_vecnum_inittables()
{
    for (auto& r : g_kst_vecnum_vtable) {
        r = t_vecnumvtable{};
        r.name = "";
        r.new_vecnum = default_new;
        r.data2coef = default_data2coef;
        for (int t = 0; t < BH_NTAGS; t++) {
            r.coef2data[t] = default_coef2data;
            r.add[t] = r.sub[t] = r.mul[t] = r.div[t] = r.pow[t] = default_coefop;
            r.coefsub[t] = r.coefdiv[t] = r.coefpow[t] = default_coefop;
        }
    }
    filltype<t_dbltype>(g_kst_vecnum_vtable[VECNUM_DBL], "t_vecnumdbl");
    filltype<t_zdbltype>(g_kst_vecnum_vtable[VECNUM_ZDBL], "t_vecnumzdbl");
    filltype<t_quadtype>(g_kst_vecnum_vtable[VECNUM_QUAD], "t_vecnumquad");
    filltype<t_zquadtype>(g_kst_vecnum_vtable[VECNUM_ZQUAD], "t_vecnumzquad");
    filltype<t_fpmptype>(g_kst_vecnum_vtable[VECNUM_FPMP], "t_vecnumfpmp");
    filltype<t_zfpmptype>(g_kst_vecnum_vtable[VECNUM_ZFPMP], "t_vecnumzfpmp");
    kst_vecnum_registerlanguage();
    kst_tableau_inittables();
    kst_tableau_registerlanguage();
}

// ---------------------------------------------------------------- public entry points

t_vecnum* tabnum_addition_coef(t_cctx* ctx, t_vecnum* v, int kv, coef* c, int kc)
{
    return dispatch<0>(ctx, &t_vecnumvtable::add, v, kv, c, kc);
}
t_vecnum* tabnum_soustraction_coef(t_cctx* ctx, t_vecnum* v, int kv, coef* c, int kc)
{
    return dispatch<0>(ctx, &t_vecnumvtable::sub, v, kv, c, kc);
}
t_vecnum* coef_soustraction_tabnum(t_cctx* ctx, coef* c, int kc, t_vecnum* v, int kv)
{
    return dispatch<1>(ctx, &t_vecnumvtable::coefsub, v, kv, c, kc);
}
t_vecnum* tabnum_multiplication_coef(t_cctx* ctx, t_vecnum* v, int kv, coef* c, int kc)
{
    return dispatch<0>(ctx, &t_vecnumvtable::mul, v, kv, c, kc);
}
t_vecnum* tabnum_division_coef(t_cctx* ctx, t_vecnum* v, int kv, coef* c, int kc)
{
    return dispatch<0>(ctx, &t_vecnumvtable::div, v, kv, c, kc);
}
t_vecnum* coef_division_tabnum(t_cctx* ctx, coef* c, int kc, t_vecnum* v, int kv)
{
    return dispatch<1>(ctx, &t_vecnumvtable::coefdiv, v, kv, c, kc);
}
t_vecnum* tabnum_pow_coef(t_cctx* ctx, t_vecnum* v, int kv, coef* c, int kc)
{
    return dispatch<0>(ctx, &t_vecnumvtable::pow, v, kv, c, kc);
}
t_vecnum* coef_pow_tabnum(t_cctx* ctx, coef* c, int kc, t_vecnum* v, int kv)
{
    return dispatch<1>(ctx, &t_vecnumvtable::coefpow, v, kv, c, kc);
}

t_vecnum* vecnum_addition(t_cctx* ctx, t_vecnum* a, int ka, t_vecnum* b, int kb) { return vecvec<OP_ADD>(ctx, a, ka, b, kb); }
t_vecnum* vecnum_soustraction(t_cctx* ctx, t_vecnum* a, int ka, t_vecnum* b, int kb) { return vecvec<OP_SUB>(ctx, a, ka, b, kb); }
t_vecnum* vecnum_multiplication(t_cctx* ctx, t_vecnum* a, int ka, t_vecnum* b, int kb) { return vecvec<OP_MUL>(ctx, a, ka, b, kb); }
t_vecnum* vecnum_division(t_cctx* ctx, t_vecnum* a, int ka, t_vecnum* b, int kb) { return vecvec<OP_DIV>(ctx, a, ka, b, kb); }
t_vecnum* vecnum_pow(t_cctx* ctx, t_vecnum* a, int ka, t_vecnum* b, int kb) { return vecvec<OP_POW>(ctx, a, ka, b, kb); }

t_vecnum* vecnum_cmp(t_cctx* ctx, const t_vecnum* a, const t_vecnum* b, t_vecnum_cmpop op)
{
    if (a->size() != b->size()) {
        kst_runerror(ctx, 143, a->getName(), b->getName());
        return nullptr;
    }
    const int flag = commonflag(a->vecflag(), b->vecflag());
    if (!checkcmpop(ctx, flag, op)) return nullptr;
    t_vecnum* r = vecnum_create(ctx, vecnum_flagreal(flag), "", a->size());
    with_common(ctx, a, b, [&](auto* ta, auto* tb) {
        using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(ta)>>::ops;
        vecnum_visit(r, [&](auto* out) {
            using RO = typename std::remove_pointer_t<decltype(out)>::ops;
            for (uint32_t i = 0; i < a->size(); i++)
                if (relation<O>(&(*ta)[i], &(*tb)[i], op)) RO::setone(&(*out)[i]);
        });
    });
    return r;
}

t_vecnum* coefvecnum_cmp(t_cctx* ctx, const coef* c, const t_vecnum* v, t_vecnum_cmpop op)
{
    const int flag = coefnum_iscomplex(coef_tag(c)) ? vecnum_flagcplx(v->vecflag()) : v->vecflag();
    if (!checkcmpop(ctx, flag, op)) return nullptr;
    t_vecnum* cv = flag == v->vecflag() ? nullptr : vecnum_convertcopy(ctx, v, flag, "");
    const t_vecnum* u = cv ? cv : v;
    t_vecnum* r = vecnum_create(ctx, vecnum_flagreal(flag), "", v->size());
    vecnum_visit(u, [&](auto* tv) {
        using V = std::remove_cv_t<std::remove_pointer_t<decltype(tv)>>;
        using O = typename V::ops;
        t_tmpelt<O> e(tv->prec());
        O::fromcoef(ctx, &e.e, c);
        vecnum_visit(r, [&](auto* out) {
            using RO = typename std::remove_pointer_t<decltype(out)>::ops;
            for (uint32_t i = 0; i < tv->size(); i++)
                if (relation<O>(&e.e, &(*tv)[i], op)) RO::setone(&(*out)[i]);
        });
    });
    release(cv, 0);
    return r;
}

t_vecnum* vecnum_cmpcondternaire(t_cctx* ctx, const t_vecnum* cond, const t_vecnum* a, const t_vecnum* b)
{
    if (cond->size() != a->size()) {
        kst_runerror(ctx, 143, cond->getName(), a->getName());
        return nullptr;
    }
    if (a->size() != b->size()) {
        kst_runerror(ctx, 143, a->getName(), b->getName());
        return nullptr;
    }
    t_vecnum* r = vecnum_create(ctx, commonflag(a->vecflag(), b->vecflag()), "", a->size());
    with_common(ctx, a, b, [&](auto* ta, auto* tb) {
        using V = std::remove_cv_t<std::remove_pointer_t<decltype(ta)>>;
        V* out = static_cast<V*>(r);
        vecnum_visit(cond, [&](auto* tc) {
            using CO = typename std::remove_cv_t<std::remove_pointer_t<decltype(tc)>>::ops;
            for (uint32_t i = 0; i < a->size(); i++)
                V::ops::set(&(*out)[i], CO::iszero(&(*tc)[i]) ? &(*tb)[i] : &(*ta)[i]);
        });
    });
    return r;
}
