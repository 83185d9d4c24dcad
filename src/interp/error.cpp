// Languages, catalogue look-ups and the five ways of reporting: run-time errors, parse errors,
// warnings/information, internal errors and fatal errors.
#include <sys/mman.h>
#include "interp/error.h"

#include "interp/catalog.h"
#include "interp/cctx.h"
#include "interp/icetexts.h"
#include "interp/kest.h"
#include "interp/runpile.h"
#include "interp/treesharedcode.h"
#include "render/render.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <strings.h>
#include <vector>

extern "C" {
std::atomic<int> Erreur_Execution{0};
}
FILE* g_stdout = stdout;
FILE* g_stdwarn = stdout;
FILE* g_stderr = stderr;
char* g_szLanguage = nullptr;

namespace {

const char* const s_languages[] = {"fr", "en"};
constexpr int s_nlanguages = 2;
const char* const s_unknown = "message inconnu";

std::vector<std::array<int, s_nlanguages>> s_catalogues;   // registered catalogues, per language
std::recursive_mutex s_mutex_error;                        // serialises error display
std::mutex s_mutex_language;                               // serialises catalogue look-ups

struct {
    kst_hookfatal_t fatal = nullptr;
    kst_hookice_t ice = nullptr;
    kst_hookmsg_t msg = nullptr;
} s_hookfunc_error;

kst_elt_tab_namefunc s_elt_tab_name = nullptr;

// Workers read the flag while a task may set it: an atomic store keeps that well defined.
void kst_seterrorflag() { Erreur_Execution.store(1, std::memory_order_relaxed); }

// Each thread keeps its last ten fetched texts alive.
struct t_msgring {
    char slots[10][1024];
    int next = 0;
};
thread_local t_msgring s_ring;

int language_index(const char* lang)
{
    for (int i = 0; i < s_nlanguages; i++)
        if (lang && strcmp(lang, s_languages[i]) == 0) return i;
    return -1;
}

void flushall()
{
    fflush(g_stdout);
    fflush(g_stdwarn);
    fflush(g_stderr);
}

t_tree_loc* pile_loc(elt_runpile* pile) { return pile ? &pile->loc : nullptr; }

void call_msghook(t_cctx* ctx, const t_tree_loc* loc, const char* text)
{
    if (!s_hookfunc_error.msg) return;
    if (!loc) {
        s_hookfunc_error.msg(nullptr, 0, 0, 0, 0, 0, text);
        return;
    }
    s_hookfunc_error.msg(kst_run_getcurrentfilename(ctx), loc->first_line, loc->start_offset,
                         loc->first_column, loc->last_line, loc->last_column, text);
}

t_cctx* current_ctx(t_cctx* ctx) { return ctx ? ctx : t_cctx::getLocalCctx(); }

// Shared tail of every run-time error once its text is formatted.
void report_runerror(t_cctx* ctx, const char* text, const t_tree_loc* explicitloc = nullptr)
{
    ctx = current_ctx(ctx);
    elt_runpile* pile = tree_run_getpile(ctx);
    t_tree_loc loc = explicitloc ? *explicitloc : (pile ? pile->loc : t_tree_loc{});
    if (tree_run_getpile_isintrystatement(pile) && !ctx->info) {
        kst_seterrorflag();
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(s_mutex_error);
    kst_disperror(pile, pile ? pile->source : nullptr, &loc, text);
    call_msghook(ctx, pile ? &loc : nullptr, text);
}

} // namespace

// ---------------------------------------------------------------- languages and catalogues

void kst_language_init()
{
    if (!g_szLanguage) g_szLanguage = strdup("fr");
}

void kst_language_release()
{
    for (auto& handles : s_catalogues)
        for (int h : handles) kst_catclose(h);
    s_catalogues.clear();
}

int set_languagefile(const char* dir, const char* name, const char* lang, bool quiet)
{
    std::string defaultdir;
    if (!dir) {
        std::string top = kst_getkestdir();
        if (!top.empty() && top.back() == '/') top.pop_back();
        char buf[1024];
        snprintf(buf, sizeof buf, "%s/share/locale/%s/LC_MESSAGES/", top.c_str(), lang);
        defaultdir = buf;
        dir = defaultdir.c_str();
    }
    char path[1024];
    snprintf(path, sizeof path, "%s%s%s.cat", dir, name, lang);
    int handle = kst_catopen(path);
    if (handle == kst_catbad && !quiet) kst_fatalerror(10042, path);
    return handle;
}

int kst_register_languagefile(const char* dir, const char* name)
{
    std::array<int, s_nlanguages> handles;
    for (int i = 0; i < s_nlanguages; i++) handles[i] = set_languagefile(dir, name, s_languages[i], false);
    s_catalogues.push_back(handles);
    return static_cast<int>(s_catalogues.size() - 1);
}

const char* kst_getlanguage() { return g_szLanguage ? g_szLanguage : "fr"; }

bool set_language(const char* lang, bool quiet)
{
    if (lang && strcasecmp(lang, kst_getlanguage()) == 0) return true;
    if (language_index(lang) < 0) {
        if (!quiet) kst_runerror(474, lang ? lang : "");
        return false;
    }
    std::lock_guard<std::mutex> lock(s_mutex_language);
    free(g_szLanguage);
    g_szLanguage = strdup(lang);
    return true;
}

// Linux has no separate interface language: an unset or unknown LANG means a non-French system.
void kst_setdefaultlanguage()
{
    for (const char* var : {"LANG", "LC_MESSAGES"}) {
        const char* value = getenv(var);
        if (!value) continue;
        char two[3] = {0, 0, 0};
        strncpy(two, value, 2);
        if (strlen(two) == 2 && language_index(two) >= 0) {
            set_language(two, true);
            return;
        }
    }
    set_language("en", true);
}

int kst_getlanguagemsg(int catalogue)
{
    int lang = language_index(kst_getlanguage());
    if (lang < 0 || catalogue < 0 || static_cast<size_t>(catalogue) >= s_catalogues.size()) return -1;
    return s_catalogues[catalogue][lang];
}

const char* kst_getlanguage_catgets(int handle, int set, int number, const char* deftext)
{
    char* slot = s_ring.slots[s_ring.next];
    s_ring.next = (s_ring.next + 1) % 10;
    std::lock_guard<std::mutex> lock(s_mutex_language);
    snprintf(slot, 1024, "%s", kst_catgets(handle, set, number, deftext));
    return slot;
}

const char* kst_getmsginfoid(int catalogue, int number)
{
    return kst_getlanguage_catgets(kst_getlanguagemsg(catalogue), KST_SET_INFO, number, s_unknown);
}
const char* kst_getmsginfo(int number) { return kst_getmsginfoid(0, number); }
const char* kst_getmsgerror(int number)
{
    return kst_getlanguage_catgets(kst_getlanguagemsg(0), KST_SET_ERROR, number, s_unknown);
}
const char* kst_getmsgwarning(int number)
{
    return kst_getlanguage_catgets(kst_getlanguagemsg(0), KST_SET_WARNING, number, s_unknown);
}

// ---------------------------------------------------------------- run-time errors

void kst_vrunerror(t_cctx* ctx, int number, va_list ap)
{
    char text[1024];
    vsnprintf(text, sizeof text, kst_getmsgerror(number), ap);
    report_runerror(ctx, text);
}

void kst_runerror(int number, ...)
{
    va_list ap;
    va_start(ap, number);
    kst_vrunerror(nullptr, number, ap);
    va_end(ap);
}

void kst_runerror(t_cctx* ctx, int number, ...)
{
    va_list ap;
    va_start(ap, number);
    kst_vrunerror(ctx, number, ap);
    va_end(ap);
}

void kst_runerror(const char* text) { report_runerror(nullptr, text); }
void kst_runerror(t_cctx* ctx, const char* text) { report_runerror(ctx, text); }

void kst_runerrorid(int catalogue, int number, ...)
{
    int handle = kst_getlanguagemsg(catalogue);
    const char* fmt = handle < 0 ? "" : kst_getlanguage_catgets(handle, KST_SET_ERROR, number, s_unknown);
    char text[1024];
    va_list ap;
    va_start(ap, number);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    report_runerror(nullptr, text);
}

void kst_runlocerror(t_cctx* ctx, t_tree_loc loc, int number, ...)
{
    char text[1024];
    va_list ap;
    va_start(ap, number);
    vsnprintf(text, sizeof text, kst_getmsgerror(number), ap);
    va_end(ap);
    report_runerror(ctx, text, &loc);
}

void kst_set_elt_tab_namefunc(kst_elt_tab_namefunc f) { s_elt_tab_name = f; }

void kst_runerror_elt_tab(const char* arrayname, list_elt_tab* indices, int number, ...)
{
    char text[1024];
    int used = 0;
    if (s_elt_tab_name) used = s_elt_tab_name(text, sizeof text, arrayname, indices);
    else used = snprintf(text, sizeof text, "%s", arrayname ? arrayname : "");
    used = std::clamp(used, 0, static_cast<int>(sizeof text) - 1);
    va_list ap;
    va_start(ap, number);
    vsnprintf(text + used, sizeof text - used, kst_getmsgerror(number), ap);
    va_end(ap);
    report_runerror(nullptr, text);
}

// ---------------------------------------------------------------- warnings and information

static void vrunmessage(t_cctx* ctx, int catalogue, int set, int number, va_list ap)
{
    if (ctx && !ctx->info) return;
    char text[1024];
    const char* fmt = kst_getlanguage_catgets(kst_getlanguagemsg(catalogue), set, number, s_unknown);
    vsnprintf(text, sizeof text, fmt, ap);
    flushall();
    t_render* r = kst_cctx_getrender(ctx, g_stdwarn);
    if (r) {
        r->Vrender_unsafe(" Information : ");
        r->Vrender_unsafe(text);
        r->writenewline();
    } else {
        fprintf(g_stdwarn, " Information : %s\n", text);
    }
}

void kst_runwarning(t_cctx* ctx, int number, ...)
{
    va_list ap;
    va_start(ap, number);
    vrunmessage(current_ctx(ctx), 0, KST_SET_WARNING, number, ap);
    va_end(ap);
}

void kst_runwarning(int number, ...)
{
    va_list ap;
    va_start(ap, number);
    vrunmessage(t_cctx::getLocalCctx(), 0, KST_SET_WARNING, number, ap);
    va_end(ap);
}

void kst_runinfoid(int catalogue, int number, ...)
{
    va_list ap;
    va_start(ap, number);
    vrunmessage(t_cctx::getLocalCctx(), catalogue, KST_SET_INFO, number, ap);
    va_end(ap);
}

void kst_runinfo(int number, ...)
{
    va_list ap;
    va_start(ap, number);
    vrunmessage(t_cctx::getLocalCctx(), 0, KST_SET_INFO, number, ap);
    va_end(ap);
}

// ---------------------------------------------------------------- parse errors

void kst_parserror(t_cctx* ctx, treesharedcode* code, t_tree_loc* loc, const char* text)
{
    ctx = current_ctx(ctx);
    if (!text || strcmp(text, "parse error") == 0 || strcmp(text, "syntax error") == 0)
        text = kst_getmsgerror(291);
    std::lock_guard<std::recursive_mutex> lock(s_mutex_error);
    kst_disperror(tree_run_getpile(ctx), code, loc, text);
    if (s_hookfunc_error.msg) {
        const char* file = code ? code->name : nullptr;
        if (loc)
            s_hookfunc_error.msg(file, loc->first_line, loc->start_offset, loc->first_column,
                                 loc->last_line, loc->last_column, nullptr);
        else
            s_hookfunc_error.msg(file, 0, 0, 0, 0, 0, nullptr);
    }
}

// ---------------------------------------------------------------- display

void kst_disperror(elt_runpile* pile, treesharedcode* code, t_tree_loc* loc, const char* text)
{
    flushall();
    if (Erreur_Execution) return;   // only the first error of a statement is shown
    t_render* r = kst_cctx_getrender(g_stdout, g_stderr);
    if (r) r->writebeginE();
    int line = (loc && loc->first_line != -1) ? loc->first_line : 1;
    fprintf(g_stderr, "KEST[ %d ] : %s\n", line, text);
    kst_dispmessage(g_stderr, pile, code, loc);
    if (r) r->writeendE();
    fflush(g_stderr);
    kst_seterrorflag();
}

void kst_dispmessage(FILE* stream, elt_runpile* pile, treesharedcode* code, t_tree_loc* loc)
{
    if (loc && loc->isvalid() && code && code->text && loc->start_offset < code->length) {
        const char* prefix = kst_getmsginfo(33);
        fputs(prefix, stream);
        int printed = 0;
        for (int i = loc->start_offset; i < code->length && code->text[i] != '\n'; i++, printed++)
            fputc(isspace(static_cast<unsigned char>(code->text[i])) ? ' ' : code->text[i], stream);
        fputs("'\n\t", stream);
        // Both lines begin with a tab: what follows the prefix's tab sets the caret column.
        int pad = static_cast<int>(strlen(prefix)) - (prefix[0] == '\t' ? 1 : 0);
        int first = loc->first_column - loc->start_offset;
        int last = loc->last_column - loc->start_offset;   // the construct's last character
        for (int i = 0; i < pad + std::max(first, 0); i++) fputc(' ', stream);
        for (int c = std::max(first, 0); c <= last && c < printed; c++) fputc('^', stream);
        if (last >= printed) fputs("...", stream);
        fputc('\n', stream);
    }
    int shown = 0;
    bool firstfile = true;
    for (elt_runpile* p = pile; p; p = p->next) {
        if (shown == 20) {
            fputs(kst_getmsginfo(39), stream);
            break;
        }
        shown++;
        switch (p->kind) {
        case RUNPILE_MACRO:
        case RUNPILE_LIBMACRO: fprintf(stream, kst_getmsginfo(34), p->name ? p->name : ""); break;
        case RUNPILE_FOR: fputs(kst_getmsginfo(35), stream); break;
        case RUNPILE_WHILE: fputs(kst_getmsginfo(36), stream); break;
        case RUNPILE_FILE:
            if (firstfile && loc && loc->isvalid())
                fprintf(stream, kst_getmsginfo(37), loc->first_line, p->name ? p->name : "");
            else
                fprintf(stream, kst_getmsginfo(38), p->name ? p->name : "");
            firstfile = false;
            break;
        case RUNPILE_STRING:
            if (p->name) fprintf(stream, kst_getmsginfo(141), p->name);
            break;
        case RUNPILE_INTERACTIVE: break;
        }
    }
    fflush(stream);
}

// ---------------------------------------------------------------- internal and fatal errors

// Shows the report of an error that ends the process: always shown, whatever the flag says.
// Gives the location and file name for the hook.
static const char* display_final_report(const char* report, t_tree_loc* loc)
{
    Erreur_Execution = 0;
    t_cctx* ctx = t_cctx::getLocalCctx();
    elt_runpile* pile = tree_run_getpile(ctx);
    {
        std::lock_guard<std::recursive_mutex> lock(s_mutex_error);
        kst_disperror(pile, pile ? pile->source : nullptr, pile_loc(pile), report);
    }
    fflush(g_stderr);
    *loc = pile ? pile->loc : t_tree_loc{};
    return kst_run_getcurrentfilename(ctx);
}

void kst_iceerror(int number, const char* function, ...)
{
    const char* fmt = s_unknown;
    auto it = std::lower_bound(std::begin(s_ice_texts), std::end(s_ice_texts), number,
                               [](const t_ice_text& t, int n) { return t.number < n; });
    if (it != std::end(s_ice_texts) && it->number == number) fmt = it->text;
    char text[1024];
    va_list ap;
    va_start(ap, function);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    char report[2048];
    snprintf(report, sizeof report,
             "Desole, vous venez de trouver un bug interne.\nContactez les auteurs de kest.\n"
             "dans la fonction %s\nInformations systeme : %s.\n",
             function ? function : "", text);
    t_tree_loc loc;
    const char* file = display_final_report(report, &loc);
    if (s_hookfunc_error.ice)
        s_hookfunc_error.ice(file, loc.first_line, loc.start_offset, loc.first_column, loc.last_line,
                             loc.last_column, number, report);
    exit(1);
}

void kst_fatalerror(int number, ...)
{
    va_list ap;
    va_start(ap, number);
    if (number == 10042 || number == 10043) {
        const char* path = va_arg(ap, const char*);
        va_end(ap);
        FILE* err = g_stderr ? g_stderr : stderr;
        fflush(g_stdout);
        fprintf(err, "Impossible d'ouvrir le fichier '%s'.\nArret de KEST.\nVerifiez votre installation!\n\n", path);
        if (number == 10042)
            fprintf(err, "Can't find '%s'.\nKEST exits.\nCheck your installation !\n\n", path);
        else
            fprintf(err, "Can't load the file '%s'.\nKEST exits.\nCheck your installation !\n\n", path);
        fflush(err);
        if (s_hookfunc_error.fatal) s_hookfunc_error.fatal(nullptr, 0, 0, 0, 0, 0);
        exit(1);
    }
    char text[1024];
    vsnprintf(text, sizeof text, kst_getmsgerror(number), ap);
    va_end(ap);
    char report[2048];
    snprintf(report, sizeof report, "Arret immediat de KEST.\nInformations systeme : %s.\n", text);
    t_tree_loc loc;
    const char* file = display_final_report(report, &loc);
    if (s_hookfunc_error.fatal)
        s_hookfunc_error.fatal(file, loc.first_line, loc.start_offset, loc.first_column, loc.last_line,
                               loc.last_column);
    signal(SIGABRT, SIG_DFL);   // the abort must not pass through the goodbye handler
    abort();
}

// ---------------------------------------------------------------- hooks

void kst_setfunchook_fatalerror(int key, kst_hookfatal_t hook)
{
    if (key == kst_hookkey) s_hookfunc_error.fatal = hook;
}
void kst_setfunchook_iceerror(int key, kst_hookice_t hook)
{
    if (key == kst_hookkey) s_hookfunc_error.ice = hook;
}
void kst_setfunchook_msgerror(int key, kst_hookmsg_t hook)
{
    if (key == kst_hookkey) s_hookfunc_error.msg = hook;
}

// ---------------------------------------------------------------- memory

void* kst_checkmalloc(size_t size, const char* tag)
{
    void* p = malloc(size ? size : 1);
    if (!p) kst_fatalerror(436, static_cast<long>(size), tag);
    return p;
}

void* kst_checkmalloc_huge(size_t size, const char* tag)
{
    constexpr size_t huge = size_t(2) << 20;
    if (size < huge) return kst_checkmalloc(size, tag);
    void* p = nullptr;
    if (posix_memalign(&p, huge, size) != 0) kst_fatalerror(436, static_cast<long>(size), tag);
    // Only a hint: without transparent huge pages the block works the same.
    madvise(p, size & ~(huge - 1), MADV_HUGEPAGE);
    return p;
}

size_t kst_checkmulsize(size_t a, size_t b)
{
    size_t r;
    if (__builtin_mul_overflow(a, b, &r)) kst_fatalerror(375, static_cast<long>(a));
    return r;
}
