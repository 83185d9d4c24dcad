// The syntax tree: typed nodes with ordered, tagged parameters, each node carrying the location
// of its construct so that errors found long after the parse can still quote the source.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "interp/treesharedcode.h"

class t_cctx;
class t_idcommon;
struct treeabs;
struct t_tree_stmt;

// Parameter tags, numbered from 0x40000000 in this order; 0x3FFFFFFF marks an empty parameter and
// closes the variadic argument lists of the constructors.
enum eparaabs : int32_t {
    PARA_EMPTY = 0x3FFFFFFF,
    PARA_TREE = 0x40000000,   // treeabs*
    PARA_STMT,                // t_tree_stmt*, a pre-compiled statement
    PARA_STRING,              // owned C string
    PARA_BOOL,
    PARA_INT,
    PARA_MODENUM,
    PARA_GRAPHMODE,
    PARA_INTERPOL,
    PARA_OPAQUE,              // t_idcommon* owned by the tree
    PARA_OPAQUE_MOVEABLE,     // t_idcommon* that evaluation may take over
};

union paraabs_value {
    void* ptr;
    treeabs* tree;
    t_tree_stmt* stmt;
    char* str;
    t_idcommon* opaque;
    int64_t i;
};
static_assert(sizeof(paraabs_value) == 8, "a parameter value is 8 bytes");

struct paraabs {
    eparaabs tag;
    paraabs_value value;
};

struct lparaabs {
    paraabs* para;
    lparaabs* next;
};

#define TREEK(k) (0x3FFFFFFF + (k))

// Node kinds: 0x3FFFFFFF + k, k in [0, 503]. The numbers are shared by the parser, the evaluator
// and the tree exchange between peers, so entries are only ever appended inside their range.
enum etreeabs : int32_t {
    TREE_LIST = TREEK(0),           // nodes run in order
    TREE_STATEMENT = TREEK(1),      // top-level statement: (comments or null, body)
    TREE_INSTRUCTION = TREEK(2),
    TREE_COMMAND = TREEK(3),        // statement ended by "$": run without display
    TREE_DISPLAY = TREEK(4),        // statement ended by ";": run, then display the value
    TREE_COMMENT = TREEK(5),        // text of a comment
    TREE_COMMENT_OMP = TREEK(6),    // "!kest omp" parallel directive
    TREE_COMMENT_ACTIVE = TREEK(7), // "//!kest " active comment

    // literals and names
    TREE_INTEGER = TREEK(10),       // (text)
    TREE_REAL = TREEK(11),          // (text, exponent letter already "E")
    TREE_REAL_OR_INTEGER = TREEK(12),
    TREE_STRING = TREEK(13),        // (value)
    TREE_ICOMPLEX = TREEK(14),
    TREE_PI = TREEK(15),
    TREE_NAN = TREEK(16),
    TREE_INFINITE = TREEK(17),
    TREE_SYMBOL = TREEK(18),        // identifier (name)
    TREE_FILENAME = TREEK(19),      // bare file name (text)
    TREE_OPAQUE = TREEK(20),        // a value object carried by the tree
    TREE_KEYWORDVALUE = TREEK(21),  // a keyword used as a value (NUMDBL, LINEAR, _ALL...): (keyword index)
    TREE_TYPENAME = TREEK(22),      // declared type name (name)

    // arithmetic
    TREE_ADD = TREEK(30),
    TREE_SUB = TREEK(31),
    TREE_MUL = TREEK(32),
    TREE_DIV = TREEK(33),
    TREE_POW = TREEK(34),
    TREE_EXTMUL = TREEK(35),        // &
    TREE_DOTMUL = TREEK(36),        // " . "
    TREE_LIEMUL = TREEK(37),        // &*
    TREE_NEG = TREEK(38),
    TREE_POISSON = TREEK(39),       // {a, b}
    TREE_ADD_NARY = TREEK(40),

    // conditions
    TREE_CONDEQ = TREEK(45),
    TREE_CONDNE = TREEK(46),
    TREE_CONDLT = TREEK(47),
    TREE_CONDGT = TREEK(48),
    TREE_CONDLE = TREEK(49),
    TREE_CONDGE = TREEK(50),
    TREE_CONDAND = TREEK(51),
    TREE_CONDOR = TREEK(52),

