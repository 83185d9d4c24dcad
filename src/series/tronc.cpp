// Truncation groups, their working form and the truncated product.
#include "series/tronc.h"

#include "coef/modenum.h"
#include "series/kernels/mul.h"
#include "series/polynome.h"
#include "series/variable.h"

#include <algorithm>
#include <climits>

// ---------------------------------------------------------------- printing

namespace {
void aff_groups(FILE* f, const char* name, const t_tronc& list)
{
    if (name && *name) fprintf(f, "\n%s = ", name);
    fputs("(", f);
    bool firstgroup = true;
    for (const troncature& g : list.groups) {
        if (!firstgroup) fputs(", ", f);
        fputs(" { ", f);
        bool several = g.variables.size() > 1;
        if (several) fputs("(", f);
        for (size_t i = 0; i < g.variables.size(); i++) {
            if (i) fputs(",", f);
            const char* n = g.variables[i]->getName();
            fputs(*n ? n : "VAMP", f);
        }
        if (several) fputs(")", f);
        fprintf(f, ", %d }", g.level);
        firstgroup = false;
    }
    fputs(" )\n\n", f);
}
} // namespace

void aff_tronc(FILE* stream, const char* name, const t_tronc& list) { aff_groups(stream, name, list); }

void aff_trmon(FILE* stream, const char* name, const t_tronc& list)
{
    if (name && *name) fprintf(stream, "\n%s = ", name);
    fputs("(", stream);
    bool first = true;
    for (const troncature& g : list.groups)
        for (const t_variable* v : g.variables) {
            if (!first) fputs(", ", stream);
            fprintf(stream, " { %s,", v->getName());
            fprintf(stream, " %d }", g.level);
            first = false;
        }
    fputs(" )\n\n", stream);
}

void t_tronc::Vdisplay_resume(t_cctx*, FILE* stream) const { aff_tronc(stream, getName(), *this); }

bool t_tronc::Vdependon(const t_idcommon* other) const
{
    if (!other || other->Vgettypeenum() != IDTYPE_VARIABLE) return false;
    for (const troncature& g : groups)
        for (const t_variable* v : g.variables)
            if (v == other) return true;
    return false;
}

// ---------------------------------------------------------------- working form

t_tronc::~t_tronc() { delete m_work.load(std::memory_order_acquire); }

const t_troncwork& t_tronc::work() const
{
    if (const t_troncwork* w = m_work.load(std::memory_order_acquire)) return *w;
    auto* w = new t_troncwork;
    w->init(*this);
    const t_troncwork* expected = nullptr;
    if (!m_work.compare_exchange_strong(expected, w, std::memory_order_acq_rel)) {
        delete w;   // another thread published the same form first
        return *expected;
    }
    return *w;
}

void t_troncwork::init(const t_tronc& list)
{
    size_t nvars = 0, occurrences = 0;
    for (const troncature& g : list.groups)
        for (const t_variable* v : g.variables) {
            nvars = std::max<size_t>(nvars, v->index + 1);
            occurrences++;
        }
    flags.assign(nvars, -1);
    levels.clear();
    positions.clear();
    const size_t ngroups = list.groups.size();
    bool shared = false;
    for (size_t g = 0; g < ngroups && !shared; g++)
        for (const t_variable* v : list.groups[g].variables)
            for (size_t h = g + 1; h < ngroups && !shared; h++) {
                const auto& later = list.groups[h].variables;
                if (std::find(later.begin(), later.end(), v) != later.end()) shared = true;
            }
    complexity = shared ? etronccomplex_complex : (ngroups >= 2 ? etronccomplex_nodep : etronccomplex_single);
    for (const troncature& g : list.groups) levels.push_back(g.level);
    switch (complexity) {
    case etronccomplex_single:
        for (const t_variable* v : list.groups[0].variables) flags[v->index] = 0;
        break;
    case etronccomplex_nodep:
        for (size_t g = 0; g < ngroups; g++)
            for (const t_variable* v : list.groups[g].variables) flags[v->index] = static_cast<int>(g);
        break;
    case etronccomplex_complex: {
        positions.assign(2 * occurrences, 0);
        size_t p = 0;
        for (size_t g = 0; g < ngroups; g++)
            for (const t_variable* v : list.groups[g].variables) {
                if (flags[v->index] != -1) continue;
                size_t q = p + 1;
                positions[q++] = static_cast<int>(g);
                for (size_t h = g + 1; h < ngroups; h++) {
                    const auto& later = list.groups[h].variables;
                    if (std::find(later.begin(), later.end(), v) != later.end()) positions[q++] = static_cast<int>(h);
                }
                positions[p] = static_cast<int>(q - p - 1);
                flags[v->index] = static_cast<int>(p);
                p = q;
            }
        break;
    }
    default: kst_iceerror(1017, "t_troncwork::init", complexity);
    }
}

