// Linear algebra on arrays of numbers: the numbers are taken out as coefficients once, worked on
// in a dense row-major matrix, and put back as constants of a new array.
#include "numeric/linalg.h"

#include <cmath>
#include <vector>

#include "coef/coefnum.h"
#include "coef/modenum.h"
#include "interp/error.h"
#include "interp/roomapi.h"

using zdouble = std::complex<double>;

extern "C" {
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetri_(const int* n, double* a, const int* lda, const int* ipiv, double* work, const int* lwork, int* info);
void zgetrf_(const int* m, const int* n, zdouble* a, const int* lda, int* ipiv, int* info);
void zgetri_(const int* n, zdouble* a, const int* lda, const int* ipiv, zdouble* work, const int* lwork, int* info);
void dgeev_(const char* jobvl, const char* jobvr, const int* n, double* a, const int* lda, double* wr, double* wi,
            double* vl, const int* ldvl, double* vr, const int* ldvr, double* work, const int* lwork, int* info,
            size_t, size_t);
void zgeev_(const char* jobvl, const char* jobvr, const int* n, zdouble* a, const int* lda, zdouble* w, zdouble* vl,
            const int* ldvl, zdouble* vr, const int* ldvr, zdouble* work, const int* lwork, double* rwork, int* info,
            size_t, size_t);
}

