// Binary storage of one numeric coefficient: its 32-byte record, then the boxed payload.
#pragma once
#include <cstdio>

#include "coef/coef.h"

bool coefnum_savepayload(const coef* c, FILE* f);
bool coefnum_loadpayload(t_cctx* ctx, coef* c, FILE* f);   // c holds the record read before
bool coefnum_save(const coef* c, FILE* f);
bool coefnum_load(t_cctx* ctx, coef* c, FILE* f);          // false (and zero) on a failed read
