// Runs one fuzz input through the whole kernel: parsed and evaluated as a host text, with file
// and process access disabled and a budget of evaluated nodes, so that an input that loops for
// ever ends instead of timing out. Each input starts from a reset session.
#include "../frontend/drive.h"

#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/treeint.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
long s_nodes = 0;
constexpr long s_budget = 200000;

void countnode(t_cctx*, const t_tree_loc*, treeabs*, void*)
{
    if (++s_nodes > s_budget) Erreur_Execution = 1;
}

void startonce()
{
    static bool started = false;
    if (started) return;
    started = true;
    setenv("KESTDIR", KEST_BUILD_DIR, 1);
    setenv("LANG", "en", 1);
    kst_setsandbox(true);
    kst_findkestdir("kest");
    FILE* null = fopen("/dev/null", "w");
    FILE* saved = stdout;
    stdout = null;
    kest_init(1, 0);
    stdout = saved;
    g_stdout = g_stdwarn = g_stderr = null;
    kst_set_funchooknodeint(countnode, nullptr);
}
} // namespace

void frontend_drive(const uint8_t* data, size_t size)
{
    startonce();
    std::string text(reinterpret_cast<const char*>(data), size);
    s_nodes = 0;
    Erreur_Execution = 0;
    kest(text.data());
    Erreur_Execution = 0;
    kst_reset_reloadstl(false);
    Erreur_Execution = 0;
}
