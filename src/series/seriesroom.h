// Settings of the series room as kernels read them.
#pragma once
#include "interp/roomapi.h"

extern int g_kst_opt_seriesmode;   // slot of `_mode`
extern int g_kst_opt_affdist;      // slot of `_affdist`
extern int g_kst_opt_ior;          // slot of `_ior`
// The representation mode of series in force for `ctx`.
inline long kst_seriesmode(const t_cctx* ctx) { return kst_option(ctx, g_kst_opt_seriesmode); }
// The display form of series: 0 factorised, 1 and 2 distributed (2 one term per line).
inline long kst_affdist(const t_cctx* ctx) { return kst_option(ctx, g_kst_opt_affdist); }
// The ordering in force, 0 to 3 (`_ior`): series nest by the ranks of that ordering.
inline int kst_ior(const t_cctx* ctx) { return static_cast<int>(kst_option(ctx, g_kst_opt_ior)); }