namespace {

// A dense row-major matrix of owned coefficients.
struct t_cmat {
    int rows = 0, cols = 0;
    std::vector<coef> v;
    t_cmat() = default;
    t_cmat(int r, int c) : rows(r), cols(c), v(static_cast<size_t>(r) * c) {}
    t_cmat(const t_cmat&) = delete;
    t_cmat& operator=(const t_cmat&) = delete;
    ~t_cmat() { reset(0, 0); }
    void reset(int r, int c)
    {
        for (coef& x : v) deletecoef(&x);
        rows = r;
        cols = c;
        v.assign(static_cast<size_t>(r) * c, coef{});
    }
    coef& at(int i, int j) { return v[static_cast<size_t>(i) * cols + j]; }
    void set(int i, int j, coef c)
    {
        deletecoef(&at(i, j));
        at(i, j) = c;
    }
};

bool isexact(const coef* c)
{
    if (coef_iszero(c)) return true;
    if (!coef_isnumeric(c)) return false;
    switch (c->type) {
    case BH_RAT:
    case BH_ZRAT:
    case BH_RATMP:
    case BH_ZRATMP:
    case BH_INTMP:
    case BH_ZINTMP: return coef_vt(c).isrational(c) != 0;
    default: return false;
    }
}

bool iscomplexcoef(const coef* c) { return !coef_iszero(c) && coefnum_iscomplex(coef_tag(c)); }

double magnitude(const coef* c)
{
    if (coef_iszero(c)) return 0;
    complexe z = coef2zdbl(c);
    return std::hypot(z.re, z.im);
}

// The numbers of a two-dimensional array, converted to the context's mode.
bool getmatrix(t_cctx* ctx, const t_tableau* a, t_cmat& m, bool square, bool step1)
{
    if (a->ndim() != 2) {
        kst_runerror(ctx, 260);
        return false;
    }
    if (step1 && !a->musthavestep1()) {
        kst_runerror(ctx, 262);
        return false;
    }
    const int r = a->dim(1)->count, c = a->dim(2)->count;
    if (square && r != c) {
        kst_runerror(ctx, 283, r, c);
        return false;
    }
    m.reset(r, c);
    for (long p = 0; p < a->Vsize(); p++) {
        const t_idcommon* e = a->elt(p).getData();
        if (!e || e->Vgettypeenum() != IDTYPE_CONSTANTE) {
            kst_runerror(ctx, 349);
            return false;
        }
        m.v[p] = modenum_convertcopy(ctx, &kst_constanterawvalue(e));
    }
    return true;
}

bool allexact(t_cmat& m)
{
    for (coef& c : m.v)
        if (!isexact(&c)) return false;
    return true;
}
bool anycomplex(t_cmat& m)
{
    for (coef& c : m.v)
        if (iscomplexcoef(&c)) return true;
    return false;
}

t_idcommon* constant(t_cctx* ctx, coef c) { return kst_newconstante(ctx, c); }

t_tableau* fromcoefs(t_cctx* ctx, t_cmat& m)
{
    t_tableau* out = creeinit_tab2D(1, m.rows, 1, m.cols);
    for (long p = 0; p < out->Vsize(); p++) {
        out->init_elt_tab_idc(p, constant(ctx, m.v[p]));
        m.v[p] = coef{};
    }
    return out;
}

coef dbl2c(double x) { return coef_fromdbl(x); }
coef zdbl2c(zdouble z)
{
    if (z.imag() == 0) return coef_fromdbl(z.real());
    coef c{};
    c.z = complexe{z.real(), z.imag()};
    c.type = BH_ZDBL;
    return c;
}

// a * b, both kept.
coef mulk(t_cctx* ctx, coef& a, coef& b) { return coef_multiplication(ctx, &a, 1, &b, 1); }

// Fraction-free elimination: every intermediate is a minor of the matrix, so exact numbers stay
// as small as they can and an integral matrix never leaves the integers.
coef det_bareiss(t_cctx* ctx, t_cmat& m)
{
    const int n = m.rows;
    int sign = 1;
    coef prev = coef_creenum_init(ctx, 1);
    for (int k = 0; k < n - 1; k++) {
        int piv = k;
        while (piv < n && coef_iszero(&m.at(piv, k))) piv++;
        if (piv == n) {
            deletecoef(&prev);
            return coef{};
        }
        if (piv != k) {
            for (int j = 0; j < n; j++) std::swap(m.at(k, j), m.at(piv, j));
            sign = -sign;
        }
        for (int i = k + 1; i < n; i++) {
            for (int j = k + 1; j < n; j++) {
                coef t1 = mulk(ctx, m.at(i, j), m.at(k, k));
                coef t2 = mulk(ctx, m.at(i, k), m.at(k, j));
                coef d = coef_soustraction(ctx, &t1, 0, &t2, 0);
                m.set(i, j, coef_division(ctx, &d, 0, &prev, 1));
            }
        }
        deletecoef(&prev);
        prev = copycoef(&m.at(k, k));
    }
    deletecoef(&prev);
    coef det = copycoef(&m.at(n - 1, n - 1));
    return sign < 0 ? coef_neg(ctx, &det, 0) : det;
}

// Doubles that are all integers keep an exact determinant through fraction-free elimination as
// long as every minor stays below 2^53, which Hadamard's bound guarantees.
bool integraldoubles_fit(t_cmat& m)
{
    double logbound = 0;
    for (int i = 0; i < m.rows; i++) {
        double norm2 = 0;
        for (int j = 0; j < m.cols; j++) {
            coef& c = m.at(i, j);
            if (coef_iszero(&c)) continue;
            if (c.type != BH_DBL || c.d != std::floor(c.d)) return false;
            norm2 += c.d * c.d;
        }
        if (norm2 > 0) logbound += 0.5 * std::log2(norm2);
    }
    return logbound < 52;
}

// Gaussian elimination with the largest available pivot, on any numbers.
coef det_gauss(t_cctx* ctx, t_cmat& m)
{
    const int n = m.rows;
    coef det = coef_creenum_init(ctx, 1);
    for (int k = 0; k < n; k++) {
        int piv = k;
        for (int i = k + 1; i < n; i++)
            if (magnitude(&m.at(i, k)) > magnitude(&m.at(piv, k))) piv = i;
        if (coef_iszero(&m.at(piv, k))) {
            deletecoef(&det);
            return coef{};
        }
        if (piv != k) {
            for (int j = 0; j < n; j++) std::swap(m.at(k, j), m.at(piv, j));
            det = coef_neg(ctx, &det, 0);
        }
        det = coef_multiplication(ctx, &det, 0, &m.at(k, k), 1);
        for (int i = k + 1; i < n; i++) {
            if (coef_iszero(&m.at(i, k))) continue;
            coef f = coef_division(ctx, &m.at(i, k), 1, &m.at(k, k), 1);
            for (int j = k + 1; j < n; j++) {
                coef t = mulk(ctx, f, m.at(k, j));
                m.set(i, j, coef_soustraction(ctx, &m.at(i, j), 1, &t, 0));
            }
            deletecoef(&f);
        }
    }
    return det;
}

bool lapackmode(t_cctx* ctx) { return modenum_get(ctx) == NUMDBL; }

std::vector<double> todbl_colmajor(t_cmat& m)
{
    std::vector<double> a(m.v.size());
    for (int i = 0; i < m.rows; i++)
        for (int j = 0; j < m.cols; j++) a[static_cast<size_t>(j) * m.rows + i] = coef_iszero(&m.at(i, j)) ? 0 : coef2dbl(&m.at(i, j));
    return a;
}
std::vector<zdouble> tozdbl_colmajor(t_cmat& m)
{
    std::vector<zdouble> a(m.v.size());
    for (int i = 0; i < m.rows; i++)
        for (int j = 0; j < m.cols; j++) {
            complexe z = coef_iszero(&m.at(i, j)) ? complexe{0, 0} : coef2zdbl(&m.at(i, j));
            a[static_cast<size_t>(j) * m.rows + i] = zdouble(z.re, z.im);
        }
    return a;
}

template <class T, class GETRF>
coef det_lapack(t_cctx* ctx, std::vector<T> a, int n, GETRF getrf)
{
    std::vector<int> ipiv(n);
    int info = 0;
    getrf(&n, &n, a.data(), &n, ipiv.data(), &info);
    if (info < 0) kst_iceerror(1050, "matrix_det", info);
    T det = 1;
    for (int i = 0; i < n; i++) {
        det *= a[static_cast<size_t>(i) * n + i];
        if (ipiv[i] != i + 1) det = -det;
    }
    if constexpr (std::is_same_v<T, double>) return dbl2c(det);
    else return zdbl2c(det);
}

} // namespace

