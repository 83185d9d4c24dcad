// The complex double (tag 3, "COMPLEXE"): two doubles held inline in the coefficient.
#include "coef/coefnum_impl.h"

#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>

namespace {

using cd = std::complex<double>;
inline cd val(const coef* c) { return cd(c->z.re, c->z.im); }
coef mkz(cd v)
{
    coef c{};
    c.z = complexe{v.real(), v.imag()};
    c.type = BH_ZDBL;
    return c;
}
// Every result goes through mkz0: a complex zero, exact or by underflow, is tag 0.
coef mkz0(cd v) { return (v.real() == 0.0 && v.imag() == 0.0) ? coef{} : mkz(v); }
inline void consume(coef* a, int ka, coef* b, int kb)
{
    if (!ka) a->type = BH_ZERO;
    if (!kb) b->type = BH_ZERO;
}

coef z_int(t_cctx*, int n) { return mkz0(cd(n, 0)); }
coef z_ll(t_cctx*, long long n) { return mkz0(cd((double)n, 0)); }
coef z_zint(t_cctx*, int re, int im) { return mkz0(cd(re, im)); }
coef z_dbl(t_cctx*, double v) { return mkz0(cd(v, 0)); }
coef z_pi(t_cctx*) { return mkz(cd(M_PI, 0)); }
coef z_numden(t_cctx*, int n, int d) { return mkz0(cd((double)n / d, 0)); }
coef z_numdencplx(t_cctx*, long long rn, long long rd, long long in, long long id)
{
    return mkz0(cd((double)rn / (double)rd, (double)in / (double)id));
}
coef z_str(t_cctx*, const char* s) { return mkz0(cd(strtod(s, nullptr), 0)); }
long long z_2ll(const coef* c) { return (long long)c->z.re; }
double z_2dbl(const coef* c) { return c->z.re; }
complexe z_2zdbl(const coef* c) { return c->z; }
char* z_2strfmt(const char* fmt, const coef* c)
{
    char a[128], b[128], buf[300];
    snprintf(a, sizeof a, fmt, c->z.re);
    snprintf(b, sizeof b, fmt, c->z.im);
    snprintf(buf, sizeof buf, "%s %s", a, b);
    return strdup(buf);
}
char* z_2str(const coef* c) { return z_2strfmt("%.16G", c); }
coef z_copy(const coef* c) { return *c; }
void z_delete(coef* c) { c->type = BH_ZERO; }

coef z_add(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    cd r = val(a) + val(b);
    consume(a, ka, b, kb);
    return mkz0(r);
}
coef z_sub(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    cd r = val(a) - val(b);
    consume(a, ka, b, kb);
    return mkz0(r);
}
coef z_mul(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    cd r = val(a) * val(b);
    consume(a, ka, b, kb);
    return mkz0(r);
}
coef z_div(t_cctx*, coef* a, int ka, coef* b, int kb)
{
    cd r = val(a) / val(b);
    consume(a, ka, b, kb);
    return mkz0(r);
}
int z_eq(const coef* a, const coef* b) { return a->z.re == b->z.re && a->z.im == b->z.im; }

template <cd (*F)(cd)>
coef z_fn(t_cctx*, coef* a, int ka)
{
    cd r = F(val(a));
    if (!ka) a->type = BH_ZERO;
    return mkz0(r);
}
template <double (*F)(cd)>
coef z_realfn(t_cctx*, coef* a, int ka)
{
    double r = F(val(a));
    if (!ka) a->type = BH_ZERO;
    return r == 0.0 ? coef{} : coef_fromdbl(r);
}
cd f_cos(cd x) { return std::cos(x); }
cd f_sin(cd x) { return std::sin(x); }
cd f_tan(cd x) { return std::tan(x); }
cd f_acos(cd x) { return std::acos(x); }
cd f_asin(cd x) { return std::asin(x); }
cd f_atan(cd x) { return std::atan(x); }
cd f_cosh(cd x) { return std::cosh(x); }
cd f_sinh(cd x) { return std::sinh(x); }
cd f_tanh(cd x) { return std::tanh(x); }
cd f_acosh(cd x) { return std::acosh(x); }
cd f_asinh(cd x) { return std::asinh(x); }
cd f_atanh(cd x) { return std::atanh(x); }
cd f_exp(cd x) { return std::exp(x); }
cd f_log(cd x) { return std::log(x); }
cd f_log10(cd x) { return std::log10(x); }
cd f_sqrt(cd x) { return std::sqrt(x); }
double f_arg(cd x) { return std::arg(x); }
double f_abs(cd x) { return std::abs(x); }
double f_norminf(cd x) { return std::fmax(std::fabs(x.real()), std::fabs(x.imag())); }
coef z_neg(t_cctx*, coef* a, int ka)
{
    cd r = -val(a);
    if (!ka) a->type = BH_ZERO;
    return mkz0(r);
}
coef z_conj(t_cctx*, coef* a, int ka)
{
    cd r = std::conj(val(a));
    if (!ka) a->type = BH_ZERO;
    return mkz0(r);
}
coef z_powui(t_cctx*, coef* a, int ka, unsigned long n)
{
    cd x = val(a), r(1, 0);
    while (n) {   // repeated squaring keeps integer powers of Gaussian integers exact
        if (n & 1) r *= x;
        x *= x;
        n >>= 1;
    }
    if (!ka) a->type = BH_ZERO;
    return mkz0(r);
}
int z_iszero(const coef* c) { return c->z.re == 0.0 && c->z.im == 0.0; }
int z_is1(const coef* c) { return c->z.re == 1.0 && c->z.im == 0.0; }
int z_isneg1(const coef* c) { return c->z.re == -1.0 && c->z.im == 0.0; }
int z_isentierlong(const coef* c) { return c->z.im == 0.0 && c->z.re == std::floor(c->z.re) && std::fabs(c->z.re) < 9.2e18; }
coef z_clean(t_cctx*, coef* c, int keep, double eps)
{
    cd v = val(c);
    if (!keep) c->type = BH_ZERO;
    if (std::fabs(v.real()) <= eps) v.real(0.0);
    if (std::fabs(v.imag()) <= eps) v.imag(0.0);
    return mkz0(v);
}
void z_aff(t_cctx* ctx, t_render* r, const coef* c, int affc)
{
    coef re = coef_fromdbl(c->z.re), im = coef_fromdbl(std::fabs(c->z.im));
    coefaff_cplx(r, ctx, &re, &im, std::signbit(c->z.im), affc);
}
int z_save(const coef*, FILE*) { return 1; }
int z_load(t_cctx*, coef*, FILE*) { return 1; }
int z_saveF(const coef* c, FILE* f) { return fprintf(f, "    %-+23.16E  %-+23.16E\n", c->z.re, c->z.im) > 0; }
int z_loadF(t_cctx*, coef* c, FILE* f)
{
    double a, b;
    if (fscanf(f, "%le %le\n", &a, &b) != 2) return 0;
    *c = mkz0(cd(a, b));
    return 1;
}

const complexe s_one{1.0, 0.0}, s_zero{0.0, 0.0};

}  // namespace

