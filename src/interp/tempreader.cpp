// Stand-in statement reader used until the real lexer and parser are in place: splits the input
// at ";" and "$" and understands a handful of session statements.
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/parsestate.h"
#include "interp/runpile.h"
#include "interp/treesharedcode.h"

#include <cstring>
#include <string>
#include <vector>

namespace {
struct stand_in_statement {
    std::string text;
    t_tree_loc loc;
};
struct stand_in_program {
    std::vector<stand_in_statement> statements;
};

// Finds the end of the statement starting at `from`: index just past ";" or "$", or -1.
int statement_end(const char* text, int length, int from)
{
    bool instring = false;
    for (int i = from; i < length; i++) {
        char c = text[i];
        if (instring) {
            if (c == '"') instring = false;
            continue;
        }
        if (c == '"') instring = true;
        else if (c == '/' && i + 1 < length && text[i + 1] == '/') {
            while (i < length && text[i] != '\n') i++;
        } else if (c == ';' || c == '$') return i + 1;
    }
    return -1;
}

bool blank(const char* p, int n)
{
    for (int i = 0; i < n; i++) {
        if (p[i] == '/' && i + 1 < n && p[i + 1] == '/') {
            while (i < n && p[i] != '\n') i++;
        } else if (!isspace(static_cast<unsigned char>(p[i]))) return false;
    }
    return true;
}

int linecount(const char* text, int upto)
{
    int n = 1;
    for (int i = 0; i < upto; i++) n += text[i] == '\n';
    return n;
}

void addstatement(stand_in_program* prog, treesharedcode* code, int from, int end)
{
    for (;;) {
        while (from < end && isspace(static_cast<unsigned char>(code->text[from]))) from++;
        if (from + 1 < end && code->text[from] == '/' && code->text[from + 1] == '/') {
            while (from < end && code->text[from] != '\n') from++;
            continue;
        }
        break;
    }
    stand_in_statement s;
    s.text.assign(code->text + from, end - from);
    s.loc = {linecount(code->text, from), from, from, linecount(code->text, end), end};
    prog->statements.push_back(s);
}

std::string trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t\n"), b = s.find_last_not_of(" \t\n;$");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::string quoted(const std::string& s)
{
    size_t a = s.find('"'), b = s.rfind('"');
    return (a == std::string::npos || b <= a) ? std::string() : s.substr(a + 1, b - a - 1);
}
} // namespace

void treelex_create(sttreeparse* st) { st->scanner = nullptr; }
void treelex_destroy(sttreeparse* st) { st->scanner = nullptr; }
void treelex_flushbuffer(sttreeparse*) {}
int treelex_getmode(sttreeparse*) { return 0; }
void treelex_resetmode(sttreeparse*) {}
int treelex_incomment(sttreeparse*) { return 0; }
const char* const* kst_get_keywords()
{
    static const char* const words[] = {"error", "exit", "include", "quit", "reset", "stop", nullptr};
    return words;
}

int tree_parse(t_cctx*, sttreeparse* st, bool wholetext)
{
    auto* prog = new stand_in_program;
    st->tree = reinterpret_cast<treeabs*>(prog);
    if (wholetext) {
        int pos = 0;
        while (st->code && pos < st->code->length) {
            int end = statement_end(st->code->text, st->code->length, pos);
            if (end < 0) break;
            if (!blank(st->code->text + pos, end - pos)) addstatement(prog, st->code, pos, end);
            pos = end;
        }
        return 0;
    }
    for (;;) {
        if (st->code) {
            int end = statement_end(st->code->text, st->code->length, st->pos);
            if (end >= 0) {
                addstatement(prog, st->code, st->pos, end);
                st->pos = end;
                return 0;
            }
            if (blank(st->code->text + st->pos, st->code->length - st->pos)) {
                st->pos = st->code->length;
            }
        }
        const char* line = kst_readchar(st->stream);
        if (!line) {
            st->eof = 1;
            return 0;
        }
        if (!st->code) st->code = treesharedcode_new(nullptr, nullptr, 0, 1);
        treesharedcode_append(st->code, line, static_cast<int>(strlen(line)));
    }
}

void tree_delete(treeabs* tree) { delete reinterpret_cast<stand_in_program*>(tree); }

int tree_run_statement(t_cctx* ctx, treeabs* tree)
{
    auto* prog = reinterpret_cast<stand_in_program*>(tree);
    if (!prog) return 0;
    for (const stand_in_statement& s : prog->statements) {
        if (Erreur_Execution) break;
        if (elt_runpile* pile = tree_run_getpile(ctx)) pile->loc = s.loc;
        std::string t = trim(s.text);
        if (t == "quit" || t == "exit") return 1;
        if (t.rfind("error", 0) == 0) kst_runerror(ctx, quoted(t).c_str());
        else if (t.rfind("include", 0) == 0) kst_include(ctx, quoted(t).c_str(), false);
        else if (t == "stop") kst_stop();
        else if (t == "reset") kst_reset();
        else if (t == "pause") kst_pause();
        else if (t == "_info on" || t == "_info off") ctx->info = t == "_info on";
        else if (t.rfind("_language", 0) == 0) set_language(quoted(t).c_str(), false);
        else if (!t.empty()) kst_runerror(ctx, "this statement cannot run yet");
    }
    return 0;
}
