// Choice of the dialect by selector, the escapes of raw text, the report frames, and the MathML and
// HTML formatter.
#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <memory>

#include "capture.h"
#include "render/renderdialects.h"

namespace {

TEST(RenderSelection, SelectorsOneToFourPickTheDialects)
{
    struct {
        int selector;
        int kind;
    } const cases[] = {{1, 0}, {2, 2}, {3, 1}, {4, 4}};
    for (const auto& c : cases) {
        std::unique_ptr<t_render> r(kst_newrender(c.selector));
        EXPECT_EQ(r->getkind(), c.kind) << "selector " << c.selector;
    }
    std::unique_ptr<t_render> r1(kst_newrender(1)), r2(kst_newrender(2)), r3(kst_newrender(3)),
        r4(kst_newrender(4));
    EXPECT_NE(dynamic_cast<t_renderstdml*>(r1.get()), nullptr);
    EXPECT_NE(dynamic_cast<t_renderstd*>(r1.get()), nullptr);   // mark-up is plain text underneath
    EXPECT_NE(dynamic_cast<t_rendertex*>(r2.get()), nullptr);
    EXPECT_NE(dynamic_cast<t_renderml*>(r3.get()), nullptr);
    EXPECT_NE(dynamic_cast<t_renderhtml*>(r4.get()), nullptr);
}

TEST(RenderSelection, AnyOtherSelectorGivesPlainText)
{
    for (int selector : {0, 5, -1, INT_MIN, INT_MAX}) {
        std::unique_ptr<t_render> r(kst_newrender(selector));
        EXPECT_EQ(r->getkind(), 0) << "selector " << selector;
        EXPECT_EQ(dynamic_cast<t_renderstdml*>(r.get()), nullptr) << "selector " << selector;
        const t_captured got = render_capture(selector, [](t_render& rr) {
            rr.writebeginE();
            rr.Vvar1n("x_1", 1);
            rr.Vsigne_mul();
            rr.Vvar1n("x", 3);
            rr.writenewline();
            rr.writeendE();
        });
        EXPECT_EQ(got.out, "x_1*x**3\n") << "selector " << selector;
        EXPECT_EQ(got.err, "") << "selector " << selector;
    }
}

TEST(RenderEscapes, TexEscapesEveryUnderscoreAndNothingElse)
{
    struct {
        const char* in;
        const char* out;
    } const cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"a_b", "a\\_b"},
        {"_a__b_", "\\_a\\_\\_b\\_"},
        {"<x>\n%$", "<x>\n%$"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stream_capture([&](FILE* f) { render_tex_unsafe(f, c.in); }), c.out) << c.in;
}

