// Truncation: groups of variables with a maximum total degree. A product under a truncation
// never creates a term that a group forbids: the loops stop at the remaining level of each
// group, consuming the degree of a term on the way down and giving it back on the way up.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "coef/coef.h"
#include "interp/idcommon.h"
#include "interp/roomapi.h"

struct t_variable;

struct troncature {
    std::vector<t_variable*> variables;   // in declaration order
    int32_t reserved = -100;
    int32_t level = 0;                    // maximum total degree of the group's variables
};

struct t_troncwork;

// A named truncation (a list of groups), also the value of one group `{x, 3}`. Its groups do not
// change once it is made; its working form is built by the first product that needs it and kept.
struct t_tronc : public t_idcommon {
    std::vector<troncature> groups;
    t_tronc() : t_idcommon("") {}
    t_tronc(const t_tronc& other) : t_idcommon(other), groups(other.groups) {}
    ~t_tronc() override;
    t_tronc& operator=(const t_tronc&) = delete;
    // The working form of the groups (built once, whichever thread asks first).
    const t_troncwork& work() const;
    int Vgettypeenum() const override { return IDTYPE_TRONC; }
    const char* Vgettypename() const override { return "troncature"; }
    t_idcommon* Vcopy() const override { return new t_tronc(*this); }
    bool Viscopiable() const override { return true; }
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;
    long Vsize() const override { return static_cast<long>(groups.size()); }
    bool Vdependon(const t_idcommon* other) const override;

private:
    mutable std::atomic<const t_troncwork*> m_work{nullptr};
};

// "\n%s = ( { x, 3 }, { (x,y), 4 } )\n\n" (the name part only when a name is given).
void aff_tronc(FILE* stream, const char* name, const t_tronc& list);
// "\n%s = ( { x, 2 } )\n\n" for a monomial truncation (single-variable groups).
void aff_trmon(FILE* stream, const char* name, const t_tronc& list);

enum etronccomplex { etronccomplex_single = 1, etronccomplex_nodep = 2, etronccomplex_complex = 3 };

// The working form of a truncation, built once when it is put in force, read-only afterwards.
struct t_troncwork {
    int complexity = etronccomplex_single;
    std::vector<int> positions;   // complexity 3: runs {count, group, group, ...}
    std::vector<int> levels;      // one per group
    std::vector<int> flags;       // by variable index: slot or run start, -1 when not truncated
    void init(const t_tronc& list);
    int flag(const t_variable* v) const;
    int getnivh(const t_variable* v) const;
};

// The levels of one product in progress: each recursion consumes the degree it descends into.
struct t_troncworkstack {
    const t_troncwork* work;
    std::vector<int> levels;
    int slot = -1;
    explicit t_troncworkstack(const t_troncwork* w) : work(w), levels(w->levels) {}
    // Selects v's slot; its remaining level, or INT32_MAX when v is not truncated.
    int remaining(const t_variable* v) const;
    void update(const t_variable* v, int delta);
};

// acc += a*b under the levels of `st` (acc owned and left unnormalised; a and b kept).
void serie_fmatr(t_cctx* ctx, coef* acc, const coef* a, const coef* b, t_troncworkstack& st);
// The top-level product of two nodes in the same variable spread over the threads, one task
// per result degree (each task sums its pairs in the order of the sequential loops, so the
// result does not depend on `_cpu`); false, with nothing done, when it does not apply.
bool serie_mul_parallel(t_cctx* ctx, coef* acc, const coef* a, const coef* b, const t_troncwork* w);
// a*b keeping only the terms the truncation allows (keep flags as everywhere); a^n likewise.
// `leaftag`, when given, as for serie_mul (for a power: when a kernel made its last product).
coef serie_multr(t_cctx* ctx, coef* a, int ka, coef* b, int kb, const t_troncwork* w, eBHTypeCoef* leaftag = nullptr);
coef serie_powtr(t_cctx* ctx, coef* a, int ka, unsigned long n, const t_troncwork* w, eBHTypeCoef* leaftag = nullptr);
// The part of c whose degree in each listed variable is exactly the listed degree (monomial
// truncation): the coefficient of x^D, kept at degree D.
coef serie_trmon(t_cctx* ctx, coef* c, int kc, const t_tronc& list);
// Terms of c that the truncation allows (the full product truncated, for checks).
coef serie_truncate(t_cctx* ctx, const coef* c, const t_troncwork* w);

// a^alpha for a negative or fractional exponent (`isinteger` with its value n when alpha is
// whole): exact for a single monomial and an integer, otherwise the binomial expansion around
// the constant term under the truncation `w`. False after an error (271 without a truncation
// that ends the expansion, 24 without a constant term).
bool serie_powalpha(t_cctx* ctx, const coef* a, const coef* alpha, bool isinteger, long n, const t_troncwork* w,
                    coef* out);

// One entry of a monomial truncation: the product keeps only the power `deg` of `var`.
struct t_monentry {
    t_variable* var;
    int32_t deg;
};
// The entries of a monomial truncation sorted by rank in the ordering in force, a variable named
// twice kept once (its first degree).
std::vector<t_monentry> kst_troncmon_sortdup(const t_cctx* ctx, const t_tronc& list);
// a*b reduced to the monomial truncation `list` (sorted, see above): for each listed x^D only the
// sum of a_i*b_j over i + j = D is made, the other variables multiply freely (under the degree
// truncation `w` when there is one, the listed variables then moved to the first ranks for the
// time of the product). Keep flags as everywhere.
coef serie_multrmon(t_cctx* ctx, coef* a, int ka, coef* b, int kb, const std::vector<t_monentry>& list,
                    const t_troncwork* w);
