// The session's side of the room records: start-up, reset and shutdown passes over the list of
// rooms, and the options the rooms declare (slots in the kernel context, one generic handler).
#include "interp/rooms.h"

#include "interp/cctx.h"
#include "interp/keywords.h"
#include "interp/treeint.h"

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

// `_name = v;`, `_name on`/`_name off` and `_name;` for every option a room declared.
int h_option(t_cctx* ctx, int slot, treeabs* node)
{
    const t_optionentry* e = findoption(keywordtext(node));
    if (!e) return 0;
    const t_roomoption& d = *e->decl;
    long& value = ctx->kc.options[e->slot];
    const int form = tree_paraint(node, 0);
    if (form == TREE_OPTION_DISPLAY) {
        kst_option_display(ctx, d.name, d.onoff ? (value ? "on" : "off") : std::to_string(value).c_str());
    } else if (d.onoff) {
        if (form == TREE_OPTION_ON || form == TREE_OPTION_OFF) value = form == TREE_OPTION_ON;
        else kst_runerror(ctx, 4, d.name);
    } else {
        long v;
        if (kst_option_integer(ctx, slot, node, d.lo, d.hi, &v)) value = v;
    }
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
