// Quadruple-precision eigenvalues and right eigenvectors behind the argument lists of dgeev and
// zgeev. Real matrices go through the complex algorithm too: one code path to trust, and the
// conjugate pairs are matched up afterwards into the real output layout.
#include <cstring>
#include <vector>

#include "numeric/linalg.h"

namespace {

using cq = __complex128;
using rq = __float128;

rq cabs1(cq z) { return cabsq(z); }
cq mkc(rq re, rq im)
{
    cq z;
    __real__ z = re;
    __imag__ z = im;
    return z;
}

struct t_qmat {
    int n;
    std::vector<cq> a;   // row-major
    explicit t_qmat(int size) : n(size), a(static_cast<size_t>(size) * size, mkc(0, 0)) {}
    cq& operator()(int i, int j) { return a[static_cast<size_t>(i) * n + j]; }
};

// Householder reduction to upper Hessenberg form, H = Z^H A Z, Z accumulated.
void hessenberg(t_qmat& h, t_qmat& z)
{
    const int n = h.n;
    std::vector<cq> v(n);
    for (int k = 0; k + 2 < n; k++) {
        rq norm = 0;
        for (int i = k + 1; i < n; i++) norm += __real__(h(i, k) * conjq(h(i, k)));
        norm = sqrtq(norm);
        if (norm == 0) continue;
        cq x0 = h(k + 1, k);
        rq ax0 = cabs1(x0);
        cq phase = ax0 == 0 ? mkc(1, 0) : x0 / ax0;
        cq alpha = -phase * norm;
        rq vnorm = 0;
        for (int i = k + 1; i < n; i++) {
            v[i] = h(i, k) - (i == k + 1 ? alpha : mkc(0, 0));
            vnorm += __real__(v[i] * conjq(v[i]));
        }
        vnorm = sqrtq(vnorm);
        if (vnorm == 0) continue;
        for (int i = k + 1; i < n; i++) v[i] /= vnorm;
        // H := (I - 2vv^H) H (I - 2vv^H), Z := Z (I - 2vv^H)
        for (int j = 0; j < n; j++) {
            cq s = 0;
            for (int i = k + 1; i < n; i++) s += conjq(v[i]) * h(i, j);
            for (int i = k + 1; i < n; i++) h(i, j) -= 2 * v[i] * s;
        }
        auto right = [&](t_qmat& m) {
            for (int i = 0; i < n; i++) {
                cq s = 0;
                for (int j = k + 1; j < n; j++) s += m(i, j) * v[j];
                for (int j = k + 1; j < n; j++) m(i, j) -= 2 * s * conjq(v[j]);
            }
        };
        right(h);
        right(z);
        for (int i = k + 2; i < n; i++) h(i, k) = 0;
    }
}

// Shifted QR iterations on the Hessenberg matrix until it is upper triangular (the Schur form),
// every rotation accumulated into Z. 0, or the 1-based index of the eigenvalue that did not
// converge.
int schur(t_qmat& h, t_qmat& z)
{
    const int n = h.n;
    const rq eps = FLT128_EPSILON;
    rq hnorm = 0;
    for (const cq& x : h.a) hnorm = fmaxq(hnorm, cabs1(x));
    if (hnorm == 0) return 0;
    std::vector<cq> cs(n), sn(n);
    int hi = n - 1, iter = 0;
    while (hi > 0) {
        int l = hi;
        for (; l > 0; l--) {
            rq scale = cabs1(h(l - 1, l - 1)) + cabs1(h(l, l));
            if (scale == 0) scale = hnorm;
            if (cabs1(h(l, l - 1)) <= eps * scale) {
                h(l, l - 1) = 0;
                break;
            }
        }
        if (l == hi) {
            hi--;
            iter = 0;
            continue;
        }
        if (++iter > 60) return hi + 1;
        cq mu;
        if (iter % 11 == 0) {
            // an exceptional shift breaks the rare cycles of the Wilkinson shift
            mu = h(hi, hi) + mkc(cabs1(h(hi, hi - 1)) * 0.75Q, 0);
        } else {
            cq a = h(hi - 1, hi - 1), b = h(hi - 1, hi), c = h(hi, hi - 1), d = h(hi, hi);
            cq half = (a - d) / 2;
            cq root = csqrtq(half * half + b * c);
            cq m1 = d - b * c / (half + root), m2 = d - b * c / (half - root);
            bool ok1 = cabs1(half + root) != 0, ok2 = cabs1(half - root) != 0;
            if (ok1 && (!ok2 || cabs1(m1 - d) <= cabs1(m2 - d))) mu = m1;
            else if (ok2) mu = m2;
            else mu = d;
        }
        for (int k = l; k <= hi; k++) h(k, k) -= mu;
        for (int k = l; k < hi; k++) {
            cq x = h(k, k), y = h(k + 1, k);
            rq r = hypotq(cabs1(x), cabs1(y));
            cq c = r == 0 ? mkc(1, 0) : x / r, s = r == 0 ? mkc(0, 0) : y / r;
            cs[k] = c;
            sn[k] = s;
            for (int j = k; j < n; j++) {
                cq u = h(k, j), w = h(k + 1, j);
                h(k, j) = conjq(c) * u + conjq(s) * w;
                h(k + 1, j) = -s * u + c * w;
            }
        }
        for (int k = l; k < hi; k++) {
            cq c = cs[k], s = sn[k];
            const int last = k + 2 < hi ? k + 2 : hi;
            for (int i = 0; i <= last; i++) {
                cq u = h(i, k), w = h(i, k + 1);
                h(i, k) = u * c + w * s;
                h(i, k + 1) = -u * conjq(s) + w * conjq(c);
            }
            for (int i = 0; i < n; i++) {
                cq u = z(i, k), w = z(i, k + 1);
                z(i, k) = u * c + w * s;
                z(i, k + 1) = -u * conjq(s) + w * conjq(c);
            }
        }
        for (int k = l; k <= hi; k++) h(k, k) += mu;
    }
    return 0;
}

// Right eigenvectors of the triangular T, taken back through Z; Euclidean norm 1, largest
// component real and positive. Column k of the result belongs to T(k, k).
void eigenvectors(t_qmat& t, t_qmat& z, t_qmat& out)
{
    const int n = t.n;
    rq tnorm = 0;
    for (const cq& x : t.a) tnorm = fmaxq(tnorm, cabs1(x));
    const rq smin = fmaxq(FLT128_EPSILON * tnorm, FLT128_MIN);
    std::vector<cq> x(n);
    for (int k = 0; k < n; k++) {
        const cq lambda = t(k, k);
        for (int i = 0; i < n; i++) x[i] = 0;
        x[k] = 1;
        for (int i = k - 1; i >= 0; i--) {
            cq s = 0;
            for (int j = i + 1; j <= k; j++) s += t(i, j) * x[j];
            cq d = t(i, i) - lambda;
            if (cabs1(d) < smin) d = smin;
            x[i] = -s / d;
        }
        rq norm = 0;
        int big = 0;
        std::vector<cq> v(n, mkc(0, 0));
        for (int i = 0; i < n; i++) {
            for (int j = 0; j <= k; j++) v[i] += z(i, j) * x[j];
            norm += __real__(v[i] * conjq(v[i]));
            if (cabs1(v[i]) > cabs1(v[big])) big = i;
        }
        norm = sqrtq(norm);
        cq scale = norm == 0 ? mkc(1, 0) : conjq(v[big]) / (cabs1(v[big]) * norm);
        for (int i = 0; i < n; i++) out(i, k) = v[i] * scale;
    }
}

// The complex problem on a column-major matrix: eigenvalues w, vectors into out when asked.
int solve(int n, const cq* a, int lda, cq* w, t_qmat* vectors)
{
    t_qmat h(n), z(n);
    for (int i = 0; i < n; i++) {
        z(i, i) = 1;
        for (int j = 0; j < n; j++) h(i, j) = a[static_cast<size_t>(j) * lda + i];
    }
    hessenberg(h, z);
    int info = schur(h, z);
    if (info) return info;
    for (int k = 0; k < n; k++) w[k] = h(k, k);
    if (vectors) eigenvectors(h, z, *vectors);
    return 0;
}

int checkargs(const char* jobvl, const char* jobvr, const int* n, const int* lda, const int* ldvr)
{
    if (*jobvl != 'N' && *jobvl != 'n') return -1;
    if (*jobvr != 'N' && *jobvr != 'n' && *jobvr != 'V' && *jobvr != 'v') return -2;
    if (*n < 0) return -3;
    if (*lda < (*n > 1 ? *n : 1)) return -5;
    bool want = *jobvr == 'V' || *jobvr == 'v';
    if (*ldvr < 1 || (want && *ldvr < *n)) return -11;
    return 0;
}

} // namespace

