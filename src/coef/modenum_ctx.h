// The numeric part of an evaluation context: mode and precision (held by t_cctx as `num`).
#pragma once

struct t_modenum_ctx {
    int modenum = 0;            // t_eModeNum, NUMDBL by default
    int prec_digits = 64;       // _modenum_prec
    long prec_bits = 212;       // MPFR precision derived from prec_digits
};
