// Linear algebra on arrays: product and transpose, exact determinants, inverses checked against
// the identity, rank, and eigenvalues checked against polynomial roots and against the
// quadruple-precision solver.
#include <algorithm>
#include <cmath>

#include "tableautest.h"

namespace {

using zvec = std::vector<std::complex<double>>;

zvec eigen_sorted(const t_tableau* values)
{
    zvec out;
    for (long p = 0; p < values->Vsize(); p++) {
        complexe z = zat(values, p);
        out.emplace_back(z.re, z.im);
    }
    std::sort(out.begin(), out.end(), [](auto a, auto b) { return a.real() != b.real() ? a.real() < b.real() : a.imag() < b.imag(); });
    return out;
}

std::string exact(const t_idcommon* v)
{
    char* s = coef2str(&static_cast<const t_idconstante*>(v)->rawvalue());
    std::string out = s;
    free(s);
    return out;
}

TEST_F(TableauTest, ProductTransposeAndTrace)
{
    tabptr a = mkmat({{1, 2, 3}, {4, 5, 6}}), b = mkmat({{1, 0}, {0, 1}, {1, 1}});
    tabptr p(matrix_multiplication(tctx(), a.get(), 1, b.get(), 1));
    ASSERT_TRUE(p);
    EXPECT_EQ(shape(p.get()), (std::vector<int>{1, 2, 1, 1, 2, 1}));
    EXPECT_EQ(dbls(p.get()), (std::vector<double>{4, 5, 10, 11}));
    EXPECT_EQ(matrix_multiplication(tctx(), a.get(), 1, a.get(), 1), nullptr);
    expect_error(errtext(236));

    tabptr t(Vtransposematrix(tctx(), a.get()));
    EXPECT_EQ(shape(t.get()), (std::vector<int>{1, 3, 1, 1, 2, 1}));
    EXPECT_EQ(dbls(t.get()), (std::vector<double>{1, 4, 2, 5, 3, 6}));
    // (AB)^T = B^T A^T
    tabptr bt(Vtransposematrix(tctx(), b.get()));
    tabptr pt(Vtransposematrix(tctx(), p.get())), q(matrix_multiplication(tctx(), bt.get(), 1, t.get(), 1));
    EXPECT_TRUE(tableau_2cmpeq(tctx(), pt.get(), q.get()));

    idptr tr(Vtracematrix(tctx(), p.get()));
    EXPECT_EQ(tr->Vgetdbl(), 15);
    EXPECT_EQ(Vtracematrix(tctx(), a.get()), nullptr);
    expect_error(errtext(283, 2, 3));
    tabptr row = mkrow({1, 2});
    EXPECT_EQ(Vtracematrix(tctx(), row.get()), nullptr);
    expect_error(errtext(260));
}

TEST_F(TableauTest, DeterminantsOfIntegerMatricesAreExact)
{
    // 2^60 + 1 does not survive a double
    for (int mode : {NUMRATMP, NUMRAT, NUMDBL}) {
        kst_kctx(tctx()).num.modenum = mode;
        tabptr a = mkmat({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}});
        idptr d(matrix_det(tctx(), a.get()));
        EXPECT_EQ(d->Vgetdbl(), -3) << mode;
        EXPECT_TRUE(d->Visinteger()) << mode;
        tabptr sing = mkmat({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
        idptr z(matrix_det(tctx(), sing.get()));
        EXPECT_EQ(z->Vgetdbl(), 0) << mode;
    }
    kst_kctx(tctx()).num.modenum = NUMRATMP;
    tabptr big = mkmat({{1LL << 31, 1}, {-1, 1LL << 29}});
    idptr d(matrix_det(tctx(), big.get()));
    EXPECT_EQ(exact(d.get()), "1152921504606846977");
    // a zero leading pivot needs a row exchange (and a sign)
    tabptr swap = mkmat({{0, 1, 2}, {3, 4, 5}, {6, 7, 9}});
    idptr s(matrix_det(tctx(), swap.get()));
    EXPECT_EQ(exact(s.get()), "-3");

    tabptr rect = mkmat({{1, 2}});
    EXPECT_EQ(matrix_det(tctx(), rect.get()), nullptr);
    expect_error(errtext(283, 1, 2));
    tabptr stepped(creeinit_tab(IDTYPE_TABLEAU, "S", 2, cree_dim_tab(1, 3, 2, cree_dim_tab(1, 2, 1, nullptr))));
    EXPECT_EQ(matrix_det(tctx(), stepped.get()), nullptr);
    expect_error(errtext(262));
}

TEST_F(TableauTest, InverseTimesMatrixIsTheIdentity)
{
    auto check = [&](const t_tableau* a, double tol) {
        tabptr inv(matrix_inverse(tctx(), a));
        ASSERT_TRUE(inv);
        tabptr id(matrix_multiplication(tctx(), inv.get(), 1, const_cast<t_tableau*>(a), 1));
        const int n = a->dim(1)->count;
        for (long p = 0; p < id->Vsize(); p++) {
            complexe z = zat(id.get(), p);
            EXPECT_NEAR(z.re, p / n == p % n ? 1.0 : 0.0, tol) << p;
            EXPECT_NEAR(z.im, 0.0, tol) << p;
        }
    };
    tabptr hilbert(creeinit_tab2D(1, 4, 1, 4));
    for (long p = 0; p < 16; p++) hilbert->init_elt_tab_idc(p, mknum(1.0 / (p / 4 + p % 4 + 1)));
    tabptr a = mkdblmat({{4, -2, 1}, {3, 6, -4}, {2, 1, 8}});
    for (int mode : {NUMDBL, NUMQUAD}) {
        kst_kctx(tctx()).num.modenum = mode;
        check(a.get(), 1e-12);
        check(hilbert.get(), 1e-10);
    }
    kst_kctx(tctx()).num.modenum = NUMDBL;
    tabptr z(creeinit_tab2D(1, 2, 1, 2));
    const complexe entries[] = {{1, 1}, {2, 0}, {0, -1}, {3, 2}};
    for (long p = 0; p < 4; p++) {
        coef c{};
        c.z = entries[p];
        c.type = BH_ZDBL;
        z->init_elt_tab_idc(p, new t_idconstante(tctx(), "", c));
    }
    check(z.get(), 1e-12);

    // exact inverse: every element of A^-1 A is exactly 0 or 1
    kst_kctx(tctx()).num.modenum = NUMRATMP;
    tabptr e = mkmat({{2, 1}, {7, 4}});
    tabptr inv(matrix_inverse(tctx(), e.get()));
    EXPECT_EQ(exact(inv->elt(0).getData()), "4");
    EXPECT_EQ(exact(inv->elt(1).getData()), "-1");
    tabptr s = mkmat({{1, 2}, {2, 4}});
    EXPECT_EQ(matrix_inverse(tctx(), s.get()), nullptr);
    expect_error(errtext(278));
    kst_kctx(tctx()).num.modenum = NUMDBL;
    tabptr sd = mkdblmat({{1, 2}, {2, 4}});
    EXPECT_EQ(matrix_inverse(tctx(), sd.get()), nullptr);
    expect_error(errtext(278));
}

TEST_F(TableauTest, RankCountsIndependentRows)
{
    tabptr a = mkmat({{1, 2, 3}, {2, 4, 6}, {1, 0, 1}});
    EXPECT_EQ(compute_rank(tctx(), a.get()), 2);
    tabptr b = mkdblmat({{0.1, 0.2, 0.3}, {0.2, 0.4, 0.6}});   // rows equal up to rounding
    EXPECT_EQ(compute_rank(tctx(), b.get()), 1);
    tabptr c = mkmat({{1, 0}, {0, 1}, {1, 1}});
    EXPECT_EQ(compute_rank(tctx(), c.get()), 2);
    kst_kctx(tctx()).num.modenum = NUMRATMP;
    tabptr d = mkmat({{1, 2, 3}, {2, 4, 6}, {1, 0, 1}});
    EXPECT_EQ(compute_rank(tctx(), d.get()), 2);
    EXPECT_TRUE(isringZ(d.get()));
    EXPECT_TRUE(isringQ(d.get()));
}

// Companion matrix of x^n + c[n-1] x^(n-1) + ... + c[0].
tabptr companion(const std::vector<double>& c)
{
    const int n = static_cast<int>(c.size());
    std::vector<std::vector<double>> m(n, std::vector<double>(n, 0));
    for (int i = 1; i < n; i++) m[i][i - 1] = 1;
    for (int i = 0; i < n; i++) m[i][n - 1] = -c[i];
    return mkdblmat(m);
}

TEST_F(TableauTest, EigenvaluesOfACompanionMatrixAreThePolynomialRoots)
{
    // (x-1)(x-2)(x-3)(x^2+1) = x^5 - 6x^4 + 12x^3 - 12x^2 + 11x - 6
    tabptr a = companion({-6, 11, -12, 12, -6});
    const zvec roots = {{0, -1}, {0, 1}, {1, 0}, {2, 0}, {3, 0}};
    for (int mode : {NUMDBL, NUMQUAD}) {
        kst_kctx(tctx()).num.modenum = mode;
        tabptr v(matrix_eigenvalues(tctx(), a.get()));
        ASSERT_TRUE(v);
        zvec got = eigen_sorted(v.get());
        for (size_t k = 0; k < roots.size(); k++) EXPECT_LT(std::abs(got[k] - roots[k]), 1e-10) << mode << " " << k;
    }
}

TEST_F(TableauTest, EigenvectorsSatisfyTheirEquation)
{
    tabptr a = companion({-6, 11, -12, 12, -6});
    for (int mode : {NUMDBL, NUMQUAD}) {
        kst_kctx(tctx()).num.modenum = mode;
        t_tableau* rawvalues = nullptr;
        tabptr vec(matrix_eigenvector(tctx(), a.get(), &rawvalues));
        tabptr values(rawvalues);
        ASSERT_TRUE(vec && values);
        const int n = 5;
        for (int j = 0; j < n; j++) {
            complexe l = zat(values.get(), j);
            std::complex<double> lambda(l.re, l.im);
            double norm = 0, residual = 0;
            for (int i = 0; i < n; i++) {
                std::complex<double> av = 0;
                for (int k = 0; k < n; k++) {
                    complexe x = zat(vec.get(), k * n + j);
                    av += dblat(a.get(), i * n + k) * std::complex<double>(x.re, x.im);
                }
                complexe x = zat(vec.get(), i * n + j);
                residual = std::max(residual, std::abs(av - lambda * std::complex<double>(x.re, x.im)));
                norm += x.re * x.re + x.im * x.im;
            }
            EXPECT_NEAR(norm, 1.0, 1e-12) << mode << " " << j;
            EXPECT_LT(residual, 1e-10) << mode << " " << j;
        }
    }
    tabptr rect = mkmat({{1, 2, 3}});
    EXPECT_EQ(matrix_eigenvalues(tctx(), rect.get()), nullptr);
    expect_error(errtext(283, 1, 3));
}

TEST_F(TableauTest, QuadEigenvaluesAgreeWithDoubleOnesAndWithAnExactReference)
{
    // a non-symmetric matrix with complex pairs
    tabptr a = mkdblmat({{4, -1, 2, 0.5}, {1, 3, -2, 1}, {0.25, 2, 1, -3}, {1, 1, 1, 2}});
    kst_kctx(tctx()).num.modenum = NUMDBL;
    tabptr d(matrix_eigenvalues(tctx(), a.get()));
    kst_kctx(tctx()).num.modenum = NUMQUAD;
    tabptr q(matrix_eigenvalues(tctx(), a.get()));
    zvec zd = eigen_sorted(d.get()), zq = eigen_sorted(q.get());
    ASSERT_EQ(zd.size(), zq.size());
    for (size_t k = 0; k < zd.size(); k++) EXPECT_LT(std::abs(zd[k] - zq[k]), 1e-14 * 8) << k;
    EXPECT_NE(zq[0].imag(), 0.0);

    // tridiag(-1, 2, -1) of order n: 2 - 2cos(k pi / (n + 1)), compared in quadruple precision
    const int n = 12;
    std::vector<__float128> a2(n * n, 0);
    for (int i = 0; i < n; i++) {
        a2[i * n + i] = 2;
        if (i > 0) a2[i * n + i - 1] = a2[(i - 1) * n + i] = -1;
    }
    std::vector<__float128> wr(n), wi(n);
    int info = 0, one = 1, lwork = 1;
    __float128 work = 0, vl = 0;
    qdgeev_("N", "N", &n, a2.data(), &n, wr.data(), wi.data(), &vl, &one, &vl, &one, &work, &lwork, &info);
    ASSERT_EQ(info, 0);
    std::sort(wr.begin(), wr.end());
    for (int k = 1; k <= n; k++) {
        __float128 expected = 2 - 2 * cosq(k * M_PIq / (n + 1));
        EXPECT_LT(static_cast<double>(fabsq(wr[k - 1] - expected)), 1e-30) << k;
        EXPECT_EQ(static_cast<double>(wi[k - 1]), 0.0);
    }
    qdgeev_("V", "N", &n, a2.data(), &n, wr.data(), wi.data(), &vl, &one, &vl, &one, &work, &lwork, &info);
    EXPECT_EQ(info, -1);
}

TEST_F(TableauTest, ComplexMatricesAndRealEigenvaluesTakeTheMatchingSolvers)
{
    tabptr z(creeinit_tab2D(1, 3, 1, 3));
    const complexe entries[] = {{2, 1}, {0, -1}, {1, 0}, {1, 1}, {3, 0}, {0, 2}, {-1, 0}, {0.5, 0.5}, {1, -2}};
    std::vector<zvec> found;
    for (int mode : {NUMDBL, NUMQUAD}) {
        kst_kctx(tctx()).num.modenum = mode;
        for (long p = 0; p < 9; p++) {
            coef c{};
            c.z = entries[p];
            c.type = BH_ZDBL;
            z->init_elt_tab_idc(p, new t_idconstante(tctx(), "", c));
        }
        tabptr v(matrix_eigenvalues(tctx(), z.get()));
        ASSERT_TRUE(v);
        found.push_back(eigen_sorted(v.get()));
        // the eigenvalues sum to the trace
        std::complex<double> sum = 0;
        for (auto x : found.back()) sum += x;
        EXPECT_LT(std::abs(sum - std::complex<double>(6, -1)), 1e-13) << mode;
    }
    for (size_t k = 0; k < 3; k++) EXPECT_LT(std::abs(found[0][k] - found[1][k]), 1e-13) << k;

    // a symmetric matrix has real eigenvalues, delivered as real numbers
    tabptr s = mkdblmat({{2, 1, 0}, {1, 2, 1}, {0, 1, 2}});
    for (int mode : {NUMDBL, NUMQUAD}) {
        kst_kctx(tctx()).num.modenum = mode;
        tabptr v(matrix_eigenvalues(tctx(), s.get()));
        for (long p = 0; p < 3; p++) EXPECT_TRUE(v->elt(p).getData()->Visreal()) << mode << " " << p;
        zvec got = eigen_sorted(v.get());
        EXPECT_NEAR(got[0].real(), 2 - std::sqrt(2.0), 1e-14);
        EXPECT_NEAR(got[2].real(), 2 + std::sqrt(2.0), 1e-14);
    }
}

} // namespace
