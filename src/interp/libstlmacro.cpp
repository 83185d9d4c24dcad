// Library macros: loading from the library macro directory, attributes from active comments,
// start-up hooks and resolution of a call by its number of arguments.
#include "interp/libstlmacro.h"

#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/macro.h"
#include "interp/parsestate.h"
#include "interp/rooms.h"
#include "interp/runpile.h"
#include "interp/treeabs.h"
#include "interp/treesharedcode.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct t_macrostl1 {
    std::unique_ptr<t_macro> macro;
    bool oninit = false;
    bool isprivate = false;
    bool isextern = false;   // called under the rules of external functions
};

struct t_macrostl {
    std::vector<std::unique_ptr<t_macrostl1>> overloads;
};

} // namespace

struct t_macrostltable {
    std::map<std::string, t_macrostl, std::less<>> byname;
    std::vector<std::string> order;   // names in loading order, for the start-up hooks
};

namespace {

t_macrostltable* tableof(t_cctx* ctx)
{
    if (!ctx->libstl) ctx->libstl = new t_macrostltable;
    return ctx->libstl;
}

struct t_pendingattributes {
    bool oninit = false, isprivate = false, isextern = false;
    std::string overload;
};

// Reads one active comment into `a`; false when it is not of a known form.
bool activecomment(const char* text, t_pendingattributes& a)
{
    std::string t = text;
    auto quoted = [&](const char* key, std::string& out) {
        size_t k = t.find(key);
        if (k == std::string::npos) return false;
        size_t start = k + strlen(key);
        size_t end = t.find('"', start);
        if (end == std::string::npos || end == start) return false;
        out = t.substr(start, end - start);
        return true;
    };
    std::string value;
    if (t.find("attribute=\"") != std::string::npos) {
        if (!quoted("attribute=\"", value)) return false;
        if (value == "oninit") a.oninit = true;
        else if (value == "private") a.isprivate = true;
        else return false;
        return true;
    }
    if (t.find("overload=\"") != std::string::npos) return quoted("overload=\"", a.overload);
    if (t.find(" extern_function") == std::string::npos) return false;
    a.isextern = true;
    return true;
}

cellule_parametre* parameters(treeabs* params)
{
    std::vector<std::string> names;
    for (int i = 0; treeabs* p = tree_child(params, i); i++)
        names.push_back(p->kind == TREE_ELLIPSIS ? "..." : tree_string(p, 0));
    return cellule_parametre_new(names);
}

// Keeps the macros defined at the top level of one parsed file.
int collect(t_cctx* ctx, treeabs* program, treesharedcode* code)
{
    int loaded = 0;
    std::vector<treeabs*> statements;
    if (program && program->kind == TREE_STATEMENT) statements.push_back(program);
    else
        for (int i = 0; treeabs* s = tree_child(program, i); i++) statements.push_back(s);
    t_macrostltable* table = tableof(ctx);
    for (treeabs* st : statements) {
        if (st->kind != TREE_STATEMENT) continue;
        t_pendingattributes attrs;
        treeabs* comments = tree_child(st, 0);
        for (int i = 0; treeabs* c = tree_child(comments, i); i++) {
            if (c->kind == TREE_COMMENT_ACTIVE && !activecomment(tree_string(c, 0), attrs)) {
                kst_runerror(ctx, 9);
                return loaded;
            }
        }
        treeabs* def = tree_child(tree_child(st, 1), 0);
        if (!def || def->kind != TREE_MACRODEF) continue;
        const char* name = tree_string(def, 0);
        std::string key = attrs.overload.empty() ? name : attrs.overload;
        auto entry = std::make_unique<t_macrostl1>();
        entry->macro = std::make_unique<t_macro>(key.c_str(), parameters(tree_child(def, 1)), code,
                                                 tree_opt_macro(tree_dup(tree_child(def, 2))), nullptr, nullptr);
        entry->oninit = attrs.oninit;
        entry->isprivate = attrs.isprivate;
        entry->isextern = attrs.isextern;
        auto& slot = table->byname[key];
        // A variant with the same number of arguments replaces the one loaded before.
        int nargs = entry->macro->getnbargs();
        bool optional = entry->macro->hasoptionalargs();
        auto same = std::find_if(slot.overloads.begin(), slot.overloads.end(), [&](const auto& o) {
            return o->macro->getnbargs() == nargs && o->macro->hasoptionalargs() == optional;
        });
        if (same != slot.overloads.end()) *same = std::move(entry);
        else slot.overloads.push_back(std::move(entry));
        if (std::find(table->order.begin(), table->order.end(), key) == table->order.end()) table->order.push_back(key);
        loaded++;
    }
    return loaded;
}

int loadfile(t_cctx* ctx, const std::string& path)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return 0;
    std::string text;
    char buf[8192];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    fclose(f);
    for (char& c : text)
        if (c == '\r') c = '\n';
    char* owned = strdup(text.c_str());
    sttreeparse st;
    memset(&st, 0, sizeof st);
    tree_initparse_common(&st);
    st.code = treesharedcode_new(path.c_str(), owned, static_cast<int>(text.size()), 1);
    treelex_create(&st);
    elt_runpile* pile = tree_run_setpile(ctx, RUNPILE_FILE, path.c_str(), st.code);
    int loaded = 0;
    if (tree_parse(ctx, &st, true) == 0 && !Erreur_Execution) loaded = collect(ctx, st.tree, st.code);
    tree_run_removepile(ctx, pile);
    tree_delete(st.tree);
    tree_delete(st.comment);
    treelex_destroy(&st);
    treesharedcode_detach(st.code);
    return loaded;
}

