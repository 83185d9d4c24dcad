// Typed product kernels for series whose leaves are numbers of one type: the entry the product
// of two nodes asks before it walks the coefficient trees.
#pragma once
#include "coef/coef.h"
#include "interp/roomapi.h"

struct t_troncworkstack;

// out = a*b (a and b left intact) when a kernel applies to the pair, under the levels of `st`
// when given; false, with nothing done, when the recursive path must compute it. On success
// `leaftag`, when given, receives the tag every leaf of out has (the tree out is ordered under
// the ordering in force).
bool kst_kernel_mul(t_cctx* ctx, const coef* a, const coef* b, const t_troncworkstack* st, coef* out,
                    eBHTypeCoef* leaftag = nullptr);

// Which algorithm the dispatcher uses: its own choice, none (the recursive path), or one forced
// wherever it can run at all (tests compare each with the recursive path).
enum e_kernelchoice { KERNEL_AUTO = 0, KERNEL_NONE, KERNEL_DENSE, KERNEL_ARRAY, KERNEL_JOHNSON };
void kst_kernel_setchoice(e_kernelchoice c);
// The algorithm the last product that went through a kernel used (KERNEL_NONE when none did).
e_kernelchoice kst_kernel_lastused();
