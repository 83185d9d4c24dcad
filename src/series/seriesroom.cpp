// The series room's record: the representation mode of series (`_mode`) and their display form
// (`_affdist`), the cells of the POLYNOME tag in the coefficient tables, the series values of
// the language, and the variables the room owns for the session.
#include "interp/roomapi.h"
#include "series/polplein.h"
#include "series/polynome.h"
#include "series/serie.h"
#include "series/seriesroom.h"
#include "series/variable.h"

#include <climits>

int g_kst_opt_seriesmode;
int g_kst_opt_affdist;
int g_kst_opt_ior;

namespace {
const t_roomoption s_options[] = {
    {"_mode", LONG_MIN, LONG_MAX, 0, false, &g_kst_opt_seriesmode},
    {"_affdist", 0, 8, 2, false, &g_kst_opt_affdist},
    {"_ior", 0, 3, 1, false, &g_kst_opt_ior},
    {nullptr, 0, 0, 0, false, nullptr},
};

void install()
{
    kst_polynome_install();
    kst_polplein_install();
}

void reset(t_cctx* ctx)
{
    kst_variables_reset(ctx);
    kst_kctx(ctx).trcoef = 1.0;
}
} // namespace

extern const t_room kst_room_series = {"series", nullptr, install, kst_serie_registerops, s_options,
                                       reset, kst_variables_release};
