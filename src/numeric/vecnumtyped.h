// The typed layers of numeric vectors: element operations per number trait, the storage template
// t_vecnumt<T>, its real and complex layers, the concrete classes, and a visitor that recovers
// the concrete type of a t_vecnum. Private to the numeric room.
#pragma once
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "coef/coefnum.h"
#include "interp/error.h"
#include "numeric/vecnum.h"

// ---------------------------------------------------------------- element operations
// E is the stored element, R the element of the real type of the same precision. Multiple-
// precision elements are initialised with a bit precision; the others ignore it.
template <class T> struct t_vecelt;

template <> struct t_vecelt<t_dbltype> {
    using E = double;
    using R = double;
    using realtrait = t_dbltype;
    using cplxtrait = t_zdbltype;
    static constexpr bool cplx = false;
    static constexpr int rank = 0;
    static void init(E* e, long) { *e = 0; }
    static void clear(E*) {}
    static void set(E* d, const E* s) { *d = *s; }
    static void setzero(E* d) { *d = 0; }
    static void fromcoef(t_cctx*, E* d, const coef* c) { *d = c->type == BH_ZERO ? 0.0 : coef2dbl(c); }
    static coef tocoef(t_cctx*, const E* e) { return coef_fromdbl(*e); }
    static void add(E* d, const E* a, const E* b) { *d = *a + *b; }
    static void sub(E* d, const E* a, const E* b) { *d = *a - *b; }
    static void mul(E* d, const E* a, const E* b) { *d = *a * *b; }
    static void div(E* d, const E* a, const E* b) { *d = *a / *b; }
    static void pow(E* d, const E* a, const E* b) { *d = std::pow(*a, *b); }
    static bool eq(const E* a, const E* b) { return *a == *b; }
    static bool lt(const E* a, const E* b) { return *a < *b; }
    static bool isnan(const E* a) { return std::isnan(*a); }
    static bool iszero(const E* a) { return *a == 0; }
    static double todbl(const E* a) { return *a; }
    static void fromdbl(E* d, double v) { *d = v; }
    static void setone(E* d) { *d = 1; }
    static void re(R* d, const E* s) { *d = *s; }
};

template <> struct t_vecelt<t_zdbltype> {
    using E = complexe;
    using R = double;
    using realtrait = t_dbltype;
    using cplxtrait = t_zdbltype;
    static constexpr bool cplx = true;
    static constexpr int rank = 0;
    static std::complex<double> z(const E* e) { return {e->re, e->im}; }
    static void put(E* d, std::complex<double> v) { *d = complexe{v.real(), v.imag()}; }
    static void init(E* e, long) { *e = complexe{0, 0}; }
    static void clear(E*) {}
    static void set(E* d, const E* s) { *d = *s; }
    static void setzero(E* d) { *d = complexe{0, 0}; }
    static void fromcoef(t_cctx*, E* d, const coef* c) { *d = c->type == BH_ZERO ? complexe{0, 0} : coef2zdbl(c); }
    static coef tocoef(t_cctx*, const E* e)
    {
        coef c{};
        c.z = *e;
        c.type = BH_ZDBL;
        return c;
    }
    static void add(E* d, const E* a, const E* b) { *d = complexe{a->re + b->re, a->im + b->im}; }
    static void sub(E* d, const E* a, const E* b) { *d = complexe{a->re - b->re, a->im - b->im}; }
    static void mul(E* d, const E* a, const E* b) { put(d, z(a) * z(b)); }
    static void div(E* d, const E* a, const E* b) { put(d, z(a) / z(b)); }
    static void pow(E* d, const E* a, const E* b) { put(d, std::pow(z(a), z(b))); }
    static bool eq(const E* a, const E* b) { return a->re == b->re && a->im == b->im; }
    static bool iszero(const E* a) { return a->re == 0 && a->im == 0; }
    static void setone(E* d) { *d = complexe{1, 0}; }
    static void setri(E* d, const R* re, const R* im) { *d = complexe{*re, im ? *im : 0.0}; }
    static void re(R* d, const E* s) { *d = s->re; }
    static void im(R* d, const E* s) { *d = s->im; }
};