    // references, indices, ranges
    TREE_ASSIGN = TREEK(60),        // (target, value)
    TREE_INDEX = TREEK(61),         // (name, index list)
    TREE_FIELD = TREEK(62),         // (object, field name)
    TREE_BORNETAB = TREEK(63),      // range a:b or a:b:c
    TREE_ELLIPSIS = TREEK(64),
    TREE_VECTOR = TREEK(65),        // [a, b, ...]
    TREE_UNPACKARRAY = TREEK(66),
    TREE_ARGLIST = TREEK(67),

    // control flow and definitions
    TREE_IF = TREEK(80),            // (condition, then block[, else block or if])
    TREE_WHILE = TREEK(81),         // (condition, body)
    TREE_FOR = TREEK(82),           // (name, start, end, step or empty, body)
    TREE_SUM = TREEK(83),           // as for
    TREE_PROD = TREEK(84),
    TREE_SUM_FMA = TREEK(85),       // sum whose single return is a product, accumulated fused
    TREE_RETURN = TREEK(86),
    TREE_RETURN_FMA = TREEK(87),
    TREE_SWITCH = TREEK(88),        // (selector, case list[, default block])
    TREE_CASE = TREEK(89),          // (value list, block)
    TREE_TRY = TREEK(90),           // (block, catch block)
    TREE_MACRODEF = TREEK(91),      // (name, parameter list or null, body)
    TREE_METHODDEF = TREEK(92),     // (type, name, parameter list or null, body)
    TREE_STRUCTDEF = TREEK(93),     // (name, field list)
    TREE_STRUCTFIELD = TREEK(94),   // (name[, initial value])
    TREE_MACROCALL = TREEK(95),     // (name, argument list or null)
    TREE_METHODCALL = TREEK(96),    // (object, name, argument list or null)
    TREE_CALL = TREEK(97),          // name(args): external function or library macro
    TREE_PRIVATE = TREEK(98),
    TREE_PUBLIC = TREEK(99),
    TREE_STOP = TREEK(100),
    TREE_QUIT = TREEK(101),
    TREE_INCLUDE = TREEK(102),      // (file name)
    TREE_HELP = TREEK(103),         // ([word])
    TREE_GNUPLOT = TREEK(104),      // pass-through lines, one string each
    TREE_MAPLE = TREEK(105),
    TREE_MATHEMATICA = TREEK(106),
    TREE_GRACE = TREEK(107),
    TREE_TYPEDECL = TREEK(108),     // declared type followed by its arguments
    TREE_MACROPARAMS = TREEK(109),

    // Keyword statements, functions and global options: kind = TREE_KEYWORD_FIRST + the index of
    // the keyword's first entry in the keyword table. A global option node holds (action[, value])
    // with action one of the TREE_OPTION_* values.
    TREE_KEYWORD_FIRST = TREEK(128),
    TREE_KIND_LAST = TREEK(503),
};

enum { TREE_OPTION_DISPLAY = 0, TREE_OPTION_SET = 1, TREE_OPTION_ON = 2, TREE_OPTION_OFF = 3 };

// Node flag bits.
enum : uint8_t {
    TREEFLAG_BLOCK = 1,     // node, list cells and parameters allocated as one block
    TREEFLAG_OPTCALL = 2,   // statement contains a macro call (optimiser)
    TREEFLAG_COMMANDFORM = 4,   // keyword written as a command, without parentheses
};

struct t_identry;

