// The numeric core of a named constant: one coefficient and the numeric mode it was last set in.
// The identifier class (flag 3, type name "CONST") forwards its value operations here.
#pragma once
#include <cstdio>
#include <string>

#include "coef/blockpool.h"
#include "coef/coef.h"

class t_constante {
public:
    KST_BLOCKPOOLED
    static constexpr int idflag = 3;
    static constexpr const char* typename_ = "CONST";

    // Takes the value as it is and records the current mode.
    t_constante(t_cctx* ctx, const char* name, coef value);
    // The integer n made in the current mode.
    t_constante(t_cctx* ctx, const char* name, long long n);
    ~t_constante();
    t_constante(const t_constante&) = delete;
    t_constante& operator=(const t_constante&) = delete;

    const char* getname() const { return m_name.c_str(); }
    void setname(const char* name) { m_name = name ? name : ""; }
    const coef& getvalue() const { return m_value; }
    coef* getpvalue() { return &m_value; }
    int getmodenum() const { return m_modenum; }
    const char* Vgettypename() const { return typename_; }

    // Takes the value, converts it to the context's mode and records that mode.
    void set(t_cctx* ctx, coef value);
    void resetandset(t_cctx* ctx, coef value);
    // Replaces the value by one (owned) already in the constant's mode: of the type the mode made
    // of the stored value, which converting again would leave as it is.
    // The stored double, to be replaced in place by another nonzero double of the same mode; null
    // when the value is no double or a converted view of it is out.
    double* inplacedouble() { return m_value.type == BH_DBL && m_viewmode == -1 ? &m_value.d : nullptr; }
    void setconverted(coef value)
    {
        if (m_viewmode != -1) dropview();
        if (m_value.type != BH_DBL) deletecoef(&m_value);   // a double owns nothing
        m_value = value;
    }
    void reset();
    // The stored value is valid as it is in the context's mode (a double also in the rational
    // modes, where doubles are legitimate values).
    bool getdescripteur_ismodenum(t_cctx* ctx) const;
    // The constant itself when its value suits the context's mode, else a new converted copy
    // (owned by the caller) while the stored value stays as it is.
    t_constante* Vgetvalue(t_cctx* ctx);
    // The value as the context's mode sees it: the stored one when it suits the mode, else a
    // converted copy kept beside it until the next read under another mode or the next set. The
    // stored value stays as it is, so an exact value survives being read in a floating mode.
    const coef& valuein(t_cctx* ctx) const;
    // Takes the value as last read by valuein (the stored one when it was never converted); the
    // constant is left holding zero.
    coef takevalue();
    // Converts the stored value in place to the context's mode.
    void Vupdatevalue(t_cctx* ctx);
    t_constante* Vcopy(t_cctx* ctx) const;

    // A unary coefficient operation (neg, abs, cos, ...) applied to the value: a new constant.
    t_constante* Vunary(t_cctx* ctx, coef_unop_fn coefvtable::*op) const;

    // "name = value" and a line end, the value in the `_affc` format of the context.
    void Vdisplay_resume(t_cctx* ctx, t_render* r) const;
    // The value alone.
    void display_value(t_cctx* ctx, t_render* r) const;

    // Storage: the 32-byte coefficient record followed by its payload. load reports run error
    // 334 with the file name on a failed read and makes no constant.
    bool save(FILE* f) const;
    static t_constante* load(t_cctx* ctx, FILE* f, const char* filename, const char* name);

private:
    void dropview() const;

    std::string m_name;
    coef m_value{};
    int m_modenum = 0;
    // The converted copy handed out by valuein, and the mode it was made for (-1: none).
    mutable coef m_view{};
    mutable int m_viewmode = -1;
};