// ---------------------------------------------------------------- product, transpose, trace

t_tableau* matrix_multiplication(t_cctx* ctx, t_tableau* a, int keepa, t_tableau* b, int keepb)
{
    auto drop = [&] {
        if (!keepa) a->Vdelete();
        if (!keepb && b != a) b->Vdelete();
    };
    if (a->ndim() != 2 || b->ndim() != 2) {
        kst_runerror(ctx, 260);
        drop();
        return nullptr;
    }
    const int n = a->dim(1)->count, k = a->dim(2)->count, p = b->dim(2)->count;
    if (b->dim(1)->count != k) {
        kst_runerror(ctx, 236);
        drop();
        return nullptr;
    }
    t_tableau* out = creeinit_tab2D(1, n, 1, p);
    for (int i = 0; i < n && !Erreur_Execution; i++)
        for (int j = 0; j < p && !Erreur_Execution; j++) {
            t_idcommon* acc = nullptr;
            for (int l = 0; l < k && !Erreur_Execution; l++) {
                t_idcommon* x = a->elt(static_cast<long>(i) * k + l).getData();
                t_idcommon* y = b->elt(static_cast<long>(l) * p + j).getData();
                if (!x || !y) {
                    kst_runerror(ctx, 349);
                    break;
                }
                t_idcommon* term = tableau_2op_element(ctx, IDOP_MUL, x, 1, y, 1);
                if (!term) break;
                acc = acc ? tableau_2op_element(ctx, IDOP_ADD, acc, 0, term, 0) : term;
            }
            if (Erreur_Execution) {
                if (acc) acc->Vdelete();
                break;
            }
            out->init_elt_tab_idc(static_cast<long>(i) * p + j, acc);
        }
    drop();
    if (Erreur_Execution) {
        out->Vdelete();
        return nullptr;
    }
    return out;
}

t_tableau* Vtransposematrix(t_cctx* ctx, const t_tableau* a)
{
    if (a->ndim() != 2) {
        kst_runerror(ctx, 260);
        return nullptr;
    }
    const list_dim_tab* d1 = a->dim(1);
    const list_dim_tab* d2 = a->dim(2);
    list_dim_tab* dims = new list_dim_tab{d2->binf, d2->bsup, d2->step, d2->count,
                                          new list_dim_tab{d1->binf, d1->bsup, d1->step, d1->count, nullptr}};
    auto* out = new t_tableau("", IDTYPE_TABLEAU, 2, dims);
    for (int i = 0; i < d1->count; i++)
        for (int j = 0; j < d2->count; j++)
            if (const t_idcommon* v = a->elt(static_cast<long>(i) * d2->count + j).getData())
                out->init_elt_tab_idc(static_cast<long>(j) * d1->count + i, v->Vcopy());
    return out;
}

