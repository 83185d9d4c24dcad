// Numeric vectors and files: exact text layouts, formats, binary conversions and byte order,
// readers with their special values, append, history and errors, and round trips.
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "vecnumtest.h"

using dv = std::vector<double>;

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
void spit(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A value that is not a vector, to stand in a column list.
class t_notavector : public t_idcommon {
public:
    t_notavector() : t_idcommon("s", 0) {}
    int Vgettypeenum() const override { return IDTYPE_CHAINE; }
    const char* Vgettypename() const override { return "chaine"; }
};

class VecnumFileTest : public VecnumTest {
protected:
    std::string path(const char* name) { return ::testing::TempDir() + "vecnum_" + std::to_string(getpid()) + "_" + name; }
    static constexpr tabnum_borne all{1, -1, 1};
};

}  // namespace

TEST_F(VecnumFileTest, PlainTextLayoutPerType)
{
    vecptr d = mkdbl({1.5, -2}), z = mkvec(VECNUM_ZDBL, {1, 0}, {-1, 0});
    std::string f = path("plain.txt");
    ASSERT_TRUE(filenum_write(tctx(), f.c_str(), all, {d.get(), z.get()}, nullptr));
    char expected[512];
    snprintf(expected, sizeof expected, "%+-23.16E\t%+-23.16E\t%+-23.16E\t\n%+-23.16E\t%+-23.16E\t%+-23.16E\t\n", 1.5, 1.0,
             -1.0, -2.0, 0.0, 0.0);
    EXPECT_EQ(slurp(f), expected);

    vecptr q = mkvec(VECNUM_QUAD, {0.25});
    ASSERT_TRUE(filenum_write(tctx(), f.c_str(), all, {q.get()}, nullptr));
    EXPECT_EQ(slurp(f), "+2.5" + std::string(33, '0') + "E-01" + std::string(3, ' ') + "\t\n");

    modenum_set(tctx(), NUMFPMP);
    kst_kctx(tctx()).num.prec_bits = 10;   // 5 digits give 10 bits back, and the layout stays readable
    vecptr m = mkvec(VECNUM_FPMP, {-0.375, 1024, 0});
    ASSERT_TRUE(filenum_write(tctx(), f.c_str(), all, {m.get()}, nullptr));
    EXPECT_EQ(slurp(f), "-3.7500E-01\t\n1.0240E+03\t\n0.0000E+00\t\n");
}

TEST_F(VecnumFileTest, LongestColumnSetsTheLinesAndShortOnesPrintZeros)
{
    vecptr a = mkdbl({1, 2, 3}), b = mkdbl({1, 2, 3, 4, 5});
    std::string f = path("longest.txt");
    ASSERT_TRUE(filenum_write(tctx(), f.c_str(), all, {a.get(), b.get()}, "%g %g\\n"));
    EXPECT_EQ(slurp(f), "1 1\n2 2\n3 3\n0 4\n0 5\n");
    ASSERT_TRUE(filenum_write(tctx(), f.c_str(), tabnum_borne{2, 5, 2}, {a.get(), b.get()}, "%g %g\\n"));
    EXPECT_EQ(slurp(f), "2 2\n0 4\n");
    // A first index below 1 keeps its stride: 0, 2, 4 writes rows 2 and 4.
    ASSERT_TRUE(filenum_write(tctx(), f.c_str(), tabnum_borne{0, 4, 2}, {a.get(), b.get()}, "%g %g\\n"));
    EXPECT_EQ(slurp(f), "2 2\n0 4\n");
}

TEST_F(VecnumFileTest, FormatPiecesAndEscapes)
{
    vecptr a = mkdbl({1.25}), q = mkvec(VECNUM_QUAD, {2.5});
    std::string f = path("fmt.txt");
    ASSERT_TRUE(filenum_write(tctx(), f.c_str(), all, {a.get(), q.get()}, "x=%5.2f%%\\t|%.3e\\q\\\\\\n\\"));
    EXPECT_EQ(slurp(f), "x= 1.25%\t|2.500e+00\\q\\\n");
    EXPECT_FALSE(filenum_write(tctx(), f.c_str(), all, {a.get(), q.get()}, "%g\\n"));
    expect_error(errtext(545));
    EXPECT_FALSE(filenum_write(tctx(), f.c_str(), all, {a.get()}, "%g %g\\n"));
    expect_error(errtext(545));
}

