// The session: start-up and shutdown, start-up files, running files and texts, the interactive
// read-eval loop, line reading, pause, stop and reset.
#include "interp/kest.h"

#include "interp/cctx.h"
#include "coef/coefnum.h"
#include "interp/error.h"
#include "interp/ids.h"
#include "interp/libstlmacro.h"
#include "interp/parsestate.h"
#include "interp/promptline.h"
#include "interp/rooms.h"
#include "interp/runpile.h"
#include "interp/treeint.h"
#include "interp/treesharedcode.h"
#include "parallel/parallel_init.h"
#include "parallel/zoduv.h"
#include "render/render.h"

#include <gmp.h>
#include <libxml/parser.h>
#include <libxml/xmlversion.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <sys/resource.h>
#include <pthread.h>
#include <sys/select.h>
#include <unistd.h>
#include <vector>

void kst_signalinit();

int g_cpu = 1;

thread_local const char* kst_stackfloor __attribute__((tls_model("initial-exec"))) = nullptr;

namespace {
// Read before every node: the initial-exec model keeps that a plain load.
thread_local const char* s_stackbase __attribute__((tls_model("initial-exec"))) = nullptr;
thread_local size_t s_stacklimit __attribute__((tls_model("initial-exec"))) = 0;
std::atomic<size_t> s_mainstacklimit{0};   // the depth the main thread allows

void setfloor()
{
    auto base = reinterpret_cast<uintptr_t>(s_stackbase);
    kst_stackfloor = base > s_stacklimit ? reinterpret_cast<const char*>(base - s_stacklimit) : nullptr;
}
bool s_sandbox = false;
} // namespace

