// Numeric vectors: the base class, creation by flag and by numeric mode, type conversion, the
// parallel block helper, reductions, ordering, histograms and index vectors.
#include "numeric/vecnumtyped.h"
#include "numeric/vecnumsum.h"

#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <mutex>
#include <numeric>

#include "coef/modenum.h"
#include "interp/error.h"
#include "interp/roomapi.h"
#include "interp/taskloop.h"

t_vecnum::t_vecnum(int flag, const char* name, uint32_t size) : t_idcommon(name, flag), m_size(size) {}
t_vecnum::t_vecnum(const char* name, int flag) : t_idcommon(name, flag) {}

long vecnum_ctxprec(t_cctx* ctx) { return kst_mpfr_prec(ctx); }

// ---------------------------------------------------------------- flags and creation

bool vecnum_isfloatflag(int flag)
{
    switch (flag) {
    case VECNUM_DBL: case VECNUM_ZDBL: case VECNUM_QUAD: case VECNUM_ZQUAD: case VECNUM_FPMP: case VECNUM_ZFPMP:
        return true;
    default: return false;
    }
}

bool vecnum_isflag(int flag)
{
    switch (flag) {
    case VECNUM_INTDBL: case VECNUM_INTMP: case VECNUM_RATMP: case VECNUM_ZINTMP: case VECNUM_ZRATMP:
    case VECNUM_INTMODSMALL:
        return true;
    default: return vecnum_isfloatflag(flag);
    }
}

bool vecnum_hascplx(int flag) { return vecnum_isflag(flag) && flag != VECNUM_INTDBL && flag != VECNUM_INTMODSMALL; }

int vecnum_flagcplx(int flag)
{
    switch (flag) {
    case VECNUM_DBL: case VECNUM_ZDBL: return VECNUM_ZDBL;
    case VECNUM_QUAD: case VECNUM_ZQUAD: return VECNUM_ZQUAD;
    case VECNUM_FPMP: case VECNUM_ZFPMP: return VECNUM_ZFPMP;
    case VECNUM_INTMP: case VECNUM_ZINTMP: return VECNUM_ZINTMP;
    case VECNUM_RATMP: case VECNUM_ZRATMP: return VECNUM_ZRATMP;
    default: kst_iceerror(1012, "vecnum_flagcplx", flag);
    }
}

// Intervals and residues are their own real type.
int vecnum_flagreal(int flag)
{
    switch (flag) {
    case VECNUM_DBL: case VECNUM_ZDBL: return VECNUM_DBL;
    case VECNUM_QUAD: case VECNUM_ZQUAD: return VECNUM_QUAD;
    case VECNUM_FPMP: case VECNUM_ZFPMP: return VECNUM_FPMP;
    case VECNUM_INTMP: case VECNUM_ZINTMP: return VECNUM_INTMP;
    case VECNUM_RATMP: case VECNUM_ZRATMP: return VECNUM_RATMP;
    case VECNUM_INTDBL: return VECNUM_INTDBL;
    case VECNUM_INTMODSMALL: return VECNUM_INTMODSMALL;
    default: kst_iceerror(1012, "vecnum_flagreal", flag);
    }
}

static int flag_of_tag(eBHTypeCoef tag)
{
    switch (tag) {
    case BH_DBL: return VECNUM_DBL;
    case BH_ZDBL: return VECNUM_ZDBL;
    case BH_QUAD: return VECNUM_QUAD;
    case BH_ZQUAD: return VECNUM_ZQUAD;
    case BH_FPMP: return VECNUM_FPMP;
    case BH_ZFPMP: return VECNUM_ZFPMP;
    case BH_INTDBL: return VECNUM_INTDBL;
    case BH_INTMP: return VECNUM_INTMP;
    case BH_RATMP: return VECNUM_RATMP;
    case BH_ZINTMP: return VECNUM_ZINTMP;
    case BH_ZRATMP: return VECNUM_ZRATMP;
    default: kst_iceerror(1012, "flag_of_tag", (int)tag);
    }
}