int t_troncwork::flag(const t_variable* v) const
{
    return v->index < flags.size() ? flags[v->index] : -1;
}

int t_troncwork::getnivh(const t_variable* v) const
{
    int f = flag(v);
    if (f < 0) return INT32_MAX;
    if (complexity == etronccomplex_single) return levels[0];
    if (complexity == etronccomplex_nodep) return levels[f];
    int m = INT32_MAX;
    for (int k = 1; k <= positions[f]; k++) m = std::min(m, levels[positions[f + k]]);
    return m;
}

int t_troncworkstack::remaining(const t_variable* v) const
{
    int f = work->flag(v);
    if (f < 0) return INT32_MAX;
    if (work->complexity == etronccomplex_single) return levels[0];
    if (work->complexity == etronccomplex_nodep) return levels[f];
    int m = INT32_MAX;
    for (int k = 1; k <= work->positions[f]; k++) m = std::min(m, levels[work->positions[f + k]]);
    return m;
}

void t_troncworkstack::update(const t_variable* v, int delta)
{
    int f = work->flag(v);
    if (f < 0) return;
    if (work->complexity == etronccomplex_single) levels[0] += delta;
    else if (work->complexity == etronccomplex_nodep) levels[f] += delta;
    else
        for (int k = 1; k <= work->positions[f]; k++) levels[work->positions[f + k]] += delta;
}

// ---------------------------------------------------------------- truncated product

namespace {
void fmatr(t_cctx* ctx, coef* acc, const coef* a, const coef* b, t_troncworkstack& st);
bool alldbl(const t_polynode* n)
{
    for (const t_polyterm* t = n->first; t; t = t->next)
        if (t->c.type != BH_DBL) return false;
    return true;
}
} // namespace

void serie_fmatr(t_cctx* ctx, coef* acc, const coef* a, const coef* b, t_troncworkstack& st)
{
    fmatr(ctx, acc, a, b, st);
}

namespace {

void fmatr(t_cctx* ctx, coef* acc, const coef* a, const coef* b, t_troncworkstack& st)
{
    bool pa = coef_ispoly(a), pb = coef_ispoly(b);
    if (!pa && !pb) {
        serie_fma(ctx, acc, a, b);
        return;
    }
    int cmp = !pa ? 1 : (!pb ? -1 : compareOrder(ctx, coef_poly(a)->var, coef_poly(b)->var));
    if (cmp > 0) std::swap(a, b);
    const t_polynode* an = coef_poly(a);
    t_variable* v = an->var;
    const int nivh = st.remaining(v);
    const bool tr = nivh != INT32_MAX;
    coef* node = poly_placein(ctx, acc, v);
    if (cmp != 0) {
        t_polyterm* hint = nullptr;
        for (const t_polyterm* ta = an->first; ta; ta = ta->next) {
            if (tr && ta->deg > nivh) break;
            t_polyterm* r = polynome_resize(node, ta->deg, hint);
            if (tr) st.update(v, -ta->deg);
            fmatr(ctx, &r->c, &ta->c, b, st);
            if (tr) st.update(v, ta->deg);
            hint = r;
        }
        return;
    }
    const t_polynode* bn = coef_poly(b);
    const int32_t b0 = bn->first ? bn->first->deg : 0;
    t_polyterm* rowstart = nullptr;
    if (alldbl(an) && alldbl(bn)) {
        // Double leaves: nothing below consults the levels, the leaf arithmetic of serie_fma
        // runs inline (same operations, same order).
        for (const t_polyterm* ta = an->first; ta; ta = ta->next) {
            if (tr && ta->deg + b0 > nivh) break;
            t_polyterm* hint = rowstart;
            t_polyterm* first = nullptr;
            const double x = ta->c.d;
            for (const t_polyterm* tb = bn->first; tb; tb = tb->next) {
                int32_t d = ta->deg + tb->deg;
                if (tr && d > nivh) break;
                t_polyterm* r = (hint && hint->deg == d) ? hint : polynome_resize(node, d, hint);
                coef* c = &r->c;
                if (!fma_dblleaf(c, x, tb->c.d)) {
                    if (tr) st.update(v, -d);
                    fmatr(ctx, c, &ta->c, &tb->c, st);
                    if (tr) st.update(v, d);
                }
                if (!first) first = r;
                hint = r;
            }
            if (first) rowstart = first;
        }
        return;
    }
    for (const t_polyterm* ta = an->first; ta; ta = ta->next) {
        if (tr && ta->deg + b0 > nivh) break;
        if (kst_kctx(ctx).stoprequested()) break;
        t_polyterm* hint = rowstart;
        t_polyterm* first = nullptr;
        for (const t_polyterm* tb = bn->first; tb; tb = tb->next) {
            int32_t d = ta->deg + tb->deg;
            if (tr && d > nivh) break;
            t_polyterm* r = (hint && hint->deg == d) ? hint : polynome_resize(node, d, hint);
            if (tr) st.update(v, -d);
            fmatr(ctx, &r->c, &ta->c, &tb->c, st);
            if (tr) st.update(v, d);
            if (!first) first = r;
            hint = r;
        }
        if (first) rowstart = first;
    }
}

coef truncatecopy(t_cctx* ctx, const coef* c, t_troncworkstack& st)
{
    if (!coef_ispoly(c)) return copycoef(c);
    const t_polynode* n = coef_poly(c);
    const int nivh = st.remaining(n->var);
    const bool tr = nivh != INT32_MAX;
    coef r = poly_newnode(n->var);
    t_polyterm* hint = nullptr;
    for (const t_polyterm* t = n->first; t; t = t->next) {
        if (tr && t->deg > nivh) break;
        t_polyterm* nt = polynome_resize(&r, t->deg, hint);
        if (tr) st.update(n->var, -t->deg);
        nt->c = truncatecopy(ctx, &t->c, st);
        if (tr) st.update(n->var, t->deg);
        hint = nt;
    }
    supzero_poly(&r);
    return r;
}

coef extract(t_cctx* ctx, const coef* c, t_variable* v, int32_t d)
{
    if (!coef_ispoly(c)) return d == 0 ? copycoef(c) : coef{};
    const t_polynode* n = coef_poly(c);
    if (n->var == v) {
        for (const t_polyterm* t = n->first; t; t = t->next)
            if (t->deg == d) return poly_monomial(v, copycoef(&t->c), d);
        return coef{};
    }
    if (compareOrder(ctx, n->var, v) > 0) return d == 0 ? copycoef(c) : coef{};
    coef r = poly_newnode(n->var);
    t_polyterm* hint = nullptr;
    for (const t_polyterm* t = n->first; t; t = t->next) {
        coef e = extract(ctx, &t->c, v, d);
        if (e.type == BH_ZERO) continue;
        t_polyterm* nt = polynome_resize(&r, t->deg, hint);
        nt->c = e;
        hint = nt;
    }
    polynome_supzero(&r, true);
    return r;
}

} // namespace

