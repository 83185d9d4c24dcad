// The session's side of the room records: start-up, reset and shutdown passes over the list of
// rooms, and the options the rooms declare (slots in the kernel context, one generic handler).
#include "interp/rooms.h"

#include "interp/cctx.h"
#include "interp/keywords.h"
#include "interp/treeint.h"
#include "render/render.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<const t_room*>& appended()
{
    static std::vector<const t_room*> rooms;
    return rooms;
}

struct t_optionentry {
    const t_roomoption* decl;
    int slot;
};
std::vector<t_optionentry> s_options;

const char* keywordtext(const treeabs* node)
{
    return kst_keywordtable()[tree_kindindex(node->kind) - tree_kindindex(TREE_KEYWORD_FIRST)].text;
}

const t_optionentry* findoption(const char* name)
{
    for (const t_optionentry& e : s_options)
        if (strcmp(e.decl->name, name) == 0) return &e;
    return nullptr;
}

void displayoption(t_cctx* ctx, const t_optionentry& e)
{
    const long v = ctx->kc.options[e.slot];
    const std::string text = e.decl->onoff ? (v ? "on" : "off") : std::to_string(v);
    t_render* r = kst_cctx_getrender(ctx, g_stdout);
    r->Vname(e.decl->name);
    r->Vespacesigne_eq();
    r->Vrender_unsafe(text.c_str());
    r->writenewline();
}

// `_name = v;`, `_name on`/`_name off` and `_name;` for every option a room declared.
int h_option(t_cctx* ctx, int slot, treeabs* node)
{
    const t_optionentry* e = findoption(keywordtext(node));
    if (!e) return 0;
    const t_roomoption& d = *e->decl;
    long v = 0;
    switch (tree_paraint(node, 0)) {
    case TREE_OPTION_DISPLAY: displayoption(ctx, *e); return 0;
    case TREE_OPTION_ON:
    case TREE_OPTION_OFF:
        if (!d.onoff) break;
        ctx->kc.options[e->slot] = tree_paraint(node, 0) == TREE_OPTION_ON;
        return 0;
    case TREE_OPTION_SET: {
        if (d.onoff) break;
        tree_int(ctx, slot + 1, tree_child(node, 1));
        const bool ok = !tree_flags(ctx) && tree_slot_integer(ctx, slot + 1, &v);
        tree_run_cleanres(ctx, slot + 1);
        if (!ok) return 0;
        if (v < d.lo || v > d.hi) break;
        ctx->kc.options[e->slot] = v;
        return 0;
    }
    default: break;
    }
    kst_runerror(ctx, 4, d.name);
    return 0;
}

// Slots are given once, in list order, the first time a context or the start-up asks, so that
// every context (unit tests' own included) starts with the declared initial values.
void declareoptions()
{
    static bool done = false;
    if (done) return;
    done = true;
    for (const t_room* const* r = kst_rooms(); *r; r++) {
        for (const t_roomoption* o = (*r)->options; o && o->name; o++) {
            if (findoption(o->name) || static_cast<int>(s_options.size()) >= KST_MAXOPTIONS)
                kst_iceerror(1000, "declareoptions", (std::string((*r)->name) + ": " + o->name).c_str());
            const int slot = static_cast<int>(s_options.size());
            s_options.push_back({o, slot});
            if (o->slot) *o->slot = slot;
        }
    }
}

} // namespace

void kst_room_append(const t_room* room) { appended().push_back(room); }

const t_room* const* kst_rooms()
{
    static std::vector<const t_room*> all;
    if (all.empty()) {
        for (const t_room* const* r = kst_builtinrooms(); *r; r++) all.push_back(*r);
        for (const t_room* r : appended()) all.push_back(r);
        all.push_back(nullptr);
    }
    return all.data();
}

void kst_rooms_init(t_cctx* session)
{
    const t_room* const* rooms = kst_rooms();
    for (const t_room* const* r = rooms; *r; r++)
        if ((*r)->inittables) (*r)->inittables();
    for (const t_room* const* r = rooms; *r; r++)
        if ((*r)->install) (*r)->install();
    kst_rooms_initialoptions(&session->kc);
    for (const t_optionentry& e : s_options)
        if (!kst_tree_setkeywordhandler(e.decl->name, h_option))
            kst_iceerror(1000, "kst_rooms_init", e.decl->name);
    for (const t_room* const* r = rooms; *r; r++)
        if ((*r)->registerlanguage) (*r)->registerlanguage();
}

void kst_rooms_reset(t_cctx* ctx)
{
    for (const t_room* const* r = kst_rooms(); *r; r++)
        if ((*r)->reset) (*r)->reset(ctx);
    kst_rooms_initialoptions(&ctx->kc);
}

void kst_rooms_release()
{
    for (const t_room* const* r = kst_rooms(); *r; r++)
        if ((*r)->release) (*r)->release();
}

void kst_rooms_initialoptions(t_kctx* kc)
{
    declareoptions();
    for (const t_optionentry& e : s_options) kc->options[e.slot] = e.decl->initial;
}
