// Library macros: macros read at start-up from the installation's library macro directory and
// called like built-in functions, name(arguments).
//
// Active comments ("//!kest ...") written before a macro definition in a library file set its
// attributes:
//   //!kest attribute="oninit"      run once after loading (and after a reset), as "name();"
//   //!kest attribute="private"     callable only from inside library macros
//   //!kest overload="name"         the next macro is a variant of the library macro `name`; the
//                                   call picks the variant that accepts its number of arguments
//   //!kest extern_function         the next macro stands for a function of an external library:
//                                   its calls follow the rules of external functions, so a call
//                                   with a number of arguments that no variant accepts is error
//                                   640 naming the smallest accepted number, not error 11
// A comment of another form, or a definition that cannot be added, is error 9.
#pragma once

class t_cctx;
class t_macro;

// Scans `dir` recursively for files ending in ".t", parses each and keeps its macros. With
// `report`, a directory that cannot be read is error 307. Returns the number of macros loaded.
int kst_libstlmacro_load(t_cctx* ctx, const char* dir, bool report);
void kst_libstlmacro_unload(t_cctx* ctx);
// The variant of `name` that accepts `nargs` arguments, or null.
// With `externmin`, the smallest argument count of the variants marked extern_function (-1: none).
t_macro* kst_libstlmacro_find(t_cctx* ctx, const char* name, int nargs, bool* exists, int* externmin = nullptr);
void kst_libstlmacro_run_oninit(t_cctx* ctx);
void kst_libstlmacro_release(t_cctx* ctx);

// The library macros of a directory (start-up, reset), their removal, and their start-up hooks.
void kst_libstl_load(const char* dir);
void kst_libstl_unload();
void kst_libstl_runstartuphooks();
