// Evaluation contexts: the per-thread current context, task copies, settings and renderer.
#include "interp/cctx.h"

#include "interp/ids.h"
#include "interp/libstlmacro.h"
#include "interp/macro.h"
#include "interp/rooms.h"
#include "interp/taskloop.h"
#include "parallel/parallel_init.h"
#include "interp/runpile.h"
#include "render/render.h"

#include <climits>
#include <memory>
#include <typeinfo>
#include <vector>
#include <unistd.h>

namespace {
// The kernel library is loaded with the program, so its thread-local data can sit in the static
// TLS block: a task start then reads it without a call into the dynamic loader.
#define KST_TLS thread_local __attribute__((tls_model("initial-exec")))

KST_TLS t_cctx* s_local = nullptr;
// Contexts created for threads that never had one are freed when the thread ends.
thread_local std::unique_ptr<t_cctx> s_owned;

// Task contexts of this thread that are not in use; a nested task takes a second one. Plain data
// (no guard on each access); the contexts go with the thread through `s_taskpoolowner`.
constexpr int k_taskpoolsize = 16;
struct t_taskpool {
    t_cctx* free[k_taskpoolsize];
    int n;
};
KST_TLS t_taskpool s_taskpool;
struct t_taskpoolowner {
    ~t_taskpoolowner()
    {
        while (s_taskpool.n > 0) delete s_taskpool.free[--s_taskpool.n];
    }
};
thread_local t_taskpoolowner s_taskpoolowner;

// What a finished task leaves behind: its run piles, macros and identifiers, and the settings it
// may have made its own (the context serves the thread's next task).
void releasetaskstate(t_cctx* ctx)
{
    while (ctx->pile) tree_run_removepile(ctx, ctx->pile);
    kst_macros_release(ctx);
    kst_libstlmacro_release(ctx);
    kst_ids_release(ctx);
    if (ctx->master) {
        if (ctx->historyfile) fclose(ctx->historyfile);
        ctx->historyfile = nullptr;
        ctx->historyname.clear();
        ctx->userlibrarypath.clear();
        ctx->readhistory.clear();
    }
}
} // namespace

t_cctx::t_cctx() : render(new t_renderstd) { kst_rooms_initialoptions(&kc); }

t_cctx::~t_cctx()
{
    releasetaskstate(this);
    delete render;
    if (s_local == this) s_local = nullptr;
}

t_cctx* t_cctx::getLocalCctx()
{
    if (!s_local) {
        s_owned = std::make_unique<t_cctx>();
        s_local = s_owned.get();
    }
    return s_local;
}

void t_cctx::setLocalCctx(t_cctx* ctx) { s_local = ctx; }

t_cctx* t_cctx::pushandcopyLocalCctx(t_cctx* from)
{
    t_cctx* saved = s_local;
    t_cctx* copy;
    if (s_taskpool.n == 0) {
        (void)&s_taskpoolowner;   // the thread's contexts are freed when it ends
        copy = new t_cctx;
        copy->setrender(nullptr);
    } else {
        copy = s_taskpool.free[--s_taskpool.n];
    }
    copy->master = from;
    if (from) copy->copysettingsfrom(*from);
    s_local = copy;
    return saved;
}

void t_cctx::popLocalCctx(t_cctx* saved)
{
    t_cctx* copy = s_local;
    s_local = saved;
    if (copy == saved) return;
    releasetaskstate(copy);
    copy->master = nullptr;
    copy->rendermodel = nullptr;
    if (s_taskpool.n < k_taskpoolsize) s_taskpool.free[s_taskpool.n++] = copy;
    else delete copy;
}

void t_cctx::copysettingsfrom(const t_cctx& o)
{
    // A renderer left by an earlier task of another dialect would print wrongly.
    rendermodel = o.render ? o.render : o.rendermodel;
    if (render && rendermodel != renderfrom) {
        if (rendermodel && typeid(*rendermodel) != typeid(*render)) setrender(nullptr);
        renderfrom = rendermodel;
    }
    path.clear();
    historydir.clear();
    historywrite = false;
    info = o.info;
    echo = o.echo;
    time = o.time;
    comment = o.comment;
    hist = o.hist;
    quiet = o.quiet;
    kc = o.kc;
    kc.stopflag = 0;
    kc.outerstop = o.kc.outerstop ? o.kc.outerstop : &o.kc.stopflag;
}

// The interval modes keep a rounding state per thread that tasks do not carry over.
bool t_cctx::couldbeparallel() const { return kc.cpu > 1 && kc.num.modenum != 5 && kc.num.modenum != 6; }

t_render* t_cctx::getrender()
{
    if (!render && rendermodel) {
        render = kst_newrender_like(rendermodel);
        renderfrom = rendermodel;
    }
    return render;
}

void t_cctx::setrender(t_render* r)
{
    if (r == render) return;
    delete render;
    render = r;
}

void t_cctx::setpath(const char* p)
{
    path = p ? p : "";
    if (path.empty() || path.back() != '/') path += '/';
}

void t_cctx::setpath_currentdir()
{
    char buf[PATH_MAX];
    setpath(getcwd(buf, sizeof buf) ? buf : ".");
}

void t_cctx::reset()
{
    kst_ids_release(this);
    kc.stopflag = 0;
    info = echo = time = comment = quiet = false;
    hist = true;
    readhistory.clear();
    kc.num = t_modenum_ctx{};
    kst_rooms_initialoptions(&kc);
}

t_render* kst_cctx_getrender(t_cctx* ctx, FILE* stream)
{
    if (!ctx) ctx = t_cctx::getLocalCctx();
    t_render* r = ctx->getrender();
    if (r) r->setstreams(stream, stream);
    return r;
}

t_render* kst_cctx_getrender(FILE* out, FILE* err)
{
    t_render* r = t_cctx::getLocalCctx()->getrender();
    if (r) r->setstreams(out, err);
    return r;
}

void kst_setrender(t_cctx* ctx, int selector)
{
    if (!ctx) ctx = t_cctx::getLocalCctx();
    ctx->setrender(kst_newrender(selector));
}

// ---------------------------------------------------------------- the rooms' view

t_kctx& kst_kctx(t_cctx* ctx) { return (ctx ? ctx : t_cctx::getLocalCctx())->kc; }
const t_kctx& kst_kctx(const t_cctx* ctx) { return ctx ? ctx->kc : t_cctx::getLocalCctx()->kc; }
t_cctx* kst_localcctx() { return t_cctx::getLocalCctx(); }
t_render* kst_cctx_render(t_cctx* ctx) { return (ctx ? ctx : t_cctx::getLocalCctx())->getrender(); }
const char* kst_cctx_path(const t_cctx* ctx) { return (ctx ? ctx : t_cctx::getLocalCctx())->getpath(); }
const char* kst_cctx_readhistory(const t_cctx* ctx)
{
    return (ctx ? ctx : t_cctx::getLocalCctx())->readhistory.c_str();
}

t_cctx* kst_taskcontext_enter(t_cctx* parent) { return t_cctx::pushandcopyLocalCctx(parent); }
void kst_taskcontext_leave(t_cctx* saved) { t_cctx::popLocalCctx(saved); }
bool kst_parallel_allowed(const t_cctx* ctx) { return kst_get_gcpu() > 1 && ctx && ctx->couldbeparallel(); }