template <> struct t_vecelt<t_quadtype> {
    using E = __float128;
    using R = __float128;
    using realtrait = t_quadtype;
    using cplxtrait = t_zquadtype;
    static constexpr bool cplx = false;
    static constexpr int rank = 1;
    static void init(E* e, long) { *e = 0; }
    static void clear(E*) {}
    static void set(E* d, const E* s) { *d = *s; }
    static void setzero(E* d) { *d = 0; }
    static void fromcoef(t_cctx* ctx, E* d, const coef* c)
    {
        if (c->type == BH_ZERO) { *d = 0; return; }
        coef q = coefnum_convert_raw(ctx, c, BH_QUAD);
        *d = q.type == BH_QUAD ? *coef_box<t_quadtype>(&q) : 0;
        deletecoef(&q);
    }
    static coef tocoef(t_cctx*, const E* e) { return coef_fromptr(quad_new(*e), BH_QUAD); }
    static void add(E* d, const E* a, const E* b) { *d = *a + *b; }
    static void sub(E* d, const E* a, const E* b) { *d = *a - *b; }
    static void mul(E* d, const E* a, const E* b) { *d = *a * *b; }
    static void div(E* d, const E* a, const E* b) { *d = *a / *b; }
    static void pow(E* d, const E* a, const E* b) { *d = powq(*a, *b); }
    static bool eq(const E* a, const E* b) { return *a == *b; }
    static bool lt(const E* a, const E* b) { return *a < *b; }
    static bool isnan(const E* a) { return isnanq(*a); }
    static bool iszero(const E* a) { return *a == 0; }
    static double todbl(const E* a) { return (double)*a; }
    static void fromdbl(E* d, double v) { *d = v; }
    static void setone(E* d) { *d = 1; }
    static void re(R* d, const E* s) { *d = *s; }
};

template <> struct t_vecelt<t_zquadtype> {
    using E = zquad;
    using R = __float128;
    using realtrait = t_quadtype;
    using cplxtrait = t_zquadtype;
    static constexpr bool cplx = true;
    static constexpr int rank = 1;
    static __complex128 z(const E* e)
    {
        __complex128 r;
        __real__ r = e->re;
        __imag__ r = e->im;
        return r;
    }
    static void put(E* d, __complex128 v) { *d = zquad{__real__ v, __imag__ v}; }
    static void init(E* e, long) { *e = zquad{0, 0}; }
    static void clear(E*) {}
    static void set(E* d, const E* s) { *d = *s; }
    static void setzero(E* d) { *d = zquad{0, 0}; }
    static void fromcoef(t_cctx* ctx, E* d, const coef* c)
    {
        if (c->type == BH_ZERO) { *d = zquad{0, 0}; return; }
        coef q = coefnum_convert_raw(ctx, c, BH_ZQUAD);
        *d = q.type == BH_ZQUAD ? *coef_box<t_zquadtype>(&q) : zquad{0, 0};
        deletecoef(&q);
    }
    static coef tocoef(t_cctx*, const E* e) { return coef_fromptr(zquad_new(e->re, e->im), BH_ZQUAD); }
    static void add(E* d, const E* a, const E* b) { *d = zquad{a->re + b->re, a->im + b->im}; }
    static void sub(E* d, const E* a, const E* b) { *d = zquad{a->re - b->re, a->im - b->im}; }
    static void mul(E* d, const E* a, const E* b) { put(d, z(a) * z(b)); }
    static void div(E* d, const E* a, const E* b) { put(d, z(a) / z(b)); }
    static void pow(E* d, const E* a, const E* b) { put(d, cpowq(z(a), z(b))); }
    static bool eq(const E* a, const E* b) { return a->re == b->re && a->im == b->im; }
    static bool iszero(const E* a) { return a->re == 0 && a->im == 0; }
    static void setone(E* d) { *d = zquad{1, 0}; }
    static void setri(E* d, const R* re, const R* im) { *d = zquad{*re, im ? *im : (__float128)0}; }
    static void re(R* d, const E* s) { *d = s->re; }
    static void im(R* d, const E* s) { *d = s->im; }
};

