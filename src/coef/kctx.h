// The kernel context: the settings and state that kernels read (numbers, series, parallel work,
// number display), one plain value embedded in every evaluation context. A task's context copies
// it whole, so a kernel sees in a task exactly what it sees on the main thread.
#pragma once
#include "coef/modenum_ctx.h"

// Owned by the series room; the kernel context only points at them. Task contexts share them
// with the context that started the task (they live as long as it), copy-on-write.
struct t_ordres;
struct t_tronc;

// Slots of the integer options that rooms declare (room record); enough for every option the
// language has keywords for.
constexpr int KST_MAXOPTIONS = 32;

struct t_kctx {
    t_modenum_ctx num;                     // numeric mode and precision
    int cpu = 1;                           // _cpu: threads the work of this context may use
    volatile int stopflag = 0;             // set by Ctrl-C or `stop`, read by long loops
    // In a task: the stop flag of the context that started the outermost task, so that Ctrl-C
    // reaches every task of a product or a loop; null in a context of its own.
    const volatile int* outerstop = nullptr;
    const t_ordres* orders = nullptr;      // variable orderings and roles (series room)
    // The truncations in force while a series operation of the language runs (the values of
    // _tronc and _trmon; a monomial truncation is a list of one-variable groups), null otherwise.
    const t_tronc* tronc = nullptr;
    const t_tronc* trmon = nullptr;
    // _trcoef: the magnitude of the small parameter by which sereps writes coefficients as powers
    // of a variable, in (0, 1]; 1 leaves every coefficient as it is.
    double trcoef = 1.0;
    long options[KST_MAXOPTIONS] = {};     // the rooms' options, by the slot each was given

    long option(int slot) const { return options[slot]; }
    // Ctrl-C or `stop` asked for this context, or for the one its tasks work for (read by long
    // kernels at row boundaries; the outer flag is written by another thread, hence the atomic
    // load).
    bool stoprequested() const
    {
        return stopflag || (outerstop && __atomic_load_n(outerstop, __ATOMIC_RELAXED));
    }
};
