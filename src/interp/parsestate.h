// The lexer/parser input record of one source, and the parse entry points the session uses.
#pragma once
#include <cstdio>

struct treeabs;
struct treesharedcode;
class t_cctx;

struct sttreeparse {
    treeabs* tree;              // result of the last parse, owned by the caller afterwards
    treesharedcode* code;       // shared source text being parsed
    void* spare;
    FILE* stream;               // where further lines come from; null when the text is complete
    void* scanner;
    int pos;                    // read position in the shared text
    int firsttoken;             // 1 after initialisation
    int eof;                    // end of input reached
    int spareint;
    treeabs* comment;           // pending comment tree collected by the lexer
};

void tree_initparse_common(sttreeparse* st);

// Scanner life cycle and queries (one scanner per session loop, file or text).
void treelex_create(sttreeparse* st);
void treelex_destroy(sttreeparse* st);
void treelex_flushbuffer(sttreeparse* st);          // forget characters read but not parsed
int treelex_getmode(sttreeparse* st);               // 0 kest, 1 maple, 2 mathematica, 3 gnuplot, 4 grace
void treelex_resetmode(sttreeparse* st);            // back to the normal mode (after an open comment)
int treelex_incomment(sttreeparse* st);             // depth of unfinished block comments

// Parses one statement (interactive: st->stream set) or the whole text (st->stream null).
// Returns 0 on success with st->tree set (possibly null for an empty input), non-zero on error.
int tree_parse(t_cctx* ctx, sttreeparse* st, bool wholetext);
// Runs a parsed tree on the context; returns 1 after quit/exit.
int tree_run_statement(t_cctx* ctx, treeabs* tree);
void tree_delete(treeabs* tree);
