// The session spine: line reading in pieces, typed-ahead input, stop, reset refusal, start-up.
#include "coef/coefaff.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/promptline.h"
#include "interp/runpile.h"
#include "render/render.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <typeinfo>
#include <unistd.h>

namespace {

// A stream whose content is `text`, read through a pipe like a real standard input.
FILE* pipestream(const std::string& text)
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fds[1]);
    return fdopen(fds[0], "r");
}

struct Session : ::testing::Test {
    char* out = nullptr;
    size_t outlen = 0;
    FILE* saved = nullptr;
    void SetUp() override
    {
        Erreur_Execution = 0;
        saved = g_stdout;
        g_stdout = open_memstream(&out, &outlen);
    }
    void TearDown() override
    {
        fclose(g_stdout);
        g_stdout = saved;
        free(out);
        Erreur_Execution = 0;
    }
    std::string printed()
    {
        fflush(g_stdout);
        return std::string(out, outlen);
    }
};

} // namespace

TEST_F(Session, LongLinesAreReadIn510CharacterPiecesEachAfterThePrompt)
{
    std::string longline(1200, 'x');
    FILE* in = pipestream(longline + "\nshort\n");
    std::string got;
    int calls = 0;
    while (const char* piece = kst_readchar(in)) {
        EXPECT_LE(strlen(piece), 510u);
        got += piece;
        calls++;
    }
    EXPECT_EQ(got, longline + "\nshort\n");
    EXPECT_EQ(calls, 4);                               // 510 + 510 + 180 and "\n", then "short\n"
    std::string prompts;
    for (int i = 0; i < 5; i++) prompts += kst_getprompt();   // also before the end of input
    EXPECT_EQ(printed(), prompts);
    fclose(in);
}

TEST_F(Session, LineReaderHookReplacesTheTerminal)
{
    static int calls = 0;
    kst_setfunchook_iochar([](FILE*) -> const char* { return calls++ ? nullptr : "from hook\n"; }, nullptr, nullptr);
    EXPECT_STREQ(kst_readchar(stdin), "from hook\n");
    EXPECT_EQ(kst_readchar(stdin), nullptr);
    EXPECT_EQ(printed(), "");                          // the hook shows its own prompt
    kst_setfunchook_iochar(nullptr, nullptr, nullptr);
}

TEST_F(Session, TypedAheadInputIsCollectedWithoutWaiting)
{
    FILE* in = pipestream("a = 1;\r b;\n");
    char* ahead = kst_flushreadchar(in);
    ASSERT_NE(ahead, nullptr);
    EXPECT_STREQ(ahead, "a = 1;\n b;");               // carriage returns become line feeds
    free(ahead);
    fclose(in);

    in = pipestream("x");
    EXPECT_EQ(kst_flushreadchar(in), nullptr);        // fewer than two characters
    fclose(in);

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);                           // nothing typed: returns at once
    in = fdopen(fds[0], "r");
    EXPECT_EQ(kst_flushreadchar(in), nullptr);
    fclose(in);
    close(fds[1]);
}

TEST_F(Session, PromptShowsWhatIsStillOpen)
{
    setprompt_radical(PROMPT_KEST);
    EXPECT_STREQ(kst_getprompt(), "> ");
    setprompt_bloc(2);
    setprompt_string(1);
    setprompt_comment(2);
    EXPECT_STREQ(kst_getprompt(), "{{\"/*/*> ");
    setprompt_radical(PROMPT_MAPLE);
    EXPECT_STREQ(kst_getprompt(), "{{\"/*/*maple> ");
    setprompt_reset();
    setprompt_radical(PROMPT_KEST);
    EXPECT_STREQ(kst_getprompt(), "> ");
}

TEST_F(Session, DefaultPromptsFollowTheRenderer)
{
    t_cctx ctx;
    struct { int selector; const char* kest; const char* grace; } cases[] = {
        {0, "> ", "grace> "},
        {3, "<!-- newprompt='kest' --><prompt/>", "<!-- newprompt='grace' --><prompt/>"},
        {4, "<!-- newprompt='kest' --><prompt/>", "<!-- newprompt='grace' --><prompt/>"},
        {2, "<prompt/>", "<prompt/>"},
    };
    for (auto& c : cases) {
        kst_setrender(&ctx, c.selector);
        setdefaultprompt_default(&ctx);
        EXPECT_STREQ(getdefaultprompt_keststate(), c.kest) << c.selector;
        EXPECT_STREQ(getdefaultprompt_gracestate(), c.grace) << c.selector;
    }
    kst_setrender(&ctx, 0);
    setdefaultprompt_default(&ctx);
    setdefaultprompt_maplestate(std::string(300, 'm').c_str());
    EXPECT_EQ(strlen(getdefaultprompt_maplestate()), 255u);
    setdefaultprompt_default(&ctx);
}

