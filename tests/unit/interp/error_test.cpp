// Error reporting: language choice, the ring of fetched texts, error display with the source
// excerpt and the context chain, the error-flag discipline, warnings, hooks, fatal and internal
// errors.
#include "interp/catalog.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/runpile.h"
#include "interp/treesharedcode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// The installed catalogues (staged in the build directory) as catalogue 0, in English.
struct SessionCatalogues : ::testing::Environment {
    void SetUp() override
    {
        setenv("KESTDIR", KEST_BUILD_DIR, 1);
        kst_findkestdir("kest");
        kst_language_init();
        kst_register_languagefile(nullptr, "kest_msg");
        set_language("en", true);
    }
};
const auto* s_env = ::testing::AddGlobalTestEnvironment(new SessionCatalogues);

// Captures what is written to one of the kernel's streams.
class Capture {
public:
    explicit Capture(FILE*& stream) : m_stream(stream), m_saved(stream)
    {
        m_stream = open_memstream(&m_buf, &m_len);
    }
    ~Capture() { finish(); free(m_buf); }
    std::string text()
    {
        fflush(m_stream);
        return std::string(m_buf, m_len);
    }
    void finish()
    {
        if (m_stream != m_saved) {
            fclose(m_stream);
            m_stream = m_saved;
        }
    }

private:
    FILE*& m_stream;
    FILE* m_saved;
    char* m_buf = nullptr;
    size_t m_len = 0;
};

struct ErrorDisplay : ::testing::Test {
    t_cctx ctx;
    void SetUp() override { Erreur_Execution = 0; }
    void TearDown() override { Erreur_Execution = 0; }
};

std::string pad(size_t n) { return std::string(n, ' '); }

std::string prefix33() { return kst_getmsginfo(33); }
size_t caretpad() { std::string p = prefix33(); return p.size() - (p[0] == '\t' ? 1 : 0); }

} // namespace

TEST(Language, ChoiceFromTheEnvironment)
{
    struct { const char* lang; const char* messages; const char* expected; } cases[] = {
        {"en_US.UTF-8", nullptr, "en"}, {"fr_FR.UTF-8", nullptr, "fr"}, {"fr", "en", "fr"},
        {nullptr, "fr_CA", "fr"},       {"C", nullptr, "en"},           {"de_DE", "fr_FR", "fr"},
        {nullptr, nullptr, "en"},       {"f", nullptr, "en"},
    };
    for (auto& c : cases) {
        set_language("fr", true);
        if (c.lang) setenv("LANG", c.lang, 1); else unsetenv("LANG");
        if (c.messages) setenv("LC_MESSAGES", c.messages, 1); else unsetenv("LC_MESSAGES");
        kst_setdefaultlanguage();
        EXPECT_STREQ(kst_getlanguage(), c.expected) << (c.lang ? c.lang : "(unset)") << " / "
                                                    << (c.messages ? c.messages : "(unset)");
    }
    unsetenv("LC_MESSAGES");
    set_language("en", true);
}

TEST(Language, SwitchingAcceptsExactlyTheTwoNames)
{
    Erreur_Execution = 0;
    EXPECT_TRUE(set_language("EN", false));          // equal to the current one, ignoring case
    EXPECT_TRUE(set_language("fr", false));
    EXPECT_STREQ(kst_getlanguage(), "fr");
    EXPECT_NE(std::string(kst_getmsgerror(291)), "message inconnu");
    EXPECT_FALSE(set_language("EN", true));          // a new language must be written exactly
    EXPECT_FALSE(set_language("de", true));
    EXPECT_EQ(Erreur_Execution, 0);                  // quiet: nothing reported
    {
        Capture err(g_stderr);
        EXPECT_FALSE(set_language("de", false));
        EXPECT_EQ(Erreur_Execution, 1);              // error 474
        EXPECT_NE(err.text().find("de"), std::string::npos);
    }
    Erreur_Execution = 0;
    EXPECT_TRUE(set_language("en", false));
    EXPECT_STREQ(kst_getmsgerror(100000), "message inconnu");
}

TEST(Language, TheEleventhFetchReusesTheFirstSlot)
{
    char name[] = "/tmp/kest-ring-XXXXXX";
    int fd = mkstemp(name);
    std::string content = "$set 1\n";
    for (int i = 1; i <= 11; i++) content += std::to_string(i) + " text " + std::to_string(i) + "\n";
    ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    int h = kst_catopen(name);
    unlink(name);
    ASSERT_NE(h, kst_catbad);
    const char* got[11];
    for (int i = 0; i < 11; i++) got[i] = kst_getlanguage_catgets(h, 1, i + 1, "none");
    EXPECT_EQ(got[0], got[10]);
    EXPECT_STREQ(got[0], "text 11");
    for (int i = 1; i < 10; i++) EXPECT_STREQ(got[i], ("text " + std::to_string(i + 1)).c_str());
    kst_catclose(h);
}