template <> struct t_vecelt<t_fpmptype> {
    using E = __mpfr_struct;
    using R = __mpfr_struct;
    using realtrait = t_fpmptype;
    using cplxtrait = t_zfpmptype;
    static constexpr bool cplx = false;
    static constexpr int rank = 2;
    static void init(E* e, long prec)
    {
        mpfr_init2(e, prec);
        mpfr_set_zero(e, 1);
    }
    static void clear(E* e) { mpfr_clear(e); }
    static void set(E* d, const E* s) { mpfr_set(d, s, MPFR_RNDN); }
    static void setzero(E* d) { mpfr_set_zero(d, 1); }
    static void fromcoef(t_cctx*, E* d, const coef* c)
    {
        if (c->type == BH_ZERO) setzero(d);
        else coefnum_get_fr(d, c, 0, MPFR_RNDN);
    }
    static coef tocoef(t_cctx*, const E* e)
    {
        __mpfr_struct* f = fpmp_new2(mpfr_get_prec(e));
        mpfr_set(f, e, MPFR_RNDN);
        return coef_fromptr(f, BH_FPMP);
    }
    static void add(E* d, const E* a, const E* b) { mpfr_add(d, a, b, MPFR_RNDN); }
    static void sub(E* d, const E* a, const E* b) { mpfr_sub(d, a, b, MPFR_RNDN); }
    static void mul(E* d, const E* a, const E* b) { mpfr_mul(d, a, b, MPFR_RNDN); }
    static void div(E* d, const E* a, const E* b) { mpfr_div(d, a, b, MPFR_RNDN); }
    static void pow(E* d, const E* a, const E* b) { mpfr_pow(d, a, b, MPFR_RNDN); }
    static bool eq(const E* a, const E* b) { return mpfr_equal_p(a, b); }
    static bool lt(const E* a, const E* b) { return mpfr_less_p(a, b); }
    static bool isnan(const E* a) { return mpfr_nan_p(a); }
    static bool iszero(const E* a) { return mpfr_zero_p(a); }
    static double todbl(const E* a) { return mpfr_get_d(a, MPFR_RNDN); }
    static void fromdbl(E* d, double v) { mpfr_set_d(d, v, MPFR_RNDN); }
    static void setone(E* d) { mpfr_set_ui(d, 1, MPFR_RNDN); }
    static void re(R* d, const E* s) { mpfr_set(d, s, MPFR_RNDN); }
};

template <> struct t_vecelt<t_zfpmptype> {
    using E = __mpc_struct;
    using R = __mpfr_struct;
    using realtrait = t_fpmptype;
    using cplxtrait = t_zfpmptype;
    static constexpr bool cplx = true;
    static constexpr int rank = 2;
    static void init(E* e, long prec)
    {
        mpc_init2(e, prec);
        mpc_set_ui(e, 0, MPC_RNDNN);
    }
    static void clear(E* e) { mpc_clear(e); }
    static void set(E* d, const E* s) { mpc_set(d, s, MPC_RNDNN); }
    static void setzero(E* d) { mpc_set_ui(d, 0, MPC_RNDNN); }
    static void fromcoef(t_cctx*, E* d, const coef* c)
    {
        if (c->type == BH_ZERO) { setzero(d); return; }
        coefnum_get_fr(mpc_realref(d), c, 0, MPFR_RNDN);
        if (coefnum_iscomplex(coef_tag(c))) coefnum_get_fr(mpc_imagref(d), c, 1, MPFR_RNDN);
        else mpfr_set_zero(mpc_imagref(d), 1);
    }
    static coef tocoef(t_cctx*, const E* e)
    {
        auto* z = new __mpc_struct;
        mpc_init3(z, mpfr_get_prec(mpc_realref(e)), mpfr_get_prec(mpc_imagref(e)));
        mpc_set(z, e, MPC_RNDNN);
        return coef_fromptr(z, BH_ZFPMP);
    }
    static void add(E* d, const E* a, const E* b) { mpc_add(d, a, b, MPC_RNDNN); }
    static void sub(E* d, const E* a, const E* b) { mpc_sub(d, a, b, MPC_RNDNN); }
    static void mul(E* d, const E* a, const E* b) { mpc_mul(d, a, b, MPC_RNDNN); }
    static void div(E* d, const E* a, const E* b) { mpc_div(d, a, b, MPC_RNDNN); }
    static void pow(E* d, const E* a, const E* b) { mpc_pow(d, a, b, MPC_RNDNN); }
    static bool eq(const E* a, const E* b) { return mpc_cmp(a, b) == 0 && !mpfr_nan_p(mpc_realref(a)) && !mpfr_nan_p(mpc_imagref(a)); }
    static bool iszero(const E* a) { return mpfr_zero_p(mpc_realref(a)) && mpfr_zero_p(mpc_imagref(a)); }
    static void setone(E* d) { mpc_set_ui(d, 1, MPC_RNDNN); }
    static void setri(E* d, const R* re, const R* im)
    {
        mpfr_set(mpc_realref(d), re, MPFR_RNDN);
        if (im) mpfr_set(mpc_imagref(d), im, MPFR_RNDN);
        else mpfr_set_zero(mpc_imagref(d), 1);
    }
    static void re(R* d, const E* s) { mpfr_set(d, mpc_realref(s), MPFR_RNDN); }
    static void im(R* d, const E* s) { mpfr_set(d, mpc_imagref(s), MPFR_RNDN); }
};