int scan(t_cctx* ctx, const std::string& dir, bool report)
{
    DIR* d = opendir(dir.c_str());
    if (!d) {
        if (report) kst_runerror(ctx, 307, dir.c_str(), strerror(errno));
        return 0;
    }
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());   // the same order on every system
    int loaded = 0;
    for (const std::string& name : names) {
        std::string path = dir + (dir.empty() || dir.back() == '/' ? "" : "/") + name;
        struct stat sb;
        if (stat(path.c_str(), &sb) != 0) continue;
        if (S_ISDIR(sb.st_mode)) loaded += scan(ctx, path, report);
        else if (name.size() > 2 && name.compare(name.size() - 2, 2, ".t") == 0) {
            loaded += loadfile(ctx, path);
            Erreur_Execution = 0;   // reported; a faulty file does not keep the others out
        }
    }
    return loaded;
}

bool insidelibrary(t_cctx* ctx)
{
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next)
        if (p->kind == RUNPILE_LIBMACRO) return true;
    return false;
}

} // namespace

int kst_libstlmacro_load(t_cctx* ctx, const char* dir, bool report) { return scan(ctx, dir, report); }

void kst_libstlmacro_unload(t_cctx* ctx)
{
    delete ctx->libstl;
    ctx->libstl = nullptr;
}

void kst_libstlmacro_release(t_cctx* ctx) { kst_libstlmacro_unload(ctx); }

t_macro* kst_libstlmacro_find(t_cctx* ctx, const char* name, int nargs, bool* exists, int* externmin)
{
    *exists = false;
    if (externmin) *externmin = -1;
    if (!ctx->libstl) return ctx->master ? kst_libstlmacro_find(ctx->master, name, nargs, exists, externmin) : nullptr;
    auto it = ctx->libstl->byname.find(name);
    if (it == ctx->libstl->byname.end()) return nullptr;
    bool visible = insidelibrary(ctx);
    for (const auto& o : it->second.overloads) {
        if (o->isprivate && !visible) continue;
        *exists = true;
        int named = o->macro->getnbargs();
        if (o->isextern && externmin && (*externmin < 0 || named < *externmin)) *externmin = named;
        if (nargs == named || (nargs > named && o->macro->hasoptionalargs())) return o->macro.get();
    }
    return nullptr;
}

void kst_libstlmacro_run_oninit(t_cctx* ctx)
{
    if (!ctx->libstl) return;
    Erreur_Execution = 0;
    for (const std::string& name : ctx->libstl->order) {
        for (const auto& o : ctx->libstl->byname[name].overloads) {
            if (!o->oninit) continue;
            std::string call = name + "();";
            Mkest(call.c_str(), nullptr);
            if (Erreur_Execution) return;
        }
    }
}

// The session's start-up and reset calls.
void kst_libstl_load(const char* dir) { kst_libstlmacro_load(t_cctx::getLocalCctx(), dir, true); }
void kst_libstl_unload() { kst_libstlmacro_unload(t_cctx::getLocalCctx()); }
void kst_libstl_runstartuphooks() { kst_libstlmacro_run_oninit(t_cctx::getLocalCctx()); }
