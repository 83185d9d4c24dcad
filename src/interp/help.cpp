// The help statement: `help;` / `?;` list the keywords, `help word;` / `? word;` show one entry of
// the installation's help reference (share/kest/help/keywords.hlp), or a user macro of that name.
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/keywords.h"
#include "interp/macro.h"
#include "interp/treeint.h"

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

struct t_helpentry {
    std::string syntax;
    std::vector<std::string> english;
    std::string french;
};

// The reference, read once: "@keyword", "syntax: ...", English lines, "fr: ...".
const std::map<std::string, t_helpentry>& reference()
{
    static std::map<std::string, t_helpentry> entries;
    static bool loaded = false;
    if (loaded) return entries;
    loaded = true;
    std::ifstream in(std::string(kst_getkestdir()) + "share/kest/help/keywords.hlp");
    std::string line;
    t_helpentry* current = nullptr;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '@') current = &entries[line.substr(1)];
        else if (!current) continue;
        else if (line.rfind("syntax: ", 0) == 0) current->syntax = line.substr(8);
        else if (line.rfind("fr: ", 0) == 0) current->french = line.substr(4);
        else current->english.push_back(line);
    }
    return entries;
}

void showentry(const std::string& word, const t_helpentry& e)
{
    fprintf(g_stdout, "%s\n    %s\n", word.c_str(), e.syntax.c_str());
    if (strcmp(kst_getlanguage(), "fr") == 0 && !e.french.empty()) {
        fprintf(g_stdout, "    %s\n", e.french.c_str());
    } else {
        for (const std::string& l : e.english) fprintf(g_stdout, "    %s\n", l.c_str());
    }
}

void listkeywords()
{
    const t_keyword* table = kst_keywordtable();
    int column = 0;
    for (int i = 0; i < kst_keywordcount; i++) {
        fprintf(g_stdout, "%-18s", table[i].text);
        if (++column == 4) {
            fputc('\n', g_stdout);
            column = 0;
        }
    }
    if (column) fputc('\n', g_stdout);
}

int h_help(t_cctx* ctx, int, treeabs* node)
{
    const char* word = tree_string(node, 0);
    const auto& ref = reference();
    if (!word) {
        auto it = ref.find("help");
        if (it != ref.end()) showentry("help", it->second);
        listkeywords();
    } else if (auto it = ref.find(word); it != ref.end()) {
        showentry(word, it->second);
    } else if (t_macro* m = macro_resolve(ctx, word, true)) {
        m->display(ctx, g_stdout);
    } else {
        // Asking about an unknown word is no failure of the session: it is told so and goes on.
        fprintf(g_stdout, kst_getmsginfo(230), word);
        fputc('\n', g_stdout);
    }
    fflush(g_stdout);
    return 0;
}

} // namespace

void kst_help_register() { kst_tree_sethandler(TREE_HELP, h_help); }