TEST_F(ErrorDisplay, CaretsUnderTheConstruct)
{
    char text[] = "a = b + ;\nnext line";
    treesharedcode* code = treesharedcode_new(nullptr, text, strlen(text), 0);
    t_tree_loc loc{1, 0, 6, 1, 6};
    Capture err(g_stderr);
    kst_disperror(nullptr, code, &loc, "syntax problem");
    EXPECT_EQ(err.text(), "KEST[ 1 ] : syntax problem\n" + prefix33() + "a = b + ;'\n\t" +
                              pad(caretpad() + 6) + "^\n");
    EXPECT_EQ(Erreur_Execution, 1);
    treesharedcode_detach(code);
}

TEST_F(ErrorDisplay, ARangePastTheLineEndsWithDots)
{
    char text[] = "x\ty = f(1,\n  2);";
    treesharedcode* code = treesharedcode_new(nullptr, text, strlen(text), 0);
    t_tree_loc loc{3, 0, 6, 4, 14};
    Capture err(g_stderr);
    kst_disperror(nullptr, code, &loc, "bad call");
    // White space is printed as spaces; carets stop at the printed characters.
    EXPECT_EQ(err.text(), "KEST[ 3 ] : bad call\n" + prefix33() + "x y = f(1,'\n\t" +
                              pad(caretpad() + 6) + "^^^^...\n");
    treesharedcode_detach(code);
}

TEST_F(ErrorDisplay, NoExcerptWithoutACompleteLocation)
{
    char text[] = "abc;";
    treesharedcode* code = treesharedcode_new(nullptr, text, strlen(text), 0);
    t_tree_loc partial{2, 0, -1, 2, 3};
    t_tree_loc outside{1, 40, 41, 1, 42};
    Capture err(g_stderr);
    kst_disperror(nullptr, code, &partial, "one");
    Erreur_Execution = 0;
    kst_disperror(nullptr, code, &outside, "two");
    Erreur_Execution = 0;
    kst_disperror(nullptr, nullptr, nullptr, "three");
    EXPECT_EQ(err.text(), "KEST[ 2 ] : one\nKEST[ 1 ] : two\nKEST[ 1 ] : three\n");
    treesharedcode_detach(code);
}

TEST_F(ErrorDisplay, AtMostTwentyContextsThenMessage39)
{
    tree_run_setpile(&ctx, RUNPILE_FILE, "outer.t", nullptr);
    for (int i = 0; i < 24; i++) tree_run_setpile(&ctx, i % 2 ? RUNPILE_WHILE : RUNPILE_FOR, "j", nullptr);
    Capture err(g_stderr);
    kst_dispmessage(g_stderr, tree_run_getpile(&ctx), nullptr, nullptr);
    std::string expected;
    for (int i = 0; i < 10; i++) expected += std::string(kst_getmsginfo(36)) + kst_getmsginfo(35);
    expected += kst_getmsginfo(39);
    EXPECT_EQ(err.text(), expected);   // the file pile is beyond the limit
}

TEST_F(ErrorDisplay, ContextLinesNameMacrosFilesAndTexts)
{
    char text[] = "boom;";
    treesharedcode* code = treesharedcode_new(nullptr, text, strlen(text), 0);
    tree_run_setpile(&ctx, RUNPILE_INTERACTIVE, nullptr, nullptr);
    tree_run_setpile(&ctx, RUNPILE_FILE, "lib.t", code);
    tree_run_setpile(&ctx, RUNPILE_STRING, "hosttext", nullptr);
    tree_run_setpile(&ctx, RUNPILE_FILE, "inner.t", code);
    tree_run_setpile(&ctx, RUNPILE_MACRO, "mymacro", code);
    t_tree_loc loc{7, 0, 0, 7, 4};
    Capture err(g_stderr);
    kst_dispmessage(g_stderr, tree_run_getpile(&ctx), nullptr, &loc);
    char line37[256], line34[256], line38[256], line141[256];
    snprintf(line34, sizeof line34, kst_getmsginfo(34), "mymacro");
    snprintf(line37, sizeof line37, kst_getmsginfo(37), 7, "inner.t");
    snprintf(line141, sizeof line141, kst_getmsginfo(141), "hosttext");
    snprintf(line38, sizeof line38, kst_getmsginfo(38), "lib.t");
    EXPECT_EQ(err.text(), std::string(line34) + line37 + line141 + line38);
    treesharedcode_detach(code);
}

TEST_F(ErrorDisplay, OnlyTheFirstErrorOfAStatementIsShown)
{
    Capture err(g_stderr);
    kst_runerror(&ctx, "first");
    kst_runerror(&ctx, 6, "second.t");
    EXPECT_EQ(err.text(), "KEST[ 1 ] : first\n");
    EXPECT_EQ(Erreur_Execution, 1);
}