#include "numeric/vecnumeltexact.h"

// Floating-point elements (double, quad, MPFR and their complex forms): ranks 0 to 2.
template <class O> constexpr bool vecelt_isfloat = O::rank <= 2;
// A real element type with a complex vector type of the same precision.
template <class O> constexpr bool vecelt_hascplx = O::cplx || !std::is_same_v<typename O::realtrait, typename O::cplxtrait>;
// The order of sorting and extrema: lt, unless the element type gives a strict weak order apart.
template <class O>
bool vecelt_sortlt(const typename O::E* a, const typename O::E* b)
{
    if constexpr (requires { O::sortlt(a, b); }) return O::sortlt(a, b);
    else return O::lt(a, b);
}

// ---------------------------------------------------------------- storage

// Large storage asks the system for huge pages: a new vector of millions of numbers is then
// written with a few hundred page faults instead of tens of thousands.
void vecnum_hugepages(void* p, size_t bytes);
// realloc and free for vector storage: blocks of tens of megabytes freed are kept for the next
// vector of about their size (fresh pages cost more than writing them); `reset` drops them.
void* vecnum_storage(void* old, size_t bytes);
void vecnum_storage_free(void* p);
void vecnum_storage_dropcache();

template <class T>
class t_vecnumt : public t_vecnum {
public:
    using ops = t_vecelt<T>;
    using elt = typename ops::E;
    static constexpr bool multiprec = (T::tag == BH_FPMP || T::tag == BH_ZFPMP);

    t_vecnumt(int flag, const char* name, uint32_t n, long prec) : t_vecnum(flag, name, 0), m_prec(prec)
    {
        increasesize(n);
    }
    t_vecnumt(const t_vecnumt& o) : t_vecnum(o.vecflag(), o.getName(), 0), m_prec(o.m_prec) {
        m_keeptype = o.m_keeptype;
        copyfrom(o);
    }
    ~t_vecnumt() override { empty(); }

    elt* data() { return static_cast<elt*>(m_pdata); }
    const elt* data() const { return static_cast<const elt*>(m_pdata); }
    elt& operator[](uint32_t i) { return data()[i]; }
    const elt& operator[](uint32_t i) const { return data()[i]; }
    long prec() const { return m_prec; }
    void setprec(long p) { m_prec = p; }

    eBHTypeCoef VgeteBHType() const override { return T::tag; }
    bool Vvecnumiscplx() const override { return ops::cplx; }

