// Settings of the numeric room as its kernels read them.
#pragma once
#include "interp/roomapi.h"

extern int g_kst_opt_endian;   // slot of `_endian`
// Binary numeric files are written and read in the swapped byte order (`_endian = 1`).
inline bool kst_endianswapped(const t_cctx* ctx) { return kst_option(ctx, g_kst_opt_endian) != 0; }
