// The double (tag 2): an IEEE double held inline in the coefficient's first word.
#include "coef/coefnum_impl.h"
#include "interp/error.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Zero is the coefficient with tag 0, so no constructor or operation returns a double 0 (nor -0):
// a product, a quotient or a function value that vanishes by underflow or exactly is tag 0.
coef mk(double v) { return v == 0.0 ? coef{} : coef_fromdbl(v); }

coef dbl_int(t_cctx*, int n) { return mk(n); }
coef dbl_ll(t_cctx*, long long n) { return mk((double)n); }
coef dbl_zint(t_cctx*, int re, int im)
{
    if (im == 0) return mk(re);
    coef c{};
    c.z = complexe{(double)re, (double)im};
    c.type = BH_ZDBL;
    return c;
}
coef dbl_dbl(t_cctx*, double v) { return mk(v); }
coef dbl_pi(t_cctx*) { return coef_fromdbl(M_PI); }
coef dbl_numden(t_cctx*, int n, int d) { return mk((double)n / (double)d); }
coef dbl_numdencplx(t_cctx*, long long rn, long long rd, long long in, long long id)
{
    double re = (double)rn / (double)rd, im = (double)in / (double)id;
    if (im == 0.0) return mk(re);
    coef c{};
    c.z = complexe{re, im};
    c.type = BH_ZDBL;
    return c;
}
coef dbl_str(t_cctx*, const char* s) { return mk(strtod(s, nullptr)); }

long long dbl_2ll(const coef* c) { return (long long)c->d; }
double dbl_2dbl(const coef* c) { return c->d; }
complexe dbl_2zdbl(const coef* c) { return complexe{c->d, 0.0}; }
char* dbl_2str(const coef* c)
{
    char buf[64];
    snprintf(buf, sizeof buf, "%.16G", c->d);
    return strdup(buf);
}
char* dbl_2strfmt(const char* fmt, const coef* c)
{
    char buf[128];
    snprintf(buf, sizeof buf, fmt, c->d);
    return strdup(buf);
}
coef dbl_float2rat(t_cctx*, coef* c, int keep)
{
    long p, q;
    double v = c->d;
    if (!keep) c->type = BH_ZERO;
    if (fractcont(v, &p, &q)) return ratovf_make(p, q);
    if (v == std::floor(v) && std::fabs(v) < 9.2e18) return ratovf_make((int64_t)v, 1);
    return coef_fromdbl(v);
}

coef dbl_copy(const coef* c) { return *c; }
void dbl_delete(coef* c) { c->type = BH_ZERO; }

// Inline operands: nothing to free; a handed-over operand just loses its tag.
inline void consume(coef* a, int ka, coef* b, int kb)
{
    if (!ka) a->type = BH_ZERO;
    if (!kb) b->type = BH_ZERO;
}
coef dbl_add(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    double r = a->d + b->d;
    consume(a, ka, b, kb);
    return mk(r);
}
coef dbl_sub(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    double r = a->d - b->d;
    consume(a, ka, b, kb);
    return mk(r);
}
coef dbl_mul(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    double r = a->d * b->d;
    consume(a, ka, b, kb);
    return mk(r);
}
coef dbl_div(t_cctx*, coef* a, int ka, coef* b, int kb)
{
    double r = a->d / b->d;
    consume(a, ka, b, kb);
    return mk(r);
}
int dbl_eq(const coef* a, const coef* b) { return a->d == b->d; }
int dbl_lt(const coef* a, const coef* b) { return a->d < b->d; }
int dbl_le(const coef* a, const coef* b) { return a->d <= b->d; }
int dbl_gt(const coef* a, const coef* b) { return a->d > b->d; }
int dbl_ge(const coef* a, const coef* b) { return a->d >= b->d; }
void dbl_fma(t_cctx* ctx, coef* acc, coef& b, int kb, coef& c, int kc, int)
{
    double p = b.d * c.d;
    consume(&b, kb, &c, kc);
    if (acc->type == BH_DBL) {
        acc->d += p;
        if (acc->d == 0.0) acc->type = BH_ZERO;
        return;
    }
    coef t = mk(p);
    *acc = coef_addition(ctx, acc, 0, &t, 0);
}

template <double (*F)(double)>
coef dbl_fn(t_cctx*, coef* a, int ka)
{
    double r = F(a->d);
    if (!ka) a->type = BH_ZERO;
    return mk(r);
}
double d_arg(double x) { return x < 0 ? M_PI : 0.0; }
double d_pent(double x) { return std::floor(x); }
double d_nint(double x) { return std::nearbyint(x); }
double d_cos(double x) { return std::cos(x); }
double d_sin(double x) { return std::sin(x); }
double d_tan(double x) { return std::tan(x); }
double d_acos(double x) { return std::acos(x); }
double d_asin(double x) { return std::asin(x); }
double d_atan(double x) { return std::atan(x); }
double d_cosh(double x) { return std::cosh(x); }
double d_sinh(double x) { return std::sinh(x); }
double d_tanh(double x) { return std::tanh(x); }
double d_acosh(double x) { return std::acosh(x); }
double d_asinh(double x) { return std::asinh(x); }
double d_atanh(double x) { return std::atanh(x); }
double d_exp(double x) { return std::exp(x); }
double d_log(double x) { return std::log(x); }
double d_log10(double x) { return std::log10(x); }
double d_sqrt(double x) { return std::sqrt(x); }
double d_abs(double x) { return std::fabs(x); }

