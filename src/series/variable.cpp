// Variables and orderings. The room keeps every variable alive for the session (series point at
// them) and publishes each new set of orderings as a fresh immutable copy, so a task that
// copied the context keeps reading the set it started with.
#include "series/variable.h"

#include "coef/modenum.h"
#include "series/polynome.h"
#include "series/serie.h"
#include "series/seriesroom.h"
#include "render/render.h"

#include <climits>
#include <cstdio>
#include <utility>

namespace {
std::vector<t_variable*> s_variables;   // owned, freed at exit
std::vector<t_ordres*> s_versions;      // every published set, freed at exit
const t_ordres s_empty;
} // namespace

t_variable::~t_variable()
{
    deletecoef(&monomial);
    if (auto* dep = kind == VARKIND_ANGULAR ? static_cast<t_vardep*>(dependence) : nullptr) {
        deletecoef(&dep->factor);
        deletecoef(&dep->phase);
        delete dep;
    }
}

const t_ordres& kst_ordres(const t_cctx* ctx)
{
    const t_ordres* o = kst_kctx(ctx).orders;
    return o ? *o : s_empty;
}

int getOrder(const t_cctx* ctx, const t_variable* v)
{
    return kst_ordres(ctx).rank[kst_ior(ctx)][v->index];
}

bool ordre_reorder(std::vector<int>& rank, uint32_t index, int& pos, bool homogeneous, int h, bool force)
{
    const int n = static_cast<int>(rank.size());
    const int r = rank[index];
    if (pos == KST_REORDER_END) pos = homogeneous ? n : n - h;
    if (!force && (r > n - h || pos > n - h)) return false;
    if (pos < 1 || pos > n) return false;
    for (int& x : rank) {
        if (&x == &rank[index]) continue;
        if (r < pos && x > r && x <= pos) x--;
        else if (pos < r && x >= pos && x < r) x++;
    }
    rank[index] = pos;
    if (pos < n) pos++;
    return true;
}

bool kst_setleafvariable(t_cctx* ctx, const t_variable* v, int role)
{
    const t_ordres& cur = kst_ordres(ctx);
    if (role < 1 || role > 2 || cur.role[v->index] != 0) return false;
    auto* o = new t_ordres(cur);
    for (auto& r : o->rank) {
        int pos = static_cast<int>(r.size());
        ordre_reorder(r, v->index, pos, true, o->nhomog, true);
    }
    o->role[v->index] = role;
    o->nhomog++;
    s_versions.push_back(o);
    kst_kctx(ctx).orders = o;
    return true;
}

bool kst_reorder(t_cctx* ctx, const t_variable* v, int& pos, int e, bool force)
{
    auto* o = new t_ordres(kst_ordres(ctx));
    if (!ordre_reorder(o->rank[e], v->index, pos, o->role[v->index] == 1, o->nhomog, force)) {
        delete o;
        return false;
    }
    s_versions.push_back(o);
    kst_kctx(ctx).orders = o;
    return true;
}

t_variable* cree_var(t_cctx* ctx, const char* name)
{
    auto* v = new t_variable(name);
    auto* o = new t_ordres(kst_ordres(ctx));
    int n = o->count() + 1;
    v->index = static_cast<uint32_t>(n - 1);
    for (auto& r : o->rank) r.push_back(n);
    o->role.push_back(0);
    o->trflag.push_back(-1);
    // The homogeneous variables keep the last ranks: the new one goes just before them.
    if (o->nhomog > 0 && n > 1) {
        for (auto& r : o->rank) {
            int pos = n - o->nhomog;
            ordre_reorder(r, v->index, pos, false, o->nhomog, true);
        }
    }
    s_versions.push_back(o);
    s_variables.push_back(v);
    kst_kctx(ctx).orders = o;
    coef one = coef_creenum_init(ctx, 1);
    v->monomial = poly_monomial(v, one, 1);
    return v;
}

void kst_variables_reset(t_cctx* ctx) { kst_kctx(ctx).orders = nullptr; }

void kst_variables_release()
{
    for (t_variable* v : s_variables) delete v;
    for (t_ordres* o : s_versions) delete o;
    s_variables.clear();
    s_versions.clear();
}

const coef& kst_variable_monomial(t_cctx* ctx, t_variable* v)
{
    coef* one = &coef_poly(&v->monomial)->first->c;
    coef fresh = coef_creenum_init(ctx, 1);
    if (fresh.type != one->type) std::swap(*one, fresh);
    deletecoef(&fresh);
    return v->monomial;
}

t_idcommon* t_variable::Vcopy() const
{
    t_cctx* ctx = kst_localcctx();
    return new t_serie("", poly_copy(&kst_variable_monomial(ctx, const_cast<t_variable*>(this))));
}

void t_variable::Vdisplay_resume(t_cctx* ctx, FILE* stream) const
{
    t_render* r = display_begin(ctx, stream);
    affiche(ctx, r, &monomial);
}


t_idcommon* t_variable::Vneg(t_cctx* ctx, int)
{
    return kst_serie_wrap(ctx, serie_neg(ctx, const_cast<coef*>(&kst_variable_monomial(ctx, this)), 1));
}

t_variable* varang_create(t_cctx* ctx, t_variable* angle, const coef& a, const coef& phase,
                          bool (*taken)(t_cctx*, const char*), int32_t firstcounter)
{
    int32_t k = firstcounter;
    char name[512];
    for (;; k++) {
        if (k >= INT32_MAX) {
            kst_runerror(ctx, 115);
            return nullptr;
        }
        snprintf(name, sizeof name, "_EX%s%d", angle->getName(), k);
        if (!taken || !taken(ctx, name)) break;
    }
    t_variable* e = cree_var(ctx, name);
    e->kind = VARKIND_ANGULAR;
    auto* dep = new t_vardep{angle, copycoef(&a), copycoef(&phase)};
    e->dependence = dep;
    angle->dependents.push_back(e);
    return e;
}

t_variable* varang_get1(const t_variable* angle)
{
    for (t_variable* e : angle->dependents) {
        const auto* d = static_cast<const t_vardep*>(e->dependence);
        if (d && d->angle == angle && d->phase.type == BH_ZERO && d->factor.type != BH_ZERO &&
            !coef_ispoly(&d->factor) && coef_vt(&d->factor).cmp_egal_1(&d->factor))
            return e;
    }
    return nullptr;
}
