// The language's parallel directives, written as comments before a statement:
//
//   //!kest omp parallel for [private(a, b, ...)]        the next `for` loop spreads over _cpu tasks
//   //!kest omp parallel for_distribute [private(...)]   the same; no distributed transport exists,
//                                                        so it runs in local mode (warning 33)
//   //!kest omp parallel [private(...)]                  the next statement runs once per thread
//   //!kest omp parallel sections | sections | section | for
//                                                        accepted; the statement runs as written
//
// A task works on a context of its own. Reading a name that the task does not have gives it a
// copy of the starting context's value, except for arrays and numeric vectors: those the task
// borrows, so that what it stores into their elements is the loop's result in the starting
// context (the elements are preallocated, the tasks write them without a lock, and a shared
// vector refuses to grow from a task). The names of the private clause are copied up front and
// must exist (warning 29 otherwise, and the loop runs sequentially). Iterations are claimed one
// at a time from a shared counter, so which task runs which iteration varies, but each iteration
// does the same work whatever _cpu is.
#include "interp/treeint_omp.h"

#include "coef/coef.h"
#include "coef/modenum.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/idconstante.h"
#include "interp/ids.h"
#include "interp/runpile.h"
#include "interp/treeint.h"
#include "interp/ompregion.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum t_ompkind { OMP_NONE, OMP_PARALLELFOR, OMP_DISTRIBUTE, OMP_PARALLEL, OMP_SEQUENTIAL };

struct t_ompdirective {
    t_ompkind kind = OMP_NONE;
    std::vector<std::string> privates;
};

// Words and punctuation of a directive, after "!kest omp".
std::vector<std::string> tokens(const char* text)
{
    std::vector<std::string> out;
    for (const char* p = text; *p;) {
        if (isspace(static_cast<unsigned char>(*p))) {
            p++;
        } else if (isalnum(static_cast<unsigned char>(*p)) || *p == '_') {
            const char* q = p;
            while (isalnum(static_cast<unsigned char>(*q)) || *q == '_' || *q == '\'') q++;
            out.emplace_back(p, q);
            p = q;
        } else {
            out.emplace_back(p, 1);
            p++;
        }
    }
    return out;
}

// False when the text is not a directive of the table above.
bool parsedirective(const char* text, t_ompdirective& d)
{
    const char* body = strstr(text, "!kest omp");
    if (!body) return false;
    std::vector<std::string> t = tokens(body + 9);
    if (!t.empty() && (t.back() == "/" || t.back() == "*")) {   // the end of a block comment
        while (!t.empty() && (t.back() == "/" || t.back() == "*")) t.pop_back();
    }
    size_t k = 0;
    auto word = [&](const char* w) {
        if (k < t.size() && t[k] == w) {
            k++;
            return true;
        }
        return false;
    };
    if (word("parallel")) {
        if (word("for")) d.kind = OMP_PARALLELFOR;
        else if (word("for_distribute")) d.kind = OMP_DISTRIBUTE;
        else if (word("sections")) d.kind = OMP_SEQUENTIAL;
        else d.kind = OMP_PARALLEL;
    } else if (word("sections") || word("section") || word("for")) {
        d.kind = OMP_SEQUENTIAL;
    } else {
        return false;
    }
    while (k < t.size()) {
        if (!word("private") || !word("(")) return false;
        for (;;) {
            if (k >= t.size() || !(isalpha(static_cast<unsigned char>(t[k][0])) || t[k][0] == '_')) return false;
            d.privates.push_back(t[k++]);
            if (word(")")) break;
            if (!word(",")) return false;
        }
    }
    return true;
}

// The directive among a statement's comments (the last one wins), or OMP_NONE.
t_ompdirective finddirective(t_cctx* ctx, treeabs* comments)
{
    t_ompdirective found;
    for (int i = 0; treeabs* c = tree_child(comments, i); i++) {
        if (c->kind != TREE_COMMENT_OMP) continue;
        t_ompdirective d;
        const char* text = tree_string(c, 0) ? tree_string(c, 0) : "";
        if (parsedirective(text, d)) found = d;
        else kst_runwarning(ctx, 30, text);
    }
    return found;
}

// The `for` node a statement consists of, or null.
treeabs* forof(treeabs* statement)
{
    treeabs* body = tree_child(statement, 1);
    if (body && (body->kind == TREE_INSTRUCTION || body->kind == TREE_COMMAND || body->kind == TREE_DISPLAY))
        body = tree_child(body, 0);
    return body && body->kind == TREE_FOR ? body : nullptr;
}

// Evaluates an integer operand in the starting context; false when it is not an integer.
bool integeroperand(t_cctx* ctx, int slot, treeabs* node, long* out)
{
    tree_int(ctx, slot, node);
    bool ok = !tree_flags(ctx) && tree_slot_integer(ctx, slot, out);
    tree_run_cleanres(ctx, slot);
    return ok;
}

