// Construction, copy, release and inspection of syntax-tree nodes.
#include "interp/error.h"
#include "interp/keywords.h"
#include "interp/treeabs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

namespace {
t_tree_opaquehooks s_hooks;

bool ispointertag(eparaabs tag)
{
    return tag == PARA_TREE || tag == PARA_STMT || tag == PARA_STRING || tag == PARA_OPAQUE ||
           tag == PARA_OPAQUE_MOVEABLE;
}

bool isknowntag(int tag) { return tag >= PARA_TREE && tag <= PARA_OPAQUE_MOVEABLE; }

// Reads the value that follows `tag` in a variadic constructor list: pointers for the owning
// tags, an int (the promoted type) for the others.
paraabs_value readvalue(eparaabs tag, va_list* ap)
{
    paraabs_value v;
    v.i = 0;
    if (!isknowntag(tag)) kst_iceerror(1020, "tree_new", int(tag));
    if (ispointertag(tag)) v.ptr = va_arg(*ap, void*);
    else v.i = va_arg(*ap, int);
    return v;
}

treeabs* allocnode(t_tree_loc loc, etreeabs kind, size_t bytes)
{
    auto* t = static_cast<treeabs*>(malloc(bytes));
    if (!t) return nullptr;
    t->size = bytes;
    t->params = nullptr;
    t->loc = loc;
    t->kind = kind;
    t->flags = 0;
    memset(&t->cache, 0, sizeof t->cache);
    return t;
}

lparaabs** lastcell(treeabs* node)
{
    lparaabs** p = &node->params;
    while (*p) p = &(*p)->next;
    return p;
}

bool inblock(const treeabs* node, const void* p)
{
    if (!(node->flags & TREEFLAG_BLOCK)) return false;
    auto* b = reinterpret_cast<const char*>(node);
    auto* q = static_cast<const char*>(p);
    return q >= b && q < b + node->size;
}

void releasevalue(paraabs* p, std::vector<treeabs*>& pending)
{
    switch (p->tag) {
    case PARA_TREE:
        if (p->value.tree) pending.push_back(p->value.tree);
        break;
    case PARA_STRING: free(p->value.str); break;
    case PARA_OPAQUE:
    case PARA_OPAQUE_MOVEABLE:
        if (p->value.opaque && s_hooks.release) s_hooks.release(p->value.opaque);
        break;
    case PARA_STMT:
        if (p->value.stmt && s_hooks.releasestmt) s_hooks.releasestmt(p->value.stmt);
        break;
    default: break;
    }
}

treeabs* binary(t_tree_loc loc, etreeabs kind, treeabs* a, treeabs* b)
{
    return treen_new(loc, kind, 2, PARA_TREE, a, PARA_TREE, b);
}

treeabs* unary(t_tree_loc loc, etreeabs kind, treeabs* a) { return treen_new(loc, kind, 1, PARA_TREE, a); }

treeabs* withtext(t_tree_loc loc, etreeabs kind, char* text)
{
    return treen_new(loc, kind, 1, PARA_STRING, text);
}
} // namespace

void tree_setopaquehooks(const t_tree_opaquehooks& hooks) { s_hooks = hooks; }

void tree_addpara(treeabs* node, eparaabs tag, paraabs_value value)
{
    if (!node) return;
    auto* cell = static_cast<lparaabs*>(malloc(sizeof(lparaabs) + sizeof(paraabs)));
    if (!cell) kst_fatalerror(436, long(sizeof(lparaabs) + sizeof(paraabs)), "SYSCHECKMALLOC");
    auto* p = reinterpret_cast<paraabs*>(cell + 1);
    p->tag = tag;
    p->value = value;
    cell->para = p;
    cell->next = nullptr;
    *lastcell(node) = cell;
}

void tree_addtree(treeabs* node, treeabs* child)
{
    paraabs_value v;
    v.tree = child;
    tree_addpara(node, PARA_TREE, v);
}

void tree_addstring(treeabs* node, char* text)
{
    paraabs_value v;
    v.str = text;
    tree_addpara(node, PARA_STRING, v);
}

