// Evaluation contexts: the per-thread current context, task copies, settings and renderer.
#include "interp/cctx.h"

#include "interp/ids.h"
#include "interp/libstlmacro.h"
#include "interp/macro.h"
#include "interp/runpile.h"
#include "render/render.h"

#include <climits>
#include <memory>
#include <typeinfo>
#include <unistd.h>

namespace {
thread_local t_cctx* s_local = nullptr;
// Contexts created for threads that never had one are freed when the thread ends.
thread_local std::unique_ptr<t_cctx> s_owned;
} // namespace

t_cctx::t_cctx() : render(new t_renderstd) {}

t_cctx::~t_cctx()
{
    while (pile) tree_run_removepile(this, pile);
    kst_macros_release(this);
    kst_libstlmacro_release(this);
    kst_ids_release(this);
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
    auto* copy = new t_cctx;
    if (from) copy->copysettingsfrom(*from);
    copy->master = from;
    s_local = copy;
    return saved;
}

void t_cctx::popLocalCctx(t_cctx* saved)
{
    t_cctx* copy = s_local;
    s_local = saved;
    if (copy != saved) delete copy;
}

void t_cctx::copysettingsfrom(const t_cctx& o)
{
    if (o.render && (!render || typeid(*o.render) != typeid(*render))) setrender(kst_newrender_like(o.render));
    path = o.path;
    historydir = o.historydir;
    historywrite = false;
    info = o.info;
    echo = o.echo;
    time = o.time;
    comment = o.comment;
    hist = o.hist;
    quiet = o.quiet;
    affc = o.affc;
    cpu = o.cpu;
    num = o.num;
}

// The interval modes keep a rounding state per thread that tasks do not carry over.
bool t_cctx::couldbeparallel() const { return cpu > 1 && num.modenum != 5 && num.modenum != 6; }

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
    stopflag = 0;
    info = echo = time = comment = quiet = false;
    hist = true;
    affc = 4;
    seriesmode = 0;
    endian = 0;
    readhistory.clear();
    num = t_modenum_ctx{};
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
