// The evaluation context of one thread: run piles, stop flag, renderer, paths, display settings,
// numeric mode. The session's context belongs to the main thread; scheduler tasks run on copies.
#pragma once
#include <cstdio>
#include <string>

#include "coef/modenum_ctx.h"

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
    // A task's own copy of the calling thread's context, made current until popLocalCctx.
    static t_cctx* pushandcopyLocalCctx(t_cctx* from);
    static void popLocalCctx(t_cctx* saved);

    // Copies what a task needs to evaluate like its parent: settings, numeric mode, renderer kind.
    void copysettingsfrom(const t_cctx& other);
    // True when work may be spread over the scheduler's threads.
    bool couldbeparallel() const;

    t_render* getrender() const { return render; }
    void setrender(t_render* r);          // takes ownership, releases the previous renderer
    const char* getpath() const { return path.c_str(); }
    void setpath(const char* p);
    void setpath_currentdir();
    void reset();                          // back to the settings of a new session

    elt_runpile* pile = nullptr;           // innermost run pile
    t_cctx* master = nullptr;              // a parallel task's context: the one that started it
    volatile int stopflag = 0;
    t_render* render = nullptr;
    std::string path;                      // ends with "/"
    std::string historydir;                // ends with "/"
    FILE* historyfile = nullptr;
    std::string historyname;               // _history: the file historyfile writes to
    std::string userlibrarypath;           // _userlibrary_path: more library macros, kept on reset
    bool historywrite = true;              // loops and macro calls switch it off while they run

    // Display and session switches.
    bool info = false;                     // _info
    bool echo = false;                     // _echo
    bool time = false;                     // _time
    bool comment = false;                  // _comment
    bool hist = true;                      // _hist
    bool quiet = false;                    // _quiet
    int affc = 4;                          // _affc
    int cpu = 1;                           // _cpu, set from the scheduler at start
    long seriesmode = 0;                   // _mode: representation of series, read by the series room
    int endian = 0;                        // _endian: binary numeric files in native order (0) or swapped (1)
    std::string readhistory;               // _read_history: copy of every data line read, or empty

    t_modenum_ctx num;                     // numeric mode and precision
    t_ids_ctx* ids = nullptr;              // global and file-private identifiers (ids.cpp)
    t_macrotable* macros = nullptr;        // user macros by name (macro.cpp)
    t_macrostltable* libstl = nullptr;     // library macros (libstlmacro.cpp)
};

// _history = "name": closes the history file and appends to `name` from now on (error 254).
bool kst_sethistoryfile(t_cctx* ctx, const char* name);

// Renderer bound to the given streams, the interface every display routine goes through.
t_render* kst_cctx_getrender(t_cctx* ctx, FILE* stream);
t_render* kst_cctx_getrender(FILE* out, FILE* err);