treeabs* tree_vnew(t_tree_loc loc, etreeabs kind, va_list ap)
{
    treeabs* t = allocnode(loc, kind, sizeof(treeabs));
    va_list args;
    va_copy(args, ap);
    for (;;) {
        auto tag = static_cast<eparaabs>(va_arg(args, int));
        if (tag == PARA_EMPTY) break;
        paraabs_value v = readvalue(tag, &args);
        tree_addpara(t, tag, v);
    }
    va_end(args);
    return t;
}

treeabs* tree_new(t_tree_loc loc, int kind, ...)
{
    va_list ap;
    va_start(ap, kind);
    treeabs* t = tree_vnew(loc, etreeabs(kind), ap);
    va_end(ap);
    return t;
}

treeabs* treen_vnew(t_tree_loc loc, etreeabs kind, int count, va_list ap)
{
    size_t bytes = sizeof(treeabs) + size_t(count) * (sizeof(lparaabs) + sizeof(paraabs));
    treeabs* t = allocnode(loc, kind, bytes);
    if (!t) return nullptr;
    t->flags = TREEFLAG_BLOCK;
    auto* cells = reinterpret_cast<lparaabs*>(t + 1);
    auto* paras = reinterpret_cast<paraabs*>(cells + count);
    lparaabs** link = &t->params;
    va_list args;
    va_copy(args, ap);
    for (int i = 0; i < count; i++) {
        auto tag = static_cast<eparaabs>(va_arg(args, int));
        paras[i].tag = tag;
        paras[i].value = readvalue(tag, &args);
        cells[i].para = &paras[i];
        cells[i].next = nullptr;
        *link = &cells[i];
        link = &cells[i].next;
    }
    va_end(args);
    return t;
}

treeabs* treen_new(t_tree_loc loc, etreeabs kind, int count, ...)
{
    va_list ap;
    va_start(ap, count);
    treeabs* t = treen_vnew(loc, kind, count, ap);
    va_end(ap);
    return t;
}

#define TREEN_NEW_N(n)                                                                             \
    treeabs* treen_new##n(t_tree_loc loc, int kind, ...)                                           \
    {                                                                                              \
        va_list ap;                                                                                \
        va_start(ap, kind);                                                                        \
        treeabs* t = treen_vnew(loc, etreeabs(kind), n, ap);                                       \
        va_end(ap);                                                                                \
        return t;                                                                                  \
    }
TREEN_NEW_N(2)
TREEN_NEW_N(3)
TREEN_NEW_N(4)
TREEN_NEW_N(5)
TREEN_NEW_N(6)
TREEN_NEW_N(7)
TREEN_NEW_N(8)
TREEN_NEW_N(9)
TREEN_NEW_N(10)
TREEN_NEW_N(11)
TREEN_NEW_N(12)
TREEN_NEW_N(13)
TREEN_NEW_N(14)
TREEN_NEW_N(15)
#undef TREEN_NEW_N

treeabs* tree_newlist(t_tree_loc loc, treeabs* list, ...)
{
    if (!list) list = tree_new(loc, TREE_LIST, PARA_EMPTY);
    va_list ap;
    va_start(ap, list);
    while (treeabs* node = va_arg(ap, treeabs*)) tree_addtree(list, node);
    va_end(ap);
    return list;
}

treeabs* tree_newlisttyped(t_tree_loc loc, etreeabs kind, treeabs* list, ...)
{
    if (!list) list = tree_new(loc, kind, PARA_EMPTY);
    va_list ap;
    va_start(ap, list);
    while (treeabs* node = va_arg(ap, treeabs*)) tree_addtree(list, node);
    va_end(ap);
    return list;
}

treeabs* tree_newlisttypedn(t_tree_loc loc, etreeabs kind, treeabs* list, int count, ...)
{
    if (!list) list = tree_new(loc, kind, PARA_EMPTY);
    va_list ap;
    va_start(ap, count);
    for (int i = 0; i < count; i++) tree_addtree(list, va_arg(ap, treeabs*));
    va_end(ap);
    return list;
}