void kst_stack_setbase()
{
    s_stackbase = static_cast<const char*>(__builtin_frame_address(0));
    struct rlimit rl;
    size_t limit = 8u << 20;
    if (getrlimit(RLIMIT_STACK, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) limit = rl.rlim_cur;
    s_stacklimit = limit > (1u << 20) ? limit - (512u << 10) : limit / 2;
    s_mainstacklimit.store(s_stacklimit, std::memory_order_relaxed);
    setfloor();
}

// A thread that never set its base (the scheduler's workers run task bodies, recursive macros
// included) takes its bounds from the thread library on its first check, so that runaway
// recursion there ends as the same error as on the main thread instead of a crash.
static bool stack_fromthread()
{
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return false;
    void* low = nullptr;
    size_t size = 0;
    bool ok = pthread_attr_getstack(&attr, &low, &size) == 0 && size > 0;
    pthread_attr_destroy(&attr);
    if (!ok) return false;
    const char* here = static_cast<const char*>(__builtin_frame_address(0));
    const char* bottom = static_cast<const char*>(low);
    if (here <= bottom || here > bottom + size) return false;
    // The top of the stack is the base: every frame of the thread lies below it. A recursion
    // gets no deeper than on the main thread with its usual 8 MiB stack (less when the main
    // thread has less), so that where it ends does not depend on which thread ran the task.
    const size_t margin = 512u << 10;
    s_stackbase = bottom + size;
    s_stacklimit = size > 2 * margin ? size - margin : size / 2;
    size_t mainlimit = s_mainstacklimit.load(std::memory_order_relaxed);
    if (!mainlimit || mainlimit > (8u << 20) - margin) mainlimit = (8u << 20) - margin;
    if (mainlimit < s_stacklimit) s_stacklimit = mainlimit;
    setfloor();
    return true;
}

bool kst_stack_exhausted(size_t reserve)
{
    if (!s_stackbase && !stack_fromthread()) return false;
    const char* here = static_cast<const char*>(__builtin_frame_address(0));
    return static_cast<size_t>(s_stackbase - here) + reserve > s_stacklimit;
}

void kst_setsandbox(bool on) { s_sandbox = on; }
bool kst_issandbox() { return s_sandbox; }

namespace {

struct {
    const char* (*readline)(FILE*) = nullptr;
    void (*clearscreen)() = nullptr;
    int (*getkey)(FILE*) = nullptr;
} s_iohooks;

int s_mode = 0;
int s_render = 0;
char* s_workbuffer = nullptr;
int s_intbuflen = 0;
char s_lastinclude[520];
t_cctx* s_session = nullptr;
char* s_readbuf = nullptr;
std::vector<std::string> s_startfiles;     // built once per process

void flushstreams()
{
    fflush(g_stdout);
    fflush(g_stderr);
    fflush(g_stdwarn);
}


// Exhausted memory anywhere in the kernel is fatal error 436, never a crash: the scheduler's task
// records and every C++ container end here. A reserve is given back first so that the report
// itself can still be written; operator new does not tell the size it wanted.
void* s_reserve = nullptr;
[[noreturn]] void nomemory(size_t size)
{
    free(s_reserve);
    s_reserve = nullptr;
    kst_fatalerror(436, static_cast<long>(size), "SYSCHECKMALLOC");
    abort();
}
void nomemory_new() { nomemory(0); }

bool runstartupfiles(t_cctx* ctx)
{
    if (s_sandbox) return false;
    if (s_startfiles.empty()) {
        const char* home = getenv("HOME");
        s_startfiles.push_back(std::string(kst_getkestdir()) + "etc/kest.ini");
        s_startfiles.push_back(std::string(home ? home : "") + "/" + ".kest");
        s_startfiles.push_back(std::string(ctx->getpath()) + "kest.ini");
    }
    bool ran = false;
    for (const std::string& name : s_startfiles) {
        if (FILE* f = fopen(name.c_str(), "rb")) {
            yy_startparsefile(ctx, f, name.c_str());
            ran = true;
        }
    }
    Erreur_Execution = 0;
    return ran;
}

void openhistory(t_cctx* ctx)
{
    if (ctx->historyfile) return;
    ctx->historyname = ctx->historydir + "history.kest";
    ctx->historyfile = fopen(ctx->historyname.c_str(), "w+");
    if (!ctx->historyfile) kst_runwarning(ctx, 5);
}


// Characters the C library has already buffered for the stream (glibc keeps them between the
// read pointer and the end of the read area).
int bufferedinput(FILE* f) { return static_cast<int>(f->_IO_read_end - f->_IO_read_ptr); }

bool inputready(FILE* f)
{
    if (bufferedinput(f) > 0) return true;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fileno(f), &set);
    struct timeval tv = {0, 0};
    return select(fileno(f) + 1, &set, nullptr, nullptr, &tv) > 0;
}

// Parses a text of the host as one program (the shared text does not own it); true when there
// is a tree to run.
bool parse_hosttext(t_cctx* ctx, sttreeparse* st, const char* text)
{
    memset(st, 0, sizeof *st);
    tree_initparse_common(st);
    st->code = treesharedcode_new(nullptr, const_cast<char*>(text), static_cast<int>(strlen(text)), 0);
    treelex_create(st);
    int failed = tree_parse(ctx, st, true);
    treelex_destroy(st);
    return !failed && st->tree && !Erreur_Execution;
}

void runtree(t_cctx* ctx, sttreeparse* st, erunpile kind, const char* name)
{
    elt_runpile* pile = tree_run_setpile(ctx, kind, name, st->code);
    tree_run_statement(ctx, st->tree);
    tree_run_removepile(ctx, pile);
}

} // namespace

// _history = "name": later statements go to that file, after what it already holds.
bool kst_sethistoryfile(t_cctx* ctx, const char* name)
{
    if (s_sandbox) {
        kst_runerror(ctx, 254, name, strerror(EACCES));
        return false;
    }
    FILE* f = fopen(name, "a+");
    if (!f) {
        kst_runerror(ctx, 254, name, strerror(errno));
        return false;
    }
    if (ctx->historyfile) fclose(ctx->historyfile);
    ctx->historyfile = f;
    ctx->historyname = name;
    return true;
}

// ---------------------------------------------------------------- parse state

