// The MathML dialect, and the restricted printf shared with the HTML dialect.
#include "render/renderdialects.h"

#include <cstring>

#include "interp/error.h"

// Only conversions whose argument type is known are accepted: a message format that slipped
// anything else through would read its arguments with the wrong type.
void t_renderml::format(FILE* stream, const char* fmt, va_list ap)
{
    const char* run = fmt;
    const char* p = fmt;
    for (; *p; p++) {
        if (*p != '\n' && *p != '%') continue;
        if (p > run) fwrite(run, 1, p - run, stream);
        if (*p == '\n') {
            fputs("<br />\n", stream);
            run = p + 1;
            continue;
        }
        const char c = p[1];
        switch (c) {
        case '%': fputc('%', stream); p++; break;
        case 'd': fprintf(stream, "%d", va_arg(ap, int)); p++; break;
        case 'u': fprintf(stream, "%u", va_arg(ap, unsigned)); p++; break;
        case 's': {
            const char* s = va_arg(ap, const char*);
            render_ml_unsafe(stream, s ? s : "(null)");
            p++;
            break;
        }
        case 'l': {
            const char conv[4] = {'%', 'l', p[2], '\0'};
            if (p[2] && strchr("di", p[2])) fprintf(stream, conv, va_arg(ap, long));
            else if (p[2] && strchr("uxXo", p[2])) fprintf(stream, conv, va_arg(ap, unsigned long));
            else {
                const char bad[2] = {p[2], '\0'};
                kst_iceerror(1087, "t_renderml::format", bad);
            }
            p += 2;
            break;
        }
        default: {
            const char bad[2] = {c, '\0'};
            kst_iceerror(1087, "t_renderml::format", bad);
        }
        }
        run = p + 1;
    }
    if (p > run) fwrite(run, 1, p - run, stream);
}

static void write_marker(FILE* stream) { fwrite(t_renderml::errormarker, 1, 4, stream); }

