// Polynomial variables and the orderings that fix how series nest: a series node is in the
// variable of smallest rank, its coefficients in variables of larger rank.
#pragma once
#include <cstdint>
#include <vector>

#include "coef/coef.h"
#include "interp/idcommon.h"
#include "interp/roomapi.h"
#include "series/seriesroom.h"

enum t_varkind : uint8_t { VARKIND_ANGULAR = 1, VARKIND_POLY = 2, VARKIND_BOUND = 3 };

// A declared variable. The series room owns every variable for the whole session: series nodes
// point at it, so deleting its name only unbinds the name (Vdelete keeps the object).
struct t_variable : public t_idcommon {
    coef monomial{};                  // the series 1*v, handed out when the variable is a value
    int32_t reserved = 0;
    void* dependence = nullptr;       // angular exponential: its definition record
    std::vector<t_variable*> dependents;
    int32_t lowerlevel = -30000;      // lowest degree kept, -30000 meaning none
    uint32_t filenumber = 0;
    t_varkind kind = VARKIND_POLY;
    uint32_t index = 0;               // context index: every ordering is indexed by it

    t_variable(const char* name) : t_idcommon(name) {}
    ~t_variable() override;
    int Vgettypeenum() const override { return IDTYPE_VARIABLE; }
    const char* Vgettypename() const override { return "variable"; }
    void Vdelete() override {}
    // A variable used as a value is its monomial: copying it gives that series.
    t_idcommon* Vcopy() const override;
    bool Viscopiable() const override { return true; }
    t_idcommon* Vgetandcopyvalue(t_cctx*) const override { return Vcopy(); }
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;
    void Vstat(t_cctx* ctx, FILE* stream) const override;
    t_idcommon* Vneg(t_cctx* ctx, int opflag) override;
    t_idcommon* Vexp(t_cctx* ctx, int opflag) override;
    long Vsize() const override { return 1; }
};

// What an angular exponential variable E stands for: exp(i*(factor*angle + phase)).
struct t_vardep {
    t_variable* angle;
    coef factor;
    coef phase;
};

// The four orderings (rank vectors indexed by context index; `_ior` selects the one in force) and
// the roles. Shared by pointer between a context and its tasks; a change makes a new copy.
struct t_ordres {
    std::vector<int> rank[4];
    std::vector<int> role;            // 0 tree variable, 1 homogeneous, 2 Fourier
    std::vector<int> trflag;          // truncation slot of each variable, -1 when none
    int nhomog = 0;
    int count() const { return static_cast<int>(role.size()); }
};

// Creates a polynomial variable named `name` (not yet bound to any identifier) and gives it its
// ranks in the context: rank N in every ordering, before the homogeneous variables if any.
t_variable* cree_var(t_cctx* ctx, const char* name);
// The orderings in force in `ctx` (an empty set when no variable exists yet).
const t_ordres& kst_ordres(const t_cctx* ctx);
// -1, 0, +1 as rank(a) <, =, > rank(b) in the current ordering.
inline int compareOrder(const t_cctx* ctx, const t_variable* a, const t_variable* b)
{
    if (a == b) return 0;
    const std::vector<int>& r = kst_ordres(ctx).rank[kst_ior(ctx)];
    int ra = r[a->index], rb = r[b->index];
    return ra < rb ? -1 : (ra > rb ? 1 : 0);
}
int getOrder(const t_cctx* ctx, const t_variable* v);

// Where ordre_reorder puts a variable when no rank is given: the last rank of its kind.
constexpr int KST_REORDER_END = 0;
// Moves the variable of context index `index` to rank `pos` in the rank vector `rank` (ranks 1..N,
// the last h ranks held by the homogeneous variables): pos = KST_REORDER_END means the last rank
// of its kind; unless `force`, a move from or to the homogeneous ranks is refused (false, nothing
// changed); the variables between the two ranks shift by one towards the old rank. Afterwards pos
// is the next rank (kept at N), so that successive calls place a list of variables in order.
bool ordre_reorder(std::vector<int>& rank, uint32_t index, int& pos, bool homogeneous, int h, bool force);
// Gives v the role of a homogeneous variable (1) or a Fourier variable (2): its exponents go into
// blocks, so it takes the last rank of every ordering, after the ones given a role before; the
// variables created afterwards rank before all of them. False when v already has a role.
bool kst_setleafvariable(t_cctx* ctx, const t_variable* v, int role);
// The same in ordering `e` of ctx, published as a new set of orderings; false when refused.
bool kst_reorder(t_cctx* ctx, const t_variable* v, int& pos, int e, bool force);
// The monomial of v with its coefficient 1 in the numeric mode of ctx (remade when the mode
// changed since it was built).
const coef& kst_variable_monomial(t_cctx* ctx, t_variable* v);
// Creates the angular exponential variable of exp(i*(a*angle + phase)), named "_EX<angle><k>"
// with the first k >= 1 for which `taken` says the name is free; null after run error 115 when
// the counter would reach 2147483647. The variable is not bound to a name yet.
t_variable* varang_create(t_cctx* ctx, t_variable* angle, const coef& a, const coef& phase,
                          bool (*taken)(t_cctx*, const char*), int32_t firstcounter = 1);
// The angular variable of exp(i*angle) (factor 1, phase 0) made earlier, or null.
t_variable* varang_get1(const t_variable* angle);
// Forgets the orderings of `ctx` (statement reset): the variables it named are gone.
void kst_variables_reset(t_cctx* ctx);
void kst_variables_release();
