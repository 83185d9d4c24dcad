// Helpers for the front-end tests: parse texts whole or line by line at a simulated prompt,
// record the locations of reported parse errors and what the error stream received.
#pragma once
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/parsestate.h"
#include "interp/promptline.h"
#include "interp/treeabs.h"
#include "interp/treelexstate.h"
#include "interp/treesharedcode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace treetest {

struct t_reported {
    t_tree_loc loc;
};
inline std::vector<t_reported> g_errors;
inline std::deque<std::string> g_lines;       // lines still to be "typed"
inline std::vector<std::string> g_prompts;    // prompt in force at each read
inline std::string g_linebuf;

inline void recorderror(const char*, int l1, int off, int c1, int l2, int c2, const char*)
{
    t_tree_loc loc;
    loc.first_line = l1;
    loc.start_offset = off;
    loc.first_column = c1;
    loc.last_line = l2;
    loc.last_column = c2;
    g_errors.push_back({loc});
}

inline const char* typedline(FILE*)
{
    g_prompts.push_back(kst_getprompt());
    if (g_lines.empty()) return nullptr;
    g_linebuf = g_lines.front();
    g_lines.pop_front();
    return g_linebuf.c_str();
}

// Captures the error stream and the line-reading hook for one test.
struct FrontEnd : ::testing::Test {
    char* err = nullptr;
    size_t errlen = 0;
    FILE* savederr = nullptr;
    sttreeparse st;

    void SetUp() override
    {
        Erreur_Execution = 0;
        g_errors.clear();
        g_lines.clear();
        g_prompts.clear();
        savederr = g_stderr;
        g_stderr = open_memstream(&err, &errlen);
        kst_setfunchook_msgerror(kst_hookkey, recorderror);
        kst_setfunchook_iochar(typedline, nullptr, nullptr);
        setprompt_reset();
        setprompt_radical(PROMPT_KEST);
        memset(&st, 0, sizeof st);
        tree_initparse_common(&st);
        treelex_create(&st);
    }
    void TearDown() override
    {
        tree_delete(st.tree);
        tree_delete(st.comment);
        treesharedcode_detach(st.code);
        treelex_destroy(&st);
        kst_setfunchook_msgerror(kst_hookkey, nullptr);
        kst_setfunchook_iochar(nullptr, nullptr, nullptr);
        fclose(g_stderr);
        g_stderr = savederr;
        free(err);
        Erreur_Execution = 0;
        setprompt_reset();
    }
    std::string errors()
    {
        fflush(g_stderr);
        return std::string(err, errlen);
    }

    // Parses `text` as a whole program; returns tree_parse's result.
    int parsewhole(const std::string& text)
    {
        tree_delete(st.tree);
        st.tree = nullptr;
        treesharedcode_detach(st.code);
        char* copy = strdup(text.c_str());
        st.code = treesharedcode_new(nullptr, copy, static_cast<int>(text.size()), 1);
        st.pos = 0;
        st.stream = nullptr;
        Erreur_Execution = 0;
        return tree_parse(nullptr, &st, true);
    }

    // One interactive turn, reading further lines from g_lines; the unread rest stays in st.code
    // from st.pos, as the session keeps it.
    int parseturn()
    {
        tree_delete(st.tree);
        st.tree = nullptr;
        st.stream = stdin;
        Erreur_Execution = 0;
        return tree_parse(nullptr, &st, false);
    }

    std::string dump(const treeabs* t)
    {
        char buf[4096];
        tree_dump(t, buf, sizeof buf);
        return buf;
    }

    // The body of the first statement of a whole text (below its display/command node).
    std::string body(const std::string& text)
    {
        if (parsewhole(text) != 0) return "<error>";
        treeabs* stmt = tree_child(st.tree, 0);
        return dump(tree_child(tree_child(stmt, 1), 0));
    }
};

} // namespace treetest