// ---------------------------------------------------------------- named constructors

treeabs* tree_add_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_ADD, a, b); }
treeabs* tree_sub_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_SUB, a, b); }
treeabs* tree_mul_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_MUL, a, b); }
treeabs* tree_div_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_DIV, a, b); }
treeabs* tree_pow_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_POW, a, b); }
treeabs* tree_extmul_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_EXTMUL, a, b); }
treeabs* tree_dotmul_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_DOTMUL, a, b); }
treeabs* tree_liemul_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_LIEMUL, a, b); }
treeabs* tree_poisson_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_POISSON, a, b); }
treeabs* tree_neg_new(t_tree_loc loc, treeabs* a) { return unary(loc, TREE_NEG, a); }
treeabs* tree_add_nary_new(t_tree_loc loc, treeabs* list) { return unary(loc, TREE_ADD_NARY, list); }
treeabs* tree_condeq_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_CONDEQ, a, b); }
treeabs* tree_condne_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_CONDNE, a, b); }
treeabs* tree_condlt_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_CONDLT, a, b); }
treeabs* tree_condgt_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_CONDGT, a, b); }
treeabs* tree_condle_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_CONDLE, a, b); }
treeabs* tree_condge_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_CONDGE, a, b); }
treeabs* tree_condand_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_CONDAND, a, b); }
treeabs* tree_condor_new(t_tree_loc loc, treeabs* a, treeabs* b) { return binary(loc, TREE_CONDOR, a, b); }

treeabs* tree_func1_new(t_tree_loc loc, const char* keyword, treeabs* a)
{
    int k = kst_lookupkeyword(keyword, strlen(keyword));
    if (k < 0) kst_iceerror(1020, "tree_func1_new", 0);
    return unary(loc, tree_keywordkind(k), a);
}
treeabs* tree_abs_new(t_tree_loc loc, treeabs* a) { return tree_func1_new(loc, "abs", a); }
treeabs* tree_sin_new(t_tree_loc loc, treeabs* a) { return tree_func1_new(loc, "sin", a); }
treeabs* tree_cos_new(t_tree_loc loc, treeabs* a) { return tree_func1_new(loc, "cos", a); }
treeabs* tree_exp_new(t_tree_loc loc, treeabs* a) { return tree_func1_new(loc, "exp", a); }
treeabs* tree_log_new(t_tree_loc loc, treeabs* a) { return tree_func1_new(loc, "log", a); }
treeabs* tree_sqrt_new(t_tree_loc loc, treeabs* a) { return tree_func1_new(loc, "sqrt", a); }
treeabs* tree_nint_new(t_tree_loc loc, treeabs* a) { return tree_func1_new(loc, "nint", a); }

treeabs* tree_symbole_new(t_tree_loc loc, char* name) { return withtext(loc, TREE_SYMBOL, name); }
treeabs* tree_entier_new(t_tree_loc loc, char* text) { return withtext(loc, TREE_INTEGER, text); }
treeabs* tree_flottant_new(t_tree_loc loc, char* text) { return withtext(loc, TREE_REAL, text); }
treeabs* tree_flottant_ou_entier_new(t_tree_loc loc, char* text) { return withtext(loc, TREE_REAL_OR_INTEGER, text); }
treeabs* tree_string_new(t_tree_loc loc, char* text) { return withtext(loc, TREE_STRING, text); }

treeabs* tree_opaque_new(t_tree_loc loc, t_idcommon* value, bool moveable)
{
    return treen_new(loc, TREE_OPAQUE, 1, moveable ? PARA_OPAQUE_MOVEABLE : PARA_OPAQUE, value);
}
treeabs* tree_quit_new(t_tree_loc loc) { return treen_new(loc, TREE_QUIT, 0); }
treeabs* tree_pi_new(t_tree_loc loc) { return treen_new(loc, TREE_PI, 0); }
treeabs* tree_icomplexe_new(t_tree_loc loc) { return treen_new(loc, TREE_ICOMPLEX, 0); }
treeabs* tree_nan_new(t_tree_loc loc) { return treen_new(loc, TREE_NAN, 0); }
treeabs* tree_infinite_new(t_tree_loc loc) { return treen_new(loc, TREE_INFINITE, 0); }

