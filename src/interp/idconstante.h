// Numeric constants as identifier values: the identifier class around the coefficient room's
// t_constante, with the arithmetic and comparisons of the operation table.
#pragma once
#include "coef/constante.h"
#include "interp/idcommon.h"

class t_idconstante final : public t_idcommon {
public:
    KST_BLOCKPOOLED
    // Takes the value (converted to the context's numeric mode).
    t_idconstante(t_cctx* ctx, const char* name, coef value);
    ~t_idconstante() override;
    t_idconstante(const t_idconstante&) = delete;

    // A macro that takes numbers by value makes and drops a constant at every call: a constant
    // that goes waits, emptied, in a short per-thread list, and make takes it from there.
    static t_idconstante* make(t_cctx* ctx, const char* name, coef value);
    void Vdelete() override;

    int Vgettypeenum() const override { return IDTYPE_CONSTANTE; }
    const char* Vgettypename() const override { return t_constante::typename_; }
    t_idcommon* Vcopy() const override;
    // The same copy, its value in the mode of `ctx` (Vcopy asks the thread for its context).
    t_idconstante* copyin(t_cctx* ctx) const;
    // The same copy made into `to`, whose value and name it replaces.
    void copyinto(t_cctx* ctx, t_idconstante* to) const;
    bool Viscopiable() const override { return true; }
    bool Visinteger() const override;
    int Vgetinteger() const override;
    bool Vislonginteger() const override { return Visinteger(); }
    long Vgetlonginteger() const override;
    bool Visreal() const override;
    bool Viscplx() const override;
    bool Visrealorcplx() const override { return true; }
    double Vgetdbl() const override;
    bool Vexport_msgfmt(t_cctx* ctx, FILE* stream, const char* piece) const override;
    bool Vexport_str(t_cctx* ctx, std::string& out) const override;
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;
    bool Vswitchcase(t_cctx* ctx, const t_idcommon* value) const override;
    void Vupdatename(const char* name) override;
    // The one-argument functions, as new constants (inside arrays: sin(T)).
#define KST_IDCONSTANTE_UNARY(op) t_idcommon* op(t_cctx* ctx, int opflag) override;
    KST_ID_UNARY_OPS(KST_IDCONSTANTE_UNARY)
#undef KST_IDCONSTANTE_UNARY

    // The value in the context's numeric mode: a converted copy when it was stored under another
    // mode, the stored value staying as it is (an exact value survives a read in NUMDBL).
    const coef& value(t_cctx* ctx) const;
    const coef& rawvalue() const { return m_const->getvalue(); }
    int modenum() const { return m_const->getmodenum(); }   // the mode the value was stored in
    void setconverted(coef value) { m_const->setconverted(value); }
    double* inplacedouble() { return m_const->inplacedouble(); }
    coef takevalue();                  // the value as last read; leaves zero behind
    // Replaces the value (owned, converted to the context's numeric mode) in place.
    void setvalue(t_cctx* ctx, coef value) { m_const->resetandset(ctx, value); }

private:
    t_constante* m_const;
};
