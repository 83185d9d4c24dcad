// The renderer classes of the dialects other than plain text; only kst_newrender creates them.
#pragma once
#include "render/render.h"

// Plain text for a front end that reads MathML mark-up around errors, text blocks and newlines.
class t_renderstdml : public t_renderstd {
public:
    void writebeginE() override;
    void writeendE() override;
    void writebegintext() override;
    void writenewline() override;
    void writeendtext() override;
};

// LaTeX.
class t_rendertex : public t_render {
public:
    t_rendertex() : t_render(KST_RENDER_TEX) {}

    void writebeginE() override;
    void writenewline() override;
    void Vsigne_mul() override;
    void Vespacesigne_extprod() override;
    void Vespacesigne_matprod() override;
    void Vespacesigne_scalarprod() override;
    void Vmathparenthese_begin() override;
    void Vmathparenthese_end() override;
    void Vcrochet_begin() override;
    void Vcrochet_end() override;
    void Vaccolade_begin() override;
    void Vaccolade_end() override;
    void Vmathaccolade_begin() override;
    void Vmathaccolade_end() override;
    void Vfrac_begin() override;
    void Vfrac_sep() override;
    void Vfrac_end() override;
    void Vvar1n(const char* name, int power) override;
    void Vvar(const char* name) override;
    void Vliteralstring(const char* text) override;
    void Vvector(const char* name) override;
    void Vmathvector(const char* name) override;
    void Vname(const char* name) override;
    void Vfunction_begin(const char* name) override;
    void Vfunction_end() override;
    void Vsubscript(int i) override;
    using t_render::Vsubscript;
    void Vsupscript(int i) override;
    void Vsupscript(const char* text) override;
    void Vmath_begin() override;
    void Vmath_end() override;
    void Vmathtabular_begin(int ncols, const char* spec) override;
    void Vmathtabular_end() override;
    void Vtabular_col_begin(ealign align) override;
    void Vtabular_line_end() override;
    void Vline_break() override;
};

// MathML (with a few XHTML elements for console text and line breaks).
class t_renderml : public t_render {
public:
    t_renderml() : t_render(KST_RENDER_ML) {}

    // The four bytes framing an error block on the error stream, for front ends to find it.
    static constexpr char errormarker[] = "\n\a\b\n";

    // The dialect's printf: only %d %u %l<letter> %s (escaped) and %%; newlines become "<br />".
    static void format(FILE* stream, const char* fmt, va_list ap);

    void writebeginE() override;
    void writeendE() override;
    void writebegintext() override;
    void writenewline() override;
    void writeendtext() override;
    void Vconsoletext_begin() override;
    void Vconsoletext_end() override;
    void Vsigne_plus() override;
    void Vsigne_mul() override;
    void Vsigne_virgule() override;
    void Vespacesigne_plus() override;
    void Vespacesigne_moins() override;
    void Vespacesigne_eq() override;
    void Vespacesigne_extprod() override;
    void Vespacesigne_matprod() override;
    void Vespacesigne_scalarprod() override;
    void Vsigne_3dots() override;
    void Vparenthese_begin() override;
    void Vparenthese_end() override;
    void Vmathparenthese_begin() override;
    void Vmathparenthese_end() override;
    void Vparenthesemultiline_begin() override;
    void Vparenthesemultiline_end() override;
    void Vcrochet_begin() override;
    void Vcrochet_end() override;
    void Vmathaccolade_begin() override;
    void Vmathaccolade_end() override;
    void Vfrac_begin() override;
    void Vfrac_sep() override;
    void Vfrac_end() override;
    void Vvar1n(const char* name, int power) override;
    void Vvar(const char* name) override;
    void Vliteralstring(const char* text) override;
    void Vvector(const char* name) override;
    void Vmathvector(const char* name) override;
    void Vname(const char* name) override;
    void Vfunction_begin(const char* name) override;
    void Vfunction_end() override;
    void Vsubscript_begin() override;
    void Vsubscript_end() override;
    void Vsubscript(int i) override;
    void Vsubscript(int i, int j, int k) override;
    void Vsupscript_begin() override;
    void Vsupscript_end() override;
    void Vsupscript(int i) override;
    void Vsupscript(const char* text) override;
    void Vinteger(int v) override;
    void Vinteger_ld(long v) override;
    void Vinteger_lu(unsigned long v) override;
    void Vinteger_u(unsigned v) override;
    void Vmath_begin() override;
    void Vmath_end() override;
    void Vmathtabular_begin(int ncols, const char* spec) override;
    void Vmathtabular_end() override;
    void Vtabular_line_begin(ealign align) override;
    void Vtabular_col_begin(ealign align) override;
    void Vtabular_col_end() override;
    void Vtabular_line_end() override;
    void Vline_break() override;
    __attribute__((format(printf, 2, 3))) void Vformat(const char* fmt, ...) override;
    void Vrender_unsafe(const char* text) override;
    void Vrender_unsafe(const char* text, int length) override;
};

// An HTML page whose formulas are TeX for a formula engine running in the page; messages and
// names outside formulas are escaped as in MathML.
class t_renderhtml : public t_render {
public:
    t_renderhtml() : t_render(KST_RENDER_HTML) {}

    // Same rules as t_renderml::format.
    static void format(FILE* stream, const char* fmt, va_list ap);

    void writebeginE() override;
    void writeendE() override;
    void writenewline() override;
    void Vconsoletext_begin() override;
    void Vconsoletext_end() override;
    void Vsigne_mul() override;
    void Vespacesigne_extprod() override;
    void Vespacesigne_matprod() override;
    void Vespacesigne_scalarprod() override;
    void Vmathparenthese_begin() override;
    void Vmathparenthese_end() override;
    void Vmathaccolade_begin() override;
    void Vmathaccolade_end() override;
    void Vfrac_begin() override;
    void Vfrac_sep() override;
    void Vfrac_end() override;
    void Vvar1n(const char* name, int power) override;
    void Vmathvar(const char* name) override;
    void Vvar(const char* name) override;
    void Vliteralstring(const char* text) override;
    void Vvector(const char* name) override;
    void Vmathvector(const char* name) override;
    void Vname(const char* name) override;
    void Vfunction_begin(const char* name) override;
    void Vfunction_end() override;
    void Vsubscript(int i) override;
    using t_render::Vsubscript;
    void Vsupscript(int i) override;
    void Vsupscript(const char* text) override;
    void Vmath_begin() override;
    void Vmath_end() override;
    void Vmathtabular_begin(int ncols, const char* spec) override;
    void Vmathtabular_end() override;
    void Vtabular_col_begin(ealign align) override;
    void Vtabular_line_end() override;
    void Vline_break() override;
    __attribute__((format(printf, 2, 3))) void Vformat(const char* fmt, ...) override;
    void Vrender_unsafe(const char* text) override;
    void Vrender_unsafe(const char* text, int length) override;
};