treeabs* tree_bornetab_new(t_tree_loc loc, treeabs* first, treeabs* last, treeabs* step)
{
    if (step) return treen_new(loc, TREE_BORNETAB, 3, PARA_TREE, first, PARA_TREE, last, PARA_TREE, step);
    return binary(loc, TREE_BORNETAB, first, last);
}
treeabs* tree_unpackarray_new(t_tree_loc loc, treeabs* a) { return unary(loc, TREE_UNPACKARRAY, a); }

// ---------------------------------------------------------------- release and copy

// Iterative: a long chain such as 1+1+...+1 builds a tree as deep as it is long.
void tree_delete(treeabs* tree)
{
    if (!tree) return;
    std::vector<treeabs*> pending;
    pending.push_back(tree);
    while (!pending.empty()) {
        treeabs* t = pending.back();
        pending.pop_back();
        lparaabs* cell = t->params;
        while (cell) {
            lparaabs* next = cell->next;
            releasevalue(cell->para, pending);
            if (!inblock(t, cell)) free(cell);   // cell and parameter share one allocation
            cell = next;
        }
        free(t);
    }
}

treeabs* tree_dup_childempty(const treeabs* tree)
{
    if (!tree) return nullptr;
    treeabs* t = allocnode(tree->loc, tree->kind, sizeof(treeabs));
    t->flags = tree->flags & ~TREEFLAG_BLOCK;
    for (lparaabs* cell = tree->params; cell; cell = cell->next) {
        paraabs_value v = cell->para->value;
        switch (cell->para->tag) {
        case PARA_TREE: continue;
        case PARA_STRING: v.str = v.str ? strdup(v.str) : nullptr; break;
        case PARA_OPAQUE:
        case PARA_OPAQUE_MOVEABLE: v.opaque = (v.opaque && s_hooks.copy) ? s_hooks.copy(v.opaque) : nullptr; break;
        case PARA_STMT: v.stmt = nullptr; break;   // recompiled on demand
        default: break;
        }
        tree_addpara(t, cell->para->tag, v);
    }
    return t;
}

treeabs* tree_dup(const treeabs* tree)
{
    if (!tree) return nullptr;
    treeabs* t = allocnode(tree->loc, tree->kind, sizeof(treeabs));
    t->flags = tree->flags & ~TREEFLAG_BLOCK;
    for (lparaabs* cell = tree->params; cell; cell = cell->next) {
        paraabs_value v = cell->para->value;
        switch (cell->para->tag) {
        case PARA_TREE: v.tree = tree_dup(v.tree); break;
        case PARA_STRING: v.str = v.str ? strdup(v.str) : nullptr; break;
        case PARA_OPAQUE:
        case PARA_OPAQUE_MOVEABLE: v.opaque = (v.opaque && s_hooks.copy) ? s_hooks.copy(v.opaque) : nullptr; break;
        case PARA_STMT: v.stmt = nullptr; break;
        default: break;
        }
        tree_addpara(t, cell->para->tag, v);
    }
    return t;
}

// ---------------------------------------------------------------- access

int tree_paracount(const treeabs* tree)
{
    int n = 0;
    if (tree)
        for (lparaabs* c = tree->params; c; c = c->next) n++;
    return n;
}

paraabs* tree_para(const treeabs* tree, int index)
{
    if (!tree || index < 0) return nullptr;
    lparaabs* c = tree->params;
    while (c && index--) c = c->next;
    return c ? c->para : nullptr;
}

treeabs* tree_child(const treeabs* tree, int index)
{
    paraabs* p = tree_para(tree, index);
    return (p && p->tag == PARA_TREE) ? p->value.tree : nullptr;
}

const char* tree_string(const treeabs* tree, int index)
{
    paraabs* p = tree_para(tree, index);
    return (p && p->tag == PARA_STRING) ? p->value.str : nullptr;
}

