// The evaluation context of one thread: run piles, stop flag, renderer, paths, display settings,
// numeric mode. The session's context belongs to the main thread; scheduler tasks run on copies.
#pragma once
#include <cstdio>
#include <string>

#include "coef/kctx.h"
#include "interp/roomapi.h"

struct elt_runpile;
struct t_ids_ctx;
struct t_macrotable;
struct t_macrostltable;
class t_render;

class t_cctx {
public:
    t_cctx();
    ~t_cctx();
    t_cctx(const t_cctx&) = delete;
    t_cctx& operator=(const t_cctx&) = delete;

    // The calling thread's context (created on first use for threads that never set one).
    static t_cctx* getLocalCctx();
    static void setLocalCctx(t_cctx* ctx);
    // A task's own context for the calling thread, evaluating like `from`, made current until
    // popLocalCctx. Task contexts are reused per thread: a task allocates nothing unless it
    // prints (its renderer) or sets a path of its own.
    static t_cctx* pushandcopyLocalCctx(t_cctx* from);
    static void popLocalCctx(t_cctx* saved);

    // Copies what a task needs to evaluate like its parent: the kernel context whole, the
    // interpreter's switches; the renderer and the paths are the parent's until the task needs
    // its own.
    void copysettingsfrom(const t_cctx& other);
    // True when work may be spread over the scheduler's threads.
    bool couldbeparallel() const;

    t_render* getrender();                // a task's renderer is made on first use
    void setrender(t_render* r);          // takes ownership, releases the previous renderer
    const char* getpath() const { return path.empty() && master ? master->getpath() : path.c_str(); }
    void setpath(const char* p);
    void setpath_currentdir();
    void reset();                          // back to the settings of a new session

    elt_runpile* pile = nullptr;           // innermost run pile
    t_cctx* master = nullptr;              // a parallel task's context: the one that started it
    t_kctx kc;                             // what kernels read: modes, options, truncation, stop flag
    t_render* render = nullptr;            // null in a task until it prints
    const t_render* rendermodel = nullptr; // a task's: the dialect its renderer will speak
    const t_render* renderfrom = nullptr;  // the model `render` was last checked against
    std::string path;                      // ends with "/"
    std::string historydir;                // ends with "/"; empty in tasks (they keep no history)
    FILE* historyfile = nullptr;
    std::string historyname;               // _history: the file historyfile writes to
    std::string userlibrarypath;           // _userlibrary_path: more library macros, kept on reset
    bool historywrite = true;              // loops and macro calls switch it off while they run

    // The interpreter's own switches (the rooms' settings are options in `kc`).
    bool info = false;                     // _info
    bool echo = false;                     // _echo
    bool time = false;                     // _time
    bool comment = false;                  // _comment
    bool hist = true;                      // _hist
    bool quiet = false;                    // _quiet
    std::string readhistory;               // _read_history: copy of every data line read, or empty

    t_ids_ctx* ids = nullptr;              // global and file-private identifiers (ids.cpp)
    t_macrotable* macros = nullptr;        // user macros by name (macro.cpp)
    t_macrostltable* libstl = nullptr;     // library macros (libstlmacro.cpp)
};

// _history = "name": closes the history file and appends to `name` from now on (error 254).
bool kst_sethistoryfile(t_cctx* ctx, const char* name);

t_render* kst_cctx_getrender(FILE* out, FILE* err);
