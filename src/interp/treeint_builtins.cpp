// Statements, functions and settings of the core language that no other room owns, registered
// by keyword: the session switches and options, error, msg and str, files, delete and typeof.
#include "coef/modenum.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/idclass.h"
#include "interp/idsave.h"
#include "interp/ids.h"
#include "interp/keywords.h"
#include "interp/kest.h"
#include "interp/libstlmacro.h"
#include "interp/macro.h"
#include "interp/msgfmt.h"
#include "interp/treeint.h"
#include "parallel/parallel_init.h"
#include "render/render.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <unistd.h>
#include <cstring>
#include <string>

namespace {

const char* keywordtext(const treeabs* node) { return kst_keywordtable()[tree_kindindex(node->kind) - tree_kindindex(TREE_KEYWORD_FIRST)].text; }

// The keyword a TREE_KEYWORDVALUE argument names, or null.
const char* keywordvalue(const treeabs* arg)
{
    if (!arg || arg->kind != TREE_KEYWORDVALUE) return nullptr;
    return kst_keywordtable()[tree_paraint(arg, 0)].text;
}

int evalargs(t_cctx* ctx, int slot, treeabs* node, int first) { return tree_eval_arguments(ctx, slot, node, first); }
void cleanargs(t_cctx* ctx, int slot, int n) { tree_clean_arguments(ctx, slot, n); }

// ---------------------------------------------------------------- options

struct t_switch {
    const char* name;
    bool t_cctx::*field;
};
const t_switch s_switches[] = {
    {"_info", &t_cctx::info}, {"_echo", &t_cctx::echo},   {"_time", &t_cctx::time},
    {"_comment", &t_cctx::comment}, {"_hist", &t_cctx::hist}, {"_quiet", &t_cctx::quiet},
};

} // namespace

void kst_option_display(t_cctx* ctx, const char* name, const char* value)
{
    t_render* r = kst_cctx_getrender(ctx, g_stdout);
    r->Vname(name);
    r->Vespacesigne_eq();
    r->Vrender_unsafe(value);
    r->writenewline();
}

// An integer option: its value must lie in [lo, hi] (error 4 with the name otherwise).
bool kst_option_integer(t_cctx* ctx, int slot, treeabs* node, long lo, long hi, long* out)
{
    const char* name = keywordtext(node);
    if (tree_paraint(node, 0) != TREE_OPTION_SET) {
        kst_runerror(ctx, 4, name);
        return false;
    }
    tree_int(ctx, slot + 1, tree_child(node, 1));
    long v = 0;
    bool ok = !tree_flags(ctx) && tree_slot_integer(ctx, slot + 1, &v);
    tree_run_cleanres(ctx, slot + 1);
    if (!ok) return false;
    if (v < lo || v > hi) {
        kst_runerror(ctx, 4, name);
        return false;
    }
    *out = v;
    return true;
}