struct treeabs {
    uint64_t size;
    lparaabs* params;
    t_tree_loc loc;
    etreeabs kind;
    uint8_t flags;
    // What evaluation remembers of the node, written and read by the session's own context only.
    union {
        // A name: the entry it resolved to from one run pile (its serial) of one context, while no
        // declaration, deletion, private/public declaration or macro definition has happened since
        // (kst_idgen). When that entry was a named parameter of the innermost pile, a call of
        // `macro`, the name resolves to the same parameter (by position) in any call of it.
        struct {
            uint64_t gen;
            uint64_t serial;
            t_cctx* ctx;
            t_identry* entry;
            const void* macro;
            int32_t param;
        } name;
        // A macro call: the definition it resolved to from one run pile, and the object bound to
        // self when it is a sibling method, under the same conditions; the number of its
        // arguments when each is passed by value (-1 when any is not).
        struct {
            uint64_t gen;
            uint64_t serial;
            t_cctx* ctx;
            void* macro;
            t_identry* self;
            int32_t byvalue;
        } call;
        // A statement inside a block: the expression it runs when nothing around it has work to
        // do (a "$" or `return x;` unwrapped), the place errors then quote (the expression's, else
        // the statement's, else none), whether its value is dropped; state 1 when worked out, 2
        // when the statement is not of that form (it carries comments).
        struct {
            treeabs* expr;
            const t_tree_loc* loc;
            int8_t discard;
            int8_t state;
        } stmt;
        // x[k]: the name and the only subscript when both are plain (a name that is not
        // macro_optargs, one subscript that is no range and no "..."): state 1, else 2.
        struct {
            treeabs* name;
            treeabs* subscript;
            int8_t pad[3 * 8 - 2];
            int8_t state;
        } element;
        // A number literal: its value (a number that owns no memory) under one numeric mode
        // (mode + 1; 0 while nothing is remembered).
        struct {
            uint64_t w[3];
            int32_t i32;
            int8_t type;
            int8_t mode;
        } number;
    } cache;
};

constexpr int tree_kindindex(etreeabs kind) { return int(kind) - 0x3FFFFFFF; }
constexpr etreeabs tree_keywordkind(int keywordindex) { return etreeabs(TREE_KEYWORD_FIRST + keywordindex); }
static_assert(TREE_KEYWORD_FIRST + 224 <= TREE_KIND_LAST, "every keyword has a node kind");

// ---- constructors. Variadic lists are (eparaabs tag, value) pairs closed by PARA_EMPTY; the value
// is a pointer for tree/statement/string/opaque tags and an int for the others. Strings are taken
// over by the node.
treeabs* tree_new(t_tree_loc loc, int kind, ...);   // kind: an etreeabs (int keeps va_start defined)
treeabs* tree_vnew(t_tree_loc loc, etreeabs kind, va_list ap);
treeabs* treen_new(t_tree_loc loc, etreeabs kind, int count, ...);
treeabs* treen_vnew(t_tree_loc loc, etreeabs kind, int count, va_list ap);
treeabs* treen_new2(t_tree_loc loc, int kind, ...);
treeabs* treen_new3(t_tree_loc loc, int kind, ...);
treeabs* treen_new4(t_tree_loc loc, int kind, ...);
treeabs* treen_new5(t_tree_loc loc, int kind, ...);
treeabs* treen_new6(t_tree_loc loc, int kind, ...);
treeabs* treen_new7(t_tree_loc loc, int kind, ...);
treeabs* treen_new8(t_tree_loc loc, int kind, ...);
treeabs* treen_new9(t_tree_loc loc, int kind, ...);
treeabs* treen_new10(t_tree_loc loc, int kind, ...);
treeabs* treen_new11(t_tree_loc loc, int kind, ...);
treeabs* treen_new12(t_tree_loc loc, int kind, ...);
treeabs* treen_new13(t_tree_loc loc, int kind, ...);
treeabs* treen_new14(t_tree_loc loc, int kind, ...);
treeabs* treen_new15(t_tree_loc loc, int kind, ...);
// Appends nodes (closed by a null pointer) to a plain list, creating it when `list` is null.
treeabs* tree_newlist(t_tree_loc loc, treeabs* list, ...);
treeabs* tree_newlisttyped(t_tree_loc loc, etreeabs kind, treeabs* list, ...);
// Same with an explicit count of nodes instead of the null terminator.
treeabs* tree_newlisttypedn(t_tree_loc loc, etreeabs kind, treeabs* list, int count, ...);
// Appends one parameter to any node (used by the parser to grow lists).
void tree_addpara(treeabs* node, eparaabs tag, paraabs_value value);
void tree_addtree(treeabs* node, treeabs* child);
void tree_addstring(treeabs* node, char* text);

