// Arrays and numeric vectors in identifier files (ecriture / lecture).
//
// An array is its shape and element flags (savetab / savetabF) in its own file, plus one file per
// non-empty element, named by the element ("T[1,2].kst"), next to it; an element whose class
// cannot be stored is flagged as not saved (CANTSAVE) and reloads empty.
// A vector is int32 vector flag (plus k_keeptype for a vector declared with its type, vnumQ),
// uint32 element count, then every element as a number record
// (text form: "%d %u" then one number line per element, see kst_savecoefF).
#include "numeric/tableau.h"
#include "numeric/vecnum.h"

#include "coef/coefsave.h"
#include "interp/error.h"
#include "interp/idsave.h"

namespace {

constexpr int32_t k_keeptype = 0x10000;

t_tabelt_io elementfiles(const std::string& path, bool text)
{
    t_tabelt_io io;
    io.save = [path, text](t_cctx* ctx, const t_idcommon* v, const char* eltname) {
        if (!kst_idstorage_cansave(v)) return false;
        const std::string file = path + eltname;
        return text ? saveidentificateurF(ctx, v, file.c_str(), "") : saveidentificateur(ctx, v, file.c_str(), "");
    };
    io.load = [path, text](t_cctx* ctx, const char* eltname) {
        const std::string file = path + eltname;
        return text ? loadidentificateurF(ctx, file.c_str(), eltname, false)
                    : loadidentificateur(ctx, file.c_str(), eltname, false);
    };
    return io;
}

bool array_save(t_cctx* ctx, const t_idcommon* v, FILE* f, const std::string& path)
{
    return savetab(ctx, static_cast<const t_tableau*>(v), f, elementfiles(path, false));
}
t_idcommon* array_load(t_cctx* ctx, FILE* f, const char* name, const std::string& path)
{
    return loadtab(ctx, f, name, elementfiles(path, false));
}
bool array_saveF(t_cctx* ctx, const t_idcommon* v, FILE* f, const std::string& path)
{
    return savetabF(ctx, static_cast<const t_tableau*>(v), f, elementfiles(path, true));
}
t_idcommon* array_loadF(t_cctx* ctx, FILE* f, const char* name, const std::string& path)
{
    return loadtabF(ctx, f, name, elementfiles(path, true));
}

// The vector types that can be made again from their flag alone (residues need their modulus).
bool storableflag(int flag) { return vecnum_isflag(flag) && flag != VECNUM_INTMODSMALL; }

bool vector_save(t_cctx* ctx, const t_idcommon* value, FILE* f, const std::string&)
{
    const auto* v = static_cast<const t_vecnum*>(value);
    const int32_t flag = v->vecflag() | (v->keeptype() ? k_keeptype : 0);
    const uint32_t n = v->size();
    if (!storableflag(v->vecflag()) || fwrite(&flag, sizeof flag, 1, f) != 1 || fwrite(&n, sizeof n, 1, f) != 1) return false;
    bool ok = true;
    for (uint32_t i = 0; i < n && ok; i++) {
        coef c = v->data2coef(ctx, i);
        ok = coefnum_save(&c, f);
        deletecoef(&c);
    }
    return ok;
}

t_idcommon* vector_fill(t_cctx* ctx, int32_t flag, uint32_t n, const char* name, bool (*read)(t_cctx*, coef*, FILE*),
                        FILE* f)
{
    const bool keep = (flag & k_keeptype) != 0;
    flag &= ~k_keeptype;
    if (!storableflag(flag) || n > (1u << 28)) return nullptr;
    t_vecnum* v = vecnum_create(ctx, flag, name, n);
    v->setkeeptype(keep);
    for (uint32_t i = 0; i < n; i++) {
        coef c;
        if (!read(ctx, &c, f)) {
            v->Vdelete();
            return nullptr;
        }
        v->coef2data(ctx, i, &c);
        deletecoef(&c);
    }
    return v;
}

t_idcommon* vector_load(t_cctx* ctx, FILE* f, const char* name, const std::string&)
{
    int32_t flag = 0;
    uint32_t n = 0;
    if (fread(&flag, sizeof flag, 1, f) != 1 || fread(&n, sizeof n, 1, f) != 1) return nullptr;
    return vector_fill(ctx, flag, n, name, coefnum_load, f);
}

bool vector_saveF(t_cctx* ctx, const t_idcommon* value, FILE* f, const std::string&)
{
    const auto* v = static_cast<const t_vecnum*>(value);
    const int flag = v->vecflag() | (v->keeptype() ? k_keeptype : 0);
    if (!storableflag(v->vecflag()) || fprintf(f, "%d %u\n", flag, v->size()) < 0) return false;
    bool ok = true;
    for (uint32_t i = 0; i < v->size() && ok; i++) {
        coef c = v->data2coef(ctx, i);
        ok = kst_savecoefF(&c, f);
        deletecoef(&c);
    }
    return ok;
}

t_idcommon* vector_loadF(t_cctx* ctx, FILE* f, const char* name, const std::string&)
{
    int flag = 0;
    unsigned n = 0;
    if (fscanf(f, "%d %u", &flag, &n) != 2) return nullptr;
    return vector_fill(ctx, flag, n, name, kst_loadcoefF, f);
}

} // namespace

void kst_numstorage_register()
{
    kst_idstorage_register(IDTYPE_TABLEAU, {SAVECLASS_ARRAY, "TAB", array_save, array_load, array_saveF, array_loadF});
    kst_idstorage_register(IDTYPE_VECNUM, {SAVECLASS_VECNUM, "vnum", vector_save, vector_load, vector_saveF,
                                           vector_loadF});
}
