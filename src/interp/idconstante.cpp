// Numeric constants as identifier values.
#include "interp/idconstante.h"

#include "coef/blockpool.h"
#include "coef/coefaff.h"
#include "coef/modenum.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/msgfmt.h"
#include "interp/treeint.h"
#include "render/render.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

t_idconstante::t_idconstante(t_cctx* ctx, const char* name, coef value)
    : t_idcommon(name, t_constante::idflag), m_const(new t_constante(ctx, name, coef{}))
{
    m_const->set(ctx, value);
}

t_idconstante::~t_idconstante() { delete m_const; }

namespace {
// Constants dropped wait here to be made again.
using t_spares = t_sparelist<t_idconstante, 64>;
// Names are a few letters: compared here rather than through the library's vector routine.
inline bool samename(const char* a, const char* b)
{
    for (; *a == *b; a++, b++)
        if (!*a) return true;
    return false;
}
} // namespace

t_idconstante* t_idconstante::make(t_cctx* ctx, const char* name, coef value)
{
    t_idconstante* k = t_spares::take();
    if (!k) return new t_idconstante(ctx, name, value);
    if (!samename(k->getName(), name ? name : "")) k->Vupdatename(name ? name : "");
    k->m_const->set(ctx, value);
    return k;
}

void t_idconstante::Vdelete()
{
    if (!t_spares::canhold()) {
        delete this;
        return;
    }
    m_const->reset();
    t_spares::keep(this);
}

t_idcommon* t_idconstante::Vcopy() const { return copyin(nullptr); }

t_idconstante* t_idconstante::copyin(t_cctx* ctx) const { return make(ctx, getName(), copycoef(&m_const->getvalue())); }

void t_idconstante::copyinto(t_cctx* ctx, t_idconstante* to) const
{
    if (!samename(to->getName(), getName())) to->Vupdatename(getName());
    const coef& from = m_const->getvalue();
    // A double into a constant already of the double mode: what set would store, with no call.
    if (from.type == BH_DBL && ctx && ctx->kc.num.modenum == NUMDBL && to->modenum() == NUMDBL) to->setconverted(from);
    else to->m_const->resetandset(ctx, copycoef(&from));
}

const coef& t_idconstante::value(t_cctx* ctx) const { return m_const->valuein(ctx); }

coef t_idconstante::takevalue() { return m_const->takevalue(); }

void t_idconstante::Vupdatename(const char* name)
{
    t_idcommon::Vupdatename(name);
    m_const->setname(name);
}

bool t_idconstante::Visinteger() const
{
    const coef& c = m_const->getvalue();
    if (coef_iszero(&c)) return true;
    if (!coef_vt(&c).isentierlong(&c)) return false;
    long long v = coef2ll(&c);
    return v >= INT32_MIN && v <= INT32_MAX;
}

int t_idconstante::Vgetinteger() const { return static_cast<int>(coef2ll(&m_const->getvalue())); }
long t_idconstante::Vgetlonginteger() const { return static_cast<long>(coef2ll(&m_const->getvalue())); }
bool t_idconstante::Visreal() const
{
    const coef& c = m_const->getvalue();
    return coef_iszero(&c) || coef_vt(&c).isreal(&c);
}
bool t_idconstante::Viscplx() const
{
    const coef& c = m_const->getvalue();
    return !coef_iszero(&c) && coef_vt(&c).iscplx(&c);
}
double t_idconstante::Vgetdbl() const { return coef2dbl(&m_const->getvalue()); }

bool t_idconstante::Vexport_msgfmt(t_cctx* ctx, FILE* stream, const char* piece) const
{
    return msgfmt_double(ctx, stream, Vgetdbl(), piece);
}

bool t_idconstante::Vexport_str(t_cctx* ctx, std::string& out) const
{
    if (!ctx) ctx = t_cctx::getLocalCctx();
    char* text = coef_affstr(ctx, &m_const->valuein(ctx), kst_affc(ctx));
    out = text ? text : "";
    free(text);
    return true;
}

void t_idconstante::Vdisplay_resume(t_cctx* ctx, FILE* stream) const
{
    t_render* r = display_begin(ctx, stream);
    m_const->display_value(ctx, r);
    r->writenewline();
}

bool t_idconstante::Vswitchcase(t_cctx*, const t_idcommon* value) const
{
    if (value->Vgettypeenum() != IDTYPE_CONSTANTE) return false;
    const coef& other = static_cast<const t_idconstante*>(value)->rawvalue();
    return coef_cmp_egal(&m_const->getvalue(), &other) == 1;
}

// Vsin is the function sin of the value, Vlog10 log10, ...; negation has no keyword.
#define KST_IDCONSTANTE_UNARY(op)                                                                  \
    t_idcommon* t_idconstante::op(t_cctx* ctx, int)                                                \
    {                                                                                              \
        coef r{};                                                                                  \
        if (strcmp(#op, "Vneg") == 0) {                                                            \
            coef c = copycoef(&value(ctx));                                                        \
            r = coef_vt(&c).neg(ctx, &c, 0);                                                       \
        } else {                                                                                   \
            std::string keyword = #op + 1;                                                         \
            keyword[0] = static_cast<char>(tolower(keyword[0]));                                   \
            if (!kst_number_function(ctx, keyword.c_str(), &value(ctx), &r)) return nullptr;      \
        }                                                                                          \
        return new t_idconstante(ctx, "", r);                                                      \
    }
KST_ID_UNARY_OPS(KST_IDCONSTANTE_UNARY)
#undef KST_IDCONSTANTE_UNARY

t_idcommon* kst_newconstante(t_cctx* ctx, coef owned) { return new t_idconstante(ctx, "", owned); }
const coef& kst_constanterawvalue(const t_idcommon* v) { return static_cast<const t_idconstante*>(v)->rawvalue(); }
const coef& kst_constantevalue(t_cctx* ctx, t_idcommon* v) { return static_cast<t_idconstante*>(v)->value(ctx); }
coef kst_constantetake(t_cctx* ctx, t_idcommon* owned)
{
    auto* k = static_cast<t_idconstante*>(owned);
    k->value(ctx);
    coef c = k->takevalue();
    owned->Vdelete();
    return c;
}
