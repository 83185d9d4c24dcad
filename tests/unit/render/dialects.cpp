// What every layout operation writes in each of the five dialects, and on which stream.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <functional>
#include <string>

#include "capture.h"

namespace {

// Columns are indexed by the selector: plain, plain with mark-up, LaTeX, MathML, HTML.
using t_texts = std::array<const char*, 5>;

struct t_row {
    const char* op;
    std::function<void(t_render&)> call;
    t_texts out;
    t_texts err = {"", "", "", "", ""};
};

// A name that every escape touches differently: TeX escapes "_", MathML "<" and ">".
constexpr const char* N = "x_<y>";

const char* const dialectname[5] = {"plain", "plain+markup", "LaTeX", "MathML", "HTML"};

const std::vector<t_row>& rows()
{
    using R = t_render&;
    static const std::vector<t_row> table = {
        {"writebeginE", [](R r) { r.writebeginE(); },
         {"", "", "", "", ""},
         {"", "<merror><mtext>", "error ", "\n\a\b\n<merror><mtext>", "<merror><mtext>"}},
        {"writeendE", [](R r) { r.writeendE(); },
         {"", "", "", "", ""},
         {"", "</mtext></merror>", "", "</mtext></merror>\n\a\b\n", "</mtext></merror>"}},
        {"writebegintext", [](R r) { r.writebegintext(); }, {"", "<mtext>", "", "<mtext>", ""}},
        {"writenewline", [](R r) { r.writenewline(); },
         {"\n", "<mspace linebreak=\"newline\"/>", "\n\n", "<mspace linebreak=\"newline\"/>", "<br />"}},
        {"writeendtext", [](R r) { r.writeendtext(); }, {"", "</mtext>", "", "</mtext>", ""}},
        {"Vconsoletext_begin", [](R r) { r.Vconsoletext_begin(); }, {"", "", "", "<pre>", "<pre>"}},
        {"Vconsoletext_end", [](R r) { r.Vconsoletext_end(); }, {"", "", "", "</pre>", "</pre>"}},
        {"Vsigne_plus", [](R r) { r.Vsigne_plus(); }, {"+", "+", "+", "<mo>+</mo>", "+"}},
        {"Vsigne_mul", [](R r) { r.Vsigne_mul(); }, {"*", "*", "", "", ""}},
        {"Vsigne_virgule", [](R r) { r.Vsigne_virgule(); }, {",", ",", ",", "<mo>,</mo>", ","}},
        {"Vespacesigne_virgule", [](R r) { r.Vespacesigne_virgule(); }, {", ", ", ", ", ", ", ", ", "}},
        {"Vespacesigne_plus", [](R r) { r.Vespacesigne_plus(); }, {" + ", " + ", " + ", "<mo>+</mo>", " + "}},
        {"Vespacesigne_moins", [](R r) { r.Vespacesigne_moins(); }, {" - ", " - ", " - ", "<mo>-</mo>", " - "}},
        {"Vespacesigne_phantom", [](R r) { r.Vespacesigne_phantom(); }, {"   ", "   ", "   ", "   ", "   "}},
        {"Vespacesigne_eq", [](R r) { r.Vespacesigne_eq(); }, {" = ", " = ", " = ", "<mo>=</mo>", " = "}},
        {"Vespacesigne_extprod", [](R r) { r.Vespacesigne_extprod(); },
         {" & ", " & ", " \\wedge ", "<mo>&wedge;</mo>", " \\wedge "}},
        {"Vespacesigne_matprod", [](R r) { r.Vespacesigne_matprod(); }, {" &* ", " &* ", "", "", ""}},
        {"Vespacesigne_scalarprod", [](R r) { r.Vespacesigne_scalarprod(); },
         {" . ", " . ", "\\bullet", "<mo>&bullet;</mo>", "\\bullet"}},
        {"Vsigne_3dots", [](R r) { r.Vsigne_3dots(); },
         {" ... ", " ... ", " ... ", "<mtext> ... </mtext>", " ... "}},
        {"Vparenthese_begin", [](R r) { r.Vparenthese_begin(); }, {"(", "(", "(", "<mrow><mo>(</mo>", "("}},
        {"Vparenthese_end", [](R r) { r.Vparenthese_end(); }, {")", ")", ")", "<mo>)</mo></mrow>", ")"}},
        {"Vmathparenthese_begin", [](R r) { r.Vmathparenthese_begin(); },
         {"(", "(", "\\left(", "<mrow><mo>(</mo>", "\\left("}},
        {"Vmathparenthese_end", [](R r) { r.Vmathparenthese_end(); },
         {")", ")", "\\right)", "<mo>)</mo></mrow>", "\\right)"}},
        {"Vparenthesemultiline_begin", [](R r) { r.Vparenthesemultiline_begin(); },
         {"(", "(", "(", "<mo>(</mo>", "("}},
        {"Vparenthesemultiline_end", [](R r) { r.Vparenthesemultiline_end(); },
         {")", ")", ")", "<mo>)</mo>", ")"}},
        {"Vcrochet_begin", [](R r) { r.Vcrochet_begin(); }, {"[", "[", "\\left[", "<mrow><mo>[</mo>", "["}},
        {"Vcrochet_end", [](R r) { r.Vcrochet_end(); }, {"]", "]", "\\right]", "<mo>]</mo></mrow>", "]"}},
        {"Vaccolade_begin", [](R r) { r.Vaccolade_begin(); }, {"{", "{", "\\{", "{", "{"}},
        {"Vaccolade_end", [](R r) { r.Vaccolade_end(); }, {"}", "}", "\\}", "}", "}"}},
        {"Vmathaccolade_begin", [](R r) { r.Vmathaccolade_begin(); },
         {"{", "{", "\\left\\{", "<mrow><mo>{</mo>", "\\left\\{"}},
        {"Vmathaccolade_end", [](R r) { r.Vmathaccolade_end(); },
         {"}", "}", "\\right\\}", "<mo>}</mo></mrow>", "\\right\\}"}},
        {"Vfrac_begin", [](R r) { r.Vfrac_begin(); }, {"", "", "\\frac{", "<mfrac><mrow>", "\\frac{"}},
        {"Vfrac_sep", [](R r) { r.Vfrac_sep(); }, {"/", "/", "}{", "</mrow><mrow>", "}{"}},
        {"Vfrac_end", [](R r) { r.Vfrac_end(); }, {"", "", "}", "</mrow></mfrac>", "}"}},
        {"Vvar1n(x,1)", [](R r) { r.Vvar1n("x", 1); }, {"x", "x", "x", "<mi>x</mi>", "x"}},
        {"Vvar1n(x,3)", [](R r) { r.Vvar1n("x", 3); },
         {"x**3", "x**3", "x^{3}", "<msup><mi>x</mi><mn>3</mn></msup>", "x^{3}"}},
        {"Vvar1n(N,-2)", [](R r) { r.Vvar1n(N, -2); },
         {"x_<y>**-2", "x_<y>**-2", "x\\_<y>^{-2}", "<msup><mi>x_&#60;y&#62;</mi><mn>-2</mn></msup>",
          "x\\_<y>^{-2}"}},
        {"Vvar(N,1)", [](R r) { r.Vvar1n(N, 1); },
         {"x_<y>", "x_<y>", "x\\_<y>", "<mi>x_&#60;y&#62;</mi>", "x\\_<y>"}},
        {"Vvar", [](R r) { r.Vvar(N); }, {N, N, "x\\_<y>", "<mi>x_&#60;y&#62;</mi>", "x_&#60;y&#62;"}},
        {"Vmathvar", [](R r) { r.Vmathvar(N); }, {N, N, "x\\_<y>", "<mi>x_&#60;y&#62;</mi>", "x\\_<y>"}},
        {"Vliteralstring", [](R r) { r.Vliteralstring(N); },
         {"\"x_<y>\"", "\"x_<y>\"", "\\textrm{\"x\\_<y>\"}", "<ms>x_<y></ms>", "&quot;x_<y>&quot;"}},
        {"Vvector", [](R r) { r.Vvector(N); },
         {N, N, "\\bf{x_<y>}", "<strong>x_<y></strong>", "<strong>x_<y></strong>"}},
        {"Vmathvector", [](R r) { r.Vmathvector(N); },
         {N, N, "\\mathbf{x\\_<y>}", "<mi mathvariant=\"bold\">x_<y></mi>", "\\mathbf{x\\_<y>}"}},
        {"Vname", [](R r) { r.Vname(N); }, {N, N, "x\\_<y>", "x_&#60;y&#62;", "x_&#60;y&#62;"}},
        {"Vfunction_begin", [](R r) { r.Vfunction_begin("sin"); },
         {"sin(", "sin(", "\\sin\\left(", "<mrow><mtext>sin</mtext><mo>(</mo>", "\\sin\\left("}},
        {"Vfunction_end", [](R r) { r.Vfunction_end(); },
         {")", ")", "\\right)", "<mo>)</mo></mrow>", "\\right)"}},
        {"Vsubscript_begin", [](R r) { r.Vsubscript_begin(); }, {"", "", "", "<msub>", ""}},
        {"Vsubscript_end", [](R r) { r.Vsubscript_end(); }, {"", "", "", "</msub>", ""}},
        {"Vsubscript(i)", [](R r) { r.Vsubscript(12); }, {"_12", "_12", "_{12}", "<mn>12</mn>", "_{12}"}},
        {"Vsubscript(i,j,k)", [](R r) { r.Vsubscript(1, -2, 3); },
         {"_{1,-2,3}", "_{1,-2,3}", "_{1,-2,3}",
          "<mrow><mn>1</mn><mo>,</mo><mn>-2</mn><mo>,</mo><mn>3</mn></mrow>", "_{1,-2,3}"}},
        {"Vsupscript_begin", [](R r) { r.Vsupscript_begin(); }, {"", "", "", "<msup>", ""}},
        {"Vsupscript_end", [](R r) { r.Vsupscript_end(); }, {"", "", "", "</msup>", ""}},
        {"Vsupscript(i)", [](R r) { r.Vsupscript(7); }, {"**7", "**7", "^{7}", "<mn>7</mn>", "^{7}"}},
        {"Vsupscript(text)", [](R r) { r.Vsupscript(N); },
         {"**x_<y>", "**x_<y>", "^{x\\_<y>}", "<mn>x_&#60;y&#62;</mn>", "^{x_&#60;y&#62;}"}},
        {"Vinteger", [](R r) { r.Vinteger(INT_MIN); },
         {"-2147483648", "-2147483648", "-2147483648", "<mn>-2147483648</mn>", "-2147483648"}},
        {"Vinteger_ld", [](R r) { r.Vinteger_ld(-9000000000L); },
         {"-9000000000", "-9000000000", "-9000000000", "<mn>-9000000000</mn>", "-9000000000"}},
        {"Vinteger_lu", [](R r) { r.Vinteger_lu(ULONG_MAX); },
         {"18446744073709551615", "18446744073709551615", "18446744073709551615",
          "<mn>18446744073709551615</mn>", "18446744073709551615"}},
        {"Vinteger_u", [](R r) { r.Vinteger_u(UINT_MAX); },
         {"4294967295", "4294967295", "4294967295", "<mn>4294967295</mn>", "4294967295"}},
        {"Vmath_begin", [](R r) { r.Vmath_begin(); }, {"", "", "$$", "<math>\n", "$$"}},
        {"Vmath_end", [](R r) { r.Vmath_end(); }, {"", "", "$$", "</math>\n", "$$"}},
        {"Vmathtabular_begin", [](R r) { r.Vmathtabular_begin(2, "lr"); },
         {"", "", "\\begin{array}{lr}\n", "<mtable>", "\\begin{array}{lr}\n"}},
        {"Vmathtabular_end", [](R r) { r.Vmathtabular_end(); },
         {"", "", "\\end{array}\n", "</mtable>", "\\end{array}\n"}},
        {"Vtabular_line_begin", [](R r) { r.Vtabular_line_begin(t_render::right); }, {"", "", "", "<mtr>", ""}},
        {"Vtabular_col_begin(left)", [](R r) { r.Vtabular_col_begin(t_render::left); },
         {"", "", "&", "<mtd columnalign=\"left\">", "&"}},
        {"Vtabular_col_begin(right)", [](R r) { r.Vtabular_col_begin(t_render::right); },
         {"", "", "&", "<mtd columnalign=\"right\">", "&"}},
        {"Vtabular_col_begin(center)", [](R r) { r.Vtabular_col_begin(t_render::center); },
         {"", "", "&", "<mtd columnalign=\"center\">", "&"}},
        {"Vtabular_col_begin(9)", [](R r) { r.Vtabular_col_begin(static_cast<t_render::ealign>(9)); },
         {"", "", "&", "<mtd columnalign=\"center\">", "&"}},
        {"Vtabular_col_end", [](R r) { r.Vtabular_col_end(); }, {"", "", "", "</mtd>", ""}},
        {"Vtabular_line_end", [](R r) { r.Vtabular_line_end(); },
         {"\n", "\n", "\\\\\n", "</mtd></mtr>\n", "\\\\\n"}},
        {"Vline_break", [](R r) { r.Vline_break(); }, {"\n", "\n", "\n\n", "<br />\n", "<br />\n"}},
        {"Vformat", [](R r) { r.Vformat("%d%%|%s\n", 4, "<i>"); },
         {"4%|<i>\n", "4%|<i>\n", "4%|<i>\n", "4%|&#60;i&#62;<br />\n", "4%|&#60;i&#62;<br />\n"}},
        {"Vrender_unsafe", [](R r) { r.Vrender_unsafe("a<b>\nc_d"); },
         {"a<b>\nc_d", "a<b>\nc_d", "a<b>\nc_d", "a&#60;b&#62;<br />c_d", "a&#60;b&#62;<br />c_d"}},
        {"Vrender_unsafe(len)", [](R r) { r.Vrender_unsafe("a<b>\nc_d", 3); },
         {"a<b", "a<b", "a<b", "a&#60;b", "a&#60;b"}},
    };
    return table;
}

TEST(RenderDialects, EveryOperationWritesItsTextOnItsStream)
{
    int checked = 0;
    for (const t_row& row : rows()) {
        for (int sel = 0; sel < 5; sel++) {
            const t_captured got = render_capture(sel, row.call);
            EXPECT_EQ(got.out, row.out[sel]) << row.op << " in " << dialectname[sel] << " (output stream)";
            EXPECT_EQ(got.err, row.err[sel]) << row.op << " in " << dialectname[sel] << " (error stream)";
            checked++;
        }
    }
    EXPECT_EQ(checked, 5 * static_cast<int>(rows().size()));
}

// Display code chains operations; texts must simply follow each other, with no separator added.
TEST(RenderDialects, SequencesConcatenate)
{
    auto term = [](t_render& r) {
        r.Vmath_begin();
        r.Vinteger(2);
        r.Vsigne_mul();
        r.Vvar1n("x_1", 2);
        r.Vespacesigne_plus();
        r.Vfrac_begin();
        r.Vinteger(1);
        r.Vfrac_sep();
        r.Vinteger(3);
        r.Vfrac_end();
        r.Vmath_end();
    };
    EXPECT_EQ(render_capture(0, term).out, "2*x_1**2 + 1/3");
    EXPECT_EQ(render_capture(2, term).out, "$$2x\\_1^{2} + \\frac{1}{3}$$");
    EXPECT_EQ(render_capture(3, term).out,
              "<math>\n<mn>2</mn><msup><mi>x_1</mi><mn>2</mn></msup><mo>+</mo>"
              "<mfrac><mrow><mn>1</mn></mrow><mrow><mn>3</mn></mrow></mfrac></math>\n");
    EXPECT_EQ(render_capture(4, term).out, "$$2x\\_1^{2} + \\frac{1}{3}$$");
}

// The front end finds MathML error blocks by the marker: it must frame the block on the error
// stream and never leak into the output stream.
TEST(RenderDialects, MathmlErrorBlockIsFramedByTheMarkerOnTheErrorStreamOnly)
{
    const t_captured got = render_capture(3, [](t_render& r) {
        r.writebeginE();
        r.Vformat("KEST[ %d ] : ", 3);
        r.writeendE();
    });
    const std::string marker("\n\x07\x08\n", 4);
    EXPECT_EQ(got.err, marker + "<merror><mtext></mtext></merror>" + marker);
    EXPECT_EQ(got.out, "KEST[ 3 ] : ");
    for (int sel : {0, 1, 2, 4}) {
        const t_captured other = render_capture(sel, [](t_render& r) {
            r.writebeginE();
            r.writeendE();
        });
        EXPECT_EQ(other.err.find('\a'), std::string::npos) << dialectname[sel];
        EXPECT_EQ(other.out, "") << dialectname[sel];
    }
}

// A renderer is rebound to whatever stream the next command writes to.
TEST(RenderDialects, StreamsCanBeReplacedBetweenUses)
{
    std::unique_ptr<t_render> r(kst_newrender(2));
    t_memstream a, b;
    r->setstreams(a.file(), a.file());
    r->Vvar("a_b");
    r->writebeginE();
    EXPECT_EQ(r->getstdout(), a.file());
    r->setstreams(b.file(), stderr);
    r->Vvar("c");
    EXPECT_EQ(r->getstdout(), b.file());
    EXPECT_EQ(r->getstderr(), stderr);
    EXPECT_EQ(a.text(), "a\\_berror ");
    EXPECT_EQ(b.text(), "c");
}

} // namespace
