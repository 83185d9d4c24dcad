// Formatted messages (format pieces, conversions, argument errors) and file objects.
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/ids.h"
#include "interp/msgfmt.h"

#include <gtest/gtest.h>

#include <climits>

#include <cstdio>
#include <unistd.h>

namespace {

// A number for the tests: prints through the double rules.
class testnumber final : public t_idcommon_tmpl<testnumber> {
public:
    explicit testnumber(double v) : m_v(v) {}
    int Vgettypeenum() const override { return IDTYPE_CONSTANTE; }
    bool Vexport_msgfmt(t_cctx* ctx, FILE* s, const char* piece) const override { return msgfmt_double(ctx, s, m_v, piece); }

private:
    double m_v;
};

struct Msgfmt : ::testing::Test {
    t_cctx ctx;
    std::string err;
    void SetUp() override { Erreur_Execution = 0; }
    void TearDown() override { Erreur_Execution = 0; }
    std::string format(const char* fmt, std::vector<const t_idcommon*> args, const char* caller = "msg")
    {
        Erreur_Execution = 0;
        testing::internal::CaptureStderr();
        std::string out = msgfmt_string(&ctx, fmt, args, caller);
        err = testing::internal::GetCapturedStderr();
        return out;
    }
};

} // namespace

TEST(MsgfmtSplit, PiecesAndEscapes)
{
    t_fmtpieces p = kst_fmt_split("a=%5.2f, b=%d\\n");
    EXPECT_EQ(p.lead, "a=");
    ASSERT_EQ(p.pieces.size(), 2u);
    EXPECT_EQ(p.pieces[0], "%5.2f, b=");
    EXPECT_EQ(p.pieces[1], "%d\n");

    p = kst_fmt_split("100%% sure: %s\\tand\\\\ \\q\\");
    EXPECT_EQ(p.lead, "100%% sure: ");
    ASSERT_EQ(p.pieces.size(), 1u);
    EXPECT_EQ(p.pieces[0], "%s\tand\\ \\q");      // unknown escape kept, final backslash dropped

    p = kst_fmt_split("no conversion\\r");
    EXPECT_EQ(p.lead, "no conversion\r");
    EXPECT_TRUE(p.pieces.empty());
    EXPECT_EQ(kst_fmt_split("%d%d").pieces.size(), 2u);
}

TEST(MsgfmtSplit, ConversionOfAPiece)
{
    struct { const char* piece; int sign, width, precision; char conv; } cases[] = {
        {"%+-12.3e rest", 3, 12, 3, 'E'}, {"%+g", 1, -1, -1, 'G'}, {"%-0F", 2, -1, -1, 'F'},
        {"%5d", 0, 5, -1, 'd'},           {"%.0x", 0, -1, 0, 'x'}, {"%", 0, -1, -1, 0},
        {"%44444444444.99999999999g", 0, INT_MAX, INT_MAX, 'G'},   // saturates, no overflow
    };
    for (auto& c : cases) {
        t_msgfmtspec s = msgfmt_extractfmt(c.piece);
        EXPECT_EQ(s.sign, c.sign) << c.piece;
        EXPECT_EQ(s.width, c.width) << c.piece;
        EXPECT_EQ(s.precision, c.precision) << c.piece;
        EXPECT_EQ(s.conversion, c.conv) << c.piece;
    }
}

TEST_F(Msgfmt, DoublesWithEachKindOfConversion)
{
    testnumber big(3e9), small(-2.75), third(1.0 / 3);
    EXPECT_EQ(format("[%5d]", {&big}), "[3000000000]");     // rewritten as %5.0f
    EXPECT_EQ(format("[%12.1d]", {&big}), "[3000000000.0]"); // keeps its own precision
    EXPECT_EQ(format("%d|%i", {&small, &small}), "-2|-2");
    EXPECT_EQ(format("%.3f %E %g", {&third, &third, &third}), "0.333 3.333333E-01 0.333333");
    EXPECT_EQ(Erreur_Execution, 0);
    EXPECT_EQ(format("<%s>", {&third}), "<");
    EXPECT_EQ(Erreur_Execution, 1);                          // 529
    EXPECT_NE(err.find(" s "), std::string::npos) << err;
}

TEST_F(Msgfmt, ArgumentCountsAndTypes)
{
    testnumber one(1), two(2), three(3);
    t_chaine name("Mercury");
    EXPECT_EQ(format("%d and %d\\n", {&one, &two, &three}), "1 and 2\n");   // the third is ignored
    EXPECT_EQ(Erreur_Execution, 0);
    EXPECT_EQ(format("before %d after %d!", {&one}), "before 1 after ");      // 468 on the second
    EXPECT_EQ(Erreur_Execution, 1);
    EXPECT_EQ(format("%s orbits", {&name}), "Mercury orbits");
    EXPECT_EQ(format("x %d", {&name}, "file_writemsg"), "x ");               // 429
    char expected[200];
    snprintf(expected, sizeof expected, kst_getmsgerror(429), 2, "file_writemsg");
    EXPECT_NE(err.find(expected), std::string::npos) << err;
    EXPECT_EQ(format("just text %%", {}), "just text %");
}

TEST_F(Msgfmt, FileObjectsShareTheirStateAndCloseOnce)
{
    char path[] = "/tmp/kest-file-XXXXXX";
    close(mkstemp(path));
    t_fileio* f = t_fileio::open(&ctx, path, t_fileio::mode_write);
    ASSERT_NE(f, nullptr);
    t_idcommon* copy = f->Vcopy();
    testnumber n(42);
    EXPECT_TRUE(filerw_msgfmt(&ctx, copy, "n=%d\\n", {&n}));
    EXPECT_TRUE(filerw_close(&ctx, f));
    EXPECT_EQ(static_cast<t_fileio*>(copy)->status(), t_sharedfileio::closed);   // seen through the copy
    testing::internal::CaptureStderr();
    EXPECT_FALSE(filerw_close(&ctx, copy));                                      // 70
    Erreur_Execution = 0;
    EXPECT_FALSE(filerw_msgfmt(&ctx, f, "late", {}));                            // 72
    Erreur_Execution = 0;
    t_chaine notafile("x");
    EXPECT_FALSE(filerw_close(&ctx, &notafile));                                 // 66
    Erreur_Execution = 0;
    t_fileio* reader = t_fileio::open(&ctx, path, t_fileio::mode_read);
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(filerw_msgfmt(&ctx, reader, "no", {}));                         // 491
    Erreur_Execution = 0;
    EXPECT_EQ(t_fileio::open(&ctx, "/nonexistent/dir/f", t_fileio::mode_write), nullptr);   // 254
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("/nonexistent/dir/f"), std::string::npos);
    delete reader;
    delete copy;
    delete f;
    FILE* in = fopen(path, "r");
    char line[64] = {0};
    ASSERT_NE(fgets(line, sizeof line, in), nullptr);
    EXPECT_STREQ(line, "n=42\n");
    fclose(in);
    unlink(path);
}
