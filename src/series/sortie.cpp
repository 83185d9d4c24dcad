// Printed forms of a series: the factorised (nested) form and the distributed form, one term
// per monomial, through the context's renderer.
#include "coef/coefaff.h"
#include "series/polynome.h"
#include "series/serie.h"
#include "series/seriesroom.h"
#include "series/variable.h"
#include "render/render.h"

#include <vector>

namespace {

struct t_factor {
    const t_variable* var;
    int32_t deg;
};

// A real leaf below zero prints as a sign and its absolute value; complex leaves print whole.
bool leafnegative(const coef* c)
{
    const coefvtable& v = coef_vt(c);
    return v.isreal(c) && coef2dbl(c) < 0;
}

// The number without its sign (the sign token is printed before it).
void printabs(t_cctx* ctx, t_render* r, const coef* c, bool neg)
{
    if (!neg) {
        coef_aff(ctx, r, c, kst_affc(ctx));
        return;
    }
    coef a = coef_neg(ctx, const_cast<coef*>(c), 1);
    coef_aff(ctx, r, &a, kst_affc(ctx));
    deletecoef(&a);
}

bool leafisunit(const coef* c)
{
    const coefvtable& v = coef_vt(c);
    return v.cmp_egal_1(c) || v.cmp_egal_neg1(c);
}

// Sign token, then the number unless it is +-1 before a monomial; true when the number printed.
bool printleadnumber(t_cctx* ctx, t_render* r, const coef* c, bool first, bool monomialfollows)
{
    bool neg = leafnegative(c);
    if (neg) r->Vespacesigne_moins();
    else if (first) r->Vespacesigne_phantom();
    else r->Vespacesigne_plus();
    if (monomialfollows && leafisunit(c)) return false;
    printabs(ctx, r, c, neg);
    return true;
}

void printmonomial(t_render* r, const std::vector<t_factor>& mono, bool numberprinted)
{
    bool firstfactor = true;
    for (const t_factor& f : mono) {
        if (numberprinted) {
            r->Vsigne_mul();
        } else {
            if (!firstfactor) r->Vsigne_mul();
            r->Vrender_unsafe(" ");
        }
        r->Vvar1n(f.var->getName(), f.deg);
        firstfactor = false;
    }
}

void sortie_dist(t_cctx* ctx, t_render* r, const coef* c, std::vector<t_factor>& mono, bool* first, bool lines)
{
    if (!coef_ispoly(c)) {
        if (c->type == BH_ZERO) return;
        if (lines) r->Vtabular_line_begin(t_render::left);
        bool printed = printleadnumber(ctx, r, c, *first, !mono.empty());
        printmonomial(r, mono, printed);
        if (lines) r->Vtabular_line_end();
        *first = false;
        return;
    }
    const t_polynode* n = coef_poly(c);
    for (const t_polyterm* t = n->first; t; t = t->next) {
        if (t->deg != 0) mono.push_back({n->var, t->deg});
        sortie_dist(ctx, r, &t->c, mono, first, lines);
        if (t->deg != 0) mono.pop_back();
    }
}

// Factorised printer of one coefficient: returns true when it printed something (so that a
// following variable needs "*").
bool aff_fact(t_cctx* ctx, t_render* r, const coef* c, bool first, bool deg0, bool toplevel)
{
    if (!coef_ispoly(c)) {
        if (!deg0 && leafisunit(c)) {
            if (leafnegative(c)) r->Vespacesigne_moins();
            else if (!first) r->Vespacesigne_plus();
            else if (toplevel) r->Vespacesigne_phantom();
            return false;
        }
        bool neg = leafnegative(c);
        if (neg) r->Vespacesigne_moins();
        else if (!first) r->Vespacesigne_plus();
        else if (toplevel) r->Vespacesigne_phantom();
        printabs(ctx, r, c, neg);
        return true;
    }
    const t_polynode* n = coef_poly(c);
    bool parens = n->first && n->first->next && !toplevel;
    if (parens) {
        if (!first) r->Vespacesigne_plus();
        r->Vmathparenthese_begin();
    }
    bool firstitem = parens ? true : first;
    for (const t_polyterm* t = n->first; t; t = t->next) {
        bool printed = aff_fact(ctx, r, &t->c, firstitem, t->deg == 0, toplevel && !parens && firstitem && t == n->first);
        if (t->deg != 0) {
            if (printed) r->Vsigne_mul();
            else r->Vrender_unsafe(" ");
            r->Vvar1n(n->var->getName(), t->deg);
        }
        firstitem = false;
    }
    if (parens) r->Vmathparenthese_end();
    return true;
}

} // namespace

void affiche(t_cctx* ctx, t_render* r, const coef* c)
{
    long form = kst_affdist(ctx);
    if (!coef_ispoly(c)) {
        coef_aff(ctx, r, c, kst_affc(ctx));
        r->writenewline();
        return;
    }
    r->writenewline();
    if (form == 0) {
        aff_fact(ctx, r, c, true, true, true);
        r->writenewline();
        return;
    }
    std::vector<t_factor> mono;
    bool first = true;
    bool lines = form != 1;   // the tabular forms lay one term per line
    sortie_dist(ctx, r, c, mono, &first, lines);
    if (!lines) r->writenewline();
}
