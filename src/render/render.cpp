// The plain-text renderer, base of the other dialects, and the choice of a dialect.
#include "render/render.h"
#include "render/renderdialects.h"

t_render::~t_render() = default;

void t_render::writebeginE() {}
void t_render::writeendE() {}
void t_render::writebegintext() {}
void t_render::writenewline() { fputc('\n', m_out); }
void t_render::writeendtext() {}
void t_render::Vconsoletext_begin() {}
void t_render::Vconsoletext_end() {}
void t_render::Vsigne_plus() { fputs("+", m_out); }
void t_render::Vsigne_mul() { fputs("*", m_out); }
void t_render::Vsigne_virgule() { fputs(",", m_out); }
void t_render::Vespacesigne_virgule() { fputs(", ", m_out); }
void t_render::Vespacesigne_plus() { fputs(" + ", m_out); }
void t_render::Vespacesigne_moins() { fputs(" - ", m_out); }
void t_render::Vespacesigne_phantom() { fputs("   ", m_out); }
void t_render::Vespacesigne_eq() { fputs(" = ", m_out); }
void t_render::Vespacesigne_extprod() { fputs(" & ", m_out); }
void t_render::Vespacesigne_matprod() { fputs(" &* ", m_out); }
void t_render::Vespacesigne_scalarprod() { fputs(" . ", m_out); }
void t_render::Vsigne_3dots() { fputs(" ... ", m_out); }
void t_render::Vparenthese_begin() { fputs("(", m_out); }
void t_render::Vparenthese_end() { fputs(")", m_out); }
void t_render::Vmathparenthese_begin() { fputs("(", m_out); }
void t_render::Vmathparenthese_end() { fputs(")", m_out); }
void t_render::Vparenthesemultiline_begin() { fputs("(", m_out); }
void t_render::Vparenthesemultiline_end() { fputs(")", m_out); }
void t_render::Vcrochet_begin() { fputs("[", m_out); }
void t_render::Vcrochet_end() { fputs("]", m_out); }
void t_render::Vaccolade_begin() { fputs("{", m_out); }
void t_render::Vaccolade_end() { fputs("}", m_out); }
void t_render::Vmathaccolade_begin() { fputs("{", m_out); }
void t_render::Vmathaccolade_end() { fputs("}", m_out); }
void t_render::Vfrac_begin() {}
void t_render::Vfrac_sep() { fputs("/", m_out); }
void t_render::Vfrac_end() {}
void t_render::Vvar1n(const char* name, int power)
{
    fputs(name, m_out);
    if (power != 1) fprintf(m_out, "**%d", power);
}
void t_render::Vmathvar(const char* name) { Vvar(name); }
void t_render::Vvar(const char* name) { fputs(name, m_out); }
void t_render::Vliteralstring(const char* text) { fprintf(m_out, "\"%s\"", text); }
void t_render::Vvector(const char* name) { fputs(name, m_out); }
void t_render::Vmathvector(const char* name) { Vvector(name); }
void t_render::Vname(const char* name) { fputs(name, m_out); }
void t_render::Vfunction_begin(const char* name) { fprintf(m_out, "%s(", name); }
void t_render::Vfunction_end() { fputs(")", m_out); }
void t_render::Vsubscript_begin() {}
void t_render::Vsubscript_end() {}
void t_render::Vsubscript(int i) { fprintf(m_out, "_%d", i); }
void t_render::Vsubscript(int i, int j, int k) { fprintf(m_out, "_{%d,%d,%d}", i, j, k); }
void t_render::Vsupscript_begin() {}
void t_render::Vsupscript_end() {}
void t_render::Vsupscript(int i) { fprintf(m_out, "**%d", i); }
void t_render::Vsupscript(const char* text) { fprintf(m_out, "**%s", text); }
void t_render::Vinteger(int v) { fprintf(m_out, "%d", v); }
void t_render::Vinteger_ld(long v) { fprintf(m_out, "%ld", v); }
void t_render::Vinteger_lu(unsigned long v) { fprintf(m_out, "%lu", v); }
void t_render::Vinteger_u(unsigned v) { fprintf(m_out, "%u", v); }
void t_render::Vmath_begin() {}
void t_render::Vmath_end() {}
void t_render::Vmathtabular_begin(int, const char*) {}
void t_render::Vmathtabular_end() {}
void t_render::Vtabular_line_begin(ealign) {}
void t_render::Vtabular_col_begin(ealign) {}
void t_render::Vtabular_col_end() {}
void t_render::Vtabular_line_end() { fputc('\n', m_out); }
void t_render::Vline_break() { fputc('\n', m_out); }
void t_render::Vformat(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    Vvformat(fmt, ap);
    va_end(ap);
}
void t_render::Vvformat(const char* fmt, va_list ap)
{
    switch (m_kind) {
    case KST_RENDER_ML: t_renderml::format(m_out, fmt, ap); break;
    case KST_RENDER_HTML: t_renderhtml::format(m_out, fmt, ap); break;
    default: vfprintf(m_out, fmt, ap);
    }
}
void t_render::Vrender_unsafe(const char* text) { fputs(text, m_out); }
void t_render::Vrender_unsafe(const char* text, int length) { fprintf(m_out, "%.*s", length, text); }

t_render* kst_newrender(int selector)
{
    switch (selector) {
    case 1: return new t_renderstdml;
    case 2: return new t_rendertex;
    case 3: return new t_renderml;
    case 4: return new t_renderhtml;
    default: return new t_renderstd;
    }
}

t_render* kst_newrender_like(const t_render* model)
{
    if (!model) return new t_renderstd;
    if (dynamic_cast<const t_renderstdml*>(model)) return new t_renderstdml;
    switch (model->getkind()) {
    case KST_RENDER_ML: return new t_renderml;
    case KST_RENDER_TEX: return new t_rendertex;
    case KST_RENDER_HTML: return new t_renderhtml;
    default: return new t_renderstd;
    }
}

