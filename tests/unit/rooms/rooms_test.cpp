// A room added to the list (one line: kst_room_append) starts with the session: its keyword runs,
// its option is checked, shown, reset and carried into task contexts, its declared type makes
// values, and its reset runs with the session's.
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/roomapi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern const t_room kst_room_sample;
extern int g_sample_resets;

namespace {

class Rooms : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char dir[] = "/tmp/kest-rooms-XXXXXX";
        ASSERT_TRUE(mkdtemp(dir) && chdir(dir) == 0);
        setenv("HOME", dir, 1);
        setenv("KESTDIR", KEST_BUILD_DIR, 1);
        kst_room_append(&kst_room_sample);
        kst_findkestdir("kest");
        testing::internal::CaptureStdout();
        kest_init(1, 0);
        testing::internal::GetCapturedStdout();
        Mkest("_language = \"en\";", nullptr);
    }
    // What the statements print on the result and error streams.
    static std::string run(const char* text)
    {
        char* out = nullptr;
        size_t len = 0;
        FILE* saved[2] = {g_stdout, g_stderr};
        g_stdout = g_stderr = open_memstream(&out, &len);
        Mkest(text, nullptr);
        Erreur_Execution = 0;
        fclose(g_stdout);
        g_stdout = saved[0];
        g_stderr = saved[1];
        std::string s(out, len);
        free(out);
        return s;
    }
};

TEST_F(Rooms, TheRoomsKeywordOptionAndTypeWorkFromTheLanguage)
{
    EXPECT_EQ(run("plotreset;"), "sample level 2\n");
    EXPECT_NE(run("_graph;").find("_graph = 2"), std::string::npos);
    EXPECT_EQ(run("_graph = 4; plotreset;"), "sample level 4\n");
    const std::string refused = run("_graph = 6;");
    EXPECT_NE(refused.find("_graph"), std::string::npos) << refused;
    EXPECT_EQ(run("plotreset;"), "sample level 4\n") << "a refused value leaves the option as it was";
    EXPECT_EQ(run("samplething t; t;"), "t = sample thing at level 4\n");
}

TEST_F(Rooms, TaskContextsCarryTheRoomsOption)
{
    run("_graph = 5; _cpu = 2;");
    const std::string out = run("//!kest omp parallel for\nfor j = 1 to 6 { plotreset; };");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 6) << out;
    size_t found = 0;
    for (size_t p = 0; (p = out.find("sample level 5\n", p)) != std::string::npos; p++) found++;
    EXPECT_EQ(found, 6u) << out;
    run("_cpu = 1;");
}

TEST_F(Rooms, AResetRunsTheRoomsResetAndRestoresItsOption)
{
    run("_graph = 3;");
    const int before = g_sample_resets;
    run("reset;");
    EXPECT_EQ(g_sample_resets, before + 1);
    EXPECT_EQ(run("plotreset;"), "sample level 2\n");
}

} // namespace