// The private names must exist in the starting context: each missing one is warning 29, and the
// work then runs as written.
bool privatesexist(t_cctx* ctx, const std::vector<std::string>& names)
{
    bool all = true;
    for (const std::string& name : names) {
        if (!recherche_id(ctx, name.c_str()).entry) {
            kst_runwarning(ctx, 29, name.c_str());
            all = false;
        }
    }
    return all;
}

// A task's own copies of the private names, as the starting context holds them now.
void copyprivates(t_cctx* master, elt_runpile* pile, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        t_idcommon* v = valeur_id(master, recherche_id(master, name.c_str()).entry);
        if (t_idcommon* copy = v ? v->Vcopy() : nullptr) kst_pilescope(pile)->locals.insert(name, 0, copy);
    }
}

// Each task's view of the loop: a loop pile on its own context holding the loop variable and its
// copies of the private names.
struct t_omploop {
    const char* var;
    treeabs* body;
    t_cctx* master;
    const std::vector<std::string>* privates;
    treesharedcode* source;
    int masterslot;                  // the caller's free slot, for a run in the caller
    elt_runpile* pile = nullptr;
    int slot = 0;
    t_identry* counter = nullptr;

    void run_loop_init(t_cctx* ctx)
    {
        pile = tree_run_setpile(ctx, RUNPILE_FOR, var, source);
        slot = ctx == master ? masterslot : 0;   // a task's loop pile has a value stack of its own
        ctx->historywrite = false;
        if (ctx != master) copyprivates(master, pile, *privates);   // in the caller they are its own
        counter = kst_pilescope(pile)->locals.insert(var, 0, nullptr);
    }
    bool run_loop(long value, t_cctx* ctx)
    {
        if (counter->value) counter->value->Vdelete();
        counter->value = new t_idconstante(ctx, var, coef_creenumlong_init(ctx, value));
        tree_int(ctx, slot, body);
        tree_run_cleanres(ctx, slot);
        pile->parameters.clear();
        if (ctx->kc.stopflag) {   // stop ends this task's share of the loop only
            ctx->kc.stopflag = 0;
            return false;
        }
        return !Erreur_Execution;
    }
    void run_loop_end(t_cctx* ctx)
    {
        tree_run_removepile(ctx, pile);
        pile = nullptr;
    }
};

int parallelfor(t_cctx* ctx, int slot, treeabs* statement, treeabs* loop, const t_ompdirective& d)
{
    bool parallel = privatesexist(ctx, d.privates);
    long start = 0, end = 0, step = 1;
    if (parallel) {
        parallel = integeroperand(ctx, slot + 1, tree_child(loop, 1), &start) &&
                   integeroperand(ctx, slot + 1, tree_child(loop, 2), &end) &&
                   (!tree_child(loop, 3) || integeroperand(ctx, slot + 1, tree_child(loop, 3), &step)) && step != 0;
        if (Erreur_Execution) return 0;
    }
    if (!parallel || !kst_parallel_allowed(ctx)) return tree_int(ctx, slot, tree_child(statement, 1));
    if (d.kind == OMP_DISTRIBUTE) kst_runwarning(ctx, 33);
    elt_runpile* outer = tree_run_getpile(ctx);
    t_omploop body{tree_string(loop, 0), tree_child(loop, 4), ctx, &d.privates, outer ? outer->source : nullptr, slot + 1};
    kst_omp_parallel_for(ctx, start, end, step, body);
    return 0;
}

// "parallel": the statement once on each thread, with its own copies of the private names.
int parallelblock(t_cctx* ctx, int slot, treeabs* statement, const t_ompdirective& d)
{
    if (!privatesexist(ctx, d.privates)) return tree_int(ctx, slot, tree_child(statement, 1));
    elt_runpile* outer = tree_run_getpile(ctx);
    treesharedcode* source = outer ? outer->source : nullptr;
    kst_omp_parallel(ctx, [&](int, t_cctx* task) {
        if (task == ctx) {
            tree_int(ctx, slot, tree_child(statement, 1));
            return;
        }
        elt_runpile* pile = tree_run_setpile(task, RUNPILE_STRING, nullptr, source);
        task->historywrite = false;
        copyprivates(ctx, pile, d.privates);
        tree_int(task, 0, tree_child(statement, 1));
        tree_run_cleanres(task, 0);
        tree_run_removepile(task, pile);
    });
    return 0;
}

} // namespace

bool kst_omp_statement(t_cctx* ctx, int slot, treeabs* statement, int* result)
{
    t_ompdirective d = finddirective(ctx, tree_child(statement, 0));
    switch (d.kind) {
    case OMP_PARALLELFOR:
    case OMP_DISTRIBUTE:
        if (treeabs* loop = forof(statement)) {
            *result = parallelfor(ctx, slot, statement, loop, d);
            return true;
        }
        return false;
    case OMP_PARALLEL: *result = parallelblock(ctx, slot, statement, d); return true;
    default: return false;
    }
}