void tree_initparse_common(sttreeparse* st)
{
    st->tree = nullptr;
    st->stream = nullptr;
    st->spare = nullptr;
    st->comment = nullptr;
    st->pos = 0;
    st->eof = 0;
    st->firsttoken = 1;
}

// ---------------------------------------------------------------- start-up and shutdown

t_cctx* kest_init(int mode, int render)
{
    kst_stack_setbase();
    s_mode = mode;
    s_render = render;
    s_workbuffer = static_cast<char*>(kst_checkmalloc(512000));
    s_intbuflen = (static_cast<int>(strlen("2147483647")) + 4) * 10 + 3;

    g_stdout = stdout;
    g_stdwarn = stdout;
    g_stderr = stderr;

    LIBXML_TEST_VERSION

    kst_language_init();
    kst_parallel_init(kst_getkestdir());
    g_cpu = kst_parallel_cpucount();
    char cpu[32];
    snprintf(cpu, sizeof cpu, "%d", g_cpu);
    setenv("OMP_THREAD_LIMIT", cpu, 1);

    kst_gmp_install();
    s_reserve = malloc(256u << 10);
    ZODUV_setnomemfunc(nomemory);
    std::set_new_handler(nomemory_new);
    kst_signalinit();
    kst_register_languagefile(nullptr, "kest_msg");
    set_language("fr", true);

    s_session = new t_cctx;
    t_cctx::setLocalCctx(s_session);
    s_session->setpath_currentdir();
    s_session->kc.cpu = g_cpu;
    const char* appdir = getenv("LOCALAPPDATA");
    if (!appdir) appdir = getenv("APPDATA");
    s_session->historydir = appdir ? std::string(appdir) + "/" : s_session->path;
    kst_setrender(s_session, render);

    kst_rooms_init(s_session);
    kst_tree_checkhandlers();   // a node the parser can build but nobody evaluates is a bug of this build

    kst_setdefaultlanguage();
    setdefaultprompt_default(s_session);

    atexit(kest_exit);
    kst_libstl_load(kst_getkestdir_sharelibstl());
    kst_id_vtable_memorize_nbflag();

    if (mode == 0) {
        fprintf(g_stdout, "\n              **** BIENVENUE SUR KEST v%s", "1.4.120");
        if (const char* who = getenv("LOGNAME")) fprintf(g_stdout, ", %s", who);
        fprintf(g_stdout, " ****\n\n");
    }
    fprintf(g_stdout, "Taper 'help;' ou '?;' pour obtenir de l'aide\n");
    fprintf(g_stdout, "\n");

    kst_libstl_runstartuphooks();
    openhistory(s_session);
    runstartupfiles(s_session);
    fflush(g_stdout);
    fflush(g_stderr);
    return s_session;
}

t_cctx* inikest() { return kest_init(0, 0); }

void kest_exit()
{
    static bool done = false;
    if (done) return;
    done = true;
    kst_parallel_exit();
    if (s_session && s_session->historyfile) {
        fclose(s_session->historyfile);
        s_session->historyfile = nullptr;
    }
    kst_rooms_release();
    xmlCleanupParser();
    flushstreams();
}

// ---------------------------------------------------------------- files and texts