void kst_coef_register_complexe()
{
    coefnum_install_common(BH_ZDBL, "COMPLEXE", 16);
    coefvtable& v = g_kst_coef_vtable[BH_ZDBL];
    v.int2coef = z_int;
    v.ll2coef = z_ll;
    v.zint2coef = z_zint;
    v.dbl2coef = z_dbl;
    v.pi2coef = z_pi;
    v.numden2coef = z_numden;
    v.numdencplx2coef = z_numdencplx;
    v.strentierlong2coef = z_str;
    v.strreal2coef = z_str;
    v.coef2ll = z_2ll;
    v.coef2dbl = z_2dbl;
    v.coef2zdbl = z_2zdbl;
    v.coef2str = z_2str;
    v.coef2strfmt = z_2strfmt;
    v.copycoef = z_copy;
    v.deletecoef = z_delete;
    coefnum_install_arith<z_add, z_sub, z_mul, z_div>(BH_ZDBL);
    v.cmp_eq[BH_ZDBL] = z_eq;
    v.neg = z_neg;
    v.conj = z_conj;
    v.power_ui = z_powui;
    t_coefnum_elemfuncs f{z_fn<f_cos>,   z_fn<f_sin>,   z_fn<f_tan>,   z_fn<f_acos>,  z_fn<f_asin>,
                          z_fn<f_atan>,  z_fn<f_cosh>,  z_fn<f_sinh>,  z_fn<f_tanh>,  z_fn<f_acosh>,
                          z_fn<f_asinh>, z_fn<f_atanh>, z_fn<f_exp>,   z_fn<f_log>,   z_fn<f_log10>,
                          z_realfn<f_arg>, z_fn<f_sqrt>, z_realfn<f_abs>};
    coefnum_install_elemfuncs(BH_ZDBL, f);
    v.norm_inf = z_realfn<f_norminf>;
    v.iszero = z_iszero;
    v.cmp_egal_1 = z_is1;
    v.cmp_egal_neg1 = z_isneg1;
    v.isentierlong = z_isentierlong;
    v.clean_eps = z_clean;
    v.aff = v.aff_tex = v.aff_ml = z_aff;
    v.save = z_save;
    v.load = z_load;
    v.saveF = z_saveF;
    v.loadF = z_loadF;
    coefnum_set_constants(BH_ZDBL, &s_zero, &s_one, BH_DBL, BH_ZDBL);
}
