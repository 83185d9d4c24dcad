// The evaluator: walks syntax trees on the run piles, one handler per node kind, values in the
// numbered slots of the pile's value stack.
#pragma once
#include <cstdint>
#include <vector>

#include "coef/coef.h"
#include "interp/treeabs.h"

struct t_subscript;

class t_cctx;
class t_idcommon;
struct t_identry;

// Tags of slot values (their numbers are shared with the tree exchange between peers).
enum absrun_enum : int32_t {
    kr_error = 1,
    kr_end = 2,            // no value
    kr_double = 3,
    kr_boolean = 4,
    kr_entierlong = 5,
    kr_entier = 6,
    kr_coef = 7,           // owned number
    kr_nd_coef = 8,
    kr_id_elt_tab = 30,    // an identifier (entry of a tree)
    kr_id_elt_tab_nom = 32,// a name without identifier (owned text)
    kr_opaque = 42,        // owned value object
    kr_nd_opaque = 43,     // borrowed value object
};

struct absrun_slot {
    absrun_enum tag = kr_end;
    union {
        double d;
        int b;
        long l;
        int i;
        coef c;
        t_idcommon* obj;
        t_identry* entry;
        char* name;
    };
    absrun_slot() : c{} {}
};

struct absrunstack {
    std::vector<absrun_slot> slots;
    size_t limit = 0;   // slots below this index are used without growing the stack
    absrunstack* previous = nullptr;
};
void absrunstack_release(absrunstack* stack);   // releases what the slots own, then the stack

// Evaluates `node` into `slot`; 1 after quit/exit.
int tree_int(t_cctx* ctx, int slot, treeabs* node);
// Evaluates a tree on a fresh pile of kind 4 with its own value stack.
int tree_int_int(t_cctx* ctx, treeabs* tree);
absrun_slot& tree_slot(t_cctx* ctx, int slot);
void tree_run_cleanres(t_cctx* ctx, int slot);

// Handlers: one per node kind; keyword statements and functions register by keyword text.
using t_treehandler = int (*)(t_cctx* ctx, int slot, treeabs* node);
void kst_tree_sethandler(etreeabs kind, t_treehandler h);                // null h: no handler
bool kst_tree_setkeywordhandler(const char* keyword, t_treehandler h);   // null h: no handler
// Every kind that the parser or the macro optimiser builds for evaluation must have a handler:
// the first that has none (its kind index), or -1; the check at start-up ends the session with
// an internal error naming it.
int kst_tree_missinghandler();
void kst_tree_checkhandlers();

// Helpers for handlers.
bool tree_flags(t_cctx* ctx);                                   // stop or error flag set
t_idcommon* tree_slot_takeobject(t_cctx* ctx, int slot);        // owned value object, or null
const t_idcommon* tree_slot_value(t_cctx* ctx, int slot);       // borrowed, or null
bool tree_slot_integer(t_cctx* ctx, int slot, long* out);      // error 45 when not an integer
bool tree_slot_string(t_cctx* ctx, int slot, std::string* out);// error 42 when not a string
// Evaluates the subscripts listed in `args` into slots from `slot` (values stay there, borrowed by
// the result, until tree_run_cleanres of those slots); false after an error. A range a:b[:c]
// needs integers.
bool tree_eval_subscripts(t_cctx* ctx, int slot, treeabs* args, std::vector<t_subscript>* out);
void tree_clean_subscripts(t_cctx* ctx, int slot, const std::vector<t_subscript>& subscripts);
// Evaluates the children of `node` from index `first` into consecutive slots from `slot`: their
// count, or -1 after an error, the slots already filled being cleaned at once (they may name
// identifiers that are about to go). tree_clean_arguments cleans n slots from `slot`.
int tree_eval_arguments(t_cctx* ctx, int slot, treeabs* node, int first);
void tree_clean_arguments(t_cctx* ctx, int slot, int n);
// Stores an owned value under `name` as an assignment would (in the scope the lookup finds).
// The one-argument function `keyword` of a number (sin, abs, fac, ...); false after an error.
bool kst_number_function(t_cctx* ctx, const char* keyword, const coef* a, coef* out);
// atan2(y, x) of two real numbers in their own precision; error 23 for a complex one.
bool kst_number_atan2(t_cctx* ctx, const coef* y, const coef* x, coef* out);
void kst_assign(t_cctx* ctx, const char* name, t_idcommon* owned);
void tree_slot_setobject(t_cctx* ctx, int slot, t_idcommon* owned);
void tree_slot_setcoef(t_cctx* ctx, int slot, coef owned);
// The statement hooks of a debugger or profiler front end.
using t_hookstatement = void (*)(t_cctx*, const t_tree_loc*, void* user);
using t_hooknode = void (*)(t_cctx*, const t_tree_loc*, treeabs*, void* user);
extern "C" {
void kst_set_funchookint(t_hookstatement before, t_hookstatement after, void* user);
void kst_set_funchooknodeint(t_hooknode hook, void* user);
}

// The statement tables of the evaluator (start-up).
void kst_tree_init_statements();
// The generator of `random` back to the seed of a new session.
void kst_random_init();
// An option's display, "_name = value" through the context's renderer.
void kst_option_display(t_cctx* ctx, const char* name, const char* value);
// The value of `_name = value;` (node: the option statement): false after an error, error 4 with
// the option's name when it is not an integer in [lo, hi] or the statement is not an assignment.
bool kst_option_integer(t_cctx* ctx, int slot, treeabs* node, long lo, long hi, long* out);
