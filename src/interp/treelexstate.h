// State shared by the scanner and the parser of one source: read position, locations, the open
// string/comment/block counts behind the prompt, and the comments saved around blocks.
#pragma once
#include <string>
#include <vector>

#include "interp/parsestate.h"
#include "interp/treeabs.h"

class t_cctx;

// Start conditions of the scanner, in their numbering order: the six modes and the string state.
enum { LEXMODE_KEST = 0, LEXMODE_GNUPLOT = 1, LEXMODE_COMMENT = 2, LEXMODE_MAPLE = 3,
       LEXMODE_MATHEMATICA = 4, LEXMODE_GRACE = 5, LEXMODE_STRING = 6 };

struct t_lexstate {
    sttreeparse* st = nullptr;
    t_cctx* ctx = nullptr;
    void* scanner = nullptr;
    bool wholetext = true;

    int readpos = 0;        // next character of the shared text to hand to the scanner buffer
    int offset = 0;         // offset of the next character not yet matched by a rule
    int line = 1;           // line of that character
    int linestart = 0;      // offset where that line begins
    int stmtstart = -1;     // offset of the first token of the current top-level statement
    int lastterm = 0;       // offset just after the last ";" or "$"
    t_tree_loc tokloc;      // location of the last rule matched
    int lasttoken = 0;      // last token returned

    int commentdepth = 0;
    bool eofincomment = false;
    t_tree_loc commentloc;
    std::string commenttext;

    t_tree_loc stringloc;
    std::string stringtext;

    int blocdepth = 0;
    std::vector<treeabs*> savedcomments;   // pending comments of the enclosing blocks
};

// The declared-type table (structure and external types) is consulted for every word that is not
// a keyword; it belongs to another layer, which installs the query.
using treelex_typequery = bool (*)(const char* word);
void treelex_settypequery(treelex_typequery query);
bool treelex_istype(const char* word);

// Parser entry point (generated) and its helpers.
int treebison_run(t_lexstate* ls);
void treelex_restart(t_lexstate* ls);            // forget buffered input, back to the normal mode
void treelex_appendcomment(t_lexstate* ls, treeabs* node);
t_lexstate* treelex_getextra(sttreeparse* st);
// Prepares the scanner for a parse from st->pos of st->code (what tree_parse does first).
t_lexstate* treelex_begin(t_cctx* ctx, sttreeparse* st, bool wholetext);
// After a syntax error: forget everything buffered. Before a pause: move input typed ahead into
// the shared text so that it is still parsed afterwards.
void tree_yylex_onerror(sttreeparse* st);
void tree_yylex_flushgetchar(sttreeparse* st);

// The scanner's names for its life cycle, its mode stack (push one mode, pop one, test the top:
// numbers as LEXMODE_*) and the pending comment tree (get takes it, set replaces it and returns
// the old one).
void tree_yylex_set_buffer(sttreeparse* st);
void tree_yylex_restore_buffer(sttreeparse* st);
void treeyylex_set_keststate(sttreeparse* st);
void treeyylex_set_gnuplotstate(sttreeparse* st);
void treeyylex_set_commentairestate(sttreeparse* st);
void treeyylex_set_maplestate(sttreeparse* st);
void treeyylex_set_mathematicastate(sttreeparse* st);
void treeyylex_set_gracestate(sttreeparse* st);
void treeyylex_set_popstate(sttreeparse* st);
bool treeisyylex_in_keststate(sttreeparse* st);
bool treeisyylex_in_gnuplotstate(sttreeparse* st);
bool treeisyylex_in_commentairestate(sttreeparse* st);
bool treeisyylex_in_maplestate(sttreeparse* st);
bool treeisyylex_in_mathematicastate(sttreeparse* st);
bool treeisyylex_in_gracestate(sttreeparse* st);
treeabs* treeyylex_get_commentaire(sttreeparse* st);
treeabs* treeyylex_set_commentaire(sttreeparse* st, treeabs* comment);