TEST(RenderEscapes, MathmlEscapesAngleBracketsAndNewlines)
{
    struct {
        const char* in;
        const char* out;
    } const cases[] = {
        {"", ""},
        {"a_b&c", "a_b&c"},
        {"<", "&#60;"},
        {"a<b>c", "a&#60;b&#62;c"},
        {"\n\nx\n", "<br /><br />x<br />"},
        {"<<>>", "&#60;&#60;&#62;&#62;"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stream_capture([&](FILE* f) { render_ml_unsafe(f, c.in); }), c.out) << c.in;
}

TEST(RenderEscapes, CountedMathmlFormStopsAtTheLengthOrAtTheTerminatingZero)
{
    struct {
        int length;
        const char* out;
    } const cases[] = {
        {0, ""}, {-3, ""}, {1, "a"}, {2, "a&#60;"},
        {4, "a&#60;b<br />"}, {5, "a&#60;b<br />c"}, {100, "a&#60;b<br />c"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stream_capture([&](FILE* f) { render_ml_unsafe(f, "a<b\nc", c.length); }), c.out)
            << "length " << c.length;
    // Bytes after an embedded zero are never read as text.
    const char buf[] = {'x', '>', '\0', 'y', '<'};
    EXPECT_EQ(stream_capture([&](FILE* f) { render_ml_unsafe(f, buf, 5); }), "x&#62;");
}

TEST(RenderEscapes, ReportFramesOpenAndCloseInPairs)
{
    EXPECT_EQ(stream_capture([](FILE* f) {
                  render_tex_tabular_begin(f, "lrr");
                  fputs("a & 1 & 2\\\\\n", f);
                  render_tex_tabular_end(f);
              }),
              "\\begin{tabular}{lrr}\na & 1 & 2\\\\\n\\end{tabular}\n");
    EXPECT_EQ(stream_capture([](FILE* f) {
                  render_ml_para_begin(f);
                  render_ml_tabular_begin(f);
                  render_ml_tabular_end(f);
                  render_ml_para_end(f);
              }),
              "<p><table>\n</table>\n</p>\n");
}

// The MathML and HTML dialects share the restricted formatter; Vformat and Vvformat both reach it.
void vformat_through_va_list(t_render& r, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    r.Vvformat(fmt, ap);
    va_end(ap);
}

TEST(RenderFormat, MathmlAndHtmlFormatterConversions)
{
    struct {
        const char* what;
        std::function<void(t_render&)> call;
        const char* expected;
    } const cases[] = {
        {"%d", [](t_render& r) { r.Vformat("[%d][%d]", INT_MIN, 0); }, "[-2147483648][0]"},
        {"%u", [](t_render& r) { r.Vformat("%u", UINT_MAX); }, "4294967295"},
        {"%ld", [](t_render& r) { r.Vformat("%ld", LONG_MIN); }, "-9223372036854775808"},
        {"%lu %lx", [](t_render& r) { r.Vformat("%lu %lx", ULONG_MAX, 255UL); }, "18446744073709551615 ff"},
        {"%s escaped", [](t_render& r) { r.Vformat("<%s>", "a<b>\nc"); }, "<a&#60;b&#62;<br />c>"},
        {"%%", [](t_render& r) { r.Vformat("100%% %%d"); }, "100% %d"},
        {"newlines", [](t_render& r) { r.Vformat("\na\n\n"); }, "<br />\na<br />\n<br />\n"},
        {"copied", [](t_render& r) { r.Vformat("&<b> x_1"); }, "&<b> x_1"},
        {"mixed", [](t_render& r) { r.Vformat("%s=%d, %ld%%\n", "n", 3, 7L); }, "n=3, 7%<br />\n"},
        {"va_list", [](t_render& r) { vformat_through_va_list(r, "%s:%u\n", "<", 5u); }, "&#60;:5<br />\n"},
    };
    for (int sel : {3, 4}) {
        for (const auto& c : cases)
            EXPECT_EQ(render_capture(sel, c.call).out, c.expected) << c.what << " selector " << sel;
    }
    // The other dialects keep the C library's formatting, also through a va_list.
    for (int sel : {0, 1, 2}) {
        const t_captured got = render_capture(sel, [](t_render& r) {
            r.Vformat("%5.2f|%s\n", 3.14159, "<a>");
            vformat_through_va_list(r, "%x%%", 255);
        });
        EXPECT_EQ(got.out, " 3.14|<a>\nff%") << "selector " << sel;
    }
}

void ml_format(FILE* f, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    t_renderml::format(f, fmt, ap);
    va_end(ap);
}

// A conversion the formatter does not know is a programming error: the process stops with the
// internal-error report naming the formatter.
TEST(RenderFormatDeathTest, UnknownConversionIsAnInternalError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* const bad[] = {"%f", "%lf", "%", "%l", "%5d"};
    for (const char* fmt : bad) {
        EXPECT_EXIT(
            {
                t_memstream out;
                ml_format(out.file(), fmt, 1.5);
            },
            testing::ExitedWithCode(1), "t_renderml::format")
            << fmt;
    }
}

} // namespace