void yy_startparsefile(t_cctx* ctx, FILE* file, const char* name)
{
    if (!ctx) ctx = t_cctx::getLocalCctx();
    long size = -1;
    if (fseek(file, 0, SEEK_END) == 0) size = ftell(file);
    if (size < 0 || fseek(file, 0, SEEK_SET) != 0) {
        fclose(file);
        return;
    }
    char* text = static_cast<char*>(kst_checkmalloc(static_cast<size_t>(size) + 1, "SYSCHECKMALLOCSIZE"));
    size_t got = fread(text, 1, static_cast<size_t>(size), file);
    bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        free(text);
        return;
    }
    text[got] = 0;
    // Carriage return + line feed becomes space + line feed; a lone carriage return a line feed.
    for (size_t i = 0; i < got; i++)
        if (text[i] == '\r') text[i] = (i + 1 < got && text[i + 1] == '\n') ? ' ' : '\n';

    sttreeparse st;
    memset(&st, 0, sizeof st);
    tree_initparse_common(&st);
    st.code = treesharedcode_new(name, text, static_cast<int>(got), 1);
    treelex_create(&st);
    elt_runpile* pile = tree_run_setpile(ctx, RUNPILE_FILE, name, st.code);
    int failedparse = tree_parse(ctx, &st, true);
    if (failedparse && treelex_incomment(&st) > 0) {
        treelex_resetmode(&st);
        kst_runerror(ctx, 476, name);
    }
    if (!failedparse && st.tree && !Erreur_Execution) tree_run_statement(ctx, st.tree);
    if (failedparse) {
        tree_delete(st.comment);
        st.comment = nullptr;
    }
    tree_run_removepile(ctx, pile);
    tree_delete(st.tree);
    treelex_destroy(&st);
    treesharedcode_detach(st.code);
    fflush(g_stdout);
    fflush(g_stderr);
    fflush(g_stdwarn);
}

void kst_include(t_cctx* ctx, const char* name, bool remember)
{
    if (!ctx) ctx = t_cctx::getLocalCctx();
    if (kst_stack_exhausted(256u << 10)) {
        kst_runerror(ctx, 8);
        return;
    }
    if (s_sandbox) {
        kst_runerror(ctx, 6, name ? name : "");
        return;
    }
    bool given = name != nullptr;
    char remembered[520];
    if (!given) {
        snprintf(remembered, sizeof remembered, "%s", s_lastinclude);
        name = remembered;
    }
    const char* prefixes[3] = {ctx->getpath(), "", kst_getkestdir_sharelib()};
    for (const char* prefix : prefixes) {
        // Candidates are cut at 520 characters.
        std::string candidate = std::string(prefix) + name;
        if (candidate.size() > 520) candidate.resize(520);
        if (FILE* f = fopen(candidate.c_str(), "rb")) {
            elt_runpile* pile = tree_run_getpile(ctx);
            if (given && (remember || (pile && pile->kind == RUNPILE_INTERACTIVE)))
                snprintf(s_lastinclude, sizeof s_lastinclude, "%s", candidate.c_str());
            yy_startparsefile(ctx, f, candidate.c_str());
            return;
        }
    }
    kst_runerror(ctx, 6, name);
}

int kest(char* text)
{
    t_cctx* ctx = t_cctx::getLocalCctx();
    sttreeparse st;
    bool parsed = parse_hosttext(ctx, &st, text);
    if (parsed) {
        runtree(ctx, &st, RUNPILE_STRING, nullptr);
    } else {
        tree_delete(st.comment);
        st.comment = nullptr;
    }
    tree_delete(st.tree);
    treesharedcode_detach(st.code);
    fflush(g_stdout);
    fflush(g_stderr);
    return fflush(g_stdwarn);
}

int Mkest(const char* first, ...)
{
    char buffer[1000];
    size_t used = 0;
    va_list ap;
    va_start(ap, first);
    for (const char* piece = first; piece; piece = va_arg(ap, const char*)) {
        size_t len = strlen(piece);
        if (used + len >= sizeof buffer) len = sizeof buffer - 1 - used;
        memcpy(buffer + used, piece, len);
        used += len;
    }
    va_end(ap);
    buffer[used] = 0;
    return kest(buffer);
}

