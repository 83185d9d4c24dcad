// The session's use of the front end, replayed on arbitrary bytes: every tree produced is also
// copied, optimised as a macro body and released, so those walks see the same inputs.
#include "drive.h"

#include "interp/error.h"
#include "interp/parsestate.h"
#include "interp/treeabs.h"
#include "interp/treelexstate.h"
#include "interp/treesharedcode.h"

#include <cstdlib>
#include <cstring>

extern const char* g_frontend_input;
extern size_t g_frontend_inputlen;

namespace {
bool fakedtype(const char* word) { return word[0] == 'T' && word[1] == '_'; }

void usetree(treeabs* tree)
{
    char buf[256];
    tree_dump(tree, buf, sizeof buf);
    treeabs* copy = tree_dup(tree);
    tree_delete(tree_opt_macro(copy));
}

void initstate(sttreeparse* st)
{
    memset(st, 0, sizeof *st);
    st->firsttoken = 1;
}
} // namespace

void frontend_drive(const uint8_t* data, size_t size)
{
    if (size == 0) return;
    treelex_settypequery(fakedtype);
    bool interactive = data[0] & 1;
    const char* text = reinterpret_cast<const char*>(data + 1);
    int length = static_cast<int>(size - 1);
    sttreeparse st;
    initstate(&st);
    treelex_create(&st);
    Erreur_Execution = 0;
    if (!interactive) {
        char* copy = static_cast<char*>(malloc(length + 1));
        memcpy(copy, text, length);
        copy[length] = 0;
        st.code = treesharedcode_new("fuzz", copy, length, 1);
        int failed = tree_parse(nullptr, &st, true);
        if (failed && treelex_incomment(&st) > 0) treelex_resetmode(&st);
        if (!failed) usetree(st.tree);
        tree_delete(st.tree);
        tree_delete(st.comment);
        treesharedcode_detach(st.code);
    } else {
        g_frontend_input = text;
        g_frontend_inputlen = length;
        // As the read-eval loop: one statement per turn, the unread rest carried to the next.
        for (int turn = 0; turn < 100000 && !st.eof; turn++) {
            treesharedcode* code = st.code;
            void* scanner = st.scanner;
            initstate(&st);
            st.scanner = scanner;
            st.code = code;
            st.stream = stdin;
            int failed = tree_parse(nullptr, &st, false);
            if (!failed && st.tree) usetree(st.tree);
            tree_delete(st.tree);
            st.tree = nullptr;
            if (failed || Erreur_Execution) {
                treelex_flushbuffer(&st);
                if (treelex_incomment(&st)) treelex_resetmode(&st);
                treesharedcode_detach(st.code);
                st.code = nullptr;
                tree_delete(st.comment);
                st.comment = nullptr;
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
            Erreur_Execution = 0;
        }
        tree_delete(st.comment);
        treesharedcode_detach(st.code);
        g_frontend_input = nullptr;
    }
    treelex_destroy(&st);
}
