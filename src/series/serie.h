// The identifier class of a named series: one coef (a number or a tree of POLYNOME nodes).
#pragma once
#include "coef/coef.h"
#include "interp/idcommon.h"

#include <atomic>

class t_serie : public t_idcommon {
public:
    t_serie(const char* name, coef owned) : t_idcommon(name), m_value(owned) {}
    t_serie(const t_serie& other);
    ~t_serie() override;
    t_serie& operator=(const t_serie&) = delete;

    int Vgettypeenum() const override { return IDTYPE_SERIE; }
    const char* Vgettypename() const override { return "serie"; }
    t_idcommon* Vcopy() const override { return new t_serie(*this); }
    bool Viscopiable() const override { return true; }
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;
    void Vstat(t_cctx* ctx, FILE* stream) const override;
    long Vsize() const override;
    long Vbilan_mem() const override;
    t_idcommon* Vneg(t_cctx* ctx, int opflag) override;
    // exp(i*a*x) of a variable x: the angular exponential variable of that angle (made once).
    t_idcommon* Vexp(t_cctx* ctx, int opflag) override;
    t_idcommon* Vupdatevalue(t_cctx* ctx) const override;
    bool Vdependon(const t_idcommon* other) const override;

    const coef& value() const { return m_value; }
    // The tree is ordered under the ordering in force and its leaves all have the tag `leaftag`.
    void setmade(t_cctx* ctx, eBHTypeCoef leaftag);
    // Whoever may change the tree in place makes the mode check walk it again.
    coef& value()
    {
        m_leavesinmode.store(-1, std::memory_order_relaxed);
        m_orderedunder.store(0, std::memory_order_relaxed);
        return m_value;
    }

private:
    coef m_value;
    // The numeric mode every leaf was last found to belong to (-1: not known). A series used again
    // and again under one mode is walked once, not at every use: the walk over millions of leaves
    // cost as much as a whole product of doubles.
    mutable std::atomic<int> m_leavesinmode{-1};
    // The ordering in force when the tree was last found to follow it: the address of the
    // published set of orderings (sets are never freed during a session) with `_ior` in its low
    // bits; 0 when not known. The same reason: the walk cost as much at every use.
    mutable std::atomic<uintptr_t> m_orderedunder{0};
};

// A value for an owned result: a series when it is a tree, a numeric constant otherwise.
t_idcommon* kst_serie_wrap(t_cctx* ctx, coef owned);
// The same for a tree made under the ordering in force whose leaves all have the tag `leaftag`
// (BH_ZERO: not known, as kst_serie_wrap).
t_idcommon* kst_serie_wrapmade(t_cctx* ctx, coef owned, eBHTypeCoef leaftag);
// Prints a series in the form `_affdist` selects (0 factorised, else distributed), each term
// through the renderer; ends with a line break.
void affiche(t_cctx* ctx, t_render* r, const coef* c);
// The highest (or lowest) degree in the variable `var` of the series or variable `s`; false when
// the two are not a series (or variable) and a variable.
bool kst_serie_degree(const t_idcommon* s, const t_idcommon* var, bool lowest, long* out);
struct t_troncwork;
struct t_tronc;
// The truncations in force (the values of _tronc and _trmon), also recorded in the kernel
// context: the working form of the degree truncation (null when none is in force) and in `trmon`
// the monomial truncation (null when none).
const t_troncwork* kst_serie_truncations(t_cctx* ctx, const t_tronc** trmon);
void kst_tronc_registerlanguage();
// The series arithmetic of the language (operation table) and its statements.
void kst_serie_registerops();
