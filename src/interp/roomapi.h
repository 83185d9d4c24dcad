// What a room of the kernel may use of the session: its record in the list of rooms, the
// registration of its language (keyword handlers, node handlers, options, identifier classes),
// the kernel context and option values, error reporting, and the creation of values.
//
// Kernel files of a room include this header, interp/error.h, interp/idcommon.h (the value
// object model) and their own room's headers only; the room's `_lang` files, which evaluate
// arguments, may include the evaluator (interp/treeint.h) as well. tests/layering checks it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "coef/coef.h"
#include "coef/kctx.h"
#include "interp/error.h"

class t_cctx;
class t_idcommon;
class t_render;
struct treeabs;
enum etreeabs : int32_t;

// ---------------------------------------------------------------- the room record

// An integer setting of the language owned by a room. `_name = v;` checks v against [lo, hi]
// (error 4 with the name otherwise), `_name;` shows it; a switch is written `_name on`/`off`.
struct t_roomoption {
    const char* name;     // its keyword, "_affc"
    long lo, hi;          // accepted values
    long initial;         // the value of a new session and after `reset`
    bool onoff;           // a switch: 0 or 1, written and shown as off/on
    int* slot;            // receives the option's slot in t_kctx::options
};

// One room: the start-up, reset and shutdown steps the session runs for it, in the order of the
// list of rooms (interp/roomlist.cpp). Every member but the name may be null.
struct t_room {
    const char* name;
    void (*inittables)();               // its dispatch tables, before any room registers language
    void (*install)();                  // cells of its own in tables others filled with defaults
    void (*registerlanguage)();         // keyword and node handlers, identifier classes
    const t_roomoption* options;        // its settings, ended by an entry with a null name
    void (*reset)(t_cctx* ctx);         // back to a new session's state (statement `reset`)
    void (*release)();                  // process exit
};

// A room outside the built-in list (a test room, an embedding host's own), appended to the list;
// only before kest_init.
void kst_room_append(const t_room* room);
// The rooms in start-up order, ended by null.
const t_room* const* kst_rooms();

// ---------------------------------------------------------------- language registration

// Handlers evaluate a node into a value slot of the run pile; 1 ends the session (quit).
using t_treehandler = int (*)(t_cctx* ctx, int slot, treeabs* node);
// The handler of a statement or function keyword; false when the word is not a keyword or
// another room already handles it.
bool kst_tree_setkeywordhandler(const char* keyword, t_treehandler h);
void kst_tree_sethandler(etreeabs kind, t_treehandler h);
// A type name that declares values of a room: `name x, y;` makes x and y with create(ctx, name).
void kst_declaretype_builtin(const char* name, t_idcommon* (*create)(t_cctx*, const char* name));

// ---------------------------------------------------------------- settings

// The kernel context of an evaluation context, and the value of a room's option in it.
t_kctx& kst_kctx(t_cctx* ctx);
const t_kctx& kst_kctx(const t_cctx* ctx);
inline long kst_option(const t_cctx* ctx, int slot) { return kst_kctx(ctx).options[slot]; }
// The calling thread's evaluation context.
t_cctx* kst_localcctx();
// The renderer every display of the context goes through, bound to `stream` for results and
// errors alike; kst_cctx_render leaves its streams as they are.
t_render* kst_cctx_getrender(t_cctx* ctx, FILE* stream);
t_render* kst_cctx_render(t_cctx* ctx);
// The directory that relative file names of the context start from, ending with "/".
const char* kst_cctx_path(const t_cctx* ctx);
// The data lines read are copied to this file when `_read_history` names one (else empty).
const char* kst_cctx_readhistory(const t_cctx* ctx);

// ---------------------------------------------------------------- formatted output

// "a=%5.2f, b=%d\n" -> leading "a=", pieces "%5.2f, b=" and "%d<newline>". In every part the
// escapes \t \n \r \\ become tab, newline, carriage return and backslash; a final lone backslash
// is dropped; other escapes stay as written. "%%" belongs to the text around it.
struct t_fmtpieces {
    std::string lead;
    std::vector<std::string> pieces;
};
t_fmtpieces kst_fmt_split(const char* format);

// Widths and precisions of a format are at most this: beyond it a conversion would only pad with
// megabytes of blanks or zeros (the digits of any number fit well within it).
constexpr int kst_msgfmt_maxwidth = 100000;
// Error 710 (with the conversion and the bound) and false when a piece's width or precision is
// beyond kst_msgfmt_maxwidth; checked before anything of the format is printed.
bool msgfmt_checkwidths(t_cctx* ctx, const t_fmtpieces& parts);

// Prints the text of a format piece or of the leading text ("%%" is a percent sign).
void msgfmt_printtext(FILE* stream, const std::string& text);
// A double with one piece: floating conversions as C formats, 'd'/'i' as a 32-bit integer when it
// fits (else as "%.0f" with the piece's width), anything else error 529. False after an error.
bool msgfmt_double(t_cctx* ctx, FILE* stream, double value, const char* piece);

// ---------------------------------------------------------------- values

// A numeric constant holding `owned` (converted to the context's numeric mode).
t_idcommon* kst_newconstante(t_cctx* ctx, coef owned);
// The number a constant holds as it is stored (borrowed); `v` must be a constant.
const coef& kst_constanterawvalue(const t_idcommon* v);
// The value of an array element that holds nothing, named `name`.
t_idcommon* kst_newemptyid(const char* name);
// The number of constant `v` in the context's numeric mode (borrowed), and the same taken out of
// a handed-over constant (which goes).
const coef& kst_constantevalue(t_cctx* ctx, t_idcommon* v);
coef kst_constantetake(t_cctx* ctx, t_idcommon* owned);