void t_renderml::writebeginE()
{
    write_marker(m_err);
    fputs("<merror><mtext>", m_err);
}
void t_renderml::writeendE()
{
    fputs("</mtext></merror>", m_err);
    write_marker(m_err);
}
void t_renderml::writebegintext() { fputs("<mtext>", m_out); }
void t_renderml::writenewline() { fputs("<mspace linebreak=\"newline\"/>", m_out); }
void t_renderml::writeendtext() { fputs("</mtext>", m_out); }
void t_renderml::Vconsoletext_begin() { fputs("<pre>", m_out); }
void t_renderml::Vconsoletext_end() { fputs("</pre>", m_out); }
void t_renderml::Vsigne_plus() { fputs("<mo>+</mo>", m_out); }
void t_renderml::Vsigne_mul() {}
void t_renderml::Vsigne_virgule() { fputs("<mo>,</mo>", m_out); }
void t_renderml::Vespacesigne_plus() { fputs("<mo>+</mo>", m_out); }
void t_renderml::Vespacesigne_moins() { fputs("<mo>-</mo>", m_out); }
void t_renderml::Vespacesigne_eq() { fputs("<mo>=</mo>", m_out); }
void t_renderml::Vespacesigne_extprod() { fputs("<mo>&wedge;</mo>", m_out); }
void t_renderml::Vespacesigne_matprod() {}
void t_renderml::Vespacesigne_scalarprod() { fputs("<mo>&bullet;</mo>", m_out); }
void t_renderml::Vsigne_3dots() { fputs("<mtext> ... </mtext>", m_out); }
void t_renderml::Vparenthese_begin() { fputs("<mrow><mo>(</mo>", m_out); }
void t_renderml::Vparenthese_end() { fputs("<mo>)</mo></mrow>", m_out); }
void t_renderml::Vmathparenthese_begin() { fputs("<mrow><mo>(</mo>", m_out); }
void t_renderml::Vmathparenthese_end() { fputs("<mo>)</mo></mrow>", m_out); }
void t_renderml::Vparenthesemultiline_begin() { fputs("<mo>(</mo>", m_out); }
void t_renderml::Vparenthesemultiline_end() { fputs("<mo>)</mo>", m_out); }
void t_renderml::Vcrochet_begin() { fputs("<mrow><mo>[</mo>", m_out); }
void t_renderml::Vcrochet_end() { fputs("<mo>]</mo></mrow>", m_out); }
void t_renderml::Vmathaccolade_begin() { fputs("<mrow><mo>{</mo>", m_out); }
void t_renderml::Vmathaccolade_end() { fputs("<mo>}</mo></mrow>", m_out); }
void t_renderml::Vfrac_begin() { fputs("<mfrac><mrow>", m_out); }
void t_renderml::Vfrac_sep() { fputs("</mrow><mrow>", m_out); }
void t_renderml::Vfrac_end() { fputs("</mrow></mfrac>", m_out); }
void t_renderml::Vvar1n(const char* name, int power)
{
    if (power != 1) fputs("<msup>", m_out);
    Vvar(name);
    if (power != 1) fprintf(m_out, "<mn>%d</mn></msup>", power);
}
void t_renderml::Vvar(const char* name)
{
    fputs("<mi>", m_out);
    render_ml_unsafe(m_out, name);
    fputs("</mi>", m_out);
}
void t_renderml::Vliteralstring(const char* text) { fprintf(m_out, "<ms>%s</ms>", text); }
void t_renderml::Vvector(const char* name) { fprintf(m_out, "<strong>%s</strong>", name); }
void t_renderml::Vmathvector(const char* name) { fprintf(m_out, "<mi mathvariant=\"bold\">%s</mi>", name); }
void t_renderml::Vname(const char* name) { render_ml_unsafe(m_out, name); }
void t_renderml::Vfunction_begin(const char* name) { fprintf(m_out, "<mrow><mtext>%s</mtext><mo>(</mo>", name); }
void t_renderml::Vfunction_end() { fputs("<mo>)</mo></mrow>", m_out); }
void t_renderml::Vsubscript_begin() { fputs("<msub>", m_out); }
void t_renderml::Vsubscript_end() { fputs("</msub>", m_out); }
void t_renderml::Vsubscript(int i) { fprintf(m_out, "<mn>%d</mn>", i); }
void t_renderml::Vsubscript(int i, int j, int k)
{
    fprintf(m_out, "<mrow><mn>%d</mn><mo>,</mo><mn>%d</mn><mo>,</mo><mn>%d</mn></mrow>", i, j, k);
}
void t_renderml::Vsupscript_begin() { fputs("<msup>", m_out); }
void t_renderml::Vsupscript_end() { fputs("</msup>", m_out); }
void t_renderml::Vsupscript(int i) { fprintf(m_out, "<mn>%d</mn>", i); }
void t_renderml::Vsupscript(const char* text)
{
    fputs("<mn>", m_out);
    render_ml_unsafe(m_out, text);
    fputs("</mn>", m_out);
}
void t_renderml::Vinteger(int v) { fprintf(m_out, "<mn>%d</mn>", v); }
void t_renderml::Vinteger_ld(long v) { fprintf(m_out, "<mn>%ld</mn>", v); }
void t_renderml::Vinteger_lu(unsigned long v) { fprintf(m_out, "<mn>%lu</mn>", v); }
void t_renderml::Vinteger_u(unsigned v) { fprintf(m_out, "<mn>%u</mn>", v); }
void t_renderml::Vmath_begin() { fputs("<math>\n", m_out); }
void t_renderml::Vmath_end() { fputs("</math>\n", m_out); }
void t_renderml::Vmathtabular_begin(int, const char*) { fputs("<mtable>", m_out); }
void t_renderml::Vmathtabular_end() { fputs("</mtable>", m_out); }
void t_renderml::Vtabular_line_begin(ealign) { fputs("<mtr>", m_out); }
void t_renderml::Vtabular_col_begin(ealign align)
{
    switch (align) {
    case left: fputs("<mtd columnalign=\"left\">", m_out); break;
    case right: fputs("<mtd columnalign=\"right\">", m_out); break;
    default: fputs("<mtd columnalign=\"center\">", m_out);
    }
}
void t_renderml::Vtabular_col_end() { fputs("</mtd>", m_out); }
void t_renderml::Vtabular_line_end() { fputs("</mtd></mtr>\n", m_out); }
void t_renderml::Vline_break() { fputs("<br />\n", m_out); }
void t_renderml::Vformat(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    format(m_out, fmt, ap);
    va_end(ap);
}
void t_renderml::Vrender_unsafe(const char* text) { render_ml_unsafe(m_out, text); }
void t_renderml::Vrender_unsafe(const char* text, int length) { render_ml_unsafe(m_out, text, length); }