namespace {

int h_switch(t_cctx* ctx, int, treeabs* node)
{
    const char* name = keywordtext(node);
    for (const t_switch& s : s_switches) {
        if (strcmp(s.name, name) != 0) continue;
        switch (tree_paraint(node, 0)) {
        case TREE_OPTION_ON: ctx->*s.field = true; break;
        case TREE_OPTION_OFF: ctx->*s.field = false; break;
        case TREE_OPTION_DISPLAY: kst_option_display(ctx, name, ctx->*s.field ? "on" : "off"); break;
        default: kst_runerror(ctx, 4, name); break;
        }
    }
    return 0;
}

int h_cpu(t_cctx* ctx, int slot, treeabs* node)
{
    if (tree_paraint(node, 0) == TREE_OPTION_DISPLAY) {
        kst_option_display(ctx, "_cpu", std::to_string(ctx->kc.cpu).c_str());
        return 0;
    }
    long v;
    if (!kst_option_integer(ctx, slot, node, 1, INT_MAX, &v)) return 0;
    if (!kst_parallel_setcpu(static_cast<int>(v))) kst_runerror(ctx, 4, "_cpu");
    else ctx->kc.cpu = static_cast<int>(v);
    return 0;
}

int h_modenum(t_cctx* ctx, int, treeabs* node)
{
    t_render* r = kst_cctx_getrender(ctx, g_stdout);
    if (tree_paraint(node, 0) == TREE_OPTION_DISPLAY) {
        modenum_display(ctx, r);
        return 0;
    }
    static const char* const modes[] = {"NUMDBL", "NUMRAT", "NUMRATMP", "NUMQUAD", "NUMFPMP"};
    const char* kw = keywordvalue(tree_child(node, 1));
    for (int m = 0; kw && m < 5; m++) {
        if (strcmp(kw, modes[m]) == 0) {
            modenum_setandinform(ctx, m);
            return 0;
        }
    }
    kst_runerror(ctx, 4, "_modenum");
    return 0;
}

int h_modenum_prec(t_cctx* ctx, int slot, treeabs* node)
{
    if (tree_paraint(node, 0) == TREE_OPTION_DISPLAY) {
        modenum_prec_display(ctx, kst_cctx_getrender(ctx, g_stdout));
        return 0;
    }
    long v;
    if (kst_option_integer(ctx, slot, node, INT_MIN, INT_MAX, &v)) modenum_setprecandinform(ctx, static_cast<int>(v));
    return 0;
}

// A text option: _language, _path, _history and _userlibrary_path.
const char* textoptionvalue(t_cctx* ctx, const char* name)
{
    if (strcmp(name, "_language") == 0) return kst_getlanguage();
    if (strcmp(name, "_history") == 0) return ctx->historyname.c_str();
    if (strcmp(name, "_userlibrary_path") == 0) return ctx->userlibrarypath.c_str();
    if (strcmp(name, "_read_history") == 0) return ctx->readhistory.c_str();
    return ctx->getpath();
}

void settextoption(t_cctx* ctx, const char* name, const std::string& value)
{
    if (strcmp(name, "_language") == 0) {
        set_language(value.c_str(), false);
    } else if (strcmp(name, "_history") == 0) {
        kst_sethistoryfile(ctx, value.c_str());
    } else if (strcmp(name, "_read_history") == 0) {
        ctx->readhistory = value;
    } else if (strcmp(name, "_userlibrary_path") == 0) {
        // The user's library macros join those of the installation at once and after each reset.
        std::string dir = value.empty() || value.back() == '/' ? value : value + "/";
        if (kst_issandbox()) kst_runerror(ctx, 307, dir.c_str(), strerror(EACCES));
        else if (!dir.empty()) kst_libstlmacro_load(ctx, dir.c_str(), true);
        if (!Erreur_Execution) ctx->userlibrarypath = dir;
    } else {
        ctx->setpath(value.c_str());
    }
}

int h_textoption(t_cctx* ctx, int slot, treeabs* node)
{
    const char* name = keywordtext(node);
    if (tree_paraint(node, 0) == TREE_OPTION_DISPLAY) {
        kst_option_display(ctx, name, textoptionvalue(ctx, name));
        return 0;
    }
    if (tree_paraint(node, 0) != TREE_OPTION_SET) {
        kst_runerror(ctx, 4, name);
        return 0;
    }
    tree_int(ctx, slot + 1, tree_child(node, 1));
    std::string value;
    if (!tree_flags(ctx) && tree_slot_string(ctx, slot + 1, &value)) settextoption(ctx, name, value);
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}

// ---------------------------------------------------------------- statements and functions

int h_error(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evalargs(ctx, slot + 1, node, 0);
    std::string text;
    if (n == 1 && tree_slot_string(ctx, slot + 1, &text)) kst_runerror(ctx, text.c_str());
    else if (n >= 0 && n != 1) kst_runerror(ctx, 53);
    cleanargs(ctx, slot + 1, n < 0 ? 0 : n);
    return 0;
}

// msg, str and file_writemsg share the argument handling: a format, then the values.
std::vector<const t_idcommon*> formatargs(t_cctx* ctx, int slot, int n)
{
    std::vector<const t_idcommon*> args;
    for (int i = 1; i < n; i++) args.push_back(tree_slot_value(ctx, slot + i));
    return args;
}

// msg "text"; (the command form with the text alone) prints the text as it is, then a line feed.
void unformatted(t_cctx* ctx, const std::string& text)
{
    t_render* r = kst_cctx_getrender(ctx, g_stdout);
    r->Vconsoletext_begin();
    fputs(text.c_str(), g_stdout);
    fputc('\n', g_stdout);
    r->Vconsoletext_end();
    fflush(g_stdout);
}

int h_msg(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evalargs(ctx, slot + 1, node, 0);
    std::string format;
    if (n >= 1 && tree_slot_string(ctx, slot + 1, &format)) {
        if (n == 1 && (node->flags & TREEFLAG_COMMANDFORM)) unformatted(ctx, format);
        else msgfmt_stdout(ctx, format.c_str(), formatargs(ctx, slot + 1, n), "msg");
    } else if (n == 0) {
        kst_runerror(ctx, 53);
    }
    cleanargs(ctx, slot + 1, n < 0 ? 0 : n);
    return 0;
}

int h_str(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evalargs(ctx, slot + 1, node, 0);
    std::string format;
    if (n >= 1 && tree_slot_string(ctx, slot + 1, &format)) {
        std::string text = msgfmt_string(ctx, format.c_str(), formatargs(ctx, slot + 1, n), "str");
        if (!tree_flags(ctx)) tree_slot_setobject(ctx, slot, new t_chaine(text));
    } else if (n == 0) {
        kst_runerror(ctx, 53);
    }
    cleanargs(ctx, slot + 1, n < 0 ? 0 : n);
    return 0;
}

// file_open(name[, mode]): the mode is read (default), write or append, as a keyword or a string.
int h_file_open(t_cctx* ctx, int slot, treeabs* node)
{
    const int count = tree_paracount(node);
    if (count < 1 || count > 2) {
        kst_runerror(ctx, 53);
        return 0;
    }
    const char* kw = keywordvalue(tree_child(node, 1));
    // A mode word is read as written; only the name (and a mode given as a string) is evaluated.
    tree_int(ctx, slot + 1, tree_child(node, 0));
    std::string name, mode = kw ? kw : "read";
    bool ok = !tree_flags(ctx) && tree_slot_string(ctx, slot + 1, &name);
    if (ok && count == 2 && !kw) {
        tree_int(ctx, slot + 2, tree_child(node, 1));
        ok = !tree_flags(ctx) && tree_slot_string(ctx, slot + 2, &mode);
    }
    if (ok) {
        static const struct { const char* word; t_fileio::mode mode; } modes[] = {
            {"read", t_fileio::mode_read}, {"write", t_fileio::mode_write}, {"append", t_fileio::mode_append}};
        bool known = false;
        for (auto& m : modes) {
            if (mode == m.word) {
                known = true;
                tree_slot_setobject(ctx, slot, t_fileio::open(ctx, name.c_str(), m.mode));
            }
        }
        if (!known) kst_runerror(ctx, 53);
    }
    cleanargs(ctx, slot + 1, 2);
    return 0;
}

int h_file_writemsg(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evalargs(ctx, slot + 1, node, 0);
    std::string format;
    if (n >= 2 && tree_slot_string(ctx, slot + 2, &format)) {
        std::vector<const t_idcommon*> args;
        for (int i = 2; i < n; i++) args.push_back(tree_slot_value(ctx, slot + 1 + i));
        filerw_msgfmt(ctx, const_cast<t_idcommon*>(tree_slot_value(ctx, slot + 1)), format.c_str(), args);
    } else if (n >= 0 && n < 2) {
        kst_runerror(ctx, 53);
    }
    cleanargs(ctx, slot + 1, n < 0 ? 0 : n);
    return 0;
}

int h_file_close(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evalargs(ctx, slot + 1, node, 0);
    if (n == 1) filerw_close(ctx, const_cast<t_idcommon*>(tree_slot_value(ctx, slot + 1)));
    else if (n >= 0) kst_runerror(ctx, 53);
    cleanargs(ctx, slot + 1, n < 0 ? 0 : n);
    return 0;
}

int h_delete(t_cctx* ctx, int, treeabs* node)
{
    for (int i = 0; treeabs* a = tree_child(node, i); i++) {
        if (a->kind != TREE_SYMBOL) {
            kst_runerror(ctx, 53);
            return 0;
        }
        if (!kst_delete(ctx, tree_string(a, 0))) return 0;
    }
    return 0;
}

int h_typeof(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evalargs(ctx, slot + 1, node, 0);
    if (n == 1) {
        const t_idcommon* v = tree_slot_value(ctx, slot + 1);
        if (v) tree_slot_setobject(ctx, slot, new t_chaine(v->Vgettypename()));
    } else if (n >= 0) {
        kst_runerror(ctx, 53);
    }
    cleanargs(ctx, slot + 1, n < 0 ? 0 : n);
    return 0;
}

int h_reset(t_cctx*, int, treeabs*)
{
    kst_reset();
    return 0;
}

int h_pause(t_cctx*, int, treeabs*)
{
    kst_pause();
    return 0;
}

int h_cls(t_cctx*, int, treeabs*)
{
    clrscr();
    return 0;
}

int h_effmac(t_cctx* ctx, int, treeabs* node)
{
    treeabs* a = tree_child(node, 0);
    if (!a || a->kind != TREE_SYMBOL) kst_runerror(ctx, 53);
    else enleve_macro(ctx, tree_string(a, 0));
    return 0;
}

int h_effmacros(t_cctx* ctx, int, treeabs*)
{
    macro_efface_tout(ctx);
    return 0;
}

int h_affmac(t_cctx* ctx, int, treeabs* node)
{
    treeabs* a = tree_child(node, 0);
    if (!a) {
        macro_listall(ctx, g_stdout);
    } else if (a->kind == TREE_SYMBOL) {
        if (t_macro* m = macro_resolve(ctx, tree_string(a, 0), false)) m->display(ctx, g_stdout);
    } else {
        kst_runerror(ctx, 53);
    }
    return 0;
}

// ---------------------------------------------------------------- timing and memory

struct t_chrono {
    double wall = 0, cpu = 0;
};
t_chrono s_start, s_lap;

t_chrono now()
{
    timespec w, c;
    clock_gettime(CLOCK_MONOTONIC, &w);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c);
    return {w.tv_sec + w.tv_nsec * 1e-9, c.tv_sec + c.tv_nsec * 1e-9};
}

