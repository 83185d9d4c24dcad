// Optimisation passes over macro bodies before they are stored: fused multiply-accumulate sums
// and the silencing of displaying statements under `_quiet on`.
#include "interp/keywords.h"
#include "interp/treeabs.h"

#include <cstring>
#include <vector>

namespace {
// Kinds whose presence in a sum's body rules out the fused form: anything that could return,
// loop, or run other code between the terms.
bool iscounted(etreeabs kind)
{
    switch (kind) {
    case TREE_RETURN:
    case TREE_RETURN_FMA:
    case TREE_SUM:
    case TREE_SUM_FMA:
    case TREE_PROD:
    case TREE_FOR:
    case TREE_WHILE:
    case TREE_IF:
    case TREE_SWITCH:
    case TREE_TRY:
    case TREE_MACROCALL:
    case TREE_METHODCALL:
    case TREE_CALL:
    case TREE_INCLUDE:
    case TREE_STOP: return true;
    default: return false;
    }
}

// Pre-order walk in source order, without recursion (bodies may hold very deep expressions).
template <class F> void walk(treeabs* root, F&& visit)
{
    std::vector<treeabs*> stack;
    if (root) stack.push_back(root);
    std::vector<treeabs*> children;
    while (!stack.empty()) {
        treeabs* t = stack.back();
        stack.pop_back();
        if (!visit(t)) continue;
        children.clear();
        for (lparaabs* c = t->params; c; c = c->next)
            if (c->para->tag == PARA_TREE && c->para->value.tree) children.push_back(c->para->value.tree);
        for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
    }
}

void fusesum(treeabs* sum)
{
    treeabs* body = tree_child(sum, 4);
    treeabs* ret = nullptr;
    int counted = 0;
    walk(body, [&](treeabs* t) {
        if (iscounted(t->kind)) {
            counted++;
            if (t->kind == TREE_RETURN) ret = t;
        }
        return counted <= 1;
    });
    if (counted != 1 || !ret) return;
    treeabs* value = tree_child(ret, 0);
    if (!value || value->kind != TREE_MUL) return;
    sum->kind = TREE_SUM_FMA;
    ret->kind = TREE_RETURN_FMA;
}

int quietswitch(const treeabs* stmt)
{
    static const int quiet = kst_lookupkeyword("_quiet", 6);
    treeabs* inner = tree_child(stmt, 1);
    treeabs* body = tree_child(inner, 0);
    if (!body || body->kind != tree_keywordkind(quiet)) return -1;
    int64_t action = tree_paraint(body, 0, -1);
    if (action == TREE_OPTION_ON) return 1;
    if (action == TREE_OPTION_OFF) return 0;
    return -1;
}
} // namespace

// Marking statements that contain macro calls and renaming private identifiers are left to
// later versions; as identity passes they keep results unchanged.
treeabs* tree_opt1(treeabs* tree) { return tree; }
treeabs* tree_opt2(treeabs* tree) { return tree; }
treeabs* tree_opt4(treeabs* tree) { return tree; }

treeabs* tree_opt3(treeabs* tree)
{
    std::vector<treeabs*> sums;
    walk(tree, [&](treeabs* t) {
        if (t->kind == TREE_SUM) sums.push_back(t);
        return true;
    });
    for (treeabs* s : sums) fusesum(s);
    return tree;
}

treeabs* tree_opt5(treeabs* tree)
{
    bool quiet = false;
    walk(tree, [&](treeabs* t) {
        if (t->kind != TREE_STATEMENT) return true;
        int q = quietswitch(t);
        if (q >= 0) {
            quiet = q == 1;   // the switches themselves keep their terminator
            return true;
        }
        treeabs* inner = tree_child(t, 1);
        if (quiet && inner && inner->kind == TREE_DISPLAY) inner->kind = TREE_COMMAND;
        return true;
    });
    return tree;
}

treeabs* tree_opt_macro(treeabs* tree)
{
    tree = tree_opt1(tree);
    tree = tree_opt2(tree);
    tree = tree_opt3(tree);
    tree = tree_opt4(tree);
    return tree_opt5(tree);
}
