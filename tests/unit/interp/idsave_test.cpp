// Identifier files: every kind of number comes back from the text form with the same binary
// image, and the headers refuse obsolete and unknown versions.
#include "coef/coef_init.h"
#include "coef/coefnum.h"
#include "coef/coefsave.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/idsave.h"
#include "testhelp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string image(const coef* c)
{
    char* bytes = nullptr;
    size_t len = 0;
    FILE* mem = open_memstream(&bytes, &len);
    EXPECT_TRUE(coefnum_save(c, mem));
    fclose(mem);
    std::string s(bytes, len);
    free(bytes);
    return s;
}

} // namespace

TEST(IdStorage, EveryNumberKindRoundTripsThroughTheTextForm)
{
    kst_coef_inittables();
    modenum_init();
    t_cctx* ctx = t_cctx::getLocalCctx();
    coef real = coef_fromdbl(-2.75), whole = coef_fromdbl(-7), z{};
    z.z = complexe{1.25, -0.5};
    z.type = BH_ZDBL;
    const struct { const coef* from; eBHTypeCoef tag; } cases[] = {
        {&real, BH_DBL},    {&z, BH_ZDBL},       {&real, BH_RAT},      {&z, BH_ZRAT},     {&real, BH_QUAD},
        {&z, BH_ZQUAD},     {&real, BH_INTDBL},  {&z, BH_ZINTDBL},     {&real, BH_INTQUAD}, {&z, BH_ZINTQUAD},
        {&real, BH_RATMP},  {&z, BH_ZRATMP},     {&real, BH_FPMP},     {&z, BH_ZFPMP},    {&whole, BH_INTMP},
    };
    for (const auto& k : cases) {
        coef c = coefnum_convert_raw(ctx, k.from, k.tag);
        ASSERT_EQ(coef_tag(&c), static_cast<unsigned>(k.tag));
        FILE* f = tmpfile();
        ASSERT_TRUE(kst_savecoefF(&c, f)) << k.tag;
        rewind(f);
        coef back;
        ASSERT_TRUE(kst_loadcoefF(ctx, &back, f)) << k.tag;
        EXPECT_EQ(image(&back), image(&c)) << "kind " << k.tag;
        fclose(f);
        deletecoef(&c);
        deletecoef(&back);
    }
    // A damaged hexadecimal image does not load.
    FILE* f = tmpfile();
    fputs(" 9      #00ff\n", f);
    rewind(f);
    coef bad;
    EXPECT_FALSE(kst_loadcoefF(ctx, &bad, f));
    fclose(f);
}

TEST(IdStorage, HeadersRefuseObsoleteAndUnknownVersions)
{
    t_cctx* ctx = t_cctx::getLocalCctx();
    const std::string dir = testing::TempDir();
    auto writeversion = [&](const char* name, const char* version) {
        FILE* f = fopen((dir + name + ".kst").c_str(), "wb");
        const uint64_t n = strlen(version) + 1;
        fwrite(&n, sizeof n, 1, f);
        fwrite(version, 1, n, f);
        fclose(f);
    };
    const struct { const char* name; const char* version; int error; } cases[] = {
        {"kest_v003", ":003", 251}, {"kest_vplain", "006", 251}, {"kest_v999", ":999", 252}, {"kest_v006", ":006", 250},
    };
    for (const auto& c : cases) {
        writeversion(c.name, c.version);
        Erreur_Execution = 0;
        testing::internal::CaptureStderr();
        EXPECT_EQ(loadidentificateur(ctx, (dir + c.name).c_str(), "x", false), nullptr);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(kst_getmsgerror(c.error)), std::string::npos) << c.version << ": " << said;
    }
    Erreur_Execution = 0;
}