    // Grows to n elements; the new ones are zero.
    void increasesize(uint32_t n)
    {
        if (n <= m_size) return;
        if (n > m_reserved || !m_pdata) {
            uint32_t cap = n;
            m_pdata = vecnum_storage(m_pdata, kst_checkmulsize(cap ? cap : 1, sizeof(elt)));
            m_reserved = cap;
        }
        for (uint32_t i = m_size; i < n; i++) ops::init(&data()[i], m_prec);
        m_size = n;
    }
    // n elements left as they are, for a caller that writes every one of them (blocks of a
    // parallel loop then touch their own pages first); plain number types only.
    void setsize_unwritten(uint32_t n)
    {
        static_assert(std::is_trivially_copyable_v<elt>);
        reserve(n);
        m_size = n;
    }
    // Room for n elements without changing the size (growth in blocks).
    void reserve(uint32_t n)
    {
        if (n <= m_reserved && m_pdata) return;
        m_pdata = vecnum_storage(m_pdata, kst_checkmulsize(n ? n : 1, sizeof(elt)));
        m_reserved = n;
    }
    void empty()
    {
        for (uint32_t i = 0; i < m_size; i++) ops::clear(&data()[i]);
        vecnum_storage_free(m_pdata);
        m_pdata = nullptr;
        m_size = 0;
        m_reserved = 0;
    }
    void reset(uint32_t n)
    {
        empty();
        increasesize(n);
    }
    // Takes over o's elements; o ends empty.
    void transfert(t_vecnumt& o)
    {
        empty();
        m_pdata = o.m_pdata;
        m_size = o.m_size;
        m_reserved = o.m_reserved;
        o.m_pdata = nullptr;
        o.m_size = 0;
        o.m_reserved = 0;
    }
    void copyfrom(const t_vecnumt& o)
    {
        if (&o == this) return;
        empty();
        if constexpr (multiprec) m_prec = o.m_prec;
        reserve(o.m_size);
        for (uint32_t i = 0; i < o.m_size; i++) {
            if constexpr (multiprec) {
                if constexpr (ops::cplx) mpc_init2(&data()[i], mpfr_get_prec(mpc_realref(&o[i])));
                else mpfr_init2(&data()[i], mpfr_get_prec(&o[i]));
            } else {
                ops::init(&data()[i], m_prec);
            }
            ops::set(&data()[i], &o[i]);
        }
        m_size = o.m_size;
    }
    // Appends the elements of o after the existing ones.
    void append(const t_vecnumt& o)
    {
        uint32_t n0 = m_size;
        increasesize(n0 + o.m_size);
        for (uint32_t i = 0; i < o.m_size; i++) ops::set(&data()[n0 + i], &o[i]);
    }

    t_idcommon* Vcopy() const override { return new_same(getName(), *this); }
    bool Viscopiable() const override { return true; }
    void Vreset(t_cctx*, uint32_t n) override { reset(n); }
    coef data2coef(t_cctx* ctx, uint32_t i) const override { return ops::tocoef(ctx, &data()[i]); }
    void coef2data(t_cctx* ctx, uint32_t i, const coef* c) override { ops::fromcoef(ctx, &data()[i], c); }
    coef Vsum(t_cctx* ctx, int method, int flag) const override;
    coef Vprod(t_cctx* ctx, int method) const override;

protected:
    // A copy with the concrete class of this vector.
    virtual t_vecnumt* new_same(const char* name, const t_vecnumt& from) const = 0;

    long m_prec = 0;
};

template <class T>
class t_vecnumtreal : public t_vecnumt<T> {
public:
    using t_vecnumt<T>::t_vecnumt;
};

template <class T>
class t_vecnumtcplx : public t_vecnumt<T> {
public:
    using t_vecnumt<T>::t_vecnumt;
    using R = typename t_vecelt<T>::R;
    // Element i from its parts (imaginary zero when im is null).
    void setri(uint32_t i, const R* re, const R* im) { t_vecelt<T>::setri(&this->data()[i], re, im); }
};

long vecnum_ctxprec(t_cctx* ctx);

// The concrete classes. Scripts know every real vector as "vnumR" and every complex one as
// "vnumC": the numeric mode, not the script, chooses the precision.
#define KST_VECNUM_CONCRETE(cls, layer, trait, flagv, tname)                                          \
    class cls final : public layer<trait> {                                                            \
    public:                                                                                            \
        static constexpr int idflag = flagv;                                                           \
        cls(t_cctx* ctx, const char* name, uint32_t n) : layer<trait>(flagv, name, n, vecnum_ctxprec(ctx)) {} \
        cls(const cls& o) = default;                                                                   \
        const char* Vgettypename() const override { return this->m_keeptype ? "vnumQ" : tname; }                                    \
        t_vecnum* Vcreate(t_cctx* ctx, const char* name, uint32_t n) const override                    \
        {                                                                                              \
            return new cls(ctx, name ? name : this->getName(), n);                                     \
        }                                                                                              \
                                                                                                       \
    protected:                                                                                         \
        t_vecnumt<trait>* new_same(const char*, const t_vecnumt<trait>& from) const override          \
        {                                                                                              \
            return new cls(static_cast<const cls&>(from));                                             \
        }                                                                                              \
    };

