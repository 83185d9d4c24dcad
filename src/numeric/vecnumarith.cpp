// Element-wise arithmetic and comparisons of numeric vectors, and the operation table that routes
// vector-op-coefficient by (vector flag, coefficient tag).
#include "numeric/vecnumtyped.h"
#include "numeric/tableau.h"
#include "numeric/vecnumintmodsmall.h"

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

bool iscplxflag(int flag)
{
    return flag == VECNUM_ZDBL || flag == VECNUM_ZQUAD || flag == VECNUM_ZFPMP || flag == VECNUM_ZINTMP ||
           flag == VECNUM_ZRATMP;
}
bool isexactflag(int flag) { return flag == VECNUM_INTMP || flag == VECNUM_RATMP; }
int floatrank(int flag) { return flag == VECNUM_DBL ? 0 : flag == VECNUM_QUAD ? 1 : 2; }
// The real type two real types meet in: intervals take everything (an enclosure of the other
// value); two floating types the more precise; two exact types the rationals; an exact type
// with a floating one the floating one (as for the coefficients). Residues meet no other type.
int commonreal(int ra, int rb)
{
    if (ra == rb) return ra;
    if (ra == VECNUM_INTMODSMALL || rb == VECNUM_INTMODSMALL) return -1;
    if (ra == VECNUM_INTDBL || rb == VECNUM_INTDBL) return VECNUM_INTDBL;
    if (isexactflag(ra) && isexactflag(rb)) return VECNUM_RATMP;
    if (isexactflag(ra)) return rb;
    if (isexactflag(rb)) return ra;
    return floatrank(ra) >= floatrank(rb) ? ra : rb;
}
// The type two vectors meet in, complex when either is; -1 when there is none (a complex vector
// with an interval one, residues with anything else).
int commonflag(int fa, int fb)
{
    const int r = commonreal(vecnum_flagreal(fa), vecnum_flagreal(fb));
    if (r < 0 || !(iscplxflag(fa) || iscplxflag(fb))) return r;
    return vecnum_hascplx(r) ? vecnum_flagcplx(r) : -1;
}
// Integer vectors divide as rationals.
int quotientflag(int flag)
{
    return flag == VECNUM_INTMP ? VECNUM_RATMP : flag == VECNUM_ZINTMP ? VECNUM_ZRATMP : flag;
}

void release(t_vecnum* v, int keep)
{
    if (!keep && v) v->Vdelete();
}

// The operand checks of the element types that have them (exact types: zero divisors, exponents):
// 0 when a op b is defined, else the number of the run error.
template <class O, int OP>
inline int operandcheck(const typename O::E* a, const typename O::E* b)
{
    if constexpr (OP == OP_DIV && requires { O::divcheck(b); }) return O::divcheck(b);
    else if constexpr (OP == OP_POW && requires { O::powcheck(a, b); }) return O::powcheck(a, b);
    else return 0;
}
template <class O, int OP>
constexpr bool haschecks()
{
    const typename O::E* e = nullptr;
    if constexpr (OP == OP_DIV) return requires { O::divcheck(e); };
    else if constexpr (OP == OP_POW) return requires { O::powcheck(e, e); };
    else return false;
}

t_intmodop intmodop(int op)
{
    static const t_intmodop table[] = {INTMOD_ADD, INTMOD_SUB, INTMOD_MUL, INTMOD_DIV, INTMOD_POW};
    return table[op];
}

