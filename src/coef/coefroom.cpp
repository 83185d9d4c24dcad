// The coefficient room's record: its tables and numeric modes at start-up, the number display
// format `_affc`, and the caches a reset gives back.
#include "coef/coef_init.h"
#include "coef/coefaff.h"
#include "interp/roomapi.h"

int g_kst_opt_affc;

namespace {
void inittables()
{
    kst_coef_inittables();
    modenum_init();
}
void reset(t_cctx*) { kst_coef_reset(); }

const t_roomoption s_options[] = {
    {"_affc", 1, 9, 4, false, &g_kst_opt_affc},
    {nullptr, 0, 0, 0, false, nullptr},
};
} // namespace

extern const t_room kst_room_coef = {"coef", inittables, nullptr, nullptr, s_options, reset, nullptr};
