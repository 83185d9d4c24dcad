// Arrays in the language: the dim declaration, subscripts, the matrix functions det, eigenvalues
// and eigenvectors, and the matrix product written A . B.
#include "numeric/linalg.h"
#include "numeric/tableau.h"
#include "numeric/vecnumtyped.h"

#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/ids.h"
#include "interp/treeint.h"

#include <climits>
#include <vector>

namespace {

// Whole-number subscripts, or false (error 574 naming the first one that is not).
bool integers(t_cctx* ctx, const std::vector<t_subscript>& s, std::vector<int>* out)
{
    for (size_t k = 0; k < s.size(); k++) {
        if (s[k].kind != t_subscript::value || !s[k].v->Visinteger()) return false;
        long v = s[k].v->Vgetlonginteger();
        if (v < INT_MIN || v > INT_MAX) {
            kst_runerror(ctx, 574, static_cast<int>(k + 1));
            return false;
        }
        out->push_back(static_cast<int>(v));
    }
    return true;
}

// Ranges in the array's own subscripts: a number i selects i:i; "..." ends the list.
bool ranges(t_cctx* ctx, const t_tableau* t, const std::vector<t_subscript>& s, list_tabnum_borne* out, bool* ellipsis)
{
    *ellipsis = false;
    for (size_t k = 0; k < s.size(); k++) {
        const t_subscript& x = s[k];
        if (x.kind == t_subscript::ellipsis) {
            if (k + 1 != s.size()) {
                kst_runerror(ctx, 35);
                return false;
            }
            *ellipsis = true;
        } else if (x.kind == t_subscript::range) {
            int last = static_cast<int>(x.last);
            if (last == -1 && t->dim(static_cast<int>(k + 1))) last = t->Vsup(static_cast<int>(k + 1));
            out->push_back(tabnum_borne{static_cast<int32_t>(x.first), last, static_cast<int32_t>(x.step)});
        } else if (x.v->Visinteger()) {
            int32_t i = static_cast<int32_t>(x.v->Vgetlonginteger());
            out->push_back(tabnum_borne{i, i, 1});
        } else {
            kst_runerror(ctx, 574, static_cast<int>(k + 1));
            return false;
        }
    }
    return true;
}

const t_vecnum* indexvector(const std::vector<t_subscript>& s)
{
    if (s.size() != 1 || s[0].kind != t_subscript::value || s[0].v->Vgettypeenum() != IDTYPE_VECNUM) return nullptr;
    return static_cast<const t_vecnum*>(s[0].v);
}

} // namespace

t_idcommon* t_tableau::Vextract(t_cctx* ctx, const std::vector<t_subscript>& s) const
{
    std::vector<int> subscripts;
    if (integers(ctx, s, &subscripts)) return Vextract(ctx, subscripts.data(), static_cast<int>(subscripts.size()));
    if (tree_flags(ctx)) return nullptr;
    if (const t_vecnum* indices = indexvector(s)) {
        // The listed elements of a one-dimensional array, as a new array [1..n].
        if (m_ndim != 1) {
            kst_runerror(ctx, 539, m_ndim);
            return nullptr;
        }
        if (!indices->Vcheck_indices(ctx, tabnum_borne{Vinf(1), Vsup(1), dim(1)->step})) return nullptr;
        auto* out = new t_tableau(static_cast<int>(indices->size()));
        for (uint32_t k = 0; k < indices->size(); k++) {
            int i = static_cast<int>(vecnum_getdbl(indices, k));
            long p = position(ctx, &i, 1);
            if (p >= 0 && elt(p).getData()) out->init_elt_tab_idc(static_cast<long>(k), elt(p).getData()->Vcopy());
        }
        return out;
    }
    list_tabnum_borne r;
    bool ellipsis = false;
    if (!ranges(ctx, this, s, &r, &ellipsis)) return nullptr;
    return tableau_extract(ctx, r, ellipsis);
}