TEST_F(Session, StopEndsLoopsAndMacrosButOnlyWarnsAtTopLevel)
{
    t_cctx* ctx = t_cctx::getLocalCctx();
    ctx->kc.stopflag = 0;
    kst_stop();                                        // no pile at all
    EXPECT_EQ(ctx->kc.stopflag, 1);
    ctx->kc.stopflag = 0;

    elt_runpile* top = tree_run_setpile(ctx, RUNPILE_INTERACTIVE, nullptr, nullptr);
    elt_runpile* loop = tree_run_setpile(ctx, RUNPILE_WHILE, nullptr, nullptr);
    kst_stop();
    EXPECT_EQ(ctx->kc.stopflag, 1);
    ctx->kc.stopflag = 0;
    tree_run_removepile(ctx, loop);

    tree_run_setpile(ctx, RUNPILE_FILE, "f.t", nullptr);   // a file inside a macro: the file wins
    ctx->info = true;
    FILE* savedwarn = g_stdwarn;
    g_stdwarn = g_stdout;
    kst_stop();
    g_stdwarn = savedwarn;
    ctx->info = false;
    EXPECT_EQ(ctx->kc.stopflag, 0);
    EXPECT_EQ(printed(), std::string(" Information : ") + kst_getmsgwarning(3) + "\n");
    EXPECT_EQ(Erreur_Execution, 0);
    while (ctx->pile != top) tree_run_removepile(ctx, ctx->pile);
    tree_run_removepile(ctx, top);
}

TEST_F(Session, ResetIsRefusedInsideLoopsAndMacros)
{
    t_cctx* ctx = t_cctx::getLocalCctx();
    for (erunpile kind : {RUNPILE_FOR, RUNPILE_WHILE, RUNPILE_MACRO, RUNPILE_LIBMACRO}) {
        Erreur_Execution = 0;
        kst_kctx(ctx).options[g_kst_opt_affc] = 7;
        elt_runpile* pile = tree_run_setpile(ctx, kind, nullptr, nullptr);
        tree_run_setpile(ctx, RUNPILE_STRING, nullptr, nullptr);   // reached through a host text
        testing::internal::CaptureStderr();
        kst_reset();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(Erreur_Execution, 1) << kind;
        EXPECT_EQ(kst_affc(ctx), 7) << "nothing changes";
        while (ctx->pile) tree_run_removepile(ctx, ctx->pile);
        (void)pile;
    }
    Erreur_Execution = 0;
    kst_kctx(ctx).options[g_kst_opt_affc] = 1;
}

TEST(SessionDeath, HostParametersMustBeIdentifiers)
{
    EXPECT_EXIT(Mkestpar("x;", "a", 3, nullptr, nullptr), ::testing::ExitedWithCode(1),
                "dans la fonction Mkestpar\nInformations systeme : Type d'identificateur inconnu \\(3\\)");
}

TEST(SessionDeath, StartUpSetsTheThreadLimitAndWithoutBannerShowsTheHint)
{
    EXPECT_EXIT(
        {
            char dir[] = "/tmp/kest-start-XXXXXX";
            if (!mkdtemp(dir) || chdir(dir) != 0) exit(3);
            setenv("HOME", dir, 1);
            setenv("KESTDIR", KEST_BUILD_DIR, 1);
            setenv("OMP_THREAD_LIMIT", "999", 1);
            kst_findkestdir("kest");
            testing::internal::CaptureStdout();
            kest_init(1, 0);
            std::string out = testing::internal::GetCapturedStdout();
            const char* limit = getenv("OMP_THREAD_LIMIT");
            bool ok = out == "Taper 'help;' ou '?;' pour obtenir de l'aide\n\n" && limit &&
                      atoi(limit) == g_cpu && g_cpu >= 1 && access("history.kest", F_OK) == 0;
            exit(ok ? 0 : 4);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(SessionDeath, TerminationRequestsEndWithStatus1)
{
    EXPECT_EXIT(
        {
            kst_findkestdir("/tmp/kest");
            void kst_signalinit();
            kst_signalinit();
            raise(SIGTERM);
            exit(0);
        },
        ::testing::ExitedWithCode(1), "");
}

// Task contexts are reused by the thread's next task: what one task made its own (a read
// history, a renderer of another dialect) does not reach the next, while the caller's settings do.
TEST(TaskContexts, AReusedTaskContextStartsFromTheCallerAgain)
{
    t_cctx caller;
    caller.kc.num.modenum = 2;
    t_cctx* before = t_cctx::getLocalCctx();
    t_cctx* saved = t_cctx::pushandcopyLocalCctx(&caller);
    t_cctx* first = t_cctx::getLocalCctx();
    first->readhistory = "copy.txt";
    first->kc.num.modenum = 4;
    first->setrender(kst_newrender(2));
    t_cctx::popLocalCctx(saved);
    EXPECT_EQ(t_cctx::getLocalCctx(), before);

    saved = t_cctx::pushandcopyLocalCctx(&caller);
    t_cctx* second = t_cctx::getLocalCctx();
    EXPECT_EQ(second, first) << "the thread's task context is reused";
    EXPECT_TRUE(second->readhistory.empty());
    EXPECT_EQ(second->kc.num.modenum, 2);
    EXPECT_EQ(second->master, &caller);
    EXPECT_EQ(typeid(*second->getrender()), typeid(*caller.getrender())) << "the caller's dialect";
    t_cctx::popLocalCctx(saved);
}
