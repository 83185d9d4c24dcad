// The elementary functions of the language applied to every element of a numeric vector.
#pragma once

class t_cctx;
class t_vecnum;

// The unary operation opname ("Vcos", "Vsqrt", "Vabs", ...) on every element of v, as a new
// vector: of v's type, or of its real type for abs, arg, real and imag of a complex vector. Null
// when the operation has no native form for v's element type (the caller then goes through the
// coefficients).
t_vecnum* vecnum_elemfunc(t_cctx* ctx, const t_vecnum* v, const char* opname);