namespace {
// Runs `text` on a pile of kind 4 whose locals are the (name, 2, value) groups of `ap`.
// Returns the pile still pushed (the caller looks up and pops it), or null when nothing ran.
elt_runpile* runwithparameters(const char* entry, const char* text, va_list ap, bool* ran)
{
    t_cctx* ctx = t_cctx::getLocalCctx();
    *ran = false;
    struct binding { const char* name; t_idcommon* value; };
    std::vector<binding> bindings;
    while (const char* name = va_arg(ap, const char*)) {
        int type = va_arg(ap, int);
        void* value = va_arg(ap, void*);
        if (type != 2) kst_iceerror(1010, entry, type);
        bindings.push_back({name, static_cast<t_idcommon*>(value)});
    }
    sttreeparse st;
    elt_runpile* pile = nullptr;
    if (parse_hosttext(ctx, &st, text)) {
        pile = tree_run_setpile(ctx, RUNPILE_STRING, nullptr, st.code);
        // The host keeps its objects: the bindings hold copies.
        for (const binding& b : bindings)
            macro_affect_parametre_valeur(ctx, b.name, t_macroarg::newvalue(b.value ? b.value->Vcopy() : nullptr),
                                          &pile->parameters);
        tree_run_statement(ctx, st.tree);
        *ran = true;
    } else {
        tree_delete(st.comment);
    }
    tree_delete(st.tree);
    treesharedcode_detach(st.code);
    flushstreams();
    return pile;
}
} // namespace

void Mkestpar(const char* text, ...)
{
    va_list ap;
    va_start(ap, text);
    bool ran;
    elt_runpile* pile = runwithparameters("Mkestpar", text, ap, &ran);
    va_end(ap);
    if (pile) tree_run_removepile(t_cctx::getLocalCctx(), pile);
}

t_idcommon* Mkestparandreturnid(const char* idname, const char* text, ...)
{
    va_list ap;
    va_start(ap, text);
    bool ran;
    elt_runpile* pile = runwithparameters("Mkestparandreturnid", text, ap, &ran);
    va_end(ap);
    t_cctx* ctx = t_cctx::getLocalCctx();
    t_idcommon* copy = nullptr;
    if (ran && !Erreur_Execution) copy = valeur_idcopy(ctx, recherche_id(ctx, idname).entry);
    if (pile) tree_run_removepile(ctx, pile);
    return copy;
}

// ---------------------------------------------------------------- the read-eval loop

void yy_startparse()
{
    t_cctx* ctx = t_cctx::getLocalCctx();
    // An error left over from a host text or file has nothing to do with the first statement.
    Erreur_Execution = 0;
    elt_runpile* pile = tree_run_setpile(ctx, RUNPILE_INTERACTIVE, nullptr, nullptr);
    sttreeparse st;
    memset(&st, 0, sizeof st);
    tree_initparse_common(&st);
    treelex_create(&st);
    int result = 0;
    do {
        tree_initparse_common(&st);
        st.stream = stdin;
        pile->parse = &st;
        setprompt_radical(treelex_getmode(&st));
        flushstreams();

        int failed = tree_parse(ctx, &st, false);
        if (!failed && st.tree && !Erreur_Execution) {
            pile->source = st.code;
            treesharedcode_attach(st.code);
            result = tree_run_statement(ctx, st.tree);
            treesharedcode_detach(pile->source);
            pile->source = nullptr;
        }
        tree_delete(st.tree);
        st.tree = nullptr;
        if (Erreur_Execution) {
            if (!feof(stdin) && !ferror(stdin)) free(kst_flushreadchar(stdin));
            clearerr(stdin);
            treelex_flushbuffer(&st);
            treesharedcode_detach(st.code);
            st.code = nullptr;
            tree_delete(st.comment);
            st.comment = nullptr;
            setprompt_reset();
        } else if (st.code) {
            treesharedcode* old = st.code;
            st.code = nullptr;
            int rest = old->length - st.pos;
            if (rest > 0) {
                st.code = treesharedcode_new(nullptr, nullptr, 0, 1);
                treesharedcode_append(st.code, old->text + st.pos, rest);
            }
            treesharedcode_detach(old);
        }
        flushstreams();
        Erreur_Execution = 0;
    } while (!st.eof && !ferror(stdin) && result == 0);
    pile->parse = nullptr;
    treelex_destroy(&st);
    treesharedcode_detach(st.code);
    tree_run_removepile(ctx, pile);
}

// ---------------------------------------------------------------- terminal I/O