void showtime(const t_chrono& since)
{
    t_chrono t = now();
    fprintf(g_stdout, "\t%s : %.6f s (CPU %.6f s)\n", kst_getmsginfo(168), t.wall - since.wall, t.cpu - since.cpu);
}

int h_time_s(t_cctx*, int, treeabs*)
{
    s_start = s_lap = now();
    return 0;
}

int h_time_l(t_cctx*, int, treeabs*)
{
    showtime(s_lap);
    s_lap = now();
    return 0;
}

int h_time_t(t_cctx*, int, treeabs*)
{
    showtime(s_start);
    return 0;
}

int h_mem(t_cctx*, int, treeabs*)
{
    long pages = 0, resident = 0;
    if (FILE* f = fopen("/proc/self/statm", "r")) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        fclose(f);
    }
    fprintf(g_stdout, "\t%s : %ld KiB\n", kst_getmsginfo(217), resident * (sysconf(_SC_PAGESIZE) / 1024));
    return 0;
}

int h_size(t_cctx* ctx, int slot, treeabs* node)
{
    int n = evalargs(ctx, slot + 1, node, 0);
    if (n == 1) {
        const t_idcommon* v = tree_slot_value(ctx, slot + 1);
        if (v) tree_slot_setcoef(ctx, slot, coef_creenumlong_init(ctx, v->Vsize()));
    } else if (n >= 0) {
        kst_runerror(ctx, 53);
    }
    cleanargs(ctx, slot + 1, n < 0 ? 0 : n);
    return 0;
}