KST_VECNUM_CONCRETE(t_vecnumdbl, t_vecnumtreal, t_dbltype, VECNUM_DBL, "vnumR")
KST_VECNUM_CONCRETE(t_vecnumzdbl, t_vecnumtcplx, t_zdbltype, VECNUM_ZDBL, "vnumC")
KST_VECNUM_CONCRETE(t_vecnumquad, t_vecnumtreal, t_quadtype, VECNUM_QUAD, "vnumR")
KST_VECNUM_CONCRETE(t_vecnumzquad, t_vecnumtcplx, t_zquadtype, VECNUM_ZQUAD, "vnumC")
KST_VECNUM_CONCRETE(t_vecnumfpmp, t_vecnumtreal, t_fpmptype, VECNUM_FPMP, "vnumR")
KST_VECNUM_CONCRETE(t_vecnumzfpmp, t_vecnumtcplx, t_zfpmptype, VECNUM_ZFPMP, "vnumC")
// Vectors no mode chooses: made by the rooms that work with exact numbers or enclosures.
KST_VECNUM_CONCRETE(t_vecnumintdbl, t_vecnumtreal, t_intdbltype, VECNUM_INTDBL, "t_vecnumintdbl")
KST_VECNUM_CONCRETE(t_vecnumintmp, t_vecnumtreal, t_intmptype, VECNUM_INTMP, "t_vecnumintmp")
KST_VECNUM_CONCRETE(t_vecnumratmp, t_vecnumtreal, t_ratmptype, VECNUM_RATMP, "t_vecnumratmp")
KST_VECNUM_CONCRETE(t_vecnumzintmp, t_vecnumtcplx, t_zintmptype, VECNUM_ZINTMP, "t_vecnumzintmp")
KST_VECNUM_CONCRETE(t_vecnumzratmp, t_vecnumtcplx, t_zratmptype, VECNUM_ZRATMP, "t_vecnumzratmp")
#undef KST_VECNUM_CONCRETE

// The concrete class of each trait.
template <class T> struct t_vecnumclass;
template <> struct t_vecnumclass<t_dbltype> { using type = t_vecnumdbl; };
template <> struct t_vecnumclass<t_zdbltype> { using type = t_vecnumzdbl; };
template <> struct t_vecnumclass<t_quadtype> { using type = t_vecnumquad; };
template <> struct t_vecnumclass<t_zquadtype> { using type = t_vecnumzquad; };
template <> struct t_vecnumclass<t_fpmptype> { using type = t_vecnumfpmp; };
template <> struct t_vecnumclass<t_zfpmptype> { using type = t_vecnumzfpmp; };
template <> struct t_vecnumclass<t_intdbltype> { using type = t_vecnumintdbl; };
template <> struct t_vecnumclass<t_intmptype> { using type = t_vecnumintmp; };
template <> struct t_vecnumclass<t_ratmptype> { using type = t_vecnumratmp; };
template <> struct t_vecnumclass<t_zintmptype> { using type = t_vecnumzintmp; };
template <> struct t_vecnumclass<t_zratmptype> { using type = t_vecnumzratmp; };

template <class T>
typename t_vecnumclass<T>::type* vecnum_new(t_cctx* ctx, const char* name, uint32_t n)
{
    return new typename t_vecnumclass<T>::type(ctx, name ? name : "", n);
}

// A temporary element with the precision of a vector, cleared when it goes.
template <class O>
struct t_tmpelt {
    typename O::E e;
    explicit t_tmpelt(long prec) { O::init(&e, prec); }
    ~t_tmpelt() { O::clear(&e); }
    t_tmpelt(const t_tmpelt&) = delete;
    t_tmpelt& operator=(const t_tmpelt&) = delete;
};

