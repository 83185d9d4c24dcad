// Named numeric constants: the value with its mode descriptor, lazy conversion to the mode in
// force, display and storage.
#include "coef/constante.h"
#include "coef/coefsave.h"
#include "coef/coefaff.h"
#include "coef/modenum.h"
#include "interp/roomapi.h"
#include "interp/error.h"
#include "render/render.h"

namespace {
t_cctx* ctxof(t_cctx* ctx) { return ctx ? ctx : kst_localcctx(); }
}  // namespace

t_constante::t_constante(t_cctx* ctx, const char* name, coef value)
    : m_name(name ? name : ""), m_value(value), m_modenum(modenum_get(ctxof(ctx)))
{
}

t_constante::t_constante(t_cctx* ctx, const char* name, long long n) : m_name(name ? name : "")
{
    ctx = ctxof(ctx);
    m_value = coef_creenumlong_init(ctx, n);
    m_modenum = modenum_get(ctx);
}

t_constante::~t_constante() { reset(); }

void t_constante::dropview() const
{
    deletecoef(&m_view);
    m_viewmode = -1;
}

void t_constante::reset()
{
    dropview();
    deletecoef(&m_value);
}

void t_constante::set(t_cctx* ctx, coef value)
{
    ctx = ctxof(ctx);
    if (m_viewmode != -1) dropview();
    m_value = value;
    int mode = modenum_get(ctx);
    if (m_value.type != BH_DBL || mode != NUMDBL) modenum_convert(ctx, &m_value);   // a double is one already
    m_modenum = mode;
}

void t_constante::resetandset(t_cctx* ctx, coef value)
{
    reset();
    set(ctx, value);
}

bool t_constante::getdescripteur_ismodenum(t_cctx* ctx) const
{
    int m = modenum_get(ctxof(ctx));
    if (m == m_modenum) return true;
    return m_modenum == NUMDBL && (m == NUMRAT || m == NUMRATMP);
}

t_constante* t_constante::Vgetvalue(t_cctx* ctx)
{
    ctx = ctxof(ctx);
    if (getdescripteur_ismodenum(ctx)) return this;
    return Vcopy(ctx);
}

const coef& t_constante::valuein(t_cctx* ctx) const
{
    ctx = ctxof(ctx);
    if (getdescripteur_ismodenum(ctx)) return m_value;
    int m = modenum_get(ctx);
    if (m_viewmode != m) {
        dropview();
        m_view = modenum_convertcopy(ctx, &m_value);
        m_viewmode = m;
    }
    return m_view;
}

coef t_constante::takevalue()
{
    coef v;
    if (m_viewmode >= 0) {
        v = m_view;
        m_view = coef{};
        m_viewmode = -1;
        deletecoef(&m_value);
    } else {
        v = m_value;
        m_value = coef{};
    }
    return v;
}

void t_constante::Vupdatevalue(t_cctx* ctx)
{
    ctx = ctxof(ctx);
    dropview();
    modenum_convert(ctx, &m_value);
    m_modenum = modenum_get(ctx);
}

t_constante* t_constante::Vcopy(t_cctx* ctx) const
{
    ctx = ctxof(ctx);
    auto* c = new t_constante(ctx, m_name.c_str(), modenum_convertcopy(ctx, &m_value));
    return c;
}

t_constante* t_constante::Vunary(t_cctx* ctx, coef_unop_fn coefvtable::*op) const
{
    ctx = ctxof(ctx);
    coef v = valuein(ctx);
    coef r = (coef_vt(&v).*op)(ctx, &v, 1);
    return new t_constante(ctx, m_name.c_str(), r);
}

void t_constante::display_value(t_cctx* ctx, t_render* r) const
{
    ctx = ctxof(ctx);
    coef_aff(ctx, r, &valuein(ctx), kst_affc(ctx));
}

void t_constante::Vdisplay_resume(t_cctx* ctx, t_render* r) const
{
    ctx = ctxof(ctx);
    if (!r) r = kst_cctx_render(ctx);
    r->Vname(m_name.c_str());
    r->Vespacesigne_eq();
    display_value(ctx, r);
    r->writenewline();
}

bool t_constante::save(FILE* f) const { return coefnum_save(&m_value, f); }

t_constante* t_constante::load(t_cctx* ctx, FILE* f, const char* filename, const char* name)
{
    ctx = ctxof(ctx);
    coef v;
    if (!coefnum_load(ctx, &v, f)) {
        kst_runerror(ctx, 334, filename);
        return nullptr;
    }
    auto* c = new t_constante(ctx, name, coef{});
    c->set(ctx, v);
    return c;
}