// The vector types of the numeric modes: the quad modes get quad vectors, NUMFPMP MPFR ones,
// every other mode (the rational, interval and modular ones too) double vectors.
int vecnum_flagreal_of_mode(int mode)
{
    switch (mode) {
    case NUMQUAD: case NUMQUADINT: return VECNUM_QUAD;
    case NUMFPMP: return VECNUM_FPMP;
    case NUMDBL: case NUMRAT: case NUMRATMP: case NUMDBLINT: case NUMINTMOD: return VECNUM_DBL;
    default: kst_iceerror(1042, "vecnum_flagreal_of_mode", mode);
    }
}
int vecnum_flagcplx_of_mode(int mode) { return vecnum_flagcplx(vecnum_flagreal_of_mode(mode)); }

t_vecnum* vecnum_create(t_cctx* ctx, int flag, const char* name, uint32_t n)
{
    if (flag < 0 || flag >= KST_VECNUM_NFLAGS) kst_iceerror(1012, "vecnum_create", flag);
    return g_kst_vecnum_vtable[flag].new_vecnum(ctx, name ? name : "", n);
}

t_vecnum* vecnum_createreal(t_cctx* ctx, const char* name, uint32_t n)
{
    return vecnum_create(ctx, flag_of_tag(modenum_gettabnumreel(ctx)), name, n);
}
t_vecnum* vecnum_createcplx(t_cctx* ctx, const char* name, uint32_t n)
{
    return vecnum_create(ctx, flag_of_tag(modenum_gettabnumcompl(ctx)), name, n);
}

t_vecnum* vecnum_convertcopy(t_cctx* ctx, const t_vecnum* v, int flag, const char* name)
{
    if (flag == v->vecflag()) {
        t_vecnum* r = static_cast<t_vecnum*>(v->Vcopy());
        r->Vupdatename(name);
        return r;
    }
    t_vecnum* r = vecnum_create(ctx, flag, name, v->size());
    // Same precision, real to complex or back: part by part, without rounding through a coef.
    bool done = false;
    vecnum_visit(v, [&](auto* src) {
        using S = typename std::remove_cv_t<std::remove_pointer_t<decltype(src)>>::ops;
        vecnum_visit(r, [&](auto* dst) {
            using D = typename std::remove_pointer_t<decltype(dst)>::ops;
            if constexpr (S::rank == D::rank && !S::cplx && D::cplx) {
                for (uint32_t i = 0; i < src->size(); i++) D::setri(&(*dst)[i], &(*src)[i], nullptr);
                done = true;
            } else if constexpr (S::rank == D::rank && S::cplx && !D::cplx) {
                for (uint32_t i = 0; i < src->size(); i++) S::re(&(*dst)[i], &(*src)[i]);
                done = true;
            }
        });
    });
    if (!done) {
        for (uint32_t i = 0; i < v->size(); i++) {
            coef c = v->data2coef(ctx, i);
            r->coef2data(ctx, i, &c);
            deletecoef(&c);
        }
    }
    return r;
}

// Only the floating-point vectors follow the mode: an exact, interval or residue vector keeps its
// values as they are.
t_vecnum* vecnum_convertmode(t_cctx* ctx, const t_vecnum* v)
{
    if (!vecnum_isfloatflag(v->vecflag()) || v->keeptype()) return nullptr;
    const int mode = modenum_get(ctx);
    const int flag = v->Vvecnumiscplx() ? vecnum_flagcplx_of_mode(mode) : vecnum_flagreal_of_mode(mode);
    return flag == v->vecflag() ? nullptr : vecnum_convertcopy(ctx, v, flag, v->getName());
}

double vecnum_getdbl(const t_vecnum* v, uint32_t i)
{
    double r = 0;
    if (i >= v->size()) return 0;
    vecnum_visit(v, [&](auto* t) {
        using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(t)>>::ops;
        if constexpr (!O::cplx) r = O::todbl(&(*t)[i]);
        else if constexpr (!vecelt_isfloat<O>) {
            using RO = t_vecelt<typename O::realtrait>;
            t_tmpelt<RO> re(t->prec());
            O::re(&re.e, &(*t)[i]);
            r = RO::todbl(&re.e);
        } else {
            typename O::R re;
            if constexpr (std::is_same_v<typename O::R, __mpfr_struct>) {
                mpfr_init2(&re, mpfr_get_prec(mpc_realref(&(*t)[i])));
                O::re(&re, &(*t)[i]);
                r = mpfr_get_d(&re, MPFR_RNDN);
                mpfr_clear(&re);
            } else {
                O::re(&re, &(*t)[i]);
                r = (double)re;
            }
        }
    });
    return r;
}