// stat x, y, ...: what each identifier holds.
int h_stat(t_cctx* ctx, int, treeabs* node)
{
    for (int i = 0; treeabs* a = tree_child(node, i); i++) {
        t_identry* e = a->kind == TREE_SYMBOL ? recherche_id(ctx, tree_string(a, 0)).entry : nullptr;
        if (!e || !e->value) {
            kst_runerror(ctx, 38);
            return 0;
        }
        e->value->Vgetvalue()->Vstat(ctx, g_stdout);
    }
    return 0;
}

// bilan; or bilan x, ...: the memory held by the global identifiers (or the named ones) and in all.
int h_bilan(t_cctx* ctx, int, treeabs* node)
{
    std::vector<const t_identry*> entries;
    if (!tree_child(node, 0)) {
        kst_globaltree(ctx)->foreach([&](const t_identry& e) { if (e.value) entries.push_back(&e); });
    }
    for (int i = 0; treeabs* a = tree_child(node, i); i++) {
        const t_identry* e = a->kind == TREE_SYMBOL ? recherche_id(ctx, tree_string(a, 0)).entry : nullptr;
        if (!e || !e->value) {
            kst_runerror(ctx, 38);
            return 0;
        }
        entries.push_back(e);
    }
    long total = 0;
    for (const t_identry* e : entries) {
        long bytes = e->value->Vgetvalue()->Vbilan_mem();
        total += bytes;
        fprintf(g_stdout, "\t%s : %s = %ld\n", e->name.c_str(), kst_getmsginfo(140), bytes);
    }
    fprintf(g_stdout, "\t%s = %ld\n", kst_getmsginfo(217), total);
    return 0;
}

// print a, b, ...: displays each value as a statement ending in ";" would.
int h_print(t_cctx* ctx, int slot, treeabs* node)
{
    for (int i = 0; treeabs* a = tree_child(node, i); i++) {
        tree_int(ctx, slot + 1, a);
        if (tree_flags(ctx)) break;
        if (const t_idcommon* v = tree_slot_value(ctx, slot + 1)) v->Vdisplay_resume(ctx, g_stdout);
        tree_run_cleanres(ctx, slot + 1);
    }
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}