coef dbl_neg(t_cctx*, coef* a, int ka)
{
    double r = -a->d;
    if (!ka) a->type = BH_ZERO;
    return mk(r);
}
coef dbl_powui(t_cctx*, coef* a, int ka, unsigned long n)
{
    double r = std::pow(a->d, (double)n);
    if (!ka) a->type = BH_ZERO;
    return mk(r);
}
coef dbl_exponentiation(t_cctx*, coef* a, int ka, coef* b, int kb)
{
    double r = std::pow(coef2dbl(a), coef2dbl(b));
    coefnum_release(a, ka);
    coefnum_release(b, kb);
    return mk(r);
}
int dbl_isentierlong(const coef* c) { return c->d == std::floor(c->d) && std::fabs(c->d) < 9.2233720368547758e18; }
int dbl_iszero(const coef* c) { return c->d == 0.0; }
int dbl_is1(const coef* c) { return c->d == 1.0; }
int dbl_isneg1(const coef* c) { return c->d == -1.0; }
coef dbl_clean(t_cctx*, coef* c, int keep, double eps)
{
    double v = c->d;
    if (!keep) c->type = BH_ZERO;
    return std::fabs(v) <= eps ? coef{} : coef_fromdbl(v);
}
void dbl_aff(t_cctx*, t_render* r, const coef* c, int affc) { coefaff_dbl(r, c->d, affc); }

int dbl_save(const coef*, FILE*) { return 1; }   // complete in the 32-byte record
int dbl_load(t_cctx*, coef*, FILE*) { return 1; }
int dbl_saveF(const coef* c, FILE* f) { return fprintf(f, "    %-+23.16E\n", c->d) > 0; }
int dbl_loadF(t_cctx*, coef* c, FILE* f)
{
    double v;
    if (fscanf(f, "%le\n", &v) != 1) return 0;
    *c = mk(v);
    return 1;
}

const double s_one = 1.0, s_zero = 0.0;

}  // namespace

void kst_coef_register_dbl()
{
    coefnum_install_common(BH_DBL, "", 8);
    coefvtable& v = g_kst_coef_vtable[BH_DBL];
    v.int2coef = dbl_int;
    v.ll2coef = dbl_ll;
    v.zint2coef = dbl_zint;
    v.dbl2coef = dbl_dbl;
    v.pi2coef = dbl_pi;
    v.numden2coef = dbl_numden;
    v.numdencplx2coef = dbl_numdencplx;
    v.strentierlong2coef = dbl_str;
    v.strreal2coef = dbl_str;
    v.coef2ll = dbl_2ll;
    v.coef2dbl = dbl_2dbl;
    v.coef2zdbl = dbl_2zdbl;
    v.coef2str = dbl_2str;
    v.coef2strfmt = dbl_2strfmt;
    v.float2rat = dbl_float2rat;
    v.copycoef = dbl_copy;
    v.deletecoef = dbl_delete;
    coefnum_install_arith<dbl_add, dbl_sub, dbl_mul, dbl_div>(BH_DBL);
    v.cmp_eq[BH_DBL] = dbl_eq;
    v.cmp_lt[BH_DBL] = dbl_lt;
    v.cmp_le[BH_DBL] = dbl_le;
    v.cmp_gt[BH_DBL] = dbl_gt;
    v.cmp_ge[BH_DBL] = dbl_ge;
    v.fmaccnotr[BH_DBL] = dbl_fma;
    v.neg = dbl_neg;
    v.power_ui = dbl_powui;
    v.exponentiation = dbl_exponentiation;
    t_coefnum_elemfuncs f{dbl_fn<d_cos>,   dbl_fn<d_sin>,   dbl_fn<d_tan>,  dbl_fn<d_acos>, dbl_fn<d_asin>,
                          dbl_fn<d_atan>,  dbl_fn<d_cosh>,  dbl_fn<d_sinh>, dbl_fn<d_tanh>, dbl_fn<d_acosh>,
                          dbl_fn<d_asinh>, dbl_fn<d_atanh>, dbl_fn<d_exp>,  dbl_fn<d_log>,  dbl_fn<d_log10>,
                          dbl_fn<d_arg>,   dbl_fn<d_sqrt>,  dbl_fn<d_abs>};
    coefnum_install_elemfuncs(BH_DBL, f);
    v.pent = dbl_fn<d_pent>;
    v.nint = dbl_fn<d_nint>;
    v.norm_inf = dbl_fn<d_abs>;
    v.isentierlong = dbl_isentierlong;
    v.iszero = dbl_iszero;
    v.cmp_egal_1 = dbl_is1;
    v.cmp_egal_neg1 = dbl_isneg1;
    v.clean_eps = dbl_clean;
    v.aff = v.aff_tex = v.aff_ml = dbl_aff;
    v.save = dbl_save;
    v.load = dbl_load;
    v.saveF = dbl_saveF;
    v.loadF = dbl_loadF;
    coefnum_set_constants(BH_DBL, &s_zero, &s_one, BH_DBL, BH_ZDBL);
}