int64_t tree_paraint(const treeabs* tree, int index, int64_t dflt)
{
    paraabs* p = tree_para(tree, index);
    return (p && !ispointertag(p->tag)) ? p->value.i : dflt;
}

const char* tree_kindname(etreeabs kind)
{
    if (kind >= TREE_KEYWORD_FIRST && kind <= TREE_KIND_LAST) {
        int k = kind - TREE_KEYWORD_FIRST;
        return k < kst_keywordcount ? kst_keywordtable()[k].text : "?";
    }
    switch (kind) {
    case TREE_LIST: return "list";
    case TREE_STATEMENT: return "stmt";
    case TREE_INSTRUCTION: return "instr";
    case TREE_COMMAND: return "cmd";
    case TREE_DISPLAY: return "disp";
    case TREE_COMMENT: return "comment";
    case TREE_COMMENT_OMP: return "omp";
    case TREE_COMMENT_ACTIVE: return "active";
    case TREE_INTEGER: return "int";
    case TREE_REAL: return "real";
    case TREE_REAL_OR_INTEGER: return "realint";
    case TREE_STRING: return "str";
    case TREE_ICOMPLEX: return "I";
    case TREE_PI: return "PI";
    case TREE_NAN: return "nan";
    case TREE_INFINITE: return "inf";
    case TREE_SYMBOL: return "id";
    case TREE_FILENAME: return "file";
    case TREE_OPAQUE: return "opaque";
    case TREE_KEYWORDVALUE: return "kw";
    case TREE_TYPENAME: return "type";
    case TREE_ADD: return "add";
    case TREE_SUB: return "sub";
    case TREE_MUL: return "mul";
    case TREE_DIV: return "div";
    case TREE_POW: return "pow";
    case TREE_EXTMUL: return "extmul";
    case TREE_DOTMUL: return "dotmul";
    case TREE_LIEMUL: return "liemul";
    case TREE_NEG: return "neg";
    case TREE_POISSON: return "poisson";
    case TREE_ADD_NARY: return "addn";
    case TREE_CONDEQ: return "eq";
    case TREE_CONDNE: return "ne";
    case TREE_CONDLT: return "lt";
    case TREE_CONDGT: return "gt";
    case TREE_CONDLE: return "le";
    case TREE_CONDGE: return "ge";
    case TREE_CONDAND: return "and";
    case TREE_CONDOR: return "or";
    case TREE_ASSIGN: return "assign";
    case TREE_INDEX: return "index";
    case TREE_FIELD: return "field";
    case TREE_BORNETAB: return "range";
    case TREE_ELLIPSIS: return "ellipsis";
    case TREE_VECTOR: return "vector";
    case TREE_UNPACKARRAY: return "unpack";
    case TREE_ARGLIST: return "args";
    case TREE_IF: return "if";
    case TREE_WHILE: return "while";
    case TREE_FOR: return "for";
    case TREE_SUM: return "sum";
    case TREE_PROD: return "prod";
    case TREE_SUM_FMA: return "sumfma";
    case TREE_RETURN: return "return";
    case TREE_RETURN_FMA: return "returnfma";
    case TREE_SWITCH: return "switch";
    case TREE_CASE: return "case";
    case TREE_TRY: return "try";
    case TREE_MACRODEF: return "macro";
    case TREE_METHODDEF: return "method";
    case TREE_STRUCTDEF: return "struct";
    case TREE_STRUCTFIELD: return "fielddef";
    case TREE_MACROCALL: return "call%";
    case TREE_METHODCALL: return "method%";
    case TREE_CALL: return "call";
    case TREE_PRIVATE: return "private";
    case TREE_PUBLIC: return "public";
    case TREE_STOP: return "stop";
    case TREE_QUIT: return "quit";
    case TREE_INCLUDE: return "include";
    case TREE_HELP: return "help";
    case TREE_GNUPLOT: return "gnuplot";
    case TREE_MAPLE: return "maple";
    case TREE_MATHEMATICA: return "mathematica";
    case TREE_GRACE: return "grace";
    case TREE_TYPEDECL: return "typedecl";
    case TREE_MACROPARAMS: return "params";
    default: return "?";
    }
}