// True when the coefficient's parts are integers (zero included).
bool isintegral(const coef* c)
{
    if (c->type == BH_ZERO || coef_tag(c) == BH_INTMP || coef_tag(c) == BH_ZINTMP) return true;
    mpq_t q;
    mpq_init(q);
    bool ok = true;
    for (int part = 0; part < (coefnum_iscomplex(coef_tag(c)) ? 2 : 1) && ok; part++) {
        coefnum_get_q(q, c, part);
        ok = mpz_cmp_ui(mpq_denref(q), 1) == 0;
    }
    mpq_clear(q);
    return ok;
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
            if constexpr (vecelt_hascplx<O>) {
                // A complex coefficient lifts the vector to the complex type of its precision.
                t_vecnum* z = vecnum_convertcopy(ctx, v, vecnum_flagcplx(v->vecflag()), "");
                release(v, keepv);
                return coefcell<typename O::cplxtrait, OP, SIDE>(ctx, z, 0, c, keepc);
            } else {
                // No complex type: as a complex operation on a real-only vector.
                kst_runerror(ctx, 23);
                release(v, keepv);
                if (!keepc) deletecoef(c);
                return nullptr;
            }
        }
    }
    if constexpr (T::tag == BH_INTMP || T::tag == BH_ZINTMP) {
        // Integer vectors stay integral only with integers: a quotient (and a non-integral
        // coefficient) makes the rational vector.
        if (OP == OP_DIV || !isintegral(c)) {
            t_vecnum* q = vecnum_convertcopy(ctx, v, T::tag == BH_INTMP ? VECNUM_RATMP : VECNUM_ZRATMP, "");
            release(v, keepv);
            if constexpr (T::tag == BH_INTMP) return coefcell<t_ratmptype, OP, SIDE>(ctx, q, 0, c, keepc);
            else return coefcell<t_zratmptype, OP, SIDE>(ctx, q, 0, c, keepc);
        }
    }
    V* src = static_cast<V*>(v);
    t_tmpelt<O> e(src->prec());
    O::fromcoef(ctx, &e.e, c);
    if constexpr (haschecks<O, OP>()) {
        int err = 0;
        for (uint32_t i = 0; i < src->size() && !err; i++)
            err = SIDE == 0 ? operandcheck<O, OP>(&(*src)[i], &e.e) : operandcheck<O, OP>(&e.e, &(*src)[i]);
        if (err) {
            kst_runerror(ctx, err);
            release(v, keepv);
            if (!keepc) deletecoef(c);
            return nullptr;
        }
    }
    V* dst = keepv ? static_cast<V*>(v->Vcreate(ctx, "", v->size())) : src;
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
    if (a->vecflag() == VECNUM_INTMODSMALL || b->vecflag() == VECNUM_INTMODSMALL)
        return intmodsmall_vecvec(ctx, intmodop(OP), a, keepa, b, keepb);
    int flag = commonflag(a->vecflag(), b->vecflag());
    if (a->size() != b->size() || flag < 0) {
        if (flag < 0) kst_runerror(ctx, 23);
        else kst_runerror(ctx, 143, a->getName(), b->getName());
        release(a, keepa);
        if (b != a) release(b, keepb);
        return nullptr;
    }
    if (OP == OP_DIV) flag = quotientflag(flag);
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
    int err = 0;
    vecnum_visit(a, [&](auto* ta) {
        using V = std::remove_pointer_t<decltype(ta)>;
        using O = typename V::ops;
        V* tb = static_cast<V*>(b);
        if constexpr (haschecks<O, OP>()) {
            for (uint32_t i = 0; i < a->size() && !err; i++) err = operandcheck<O, OP>(&(*ta)[i], &(*tb)[i]);
            if (err) return;
        }
        V* dst = !keepa ? ta : (!keepb ? tb : static_cast<V*>(a->Vcreate(ctx, "", a->size())));
        auto body = [&](uint32_t first, uint32_t last) {
            for (uint32_t i = first; i < last; i++) apply<O, OP>(&(*dst)[i], &(*ta)[i], &(*tb)[i]);
        };
        vecnum_forblocks(ctx, a->size(), body);
        result = dst;
    });
    if (err) kst_runerror(ctx, err);
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
        case VCMP_LE:
            if constexpr (requires { O::le(a, b); }) return O::le(a, b);
            else return O::lt(a, b) || O::eq(a, b);
        case VCMP_GE:
            if constexpr (requires { O::le(a, b); }) return O::le(b, a);
            else return O::lt(b, a) || O::eq(a, b);
        default: break;
        }
    }
    return false;
}

