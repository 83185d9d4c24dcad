// The frequency-analysis part of the numeric room: its settings (_naf_*) and language.
#pragma once
#include <bit>
#include <climits>

#include "interp/roomapi.h"
#include "numeric/naf.h"

constexpr int KST_NAF_NOPTIONS = 8;
extern int g_kst_opt_naf[KST_NAF_NOPTIONS];   // slots of _naf_iprt, icplx, iw, isec, dtour, nulin, tol, tp

// The declarations of the eight settings, in that order, for the room's list of options; dtour
// and tol hold the bits of a double.
#define KST_NAF_OPTIONS                                                                                  \
    {"_naf_iprt", -1, 2, -1, false, &g_kst_opt_naf[0]}, {"_naf_icplx", 0, 1, 1, false, &g_kst_opt_naf[1]}, \
    {"_naf_iw", -1, 1000, 1, false, &g_kst_opt_naf[2]}, {"_naf_isec", 0, 1, 1, false, &g_kst_opt_naf[3]},  \
    {"_naf_dtour", LONG_MIN, LONG_MAX, std::bit_cast<long>(6.283185307179586477), false, &g_kst_opt_naf[4]}, \
    {"_naf_nulin", 0, INT_MAX, 1, false, &g_kst_opt_naf[5]},                                                \
    {"_naf_tol", LONG_MIN, LONG_MAX, std::bit_cast<long>(1e-10), false, &g_kst_opt_naf[6]},              \
    {"_naf_tp", 0, INT_MAX, 0, false, &g_kst_opt_naf[7]},
// naf, naftab, naftab2, fft, ifft, freqa, freqareson and the handlers of the settings.
void kst_naf_registerlanguage();
