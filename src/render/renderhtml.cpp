// The HTML dialect: TeX formulas inside a page, left to a formula engine running in the browser;
// text outside formulas is escaped as in MathML.
#include "render/renderdialects.h"

void t_renderhtml::format(FILE* stream, const char* fmt, va_list ap) { t_renderml::format(stream, fmt, ap); }

void t_renderhtml::writebeginE() { fputs("<merror><mtext>", m_err); }
void t_renderhtml::writeendE() { fputs("</mtext></merror>", m_err); }
void t_renderhtml::writenewline() { fputs("<br />", m_out); }
void t_renderhtml::Vconsoletext_begin() { fputs("<pre>", m_out); }
void t_renderhtml::Vconsoletext_end() { fputs("</pre>", m_out); }
void t_renderhtml::Vsigne_mul() {}
void t_renderhtml::Vespacesigne_extprod() { fputs(" \\wedge ", m_out); }
void t_renderhtml::Vespacesigne_matprod() {}
void t_renderhtml::Vespacesigne_scalarprod() { fputs("\\bullet", m_out); }
void t_renderhtml::Vmathparenthese_begin() { fputs("\\left(", m_out); }
void t_renderhtml::Vmathparenthese_end() { fputs("\\right)", m_out); }
void t_renderhtml::Vmathaccolade_begin() { fputs("\\left\\{", m_out); }
void t_renderhtml::Vmathaccolade_end() { fputs("\\right\\}", m_out); }
void t_renderhtml::Vfrac_begin() { fputs("\\frac{", m_out); }
void t_renderhtml::Vfrac_sep() { fputs("}{", m_out); }
void t_renderhtml::Vfrac_end() { fputs("}", m_out); }
void t_renderhtml::Vvar1n(const char* name, int power)
{
    render_tex_unsafe(m_out, name);
    if (power != 1) fprintf(m_out, "^{%d}", power);
}
void t_renderhtml::Vmathvar(const char* name) { render_tex_unsafe(m_out, name); }
void t_renderhtml::Vvar(const char* name) { render_ml_unsafe(m_out, name); }
void t_renderhtml::Vliteralstring(const char* text) { fprintf(m_out, "&quot;%s&quot;", text); }
void t_renderhtml::Vvector(const char* name) { fprintf(m_out, "<strong>%s</strong>", name); }
void t_renderhtml::Vmathvector(const char* name)
{
    fputs("\\mathbf{", m_out);
    render_tex_unsafe(m_out, name);
    fputs("}", m_out);
}
void t_renderhtml::Vname(const char* name) { render_ml_unsafe(m_out, name); }
void t_renderhtml::Vfunction_begin(const char* name) { fprintf(m_out, "\\%s\\left(", name); }
void t_renderhtml::Vfunction_end() { fputs("\\right)", m_out); }
void t_renderhtml::Vsubscript(int i) { fprintf(m_out, "_{%d}", i); }
void t_renderhtml::Vsupscript(int i) { fprintf(m_out, "^{%d}", i); }
void t_renderhtml::Vsupscript(const char* text)
{
    fputs("^{", m_out);
    render_ml_unsafe(m_out, text);
    fputs("}", m_out);
}
void t_renderhtml::Vmath_begin() { fputs("$$", m_out); }
void t_renderhtml::Vmath_end() { fputs("$$", m_out); }
void t_renderhtml::Vmathtabular_begin(int, const char* spec) { fprintf(m_out, "\\begin{array}{%s}\n", spec); }
void t_renderhtml::Vmathtabular_end() { fputs("\\end{array}\n", m_out); }
void t_renderhtml::Vtabular_col_begin(ealign) { fputs("&", m_out); }
void t_renderhtml::Vtabular_line_end() { fputs("\\\\\n", m_out); }
void t_renderhtml::Vline_break() { fputs("<br />\n", m_out); }
void t_renderhtml::Vformat(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    format(m_out, fmt, ap);
    va_end(ap);
}
void t_renderhtml::Vrender_unsafe(const char* text) { render_ml_unsafe(m_out, text); }
void t_renderhtml::Vrender_unsafe(const char* text, int length) { render_ml_unsafe(m_out, text, length); }