// Runs f(typed a, typed b) with both vectors in their common type (temporaries freed after); the
// caller has checked that there is one.
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
    if (flag < 0 || (iscplxflag(flag) && op != VCMP_EQ && op != VCMP_NE)) {
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

void coef2data_virtual(t_cctx* ctx, t_vecnum* v, uint32_t i, const coef* c) { v->coef2data(ctx, i, c); }

template <int OP, int SIDE>
t_vecnum* intmodcell(t_cctx* ctx, t_vecnum* v, int keepv, coef* c, int keepc)
{
    return intmodsmall_coef(ctx, intmodop(OP), SIDE, v, keepv, c, keepc);
}

// The residue vectors: a vector needs its modulus, so none is made by flag alone (new_vecnum
// keeps its default); vecnum_createintmodsmall makes them.
void fillintmodsmall(t_vecnumvtable& r)
{
    r.name = "t_vecnumintmodsmall";
    r.sizeofvec = sizeof(t_vecnumintmodsmall);
    r.sizeofelt = sizeof(uint32_t);   // the widest of the three widths
    r.data2coef = [](t_cctx* ctx, const t_vecnum* v, uint32_t i) { return v->data2coef(ctx, i); };
    for (int tag = 0; tag < BH_NTAGS; tag++) {
        if (tag != BH_ZERO && g_kst_coef_vtable[tag].kind != 3) continue;
        r.coef2data[tag] = coef2data_virtual;
        r.add[tag] = intmodcell<OP_ADD, 0>;
        r.sub[tag] = intmodcell<OP_SUB, 0>;
        r.mul[tag] = intmodcell<OP_MUL, 0>;
        r.div[tag] = intmodcell<OP_DIV, 0>;
        r.pow[tag] = intmodcell<OP_POW, 0>;
        r.coefsub[tag] = intmodcell<OP_SUB, 1>;
        r.coefdiv[tag] = intmodcell<OP_DIV, 1>;
        r.coefpow[tag] = intmodcell<OP_POW, 1>;
    }
}

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
        r.coef2data[tag] = coef2data_virtual;
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
    filltype<t_intdbltype>(g_kst_vecnum_vtable[VECNUM_INTDBL], "t_vecnumintdbl");
    filltype<t_intmptype>(g_kst_vecnum_vtable[VECNUM_INTMP], "t_vecnumintmp");
    filltype<t_ratmptype>(g_kst_vecnum_vtable[VECNUM_RATMP], "t_vecnumratmp");
    filltype<t_zintmptype>(g_kst_vecnum_vtable[VECNUM_ZINTMP], "t_vecnumzintmp");
    filltype<t_zratmptype>(g_kst_vecnum_vtable[VECNUM_ZRATMP], "t_vecnumzratmp");
    fillintmodsmall(g_kst_vecnum_vtable[VECNUM_INTMODSMALL]);
    kst_tableau_inittables();
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
    if (a->vecflag() == VECNUM_INTMODSMALL || b->vecflag() == VECNUM_INTMODSMALL) return intmodsmall_cmp(ctx, a, b, op);
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
    if (v->vecflag() == VECNUM_INTMODSMALL) {
        // The coefficient as a vector of its residue.
        t_vecnum* cv = v->Vcreate(ctx, "", v->size());
        for (uint32_t i = 0; i < v->size() && !Erreur_Execution; i++) cv->coef2data(ctx, i, c);
        t_vecnum* r = Erreur_Execution ? nullptr : intmodsmall_cmp(ctx, cv, v, op);
        release(cv, 0);
        return r;
    }
    const bool lift = coefnum_iscomplex(coef_tag(c)) && !v->Vvecnumiscplx();
    const int flag = !lift ? v->vecflag() : vecnum_hascplx(v->vecflag()) ? vecnum_flagcplx(v->vecflag()) : -1;
    // An integer vector meets a non-integral number as the rational vector it is part of.
    const int cflag = flag >= 0 && !isintegral(c) ? quotientflag(flag) : flag;
    if (!checkcmpop(ctx, cflag, op)) return nullptr;
    t_vecnum* cv = cflag == v->vecflag() ? nullptr : vecnum_convertcopy(ctx, v, cflag, "");
    const t_vecnum* u = cv ? cv : v;
    t_vecnum* r = vecnum_create(ctx, vecnum_flagreal(cflag), "", v->size());
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

namespace {
// The ternary choice between residue vectors of one modulus, element by element.
t_vecnum* ternary_intmod(t_cctx* ctx, const t_vecnum* cond, const t_vecnum* a, const t_vecnum* b)
{
    if (a->vecflag() != b->vecflag()) {
        kst_runerror(ctx, 23);
        return nullptr;
    }
    if (static_cast<const t_vecnumintmodsmall*>(a)->modulus() != static_cast<const t_vecnumintmodsmall*>(b)->modulus()) {
        kst_runerror(ctx, 445);
        return nullptr;
    }
    auto* r = static_cast<t_vecnumintmodsmall*>(a->Vcreate(ctx, "", a->size()));
    for (uint32_t i = 0; i < a->size(); i++) {
        coef c = cond->data2coef(ctx, i);
        const auto* from = static_cast<const t_vecnumintmodsmall*>(c.type != BH_ZERO ? a : b);
        deletecoef(&c);
        r->set(i, from->get(i));
    }
    return r;
}
}  // namespace

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
    if (a->vecflag() == VECNUM_INTMODSMALL || b->vecflag() == VECNUM_INTMODSMALL) return ternary_intmod(ctx, cond, a, b);
    const int flag = commonflag(a->vecflag(), b->vecflag());
    if (flag < 0) {
        kst_runerror(ctx, 23);
        return nullptr;
    }
    t_vecnum* r = vecnum_create(ctx, flag, "", a->size());
    with_common(ctx, a, b, [&](auto* ta, auto* tb) {
        using V = std::remove_cv_t<std::remove_pointer_t<decltype(ta)>>;
        V* out = static_cast<V*>(r);
        const bool typed = vecnum_visit(cond, [&](auto* tc) {
            using CO = typename std::remove_cv_t<std::remove_pointer_t<decltype(tc)>>::ops;
            for (uint32_t i = 0; i < a->size(); i++)
                V::ops::set(&(*out)[i], CO::iszero(&(*tc)[i]) ? &(*tb)[i] : &(*ta)[i]);
        });
        for (uint32_t i = 0; i < a->size() && !typed; i++) {   // a residue condition
            coef c = cond->data2coef(ctx, i);
            V::ops::set(&(*out)[i], c.type == BH_ZERO ? &(*tb)[i] : &(*ta)[i]);
            deletecoef(&c);
        }
    });
    return r;
}