t_idcommon* Vtracematrix(t_cctx* ctx, const t_tableau* a)
{
    t_cmat m;
    if (!getmatrix(ctx, a, m, true, false)) return nullptr;
    coef s{};
    for (int i = 0; i < m.rows; i++) s = coef_addition(ctx, &s, 0, &m.at(i, i), 1);
    return constant(ctx, s);
}

// ---------------------------------------------------------------- determinant, inverse, rank

t_idcommon* matrix_det(t_cctx* ctx, const t_tableau* a)
{
    t_cmat m;
    if (!getmatrix(ctx, a, m, true, true)) return nullptr;
    if (m.rows == 0) return constant(ctx, coef_creenum_init(ctx, 1));
    coef det;
    if (allexact(m) || integraldoubles_fit(m)) det = det_bareiss(ctx, m);
    else if (lapackmode(ctx) && anycomplex(m)) det = det_lapack(ctx, tozdbl_colmajor(m), m.rows, zgetrf_);
    else if (lapackmode(ctx)) det = det_lapack(ctx, todbl_colmajor(m), m.rows, dgetrf_);
    else det = det_gauss(ctx, m);
    return constant(ctx, det);
}

namespace {

// Gauss-Jordan on [m | I], pivot of largest magnitude. False when the matrix is singular.
bool inverse_gaussjordan(t_cctx* ctx, t_cmat& m, t_cmat& inv)
{
    const int n = m.rows;
    for (int i = 0; i < n; i++) inv.set(i, i, coef_creenum_init(ctx, 1));
    for (int k = 0; k < n; k++) {
        int piv = k;
        for (int i = k + 1; i < n; i++)
            if (magnitude(&m.at(i, k)) > magnitude(&m.at(piv, k))) piv = i;
        if (coef_iszero(&m.at(piv, k)) || magnitude(&m.at(piv, k)) == 0) return false;
        for (int j = 0; j < n; j++) {
            std::swap(m.at(k, j), m.at(piv, j));
            std::swap(inv.at(k, j), inv.at(piv, j));
        }
        coef pk = copycoef(&m.at(k, k));
        for (int j = 0; j < n; j++) {
            m.set(k, j, coef_division(ctx, &m.at(k, j), 1, &pk, 1));
            inv.set(k, j, coef_division(ctx, &inv.at(k, j), 1, &pk, 1));
        }
        deletecoef(&pk);
        for (int i = 0; i < n; i++) {
            if (i == k || coef_iszero(&m.at(i, k))) continue;
            coef f = copycoef(&m.at(i, k));
            for (int j = 0; j < n; j++) {
                coef t = mulk(ctx, f, m.at(k, j));
                m.set(i, j, coef_soustraction(ctx, &m.at(i, j), 1, &t, 0));
                coef u = mulk(ctx, f, inv.at(k, j));
                inv.set(i, j, coef_soustraction(ctx, &inv.at(i, j), 1, &u, 0));
            }
            deletecoef(&f);
        }
    }
    return true;
}

template <class T, class GETRF, class GETRI>
bool inverse_lapack(std::vector<T>& a, int n, GETRF getrf, GETRI getri)
{
    std::vector<int> ipiv(n);
    int info = 0;
    getrf(&n, &n, a.data(), &n, ipiv.data(), &info);
    if (info < 0) kst_iceerror(1050, "matrix_inverse", info);
    if (info > 0) return false;
    int lwork = -1;
    T query{};
    getri(&n, a.data(), &n, ipiv.data(), &query, &lwork, &info);
    lwork = std::max(1, static_cast<int>(std::real(query)));
    std::vector<T> work(lwork);
    getri(&n, a.data(), &n, ipiv.data(), work.data(), &lwork, &info);
    if (info < 0) kst_iceerror(1050, "matrix_inverse", info);
    return info == 0;
}

} // namespace