TEST_F(VecnumFileTest, WriteErrorsAndEmptyRange)
{
    vecptr a = mkdbl({1, 2});
    t_notavector s;
    std::string f = path("err.txt");
    EXPECT_FALSE(filenum_write(tctx(), f.c_str(), all, {a.get(), &s}, nullptr));
    expect_error(errtext(581, 2, "s", "chaine"));
    EXPECT_FALSE(filenumbin_write(tctx(), f.c_str(), all, {&s}, "%e"));
    expect_error(errtext(581, 1, "s", "chaine"));
    const std::string bad = "/nonexistent-dir/x.txt";
    EXPECT_FALSE(filenum_write(tctx(), bad.c_str(), all, {a.get()}, nullptr));
    expect_error(errtext(290, bad.c_str()));

    unlink(f.c_str());
    tctx()->info = true;
    FILE* saved = g_stdwarn;
    char* buf = nullptr;
    size_t len = 0;
    g_stdwarn = open_memstream(&buf, &len);
    EXPECT_TRUE(filenum_write(tctx(), f.c_str(), tabnum_borne{3, 2, 1}, {a.get()}, nullptr));
    fclose(g_stdwarn);
    g_stdwarn = saved;
    tctx()->info = false;
    EXPECT_NE(std::string(buf, len).find(kst_getmsginfo(130)), std::string::npos);
    free(buf);
    EXPECT_NE(access(f.c_str(), F_OK), 0);
    expect_noerror();
}

TEST_F(VecnumFileTest, TextRoundTripEveryType)
{
    modenum_set(tctx(), NUMFPMP);
    const double x[] = {1.0 / 3, -2.5e-300, 6.02214076e23, 0};
    coef third = coef_creenumden_init(tctx(), 1, 3);
    const int flags[] = {VECNUM_DBL, VECNUM_ZDBL, VECNUM_QUAD, VECNUM_ZQUAD, VECNUM_FPMP, VECNUM_ZFPMP};
    for (int flag : flags) {
        vecptr v = mkvec(flag, dv(x, x + 4), dv{1, -1, INFINITY, 0});
        v->coef2data(tctx(), 0, &third);   // exact 1/3 rounded to the vector's own precision
        std::string f = path("round.txt");
        ASSERT_TRUE(filenum_write(tctx(), f.c_str(), all, {v.get()}, nullptr));
        vecptr back(v->Vcreate(tctx(), "back", 0));
        const bool cplx = v->Vvecnumiscplx();
        ASSERT_EQ(filenum_read(tctx(), f.c_str(), all, {{back.get(), 1, cplx ? 2 : -1}}, false), 4) << flag;
        vecptr same(vecnum_cmp(tctx(), v.get(), back.get(), VCMP_EQ));
        EXPECT_EQ(values(same.get()), (dv{1, 1, 1, 1})) << flag;
    }
    deletecoef(&third);
}

TEST_F(VecnumFileTest, ReadColumnsSpecialValuesAndAppend)
{
    std::string f = path("in.txt");
    spit(f, "1 10 -1\n"
            "2 1.#INF00 +1.#IND\n"
            "\n"
            "3 -inf NaNQ\n");
    vecptr a = mkdbl(dv(10, 7.0)), b = mkdbl({}), z = mkvec(VECNUM_ZDBL, {});
    const long n = filenum_read(tctx(), f.c_str(), all, {{a.get(), 1}, {b.get(), 2}, {z.get(), 1, 2}}, true);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(a->size(), 13u);   // 10 kept, 3 appended
    const dv av = values(a.get());
    EXPECT_EQ(dv(av.begin() + 10, av.end()), (dv{1, 2, 3}));
    EXPECT_EQ(values(b.get()), (dv{10, INFINITY, -INFINITY}));
    EXPECT_EQ(values(z.get(), 1), (dv{10, INFINITY, -INFINITY}));
    expect_noerror();

    // "1.#IND" is no form of NaN or infinity: column 3 of line 2 is not a number.
    vecptr c = mkdbl({42});
    EXPECT_EQ(filenum_read(tctx(), f.c_str(), all, {{c.get(), 3}}, false), -1);
    EXPECT_EQ(reported_errors().size(), 2u);
    EXPECT_EQ(reported_errors()[1], errtext(292));
    expect_error(errtext(294, 2, f.c_str(), 3));
    EXPECT_EQ(values(c.get()), dv{42});   // unchanged by the failed read

    spit(f, "1 nan 1.#INF\n-INFINITY 2.#NAN 1.#INF\n");
    vecptr d = mkdbl({}), e = mkdbl({});
    EXPECT_EQ(filenum_read(tctx(), f.c_str(), tabnum_borne{2, 2, 1}, {{d.get(), 1}, {e.get(), 2}}, false), 1);
    EXPECT_EQ(values(d.get()), dv{-INFINITY});
    EXPECT_TRUE(std::isnan(values(e.get())[0]));
}

