// Numeric vectors in the language: the vnumR and vnumC declarations, display, subscripts,
// arithmetic through the operation table, the one-argument functions element by element, the
// reductions min, max, imin, imax and sort, and the file statements write, read, readappend,
// writebin and readbin.
#include "numeric/vecnumfunc.h"
#include "numeric/vecnumtyped.h"

#include "coef/coefaff.h"
#include "coef/modenum.h"
#include "numeric/numericroom.h"
#include "series/serie.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/idclass.h"
#include "interp/idconstante.h"
#include "interp/ids.h"
#include "interp/keywords.h"
#include "interp/msgfmt.h"
#include "interp/kest.h"
#include "interp/treeint.h"
#include "render/render.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

coef* numberof(t_cctx* ctx, const t_idcommon* v)
{
    if (!v || v->Vgettypeenum() != IDTYPE_CONSTANTE) return nullptr;
    return const_cast<coef*>(&const_cast<t_idconstante*>(static_cast<const t_idconstante*>(v))->value(ctx));
}

const t_vecnum* vectorof(const t_idcommon* v)
{
    return v && v->Vgettypeenum() == IDTYPE_VECNUM ? static_cast<const t_vecnum*>(v) : nullptr;
}

// A 1-based subscript that must be a whole number.
bool integersubscript(t_cctx* ctx, const t_subscript& s, long* out)
{
    if (s.kind != t_subscript::value || !s.v->Visinteger()) {
        kst_runerror(ctx, 574, 1);
        return false;
    }
    *out = s.v->Vgetlonginteger();
    return true;
}

tabnum_borne borneof(const t_subscript& s)
{
    return tabnum_borne{static_cast<int32_t>(s.first), static_cast<int32_t>(s.last), static_cast<int32_t>(s.step)};
}

void growto(t_vecnum* v, uint32_t n)
{
    vecnum_visit(v, [&](auto* t) { t->increasesize(n); });
}

} // namespace

// ---------------------------------------------------------------- the value class

void t_vecnum::Vdisplay_resume(t_cctx* ctx, FILE* stream) const
{
    t_render* r = display_begin(ctx, stream);
    r->Vcrochet_begin();
    for (uint32_t i = 0; i < m_size; i++) {
        if (i) r->Vespacesigne_virgule();
        coef c = data2coef(ctx, i);
        coef_aff(ctx, r, &c, kst_affc(ctx));
        deletecoef(&c);
    }
    r->Vcrochet_end();
    r->writenewline();
}

// "[e1, e2, ...]" with the elements as the display writes them.
bool t_vecnum::Vexport_str(t_cctx* ctx, std::string& out) const
{
    out = "[";
    for (uint32_t i = 0; i < m_size; i++) {
        coef c = data2coef(ctx, i);
        char* text = coef_affstr(ctx, &c, kst_affc(ctx));
        deletecoef(&c);
        out += (i ? ", " : "") + std::string(text ? text : "");
        free(text);
    }
    out += "]";
    return true;
}

bool t_vecnum::resizable_here() const
{
    const uint32_t region = kst_omp_taskregion();
    return region == 0 || m_region == region;
}

t_idcommon* t_vecnum::Vupdatevalue(t_cctx* ctx) const { return vecnum_convertmode(ctx, this); }

t_idcommon* t_vecnum::Vextract(t_cctx* ctx, const std::vector<t_subscript>& s) const
{
    if (s.size() != 1 || s[0].kind == t_subscript::ellipsis) {
        kst_runerror(ctx, 23);
        return nullptr;
    }
    if (s[0].kind == t_subscript::range) return Vextract_borne(ctx, borneof(s[0]));
    if (const t_vecnum* indices = vectorof(s[0].v)) return Vextract_indices(ctx, indices);
    long i;
    if (!integersubscript(ctx, s[0], &i)) return nullptr;
    if (i < 1 || i > static_cast<long>(m_size)) {
        kst_runerror(ctx, 300, static_cast<int>(i));
        return nullptr;
    }
    return new t_idconstante(ctx, "", data2coef(ctx, static_cast<uint32_t>(i - 1)));
}

bool t_vecnum::Vextract_number(t_cctx* ctx, long i, coef* out) const
{
    if (i < 1 || i > static_cast<long>(m_size)) return false;
    // Doubles, the common case of a loop over data, without the element type's own call.
    if (vecflag() == VECNUM_DBL) *out = coef_fromdbl(static_cast<const double*>(m_pdata)[i - 1]);
    else *out = data2coef(ctx, static_cast<uint32_t>(i - 1));
    return true;
}

bool t_vecnum::Vassign_number(t_cctx* ctx, long i, const coef* c)
{
    if (i < 1 || i > static_cast<long>(m_size)) return false;   // growth takes the general path
    coef2data(ctx, static_cast<uint32_t>(i - 1), c);
    return true;
}

