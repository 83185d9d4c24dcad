// Functions of the core language with an argument list of their own: atan2 of numbers (vectors
// and arrays reach it through the operation table), random numbers, and file_readmsg.
#include "coef/modenum.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/idconstante.h"
#include "interp/ids.h"
#include "interp/msgfmt.h"
#include "interp/treeint.h"
#include "numeric/vecnum.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <random>
#include <string>

bool kst_number_atan2(t_cctx* ctx, const coef* y, const coef* x, coef* out)
{
    if (!coef_vt(y).isreal(y) || !coef_vt(x).isreal(x)) {
        kst_runerror(ctx, 23);
        return false;
    }
    auto isdouble = [](const coef* c) { return coef_tag(c) == BH_DBL || coef_iszero(c); };
    if (isdouble(y) && isdouble(x)) {   // the C library's, signed zeros included
        *out = coef_fromdbl(std::atan2(coef2dbl(y), coef2dbl(x)));
        return true;
    }
    // Other number types keep their precision: atan(y/x), moved by pi into the half-plane of x.
    coef zero{};
    const int xsign = coef_cmp_gt(x, &zero) == 1 ? 1 : coef_cmp_lt(x, &zero) == 1 ? -1 : 0;
    const int ysign = coef_cmp_lt(y, &zero) == 1 ? -1 : 1;
    coef r{};
    if (xsign == 0) {
        if (coef_iszero(y)) {
            *out = coef{};
            return true;
        }
        coef two = coef_creenum_init(ctx, 2 * ysign);
        coef pi = coef_pi2coef(ctx);
        r = coef_division(ctx, &pi, 0, &two, 0);
    } else {
        coef q = coef_division(ctx, const_cast<coef*>(y), 1, const_cast<coef*>(x), 1);
        r = coef_vt(&q).atan(ctx, &q, 0);
        if (xsign < 0) {
            coef pi = coef_pi2coef(ctx);
            r = ysign > 0 ? coef_addition(ctx, &r, 0, &pi, 0) : coef_soustraction(ctx, &r, 0, &pi, 0);
        }
    }
    if (Erreur_Execution) {
        deletecoef(&r);
        return false;
    }
    *out = r;
    return true;
}

namespace {

// ---------------------------------------------------------------- atan2

t_idcommon* constantatan2(t_cctx* ctx, t_idcommon* a, int keepa, t_idcommon* b, int keepb)
{
    coef r{};
    bool ok = kst_number_atan2(ctx, &static_cast<t_idconstante*>(a)->value(ctx),
                               &static_cast<t_idconstante*>(b)->value(ctx), &r);
    if (!keepa) a->Vdelete();
    if (!keepb) b->Vdelete();
    return ok ? new t_idconstante(ctx, "", r) : nullptr;
}

// atan2(y, x): numbers directly, anything else through the operation table (element by element
// on vectors and arrays).
int h_atan2(t_cctx* ctx, int slot, treeabs* node)
{
    int n = tree_eval_arguments(ctx, slot + 1, node, 0);
    if (n < 0) return 0;
    if (n != 2) {
        kst_runerror(ctx, 53);
    } else {
        const t_idcommon* y = tree_slot_value(ctx, slot + 1);
        const t_idcommon* x = tree_slot_value(ctx, slot + 2);
        if (!y || !x) {
            kst_runerror(ctx, 105);
        } else {
            t_idcommon* r = kst_id_binop(ctx, IDOP_ATAN2, const_cast<t_idcommon*>(y)->Vgetvalue(), 1,
                                         const_cast<t_idcommon*>(x)->Vgetvalue(), 1);
            if (r && !tree_flags(ctx)) tree_slot_setobject(ctx, slot, r);
            else if (r) r->Vdelete();
        }
    }
    tree_clean_arguments(ctx, slot + 1, n);
    return 0;
}

// ---------------------------------------------------------------- random

// The 64-bit Mersenne Twister (mt19937_64), whose sequence the C++ standard fixes, so that a seed
// gives the same numbers on every machine. Each number takes the top 53 bits of one output:
// k / 2^53, uniform in [0, 1).
constexpr uint64_t s_defaultseed = 5489;
std::mt19937_64 s_generator(s_defaultseed);
std::mutex s_generatorlock;

double nextuniform() { return static_cast<double>(s_generator() >> 11) * 0x1.0p-53; }

// random(): one number; random(n): a vector of n; random(n, seed): the generator restarts from
// seed first.
int h_random(t_cctx* ctx, int slot, treeabs* node)
{
    int n = tree_eval_arguments(ctx, slot + 1, node, 0);
    if (n < 0) return 0;
    long count = -1, seed = -1;
    bool ok = n <= 2;
    if (!ok) kst_runerror(ctx, 53);
    if (ok && n >= 1) ok = tree_slot_integer(ctx, slot + 1, &count);
    if (ok && n == 2) ok = tree_slot_integer(ctx, slot + 2, &seed);
    if (ok && n >= 1 && (count < 0 || count > static_cast<long>(UINT32_MAX))) {
        kst_runerror(ctx, 153);
        ok = false;
    }
    tree_clean_arguments(ctx, slot + 1, n);
    if (!ok) return 0;
    std::lock_guard<std::mutex> lock(s_generatorlock);
    if (n == 2) s_generator.seed(static_cast<uint64_t>(seed));
    if (n == 0) {
        tree_slot_setcoef(ctx, slot, coef_fromdbl(nextuniform()));
        return 0;
    }
    t_vecnum* v = vecnum_createreal(ctx, "", static_cast<uint32_t>(count));
    for (uint32_t i = 0; i < v->size(); i++) {
        coef c = coef_fromdbl(nextuniform());
        v->coef2data(ctx, i, &c);
    }
    tree_slot_setobject(ctx, slot, v);
    return 0;
}

// ---------------------------------------------------------------- file_readmsg

// file_readmsg(f): the next line of a file open for reading, without its line feed; at the end
// of the file, error 495.
int h_file_readmsg(t_cctx* ctx, int slot, treeabs* node)
{
    int n = tree_eval_arguments(ctx, slot + 1, node, 0);
    if (n < 0) return 0;
    if (n != 1) {
        kst_runerror(ctx, 53);
        tree_clean_arguments(ctx, slot + 1, n);
        return 0;
    }
    t_fileio* f = filerw_file(ctx, tree_slot_value(ctx, slot + 1));
    FILE* stream = f ? f->readstream(ctx) : nullptr;
    if (stream) {
        std::string line;
        int c;
        while ((c = fgetc(stream)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
        if (c == EOF && line.empty()) {
            kst_runerror(ctx, 495);
        } else {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            tree_slot_setobject(ctx, slot, new t_chaine(line));
        }
    }
    tree_clean_arguments(ctx, slot + 1, n);
    return 0;
}

} // namespace

// A fresh session (and a reset) draws the same numbers until a seed is given.
void kst_random_init()
{
    std::lock_guard<std::mutex> lock(s_generatorlock);
    s_generator.seed(s_defaultseed);
}

void kst_number_registeroperations()
{
    kst_id_vtable_setbinop(IDOP_ATAN2, IDTYPE_CONSTANTE, IDTYPE_CONSTANTE, &constantatan2);
}

void kst_tree_registerfunctions()
{
    kst_tree_setkeywordhandler("atan2", h_atan2);
    kst_tree_setkeywordhandler("random", h_random);
    kst_tree_setkeywordhandler("file_readmsg", h_file_readmsg);
}
