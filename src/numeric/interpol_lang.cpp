// interpol(method, x, y, t [, n]) in the language: the method is one of the words LINEAR,
// QUADRATIC, SPLINE, HERMITE; n, the Hermite order, is given for HERMITE only.
#include "numeric/interpol.h"
#include "numeric/vecnum.h"

#include <cstring>

#include "interp/error.h"
#include "interp/keywords.h"
#include "interp/roomapi.h"
#include "interp/treeint.h"

namespace {

// The method word, or 0 when the first argument is none of the four.
int methodof(const treeabs* arg)
{
    if (!arg || arg->kind != TREE_KEYWORDVALUE) return 0;
    const char* word = kst_keywordtable()[tree_paraint(arg, 0)].text;
    static const struct { const char* word; t_einterpol method; } s_methods[] = {
        {"LINEAR", INTERPOL_LINEAR},
        {"QUADRATIC", INTERPOL_QUADRATIC},
        {"SPLINE", INTERPOL_SPLINE},
        {"HERMITE", INTERPOL_HERMITE},
    };
    for (const auto& e : s_methods)
        if (strcmp(word, e.word) == 0) return e.method;
    return 0;
}

// A real numeric vector argument, or null after error 52 (not a vector) or 23 (complex).
const t_vecnum* realvector(t_cctx* ctx, int slot)
{
    const t_idcommon* v = tree_slot_value(ctx, slot);
    if (v) v = const_cast<t_idcommon*>(v)->Vgetvalue();
    if (!v || v->Vgettypeenum() != IDTYPE_VECNUM) {
        kst_runerror(ctx, 52);
        return nullptr;
    }
    const auto* w = static_cast<const t_vecnum*>(v);
    if (w->Vvecnumiscplx()) {
        kst_runerror(ctx, 23);
        return nullptr;
    }
    return w;
}

int h_interpol(t_cctx* ctx, int slot, treeabs* node)
{
    const int method = methodof(tree_child(node, 0));
    const int count = tree_paracount(node);
    if (!method) {
        kst_runerror(ctx, 52);
        return 0;
    }
    if (count != (method == INTERPOL_HERMITE ? 5 : 4)) {
        kst_runerror(ctx, 53);
        return 0;
    }
    const int n = tree_eval_arguments(ctx, slot + 1, node, 1);
    if (n < 0) return 0;
    const t_vecnum* x = realvector(ctx, slot + 1);
    const t_vecnum* y = x ? realvector(ctx, slot + 2) : nullptr;
    const t_vecnum* t = y ? realvector(ctx, slot + 3) : nullptr;
    long order = 0;
    if (t && (method != INTERPOL_HERMITE || tree_slot_integer(ctx, slot + 4, &order))) {
        t_vecnum* r = interpol(ctx, static_cast<t_einterpol>(method), x, y, t, order);
        if (r && !tree_flags(ctx)) tree_slot_setobject(ctx, slot, r);
        else if (r) r->Vdelete();
    }
    tree_clean_arguments(ctx, slot + 1, n);
    return 0;
}

} // namespace

void kst_interpol_registerlanguage() { kst_tree_setkeywordhandler("interpol", h_interpol); }
