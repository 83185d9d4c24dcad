// Printing of numbers: the `_affc` formats of doubles with the continued-fraction test, and the
// dialect-dependent shapes (fraction, complex pair) that every number type reuses.
#include "coef/coefaff.h"
#include "coef/coefnum_impl.h"
#include "interp/roomapi.h"
#include "interp/error.h"
#include "render/render.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

// Continued-fraction approximation of x by p/q with q below 100000 (see coefaff.h).
bool fractcont(double x, long* num, long* den)
{
    const double ax = std::fabs(x);
    const double bound = std::nextafter(100000.0, 0.0);
    double a0 = std::floor(ax);
    double r = ax - a0;
    double h = a0, k = 1.0, hp = 1.0, kp = 0.0;
    while (std::fabs(r) > 1e-13 && std::fabs(k) <= bound) {
        double t = 1.0 / r;
        double a = std::floor(t);
        double hn = a * h + hp, kn = a * k + kp;
        hp = h;
        kp = k;
        h = hn;
        k = kn;
        r = t - a;
    }
    if (std::fabs(k) > bound) {
        h = hp;
        k = kp;
    }
    if (k == 0.0 || std::fabs(h / k - ax) > 1e-12 || h > 2147483647.0 || k > 2147483647.0 || k == 1.0)
        return false;
    *num = x < 0 ? -(long)h : (long)h;
    *den = (long)k;
    return true;
}

int sortie_fact_std(int affc, char* buf, size_t size, double v)
{
    long p, q;
    switch (affc) {
    case 1: return snprintf(buf, size, "%G", v);
    case 2: return snprintf(buf, size, "%.8G", v);
    case 3: return snprintf(buf, size, "%.10G", v);
    case 4: return snprintf(buf, size, "%23.16G", v);
    case 5: return fractcont(v, &p, &q) ? snprintf(buf, size, "%ld/%ld", p, q) : snprintf(buf, size, "%.8G", v);
    case 6: return fractcont(v, &p, &q) ? snprintf(buf, size, "%ld/%ld", p, q) : snprintf(buf, size, "%.16G", v);
    case 7:
        return fractcont(v, &p, &q) ? snprintf(buf, size, "%6ld/%-6ld", p, q) : snprintf(buf, size, "%13.8G", v);
    case 8:
    case 9: return snprintf(buf, size, "%15.6E", v);
    default: kst_iceerror(1028, "sortie_fact_std", affc);
    }
}

namespace {
bool is_tex(t_render* r) { return r->getkind() == KST_RENDER_TEX; }
bool is_ml(t_render* r) { return r->getkind() == KST_RENDER_ML || r->getkind() == KST_RENDER_HTML; }
}  // namespace

void coefaff_text(t_render* r, const char* text)
{
    if (is_ml(r)) r->Vformat("<mn>%s</mn>", text);
    else r->Vrender_unsafe(text);
}

void coefaff_frac(t_render* r, const char* num, const char* den, bool aligned)
{
    if (is_tex(r)) {
        if (aligned) r->Vformat("\\frac{%6s}{%-6s}", num, den);
        else r->Vformat("\\frac{%s}{%s}", num, den);
    } else if (is_ml(r)) {
        r->Vformat("<mfrac><mn>%s</mn><mn>%s</mn></mfrac>", num, den);
    } else {
        if (aligned) r->Vformat("%6s/%-6s", num, den);
        else r->Vformat("%s/%s", num, den);
    }
}

void coefaff_dbl(t_render* r, double v, int affc)
{
    long p, q;
    if ((affc >= 5 && affc <= 7) && (is_tex(r) || is_ml(r)) && fractcont(v, &p, &q)) {
        char a[32], b[32];
        snprintf(a, sizeof a, "%ld", p);
        snprintf(b, sizeof b, "%ld", q);
        coefaff_frac(r, a, b, affc == 7);
        return;
    }
    char buf[64];
    sortie_fact_std(affc, buf, sizeof buf, v);
    coefaff_text(r, buf);
}

void coefaff_cplx(t_render* r, t_cctx* ctx, const coef* re, const coef* imabs, bool imneg, int affc)
{
    r->Vmathparenthese_begin();
    coef_aff(ctx, r, re, affc);
    if (is_tex(r)) r->Vrender_unsafe(imneg ? " - " : "+");
    else if (is_ml(r)) r->Vformat("<mo>%s</mo>", imneg ? "-" : "+");
    else r->Vrender_unsafe(imneg ? "-i*" : "+i*");
    coef_aff(ctx, r, imabs, affc);
    if (is_tex(r)) r->Vrender_unsafe(" \\imath ");
    else if (is_ml(r)) r->Vrender_unsafe("<mi>&#x2148;</mi>");
    r->Vmathparenthese_end();
}

void coef_aff(t_cctx* ctx, t_render* r, const coef* c, int affc)
{
    if (c->type < 0) {
        r->Vrender_unsafe("invalid");
        return;
    }
    const coefvtable& v = coef_vt(c);
    if (is_tex(r)) v.aff_tex(ctx, r, c, affc);
    else if (is_ml(r)) v.aff_ml(ctx, r, c, affc);
    else v.aff(ctx, r, c, affc);
}

char* coef_affstr(t_cctx* ctx, const coef* c, int affc)
{
    char* buf = nullptr;
    size_t len = 0;
    FILE* mem = open_memstream(&buf, &len);
    t_renderstd r;
    r.setstreams(mem, mem);
    coef_aff(ctx, &r, c, affc);
    fclose(mem);
    return buf;
}

void coefaff_cplx_generic(t_cctx* ctx, t_render* r, const coef* c, int affc)
{
    eBHTypeCoef rt = gc_BHReel[coef_tag(c)];
    coef re = coefnum_build(ctx, rt, c, 0, -1, false);
    coef im = coefnum_build(ctx, rt, c, 1, -1, false);
    bool neg = false;
    if (!coefnum_isinterval(rt) && im.type != BH_ZERO && coef_cmp_lt(&im, &gc_0)) {
        neg = true;
        im = coef_neg(ctx, &im, 0);
    }
    coefaff_cplx(r, ctx, &re, &im, neg, affc);
    deletecoef(&re);
    deletecoef(&im);
}
