// The core language's record: the evaluator's statement tables, the operation table of the
// identifier classes, the generator of `random` and the run stack at start-up; macros, structure
// types and the classes registered after start-up go at a reset.
#include "interp/idclass.h"
#include "interp/idcommon.h"
#include "interp/macro.h"
#include "interp/roomapi.h"
#include "interp/runpile.h"
#include "interp/treeint.h"

namespace {
void inittables()
{
    kst_tree_init_statements();
    kst_idclass_inittables();
    kst_random_init();
    tree_run_init();
}
void reset(t_cctx*)
{
    kst_macro_deleteall();
    kst_random_init();   // a reset session draws the numbers of a new one
    kst_types_reset();
    kst_idclass_reset();
}
} // namespace

extern const t_room kst_room_lang = {"lang", inittables, nullptr, nullptr, nullptr, reset, nullptr};
