// Output renderers: abstract layout requests written in one of five dialects (plain text, plain
// text with mark-up for a front end, LaTeX, MathML, HTML). The virtual slots keep this order.
#pragma once
#include <cstdarg>
#include <cstdio>

class t_cctx;

// Kind values stored in the renderers (the selectors of kst_newrender are another numbering).
enum { KST_RENDER_STD = 0, KST_RENDER_ML = 1, KST_RENDER_TEX = 2, KST_RENDER_HTML = 4 };

class t_render {
public:
    enum ealign { left = 0, right = 1, center = 2 };

    explicit t_render(int kind = 0) : m_kind(kind) {}
    virtual ~t_render();

    virtual void writebeginE();
    virtual void writeendE();
    virtual void writebegintext();
    virtual void writenewline();
    virtual void writeendtext();
    virtual void Vconsoletext_begin();
    virtual void Vconsoletext_end();
    virtual void Vsigne_plus();
    virtual void Vsigne_mul();
    virtual void Vsigne_virgule();
    virtual void Vespacesigne_virgule();
    virtual void Vespacesigne_plus();
    virtual void Vespacesigne_moins();
    virtual void Vespacesigne_phantom();
    virtual void Vespacesigne_eq();
    virtual void Vespacesigne_extprod();
    virtual void Vespacesigne_matprod();
    virtual void Vespacesigne_scalarprod();
    virtual void Vsigne_3dots();
    virtual void Vparenthese_begin();
    virtual void Vparenthese_end();
    virtual void Vmathparenthese_begin();
    virtual void Vmathparenthese_end();
    virtual void Vparenthesemultiline_begin();
    virtual void Vparenthesemultiline_end();
    virtual void Vcrochet_begin();
    virtual void Vcrochet_end();
    virtual void Vaccolade_begin();
    virtual void Vaccolade_end();
    virtual void Vmathaccolade_begin();
    virtual void Vmathaccolade_end();
    virtual void Vfrac_begin();
    virtual void Vfrac_sep();
    virtual void Vfrac_end();
    virtual void Vvar1n(const char* name, int power);
    virtual void Vmathvar(const char* name);
    virtual void Vvar(const char* name);
    virtual void Vliteralstring(const char* text);
    virtual void Vvector(const char* name);
    virtual void Vmathvector(const char* name);
    virtual void Vname(const char* name);
    virtual void Vfunction_begin(const char* name);
    virtual void Vfunction_end();
    virtual void Vsubscript_begin();
    virtual void Vsubscript_end();
    virtual void Vsubscript(int i);
    virtual void Vsubscript(int i, int j, int k);
    virtual void Vsupscript_begin();
    virtual void Vsupscript_end();
    virtual void Vsupscript(int i);
    virtual void Vsupscript(const char* text);
    virtual void Vinteger(int v);
    virtual void Vinteger_ld(long v);
    virtual void Vinteger_lu(unsigned long v);
    virtual void Vinteger_u(unsigned v);
    virtual void Vmath_begin();
    virtual void Vmath_end();
    virtual void Vmathtabular_begin(int ncols, const char* spec);
    virtual void Vmathtabular_end();
    virtual void Vtabular_line_begin(ealign align);
    virtual void Vtabular_col_begin(ealign align);
    virtual void Vtabular_col_end();
    virtual void Vtabular_line_end();
    virtual void Vline_break();
    virtual void Vformat(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    virtual void Vrender_unsafe(const char* text);
    virtual void Vrender_unsafe(const char* text, int length);

    // Vformat with a va_list, in the dialect's own formatter (the MathML and HTML kinds escape their
    // text and accept only %d %u %l? %s %%); there is no slot for it, so it follows the kind.
    void Vvformat(const char* fmt, va_list ap);

    int getkind() const { return m_kind; }
    void setstreams(FILE* out, FILE* err) { m_out = out; m_err = err; }
    FILE* getstdout() const { return m_out; }
    FILE* getstderr() const { return m_err; }

protected:
    int m_kind;
    FILE* m_out = stdout;
    FILE* m_err = stderr;
};

// Plain text: the base behaviour.
class t_renderstd : public t_render {
public:
    t_renderstd() : t_render(KST_RENDER_STD) {}
};

// Creates the renderer of a selector (1 plain with mark-up, 2 TeX, 3 MathML, 4 HTML, anything
// else plain text); the caller owns it.
t_render* kst_newrender(int selector);
// A new renderer of the same dialect as `model` (plain text when null): task contexts copy their
// parent's dialect this way, since the kind does not tell plain text from plain with mark-up.
t_render* kst_newrender_like(const t_render* model);
// Installs a new renderer in ctx (the calling thread's context when null), releasing the old one.
void kst_setrender(t_cctx* ctx, int selector);

// Raw text in a dialect: TeX escapes underscores; MathML escapes "<", ">" and turns newlines into
// line breaks. The counted form stops at `length` bytes or at a terminating zero.
void render_tex_unsafe(FILE* stream, const char* text);
void render_ml_unsafe(FILE* stream, const char* text);
void render_ml_unsafe(FILE* stream, const char* text, int length);

// Tables and paragraphs of report writers. colspec gives the TeX column formats ("lrr").
void render_tex_tabular_begin(FILE* stream, const char* colspec);
void render_tex_tabular_end(FILE* stream);
void render_ml_tabular_begin(FILE* stream);
void render_ml_tabular_end(FILE* stream);
void render_ml_para_begin(FILE* stream);
void render_ml_para_end(FILE* stream);
