// The run stack: one pile per active context (interactive level, file, host text, macro, loop),
// linked from the innermost outwards and held by the evaluation context.
#pragma once
#include "coef/blockpool.h"
#include "coef/coef.h"
#include <cstdint>
#include "interp/ids.h"
#include "interp/treesharedcode.h"

class t_cctx;
struct t_pilescope;
struct sttreeparse;
struct absrunstack;
struct t_identry;

enum erunpile {
    RUNPILE_MACRO = 0,
    RUNPILE_LIBMACRO = 1,
    RUNPILE_FOR = 2,          // for, sum, prod, parallel for
    RUNPILE_FILE = 3,
    RUNPILE_STRING = 4,       // host text or internal evaluation
    RUNPILE_INTERACTIVE = 5,
    RUNPILE_WHILE = 6,
};

constexpr int k_pileparams = 8;           // named parameters a macro pile lists by position

class t_idconstante;

struct elt_runpile {
    KST_BLOCKPOOLED
    elt_runpile() = default;
    ~elt_runpile();
    elt_runpile(const elt_runpile&) = delete;
    elt_runpile& operator=(const elt_runpile&) = delete;
    char* name = nullptr;                 // file, macro, loop variable or text name (in namebuf, owned, or held by a running macro)
    bool ownsname = false;
    // Distinct for every pile a thread pushes: a lookup remembered for one pile serves that
    // pile only, so pushing and popping piles leaves the lookups of the others valid.
    uint64_t serial = 0;
    // A macro call: the definition, and the entries of its first named parameters in order
    // (a parameter read in the body is then found by position at the next call).
    const void* macrodef = nullptr;
    t_identry* params[k_pileparams] = {};
    int nparams = 0;
    treesharedcode* source = nullptr;     // attached while the pile exists
    elt_runpile* next = nullptr;          // the enclosing pile
    t_pilescope* scope = nullptr;         // private identifiers and declared names (made on first use)
    // Parameter bindings: a macro call's named parameters by position in `paramstore`, anything
    // else bound (self, optional arguments, a host text's names, further parameters) by name.
    t_genarbre parameters;
    void* macroparams = nullptr;
    void* retval = nullptr;               // set by `return`
    coef retnumber{};                     // ... or this, when what was returned is a number
    bool hasretnumber = false;
    absrunstack* stack = nullptr;
    bool ownsstack = false;
    sttreeparse* parse = nullptr;         // interactive level only
    t_tree_loc loc;                       // node being evaluated
    erunpile kind = RUNPILE_STRING;
    int trydepth = 0;
    bool collectsreturn = false;          // sum/prod: `return` gives the turn's term
    coef* fusedacc = nullptr;             // fused sum: the turn's a*b is accumulated here
    bool fusedreturned = false;           // ... and was, in this turn
    void* inuse[2] = {nullptr, nullptr};
    char namebuf[32];                     // short names are kept here rather than on the heap
    alignas(t_identry) unsigned char paramstore[k_pileparams * sizeof(t_identry)];
    // The constants that numbers passed by value to the calls made on this pile are bound to,
    // by position: kept with the pile (which waits for the next push when it is popped), so a
    // call makes no constant for them. The entries bind them borrowed: whatever the body does
    // to a parameter, deleting it or giving it a new value, leaves them to the pile.
    t_idconstante* kept[k_pileparams] = {};
};

// Drops what `return` recorded in the pile, a value object or a number.
void tree_run_clearreturn(elt_runpile* pile);

elt_runpile* tree_run_setpile(t_cctx* ctx, erunpile kind, const char* name, treesharedcode* code,
                              t_pilescope* scope = nullptr);
// A macro call's pile, named by the definition's own name (the running definition outlives it).
elt_runpile* tree_run_setmacropile(t_cctx* ctx, const char* name, treesharedcode* code);
// The same in two steps: a pile taken before the call's arguments are evaluated into its kept
// constants, then pushed; or given back unpushed when an argument fails.
elt_runpile* tree_run_takepile();
void tree_run_pushmacropile(t_cctx* ctx, elt_runpile* pile, const char* name, treesharedcode* code);
void tree_run_giveunpushed(elt_runpile* pile);
void tree_run_removepile(t_cctx* ctx, elt_runpile* pile);
elt_runpile* tree_run_getpile(t_cctx* ctx);
bool tree_run_getpile_isinmacroexecution(const elt_runpile* pile);
bool tree_run_getpile_isintrystatement(const elt_runpile* pile);
void tree_run_setpile_entertry(elt_runpile* pile);
void tree_run_setpile_exittry(elt_runpile* pile);
const char* kst_run_getcurrentfilename(t_cctx* ctx);
void tree_run_init();
void tree_run_reset(t_cctx* ctx);