bool t_tableau::Vassign(t_cctx* ctx, const std::vector<t_subscript>& s, t_idcommon* owned)
{
    std::vector<int> subscripts;
    if (integers(ctx, s, &subscripts))
        return affect_elttab_valeur_wcheck(ctx, subscripts.data(), static_cast<int>(subscripts.size()), owned, 0);
    if (tree_flags(ctx)) {
        owned->Vdelete();
        return false;
    }
    if (const t_vecnum* indices = indexvector(s)) return assign_vnumindice(ctx, indices, owned, 0);
    list_tabnum_borne r;
    bool ellipsis = false;
    if (!ranges(ctx, this, s, &r, &ellipsis)) {
        owned->Vdelete();
        return false;
    }
    return affect_tabelts(ctx, r, ellipsis, owned, 0);
}

#define KST_TABLEAU_UNARY(op)                                                                      \
    t_idcommon* t_tableau::op(t_cctx* ctx, int opflag)                                             \
    {                                                                                              \
        return applyall_elt_id(                                                                    \
            ctx,                                                                                   \
            [opflag](t_cctx* c, t_idcommon* v, int keep) {                                         \
                t_idcommon* r = v->op(c, opflag);                                                  \
                if (!keep) v->Vdelete();                                                           \
                return r;                                                                          \
            },                                                                                     \
            false);                                                                                \
    }
KST_ID_UNARY_OPS(KST_TABLEAU_UNARY)
#undef KST_TABLEAU_UNARY

t_idcommon* t_tableau::Velement(t_cctx* ctx, const std::vector<t_subscript>& s)
{
    std::vector<int> subscripts;
    if (!integers(ctx, s, &subscripts)) {
        if (!tree_flags(ctx)) kst_runerror(ctx, 620);
        return nullptr;
    }
    long p = position(ctx, subscripts.data(), static_cast<int>(subscripts.size()));
    return p < 0 ? nullptr : elt(p).getData();
}

