// The LaTeX dialect: formulas for display math ("$$"), names with their underscores escaped.
#include "render/renderdialects.h"

void t_rendertex::writebeginE() { fputs("error ", m_err); }
void t_rendertex::writenewline() { fputs("\n\n", m_out); }   // an empty line ends a TeX paragraph
void t_rendertex::Vsigne_mul() {}
void t_rendertex::Vespacesigne_extprod() { fputs(" \\wedge ", m_out); }
void t_rendertex::Vespacesigne_matprod() {}
void t_rendertex::Vespacesigne_scalarprod() { fputs("\\bullet", m_out); }
void t_rendertex::Vmathparenthese_begin() { fputs("\\left(", m_out); }
void t_rendertex::Vmathparenthese_end() { fputs("\\right)", m_out); }
void t_rendertex::Vcrochet_begin() { fputs("\\left[", m_out); }
void t_rendertex::Vcrochet_end() { fputs("\\right]", m_out); }
void t_rendertex::Vaccolade_begin() { fputs("\\{", m_out); }
void t_rendertex::Vaccolade_end() { fputs("\\}", m_out); }
void t_rendertex::Vmathaccolade_begin() { fputs("\\left\\{", m_out); }
void t_rendertex::Vmathaccolade_end() { fputs("\\right\\}", m_out); }
void t_rendertex::Vfrac_begin() { fputs("\\frac{", m_out); }
void t_rendertex::Vfrac_sep() { fputs("}{", m_out); }
void t_rendertex::Vfrac_end() { fputs("}", m_out); }
void t_rendertex::Vvar1n(const char* name, int power)
{
    render_tex_unsafe(m_out, name);
    if (power != 1) fprintf(m_out, "^{%d}", power);
}
void t_rendertex::Vvar(const char* name) { render_tex_unsafe(m_out, name); }
void t_rendertex::Vliteralstring(const char* text)
{
    fputs("\\textrm{\"", m_out);
    render_tex_unsafe(m_out, text);
    fputs("\"}", m_out);
}
void t_rendertex::Vvector(const char* name) { fprintf(m_out, "\\bf{%s}", name); }
void t_rendertex::Vmathvector(const char* name)
{
    fputs("\\mathbf{", m_out);
    render_tex_unsafe(m_out, name);
    fputs("}", m_out);
}
void t_rendertex::Vname(const char* name) { render_tex_unsafe(m_out, name); }
void t_rendertex::Vfunction_begin(const char* name) { fprintf(m_out, "\\%s\\left(", name); }
void t_rendertex::Vfunction_end() { fputs("\\right)", m_out); }
void t_rendertex::Vsubscript(int i) { fprintf(m_out, "_{%d}", i); }
void t_rendertex::Vsupscript(int i) { fprintf(m_out, "^{%d}", i); }
void t_rendertex::Vsupscript(const char* text)
{
    fputs("^{", m_out);
    render_tex_unsafe(m_out, text);
    fputs("}", m_out);
}
void t_rendertex::Vmath_begin() { fputs("$$", m_out); }
void t_rendertex::Vmath_end() { fputs("$$", m_out); }
void t_rendertex::Vmathtabular_begin(int, const char* spec) { fprintf(m_out, "\\begin{array}{%s}\n", spec); }
void t_rendertex::Vmathtabular_end() { fputs("\\end{array}\n", m_out); }
void t_rendertex::Vtabular_col_begin(ealign) { fputs("&", m_out); }
void t_rendertex::Vtabular_line_end() { fputs("\\\\\n", m_out); }
void t_rendertex::Vline_break() { fputs("\n\n", m_out); }