TEST_F(ErrorDisplay, ErrorsInsideTryAreSilentUnlessInfoIsOn)
{
    elt_runpile* pile = tree_run_setpile(&ctx, RUNPILE_STRING, nullptr, nullptr);
    tree_run_setpile(&ctx, RUNPILE_FOR, "i", nullptr);
    tree_run_setpile_entertry(pile);   // an enclosing pile is inside try
    Capture err(g_stderr);
    kst_runerror(&ctx, 6, "quiet.t");
    EXPECT_EQ(err.text(), "");
    EXPECT_EQ(Erreur_Execution, 1);
    Erreur_Execution = 0;
    ctx.info = true;
    kst_runerror(&ctx, 6, "loud.t");
    EXPECT_NE(err.text().find("loud.t"), std::string::npos);
}

TEST_F(ErrorDisplay, WarningsAndInformationOnlyWithInfoOn)
{
    Capture warn(g_stdwarn);
    kst_runwarning(&ctx, 3);
    EXPECT_EQ(warn.text(), "");
    ctx.info = true;
    kst_runwarning(&ctx, 3);
    EXPECT_EQ(warn.text(), std::string(" Information : ") + kst_getmsgwarning(3) + "\n");
    EXPECT_EQ(Erreur_Execution, 0);   // warnings never set the flag
}

namespace {
int s_hookcalls = 0;
std::string s_hooktext;
int s_hookline = 0;
void msghook(const char*, int line, int, int, int, int, const char* text)
{
    s_hookcalls++;
    s_hookline = line;
    s_hooktext = text ? text : "(null)";
}
} // namespace

TEST_F(ErrorDisplay, HooksAreInstalledOnlyWithTheKey)
{
    s_hookcalls = 0;
    Capture err(g_stderr);
    kst_setfunchook_msgerror(402916, msghook);
    kst_runerror(&ctx, "not hooked");
    EXPECT_EQ(s_hookcalls, 0);
    Erreur_Execution = 0;
    kst_setfunchook_msgerror(kst_hookkey, msghook);
    elt_runpile* pile = tree_run_setpile(&ctx, RUNPILE_STRING, nullptr, nullptr);
    pile->loc = t_tree_loc{12, 0, 0, 12, 3};
    kst_runerror(&ctx, "hooked");
    EXPECT_EQ(s_hookcalls, 1);
    EXPECT_EQ(s_hooktext, "hooked");
    EXPECT_EQ(s_hookline, 12);
    Erreur_Execution = 0;
    kst_parserror(&ctx, nullptr, nullptr, "syntax error");
    EXPECT_EQ(s_hookcalls, 2);
    EXPECT_EQ(s_hooktext, "(null)");   // parse errors pass no text to the hook
    EXPECT_NE(err.text().find(kst_getmsgerror(291)), std::string::npos);
    kst_setfunchook_msgerror(kst_hookkey, nullptr);
}

using FatalErrors = ErrorDisplay;

TEST_F(FatalErrors, MissingCatalogueIsFatal10042)
{
    EXPECT_EXIT(set_languagefile("/nonexistent/", "kest_msg", "fr", false), ::testing::ExitedWithCode(1),
                "Impossible d'ouvrir le fichier '/nonexistent/kest_msgfr.cat'.\nArret de KEST.\n"
                "Verifiez votre installation!\n\nCan't find '/nonexistent/kest_msgfr.cat'.\nKEST exits.\n"
                "Check your installation !\n");
    EXPECT_EQ(set_languagefile("/nonexistent/", "kest_msg", "fr", true), kst_catbad);
}

TEST_F(FatalErrors, AMalformedCatalogueCountsAsMissing)
{
    char dir[] = "/tmp/kest-badcat-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/kest_msgfr.cat";
    FILE* f = fopen(path.c_str(), "w");
    fputs("$set 1\n1 fine\nthis line has no number\n", f);
    fclose(f);
    std::string base = std::string(dir) + "/";
    EXPECT_EQ(set_languagefile(base.c_str(), "kest_msg", "fr", true), kst_catbad);
    EXPECT_EXIT(set_languagefile(base.c_str(), "kest_msg", "fr", false), ::testing::ExitedWithCode(1),
                "Can't find '" + path + "'");
    unlink(path.c_str());
    rmdir(dir);
}

TEST_F(FatalErrors, LibraryLoadFailureIsFatal10043)
{
    EXPECT_EXIT(kst_fatalerror(10043, "/x/lib.so"), ::testing::ExitedWithCode(1),
                "Can't load the file '/x/lib.so'.\nKEST exits.\n");
}

TEST_F(FatalErrors, InternalErrorsNameTheFunctionAndExitWith1)
{
    EXPECT_EXIT(kst_iceerror(1056, "kst_sigill", 4), ::testing::ExitedWithCode(1),
                "Desole, vous venez de trouver un bug interne.\nContactez les auteurs de kest.\n"
                "dans la fonction kst_sigill\nInformations systeme : Instruction illegale \\(4\\).");
    EXPECT_EXIT(kst_iceerror(999, "f"), ::testing::ExitedWithCode(1), "Informations systeme : message inconnu.");
}

TEST_F(FatalErrors, OtherFatalErrorsAbort)
{
    EXPECT_DEATH(kst_fatalerror(436, 123L, "SYSCHECKMALLOC"), "Arret immediat de KEST.\nInformations systeme : ");
}