namespace {

// dim T[a:b, c:d:e, ...], U[n], ...: arrays whose elements start empty (a single bound n means 1:n).
int h_dim(t_cctx* ctx, int slot, treeabs* node)
{
    for (int i = 0; treeabs* decl = tree_child(node, i); i++) {
        treeabs* name = decl->kind == TREE_INDEX ? tree_child(decl, 0) : nullptr;
        if (!name || name->kind != TREE_SYMBOL) {
            kst_runerror(ctx, 53);
            return 0;
        }
        std::vector<t_subscript> s;
        bool ok = tree_eval_subscripts(ctx, slot + 1, tree_child(decl, 1), &s);
        std::vector<int> bounds;
        for (const t_subscript& x : s) {
            if (!ok) break;
            if (x.kind == t_subscript::range) {
                bounds.insert(bounds.end(), {static_cast<int>(x.first), static_cast<int>(x.last), static_cast<int>(x.step)});
            } else if (x.kind == t_subscript::value && x.v->Visinteger()) {
                bounds.insert(bounds.end(), {1, static_cast<int>(x.v->Vgetlonginteger()), 1});
            } else {
                kst_runerror(ctx, 35);
                ok = false;
            }
        }
        tree_clean_subscripts(ctx, slot + 1, s);
        if (!ok || bounds.empty()) {
            if (!tree_flags(ctx)) kst_runerror(ctx, 35);
            return 0;
        }
        list_dim_tab* dims = nullptr;
        for (size_t k = bounds.size(); k >= 3; k -= 3) {
            list_dim_tab* d = cree_dim_tab(bounds[k - 3], bounds[k - 2], bounds[k - 1], dims);
            if (!d) {   // reported (35)
                delete_dim_tab(dims);
                return 0;
            }
            dims = d;
        }
        const char* id = tree_string(name, 0);
        kst_assign(ctx, id, new t_tableau(id, IDTYPE_TABLEAU, static_cast<int>(bounds.size() / 3), dims));
        if (tree_flags(ctx)) return 0;
    }
    return 0;
}

// A function of one matrix.
template <class F>
int ofmatrix(t_cctx* ctx, int slot, treeabs* node, F f)
{
    if (tree_paracount(node) != 1) {
        kst_runerror(ctx, 53);
        return 0;
    }
    tree_int(ctx, slot + 1, tree_child(node, 0));
    const t_idcommon* v = tree_flags(ctx) ? nullptr : tree_slot_value(ctx, slot + 1);
    if (v) v = const_cast<t_idcommon*>(v)->Vgetvalue();
    if (v && v->Vgettypeenum() == IDTYPE_TABLEAU) {
        t_idcommon* r = f(static_cast<const t_tableau*>(v));
        if (r && !tree_flags(ctx)) tree_slot_setobject(ctx, slot, r);
        else if (r) r->Vdelete();
    } else if (v) {
        kst_runerror(ctx, 23);
    }
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}

int h_det(t_cctx* ctx, int slot, treeabs* node)
{
    return ofmatrix(ctx, slot, node, [&](const t_tableau* t) { return matrix_det(ctx, t); });
}
int h_eigenvalues(t_cctx* ctx, int slot, treeabs* node)
{
    return ofmatrix(ctx, slot, node, [&](const t_tableau* t) -> t_idcommon* { return matrix_eigenvalues(ctx, t); });
}
int h_eigenvectors(t_cctx* ctx, int slot, treeabs* node)
{
    return ofmatrix(ctx, slot, node, [&](const t_tableau* t) -> t_idcommon* { return matrix_eigenvector(ctx, t); });
}

int h_vnumtodim(t_cctx* ctx, int slot, treeabs* node)
{
    return ofmatrix(ctx, slot, node, [&](const t_tableau* t) -> t_idcommon* { return vnum2dimn(ctx, t); });
}
int h_dimtovnumR(t_cctx* ctx, int slot, treeabs* node)
{
    return ofmatrix(ctx, slot, node, [&](const t_tableau* t) -> t_idcommon* { return dim2vnumR(ctx, t); });
}
int h_transposevnum(t_cctx* ctx, int slot, treeabs* node)
{
    return ofmatrix(ctx, slot, node, [&](const t_tableau* t) -> t_idcommon* { return transposevnum(ctx, t); });
}
int h_dimtovnumC(t_cctx* ctx, int slot, treeabs* node)
{
    return ofmatrix(ctx, slot, node, [&](const t_tableau* t) -> t_idcommon* { return dim2vnumC(ctx, t); });
}

// A . B: the matrix product of two arrays.
int h_dotmul(t_cctx* ctx, int slot, treeabs* node)
{
    tree_int(ctx, slot + 1, tree_child(node, 0));
    if (!tree_flags(ctx)) tree_int(ctx, slot + 2, tree_child(node, 1));
    const t_idcommon* a = tree_flags(ctx) ? nullptr : tree_slot_value(ctx, slot + 1);
    const t_idcommon* b = tree_flags(ctx) ? nullptr : tree_slot_value(ctx, slot + 2);
    if (a && b) {
        a = const_cast<t_idcommon*>(a)->Vgetvalue();
        b = const_cast<t_idcommon*>(b)->Vgetvalue();
        if (a->Vgettypeenum() == IDTYPE_TABLEAU && b->Vgettypeenum() == IDTYPE_TABLEAU) {
            t_tableau* r = matrix_multiplication(ctx, const_cast<t_tableau*>(static_cast<const t_tableau*>(a)), 1,
                                                 const_cast<t_tableau*>(static_cast<const t_tableau*>(b)), 1);
            if (r && !tree_flags(ctx)) tree_slot_setobject(ctx, slot, r);
            else if (r) r->Vdelete();
        } else {
            kst_runerror(ctx, 23);
        }
    }
    tree_run_cleanres(ctx, slot + 1);
    tree_run_cleanres(ctx, slot + 2);
    return 0;
}

} // namespace

void kst_tableau_registerlanguage()
{
    kst_tree_setkeywordhandler("dim", h_dim);
    kst_tree_setkeywordhandler("det", h_det);
    kst_tree_setkeywordhandler("eigenvalues", h_eigenvalues);
    kst_tree_setkeywordhandler("eigenvectors", h_eigenvectors);
    kst_tree_setkeywordhandler("vnumtodim", h_vnumtodim);
    kst_tree_setkeywordhandler("dimtovnumR", h_dimtovnumR);
    kst_tree_setkeywordhandler("dimtovnumC", h_dimtovnumC);
    kst_tree_setkeywordhandler("transposevnum", h_transposevnum);
    kst_tree_sethandler(TREE_DOTMUL, h_dotmul);
}