void kst_setfunchook_iochar(const char* (*readline)(FILE*), void (*clearscreen)(), int (*getkey)(FILE*))
{
    s_iohooks.readline = readline;
    s_iohooks.clearscreen = clearscreen;
    s_iohooks.getkey = getkey;
}

const char* kst_readchar(FILE* stream)
{
    if (s_iohooks.readline) return s_iohooks.readline(stream);
    fputs(kst_getprompt(), g_stdout);
    flushstreams();
    if (!s_readbuf) s_readbuf = static_cast<char*>(kst_checkmalloc(512));
    if (!fgets(s_readbuf, 511, stream)) {
        free(s_readbuf);
        s_readbuf = nullptr;
        return nullptr;
    }
    return s_readbuf;
}

char* kst_flushreadchar(FILE* stream)
{
    thread_local std::vector<char> buf;
    buf.clear();
    while (inputready(stream)) {
        int c = fgetc(stream);
        if (c == EOF || c == 255) break;
        buf.push_back(c == '\r' ? '\n' : static_cast<char>(c));
    }
    if (buf.size() < 2) return nullptr;
    buf.back() = 0;   // the collected text without its last character
    return strdup(buf.data());
}

int kst_pause()
{
    if (s_sandbox) return 0;
    t_cctx* ctx = t_cctx::getLocalCctx();
    fputs(kst_getmsginfo(54), g_stdout);
    flushstreams();
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next) {
        if (p->kind == RUNPILE_INTERACTIVE && p->parse) {
            if (char* ahead = kst_flushreadchar(stdin)) {
                sttreeparse* st = p->parse;
                if (!st->code) st->code = treesharedcode_new(nullptr, nullptr, 0, 1);
                treesharedcode_append(st->code, ahead, static_cast<int>(strlen(ahead)));
                free(ahead);
            }
            break;
        }
    }
    if (s_iohooks.getkey) {
        if (s_iohooks.getkey(stdin) == 1) Erreur_Execution = 1;
        return 0;
    }
    return fgetc(stdin);
}

void clrscr()
{
    if (s_iohooks.clearscreen) {
        s_iohooks.clearscreen();
        return;
    }
    t_cctx* ctx = t_cctx::getLocalCctx();
    int kind = ctx->getrender() ? ctx->getrender()->getkind() : 0;
    if (kind == 0 || kind == 3) {
        fputs("\033[H\033[2J", g_stdout);
        fflush(g_stdout);
    }
}

// ---------------------------------------------------------------- stop and reset

void kst_stop()
{
    t_cctx* ctx = s_session ? s_session : t_cctx::getLocalCctx();
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next) {
        switch (p->kind) {
        case RUNPILE_FOR:
        case RUNPILE_WHILE:
        case RUNPILE_MACRO:
        case RUNPILE_LIBMACRO: __atomic_store_n(&ctx->kc.stopflag, 1, __ATOMIC_RELAXED); return;
        default: kst_runwarning(ctx, 3); return;
        }
    }
    __atomic_store_n(&ctx->kc.stopflag, 1, __ATOMIC_RELAXED);
}

void kst_reset_reloadstl(bool reload)
{
    t_cctx* ctx = t_cctx::getLocalCctx();
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next) {
        if (p->kind == RUNPILE_FOR || p->kind == RUNPILE_WHILE || tree_run_getpile_isinmacroexecution(p)) {
            kst_runerror(ctx, 88);
            return;
        }
    }
    tree_run_reset(ctx);
    ctx->reset();
    ctx->setpath_currentdir();
    if (reload) kst_libstl_unload();
    kst_rooms_reset(ctx);
    if (reload) {
        kst_libstl_load(kst_getkestdir_sharelibstl());
        if (!ctx->userlibrarypath.empty()) kst_libstl_load(ctx->userlibrarypath.c_str());
        kst_libstl_runstartuphooks();
        runstartupfiles(ctx);
    }
}

void kst_reset() { kst_reset_reloadstl(true); }

void kst_resetinclude()
{
    kst_reset();
    kst_include(t_cctx::getLocalCctx(), nullptr, false);
}
