// Binary storage of one number: the 32-byte coefficient record followed by the payload of boxed
// numbers (GMP in its portable raw form, MPFR in its interchange format, fixed-size structures
// byte for byte).
#include "coef/coefnum_impl.h"
#include "coef/coefsave.h"

#include <cstring>

namespace {

template <class T>
bool put(const T* v, FILE* f)
{
    return fwrite(v, sizeof(T), 1, f) == 1;
}
template <class T>
T* get(FILE* f)
{
    T* v = new T;
    if (fread(v, sizeof(T), 1, f) != 1) {
        delete v;
        return nullptr;
    }
    return v;
}

bool mpz_put(mpz_srcptr z, FILE* f) { return mpz_out_raw(f, z) != 0; }
bool mpz_get(mpz_ptr z, FILE* f) { return mpz_inp_raw(z, f) != 0; }

}  // namespace

bool coefnum_savepayload(const coef* c, FILE* f)
{
    switch (c->type) {
    case BH_ZERO:
    case BH_DBL:
    case BH_ZDBL:
    case BH_RAT: return true;
    case BH_ZRAT: return put(coef_box<t_zratovftype>(c), f);
    case BH_QUAD: return put(coef_box<t_quadtype>(c), f);
    case BH_ZQUAD: return put(coef_box<t_zquadtype>(c), f);
    case BH_INTDBL: return put(coef_box<t_intdbltype>(c), f);
    case BH_ZINTDBL: return put(coef_box<t_zintdbltype>(c), f);
    case BH_INTQUAD: return put(coef_box<t_intquadtype>(c), f);
    case BH_ZINTQUAD: return put(coef_box<t_zintquadtype>(c), f);
    case BH_INTMP: return mpz_put(coef_box<t_intmptype>(c), f);
    case BH_ZINTMP: return mpz_put(coef_box<t_zintmptype>(c)->re, f) && mpz_put(coef_box<t_zintmptype>(c)->im, f);
    case BH_RATMP: {
        const __mpq_struct* q = coef_box<t_ratmptype>(c);
        return mpz_put(mpq_numref(q), f) && mpz_put(mpq_denref(q), f);
    }
    case BH_ZRATMP: {
        const t_zratmp* q = coef_box<t_zratmptype>(c);
        return mpz_put(mpq_numref(q->re), f) && mpz_put(mpq_denref(q->re), f) && mpz_put(mpq_numref(q->im), f) &&
               mpz_put(mpq_denref(q->im), f);
    }
    case BH_FPMP: return mpfr_fpif_export(f, coef_box<t_fpmptype>(c)) == 0;
    case BH_ZFPMP: {
        const __mpc_struct* z = coef_box<t_zfpmptype>(c);
        return mpfr_fpif_export(f, const_cast<mpfr_ptr>(mpc_realref(z))) == 0 &&
               mpfr_fpif_export(f, const_cast<mpfr_ptr>(mpc_imagref(z))) == 0;
    }
    default: return false;
    }
}

bool coefnum_loadpayload(t_cctx* ctx, coef* c, FILE* f)
{
    void* p = nullptr;
    switch (c->type) {
    case BH_ZERO:
    case BH_DBL:
    case BH_ZDBL:
    case BH_RAT: return true;
    case BH_ZRAT: p = get<zrat>(f); break;
    case BH_QUAD: p = get<__float128>(f); break;
    case BH_ZQUAD: p = get<zquad>(f); break;
    case BH_INTDBL: p = get<t_dbiasinterval>(f); break;
    case BH_ZINTDBL: p = get<t_dcbiasinterval>(f); break;
    case BH_INTQUAD: p = get<t_ldbiasinterval>(f); break;
    case BH_ZINTQUAD: p = get<t_ldcbiasinterval>(f); break;
    case BH_INTMP: {
        __mpz_struct* z = intmp_new();
        if (!mpz_get(z, f)) {
            intmp_free(z);
            break;
        }
        p = z;
        break;
    }
    case BH_ZINTMP: {
        t_zintmp* z = zintmp_new();
        if (!mpz_get(z->re, f) || !mpz_get(z->im, f)) {
            zintmp_free(z);
            break;
        }
        p = z;
        break;
    }
    case BH_RATMP: {
        __mpq_struct* q = ratmp_new();
        if (!mpz_get(mpq_numref(q), f) || !mpz_get(mpq_denref(q), f) || mpz_sgn(mpq_denref(q)) == 0) {
            ratmp_free(q);
            break;
        }
        mpq_canonicalize(q);
        p = q;
        break;
    }
    case BH_ZRATMP: {
        t_zratmp* q = zratmp_new();
        if (!mpz_get(mpq_numref(q->re), f) || !mpz_get(mpq_denref(q->re), f) || !mpz_get(mpq_numref(q->im), f) ||
            !mpz_get(mpq_denref(q->im), f) || mpz_sgn(mpq_denref(q->re)) == 0 || mpz_sgn(mpq_denref(q->im)) == 0) {
            zratmp_free(q);
            break;
        }
        mpq_canonicalize(q->re);
        mpq_canonicalize(q->im);
        p = q;
        break;
    }
    case BH_FPMP: {
        __mpfr_struct* x = fpmp_new(ctx);
        if (mpfr_fpif_import(x, f) != 0) {
            fpmp_free(x);
            break;
        }
        p = x;
        break;
    }
    case BH_ZFPMP: {
        __mpc_struct* z = zfpmp_new(ctx);
        if (mpfr_fpif_import(mpc_realref(z), f) != 0 || mpfr_fpif_import(mpc_imagref(z), f) != 0) {
            zfpmp_free(z);
            break;
        }
        p = z;
        break;
    }
    default: break;
    }
    if (!p) {
        c->type = BH_ZERO;
        return false;
    }
    c->p = p;
    return true;
}

bool coefnum_save(const coef* c, FILE* f)
{
    unsigned char rec[sizeof(coef)] = {};
    memcpy(rec, c->w, sizeof c->w);
    memcpy(rec + offsetof(coef, i32), &c->i32, sizeof c->i32);
    rec[offsetof(coef, type)] = (unsigned char)c->type;
    const bool inline_payload = c->type == BH_ZERO || c->type == BH_DBL || c->type == BH_ZDBL || c->type == BH_RAT;
    if (!inline_payload) memset(rec, 0, sizeof c->w);   // a pointer means nothing in a file
    return fwrite(&rec, sizeof rec, 1, f) == 1 && coefnum_savepayload(c, f);
}

bool coefnum_load(t_cctx* ctx, coef* c, FILE* f)
{
    coef rec;
    if (fread(&rec, sizeof rec, 1, f) != 1) {
        *c = coef{};
        return false;
    }
    if (rec.type < 0 || g_kst_coef_vtable[coef_tag(&rec)].kind != 3) {
        *c = coef{};
        return false;
    }
    *c = rec;
    return coefnum_loadpayload(ctx, c, f);
}
