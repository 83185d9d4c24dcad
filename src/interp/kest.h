// The kernel's exported entry points: what a host calls, in this order: the hooks (optional),
// kst_findkestdir, kest_init, then texts/files/yy_startparse; kest_exit runs at process exit.
#pragma once
#include <cstdio>

class t_cctx;
class t_idcommon;
class t_filename;

extern "C" {
void kst_findkestdir(const char* argv0);
t_cctx* kest_init(int mode, int render);
t_cctx* inikest();
void yy_startparse();
int kest(char* text);
int Mkest(const char* first, ...);
void Mkestpar(const char* text, ...);
t_idcommon* Mkestparandreturnid(const char* idname, const char* text, ...);
void kst_reset();
void kst_reset_reloadstl(bool reload);
void kst_resetinclude();
void kst_stop();
int kst_pause();
void kest_exit();
void kst_setfunchook_iochar(const char* (*readline)(FILE*), void (*clearscreen)(),
                            int (*getkey)(FILE*));
const char* kst_getkestdir();
const char* kst_getkestdir_sharelib();
const char* kst_getkestdir_sharelibstl();
const char* const* kst_get_keywords();   // null-terminated keyword list, for completion
}
void yy_startparsefile(t_cctx* ctx, FILE* file, const char* name);
void kst_include(t_cctx* ctx, const char* name, bool remember);
void kst_include(t_cctx* ctx, const t_filename* name);

// Line reading for the lexer: hook or fgets in pieces of at most 510 characters.
const char* kst_readchar(FILE* stream);
char* kst_flushreadchar(FILE* stream);
void clrscr();

extern int g_cpu;

// Deep recursion (nested macro calls, included files, nested expressions) is refused before the
// thread's stack runs out: true when less than a safety margin remains.
// `reserve` asks for that much more room (a construct that starts a deep evaluation checks with a
// reserve, so that it, not some node inside, reports the error).
bool kst_stack_exhausted(size_t reserve = 0);
void kst_stack_setbase();      // the calling thread's current depth counts as the base
// The lowest frame address the thread may reach (null until its bounds are known): the evaluator
// compares against it at every node without a call.
extern thread_local const char* kst_stackfloor __attribute__((tls_model("initial-exec")));
inline bool kst_stack_exhausted_fast()
{
    const char* floor = kst_stackfloor;
    if (__builtin_expect(floor != nullptr, 1)) return static_cast<const char*>(__builtin_frame_address(0)) < floor;
    return kst_stack_exhausted();
}
// The same with a reserve, as kst_stack_exhausted(reserve) finds it.
inline bool kst_stack_exhausted_fast(size_t reserve)
{
    const char* floor = kst_stackfloor;
    if (__builtin_expect(floor != nullptr, 1)) return static_cast<const char*>(__builtin_frame_address(0)) < floor + reserve;
    return kst_stack_exhausted(reserve);
}

// With file and process access disabled (robustness testing), include, file_open, pause and the
// start-up files do nothing but report.
void kst_setsandbox(bool on);
bool kst_issandbox();