t_tableau* matrix_inverse(t_cctx* ctx, const t_tableau* a)
{
    t_cmat m;
    if (!getmatrix(ctx, a, m, true, true)) return nullptr;
    const int n = m.rows;
    t_cmat inv(n, n);
    if (lapackmode(ctx) && !allexact(m)) {
        const bool cplx = anycomplex(m);
        std::vector<double> ad;
        std::vector<zdouble> az;
        bool ok = cplx ? inverse_lapack(az = tozdbl_colmajor(m), n, zgetrf_, zgetri_)
                       : inverse_lapack(ad = todbl_colmajor(m), n, dgetrf_, dgetri_);
        if (!ok) {
            kst_runerror(ctx, 278);
            return nullptr;
        }
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) {
                size_t q = static_cast<size_t>(j) * n + i;
                inv.set(i, j, cplx ? zdbl2c(az[q]) : dbl2c(ad[q]));
            }
    } else if (!inverse_gaussjordan(ctx, m, inv)) {
        kst_runerror(ctx, 278);
        return nullptr;
    }
    return fromcoefs(ctx, inv);
}

int compute_rank(t_cctx* ctx, const t_tableau* a)
{
    t_cmat m;
    if (!getmatrix(ctx, a, m, false, false)) return -1;
    const bool exact = allexact(m);
    double largest = 0;
    for (coef& c : m.v) largest = std::max(largest, magnitude(&c));
    double eps = 0;
    if (!exact) {
        eBHTypeCoef tag = modenum_gettabnumreel(ctx);
        coef e = getepsilon(ctx, tag);
        eps = coef_iszero(&e) ? 2.220446049250313e-16 : coef2dbl(&e);
        deletecoef(&e);
    }
    const double tol = exact ? 0 : std::max(m.rows, m.cols) * eps * largest;
    auto iszero = [&](coef& c) { return coef_iszero(&c) || (!exact && magnitude(&c) <= tol); };
    int rank = 0;
    for (int k = 0; k < m.cols && rank < m.rows; k++) {
        int piv = rank;
        for (int i = rank + 1; i < m.rows; i++)
            if (magnitude(&m.at(i, k)) > magnitude(&m.at(piv, k))) piv = i;
        if (iszero(m.at(piv, k))) continue;
        for (int j = 0; j < m.cols; j++) std::swap(m.at(rank, j), m.at(piv, j));
        for (int i = rank + 1; i < m.rows; i++) {
            if (coef_iszero(&m.at(i, k))) continue;
            coef f = coef_division(ctx, &m.at(i, k), 1, &m.at(rank, k), 1);
            for (int j = k; j < m.cols; j++) {
                coef t = mulk(ctx, f, m.at(rank, j));
                m.set(i, j, coef_soustraction(ctx, &m.at(i, j), 1, &t, 0));
            }
            deletecoef(&f);
        }
        rank++;
    }
    return rank;
}

// ---------------------------------------------------------------- eigen problems