// Calls f(typed vector) with the concrete typed layer of v. Returns false for a flag that has
// no typed layer here (the residue vectors, which keep their modulus and width themselves).
template <class F>
bool vecnum_visit(const t_vecnum* v, F&& f)
{
    switch (v->vecflag()) {
    case VECNUM_DBL: f(static_cast<const t_vecnumt<t_dbltype>*>(v)); return true;
    case VECNUM_ZDBL: f(static_cast<const t_vecnumt<t_zdbltype>*>(v)); return true;
    case VECNUM_QUAD: f(static_cast<const t_vecnumt<t_quadtype>*>(v)); return true;
    case VECNUM_ZQUAD: f(static_cast<const t_vecnumt<t_zquadtype>*>(v)); return true;
    case VECNUM_FPMP: f(static_cast<const t_vecnumt<t_fpmptype>*>(v)); return true;
    case VECNUM_ZFPMP: f(static_cast<const t_vecnumt<t_zfpmptype>*>(v)); return true;
    case VECNUM_INTDBL: f(static_cast<const t_vecnumt<t_intdbltype>*>(v)); return true;
    case VECNUM_INTMP: f(static_cast<const t_vecnumt<t_intmptype>*>(v)); return true;
    case VECNUM_RATMP: f(static_cast<const t_vecnumt<t_ratmptype>*>(v)); return true;
    case VECNUM_ZINTMP: f(static_cast<const t_vecnumt<t_zintmptype>*>(v)); return true;
    case VECNUM_ZRATMP: f(static_cast<const t_vecnumt<t_zratmptype>*>(v)); return true;
    default: return false;
    }
}
template <class F>
bool vecnum_visit(t_vecnum* v, F&& f)
{
    switch (v->vecflag()) {
    case VECNUM_DBL: f(static_cast<t_vecnumt<t_dbltype>*>(v)); return true;
    case VECNUM_ZDBL: f(static_cast<t_vecnumt<t_zdbltype>*>(v)); return true;
    case VECNUM_QUAD: f(static_cast<t_vecnumt<t_quadtype>*>(v)); return true;
    case VECNUM_ZQUAD: f(static_cast<t_vecnumt<t_zquadtype>*>(v)); return true;
    case VECNUM_FPMP: f(static_cast<t_vecnumt<t_fpmptype>*>(v)); return true;
    case VECNUM_ZFPMP: f(static_cast<t_vecnumt<t_zfpmptype>*>(v)); return true;
    case VECNUM_INTDBL: f(static_cast<t_vecnumt<t_intdbltype>*>(v)); return true;
    case VECNUM_INTMP: f(static_cast<t_vecnumt<t_intmptype>*>(v)); return true;
    case VECNUM_RATMP: f(static_cast<t_vecnumt<t_ratmptype>*>(v)); return true;
    case VECNUM_ZINTMP: f(static_cast<t_vecnumt<t_zintmptype>*>(v)); return true;
    case VECNUM_ZRATMP: f(static_cast<t_vecnumt<t_zratmptype>*>(v)); return true;
    default: return false;
    }
}

// Flag of the concrete type of a trait.
template <class T> constexpr int vecnum_flagof() { return t_vecnumclass<T>::type::idflag; }

// Runs body(first, last) over [0, n) in blocks, spread over the scheduler's threads when the
// context allows and the work is large enough. Bodies must only touch their own indices, so the
// result does not depend on the thread count.
void vecnum_parallel_blocks(t_cctx* ctx, uint32_t n, void (*body)(void* data, uint32_t first, uint32_t last),
                            void* data);
template <class F>
void vecnum_forblocks(t_cctx* ctx, uint32_t n, F& f)
{
    vecnum_parallel_blocks(ctx, n, [](void* d, uint32_t a, uint32_t b) { (*static_cast<F*>(d))(a, b); }, &f);
}

// Element 0-based i of a real vector as a double (zero past the end).
double vecnum_getdbl(const t_vecnum* v, uint32_t i);

extern template class t_vecnumt<t_dbltype>;
extern template class t_vecnumt<t_zdbltype>;
extern template class t_vecnumt<t_quadtype>;
extern template class t_vecnumt<t_zquadtype>;
extern template class t_vecnumt<t_fpmptype>;
extern template class t_vecnumt<t_zfpmptype>;
// Each in its own translation unit (vecnumintdbl.cpp, vecnumintmp.cpp, ...).
extern template class t_vecnumt<t_intdbltype>;
extern template class t_vecnumt<t_intmptype>;
extern template class t_vecnumt<t_ratmptype>;
extern template class t_vecnumt<t_zintmptype>;
extern template class t_vecnumt<t_zratmptype>;