bool t_vecnum::Vassign(t_cctx* ctx, const std::vector<t_subscript>& s, t_idcommon* owned)
{
    coef* c = numberof(ctx, owned);
    bool ok = false;
    if (s.size() != 1 || s[0].kind == t_subscript::ellipsis || !c) {
        kst_runerror(ctx, 23);
    } else if (s[0].kind == t_subscript::range) {
        tabnum_borne b = borneof(s[0]);
        if (b.last == -1) b.last = static_cast<int32_t>(m_size);
        if (b.step < 1) {
            kst_runerror(ctx, 52);
        } else if (b.first < 1 || b.last > static_cast<int32_t>(m_size)) {
            kst_runerror(ctx, 300, b.first < 1 ? b.first : b.last);
        } else {
            for (int32_t i = b.first; i <= b.last; i += b.step) coef2data(ctx, static_cast<uint32_t>(i - 1), c);
            ok = true;
        }
    } else {
        long i;
        if (integersubscript(ctx, s[0], &i)) {
            if (i < 1 || i > static_cast<long>(UINT32_MAX)) {
                kst_runerror(ctx, 300, static_cast<int>(i));
            } else {
                if (i > static_cast<long>(m_size) && !resizable_here()) {
                    kst_runerror(ctx, 760, getName());
                } else {
                    if (i > static_cast<long>(m_size)) growto(this, static_cast<uint32_t>(i));
                    coef2data(ctx, static_cast<uint32_t>(i - 1), c);
                    ok = true;
                }
            }
        }
    }
    owned->Vdelete();
    return ok;
}

namespace {

// The element function of one unary operation; null when computed from the double value.
coef_unop_fn coefvtable::*elementop(const char* name)
{
    static const struct { const char* name; coef_unop_fn coefvtable::*op; } table[] = {
        {"Vabs", &coefvtable::abs},     {"Vacos", &coefvtable::acos},   {"Vasin", &coefvtable::asin},
        {"Vatan", &coefvtable::atan},   {"Vcos", &coefvtable::cos},     {"Vsin", &coefvtable::sin},
        {"Vtan", &coefvtable::tan},     {"Vcosh", &coefvtable::cosh},   {"Vsinh", &coefvtable::sinh},
        {"Vtanh", &coefvtable::tanh},   {"Vacosh", &coefvtable::acosh}, {"Vasinh", &coefvtable::asinh},
        {"Vatanh", &coefvtable::atanh}, {"Varg", &coefvtable::arg},     {"Vconj", &coefvtable::conj},
        {"Vexp", &coefvtable::exp},     {"Vimag", &coefvtable::imag},   {"Vlog", &coefvtable::log},
        {"Vlog10", &coefvtable::log10}, {"Vnint", &coefvtable::nint},   {"Vpent", &coefvtable::pent},
        {"Vreal", &coefvtable::real},   {"Vsqrt", &coefvtable::sqrt},   {"Vneg", &coefvtable::neg},
    };
    for (const auto& e : table)
        if (strcmp(e.name, name) == 0) return e.op;
    return nullptr;
}

// The function on every element, through the number type of the elements. A real vector whose
// results are complex (sqrt of a negative element) gives the complex vector of its precision.
t_idcommon* elementwise(t_cctx* ctx, const t_vecnum* v, const char* name)
{
    if (strcmp(name, "Vaccum") == 0) return v->Vaccumulate(ctx);
    if (t_vecnum* r = vecnum_elemfunc(ctx, v, name)) return r;
    coef_unop_fn coefvtable::*op = elementop(name);
    double (*real)(double) = strcmp(name, "Verf") == 0 ? static_cast<double (*)(double)>(std::erf)
                             : strcmp(name, "Verfc") == 0 ? static_cast<double (*)(double)>(std::erfc)
                                                          : nullptr;
    bool sign = strcmp(name, "Vsign") == 0;
    if (!op && !real && !sign) {
        kst_runerror(ctx, 23);
        return nullptr;
    }
    if ((real || sign) && v->Vvecnumiscplx()) {
        kst_runerror(ctx, 23);
        return nullptr;
    }
    std::vector<coef> out(v->size());
    bool complex = false;
    for (uint32_t i = 0; i < v->size() && !Erreur_Execution; i++) {
        coef c = v->data2coef(ctx, i);
        if (op) {
            out[i] = (coef_vt(&c).*op)(ctx, &c, 0);
            complex = complex || coefnum_iscomplex(coef_tag(&out[i]));
        } else {
            double x = coef2dbl(&c);
            deletecoef(&c);
            out[i] = coef_fromdbl(real ? real(x) : x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0);
        }
    }
    t_vecnum* r = nullptr;
    if (!Erreur_Execution && complex && !v->Vvecnumiscplx() && !vecnum_hascplx(v->vecflag()))
        kst_runerror(ctx, 23);   // complex results, and no complex vector of that kind
    if (!Erreur_Execution) {
        int flag = complex && !v->Vvecnumiscplx() ? vecnum_flagcplx(v->vecflag()) : v->vecflag();
        r = vecnum_create(ctx, flag, "", v->size());
        for (uint32_t i = 0; i < v->size(); i++) r->coef2data(ctx, i, &out[i]);
    }
    for (coef& c : out) deletecoef(&c);
    return r;
}

} // namespace

