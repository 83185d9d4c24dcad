// The numeric room's record: vector and array tables, their language, and the byte order of
// binary numeric files (`_endian`).
#include "interp/roomapi.h"
#include "numeric/fft.h"
#include "numeric/interpol.h"
#include "numeric/naflang.h"
#include "numeric/orbelem.h"
#include "numeric/tableau.h"
#include "numeric/vecnum.h"
#include "numeric/vecnumtyped.h"

int g_kst_opt_endian;

namespace {
void registerlanguage()
{
    kst_vecnum_registerlanguage();
    kst_tableau_registerlanguage();
    kst_numstorage_register();
    kst_orbelem_registerlanguage();
    kst_interpol_registerlanguage();
    kst_naf_registerlanguage();
}

const t_roomoption s_options[] = {
    {"_endian", 0, 1, 0, false, &g_kst_opt_endian},
    KST_NAF_OPTIONS
    {nullptr, 0, 0, 0, false, nullptr},
};
// `reset` drops the transform plans and the spare vector storage with the rest of the session's
// state.
void reset(t_cctx*)
{
    fft_reset();
    vecnum_storage_dropcache();
}
} // namespace

extern const t_room kst_room_numeric = {"numeric", kst_vecnum_inittables, nullptr, registerlanguage, s_options,
                                        reset, nullptr};
