// Defaults of the value object model and the operation table indexed by pairs of type codes.
#include "interp/idcommon.h"
#include "interp/ids.h"

#include "interp/cctx.h"
#include "interp/error.h"
#include "render/render.h"
#include "interp/idclass.h"
#include "interp/treelexstate.h"

#include <vector>

// Most values are made without a name (a macro argument, a copy being passed): those skip the
// string construction.
t_idcommon::t_idcommon(const char* name, int flag) : m_flag(flag)
{
    if (name && *name) m_name = name;
}

t_idcommon::~t_idcommon() = default;

void t_idcommon::notapplicable(t_cctx* ctx) const { kst_runerror(ctx, 23); }

t_render* t_idcommon::display_begin(t_cctx* ctx, FILE* stream) const
{
    t_render* r = kst_cctx_getrender(ctx, stream);
    if (!m_name.empty()) {
        r->Vname(m_name.c_str());
        r->Vespacesigne_eq();
    } else {
        r->Vrender_unsafe("\t");
    }
    return r;
}

t_idcommon* t_idcommon::Vcopy() const
{
    notapplicable(nullptr);
    return nullptr;
}

bool t_idcommon::Vexport_str(t_cctx* ctx, std::string&) const
{
    notapplicable(ctx);
    return false;
}

void t_idcommon::Vdisplay_resume(t_cctx* ctx, FILE*) const { notapplicable(ctx); }

t_idcommon* t_idcommon::Vextract(t_cctx* ctx, const std::vector<t_subscript>&) const
{
    notapplicable(ctx);
    return nullptr;
}

bool t_idcommon::Vassign(t_cctx* ctx, const std::vector<t_subscript>&, t_idcommon* owned)
{
    if (owned) owned->Vdelete();
    notapplicable(ctx);
    return false;
}

t_idcommon* t_idcommon::Velement(t_cctx* ctx, const std::vector<t_subscript>&)
{
    notapplicable(ctx);
    return nullptr;
}

void t_idcommon::Vstat(t_cctx*, FILE* stream) const
{
    fprintf(stream, "%s : %s\n", m_name.empty() ? "?" : m_name.c_str(), Vgettypename());
    fprintf(stream, "\t%s = %ld\n", kst_getmsginfo(140), Vbilan_mem());
}

bool t_idcommon::Vswitchcase(t_cctx* ctx, const t_idcommon*) const
{
    notapplicable(ctx);
    return false;
}

#define KST_DEFINE_UNARY(op)                                                                       \
    t_idcommon* t_idcommon::op(t_cctx* ctx, int)                                                   \
    {                                                                                              \
        notapplicable(ctx);                                                                        \
        return nullptr;                                                                            \
    }
KST_ID_UNARY_OPS(KST_DEFINE_UNARY)
#undef KST_DEFINE_UNARY

// ---------------------------------------------------------------- operation table

namespace {

t_idcommon* impossible_binop(t_cctx* ctx, t_idcommon* a, int keepa, t_idcommon* b, int keepb)
{
    kst_runerror(ctx, 105);
    if (!keepa && a) a->Vdelete();
    if (!keepb && b) b->Vdelete();
    return nullptr;
}

int impossible_cmpop(t_cctx* ctx, const t_idcommon*, const t_idcommon*)
{
    kst_runerror(ctx, 105);
    return -1;
}

t_idcommon* impossible_create(t_cctx* ctx, const char*)
{
    kst_runerror(ctx, 105);
    return nullptr;
}

struct t_id_vtable {
    int count = 0;
    int memorized = IDTYPE_BUILTIN_COUNT;
    // Square tables stored row-major with `count` columns, rebuilt when a code is added.
    std::vector<t_idbinfunc> binops[IDOP_COUNT];
    std::vector<t_idcmpfunc> cmpops[IDCMP_COUNT];
    std::vector<t_idcreatefunc> create;

