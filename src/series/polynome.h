// Sparse polynomial nodes (coef tag 1, POLYNOME): a node in one variable holding terms of
// ascending signed degree whose coefficients are coefs in variables of larger rank.
#pragma once
#include <cstdint>

#include "coef/coef.h"
#include "interp/roomapi.h"

struct t_variable;
struct t_troncworkstack;

struct t_polyterm {
    t_polyterm* next;
    coef c;
    int32_t deg;
};
struct t_polynode {
    t_variable* var;
    t_polyterm* first;
};

inline bool coef_ispoly(const coef* c) { return c->type == BH_POLYNOME; }
inline t_polynode* coef_poly(const coef* c) { return static_cast<t_polynode*>(c->p); }

// Terms and nodes come from per-thread pools: a product allocates no memory per term.
t_polyterm* polyterm_alloc();
void polyterm_free(t_polyterm* t);
// Chunks the pools have taken from malloc since start (memory that never goes back).
long polypool_chunks();
coef poly_newnode(t_variable* v);                    // an empty node (not normalised)
coef poly_monomial(t_variable* v, coef owned, int32_t deg);

// The term of degree `deg` of the node, inserted with a zero coefficient at its ordered place if
// missing; the search starts at `hint` (a term of the node of degree below `deg`) when given.
t_polyterm* polynome_resize(coef* node, int32_t deg, t_polyterm* hint);
// The place in `acc` where terms in v go: inside the degree-0 terms of the nodes of smaller
// rank, as a node in v (made when missing, the old content becoming its degree-0 term).
coef* poly_placein(t_cctx* ctx, coef* acc, t_variable* v);
// Removes zero terms; an empty node becomes 0; a node whose only term has degree 0 becomes that
// term's coefficient. With `recursive`, coefficients are normalised first.
void supzero_poly(coef* c);
void polynome_supzero(coef* c, bool recursive);

coef poly_copy(const coef* c);
void poly_delete(coef* c);

// Series arithmetic on any coefs (numbers or nodes), with keep flags; results normalised.
coef serie_add(t_cctx* ctx, coef* a, int ka, coef* b, int kb);
coef serie_sub(t_cctx* ctx, coef* a, int ka, coef* b, int kb);
coef serie_neg(t_cctx* ctx, coef* a, int ka);
// `leaftag`, when given, receives the tag of every leaf of the result when a kernel made the whole
// of it (BH_ZERO otherwise).
coef serie_mul(t_cctx* ctx, coef* a, int ka, coef* b, int kb, eBHTypeCoef* leaftag = nullptr);
coef serie_pow(t_cctx* ctx, coef* a, int ka, unsigned long n);
// Every numeric leaf divided by the number b.
coef serie_divnum(t_cctx* ctx, coef* a, int ka, const coef* b);
// acc += a*b (acc owned; a and b kept); acc is left unnormalised, for a caller that accumulates
// many products and normalises once.
void serie_fma(t_cctx* ctx, coef* acc, const coef* a, const coef* b);
// acc += b (acc owned), unnormalised.
void serie_accadd(t_cctx* ctx, coef* acc, coef* b, int kb);

// The largest |degree| sum along a path of the tree (bounds the degrees a product can reach).
int64_t serie_maxabsdeg(const coef* c);
// Number of numeric leaves (terms of the distributed form).
long serie_size(const coef* c);
// Highest and lowest degree in v over the whole series (0 for a series without v).
int32_t serie_degmax(const coef* c, const t_variable* v);
int32_t serie_degmin(const coef* c, const t_variable* v);
// True when c holds no zero term, no empty node, no node whose only term has degree 0, and
// every coefficient of a node is in variables of larger rank (ascending degrees too).
bool serie_isnormal(const t_cctx* ctx, const coef* c);
// Exact equality of two normalised series (leaf by leaf through the coef comparison).
bool serie_equal(const coef* a, const coef* b);

// The dispatch cells of tag 1 (installed by the series room).
void kst_polynome_install();

// r += x*y when r is a double or zero: the leaf arithmetic of serie_fma for two doubles, inline
// for the innermost loops of double products (same operations, same order). False when r holds
// another kind, which the caller hands to the general entry.
inline bool fma_dblleaf(coef* r, double x, double y)
{
    if (r->type == BH_DBL) {
        const double v = r->d + x * y;
        if (v == 0.0) r->type = BH_ZERO;
        else r->d = v;
        return true;
    }
    if (r->type == BH_ZERO) {
        const double v = x * y;
        if (v != 0.0) *r = coef_fromdbl(v);
        return true;
    }
    return false;
}