TEST_F(VecnumFileTest, ReadFailuresLeaveTargetsUnchanged)
{
    std::string f = path("bad.txt");
    spit(f, "1 2\n3\n");
    vecptr a = mkdbl({5});
    EXPECT_EQ(filenum_read(tctx(), f.c_str(), all, {{a.get(), 2}}, false), -1);
    reported_errors().pop_back();   // 292 follows the cause
    expect_error(errtext(295, 2, 2, f.c_str()));
    EXPECT_EQ(filenum_read(tctx(), f.c_str(), all, {{a.get(), 1}}, false, {}), 2);
    spit(f, "1x 2\n");
    EXPECT_EQ(filenum_read(tctx(), f.c_str(), all, {{a.get(), 1}}, false), -1);
    EXPECT_EQ(reported_errors().back(), errtext(293, f.c_str()));
    reported_errors().pop_back();
    expect_error(errtext(294, 1, f.c_str(), 1));
    EXPECT_EQ(values(a.get()), (dv{1, 3}));
    const std::string missing = path("missing.txt");
    EXPECT_EQ(filenum_read(tctx(), missing.c_str(), all, {{a.get(), 1}}, false), -1);
    expect_error(errtext(301, missing.c_str(), strerror(ENOENT)));
    EXPECT_EQ(filenum_read(tctx(), f.c_str(), all, {}, false), -1);
    expect_error(errtext(362));
    EXPECT_EQ(filenum_read(tctx(), f.c_str(), all, {{nullptr, 1}}, false), -1);
    expect_error(errtext(367));
    EXPECT_EQ(filenum_read(tctx(), f.c_str(), all, {{a.get(), 1, 2}}, false), -1);
    expect_error(errtext(368));
}

TEST_F(VecnumFileTest, ReadHistoryRecordsEveryLineRead)
{
    std::string f = path("hist_in.txt"), h = path("hist.txt");
    spit(f, "1\n2\n3\n");
    unlink(h.c_str());
    vecptr a = mkdbl({});
    t_vecnum_fileopts opts;
    opts.readhistory = h.c_str();
    EXPECT_EQ(filenum_read(tctx(), f.c_str(), tabnum_borne{2, -1, 1}, {{a.get(), 1}}, false, opts), 2);
    EXPECT_EQ(slurp(h), "2 2\n3 3\n");
}