// Named constructors, one per operator and literal.
treeabs* tree_add_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_sub_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_mul_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_div_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_pow_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_extmul_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_dotmul_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_liemul_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_poisson_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_neg_new(t_tree_loc loc, treeabs* a);
treeabs* tree_add_nary_new(t_tree_loc loc, treeabs* list);
treeabs* tree_condeq_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_condne_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_condlt_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_condgt_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_condle_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_condge_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_condand_new(t_tree_loc loc, treeabs* a, treeabs* b);
treeabs* tree_condor_new(t_tree_loc loc, treeabs* a, treeabs* b);
// One-argument functions named by their keyword (abs, sin, ... nint): kind of that keyword.
treeabs* tree_func1_new(t_tree_loc loc, const char* keyword, treeabs* a);
treeabs* tree_abs_new(t_tree_loc loc, treeabs* a);
treeabs* tree_sin_new(t_tree_loc loc, treeabs* a);
treeabs* tree_cos_new(t_tree_loc loc, treeabs* a);
treeabs* tree_exp_new(t_tree_loc loc, treeabs* a);
treeabs* tree_log_new(t_tree_loc loc, treeabs* a);
treeabs* tree_sqrt_new(t_tree_loc loc, treeabs* a);
treeabs* tree_nint_new(t_tree_loc loc, treeabs* a);
treeabs* tree_symbole_new(t_tree_loc loc, char* name);
treeabs* tree_entier_new(t_tree_loc loc, char* text);
treeabs* tree_flottant_new(t_tree_loc loc, char* text);
treeabs* tree_flottant_ou_entier_new(t_tree_loc loc, char* text);
treeabs* tree_string_new(t_tree_loc loc, char* text);
treeabs* tree_opaque_new(t_tree_loc loc, t_idcommon* value, bool moveable);
treeabs* tree_quit_new(t_tree_loc loc);
treeabs* tree_pi_new(t_tree_loc loc);
treeabs* tree_icomplexe_new(t_tree_loc loc);
treeabs* tree_nan_new(t_tree_loc loc);
treeabs* tree_infinite_new(t_tree_loc loc);
treeabs* tree_bornetab_new(t_tree_loc loc, treeabs* first, treeabs* last, treeabs* step);
treeabs* tree_unpackarray_new(t_tree_loc loc, treeabs* a);

// ---- ownership
void tree_delete(treeabs* tree);
treeabs* tree_dup(const treeabs* tree);
treeabs* tree_dup_childempty(const treeabs* tree);   // the node and its non-tree parameters only
// Opaque values belong to the identifier layer: it installs how they are copied and released.
struct t_tree_opaquehooks {
    t_idcommon* (*copy)(t_idcommon*) = nullptr;
    void (*release)(t_idcommon*) = nullptr;
    void (*releasestmt)(t_tree_stmt*) = nullptr;
};
void tree_setopaquehooks(const t_tree_opaquehooks& hooks);

// ---- access
int tree_paracount(const treeabs* tree);
paraabs* tree_para(const treeabs* tree, int index);                // null past the end
treeabs* tree_child(const treeabs* tree, int index);               // null unless a tree parameter
const char* tree_string(const treeabs* tree, int index);           // null unless a string
int64_t tree_paraint(const treeabs* tree, int index, int64_t dflt = 0);
const char* tree_kindname(etreeabs kind);                          // for dumps and messages
// The kinds that the parser and the macro optimiser build, apart from keyword kinds: those the
// evaluator may be asked to run, and the parts of a construct that only their parent reads.
const etreeabs* tree_evaluatedkinds(int* count);
const etreeabs* tree_partkinds(int* count);
// A one-line prefix dump: kind(child, child, "string", 3) (tests and debugging).
int tree_dump(const treeabs* tree, char* buf, size_t size);

// ---- macro body optimisation
treeabs* tree_opt_macro(treeabs* tree);
treeabs* tree_opt1(treeabs* tree);
treeabs* tree_opt2(treeabs* tree);
treeabs* tree_opt3(treeabs* tree);
treeabs* tree_opt4(treeabs* tree);
treeabs* tree_opt5(treeabs* tree);