coef serie_truncate(t_cctx* ctx, const coef* c, const t_troncwork* w)
{
    t_troncworkstack st(w);
    coef r = truncatecopy(ctx, c, st);
    polynome_supzero(&r, true);
    return r;
}

coef serie_multr(t_cctx* ctx, coef* a, int ka, coef* b, int kb, const t_troncwork* w, eBHTypeCoef* leaftag)
{
    if (!w) return serie_mul(ctx, a, ka, b, kb, leaftag);
    coef r{};
    if (leaftag) *leaftag = BH_ZERO;
    t_troncworkstack top(w);
    if (kst_kernel_mul(ctx, a, b, &top, &r, leaftag)) {
    } else if (serie_mul_parallel(ctx, &r, a, b, w)) {
        polynome_supzero(&r, true);
    } else if (a->type != BH_ZERO && b->type != BH_ZERO) {
        t_troncworkstack st(w);
        fmatr(ctx, &r, a, b, st);
        polynome_supzero(&r, true);
    }
    if (!ka) deletecoef(a);
    if (!kb) deletecoef(b);
    return r;
}

coef serie_powtr(t_cctx* ctx, coef* a, int ka, unsigned long n, const t_troncwork* w, eBHTypeCoef* leaftag)
{
    coef base = ka ? copycoef(a) : *a;
    if (!ka) a->type = BH_ZERO;
    coef r = coef_creenum_init(ctx, 1);
    if (leaftag) *leaftag = BH_ZERO;
    while (n) {
        if (n & 1) r = serie_multr(ctx, &r, 0, &base, 1, w, leaftag);
        n >>= 1;
        if (n) base = serie_multr(ctx, &base, 0, &base, 1, w);
    }
    deletecoef(&base);
    return r;
}

coef serie_trmon(t_cctx* ctx, coef* c, int kc, const t_tronc& list)
{
    coef r = kc ? copycoef(c) : *c;
    if (!kc) c->type = BH_ZERO;
    for (const troncature& g : list.groups)
        for (t_variable* v : g.variables) {
            coef e = extract(ctx, &r, v, g.level);
            deletecoef(&r);
            r = e;
        }
    return r;
}
