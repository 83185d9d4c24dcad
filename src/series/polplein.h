// Dense polynomial nodes (coef tag 4, POLPLEIN): the coefficients of every degree from the lowest
// to the highest, zeros included, for the conversions that index a node by degree.
#pragma once
#include <cstdint>

#include "coef/coef.h"
#include "interp/roomapi.h"

struct t_variable;

struct t_polplein {
    t_variable* var;
    coef* coefs;     // hi - lo + 1 coefficients, coefs[k] of degree lo + k
    int32_t lo, hi;
};

inline bool coef_isplein(const coef* c) { return c->type == BH_POLPLEIN; }
inline t_polplein* coef_plein(const coef* c) { return static_cast<t_polplein*>(c->p); }

// A sparse node made dense, and with it every sparse node below (numbers stay as they are);
// `keep` as everywhere (0: c is taken and left 0).
coef creutoplein(t_cctx* ctx, coef* c, int keep);
// A dense node made sparse again, recursively, and normalised (zero terms dropped).
coef pleintocreu(t_cctx* ctx, coef* c, int keep);

// The dispatch cells of tag 4 (installed by the series room).
void kst_polplein_install();