namespace {

// The solver's return code as the user sees it.
bool eigen_status(int info, const char* caller)
{
    if (info == 0) return true;
    if (info < 0 && info != -4) kst_iceerror(1033, caller, info);
    kst_runerror(284);
    return false;
}

struct t_eigen {
    int n = 0;
    std::vector<coef> values;            // n numbers
    std::vector<coef> vectors;           // n x n row-major, column j for value j
    ~t_eigen()
    {
        for (coef& c : values) deletecoef(&c);
        for (coef& c : vectors) deletecoef(&c);
    }
};

// Real-matrix output of the geev family: conjugate pairs share two columns (real, imaginary).
template <class R, class MAKE>
void unpack_real(t_eigen& e, const std::vector<R>& wr, const std::vector<R>& wi, const std::vector<R>& vr,
                 bool wantvectors, MAKE make)
{
    const int n = e.n;
    for (int j = 0; j < n; j++) e.values[j] = make(wr[j], wi[j]);
    if (!wantvectors) return;
    for (int j = 0; j < n; j++) {
        for (int i = 0; i < n; i++) {
            size_t q = static_cast<size_t>(j) * n + i;
            R re, im;
            if (wi[j] == 0) re = vr[q], im = 0;
            else if (wi[j] > 0) re = vr[q], im = vr[q + n];
            else re = vr[q - n], im = -vr[q];
            e.vectors[static_cast<size_t>(i) * n + j] = make(re, im);
        }
    }
}

coef quad2c(__float128 re, __float128 im)
{
    if (im == 0) return coef_fromptr(quad_new(re), BH_QUAD);
    return coef_fromptr(zquad_new(re, im), BH_ZQUAD);
}

__float128 toquad(t_cctx* ctx, const coef* c, int part)
{
    if (coef_iszero(c)) return 0;
    mpfr_t r;
    mpfr_init2(r, 113);
    coefnum_get_fr(r, c, part, MPFR_RNDN);
    __float128 v = mpfr_get_float128(r, MPFR_RNDN);
    mpfr_clear(r);
    return v;
}

bool solve_double(t_cctx* ctx, t_cmat& m, t_eigen& e, bool wantvectors, const char* caller)
{
    const int n = m.rows;
    const char jobvl = 'N', jobvr = wantvectors ? 'V' : 'N';
    int info = 0, lwork = -1, one = 1;
    if (!anycomplex(m)) {
        std::vector<double> a = todbl_colmajor(m), wr(n), wi(n), vr(wantvectors ? static_cast<size_t>(n) * n : 1);
        double query = 0, vl = 0;
        const int ldvr = wantvectors ? n : 1;
        dgeev_(&jobvl, &jobvr, &n, a.data(), &n, wr.data(), wi.data(), &vl, &one, vr.data(), &ldvr, &query, &lwork, &info, 1, 1);
        lwork = std::max(1, static_cast<int>(query));
        std::vector<double> work(lwork);
        if (info == 0)
            dgeev_(&jobvl, &jobvr, &n, a.data(), &n, wr.data(), wi.data(), &vl, &one, vr.data(), &ldvr, work.data(), &lwork, &info, 1, 1);
        if (!eigen_status(info, caller)) return false;
        unpack_real(e, wr, wi, vr, wantvectors, [](double re, double im) { return zdbl2c(zdouble(re, im)); });
        return true;
    }
    std::vector<zdouble> a = tozdbl_colmajor(m), w(n), vr(wantvectors ? static_cast<size_t>(n) * n : 1);
    std::vector<double> rwork(2 * static_cast<size_t>(n));
    zdouble query, vl;
    const int ldvr = wantvectors ? n : 1;
    zgeev_(&jobvl, &jobvr, &n, a.data(), &n, w.data(), &vl, &one, vr.data(), &ldvr, &query, &lwork, rwork.data(), &info, 1, 1);
    lwork = std::max(1, static_cast<int>(query.real()));
    std::vector<zdouble> work(lwork);
    if (info == 0)
        zgeev_(&jobvl, &jobvr, &n, a.data(), &n, w.data(), &vl, &one, vr.data(), &ldvr, work.data(), &lwork, rwork.data(), &info, 1, 1);
    if (!eigen_status(info, caller)) return false;
    for (int j = 0; j < n; j++) {
        e.values[j] = zdbl2c(w[j]);
        if (wantvectors)
            for (int i = 0; i < n; i++) e.vectors[static_cast<size_t>(i) * n + j] = zdbl2c(vr[static_cast<size_t>(j) * n + i]);
    }
    return true;
}

bool solve_quad(t_cctx* ctx, t_cmat& m, t_eigen& e, bool wantvectors, const char* caller)
{
    const int n = m.rows;
    const char jobvl = 'N', jobvr = wantvectors ? 'V' : 'N';
    int info = 0, one = 1, lwork = 1;
    const int ldvr = wantvectors ? n : 1;
    if (!anycomplex(m)) {
        std::vector<__float128> a(static_cast<size_t>(n) * n), wr(n), wi(n), vr(wantvectors ? a.size() : 1);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) a[static_cast<size_t>(j) * n + i] = toquad(ctx, &m.at(i, j), 0);
        __float128 vl = 0, work = 0;
        qdgeev_(&jobvl, &jobvr, &n, a.data(), &n, wr.data(), wi.data(), &vl, &one, vr.data(), &ldvr, &work, &lwork, &info);
        if (!eigen_status(info, caller)) return false;
        unpack_real(e, wr, wi, vr, wantvectors, quad2c);
        return true;
    }
    std::vector<__complex128> a(static_cast<size_t>(n) * n), w(n), vr(wantvectors ? a.size() : 1);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            __complex128 z;
            __real__ z = toquad(ctx, &m.at(i, j), 0);
            __imag__ z = toquad(ctx, &m.at(i, j), 1);
            a[static_cast<size_t>(j) * n + i] = z;
        }
    __complex128 vl = 0, work = 0;
    std::vector<__float128> rwork(2 * static_cast<size_t>(n));
    qzgeev_(&jobvl, &jobvr, &n, a.data(), &n, w.data(), &vl, &one, vr.data(), &ldvr, &work, &lwork, rwork.data(), &info);
    if (!eigen_status(info, caller)) return false;
    for (int j = 0; j < n; j++) {
        e.values[j] = quad2c(__real__ w[j], __imag__ w[j]);
        if (wantvectors)
            for (int i = 0; i < n; i++) {
                __complex128 z = vr[static_cast<size_t>(j) * n + i];
                e.vectors[static_cast<size_t>(i) * n + j] = quad2c(__real__ z, __imag__ z);
            }
    }
    return true;
}

