// The series identifier class: copy, display, size, and following the numeric mode.
#include "series/serie.h"

#include "coef/modenum.h"
#include "series/polynome.h"
#include "series/sereps.h"
#include "series/variable.h"
#include "render/render.h"

t_serie::t_serie(const t_serie& other)
    : t_idcommon(other), m_value(copycoef(&other.m_value)), m_leavesinmode(other.m_leavesinmode.load(std::memory_order_relaxed)),
      m_orderedunder(other.m_orderedunder.load(std::memory_order_relaxed)) {}

t_serie::~t_serie() { deletecoef(&m_value); }

t_idcommon* kst_serie_wrap(t_cctx* ctx, coef owned)
{
    if (coef_ispoly(&owned)) return new t_serie("", owned);
    return kst_newconstante(ctx, owned);
}

t_idcommon* kst_serie_wrapmade(t_cctx* ctx, coef owned, eBHTypeCoef leaftag)
{
    if (!coef_ispoly(&owned) || leaftag == BH_ZERO) return kst_serie_wrap(ctx, owned);
    auto* s = new t_serie("", owned);
    s->setmade(ctx, leaftag);
    return s;
}

namespace {
uintptr_t orderinforce(t_cctx* ctx)
{
    static_assert(alignof(t_ordres) >= 4, "_ior (0-3) fits below the address");
    return reinterpret_cast<uintptr_t>(&kst_ordres(ctx)) | static_cast<uintptr_t>(kst_ior(ctx));
}
} // namespace

void t_serie::setmade(t_cctx* ctx, eBHTypeCoef leaftag)
{
    m_orderedunder.store(orderinforce(ctx), std::memory_order_relaxed);
    const int mode = modenum_get(ctx);
    const eBHTypeCoef to = modenum_targettag(mode, leaftag);
    if (to == BH_ZERO || to == leaftag) m_leavesinmode.store(mode, std::memory_order_relaxed);
}

void t_serie::Vdisplay_resume(t_cctx* ctx, FILE* stream) const
{
    t_render* r = display_begin(ctx, stream);
    affiche(ctx, r, &m_value);
}

void t_serie::Vstat(t_cctx*, FILE* stream) const
{
    fprintf(stream, "%s : serie, %ld terms\n", getName(), Vsize());
}

long t_serie::Vsize() const { return serie_size(&m_value); }

long t_serie::Vbilan_mem() const
{
    return static_cast<long>(sizeof(t_serie) + namecapacity()) + serie_size(&m_value) * static_cast<long>(sizeof(t_polyterm));
}

t_idcommon* t_serie::Vneg(t_cctx* ctx, int) { return kst_serie_wrap(ctx, serie_neg(ctx, &m_value, 1)); }

namespace {
bool needsconversion(int mode, const coef* c)
{
    if (!coef_ispoly(c)) {
        if (c->type == BH_ZERO) return false;
        eBHTypeCoef to = modenum_targettag(mode, coef_tag(c));
        return to != BH_ZERO && to != c->type;
    }
    for (const t_polyterm* t = coef_poly(c)->first; t; t = t->next)
        if (needsconversion(mode, &t->c)) return true;
    return false;
}
bool holdsvariable(const coef* c, const t_idcommon* v)
{
    if (!coef_ispoly(c)) return false;
    if (coef_poly(c)->var == v) return true;
    for (const t_polyterm* t = coef_poly(c)->first; t; t = t->next)
        if (holdsvariable(&t->c, v)) return true;
    return false;
}
} // namespace

// A series made under another numeric mode or another ordering (`_ior`) is remade when it is used.
t_idcommon* t_serie::Vupdatevalue(t_cctx* ctx) const
{
    int mode = modenum_get(ctx);
    const uintptr_t order = orderinforce(ctx);
    const bool ordered = m_orderedunder.load(std::memory_order_relaxed) == order || serie_isordered(ctx, &m_value);
    if (ordered) m_orderedunder.store(order, std::memory_order_relaxed);
    if (ordered && m_leavesinmode.load(std::memory_order_relaxed) == mode) return nullptr;
    if (ordered && !needsconversion(mode, &m_value)) {
        m_leavesinmode.store(mode, std::memory_order_relaxed);
        return nullptr;
    }
    coef c = ordered ? copycoef(&m_value) : serie_reorder(ctx, &m_value);
    coef_vt(&c).modenum_conv[mode](ctx, &c);
    return kst_serie_wrap(ctx, c);
}

bool t_serie::Vdependon(const t_idcommon* other) const { return holdsvariable(&m_value, other); }

bool kst_serie_degree(const t_idcommon* s, const t_idcommon* var, bool lowest, long* out)
{
    if (!s || !var || var->Vgettypeenum() != IDTYPE_VARIABLE) return false;
    const coef* c;
    if (s->Vgettypeenum() == IDTYPE_SERIE) c = &static_cast<const t_serie*>(s)->value();
    else if (s->Vgettypeenum() == IDTYPE_VARIABLE) c = &static_cast<const t_variable*>(s)->monomial;
    else return false;
    const auto* v = static_cast<const t_variable*>(var);
    *out = lowest ? serie_degmin(c, v) : serie_degmax(c, v);
    return true;
}
