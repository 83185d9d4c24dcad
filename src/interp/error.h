// Error reporting: the process-wide error flag, run-time errors, warnings, information, internal
// and fatal errors, their display with the source excerpt, and the front-end notification hooks.
#pragma once
#include <atomic>
#include <cstdarg>
#include <cstdio>

class t_cctx;
struct elt_runpile;
struct treesharedcode;
struct t_tree_loc;
struct list_elt_tab;

// Set by every reported error; while set, the evaluator skips every node. Parallel tasks set and
// read it on several threads, so every access is atomic (plain loads on the usual processors).
extern "C" std::atomic<int> Erreur_Execution;

// The three output streams: results, information/warnings, errors.
extern FILE* g_stdout;
extern FILE* g_stdwarn;
extern FILE* g_stderr;

// Catalogue sets.
enum { KST_SET_INFO = 1, KST_SET_ERROR = 2, KST_SET_WARNING = 3 };
constexpr int kst_hookkey = 402917;     // hooks installed with any other key are ignored

// Catalogues and languages.
int kst_register_languagefile(const char* dir, const char* name);
int set_languagefile(const char* dir, const char* name, const char* lang, bool quiet);
bool set_language(const char* lang, bool quiet);
const char* kst_getlanguage();
void kst_setdefaultlanguage();
int kst_getlanguagemsg(int catalogue);
const char* kst_getlanguage_catgets(int handle, int set, int number, const char* deftext);
const char* kst_getmsginfo(int number);
const char* kst_getmsginfoid(int catalogue, int number);
const char* kst_getmsgerror(int number);
const char* kst_getmsgwarning(int number);
void kst_language_init();    // start-up: the two mutexes and the ring keys
void kst_language_release(); // closes every registered catalogue

// Reporting. None of these unwinds: the caller returns a neutral value and the flag does the rest.
void kst_runerror(int number, ...);
void kst_runerror(t_cctx* ctx, int number, ...);
void kst_runerror(const char* text);
void kst_runerror(t_cctx* ctx, const char* text);
void kst_vrunerror(t_cctx* ctx, int number, va_list ap);
void kst_runerrorid(int catalogue, int number, ...);
void kst_runlocerror(t_cctx* ctx, t_tree_loc loc, int number, ...);
void kst_runerror_elt_tab(const char* arrayname, list_elt_tab* indices, int number, ...);
void kst_runwarning(t_cctx* ctx, int number, ...);
void kst_runwarning(int number, ...);
void kst_runinfoid(int catalogue, int number, ...);
void kst_runinfo(int number, ...);
void kst_parserror(t_cctx* ctx, treesharedcode* code, t_tree_loc* loc, const char* text);
[[noreturn]] void kst_iceerror(int number, const char* function, ...);
[[noreturn]] void kst_fatalerror(int number, ...);
void kst_disperror(elt_runpile* pile, treesharedcode* code, t_tree_loc* loc, const char* text);
void kst_dispmessage(FILE* stream, elt_runpile* pile, treesharedcode* code, t_tree_loc* loc);

// Printer of the array element names for kst_runerror_elt_tab, installed by the arrays room.
using kst_elt_tab_namefunc = int (*)(char* buf, size_t size, const char* arrayname, list_elt_tab* indices);
void kst_set_elt_tab_namefunc(kst_elt_tab_namefunc f);

// Front-end hooks: the five integers are the fields of t_tree_loc in their order.
typedef void (*kst_hookfatal_t)(const char* file, int, int, int, int, int);
typedef void (*kst_hookice_t)(const char* file, int, int, int, int, int, int number, const char* text);
typedef void (*kst_hookmsg_t)(const char* file, int, int, int, int, int, const char* text);
extern "C" {
void kst_setfunchook_fatalerror(int key, kst_hookfatal_t hook);
void kst_setfunchook_iceerror(int key, kst_hookice_t hook);
void kst_setfunchook_msgerror(int key, kst_hookmsg_t hook);
}

// Memory reservation failures are fatal error 436 (size, routine name); overflowing sizes 375.
void* kst_checkmalloc(size_t size, const char* tag = "SYSCHECKMALLOC");
// The same for long-lived blocks of megabytes: aligned on 2 MiB and advised onto huge pages.
void* kst_checkmalloc_huge(size_t size, const char* tag = "SYSCHECKMALLOC");
size_t kst_checkmulsize(size_t a, size_t b);