bool eigen(t_cctx* ctx, const t_tableau* a, t_eigen& e, bool wantvectors, const char* caller)
{
    t_cmat m;
    if (!getmatrix(ctx, a, m, true, false)) return false;
    e.n = m.rows;
    e.values.assign(e.n, coef{});
    e.vectors.assign(wantvectors ? static_cast<size_t>(e.n) * e.n : 0, coef{});
    if (e.n == 0) return true;
    return modenum_get(ctx) == NUMQUAD ? solve_quad(ctx, m, e, wantvectors, caller)
                                       : solve_double(ctx, m, e, wantvectors, caller);
}

t_tableau* values_array(t_cctx* ctx, t_eigen& e)
{
    t_tableau* out = creeinit_tab(e.n);
    for (int j = 0; j < e.n; j++) {
        out->init_elt_tab_idc(j, constant(ctx, e.values[j]));
        e.values[j] = coef{};
    }
    return out;
}

} // namespace

t_tableau* matrix_eigenvalues(t_cctx* ctx, const t_tableau* a)
{
    t_eigen e;
    if (!eigen(ctx, a, e, false, "matrix_eigenvalues")) return nullptr;
    return values_array(ctx, e);
}

t_tableau* matrix_eigenvector(t_cctx* ctx, const t_tableau* a, t_tableau** values)
{
    t_eigen e;
    if (!eigen(ctx, a, e, true, "matrix_eigenvector")) return nullptr;
    t_tableau* out = creeinit_tab2D(1, e.n, 1, e.n);
    for (long p = 0; p < out->Vsize(); p++) {
        out->init_elt_tab_idc(p, constant(ctx, e.vectors[p]));
        e.vectors[p] = coef{};
    }
    if (values) *values = values_array(ctx, e);
    return out;
}

// ---------------------------------------------------------------- rings

namespace {
template <class P>
bool allnumbers(const t_tableau* a, P pred)
{
    for (long p = 0; p < a->Vsize(); p++) {
        const t_idcommon* v = a->elt(p).getData();
        if (!v || v->Vgettypeenum() != IDTYPE_CONSTANTE) continue;
        if (!pred(&kst_constanterawvalue(v))) return false;
    }
    return true;
}
} // namespace

bool isringZ(const t_tableau* a)
{
    return allnumbers(a, [](const coef* c) {
        return coef_iszero(c) || (isexact(c) && !iscomplexcoef(c) && coef_vt(c).isentierlong(c)) || c->type == BH_INTMP;
    });
}
bool isringQ(const t_tableau* a)
{
    return allnumbers(a, [](const coef* c) { return isexact(c) && !iscomplexcoef(c); });
}
bool isringQI(const t_tableau* a)
{
    return allnumbers(a, [](const coef* c) { return isexact(c); });
}