extern "C" void qzgeev_(const char* jobvl, const char* jobvr, const int* n, __complex128* a, const int* lda,
                        __complex128* w, __complex128*, const int*, __complex128* vr, const int* ldvr,
                        __complex128* work, const int* lwork, __float128*, int* info)
{
    *info = checkargs(jobvl, jobvr, n, lda, ldvr);
    if (*info) return;
    if (*lwork == -1) {
        work[0] = 1;
        return;
    }
    const bool want = *jobvr == 'V' || *jobvr == 'v';
    t_qmat vec(*n);
    *info = solve(*n, a, *lda, w, want ? &vec : nullptr);
    if (*info || !want) return;
    for (int j = 0; j < *n; j++)
        for (int i = 0; i < *n; i++) vr[static_cast<size_t>(j) * *ldvr + i] = vec(i, j);
}

extern "C" void qdgeev_(const char* jobvl, const char* jobvr, const int* n, __float128* a, const int* lda,
                        __float128* wr, __float128* wi, __float128*, const int*, __float128* vr, const int* ldvr,
                        __float128* work, const int* lwork, int* info)
{
    *info = checkargs(jobvl, jobvr, n, lda, ldvr);
    if (*info) return;
    if (*lwork == -1) {
        work[0] = 1;
        return;
    }
    const int size = *n;
    const bool want = *jobvr == 'V' || *jobvr == 'v';
    std::vector<cq> ac(static_cast<size_t>(size) * size), w(size);
    rq anorm = 0;
    for (int j = 0; j < size; j++)
        for (int i = 0; i < size; i++) {
            ac[static_cast<size_t>(j) * size + i] = mkc(a[static_cast<size_t>(j) * *lda + i], 0);
            anorm = fmaxq(anorm, fabsq(a[static_cast<size_t>(j) * *lda + i]));
        }
    t_qmat vec(size);
    *info = solve(size, ac.data(), size, w.data(), want ? &vec : nullptr);
    if (*info) return;
    // Values whose imaginary part is rounding noise are real; the others are matched with their
    // nearest conjugate and written as a pair, positive imaginary part first.
    const rq noise = 1024 * FLT128_EPSILON * (anorm > 0 ? anorm : 1);
    std::vector<char> used(size, 0);
    int out = 0;
    auto putcolumn = [&](int col, int k, bool imagpart) {
        for (int i = 0; i < size; i++)
            vr[static_cast<size_t>(col) * *ldvr + i] = imagpart ? cimagq(vec(i, k)) : crealq(vec(i, k));
    };
    for (int k = 0; k < size && out < size; k++) {
        if (used[k]) continue;
        used[k] = 1;
        if (fabsq(cimagq(w[k])) <= noise) {
            wr[out] = crealq(w[k]);
            wi[out] = 0;
            if (want) {
                putcolumn(out, k, false);
                rq norm = 0;
                for (int i = 0; i < size; i++) norm += vr[static_cast<size_t>(out) * *ldvr + i] * vr[static_cast<size_t>(out) * *ldvr + i];
                norm = sqrtq(norm);
                if (norm > 0)
                    for (int i = 0; i < size; i++) vr[static_cast<size_t>(out) * *ldvr + i] /= norm;
            }
            out++;
            continue;
        }
        int partner = -1;
        for (int m = k + 1; m < size; m++)
            if (!used[m] && (partner < 0 || cabs1(w[m] - conjq(w[k])) < cabs1(w[partner] - conjq(w[k])))) partner = m;
        if (partner < 0 || out + 1 >= size) {
            *info = k + 1;   // a lone complex value cannot come from a real matrix
            return;
        }
        used[partner] = 1;
        const int up = cimagq(w[k]) > 0 ? k : partner;
        const rq re = (crealq(w[k]) + crealq(w[partner])) / 2;
        const rq im = fabsq(cimagq(w[up]));
        wr[out] = re;
        wi[out] = im;
        wr[out + 1] = re;
        wi[out + 1] = -im;
        if (want) {
            putcolumn(out, up, false);
            putcolumn(out + 1, up, true);
        }
        out += 2;
    }
}
