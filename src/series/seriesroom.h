// Settings of the series room as kernels read them.
#pragma once
#include "interp/roomapi.h"

extern int g_kst_opt_seriesmode;   // slot of `_mode`
// The representation mode of series in force for `ctx`.
inline long kst_seriesmode(const t_cctx* ctx) { return kst_option(ctx, g_kst_opt_seriesmode); }