    void resize(int n)
    {
        for (auto& t : binops) t = regrow(t, count, n, &impossible_binop);
        for (auto& t : cmpops) t = regrow(t, count, n, &impossible_cmpop);
        create.resize(n, &impossible_create);
        count = n;
    }

    template <class F>
    static std::vector<F> regrow(const std::vector<F>& old, int from, int to, F def)
    {
        std::vector<F> grown(static_cast<size_t>(to) * to, def);
        int keep = from < to ? from : to;
        for (int i = 0; i < keep; i++)
            for (int j = 0; j < keep; j++) grown[i * to + j] = old[i * from + j];
        return grown;
    }

    bool valid(int code) const { return code >= 0 && code < count; }
};

t_id_vtable s_idvtable;

} // namespace

void id_vtable_init()
{
    s_idvtable = t_id_vtable{};
    s_idvtable.resize(IDTYPE_BUILTIN_COUNT);
}

int kst_id_getnewtypeflag()
{
    if (s_idvtable.count == 0) id_vtable_init();
    int code = s_idvtable.count;
    s_idvtable.resize(code + 1);
    return code;
}

void kst_id_vtable_memorize_nbflag() { s_idvtable.memorized = s_idvtable.count; }

void kst_id_vtable_reset()
{
    if (s_idvtable.count > s_idvtable.memorized) s_idvtable.resize(s_idvtable.memorized);
}

int kst_id_vtable_count() { return s_idvtable.count; }

void kst_id_vtable_setbinop(t_idbinop op, int left, int right, t_idbinfunc f)
{
    if (!s_idvtable.valid(left) || !s_idvtable.valid(right)) kst_iceerror(1094, "kst_id_vtable_setbinop", left, right);
    s_idvtable.binops[op][left * s_idvtable.count + right] = f;
}

void kst_id_vtable_setcmpop(t_idcmpop op, int left, int right, t_idcmpfunc f)
{
    if (!s_idvtable.valid(left) || !s_idvtable.valid(right)) kst_iceerror(1094, "kst_id_vtable_setcmpop", left, right);
    s_idvtable.cmpops[op][left * s_idvtable.count + right] = f;
}

void kst_id_vtable_setcreate(int type, t_idcreatefunc f)
{
    if (!s_idvtable.valid(type)) kst_iceerror(1010, "kst_id_vtable_setcreate", type);
    s_idvtable.create[type] = f;
}

t_idcommon* kst_id_binop(t_cctx* ctx, t_idbinop op, t_idcommon* a, int keepa, t_idcommon* b, int keepb)
{
    int left = a->Vgettypeenum(), right = b->Vgettypeenum();
    if (!s_idvtable.valid(left) || !s_idvtable.valid(right)) kst_iceerror(1094, "kst_id_binop", left, right);
    return s_idvtable.binops[op][left * s_idvtable.count + right](ctx, a, keepa, b, keepb);
}

int kst_id_cmpop(t_cctx* ctx, t_idcmpop op, const t_idcommon* a, const t_idcommon* b)
{
    int left = a->Vgettypeenum(), right = b->Vgettypeenum();
    if (!s_idvtable.valid(left) || !s_idvtable.valid(right)) kst_iceerror(1094, "kst_id_cmpop", left, right);
    return s_idvtable.cmpops[op][left * s_idvtable.count + right](ctx, a, b);
}

t_idcommon* kst_id_create(t_cctx* ctx, int type, const char* name)
{
    if (!s_idvtable.valid(type)) kst_iceerror(1010, "kst_id_create", type);
    return s_idvtable.create[type](ctx, name);
}

// Start-up and reset hooks of the identifier classes.
// The lexer reads declared structure names as type names from the start.
void kst_number_registeroperations();
void kst_idclass_inittables()
{
    id_vtable_init();
    kst_text_registeroperations();
    kst_number_registeroperations();
    treelex_settypequery(kst_declaretype_find);
}
void kst_idclass_reset() { kst_id_vtable_reset(); }