// ---------------------------------------------------------------- parallel blocks

namespace {
// Below this many elements the scheduler's hand-off costs more than the loop.
constexpr uint32_t k_parallel_threshold = 16384;
constexpr int k_parallel_grain = 4096;

struct t_blockbody {
    void (*body)(void*, uint32_t, uint32_t);
    void* data;
    void operator()(int first, int last, t_cctx*) const { body(data, (uint32_t)first, (uint32_t)last + 1); }
};
}  // namespace

void vecnum_hugepages(void* p, size_t bytes)
{
    constexpr size_t huge = size_t(2) << 20;
    if (bytes < 2 * huge) return;
    // The whole huge pages inside the block; the advice is only a hint (an error changes nothing).
    const uintptr_t first = (reinterpret_cast<uintptr_t>(p) + huge - 1) & ~(huge - 1);
    const uintptr_t last = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(huge - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

// Storage of tens of megabytes comes from the system and goes back to it on free, so a script that
// makes one large vector after another (y = sin(x), then y = exp(x)) wrote every result into
// fresh pages: faulting them in cost more than the arithmetic, on one thread and worse on two.
// The last few such blocks freed wait here for the next vector of about their size.
namespace {
constexpr size_t k_cachemin = size_t(8) << 20;     // below this, malloc keeps its own free lists
constexpr size_t k_cachemax = size_t(512) << 20;   // larger blocks go back at once
constexpr int k_cacheslots = 2;
struct t_blockcache {
    std::mutex lock;
    void* p[k_cacheslots] = {};
    size_t bytes[k_cacheslots] = {};
};
t_blockcache& blockcache()
{
    static t_blockcache* c = new t_blockcache;   // vectors may be freed during exit
    return *c;
}
}  // namespace

void* vecnum_storage(void* old, size_t bytes)
{
    if (!old && bytes >= k_cachemin) {
        t_blockcache& c = blockcache();
        std::lock_guard<std::mutex> g(c.lock);
        for (int k = 0; k < k_cacheslots; k++)
            if (c.p[k] && c.bytes[k] >= bytes && c.bytes[k] / 2 <= bytes) {
                void* p = c.p[k];
                c.p[k] = nullptr;
                return p;
            }
    }
    void* p = realloc(old, bytes ? bytes : 1);
    if (!p) {
        vecnum_storage_dropcache();
        p = realloc(old, bytes ? bytes : 1);
    }
    if (!p) kst_fatalerror(436, (long)bytes, "SYSCHECKMALLOCSIZE");
    vecnum_hugepages(p, bytes);
    return p;
}

void vecnum_storage_free(void* p)
{
    if (!p) return;
    const size_t bytes = malloc_usable_size(p);
    if (bytes >= k_cachemin && bytes <= k_cachemax) {
        t_blockcache& c = blockcache();
        std::lock_guard<std::mutex> g(c.lock);
        // The older block leaves for the new one.
        void* out = c.p[k_cacheslots - 1];
        for (int k = k_cacheslots - 1; k > 0; k--) {
            c.p[k] = c.p[k - 1];
            c.bytes[k] = c.bytes[k - 1];
        }
        c.p[0] = p;
        c.bytes[0] = bytes;
        p = out;
    }
    free(p);
}

void vecnum_storage_dropcache()
{
    t_blockcache& c = blockcache();
    std::lock_guard<std::mutex> g(c.lock);
    for (int k = 0; k < k_cacheslots; k++) {
        free(c.p[k]);
        c.p[k] = nullptr;
    }
}

void vecnum_parallel_blocks(t_cctx* ctx, uint32_t n, void (*body)(void*, uint32_t, uint32_t), void* data)
{
    if (n == 0) return;
    if (n < k_parallel_threshold || !kst_parallel_allowed(ctx)) {
        body(data, 0, n);
        return;
    }
    // About 64 blocks whatever the length: blocks of 4096 made thousands of tasks for a vector
    // of 10^7 numbers, whose hand-offs cost as much as the sines.
    const int grain = std::max<int>(k_parallel_grain, (int)(n / 64));
    t_parallel_loop_for_range_par<t_blockbody> loop(ctx, t_blockbody{body, data});
    parallel_loop_for_range_Ngrain(ctx, grain, 0, (int)n - 1, loop);
}

// ---------------------------------------------------------------- real-only operations

namespace {
// Calls f(typed) for a real vector; a complex one reports error 23 and returns false.
template <class F>
bool visit_real(t_cctx* ctx, const t_vecnum* v, F&& f)
{
    bool ok = false;
    vecnum_visit(v, [&](auto* t) {
        using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(t)>>::ops;
        if constexpr (!O::cplx) {
            f(t);
            ok = true;
        }
    });
    if (!ok) kst_runerror(ctx, 23);
    return ok;
}

// 1-based index of the first smallest (largest) non-NaN element, 0 when there is none.
long extremum_index(t_cctx* ctx, const t_vecnum* v, bool largest)
{
    long best = 0;
    visit_real(ctx, v, [&](auto* t) {
        using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(t)>>::ops;
        for (uint32_t i = 0; i < t->size(); i++) {
            if (O::isnan(&(*t)[i])) continue;
            if (best == 0) { best = i + 1; continue; }
            const auto* cur = &(*t)[best - 1];
            if (largest ? vecelt_sortlt<O>(cur, &(*t)[i]) : vecelt_sortlt<O>(&(*t)[i], cur)) best = i + 1;
        }
    });
    return best;
}

// Stable ascending permutation (0-based), NaN last. Intervals sort by lower then upper bound.
template <class V>
std::vector<uint32_t> sorted_order(const V* t)
{
    using O = typename V::ops;
    std::vector<uint32_t> idx(t->size());
    std::iota(idx.begin(), idx.end(), 0u);
    std::stable_sort(idx.begin(), idx.end(), [t](uint32_t a, uint32_t b) {
        const bool na = O::isnan(&(*t)[a]), nb = O::isnan(&(*t)[b]);
        if (na || nb) return !na && nb;
        return vecelt_sortlt<O>(&(*t)[a], &(*t)[b]);
    });
    return idx;
}
}  // namespace

// Element j of src into element i of dst (same type), through a coefficient: for the vectors
// without a typed layer.
static void copy_element(t_cctx* ctx, t_vecnum* dst, uint32_t i, const t_vecnum* src, uint32_t j)
{
    coef c = src->data2coef(ctx, j);
    dst->coef2data(ctx, i, &c);
    deletecoef(&c);
}

long t_vecnum::Vimin(t_cctx* ctx) const { return extremum_index(ctx, this, false); }
long t_vecnum::Vimax(t_cctx* ctx) const { return extremum_index(ctx, this, true); }

coef t_vecnum::VMINTERME(t_cctx* ctx) const
{
    long i = extremum_index(ctx, this, false);
    return i > 0 ? data2coef(ctx, (uint32_t)(i - 1)) : coef{};
}
coef t_vecnum::VMAXTERME(t_cctx* ctx) const
{
    long i = extremum_index(ctx, this, true);
    return i > 0 ? data2coef(ctx, (uint32_t)(i - 1)) : coef{};
}

t_vecnum* t_vecnum::Vsort(t_cctx* ctx) const
{
    t_vecnum* r = nullptr;
    visit_real(ctx, this, [&](auto* t) {
        using V = std::remove_cv_t<std::remove_pointer_t<decltype(t)>>;
        std::vector<uint32_t> idx = sorted_order(t);
        auto* out = static_cast<V*>(Vcreate(ctx, "", t->size()));
        for (uint32_t i = 0; i < t->size(); i++) V::ops::set(&(*out)[i], &(*t)[idx[i]]);
        r = out;
    });
    return r;
}

t_vecnum* t_vecnum::Vqsort_index(t_cctx* ctx) const
{
    t_vecnum* r = nullptr;
    visit_real(ctx, this, [&](auto* t) {
        std::vector<uint32_t> idx = sorted_order(t);
        auto* out = vecnum_new<t_dbltype>(ctx, "", t->size());
        for (uint32_t i = 0; i < t->size(); i++) (*out)[i] = idx[i] + 1.0;
        r = out;
    });
    return r;
}

t_vecnum* t_vecnum::Vhisto(t_cctx* ctx, int nbins, double lo, double hi) const
{
    if (nbins < 1 || !(lo < hi)) {
        kst_runerror(ctx, 52);
        return nullptr;
    }
    t_vecnum* r = nullptr;
    visit_real(ctx, this, [&](auto* t) {
        using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(t)>>::ops;
        auto* out = vecnum_new<t_dbltype>(ctx, "", (uint32_t)nbins);
        const double w = (hi - lo) / nbins;
        for (uint32_t i = 0; i < t->size(); i++) {
            const double x = O::todbl(&(*t)[i]);
            if (!(x >= lo && x <= hi)) continue;
            long k = x == hi ? nbins - 1 : (long)std::floor((x - lo) / w);
            // (x - lo) / w can round up to the next bin at a bin's upper edge
            if (k >= nbins) k = nbins - 1;
            if (k > 0 && x < lo + k * w) k--;
            (*out)[(uint32_t)k] += 1;
        }
        r = out;
    });
    return r;
}

bool t_vecnum::Vcheck_indices(t_cctx* ctx, long n) const
{
    bool ok = true;
    const bool real = visit_real(ctx, this, [&](auto* t) {
        using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(t)>>::ops;
        for (uint32_t i = 0; i < t->size() && ok; i++) {
            const double x = O::todbl(&(*t)[i]);
            if (!(x == std::floor(x)) || std::isinf(x)) {
                kst_runerror(ctx, 574, (int)(i + 1));
                ok = false;
            } else if (x < 1 || x > (double)n) {
                kst_runerror(ctx, 300, x >= INT32_MIN && x <= INT32_MAX ? (int)x : (x < 0 ? INT32_MIN : INT32_MAX));
                ok = false;
            }
        }
    });
    return real && ok;
}

bool t_vecnum::Vcheck_indices(t_cctx* ctx, const tabnum_borne& range) const
{
    bool ok = true;
    const long step = range.step == 0 ? 1 : range.step;
    const bool real = visit_real(ctx, this, [&](auto* t) {
        using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(t)>>::ops;
        for (uint32_t i = 0; i < t->size() && ok; i++) {
            const double x = O::todbl(&(*t)[i]);
            if (!(x == std::floor(x)) || std::isinf(x)) {
                kst_runerror(ctx, 574, (int)(i + 1));
                ok = false;
                continue;
            }
            const long long v = (long long)x;
            if (v < range.first || v > range.last || (v - range.first) % step != 0) {
                kst_runerror(ctx, 300, (int)std::clamp<long long>(v, INT32_MIN, INT32_MAX));
                ok = false;
            }
        }
    });
    return real && ok;
}

t_vecnum* t_vecnum::Vextract_indices(t_cctx* ctx, const t_vecnum* indices) const
{
    if (!indices->Vcheck_indices(ctx, (long)m_size)) return nullptr;
    t_vecnum* r = Vcreate(ctx, "", indices->size());
    const bool typed = vecnum_visit(r, [&](auto* out) {
        using V = std::remove_pointer_t<decltype(out)>;
        const V* src = static_cast<const V*>(this);
        for (uint32_t i = 0; i < indices->size(); i++) {
            const uint32_t k = (uint32_t)vecnum_getdbl(indices, i) - 1;
            V::ops::set(&(*out)[i], &(*src)[k]);
        }
    });
    if (!typed) {
        for (uint32_t i = 0; i < indices->size(); i++) copy_element(ctx, r, i, this, (uint32_t)vecnum_getdbl(indices, i) - 1);
    }
    return r;
}

t_vecnum* t_vecnum::Vextract_borne(t_cctx* ctx, const tabnum_borne& range) const
{
    const long last = range.last == -1 ? (long)m_size : range.last;
    const long step = range.step;
    if (step <= 0) {
        kst_runerror(ctx, 52);
        return nullptr;
    }
    if (range.first < 1 || range.first > (long)m_size) {
        kst_runerror(ctx, 300, range.first);
        return nullptr;
    }
    if (last > (long)m_size) {
        kst_runerror(ctx, 300, (int)last);
        return nullptr;
    }
    const uint32_t count = last < range.first ? 0 : (uint32_t)((last - range.first) / step + 1);
    t_vecnum* r = Vcreate(ctx, "", count);
    const bool typed = vecnum_visit(r, [&](auto* out) {
        using V = std::remove_pointer_t<decltype(out)>;
        const V* src = static_cast<const V*>(this);
        for (uint32_t i = 0; i < count; i++) V::ops::set(&(*out)[i], &(*src)[range.first - 1 + i * step]);
    });
    if (!typed) {
        for (uint32_t i = 0; i < count; i++) copy_element(ctx, r, i, this, (uint32_t)(range.first - 1 + i * step));
    }
    return r;
}

// ---------------------------------------------------------------- 0/1 vectors combined

namespace {
t_vecnum* cmp_combine(t_cctx* ctx, const t_vecnum* a, const t_vecnum* b, bool both)
{
    if (a->size() != b->size()) {
        kst_runerror(ctx, 143, a->getName(), b->getName());
        return nullptr;
    }
    // One typed pass per operand, so the combining loop itself does no dispatch.
    auto nonzero = [ctx](const t_vecnum* v) {
        std::vector<char> nz(v->size());
        const bool typed = vecnum_visit(v, [&](auto* t) {
            using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(t)>>::ops;
            for (uint32_t i = 0; i < t->size(); i++) nz[i] = !O::iszero(&(*t)[i]);
        });
        for (uint32_t i = 0; i < v->size() && !typed; i++) {   // residues: a zero element is the zero coefficient
            coef c = v->data2coef(ctx, i);
            nz[i] = c.type != BH_ZERO;
            deletecoef(&c);
        }
        return nz;
    };
    const std::vector<char> x = nonzero(a), y = nonzero(b);
    t_vecnum* r = vecnum_create(ctx, vecnum_flagreal(a->vecflag()), "", a->size());
    vecnum_visit(r, [&](auto* out) {
        using O = typename std::remove_pointer_t<decltype(out)>::ops;
        for (uint32_t i = 0; i < a->size(); i++)
            if (both ? (x[i] && y[i]) : (x[i] || y[i])) O::setone(&(*out)[i]);
    });
    return r;
}

}  // namespace

t_vecnum* t_vecnum::Vcmpand(t_cctx* ctx, const t_vecnum* other) const { return cmp_combine(ctx, this, other, true); }
t_vecnum* t_vecnum::Vcmpor(t_cctx* ctx, const t_vecnum* other) const { return cmp_combine(ctx, this, other, false); }

// Instantiated after every member is defined: an explicit instantiation only covers the members
// whose definitions it has seen.
template class t_vecnumt<t_dbltype>;
template class t_vecnumt<t_zdbltype>;
template class t_vecnumt<t_quadtype>;
template class t_vecnumt<t_zquadtype>;
template class t_vecnumt<t_fpmptype>;
template class t_vecnumt<t_zfpmptype>;

// ---------------------------------------------------------------- running sums and selection

t_vecnum* t_vecnum::Vaccumulate(t_cctx* ctx) const
{
    t_vecnum* r = Vcreate(ctx, "", m_size);
    const bool known = vecnum_visit(r, [&](auto* t) {
        using V = std::remove_pointer_t<decltype(t)>;
        const V* src = static_cast<const V*>(this);
        for (uint32_t i = 0; i < m_size; i++) {
            if (i == 0) V::ops::set(&(*t)[0], &(*src)[0]);
            else V::ops::add(&(*t)[i], &(*t)[i - 1], &(*src)[i]);
        }
    });
    if (!known) {   // residues: through their coefficients
        coef s{};
        for (uint32_t i = 0; i < m_size; i++) {
            coef c = data2coef(ctx, i);
            s = coef_addition(ctx, &s, 0, &c, 0);
            r->coef2data(ctx, i, &s);
        }
        deletecoef(&s);
    }
    return r;
}

t_vecnum* t_vecnum::Vselect(t_cctx* ctx, const t_vecnum* condition) const
{
    if (condition->size() != m_size) {
        kst_runerror(ctx, 143, getName(), condition->getName());
        return nullptr;
    }
    if (condition->Vvecnumiscplx()) {
        kst_runerror(ctx, 23);
        return nullptr;
    }
    uint32_t n = 0;
    for (uint32_t i = 0; i < m_size; i++) n += vecnum_getdbl(condition, i) != 0;
    t_vecnum* r = Vcreate(ctx, "", n);
    for (uint32_t i = 0, k = 0; i < m_size; i++) {
        if (vecnum_getdbl(condition, i) == 0) continue;
        coef c = data2coef(ctx, i);
        r->coef2data(ctx, k++, &c);
        deletecoef(&c);
    }
    return r;
}