TEST_F(VecnumFileTest, BinaryRoundTripEveryConversion)
{
    // Values every conversion holds exactly, written and read back per conversion.
    const char* convs[] = {"%2u", "%4u", "%8u", "%u", "%2d", "%4d", "%8d", "%d", "%4g", "%hg", "%he", "%hE", "%e", "%E", "%g", "%8g"};
    const bool sign[] = {false, false, false, false, true, true, true, true, true, true, true, true, true, true, true, true};
    std::string f = path("bin.dat");
    for (int k = 0; k < 16; k++) {
        vecptr v = sign[k] ? mkdbl({-3, 0, 1000, 0.5 * (k >= 8)}) : mkdbl({3, 0, 1000, 65535});
        for (bool swap : {false, true}) {
            t_vecnum_fileopts opts;
            opts.swapendian = swap;
            ASSERT_TRUE(filenumbin_write(tctx(), f.c_str(), all, {v.get()}, convs[k], opts));
            const std::string bytes = slurp(f);
            const int width = convs[k][1] == 'h' || convs[k][1] == '4' || !strcmp(convs[k], "%u") || !strcmp(convs[k], "%d") ? 4
                              : convs[k][1] == '2' ? 2 : 8;
            ASSERT_EQ(bytes.size(), (size_t)(4 * width)) << convs[k];
            if (swap && k < 8) {   // 3 or -3 in the last byte
                EXPECT_NE((unsigned char)bytes[width - 1], 0) << convs[k];
            }
            for (int flag : {VECNUM_DBL, VECNUM_QUAD, VECNUM_FPMP}) {
                vecptr back(vecnum_create(tctx(), flag, "b", 0));
                ASSERT_EQ(filenumbin_read(tctx(), f.c_str(), all, {{back.get(), 1}}, convs[k], false, opts), 4);
                EXPECT_EQ(values(back.get()), values(v.get())) << convs[k] << " " << flag;
            }
        }
    }
    // Native order: a 4-byte signed 7 is its own bytes; several columns pack without gaps.
    vecptr a = mkdbl({7}), z = mkvec(VECNUM_ZDBL, {1.5}, {-2});
    ASSERT_TRUE(filenumbin_write(tctx(), f.c_str(), all, {a.get(), z.get()}, "%4d%e"));
    const std::string bytes = slurp(f);
    ASSERT_EQ(bytes.size(), 20u);
    int32_t seven;
    double parts[2];
    memcpy(&seven, bytes.data(), 4);
    memcpy(parts, bytes.data() + 4, 16);
    EXPECT_EQ(seven, 7);
    EXPECT_EQ(parts[0], 1.5);
    EXPECT_EQ(parts[1], -2);
    vecptr zb = mkvec(VECNUM_ZDBL, {});
    EXPECT_EQ(filenumbin_read(tctx(), f.c_str(), all, {{zb.get(), 2, 3}}, "%4d%e%e", false), 1);
    EXPECT_EQ(values(zb.get(), 1), dv{-2});
    // Single precision keeps what a float holds.
    vecptr third = mkdbl({1.0 / 3});
    ASSERT_TRUE(filenumbin_write(tctx(), f.c_str(), all, {third.get()}, "%hg"));
    vecptr tb = mkdbl({});
    ASSERT_EQ(filenumbin_read(tctx(), f.c_str(), all, {{tb.get(), 1}}, "%4g", false), 1);
    EXPECT_EQ(values(tb.get())[0], (double)(float)(1.0 / 3));
    // Integer fields round halves away from zero and saturate, as the host copies do.
    vecptr r = mkdbl({2.5, -2.5, 1e10, -1e10, 0.49});
    ASSERT_TRUE(filenumbin_write(tctx(), f.c_str(), all, {r.get()}, "%2d"));
    vecptr rb = mkdbl({});
    ASSERT_EQ(filenumbin_read(tctx(), f.c_str(), all, {{rb.get(), 1}}, "%2d", false), 5);
    EXPECT_EQ(values(rb.get()), (dv{3, -3, 32767, -32768, 0}));
}

TEST_F(VecnumFileTest, BinaryErrors)
{
    vecptr a = mkdbl({1, 2}), b = mkdbl({3, 4});
    std::string f = path("binerr.dat");
    EXPECT_FALSE(filenumbin_write(tctx(), f.c_str(), all, {a.get()}, "%5d"));
    expect_error(errtext(370, "%5d"));
    EXPECT_FALSE(filenumbin_write(tctx(), f.c_str(), all, {a.get()}, "%d "));   // no text may follow
    expect_error(errtext(370, "%d "));
    EXPECT_FALSE(filenumbin_write(tctx(), f.c_str(), all, {a.get(), b.get()}, "%d"));
    expect_error(errtext(369));
    EXPECT_FALSE(filenumbin_write(tctx(), f.c_str(), all, {a.get()}, "x%d"));
    expect_error(errtext(369));

    spit(f, std::string(10, '\0'));
    vecptr t = mkdbl({9});
    EXPECT_EQ(filenumbin_read(tctx(), f.c_str(), all, {{t.get(), 1}}, "%8d", false), -1);
    expect_error(errtext(625));
    EXPECT_EQ(filenumbin_read(tctx(), f.c_str(), all, {{t.get(), 2}}, "%2d", false), -1);
    expect_error(errtext(369));
    EXPECT_EQ(filenumbin_read(tctx(), path("nofile.dat").c_str(), all, {{t.get(), 1}}, "%2d", false), -1);
    expect_error(errtext(314));
    EXPECT_EQ(filenumbin_read(tctx(), f.c_str(), all, {}, "%2d", false), -1);
    expect_error(errtext(362));
    EXPECT_EQ(values(t.get()), dv{9});
    EXPECT_EQ(filenumbin_read(tctx(), f.c_str(), tabnum_borne{2, 4, 2}, {{t.get(), 1}}, "%2d", true), 2);
    EXPECT_EQ(values(t.get()), (dv{9, 0, 0}));
}
