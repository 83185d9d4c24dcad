// Term-by-term rewriting of a series: into the ordering in force, and the small-parameter device
// (numbers written as m*E^k, E standing for a small parameter eps, and back).
#pragma once
#include "coef/coef.h"
#include "interp/roomapi.h"

struct t_variable;

// True when every node's coefficients are in variables of larger rank in the ordering in force
// (a series made under another `_ior` may not be).
bool serie_isordered(const t_cctx* ctx, const coef* c);
// A copy of c nested under the ordering in force.
coef serie_reorder(t_cctx* ctx, const coef* c);

// Sets the coefficient threshold `_trcoef`: error 276 above 1, error 4 at 0 or below (a threshold
// must be a magnitude); false and nothing changed after an error.
bool kst_settrcoef(t_cctx* ctx, double eps);
// Every number x of c written m*e^k with k = floor(log|x| / log|eps|) and m = x / eps^k, under
// the threshold |eps| (restored afterwards); false in *ok after an error on the threshold.
coef serie_sereps(t_cctx* ctx, const coef* c, t_variable* e, const coef* eps, bool* ok);
// The inverse: every factor e^k becomes the number eps^k.
coef serie_invsereps(t_cctx* ctx, const coef* c, t_variable* e, const coef* eps);
