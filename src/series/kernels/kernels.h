// What the product kernels share: operands flattened into arrays of exponents and machine
// numbers, the truncation as per-group levels, and the number rings the loops are written over.
#pragma once
#include <cstdint>
#include <type_traits>
#include <vector>

#include <gmp.h>

#include "coef/coef.h"
#include "interp/roomapi.h"
#include "series/polynome.h"

struct t_variable;

namespace kern {

// The kind of number every leaf of both operands is, and so the kind of every result leaf.
enum e_leaf { LEAF_DBL, LEAF_INTMP, LEAF_RAT };

// One operand as arrays: n terms, exponents row by row (nv per term, variables in rank order).
struct t_flat {
    size_t n = 0;
    std::vector<int32_t> e;
    std::vector<int64_t> ci;   // integer leaves
    std::vector<double> cd;    // double leaves
    std::vector<int32_t> lo, hi;   // per variable: lowest and highest exponent
    double sumabs = 0, maxabs = 0;
};

// One product: the variables (rank order), both operands, and the truncation restricted to the
// groups that name one of the variables, each with its remaining level.
struct t_product {
    t_cctx* ctx = nullptr;
    std::vector<t_variable*> vars;
    int nv = 0;
    e_leaf leaf = LEAF_DBL;
    t_flat A, B;
    int ngroups = 0;
    std::vector<int32_t> level;      // per group
    std::vector<uint32_t> groupsof;  // per variable: bit g set when the variable is in group g
    // per variable: the span of the result's exponents, and the shift of its lowest one
    std::vector<int64_t> range;
    std::vector<int32_t> offset;
    bool square = false;             // both operands are one tree: B holds only A's bounds
    const t_flat& b() const { return square ? A : B; }   // the second operand's terms
    bool truncated() const { return ngroups > 0; }
};

// ---------------------------------------------------------------- number rings

// Each ring: the operand number in_t, the accumulator acc_t, r += a*b, and the leaf coef of an
// accumulator (which it leaves at zero for the next use). No dispatch per term.
struct t_ring_dbl {
    using in_t = double;
    using acc_t = double;
    static void fma(acc_t& r, in_t a, in_t b) { r += a * b; }
    static bool nonzero(const acc_t& r) { return r != 0.0; }
    static coef take(acc_t& r, e_leaf)
    {
        coef c = coef_fromdbl(r);
        r = 0.0;
        return c;
    }
};

coef kern_intcoef(__int128 v, e_leaf leaf);
coef kern_int3coef(unsigned __int128 lo, int64_t hi);

// Exact integers of one word summed in an accumulator of type ACC: one word while the sums stay
// below 2^62 (half the cache of the wider one and a plain multiply-add), 128 bits below 2^127
// (the dispatcher checks the bound first).
template <class ACC>
struct t_ring_word {
    using in_t = int64_t;
    using acc_t = ACC;
    static void fma(acc_t& r, in_t a, in_t b) { r += static_cast<acc_t>(a) * b; }
    static bool nonzero(const acc_t& r) { return r != 0; }
    static coef take(acc_t& r, e_leaf leaf)
    {
        coef c = kern_intcoef(r, leaf);
        r = 0;
        return c;
    }
};
using t_ring_i1 = t_ring_word<int64_t>;
using t_ring_i2 = t_ring_word<__int128>;

// Exact integers whose sums need up to 191 bits: a 128-bit low part and a signed high word.
struct t_acc3 {
    unsigned __int128 lo;
    int64_t hi;
};
struct t_ring_i3 {
    using in_t = int64_t;
    using acc_t = t_acc3;
    static void fma(acc_t& r, in_t a, in_t b)
    {
        const __int128 p = static_cast<__int128>(a) * b;
        const unsigned __int128 u = static_cast<unsigned __int128>(p);
        const unsigned __int128 s = r.lo + u;
        r.hi += (p < 0 ? -1 : 0) + (s < u ? 1 : 0);
        r.lo = s;
    }
    static bool nonzero(const acc_t& r) { return r.lo != 0 || r.hi != 0; }
    static coef take(acc_t& r, e_leaf)
    {
        coef c = kern_int3coef(r.lo, r.hi);
        r = t_acc3{0, 0};
        return c;
    }
};

template <class R>
const typename R::in_t* coefs_of(const t_flat& f);
template <>
inline const double* coefs_of<t_ring_dbl>(const t_flat& f) { return f.cd.data(); }
template <>
inline const int64_t* coefs_of<t_ring_i1>(const t_flat& f) { return f.ci.data(); }
template <>
inline const int64_t* coefs_of<t_ring_i2>(const t_flat& f) { return f.ci.data(); }
template <>
inline const int64_t* coefs_of<t_ring_i3>(const t_flat& f) { return f.ci.data(); }

template <class in_t>
const in_t* coefs_of_in(const t_flat& f)
{
    if constexpr (std::is_same_v<in_t, double>) return f.cd.data();
    else return f.ci.data();
}

// ---------------------------------------------------------------- result trees

// The tree of items sorted by key (a Kronecker index over the variables [k, kend) with the
// given strides and spans), each item's coefficient being a nonzero coef over the variables
// after kend. The coefficients are moved into the tree. With `terms`, the items come instead as
// terms of the last variable (their degree set, their coefficient nonzero), linked as they are.
coef kern_buildkeys(const t_product& p, int k, int kend, const uint64_t* keys, coef* cs, size_t first, size_t last,
                    const uint64_t* stride, t_polyterm* const* terms = nullptr);

// A node made term by term in ascending degree; finish() gives it normalised (no node when no
// term came, the coefficient itself when the only term has degree 0). Terms are never zero.
struct t_nodebuilder {
    coef node{};
    t_polyterm** link = nullptr;
    void add(t_variable* v, int32_t deg, coef c)
    {
        t_polyterm* t = polyterm_alloc();
        t->c = c;
        t->deg = deg;
        linkterm(v, t);
    }
    // A term made elsewhere, of a degree above the last one's.
    void linkterm(t_variable* v, t_polyterm* t)
    {
        if (node.type == BH_ZERO) {
            node = poly_newnode(v);
            link = &coef_poly(&node)->first;
        }
        t->next = nullptr;
        *link = t;
        link = &t->next;
    }
    coef finish()
    {
        if (node.type == BH_ZERO) return node;
        t_polyterm* f = coef_poly(&node)->first;
        if (f->next || f->deg != 0) return node;
        coef inner = f->c;
        f->c = coef{};
        poly_delete(&node);
        return inner;
    }
};

// ---------------------------------------------------------------- algorithms

// Each computes the whole product of p into a normalised tree; false when it cannot run on p
// (then nothing is made).
bool kern_mul_dense(t_product& p, int ring, coef* out);
bool kern_mul_array(t_product& p, int ring, int K, coef* out);
bool kern_mul_johnson(t_product& p, int ring, int K, coef* out);

enum { RING_DBL, RING_I1, RING_I2, RING_I3 };

} // namespace kern