#define KST_VECNUM_UNARY(op)                                                                       \
    t_idcommon* t_vecnum::op(t_cctx* ctx, int)                                                     \
    {                                                                                              \
        t_idcommon* r = elementwise(ctx, this, #op);                                               \
        if (r && keeptype()) static_cast<t_vecnum*>(r)->setkeeptype(true);                         \
        return r;                                                                                  \
    }
KST_ID_UNARY_OPS(KST_VECNUM_UNARY)
#undef KST_VECNUM_UNARY

namespace {

// ---------------------------------------------------------------- arithmetic through the table

t_vecnum* asvector(t_idcommon* v) { return static_cast<t_vecnum*>(v); }

// A result computed from a vector declared with its type (vnumQ) keeps its type too.
t_vecnum* keeping(t_vecnum* r, bool keep)
{
    if (r && keep) r->setkeeptype(true);
    return r;
}

template <t_vecnum* (*F)(t_cctx*, t_vecnum*, int, t_vecnum*, int)>
t_idcommon* vecvec(t_cctx* ctx, t_idcommon* a, int keepa, t_idcommon* b, int keepb)
{
    const bool keep = asvector(a)->keeptype() || asvector(b)->keeptype();
    return keeping(F(ctx, asvector(a), keepa, asvector(b), keepb), keep);
}

// Vector op number: the number is borrowed from its constant.
template <t_vecnum* (*F)(t_cctx*, t_vecnum*, int, coef*, int)>
t_idcommon* veccoef(t_cctx* ctx, t_idcommon* a, int keepa, t_idcommon* b, int keepb)
{
    const bool keep = asvector(a)->keeptype();
    t_idcommon* r = keeping(F(ctx, asvector(a), keepa, numberof(ctx, b), 1), keep);
    if (!keepb) b->Vdelete();
    return r;
}

template <t_vecnum* (*F)(t_cctx*, coef*, int, t_vecnum*, int)>
t_idcommon* coefvec(t_cctx* ctx, t_idcommon* a, int keepa, t_idcommon* b, int keepb)
{
    const bool keep = asvector(b)->keeptype();
    t_idcommon* r = keeping(F(ctx, numberof(ctx, a), 1, asvector(b), keepb), keep);
    if (!keepa) a->Vdelete();
    return r;
}

// Number op vector for the operations that commute.
template <t_vecnum* (*F)(t_cctx*, t_vecnum*, int, coef*, int)>
t_idcommon* coefvec_commuted(t_cctx* ctx, t_idcommon* a, int keepa, t_idcommon* b, int keepb)
{
    return veccoef<F>(ctx, b, keepb, a, keepa);
}

// Whole-vector equality, as a condition: the same size and every pair of elements equal (a NaN
// equals nothing).
int vec_eq(t_cctx* ctx, const t_idcommon* a, const t_idcommon* b)
{
    const t_vecnum* x = asvector(const_cast<t_idcommon*>(a));
    const t_vecnum* y = asvector(const_cast<t_idcommon*>(b));
    if (x->size() != y->size()) return 0;
    t_vecnum* ones = vecnum_cmp(ctx, x, y, VCMP_EQ);
    if (!ones) return -1;
    int all = 1;
    for (uint32_t i = 0; i < ones->size() && all; i++) all = vecnum_getdbl(ones, i) != 0;
    ones->Vdelete();
    return all;
}
int vec_ne(t_cctx* ctx, const t_idcommon* a, const t_idcommon* b)
{
    const int r = vec_eq(ctx, a, b);
    return r < 0 ? r : !r;
}

// atan2 element by element: vector with vector (same size, else 32), vector with number, number
// with vector. The result is a real vector of the first vector operand's type.
t_idcommon* vecatan2(t_cctx* ctx, t_idcommon* a, int keepa, t_idcommon* b, int keepb)
{
    const t_vecnum* va = vectorof(a);
    const t_vecnum* vb = vectorof(b);
    const t_vecnum* shape = va ? va : vb;
    t_vecnum* r = nullptr;
    if (va && vb && va->size() != vb->size()) {
        kst_runerror(ctx, 32);
    } else if (shape->Vvecnumiscplx()) {
        kst_runerror(ctx, 23);
    } else {
        r = shape->Vcreate(ctx, "", shape->size());
        const coef* ca = va ? nullptr : numberof(ctx, a);
        const coef* cb = vb ? nullptr : numberof(ctx, b);
        for (uint32_t i = 0; i < shape->size() && !Erreur_Execution; i++) {
            coef y = va ? va->data2coef(ctx, i) : copycoef(ca);
            coef x = vb ? vb->data2coef(ctx, i) : copycoef(cb);
            coef t{};
            if (kst_number_atan2(ctx, &y, &x, &t)) r->coef2data(ctx, i, &t);
            deletecoef(&t);
            deletecoef(&y);
            deletecoef(&x);
        }
        if (Erreur_Execution) {
            r->Vdelete();
            r = nullptr;
        }
    }
    if (r) r->setkeeptype(shape->keeptype());
    if (!keepa) a->Vdelete();
    if (!keepb) b->Vdelete();
    return r;
}

void registeroperations()
{
    const int V = IDTYPE_VECNUM, C = IDTYPE_CONSTANTE;
    kst_id_vtable_setbinop(IDOP_ADD, V, V, vecvec<vecnum_addition>);
    kst_id_vtable_setbinop(IDOP_SUB, V, V, vecvec<vecnum_soustraction>);
    kst_id_vtable_setbinop(IDOP_MUL, V, V, vecvec<vecnum_multiplication>);
    kst_id_vtable_setbinop(IDOP_DIV, V, V, vecvec<vecnum_division>);
    kst_id_vtable_setbinop(IDOP_POW, V, V, vecvec<vecnum_pow>);
    kst_id_vtable_setbinop(IDOP_ADD, V, C, veccoef<tabnum_addition_coef>);
    kst_id_vtable_setbinop(IDOP_SUB, V, C, veccoef<tabnum_soustraction_coef>);
    kst_id_vtable_setbinop(IDOP_MUL, V, C, veccoef<tabnum_multiplication_coef>);
    kst_id_vtable_setbinop(IDOP_DIV, V, C, veccoef<tabnum_division_coef>);
    kst_id_vtable_setbinop(IDOP_POW, V, C, veccoef<tabnum_pow_coef>);
    kst_id_vtable_setbinop(IDOP_ADD, C, V, coefvec_commuted<tabnum_addition_coef>);
    kst_id_vtable_setbinop(IDOP_MUL, C, V, coefvec_commuted<tabnum_multiplication_coef>);
    kst_id_vtable_setbinop(IDOP_SUB, C, V, coefvec<coef_soustraction_tabnum>);
    kst_id_vtable_setbinop(IDOP_DIV, C, V, coefvec<coef_division_tabnum>);
    kst_id_vtable_setbinop(IDOP_POW, C, V, coefvec<coef_pow_tabnum>);
    kst_id_vtable_setbinop(IDOP_ATAN2, V, V, vecatan2);
    kst_id_vtable_setbinop(IDOP_ATAN2, V, C, vecatan2);
    kst_id_vtable_setbinop(IDOP_ATAN2, C, V, vecatan2);
    kst_id_vtable_setcmpop(IDCMP_EQ, V, V, &vec_eq);
    kst_id_vtable_setcmpop(IDCMP_NE, V, V, &vec_ne);
}

// ---------------------------------------------------------------- statements and functions

int evaluate(t_cctx* ctx, int slot, treeabs* node, int first = 0) { return tree_eval_arguments(ctx, slot, node, first); }
void clean(t_cctx* ctx, int slot, int n) { tree_clean_arguments(ctx, slot, n); }

// vnumR x, y, ...; and vnumC z, ...: empty vectors of the numeric mode's type.
int declare(t_cctx* ctx, treeabs* node, bool complex)
{
    for (int i = 0; treeabs* a = tree_child(node, i); i++) {
        if (a->kind != TREE_SYMBOL) {
            kst_runerror(ctx, 53);
            return 0;
        }
        const char* name = tree_string(a, 0);
        kst_assign(ctx, name, complex ? vecnum_createcplx(ctx, name, 0) : vecnum_createreal(ctx, name, 0));
        if (tree_flags(ctx)) return 0;
    }
    return 0;
}
// vnumQ x, ...: quad vectors whatever the numeric mode.
t_idcommon* create_vnumQ(t_cctx* ctx, const char* name)
{
    t_vecnum* v = vecnum_create(ctx, VECNUM_QUAD, name, 0);
    v->setkeeptype(true);
    return v;
}

int h_vnumR(t_cctx* ctx, int, treeabs* node) { return declare(ctx, node, false); }
int h_vnumC(t_cctx* ctx, int, treeabs* node) { return declare(ctx, node, true); }

// min(v), max(v) of a real vector; min(a, b, ...) and max(a, b, ...) of numbers; min(s, x) and
// max(s, x), the lowest and highest degree of the series s in the variable x.
int extremum(t_cctx* ctx, int slot, treeabs* node, bool smallest)
{
    int n = evaluate(ctx, slot + 1, node);
    if (n < 0) return 0;
    const t_idcommon* first = n >= 1 ? tree_slot_value(ctx, slot + 1) : nullptr;
    long degree;
    auto* second = n == 2 ? const_cast<t_idcommon*>(tree_slot_value(ctx, slot + 2)) : nullptr;
    if (first && second &&
        kst_serie_degree(const_cast<t_idcommon*>(first)->Vgetvalue(), second->Vgetvalue(), smallest, &degree)) {
        tree_slot_setcoef(ctx, slot, coef_creenumlong_init(ctx, degree));
    } else if (n == 1 && vectorof(first)) {
        const t_vecnum* v = vectorof(first);
        coef r = smallest ? v->VMINTERME(ctx) : v->VMAXTERME(ctx);
        if (!tree_flags(ctx)) tree_slot_setcoef(ctx, slot, r);
        else deletecoef(&r);
    } else if (n >= 1) {
        const coef* best = nullptr;
        for (int i = 0; i < n; i++) {
            const coef* c = numberof(ctx, tree_slot_value(ctx, slot + 1 + i));
            if (!c) {
                kst_runerror(ctx, 40);
                break;
            }
            if (!best || (smallest ? coef_cmp_lt(c, best) : coef_cmp_gt(c, best)) == 1) best = c;
        }
        if (!tree_flags(ctx)) tree_slot_setcoef(ctx, slot, copycoef(best));
    } else {
        kst_runerror(ctx, 53);
    }
    clean(ctx, slot + 1, n);
    return 0;
}
int h_min(t_cctx* ctx, int slot, treeabs* node) { return extremum(ctx, slot, node, true); }
int h_max(t_cctx* ctx, int slot, treeabs* node) { return extremum(ctx, slot, node, false); }

// A function of one real vector: imin, imax, sort.
template <class F>
int ofvector(t_cctx* ctx, int slot, treeabs* node, F f)
{
    int n = evaluate(ctx, slot + 1, node);
    if (n < 0) return 0;
    const t_vecnum* v = n == 1 ? vectorof(tree_slot_value(ctx, slot + 1)) : nullptr;
    if (!v) kst_runerror(ctx, 53);
    else f(v);
    clean(ctx, slot + 1, n);
    return 0;
}
int h_imin(t_cctx* ctx, int slot, treeabs* node)
{
    return ofvector(ctx, slot, node, [&](const t_vecnum* v) {
        long k = v->Vimin(ctx);
        if (!tree_flags(ctx)) tree_slot_setcoef(ctx, slot, coef_creenumlong_init(ctx, k));
    });
}
int h_imax(t_cctx* ctx, int slot, treeabs* node)
{
    return ofvector(ctx, slot, node, [&](const t_vecnum* v) {
        long k = v->Vimax(ctx);
        if (!tree_flags(ctx)) tree_slot_setcoef(ctx, slot, coef_creenumlong_init(ctx, k));
    });
}
int h_sort(t_cctx* ctx, int slot, treeabs* node)
{
    return ofvector(ctx, slot, node, [&](const t_vecnum* v) {
        t_vecnum* s = v->Vsort(ctx);
        if (s && !tree_flags(ctx)) tree_slot_setobject(ctx, slot, s);
        else if (s) s->Vdelete();
    });
}

// histogram(v, n): counts in n equal bins between the smallest and the largest value.
int h_histogram(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evaluate(ctx, slot + 1, node);
    if (n < 0) return 0;
    const t_vecnum* v = n == 2 ? vectorof(tree_slot_value(ctx, slot + 1)) : nullptr;
    long bins = 0;
    if (!v || !tree_slot_integer(ctx, slot + 2, &bins)) {
        if (!tree_flags(ctx)) kst_runerror(ctx, 53);
    } else {
        coef lo = v->VMINTERME(ctx), hi = v->VMAXTERME(ctx);
        if (!tree_flags(ctx)) {
            double a = coef2dbl(&lo), b = coef2dbl(&hi);
            if (!(b > a)) b = a + 1;   // every value equal: one bin holds them all
            t_vecnum* h = v->Vhisto(ctx, bins < INT32_MAX ? static_cast<int>(bins) : 0, a, b);
            if (h && !tree_flags(ctx)) tree_slot_setobject(ctx, slot, h);
            else if (h) h->Vdelete();
        }
        deletecoef(&lo);
        deletecoef(&hi);
    }
    clean(ctx, slot + 1, n);
    return 0;
}

// integral(v[, h]): the trapezoidal rule over the samples of v, taken with the step h (default
// 1): h (v1/2 + v2 + ... + vn/2); zero for fewer than two samples.
int h_integral(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evaluate(ctx, slot + 1, node);
    if (n < 0) return 0;
    const t_vecnum* v = n == 1 || n == 2 ? vectorof(tree_slot_value(ctx, slot + 1)) : nullptr;
    const coef* step = n == 2 ? numberof(ctx, tree_slot_value(ctx, slot + 2)) : nullptr;
    if (!v || (n == 2 && !step)) {
        if (!tree_flags(ctx)) kst_runerror(ctx, n == 1 || n == 2 ? 23 : 53);
    } else {
        coef s{};
        if (v->size() >= 2) {
            s = v->Vsum(ctx, ESUM_KAHAN, 0);
            coef first = v->data2coef(ctx, 0), last = v->data2coef(ctx, v->size() - 1);
            coef ends = coef_addition(ctx, &first, 0, &last, 0);
            coef two = coef_creenumlong_init(ctx, 2);
            coef half = coef_division(ctx, &ends, 0, &two, 0);
            s = coef_soustraction(ctx, &s, 0, &half, 0);
            if (step) {
                coef h = copycoef(step);
                s = coef_multiplication(ctx, &s, 0, &h, 0);
            }
        }
        if (!tree_flags(ctx)) tree_slot_setcoef(ctx, slot, s);
        else deletecoef(&s);
    }
    clean(ctx, slot + 1, n);
    return 0;
}

// reversevnum(v): the elements in reverse order.
int h_reversevnum(t_cctx* ctx, int slot, treeabs* node)
{
    return ofvector(ctx, slot, node, [&](const t_vecnum* v) {
        t_vecnum* r = v->Vcreate(ctx, "", v->size());
        for (uint32_t i = 0; i < v->size(); i++) {
            coef c = v->data2coef(ctx, v->size() - 1 - i);
            r->coef2data(ctx, i, &c);
            deletecoef(&c);
        }
        tree_slot_setobject(ctx, slot, r);
    });
}

// accum(x): running sums of a vector, or of every vector of an array.
int h_accum(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evaluate(ctx, slot + 1, node);
    if (n < 0) return 0;
    const t_idcommon* x = n == 1 ? tree_slot_value(ctx, slot + 1) : nullptr;
    if (!x) {
        kst_runerror(ctx, 53);
    } else {
        t_idcommon* r = const_cast<t_idcommon*>(x)->Vgetvalue()->Vaccum(ctx, 0);
        if (r && !tree_flags(ctx)) tree_slot_setobject(ctx, slot, r);
        else if (r) r->Vdelete();
    }
    clean(ctx, slot + 1, n);
    return 0;
}

// select(v, c): the elements of v where the condition vector c is not zero.
int h_select(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evaluate(ctx, slot + 1, node);
    if (n < 0) return 0;
    const t_vecnum* v = n == 2 ? vectorof(tree_slot_value(ctx, slot + 1)) : nullptr;
    const t_vecnum* c = n == 2 ? vectorof(tree_slot_value(ctx, slot + 2)) : nullptr;
    if (!v || !c) {
        kst_runerror(ctx, 53);
    } else if (t_vecnum* r = v->Vselect(ctx, c)) {
        if (!tree_flags(ctx)) tree_slot_setobject(ctx, slot, r);
        else r->Vdelete();
    }
    clean(ctx, slot + 1, n);
    return 0;
}

// resize(v, n): the vector (or one-dimensional array) gets n elements, keeping the first values;
// new elements are zero (empty in an array).
int h_resize(t_cctx* ctx, int slot, treeabs* node)
{
    treeabs* target = tree_child(node, 0);
    if (tree_paracount(node) != 2 || !target || target->kind != TREE_SYMBOL) {
        kst_runerror(ctx, 53);
        return 0;
    }
    tree_int(ctx, slot + 1, tree_child(node, 1));
    long n = -1;
    bool ok = !tree_flags(ctx) && tree_slot_integer(ctx, slot + 1, &n);
    tree_run_cleanres(ctx, slot + 1);
    if (!ok) return 0;
    if (n < 0 || n > static_cast<long>(INT32_MAX)) {
        kst_runerror(ctx, 300, static_cast<int>(n < 0 ? n : INT32_MAX));
        return 0;
    }
    t_identry* e = recherche_id(ctx, tree_string(target, 0)).entry;
    t_idcommon* v = e && e->value ? e->value->Vgetvalue() : nullptr;
    if (!v) {
        kst_runerror(ctx, 38);
        return 0;
    }
    if (v->Vgettypeenum() != IDTYPE_VECNUM) {
        kst_runerror(ctx, 23);
        return 0;
    }
    auto* vec = static_cast<t_vecnum*>(v);
    if (static_cast<uint32_t>(n) > vec->size() && !vec->resizable_here()) {
        kst_runerror(ctx, 760, vec->getName());
        return 0;
    }
    if (static_cast<uint32_t>(n) >= vec->size()) {
        growto(vec, static_cast<uint32_t>(n));
        return 0;
    }
    t_vecnum* kept = vec->Vcreate(ctx, vec->getName(), static_cast<uint32_t>(n));
    for (uint32_t i = 0; i < static_cast<uint32_t>(n); i++) {
        coef c = vec->data2coef(ctx, i);
        kept->coef2data(ctx, i, &c);
        deletecoef(&c);
    }
    kst_assign(ctx, tree_string(target, 0), kept);
    return 0;
}

// The session's settings of the file statements: _endian and _read_history.
t_vecnum_fileopts fileoptions(t_cctx* ctx)
{
    t_vecnum_fileopts o;
    o.swapendian = kst_endianswapped(ctx);
    o.readhistory = ctx->readhistory.empty() ? nullptr : ctx->readhistory.c_str();
    return o;
}

// The range argument of the file statements: a:b[:c] (a single number n means n:n).
bool rangeargument(t_cctx* ctx, int slot, treeabs* node, tabnum_borne* out)
{
    long first = 0, last = 0, step = 1;
    if (node && node->kind == TREE_BORNETAB) {
        long* bounds[] = {&first, &last, &step};
        for (int k = 0; k < 3; k++) {
            treeabs* b = tree_child(node, k);
            if (!b) continue;
            tree_int(ctx, slot, b);
            bool ok = !tree_flags(ctx) && tree_slot_integer(ctx, slot, bounds[k]);
            tree_run_cleanres(ctx, slot);
            if (!ok) return false;
        }
    } else {
        tree_int(ctx, slot, node);
        bool ok = !tree_flags(ctx) && tree_slot_integer(ctx, slot, &first);
        tree_run_cleanres(ctx, slot);
        if (!ok) return false;
        last = first;
    }
    *out = tabnum_borne{static_cast<int32_t>(first), static_cast<int32_t>(last), static_cast<int32_t>(step)};
    return true;
}

bool stringargument(t_cctx* ctx, int slot, treeabs* node, std::string* out)
{
    tree_int(ctx, slot, node);
    bool ok = !tree_flags(ctx) && tree_slot_string(ctx, slot, out);
    tree_run_cleanres(ctx, slot);
    return ok;
}

// The file of a file statement: a file name, or (for the file_* forms) an open file object whose
// stream is used as it stands. The object stays in `slot` until the statement ends.
struct t_filearg {
    std::string name;
    FILE* stream = nullptr;
};

// The arguments every file statement starts with: the file, the range and, for the binary ones,
// the format. A session without file access refuses the file (290 writing, 301 reading).
bool fileheader(t_cctx* ctx, int slot, treeabs* node, bool binary, bool writing, bool object, t_filearg* file,
                tabnum_borne* range, std::string* format)
{
    if (tree_paracount(node) < 3) {
        kst_runerror(ctx, 53);
        return false;
    }
    if (object) {
        tree_int(ctx, slot, tree_child(node, 0));
        if (tree_flags(ctx)) return false;
        t_fileio* f = filerw_file(ctx, tree_slot_value(ctx, slot));
        file->stream = !f ? nullptr : writing ? f->writestream(ctx) : f->readstream(ctx);
        if (!file->stream) return false;
        file->name = f->filename();
    } else if (!stringargument(ctx, slot + 1, tree_child(node, 0), &file->name)) {
        return false;
    }
    if (!rangeargument(ctx, slot + 1, tree_child(node, 1), range)) return false;
    if (binary && !stringargument(ctx, slot + 1, tree_child(node, 2), format)) return false;
    if (!object && kst_issandbox()) {
        if (writing) kst_runerror(ctx, 290, file->name.c_str());
        else kst_runerror(ctx, 301, file->name.c_str(), strerror(EACCES));
        return false;
    }
    return true;
}

// write("file", range, v1, ... [, "format"]) and writebin("file", range, "format", v1, ...); the
// file_write and file_writebin forms write to an open file object instead of a file name.
int writefile(t_cctx* ctx, int slot, treeabs* node, bool binary, bool object)
{
    std::string format;
    t_filearg file;
    tabnum_borne range{};
    int n = -1;
    if (fileheader(ctx, slot + 1, node, binary, true, object, &file, &range, &format))
        n = evaluate(ctx, slot + 2, node, binary ? 3 : 2);
    if (n >= 0) {
        std::vector<const t_idcommon*> columns;
        bool hasformat = false;
        for (int i = 0; i < n; i++) {
            const t_idcommon* v = tree_slot_value(ctx, slot + 2 + i);
            if (v) v = const_cast<t_idcommon*>(v)->Vgetvalue();
            if (!binary && i == n - 1 && i > 0 && v && v->Vgettypeenum() == IDTYPE_CHAINE) {
                v->Vexport_str(ctx, format);
                hasformat = true;
            } else {
                columns.push_back(v);
            }
        }
        const char* name = file.name.c_str();
        if (binary) filenumbin_write(ctx, file.stream, name, range, columns, format.c_str(), fileoptions(ctx));
        else filenum_write(ctx, file.stream, name, range, columns, hasformat ? format.c_str() : nullptr);
        clean(ctx, slot + 2, n);
    }
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}
int h_write(t_cctx* ctx, int slot, treeabs* node) { return writefile(ctx, slot, node, false, false); }
int h_writebin(t_cctx* ctx, int slot, treeabs* node) { return writefile(ctx, slot, node, true, false); }
int h_file_write(t_cctx* ctx, int slot, treeabs* node) { return writefile(ctx, slot, node, false, true); }
int h_file_writebin(t_cctx* ctx, int slot, treeabs* node) { return writefile(ctx, slot, node, true, true); }

// The target vectors of a read: each an existing vector; a real one takes the next column, a
// complex one the next two.
bool readtargets(t_cctx* ctx, treeabs* node, int first, std::vector<t_vecnum_readaction>* actions)
{
    int column = 1;
    for (int i = first; treeabs* a = tree_child(node, i); i++) {
        if (a->kind != TREE_SYMBOL) {
            kst_runerror(ctx, 368);
            return false;
        }
        t_identry* e = recherche_id(ctx, tree_string(a, 0)).entry;
        t_idcommon* v = e && e->value ? e->value->Vgetvalue() : nullptr;
        if (!v) {
            kst_runerror(ctx, 367);
            return false;
        }
        if (v->Vgettypeenum() != IDTYPE_VECNUM) {
            kst_runerror(ctx, 368);
            return false;
        }
        auto* target = static_cast<t_vecnum*>(v);
        t_vecnum_readaction act{target, column++};
        if (target->Vvecnumiscplx()) act.colim = column++;
        actions->push_back(act);
    }
    return true;
}

// True when the argument is a string: written as one, or the name of a string identifier.
bool isstringargument(t_cctx* ctx, treeabs* a)
{
    if (!a) return false;
    if (a->kind == TREE_STRING) return true;
    if (a->kind != TREE_SYMBOL) return false;
    t_identry* e = recherche_id(ctx, tree_string(a, 0)).entry;
    t_idcommon* v = e && e->value ? e->value->Vgetvalue() : nullptr;
    return v && v->Vgettypeenum() == IDTYPE_CHAINE;
}

// read / readappend("file", range, [read format,] v1, ...) and readbin("file", range, "format",
// v1, ...); the file_read and file_readappend forms read the next lines of an open file object.
int readfile(t_cctx* ctx, int slot, treeabs* node, bool append, bool binary, bool object)
{
    std::string format;
    t_filearg file;
    tabnum_borne range{};
    std::vector<t_vecnum_readaction> actions;
    const bool formatted = !binary && isstringargument(ctx, tree_child(node, 2));
    if (fileheader(ctx, slot + 1, node, binary || formatted, false, object, &file, &range, &format) &&
        readtargets(ctx, node, binary || formatted ? 3 : 2, &actions)) {
        const char* name = file.name.c_str();
        if (binary) filenumbin_read(ctx, name, range, actions, format.c_str(), append, fileoptions(ctx));
        else filenum_readfmt(ctx, file.stream, name, range, actions, formatted ? format.c_str() : nullptr, append,
                             fileoptions(ctx));
    }
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}
int h_read(t_cctx* ctx, int slot, treeabs* node) { return readfile(ctx, slot, node, false, false, false); }
int h_readappend(t_cctx* ctx, int slot, treeabs* node) { return readfile(ctx, slot, node, true, false, false); }
int h_readbin(t_cctx* ctx, int slot, treeabs* node) { return readfile(ctx, slot, node, false, true, false); }
int h_file_read(t_cctx* ctx, int slot, treeabs* node) { return readfile(ctx, slot, node, false, false, true); }
int h_file_readappend(t_cctx* ctx, int slot, treeabs* node) { return readfile(ctx, slot, node, true, false, true); }

// ---------------------------------------------------------------- literal vectors

// The numbers of a:b[:c]: first, first + step, ... up to last (down to it for a negative step).
bool rangeitems(t_cctx* ctx, int slot, treeabs* range, std::vector<coef>* out)
{
    coef bound[3] = {coef{}, coef{}, coef_creenum_init(ctx, 1)};
    bool ok = true;
    for (int k = 0; k < 3 && ok; k++) {
        treeabs* b = tree_child(range, k);
        if (!b) continue;
        tree_int(ctx, slot, b);
        coef* c = tree_flags(ctx) ? nullptr : numberof(ctx, tree_slot_value(ctx, slot));
        if (c && !coef_vt(c).isreal(c)) c = nullptr;
        if (c) {
            deletecoef(&bound[k]);
            bound[k] = copycoef(c);
        } else if (!tree_flags(ctx)) {
            kst_runerror(ctx, 40);
        }
        ok = c != nullptr;
        tree_run_cleanres(ctx, slot);
    }
    coef zero{};
    if (ok && coef_cmp_egal(&bound[2], &zero)) {
        kst_runerror(ctx, 390, 0);
        ok = false;
    }
    const bool up = ok && coef_cmp_gt(&bound[2], &zero) == 1;
    // Each element is first + k*step, so that a fractional step does not drift.
    for (long k = 0; ok && !tree_flags(ctx); k++) {
        coef n = coef_creenumlong_init(ctx, k);
        coef kstep = coef_multiplication(ctx, &n, 0, &bound[2], 1);
        coef x = coef_addition(ctx, &bound[0], 1, &kstep, 0);
        if ((up ? coef_cmp_le(&x, &bound[1]) : coef_cmp_ge(&x, &bound[1])) != 1) {
            deletecoef(&x);
            break;
        }
        if (out->size() >= UINT32_MAX) {
            deletecoef(&x);
            kst_runerror(ctx, 566);
            ok = false;
            break;
        }
        out->push_back(x);
    }
    for (coef& c : bound) deletecoef(&c);
    return ok && !tree_flags(ctx);
}

// [a, b, ...]: numbers, ranges a:b[:c] and the elements of vectors, in order, in a vector of the
// numeric mode's type (complex when one of them is).
int h_vector(t_cctx* ctx, int slot, treeabs* node)
{
    std::vector<coef> items;
    bool ok = true;
    for (int i = 0; treeabs* a = tree_child(node, i); i++) {
        if (a->kind == TREE_BORNETAB) {
            ok = rangeitems(ctx, slot + 1, a, &items);
        } else if (a->kind == TREE_ELLIPSIS) {
            kst_runerror(ctx, 214);
            ok = false;
        } else {
            tree_int(ctx, slot + 1, a);
            const t_idcommon* v = tree_flags(ctx) ? nullptr : tree_slot_value(ctx, slot + 1);
            if (v) v = const_cast<t_idcommon*>(v)->Vgetvalue();
            if (const coef* c = numberof(ctx, v)) {
                items.push_back(copycoef(c));
            } else if (const t_vecnum* w = vectorof(v)) {
                for (uint32_t k = 0; k < w->size(); k++) items.push_back(w->data2coef(ctx, k));
            } else if (!tree_flags(ctx)) {
                kst_runerror(ctx, 40);
            }
            ok = !tree_flags(ctx);
            tree_run_cleanres(ctx, slot + 1);
        }
        if (!ok) break;
    }
    if (ok) {
        bool complex = false;
        for (coef& c : items) complex = complex || !coef_vt(&c).isreal(&c);
        t_vecnum* v = complex ? vecnum_createcplx(ctx, "", static_cast<uint32_t>(items.size()))
                              : vecnum_createreal(ctx, "", static_cast<uint32_t>(items.size()));
        for (uint32_t k = 0; k < items.size(); k++) v->coef2data(ctx, k, &items[k]);
        tree_slot_setobject(ctx, slot, v);
    }
    for (coef& c : items) deletecoef(&c);
    return 0;
}

// A range a:b[:c] used as a value is the vector of its numbers, as [a:b[:c]] is.
int h_range(t_cctx* ctx, int slot, treeabs* node)
{
    std::vector<coef> items;
    if (rangeitems(ctx, slot + 1, node, &items)) {
        t_vecnum* v = vecnum_createreal(ctx, "", static_cast<uint32_t>(items.size()));
        for (uint32_t k = 0; k < items.size(); k++) v->coef2data(ctx, k, &items[k]);
        tree_slot_setobject(ctx, slot, v);
    }
    for (coef& c : items) deletecoef(&c);
    return 0;
}

} // namespace

// The language's part of the vector room, registered at start-up with the vector tables.
void kst_vecnum_registerlanguage()
{
    registeroperations();
    kst_declaretype_builtin("vnumQ", create_vnumQ);
    static const struct { const char* keyword; t_treehandler h; } table[] = {
        {"vnumR", h_vnumR},   {"vnumC", h_vnumC},         {"min", h_min},         {"max", h_max},
        {"imin", h_imin},     {"imax", h_imax},           {"sort", h_sort},       {"write", h_write},
        {"writebin", h_writebin}, {"read", h_read},       {"readappend", h_readappend},
        {"readbin", h_readbin}, {"histogram", h_histogram}, {"reversevnum", h_reversevnum},
        {"resize", h_resize}, {"file_write", h_file_write}, {"file_writebin", h_file_writebin},
        {"file_read", h_file_read}, {"file_readappend", h_file_readappend}, {"accum", h_accum},
        {"select", h_select}, {"integral", h_integral},
    };
    for (const auto& e : table) kst_tree_setkeywordhandler(e.keyword, e.h);
    kst_tree_sethandler(TREE_VECTOR, h_vector);
    kst_tree_sethandler(TREE_BORNETAB, h_range);
}
