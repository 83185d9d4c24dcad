// Frequency analysis and Fourier transforms in the language: the _naf_* settings and their
// display, naf / naftab / naftab2 on vectors and data files, the saved solutions, fft and ifft,
// and the resonance searches freqa and freqareson.
#include "numeric/fft.h"
#include "numeric/naf.h"
#include "numeric/naflang.h"
#include "numeric/tableau.h"
#include "numeric/vecnumtyped.h"

#include "coef/coefnum.h"
#include "coef/modenum.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/idconstante.h"
#include "interp/ids.h"
#include "interp/kest.h"
#include "interp/keywords.h"
#include "interp/treeint.h"
#include "render/render.h"

#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

int g_kst_opt_naf[KST_NAF_NOPTIONS];

namespace {

// ---------------------------------------------------------------- settings

// The real settings live in their option slot as the bits of the double.
constexpr long dblbits(double x) { return std::bit_cast<long>(x); }
double dblofbits(long b) { return std::bit_cast<double>(b); }

enum { O_IPRT, O_ICPLX, O_IW, O_ISEC, O_DTOUR, O_NULIN, O_TOL, O_TP };
struct t_nafoption {
    const char* name;
    bool real;
    long lo, hi;
};
const t_nafoption k_options[KST_NAF_NOPTIONS] = {
    {"_naf_iprt", false, -1, 2}, {"_naf_icplx", false, 0, 1},      {"_naf_iw", false, -1, 1000},
    {"_naf_isec", false, 0, 1},  {"_naf_dtour", true, 0, 0},       {"_naf_nulin", false, 0, INT_MAX},
    {"_naf_tol", true, 0, 0},    {"_naf_tp", false, 0, INT_MAX},
};

long& optionslot(t_cctx* ctx, int which) { return kst_kctx(ctx).options[g_kst_opt_naf[which]]; }

void displayoption(t_cctx* ctx, int which)
{
    t_render* r = kst_cctx_getrender(ctx, g_stdout);
    const t_nafoption& o = k_options[which];
    const long v = kst_option(ctx, g_kst_opt_naf[which]);
    char value[64];
    if (o.real) snprintf(value, sizeof value, "%23.16E", dblofbits(v));
    else snprintf(value, sizeof value, "%ld", v);
    switch (r->getkind()) {
    case KST_RENDER_TEX: {
        std::string tex;
        for (const char* p = o.name; *p; p++) tex += *p == '_' ? std::string("\\_") : std::string(1, *p);
        r->Vformat("%s  &=&    %s\\\\\n", tex.c_str(), value);
        break;
    }
    case KST_RENDER_ML:
    case KST_RENDER_HTML: r->Vformat("<mtr><mtd>%s</mtd><mtd>=</mtd><mtd>%s</mtd></mtr>\n", o.name, value); break;
    default: r->Vformat("\t\t%-10s =    %s\n", o.name, value);
    }
}

// `_naf_x = v;` and `_naf_x;`: integers within their range, dtour any non-zero finite number,
// tol any finite number from 0; otherwise error 4 with the name.
int nafoption(t_cctx* ctx, int slot, treeabs* node, int which)
{
    const t_nafoption& o = k_options[which];
    const int form = tree_paraint(node, 0);
    if (form == TREE_OPTION_DISPLAY) {
        displayoption(ctx, which);
        return 0;
    }
    if (!o.real) {
        long v;
        if (kst_option_integer(ctx, slot, node, o.lo, o.hi, &v)) optionslot(ctx, which) = v;
        return 0;
    }
    if (form != TREE_OPTION_SET) {
        kst_runerror(ctx, 4, o.name);
        return 0;
    }
    tree_int(ctx, slot + 1, tree_child(node, 1));
    const t_idcommon* v = tree_flags(ctx) ? nullptr : tree_slot_value(ctx, slot + 1);
    if (v) v = const_cast<t_idcommon*>(v)->Vgetvalue();
    if (!tree_flags(ctx)) {
        double x = NAN;
        if (v && v->Vgettypeenum() == IDTYPE_CONSTANTE) {
            const coef& c = kst_constantevalue(ctx, const_cast<t_idcommon*>(v));
            if (coef_vt(&c).isreal(&c)) x = coef2dbl(&c);
        }
        const bool ok = std::isfinite(x) && (which == O_DTOUR ? x != 0 : x >= 0);
        if (ok) optionslot(ctx, which) = dblbits(x);
        else kst_runerror(ctx, 4, o.name);
    }
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}

template <int W>
int h_nafoption(t_cctx* ctx, int slot, treeabs* node)
{
    return nafoption(ctx, slot, node, W);
}

// ---------------------------------------------------------------- arguments

const t_vecnum* vectorof(const t_idcommon* v)
{
    if (v) v = const_cast<t_idcommon*>(v)->Vgetvalue();
    return v && v->Vgettypeenum() == IDTYPE_VECNUM ? static_cast<const t_vecnum*>(v) : nullptr;
}

// Messages name the vectors; a value computed in the call has no name of its own.
const char* nameof(const t_vecnum* v) { return *v->getName() ? v->getName() : "(value)"; }

// One argument evaluated into `slot` (left there until cleaned).
const t_idcommon* argument(t_cctx* ctx, int slot, treeabs* node, int i)
{
    treeabs* a = tree_child(node, i);
    if (!a) return nullptr;
    tree_int(ctx, slot, a);
    if (tree_flags(ctx)) return nullptr;
    const t_idcommon* v = tree_slot_value(ctx, slot);
    return v ? const_cast<t_idcommon*>(v)->Vgetvalue() : nullptr;
}

bool realargument(t_cctx* ctx, int slot, treeabs* node, int i, double* out)
{
    const t_idcommon* v = argument(ctx, slot, node, i);
    bool ok = false;
    if (v && v->Vgettypeenum() == IDTYPE_CONSTANTE) {
        const coef& c = kst_constantevalue(ctx, const_cast<t_idcommon*>(v));
        if (coef_vt(&c).isreal(&c)) {
            *out = coef2dbl(&c);
            ok = std::isfinite(*out);
        }
    }
    if (!ok && !tree_flags(ctx)) kst_runerror(ctx, 40);
    tree_run_cleanres(ctx, slot);
    return ok;
}

bool stringargument(t_cctx* ctx, int slot, treeabs* node, int i, std::string* out)
{
    tree_int(ctx, slot, tree_child(node, i));
    bool ok = !tree_flags(ctx) && tree_slot_string(ctx, slot, out);
    tree_run_cleanres(ctx, slot);
    return ok;
}

// The name an output argument gives its result: a plain name is required.
const char* targetname(t_cctx* ctx, treeabs* node, int i)
{
    treeabs* a = tree_child(node, i);
    if (!a || a->kind != TREE_SYMBOL) {
        kst_runerror(ctx, 368);
        return nullptr;
    }
    return tree_string(a, 0);
}

// The values of a vector as doubles (the real parts of a complex one).
std::vector<double> doublesof(t_cctx* ctx, const t_vecnum* v)
{
    std::vector<double> out(v->size());
    if (v->vecflag() == VECNUM_DBL) {
        const double* d = static_cast<const double*>(v->rawdata());
        out.assign(d, d + v->size());
        return out;
    }
    for (uint32_t i = 0; i < v->size(); i++) {
        coef c = v->data2coef(ctx, i);
        out[i] = c.type == BH_ZERO ? 0.0 : coef2zdbl(&c).re;
        deletecoef(&c);
    }
    return out;
}

t_vecnum* realvector(t_cctx* ctx, const std::vector<double>& x)
{
    t_vecnum* v = vecnum_createreal(ctx, "", static_cast<uint32_t>(x.size()));
    for (uint32_t i = 0; i < x.size(); i++) {
        coef c = coef_fromdbl(x[i]);
        v->coef2data(ctx, i, &c);
    }
    return v;
}

t_vecnum* complexvector(t_cctx* ctx, const std::vector<t_nafcplx>& z)
{
    t_vecnum* v = vecnum_createcplx(ctx, "", static_cast<uint32_t>(z.size()));
    for (uint32_t i = 0; i < z.size(); i++) {
        coef c{};
        c.z = complexe{z[i].real(), z[i].imag()};
        c.type = BH_ZDBL;
        v->coef2data(ctx, i, &c);
    }
    return v;
}

// ---------------------------------------------------------------- naf, naftab, naftab2

// Windows as a real vector of triples (low, high, count).
bool windowsof(t_cctx* ctx, const t_vecnum* w, const char* re, const char* im, std::vector<t_nafwindow>* out)
{
    std::vector<double> x = doublesof(ctx, w);
    bool ok = !x.empty() && x.size() % 3 == 0;
    long total = 0;
    for (size_t k = 0; ok && k < x.size(); k += 3) {
        const double n = x[k + 2];
        ok = std::isfinite(x[k]) && std::isfinite(x[k + 1]) && n >= 1 && n <= INT_MAX / 4 && n == std::floor(n);
        if (ok) {
            out->push_back({x[k], x[k + 1], static_cast<int>(n)});
            total += static_cast<long>(n);
        }
    }
    if (!ok || total > INT_MAX / 4) {
        kst_runerror(ctx, 324, static_cast<int>(x.size()), re, im);
        return false;
    }
    return true;
}

t_nafsettings settingsof(t_cctx* ctx)
{
    t_nafsettings s;
    auto opt = [&](int w) { return kst_option(ctx, g_kst_opt_naf[w]); };
    s.iprt = static_cast<int>(opt(O_IPRT));
    s.icplx = static_cast<int>(opt(O_ICPLX));
    s.iw = static_cast<int>(opt(O_IW));
    s.isec = static_cast<int>(opt(O_ISEC));
    s.dtour = dblofbits(opt(O_DTOUR));
    s.nulin = static_cast<int>(opt(O_NULIN));
    s.tol = dblofbits(opt(O_TOL));
    s.tp = static_cast<int>(opt(O_TP));
    return s;
}

// Results into the two named vectors; the number of terms found is the value of the call. The
// vector forms hand over vectors of at least `asked` entries (zeros after the terms found), so that
// a script indexing the terms it asked for does not fail when fewer were found; an analysis that
// found nothing, or more than it had room for, hands over empty vectors.
void deliver(t_cctx* ctx, int slot, const char* freqname, const char* ampname, std::vector<double> freq,
             std::vector<t_nafcplx> amp, long asked = 0)
{
    const long found = static_cast<long>(freq.size());
    if (found > 0 && found < asked) {
        freq.resize(static_cast<size_t>(asked), 0.0);
        amp.resize(static_cast<size_t>(asked), t_nafcplx(0.0, 0.0));
    }
    kst_assign(ctx, freqname, realvector(ctx, freq));
    kst_assign(ctx, ampname, complexvector(ctx, amp));
    tree_slot_setcoef(ctx, slot, coef_creenumlong_init(ctx, found));
}

// The number of terms a vector form asks for: the count given, or with windows the sum of their
// counts, each halved (rounding up) for a real signal whose terms come in conjugate pairs.
long termsasked(const t_nafsettings& set, long nterm, const std::vector<t_nafwindow>& windows)
{
    if (windows.empty()) return nterm;
    long asked = 0;
    for (const t_nafwindow& w : windows) asked += set.icplx ? w.count : (w.count + 1) / 2;
    return asked;
}

// naftab(n, re, im, freq, amp, t0, dt [, windows])
int naftab(t_cctx* ctx, int slot, treeabs* node)
{
    const int nargs = tree_paracount(node);
    if (nargs != 7 && nargs != 8) {
        kst_runerror(ctx, 53);
        return 0;
    }
    const t_nafsettings set = settingsof(ctx);
    long nterm = 0;
    tree_int(ctx, slot + 1, tree_child(node, 0));
    bool ok = !tree_flags(ctx) && tree_slot_integer(ctx, slot + 1, &nterm);
    tree_run_cleanres(ctx, slot + 1);
    if (!ok) return 0;
    const t_vecnum* re = vectorof(argument(ctx, slot + 1, node, 1));
    const t_vecnum* im = re ? vectorof(argument(ctx, slot + 2, node, 2)) : nullptr;
    const char* freqname = nullptr;
    const char* ampname = nullptr;
    double t0 = 0, dt = 0;
    std::vector<t_nafwindow> windows;
    if (!re || !im) {
        if (!tree_flags(ctx)) kst_runerror(ctx, 23);
    } else {
        const char* nre = nameof(re);
        const char* nim = nameof(im);
        if (set.icplx && re->size() != im->size()) {
            kst_runerror(ctx, 323, static_cast<int>(im->size()), nre, nim);
        } else if (nargs == 7 && (nterm < 1 || nterm > INT_MAX / 4)) {
            kst_runerror(ctx, 322, static_cast<int>(std::clamp<long>(nterm, INT_MIN, INT_MAX)), nre, nim);
        } else if ((freqname = targetname(ctx, node, 3)) && (ampname = targetname(ctx, node, 4)) &&
                   realargument(ctx, slot + 3, node, 5, &t0) && realargument(ctx, slot + 3, node, 6, &dt)) {
            if (!(dt != 0)) kst_runerror(ctx, 40);
            else if (nargs == 8) {
                const t_vecnum* w = vectorof(argument(ctx, slot + 3, node, 7));
                if (!w && !tree_flags(ctx)) kst_runerror(ctx, 324, 0, nre, nim);
                else if (w) windowsof(ctx, w, nre, nim, &windows);
                tree_run_cleanres(ctx, slot + 3);
            }
            if (!tree_flags(ctx)) {
                const std::vector<double> xr = doublesof(ctx, re);
                const std::vector<double> xi = set.icplx ? doublesof(ctx, im) : std::vector<double>();
                std::vector<double> freq;
                std::vector<t_nafcplx> amp;
                fflush(g_stdout);
                if (naf_process_samples(ctx, set, g_stdwarn, static_cast<int>(nterm), xr.data(),
                                        set.icplx ? xi.data() : nullptr, static_cast<long>(re->size()), t0, dt,
                                        windows, nre, nim, &freq, &amp))
                    deliver(ctx, slot, freqname, ampname, std::move(freq), std::move(amp),
                            termsasked(set, nterm, windows));
            }
        }
    }
    tree_run_cleanres(ctx, slot + 2);
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}

int h_naftab(t_cctx* ctx, int slot, treeabs* node) { return naftab(ctx, slot, node); }

// naf(n, "data", "solution"): the samples of a data file analysed, the solution written;
// naf("solution", freq, amp): a saved solution read back; otherwise the vector form of naftab.
int h_naf(t_cctx* ctx, int slot, treeabs* node)
{
    const int nargs = tree_paracount(node);
    treeabs* a0 = tree_child(node, 0);
    treeabs* a1 = tree_child(node, 1);
    if (nargs == 3 && a0 && a0->kind == TREE_STRING) {
        std::string file;
        const char* freqname = targetname(ctx, node, 1);
        const char* ampname = freqname ? targetname(ctx, node, 2) : nullptr;
        if (!ampname || !stringargument(ctx, slot + 1, node, 0, &file)) return 0;
        std::vector<double> freq;
        std::vector<t_nafcplx> amp;
        if (kst_issandbox()) kst_runerror(ctx, 301, file.c_str(), strerror(EACCES));
        else if (naf_loadsol(ctx, (std::string(kst_cctx_path(ctx)) + file).c_str(), &freq, &amp))
            deliver(ctx, slot, freqname, ampname, freq, amp);
        return 0;
    }
    if (nargs == 3 && a1 && a1->kind == TREE_STRING) {
        const t_nafsettings set = settingsof(ctx);
        long nterm = 0;
        tree_int(ctx, slot + 1, tree_child(node, 0));
        bool ok = !tree_flags(ctx) && tree_slot_integer(ctx, slot + 1, &nterm);
        tree_run_cleanres(ctx, slot + 1);
        std::string data, sol;
        if (!ok || !stringargument(ctx, slot + 1, node, 1, &data) || !stringargument(ctx, slot + 1, node, 2, &sol))
            return 0;
        if (kst_issandbox()) {
            kst_runerror(ctx, 301, data.c_str(), strerror(EACCES));
            return 0;
        }
        const std::string path = kst_cctx_path(ctx);
        std::vector<double> re, im, freq;
        std::vector<t_nafcplx> amp;
        double t0 = 0, dt = 1;
        if (!naf_readdata(ctx, (path + data).c_str(), set.nulin, set.icplx != 0, &re, &im, &t0, &dt)) return 0;
        if (nterm < 1 || nterm > INT_MAX / 4) {
            kst_runerror(ctx, 322, static_cast<int>(std::clamp<long>(nterm, INT_MIN, INT_MAX)), data.c_str(),
                         data.c_str());
            return 0;
        }
        fflush(g_stdout);
        if (naf_process_samples(ctx, set, g_stdwarn, static_cast<int>(nterm), re.data(), set.icplx ? im.data() : nullptr,
                                static_cast<long>(re.size()), t0, dt, {}, data.c_str(), data.c_str(), &freq, &amp)) {
            t_nafstate st;
            st.set = set;
            st.ktabs = static_cast<int>((re.size() - 1) / 6 * 6);
            st.xh = dt;
            st.t0 = t0;
            st.frefon = set.dtour / (st.ktabs * dt);
            st.nterm = static_cast<int>(nterm);
            st.nfs = static_cast<int>(freq.size());
            if (naf_savesol(ctx, (path + sol).c_str(), &st, freq, amp))
                tree_slot_setcoef(ctx, slot, coef_creenumlong_init(ctx, static_cast<long>(freq.size())));
        }
        return 0;
    }
    return naftab(ctx, slot, node);
}

// ---------------------------------------------------------------- fft, ifft

// fft(vr, vi, fr, fi [, dt, t0]) and ifft(fr, fi, vr, vi [, dt, t0]). Without the constants the
// forward transform is the plain sum Z_j = sum_k z_k exp(-2 pi i jk/n) and the inverse divides
// by n; with them the forward result approximates the continuous transform at
// omega_j = 2 pi j / (n dt): dt exp(-i omega_j t0) Z_j, which the inverse undoes.
// The frequency-side factor of the scaled forms: dt exp(-i omega_j t0) for the forward
// transform (applied after it), its inverse for the backward one (applied before it).
template <class T>
void frequencyfactor(std::vector<T>& d, size_t n, int sign, double dt, double t0)
{
    for (size_t j = 0; j < n; j++) {
        const double jj = j < n / 2 ? double(j) : double(j) - double(n);   // the signed bin
        const double ang = (sign < 0 ? -1 : 1) * 2 * M_PI * jj / (double(n) * dt) * t0;
        const T f = sign < 0 ? T(dt) : T(1) / T(dt);
        const T c = T(std::cos(ang)) * f, s = T(std::sin(ang)) * f;
        const T re = d[2 * j], im = d[2 * j + 1];
        d[2 * j] = re * c - im * s;
        d[2 * j + 1] = re * s + im * c;
    }
}

template <class T>
void transform(std::vector<T>& d, size_t n, int sign, bool scaled, double dt, double t0)
{
    if (scaled && sign > 0) frequencyfactor(d, n, sign, dt, t0);
    if constexpr (sizeof(T) == sizeof(double)) {
        const t_fftplan* plan = fftplan_create(n, sign);
        plan->execute(plan, d.data());
    } else {
        fft_radix2(d.data(), n, sign);
    }
    if (scaled && sign < 0) frequencyfactor(d, n, sign, dt, t0);
    if (sign > 0)
        for (T& x : d) x /= T(static_cast<double>(n));
}

// fft(T, F) and ifft(F, T): the transform of an array of numbers (real or complex) over all its
// dimensions, each a power of two, into an array of complex numbers of the same shape.
int arraytransform(t_cctx* ctx, int slot, treeabs* node, int sign)
{
    const t_idcommon* a = argument(ctx, slot + 1, node, 0);
    const char* out = a ? targetname(ctx, node, 1) : nullptr;
    if (!a || !out || a->Vgettypeenum() != IDTYPE_TABLEAU) {
        if (!tree_flags(ctx)) kst_runerror(ctx, 23);
        tree_run_cleanres(ctx, slot + 1);
        return 0;
    }
    const t_tableau* t = static_cast<const t_tableau*>(a);
    std::vector<size_t> dims;
    for (const list_dim_tab* d = t->dims(); d; d = d->next) dims.push_back(static_cast<size_t>(d->count));
    for (size_t k = 0; k < dims.size(); k++) {
        if (!fft_ispow2(dims[k])) {
            kst_runerror(ctx, 770, static_cast<int>(dims[k]), t->getName());
            tree_run_cleanres(ctx, slot + 1);
            return 0;
        }
    }
    const long n = t->Vsize();
    std::vector<double> d(2 * static_cast<size_t>(n));
    for (long p = 0; p < n; p++) {
        const t_idcommon* v = const_cast<t_tableau*>(t)->elt(p).getData();
        if (v) v = const_cast<t_idcommon*>(v)->Vgetvalue();
        if (!v || v->Vgettypeenum() != IDTYPE_CONSTANTE) {
            kst_runerror(ctx, 40);
            tree_run_cleanres(ctx, slot + 1);
            return 0;
        }
        const coef& c = kst_constantevalue(ctx, const_cast<t_idcommon*>(v));
        const complexe z = c.type == BH_ZERO ? complexe{0, 0} : coef2zdbl(&c);
        d[2 * p] = z.re;
        d[2 * p + 1] = z.im;
    }
    const t_fftplan* plan = fftplannd_create(dims, sign);
    plan->execute(plan, d.data());
    t_tableau* r = new t_tableau(*t);
    for (long p = 0; p < n; p++) {
        coef c{};
        const double f = sign > 0 ? 1.0 / static_cast<double>(n) : 1.0;
        c.z = complexe{d[2 * p] * f, d[2 * p + 1] * f};
        c.type = BH_ZDBL;
        if (c.z.im == 0) c = coefnum_fromdbl(c.z.re);
        r->init_elt_tab_idc(p, kst_newconstante(ctx, c));
    }
    tree_run_cleanres(ctx, slot + 1);
    kst_assign(ctx, out, r);
    return 0;
}

int fouriertransform(t_cctx* ctx, int slot, treeabs* node, int sign)
{
    const int nargs = tree_paracount(node);
    if (nargs == 2) return arraytransform(ctx, slot, node, sign);
    if (nargs != 4 && nargs != 6) {
        kst_runerror(ctx, 53);
        return 0;
    }
    const t_vecnum* vr = vectorof(argument(ctx, slot + 1, node, 0));
    const t_vecnum* vi = vr ? vectorof(argument(ctx, slot + 2, node, 1)) : nullptr;
    const char* outr = nullptr;
    const char* outi = nullptr;
    double dt = 1, t0 = 0;
    if (!vr || !vi) {
        if (!tree_flags(ctx)) kst_runerror(ctx, 23);
    } else if (vr->size() != vi->size()) {
        kst_runerror(ctx, 143, nameof(vr), nameof(vi));
    } else if (!fft_ispow2(vr->size())) {
        kst_runerror(ctx, 770, static_cast<int>(vr->size()), nameof(vr));
    } else if ((outr = targetname(ctx, node, 2)) && (outi = targetname(ctx, node, 3)) &&
               (nargs == 4 || (realargument(ctx, slot + 3, node, 4, &dt) && realargument(ctx, slot + 3, node, 5, &t0)))) {
        if (!(dt != 0)) {
            kst_runerror(ctx, 40);
        } else {
            const size_t n = vr->size();
            const bool quad = vr->VgeteBHType() == BH_QUAD || vi->VgeteBHType() == BH_QUAD ||
                              vecnum_flagreal_of_mode(kst_kctx(ctx).num.modenum) == VECNUM_QUAD;
            const bool scaled = nargs == 6;
            if (quad) {
                t_vecnum* qr = vecnum_convertcopy(ctx, vr, VECNUM_QUAD);
                t_vecnum* qi = vecnum_convertcopy(ctx, vi, VECNUM_QUAD);
                std::vector<__float128> d(2 * n);
                const __float128* pr = static_cast<const __float128*>(qr->rawdata());
                const __float128* pi = static_cast<const __float128*>(qi->rawdata());
                for (size_t k = 0; k < n; k++) d[2 * k] = pr[k], d[2 * k + 1] = pi[k];
                transform(d, n, sign, scaled, dt, t0);
                __float128* wr = static_cast<__float128*>(qr->rawdata());
                __float128* wi = static_cast<__float128*>(qi->rawdata());
                for (size_t k = 0; k < n; k++) wr[k] = d[2 * k], wi[k] = d[2 * k + 1];
                kst_assign(ctx, outr, qr);
                kst_assign(ctx, outi, qi);
            } else {
                std::vector<double> d(2 * n);
                const std::vector<double> xr = doublesof(ctx, vr), xi = doublesof(ctx, vi);
                for (size_t k = 0; k < n; k++) d[2 * k] = xr[k], d[2 * k + 1] = xi[k];
                transform(d, n, sign, scaled, dt, t0);
                std::vector<double> yr(n), yi(n);
                for (size_t k = 0; k < n; k++) yr[k] = d[2 * k], yi[k] = d[2 * k + 1];
                kst_assign(ctx, outr, realvector(ctx, yr));
                kst_assign(ctx, outi, realvector(ctx, yi));
            }
        }
    }
    tree_run_cleanres(ctx, slot + 2);
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}

int h_fft(t_cctx* ctx, int slot, treeabs* node) { return fouriertransform(ctx, slot, node, -1); }
int h_ifft(t_cctx* ctx, int slot, treeabs* node) { return fouriertransform(ctx, slot, node, 1); }

// ---------------------------------------------------------------- resonances

// Rows of integer combinations in an array [1..rows, 1..width] (empty without rows).
t_tableau* combinationarray(t_cctx* ctx, const std::vector<t_freqa_match>& rows, size_t width)
{
    if (rows.empty() || width == 0) return new t_tableau("");
    t_tableau* t = creeinit_tab2D(1, static_cast<int>(rows.size()), 1, static_cast<int>(width));
    for (size_t i = 0; i < rows.size(); i++)
        for (size_t j = 0; j < width; j++) {
            const long k = rows[i].k.empty() ? 0 : rows[i].k[j];
            t->init_elt_tab_idc(static_cast<long>(i * width + j), kst_newconstante(ctx, coef_creenumlong_init(ctx, k)));
        }
    return t;
}

bool kmaxargument(t_cctx* ctx, int slot, treeabs* node, int i, int m, long* kmax)
{
    tree_int(ctx, slot, tree_child(node, i));
    bool ok = !tree_flags(ctx) && tree_slot_integer(ctx, slot, kmax);
    tree_run_cleanres(ctx, slot);
    if (!ok) return false;
    // (2 kmax + 1)^m combinations: refused beyond 10^9 rather than run for hours.
    const double count = std::pow(2.0 * static_cast<double>(*kmax) + 1, m);
    if (*kmax < 0 || count > 1e9) {
        kst_runerror(ctx, 772, static_cast<int>(std::clamp<long>(*kmax, INT_MIN, INT_MAX)), m);
        return false;
    }
    return true;
}

// freqa(measured, base, kmax, tol, K, V, G): for each measured frequency the combination of the
// base frequencies (|k_j| <= kmax) nearest to it, when within tol: row i of the array K holds k,
// V[i] its value and G[i] the measured minus the value (K row 0, V and G NaN when none fits).
int h_freqa(t_cctx* ctx, int slot, treeabs* node)
{
    if (tree_paracount(node) != 7) {
        kst_runerror(ctx, 53);
        return 0;
    }
    const t_vecnum* meas = vectorof(argument(ctx, slot + 1, node, 0));
    const t_vecnum* base = meas ? vectorof(argument(ctx, slot + 2, node, 1)) : nullptr;
    long kmax = 0;
    double tol = 0;
    const char *nk = nullptr, *nv = nullptr, *ng = nullptr;
    if (!meas || !base) {
        if (!tree_flags(ctx)) kst_runerror(ctx, 23);
    } else if (kmaxargument(ctx, slot + 3, node, 2, static_cast<int>(base->size()), &kmax) &&
               realargument(ctx, slot + 3, node, 3, &tol) && (nk = targetname(ctx, node, 4)) &&
               (nv = targetname(ctx, node, 5)) && (ng = targetname(ctx, node, 6))) {
        const std::vector<double> m = doublesof(ctx, meas), b = doublesof(ctx, base);
        std::vector<t_freqa_match> found = freqa_find(ctx, m, b, static_cast<int>(kmax), tol, true);
        if (!tree_flags(ctx)) {
            std::vector<double> v(found.size()), g(found.size());
            for (size_t i = 0; i < found.size(); i++) {
                v[i] = found[i].k.empty() ? NAN : found[i].value;
                g[i] = found[i].k.empty() ? NAN : found[i].gap;
            }
            kst_assign(ctx, nk, combinationarray(ctx, found, b.size()));
            kst_assign(ctx, nv, realvector(ctx, v));
            kst_assign(ctx, ng, realvector(ctx, g));
        }
    }
    tree_run_cleanres(ctx, slot + 2);
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}

// freqareson(base, kmax, tol, K, V, O): the combinations k of the base frequencies (first
// non-zero entry positive, |k_j| <= kmax) whose value is within tol of 0, by increasing order
// sum |k_j|: rows of K, their values in V and orders in O.
int h_freqareson(t_cctx* ctx, int slot, treeabs* node)
{
    if (tree_paracount(node) != 6) {
        kst_runerror(ctx, 53);
        return 0;
    }
    const t_vecnum* base = vectorof(argument(ctx, slot + 1, node, 0));
    long kmax = 0;
    double tol = 0;
    const char *nk = nullptr, *nv = nullptr, *no = nullptr;
    if (!base) {
        if (!tree_flags(ctx)) kst_runerror(ctx, 23);
    } else if (kmaxargument(ctx, slot + 2, node, 1, static_cast<int>(base->size()), &kmax) &&
               realargument(ctx, slot + 2, node, 2, &tol) && (nk = targetname(ctx, node, 3)) &&
               (nv = targetname(ctx, node, 4)) && (no = targetname(ctx, node, 5))) {
        const std::vector<double> b = doublesof(ctx, base);
        std::vector<t_freqa_match> found = freqa_resonances(ctx, b, static_cast<int>(kmax), tol, true);
        if (!tree_flags(ctx)) {
            std::vector<double> v(found.size()), o(found.size());
            for (size_t i = 0; i < found.size(); i++) {
                v[i] = found[i].value;
                for (int k : found[i].k) o[i] += std::abs(k);
            }
            kst_assign(ctx, nk, combinationarray(ctx, found, b.size()));
            kst_assign(ctx, nv, realvector(ctx, v));
            kst_assign(ctx, no, realvector(ctx, o));
        }
    }
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}

} // namespace

void kst_naf_registerlanguage()
{
    // The settings take over the generic option handler: two of them are real numbers, and all
    // display in the analysis' own layout.
    static const t_treehandler options[KST_NAF_NOPTIONS] = {
        h_nafoption<0>, h_nafoption<1>, h_nafoption<2>, h_nafoption<3>,
        h_nafoption<4>, h_nafoption<5>, h_nafoption<6>, h_nafoption<7>,
    };
    for (int i = 0; i < KST_NAF_NOPTIONS; i++) kst_tree_setkeywordhandler(k_options[i].name, options[i]);
    static const struct { const char* keyword; t_treehandler h; } table[] = {
        {"naf", h_naf}, {"naftab", h_naftab}, {"naftab2", h_naftab}, {"fft", h_fft}, {"ifft", h_ifft},
        {"freqa", h_freqa}, {"freqareson", h_freqareson},
    };
    for (const auto& e : table) kst_tree_setkeywordhandler(e.keyword, e.h);
}