// ecriture(x[, "file"][, "text"]) writes x to x.kst in the path (or to file.kst; file.ksF in the
// text form); lecture(x[, "file"][, "text"]) reads x back from the same file.
int storage(t_cctx* ctx, int slot, treeabs* node, bool saving)
{
    treeabs* target = tree_child(node, 0);
    if (!target || target->kind != TREE_SYMBOL || tree_paracount(node) > 3) {
        kst_runerror(ctx, 53);
        return 0;
    }
    int n = evalargs(ctx, slot + 1, node, 1);
    if (n < 0) return 0;
    std::string words[2];
    bool ok = true;
    for (int i = 0; i < n && ok; i++) ok = tree_slot_string(ctx, slot + 1 + i, &words[i]);
    cleanargs(ctx, slot + 1, n);
    if (!ok) {
        kst_runerror(ctx, 53);
        return 0;
    }
    bool text = false;
    std::string file = n >= 1 ? words[0] : "";
    const std::string mode = n == 2 ? words[1] : n == 1 && (words[0] == "text" || words[0] == "binary") ? words[0] : "";
    if (!mode.empty()) {
        if (mode != "text" && mode != "binary") {
            kst_runerror(ctx, 53);
            return 0;
        }
        text = mode == "text";
        if (n == 1) file.clear();
    }
    const char* name = tree_string(target, 0);
    if (kst_issandbox()) {
        kst_runerror(ctx, saving ? 249 : 330, file.empty() ? name : file.c_str());
        return 0;
    }
    if (saving) {
        t_identry* e = recherche_id(ctx, name).entry;
        const t_idcommon* v = e && e->value ? e->value->Vgetvalue() : nullptr;
        if (!v) kst_runerror(ctx, 38);
        else if (text) saveidentificateurF(ctx, v, file.c_str(), "");
        else saveidentificateur(ctx, v, file.c_str(), "");
        return 0;
    }
    const char* from = file.empty() ? name : file.c_str();
    t_idcommon* v = text ? loadidentificateurF(ctx, from, name, file.empty()) : loadidentificateur(ctx, from, name, file.empty());
    if (v) kst_assign(ctx, name, v);
    return 0;
}
int h_ecriture(t_cctx* ctx, int slot, treeabs* node) { return storage(ctx, slot, node, true); }
int h_lecture(t_cctx* ctx, int slot, treeabs* node) { return storage(ctx, slot, node, false); }

} // namespace

// The time of each top-level statement when _time is on, on a clock of its own so that the laps
// of time_l still count from the previous time_l.
namespace {
t_chrono s_statement;
}
void kst_time_statementstart() { s_statement = now(); }
void kst_time_statementend(t_cctx* ctx)
{
    if (ctx->time) showtime(s_statement);
}

void kst_help_register();
void kst_tree_registerfunctions();

// The statement tables of the evaluator (start-up).
void kst_tree_init_statements()
{
    kst_help_register();
    kst_idclass_register();
    for (const t_switch& s : s_switches) kst_tree_setkeywordhandler(s.name, h_switch);
    struct { const char* keyword; t_treehandler h; } table[] = {
        {"_cpu", h_cpu},           {"_modenum", h_modenum},
        {"_modenum_prec", h_modenum_prec}, {"_language", h_textoption}, {"_path", h_textoption},
        {"_history", h_textoption}, {"_userlibrary_path", h_textoption}, 
        {"_read_history", h_textoption},
        {"error", h_error},        {"msg", h_msg},            {"str", h_str},
        {"file_open", h_file_open}, {"file_writemsg", h_file_writemsg}, {"file_close", h_file_close}, {"close", h_file_close},
        {"delete", h_delete},      {"typeof", h_typeof},      {"reset", h_reset},
        {"pause", h_pause},        {"cls", h_cls},            {"effmac", h_effmac},
        {"effmacros", h_effmacros}, {"affmac", h_affmac},  {"time_s", h_time_s},
        {"time_l", h_time_l},      {"time_t", h_time_t},      {"mem", h_mem},
        {"size", h_size},          {"print", h_print},        {"stat", h_stat},
        {"bilan", h_bilan},        {"ecriture", h_ecriture},  {"lecture", h_lecture},
    };
    kst_idstorage_registercore();
    for (auto& e : table) kst_tree_setkeywordhandler(e.keyword, e.h);
    kst_tree_registerfunctions();
}
