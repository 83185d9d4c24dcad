// ell_to_xyz(E, mu, X, V) and xyz_to_ell(X, V, mu, E): the orbital element conversions as
// statements that assign their result arrays to the names given last.
#include "numeric/orbelem.h"
#include "numeric/tableau.h"

#include "interp/error.h"
#include "interp/roomapi.h"
#include "interp/ids.h"
#include "interp/treeint.h"

namespace {

// The targets are plain names, checked before anything is evaluated so that a misspelt call
// costs nothing.
bool targetnames(t_cctx* ctx, treeabs* node, int first, int count, const char** names)
{
    for (int i = 0; i < count; i++) {
        treeabs* a = tree_child(node, first + i);
        if (!a || a->kind != TREE_SYMBOL) {
            kst_runerror(ctx, 52);
            return false;
        }
        names[i] = tree_string(a, 0);
    }
    return true;
}

// The value of an evaluated argument, through a name's binding.
t_idcommon* argument(t_cctx* ctx, int slot)
{
    const t_idcommon* v = tree_slot_value(ctx, slot);
    return v ? const_cast<t_idcommon*>(v)->Vgetvalue() : nullptr;
}

const t_tableau* arrayargument(t_cctx* ctx, int slot)
{
    t_idcommon* v = argument(ctx, slot);
    if (v && v->Vgettypeenum() == IDTYPE_TABLEAU) return static_cast<const t_tableau*>(v);
    kst_runerror(ctx, 350);
    return nullptr;
}

// mu: a real number.
const coef* muargument(t_cctx* ctx, int slot)
{
    t_idcommon* v = argument(ctx, slot);
    if (v && v->Vgettypeenum() == IDTYPE_CONSTANTE) {
        const coef& c = kst_constantevalue(ctx, v);
        if (c.type == BH_ZERO || coef_vt(&c).isreal(&c)) return &c;
    }
    kst_runerror(ctx, 40);
    return nullptr;
}

// Neither conversion exists outside double and quadruple precision: said as the user's error
// here, before the drivers, for which another working type is a bug.
bool workingtype(t_cctx* ctx)
{
    const int flag = vecnum_flagreal_of_mode(kst_kctx(ctx).num.modenum);
    if (flag == VECNUM_DBL || flag == VECNUM_QUAD) return true;
    kst_runerror(ctx, 350);
    return false;
}

int h_ell_to_xyz(t_cctx* ctx, int slot, treeabs* node)
{
    const char* names[2];
    if (tree_paracount(node) != 4) {
        kst_runerror(ctx, 53);
        return 0;
    }
    if (!targetnames(ctx, node, 2, 2, names) || !workingtype(ctx)) return 0;
    tree_int(ctx, slot + 1, tree_child(node, 0));
    if (!tree_flags(ctx)) tree_int(ctx, slot + 2, tree_child(node, 1));
    t_tableau* X = nullptr;
    t_tableau* V = nullptr;
    if (!tree_flags(ctx)) {
        const t_tableau* E = arrayargument(ctx, slot + 1);
        const coef* mu = E ? muargument(ctx, slot + 2) : nullptr;
        if (mu) tabnum_ellipx(ctx, E, mu, &X, &V);
    }
    tree_run_cleanres(ctx, slot + 1);
    tree_run_cleanres(ctx, slot + 2);
    if (X && V && !tree_flags(ctx)) {
        kst_assign(ctx, names[0], X);
        kst_assign(ctx, names[1], V);
    } else {
        if (X) X->Vdelete();
        if (V) V->Vdelete();
    }
    return 0;
}

int h_xyz_to_ell(t_cctx* ctx, int slot, treeabs* node)
{
    const char* name;
    if (tree_paracount(node) != 4) {
        kst_runerror(ctx, 53);
        return 0;
    }
    if (!targetnames(ctx, node, 3, 1, &name) || !workingtype(ctx)) return 0;
    for (int i = 0; i < 3 && !tree_flags(ctx); i++) tree_int(ctx, slot + 1 + i, tree_child(node, i));
    t_tableau* E = nullptr;
    if (!tree_flags(ctx)) {
        const t_tableau* X = arrayargument(ctx, slot + 1);
        const t_tableau* V = X ? arrayargument(ctx, slot + 2) : nullptr;
        const coef* mu = V ? muargument(ctx, slot + 3) : nullptr;
        if (mu) tabnum_xyzkhqp(ctx, X, V, mu, &E);
    }
    for (int i = 1; i <= 3; i++) tree_run_cleanres(ctx, slot + i);
    if (E && !tree_flags(ctx)) kst_assign(ctx, name, E);
    else if (E) E->Vdelete();
    return 0;
}

} // namespace

void kst_orbelem_registerlanguage()
{
    kst_tree_setkeywordhandler("ell_to_xyz", h_ell_to_xyz);
    kst_tree_setkeywordhandler("xyz_to_ell", h_xyz_to_ell);
}