namespace {
const etreeabs s_evaluatedkinds[] = {
    TREE_LIST,       TREE_STATEMENT, TREE_COMMAND,    TREE_DISPLAY,     TREE_INTEGER,     TREE_REAL,
    TREE_STRING,     TREE_ICOMPLEX,  TREE_PI,         TREE_INFINITE,    TREE_SYMBOL,      TREE_FILENAME,
    TREE_KEYWORDVALUE, TREE_ADD,     TREE_SUB,        TREE_MUL,         TREE_DIV,         TREE_POW,
    TREE_EXTMUL,     TREE_DOTMUL,    TREE_LIEMUL,     TREE_NEG,         TREE_POISSON,     TREE_CONDEQ,
    TREE_CONDNE,     TREE_CONDLT,    TREE_CONDGT,     TREE_CONDLE,      TREE_CONDGE,      TREE_CONDAND,
    TREE_CONDOR,     TREE_ASSIGN,    TREE_INDEX,      TREE_FIELD,       TREE_BORNETAB,    TREE_ELLIPSIS,
    TREE_VECTOR,     TREE_IF,        TREE_WHILE,      TREE_FOR,         TREE_SUM,         TREE_PROD,
    TREE_SUM_FMA,    TREE_RETURN,    TREE_RETURN_FMA, TREE_SWITCH,      TREE_TRY,         TREE_MACRODEF,
    TREE_METHODDEF,  TREE_STRUCTDEF, TREE_MACROCALL,  TREE_METHODCALL,  TREE_CALL,        TREE_PRIVATE,
    TREE_PUBLIC,     TREE_STOP,      TREE_QUIT,       TREE_INCLUDE,     TREE_HELP,        TREE_GNUPLOT,
    TREE_MAPLE,      TREE_MATHEMATICA, TREE_GRACE,    TREE_TYPEDECL,
};
// Argument and parameter lists, case branches, structure fields and comments.
const etreeabs s_partkinds[] = {
    TREE_ARGLIST, TREE_MACROPARAMS, TREE_CASE, TREE_STRUCTFIELD, TREE_COMMENT, TREE_COMMENT_OMP, TREE_COMMENT_ACTIVE,
};
} // namespace

const etreeabs* tree_evaluatedkinds(int* count)
{
    *count = static_cast<int>(std::size(s_evaluatedkinds));
    return s_evaluatedkinds;
}

const etreeabs* tree_partkinds(int* count)
{
    *count = static_cast<int>(std::size(s_partkinds));
    return s_partkinds;
}

namespace {
struct t_dumpbuf {
    char* buf;
    size_t size;
    size_t n = 0;
    void put(const char* s)
    {
        for (; *s; s++, n++)
            if (n + 1 < size) buf[n] = *s;
    }
};

void dumpnode(const treeabs* t, t_dumpbuf& out)
{
    if (!t) {
        out.put("null");
        return;
    }
    out.put(tree_kindname(t->kind));
    if (!t->params) return;
    out.put("(");
    bool first = true;
    for (lparaabs* c = t->params; c; c = c->next, first = false) {
        if (!first) out.put(", ");
        const paraabs* p = c->para;
        char num[32];
        switch (p->tag) {
        case PARA_TREE: dumpnode(p->value.tree, out); break;
        case PARA_STRING:
            out.put("\"");
            out.put(p->value.str ? p->value.str : "");
            out.put("\"");
            break;
        case PARA_OPAQUE:
        case PARA_OPAQUE_MOVEABLE: out.put("<opaque>"); break;
        case PARA_STMT: out.put("<stmt>"); break;
        default:
            snprintf(num, sizeof num, "%lld", static_cast<long long>(p->value.i));
            out.put(num);
            break;
        }
    }
    out.put(")");
}
} // namespace

int tree_dump(const treeabs* tree, char* buf, size_t size)
{
    t_dumpbuf out{buf, size};
    dumpnode(tree, out);
    if (size) buf[out.n < size ? out.n : size - 1] = 0;
    return static_cast<int>(out.n);
}
