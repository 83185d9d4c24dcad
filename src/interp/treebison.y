/* The grammar of the language (LALR(1)): programs are sequences of statements ended by ";"
   (display the value) or "$" (silent). Interactively the parser returns after one statement, so
   that the rest of a line is parsed on the next turn of the read-eval loop. */
%define api.pure full
%define api.prefix {treebison}
%define api.location.type {t_tree_loc}
%define parse.error simple
%locations
%parse-param {t_lexstate* ls}
%lex-param {t_lexstate* ls}

%code requires {
#include "interp/treeabs.h"
#include "interp/treesharedcode.h"
struct t_lexstate;
// Locations and values are plain data: the parser stack may be moved with memcpy when it grows.
#define TREEBISONLTYPE_IS_TRIVIAL 1
#define TREEBISONSTYPE_IS_TRIVIAL 1
#define TREEBISONLTYPE_IS_DECLARED 1
}

%code provides {
// The scanner: next token code (0 at the end), its value and its location.
int tree_yylex(TREEBISONSTYPE* value, TREEBISONLTYPE* loc, void* scanner);
}

%code {
#include "interp/error.h"
#include "interp/idclass.h"
#include "interp/keywords.h"
#include "interp/promptline.h"
#include "interp/treelexstate.h"

#include <cstdlib>
#include <cstring>

#define YYMAXDEPTH 10000
#define YYINITDEPTH 64

#define YYLLOC_DEFAULT(Cur, Rhs, N)                                                                \
    do {                                                                                           \
        if (N) {                                                                                   \
            (Cur).first_line = YYRHSLOC(Rhs, 1).first_line;                                        \
            (Cur).start_offset = YYRHSLOC(Rhs, 1).start_offset;                                    \
            (Cur).first_column = YYRHSLOC(Rhs, 1).first_column;                                   \
            (Cur).last_line = YYRHSLOC(Rhs, N).last_line;                                          \
            (Cur).last_column = YYRHSLOC(Rhs, N).last_column;                                      \
        } else {                                                                                   \
            (Cur).first_line = (Cur).last_line = YYRHSLOC(Rhs, 0).last_line;                       \
            (Cur).start_offset = YYRHSLOC(Rhs, 0).start_offset;                                    \
            (Cur).first_column = (Cur).last_column = YYRHSLOC(Rhs, 0).last_column;                 \
        }                                                                                          \
    } while (0)

static int treebisonlex(TREEBISONSTYPE* value, TREEBISONLTYPE* loc, t_lexstate* ls)
{
    return tree_yylex(value, loc, ls->scanner);
}
static void treebisonerror(TREEBISONLTYPE* loc, t_lexstate* ls, const char* msg);

namespace {
treeabs* kwnode(t_tree_loc loc, int token)
{
    int k = kst_findkeyword(token);
    return tree_new(loc, tree_keywordkind(k < 0 ? 0 : k), PARA_EMPTY);
}

// A keyword written as a command, without parentheses (`msg "text";`): some commands print
// differently in that form.
treeabs* commandnode(t_tree_loc loc, int token)
{
    treeabs* t = kwnode(loc, token);
    t->flags |= TREEFLAG_COMMANDFORM;
    return t;
}

treeabs* keywordvalue(t_tree_loc loc, int token)
{
    return treen_new(loc, TREE_KEYWORDVALUE, 1, PARA_INT, kst_findkeyword(token));
}

treeabs* arglist(t_tree_loc loc, treeabs* list, treeabs* item)
{
    if (!list) list = tree_new(loc, TREE_ARGLIST, PARA_EMPTY);
    tree_addtree(list, item);
    list->loc.last_line = loc.last_line;
    list->loc.last_column = loc.last_column;
    return list;
}

// Moves the parameters of an argument list to the end of those of `node` (keyword commands and
// calls keep their arguments flat) and frees the emptied list.
treeabs* appendargs(treeabs* node, treeabs* args)
{
    if (!args) return node;
    lparaabs** last = &node->params;
    while (*last) last = &(*last)->next;
    if (args->flags & TREEFLAG_BLOCK) {
        for (int i = 0; treeabs* a = tree_child(args, i); i++) tree_addtree(node, tree_dup(a));
    } else {
        *last = args->params;
        args->params = nullptr;
    }
    tree_delete(args);
    return node;
}

// The statement takes the comments collected since the previous one.
treeabs* statement(t_lexstate* ls, t_tree_loc loc, treeabs* body, bool display, bool toplevel)
{
    if (toplevel) {
        ls->lastterm = loc.last_column + 1;
        ls->stmtstart = -1;
    }
    if (!body) return nullptr;   // an empty statement leaves the comments to the next one
    treeabs* comment = ls->st->comment;
    ls->st->comment = nullptr;
    treeabs* inner = treen_new(loc, display ? TREE_DISPLAY : TREE_COMMAND, 1, PARA_TREE, body);
    return treen_new(loc, TREE_STATEMENT, 2, PARA_TREE, comment, PARA_TREE, inner);
}

// Comments inside a block stay inside it: those pending outside are set aside until it closes.
void openbrace(t_lexstate* ls)
{
    ls->savedcomments.push_back(ls->st->comment);
    ls->st->comment = nullptr;
    setprompt_bloc(++ls->blocdepth);
}

void closebrace(t_lexstate* ls)
{
    tree_delete(ls->st->comment);
    ls->st->comment = nullptr;
    if (!ls->savedcomments.empty()) {
        ls->st->comment = ls->savedcomments.back();
        ls->savedcomments.pop_back();
    }
    if (ls->blocdepth > 0) setprompt_bloc(--ls->blocdepth);
}

treeabs* loop(t_tree_loc loc, etreeabs kind, char* name, treeabs* first, treeabs* last, treeabs* step, treeabs* body)
{
    return treen_new(loc, kind, 5, PARA_STRING, name, PARA_TREE, first, PARA_TREE, last, PARA_TREE, step,
                     PARA_TREE, body);
}

// The characters of a token as they stand in the source (keywords carry no value of their own).
char* sourcetext(t_lexstate* ls, t_tree_loc loc)
{
    const treesharedcode* code = ls->st->code;
    int n = loc.last_column - loc.first_column + 1;
    if (!code || loc.first_column < 0 || n <= 0 || loc.last_column >= code->length) return strdup("");
    return strndup(code->text + loc.first_column, n);
}

treeabs* option(t_tree_loc loc, int token, int action, treeabs* value)
{
    treeabs* t = kwnode(loc, token);
    paraabs_value v;
    v.i = action;
    tree_addpara(t, PARA_INT, v);
    if (value) tree_addtree(t, value);
    return t;
}
} // namespace
}

%union {
    char* str;
    treeabs* tree;
    int tok;
}

%destructor { free($$); } <str>
%destructor { tree_delete($$); } <tree>

%token <str> IDENT TYPENAME FILENAME INTEGER REAL STRING TEXTLINE
%token POW LIEMUL ANDAND OROR DOTOP EQ NE LE GE LT GT ELLIPSIS
%token KW_COMPLEX KW_HERMITE KW_i KW_LINEAR KW_macro KW_MAX KW_MIN KW_Mod KW_NUMDBL KW_NUMFPMP
%token KW_NUMQUAD KW_NUMRAT KW_NUMRATMP KW_pi KW_QUADRATIC KW_REAL KW_SPLINE KW__ALL KW__affc
%token KW__affdist KW__comment KW__cpu KW__echo KW__endian KW__graph KW__hist KW__history KW__info
%token KW__integnum KW__language KW__mode KW__modenum KW__modenum_prec KW__naf_dtour KW__naf_icplx
%token KW__naf_iprt KW__naf_isec KW__naf_iw KW__naf_nulin KW__naf_tol KW__naf_tp KW__path KW__quiet
%token KW__read KW__read_history KW__time KW__userlibrary_path KW_abs KW_accum KW_acos KW_acosh
%token KW_affmac KW_afftab KW_append KW_arg KW_asin KW_asinh KW_atan KW_atan2 KW_atanh KW_bilan
%token KW_case KW_catch KW_close KW_cls KW_coef_ext KW_coef_num KW_coef_tab KW_coef_tabexp KW_conj
%token KW_cos KW_cosh KW_crevar KW_delete KW_deriv KW_det KW_dim KW_dimtovnumC KW_dimtovnumR
%token KW_dimvar KW_div KW_do KW_ecriture KW_effmac KW_effmacros KW_eigenvalues KW_eigenvectors
%token KW_ell_to_xyz KW_else KW_erf KW_erfc KW_error KW_evalnum KW_quit KW_exp KW_extern_display
%token KW_extern_function KW_extern_lib KW_extern_type KW_fac KW_fft KW_fi KW_file_close
%token KW_file_fullname KW_file_open KW_file_read KW_file_readappend KW_file_readmsg KW_file_write
%token KW_file_writebin KW_file_writemsg KW_for KW_freqa KW_freqareson KW_gnuplot KW_grace KW_help
%token KW_histogram KW_if KW_ifft KW_imag KW_imax KW_imin KW_include KW_inf KW_int KW_integ
%token KW_integnum KW_integnumfcn KW_integral KW_interpol KW_iternum KW_lecture KW_log KW_log10
%token KW_macro_optargs KW_maple KW_maple_get KW_maple_put KW_mathematica KW_mathematica_get
%token KW_mathematica_put KW_max KW_mem KW_min KW_mod KW_msg KW_naf KW_naftab KW_naftab2 KW_nint
%token KW_off KW_on KW_pause KW_plot KW_plotf KW_plotps KW_plotps_end KW_plotreset KW_print
%token KW_private KW_prod KW_public KW_random KW_read KW_readappend KW_readbin KW_real KW_replot
%token KW_reset KW_resize KW_rest_env KW_return KW_reversevnum KW_sauve_c KW_sauve_fortran
%token KW_sauve_ml KW_sauve_tex KW_save_env KW_scscp_close KW_scscp_connect KW_scscp_delete
%token KW_scscp_execute KW_scscp_get KW_scscp_put KW_select KW_sertrig KW_sign KW_sin KW_sinh
%token KW_size KW_sort KW_sqrt KW_stat KW_step KW_stop KW_str KW_struct KW_sum KW_sup KW_switch
%token KW_tabvar KW_tan KW_tanh KW_then KW_time_l KW_time_s KW_time_t KW_to KW_transposevnum KW_try
%token KW_typeof KW_varkest KW_vnumC KW_vnumR KW_vnumtodim KW_while KW_write KW_writebin KW_writes
%token KW_xyz_to_ell KW__ior KW__trcoef KW_invsereps KW_sereps

%left '+' '-'
%left '*' '/' '&' LIEMUL DOTOP
%precedence UNARY
%left POW

%type <tree> program topstmt stmtbody blockstmt blockstmts block expr primary lvalue arg arglist argsopt
%type <tree> cond condatom andchain orchain elsepart ifstmt stepopt caselist casestmt caseitems
%type <tree> macrodef defaultopt macroparams macroparam fieldlist field identlist textlines cmdfirst
%type <tok> genkw optkw symkw anykw passkw relop
%type <str> helpword incname typeword

%start input

%%

input:
      program                       { ls->st->tree = $1; }
    ;

program:
      %empty                        { $$ = nullptr; }
    | program topstmt               {
                                        if (!ls->wholetext) {
                                            ls->st->tree = $2;
                                            ls->st->pos = ls->lastterm;
                                            YYACCEPT;
                                        }
                                        $$ = $1;
                                        if ($2) {
                                            $$ = tree_newlist(@2, $1, $2, nullptr);
                                            $$->loc.last_line = @2.last_line;
                                            $$->loc.last_column = @2.last_column;
                                        }
                                    }
    ;

topstmt:
      stmtbody ';'                  { $$ = statement(ls, @$, $1, true, true); }
    | stmtbody '$'                  { $$ = statement(ls, @$, $1, false, true); }
    | ';'                           { $$ = statement(ls, @$, nullptr, true, true); }
    | '$'                           { $$ = statement(ls, @$, nullptr, false, true); }
    ;

blockstmt:
      stmtbody ';'                  { $$ = statement(ls, @$, $1, true, false); }
    | stmtbody '$'                  { $$ = statement(ls, @$, $1, false, false); }
    | ';'                           { $$ = nullptr; }
    | '$'                           { $$ = nullptr; }
    ;

lbrace:
      '{'                           { openbrace(ls); }
    ;

block:
      lbrace blockstmts '}'         { closebrace(ls); $$ = $2; $$->loc = @$; }
    ;

blockstmts:
      %empty                        { $$ = tree_new(@$, TREE_LIST, PARA_EMPTY); }
    | blockstmts blockstmt          { $$ = $1; if ($2) tree_addtree($$, $2); }
    ;

stmtbody:
      expr                          { $$ = $1; }
    | lvalue '=' expr               { $$ = treen_new(@$, TREE_ASSIGN, 2, PARA_TREE, $1, PARA_TREE, $3); }
    | ifstmt                        { $$ = $1; }
    | KW_while '(' cond ')' KW_do block
                                    { $$ = treen_new(@$, TREE_WHILE, 2, PARA_TREE, $3, PARA_TREE, $6); }
    | KW_for IDENT '=' expr KW_to expr stepopt block
                                    { $$ = loop(@$, TREE_FOR, $2, $4, $6, $7, $8); }
    | KW_switch '(' expr ')' lbrace caselist defaultopt '}'
                                    {
                                        closebrace(ls);
                                        $$ = treen_new(@$, TREE_SWITCH, 3, PARA_TREE, $3, PARA_TREE, $6, PARA_TREE, $7);
                                    }
    | KW_try block KW_catch block   { $$ = treen_new(@$, TREE_TRY, 2, PARA_TREE, $2, PARA_TREE, $4); }
    | macrodef                      { $$ = $1; }
    | KW_private macrodef           {
                                        // A fourth parameter marks the macro private to its file.
                                        $$ = $2;
                                        paraabs_value yes;
                                        yes.i = 1;
                                        tree_addpara($$, PARA_BOOL, yes);
                                        $$->loc = @$;
                                    }
    | KW_macro typeword '@' typeword '[' macroparams ']' block
                                    {
                                        $$ = treen_new(@$, TREE_METHODDEF, 4, PARA_STRING, $2, PARA_STRING, $4,
                                                       PARA_TREE, $6, PARA_TREE, $8);
                                    }
    | KW_macro typeword '@' typeword block
                                    {
                                        $$ = treen_new(@$, TREE_METHODDEF, 4, PARA_STRING, $2, PARA_STRING, $4,
                                                       PARA_TREE, nullptr, PARA_TREE, $5);
                                    }
    | KW_struct typeword lbrace fieldlist '}'
                                    {
                                        closebrace(ls);
                                        kst_declaretype_parsed($2);
                                        $$ = treen_new(@$, TREE_STRUCTDEF, 2, PARA_STRING, $2, PARA_TREE, $4);
                                    }
    | KW_return expr                { $$ = treen_new(@$, TREE_RETURN, 1, PARA_TREE, $2); }
    | KW_private identlist          { $$ = $2; $$->kind = TREE_PRIVATE; $$->loc = @$; }
    | KW_private KW__ALL            { $$ = tree_new(@$, TREE_PRIVATE, PARA_STRING, strdup("_ALL"), PARA_EMPTY); }
    | KW_public identlist           { $$ = $2; $$->kind = TREE_PUBLIC; $$->loc = @$; }
    | KW_stop                       { $$ = treen_new(@$, TREE_STOP, 0); }
    | KW_quit                       { $$ = tree_quit_new(@$); }
    | KW_include incname            { $$ = treen_new(@$, TREE_INCLUDE, 1, PARA_STRING, $2); }
    | KW_help                       { $$ = treen_new(@$, TREE_HELP, 0); }
    | KW_help helpword              { $$ = treen_new(@$, TREE_HELP, 1, PARA_STRING, $2); }
    | '?'                           { $$ = treen_new(@$, TREE_HELP, 0); }
    | '?' helpword                  { $$ = treen_new(@$, TREE_HELP, 1, PARA_STRING, $2); }
    | passkw textlines              {
                                        $$ = $2;
                                        $$->kind = $1 == KW_gnuplot ? TREE_GNUPLOT : $1 == KW_maple ? TREE_MAPLE
                                                 : $1 == KW_mathematica ? TREE_MATHEMATICA : TREE_GRACE;
                                        $$->loc = @$;
                                    }
    | optkw                         { $$ = option(@$, $1, TREE_OPTION_DISPLAY, nullptr); }
    | optkw '=' expr                { $$ = option(@$, $1, TREE_OPTION_SET, $3); }
    | optkw KW_on                   { $$ = option(@$, $1, TREE_OPTION_ON, nullptr); }
    | optkw KW_off                  { $$ = option(@$, $1, TREE_OPTION_OFF, nullptr); }
    | genkw                         { $$ = kwnode(@$, $1); }
    | genkw cmdfirst                { $$ = commandnode(@$, $1); tree_addtree($$, $2); }
    | genkw cmdfirst ',' arglist    { $$ = commandnode(@$, $1); tree_addtree($$, $2); appendargs($$, $4); }
    | TYPENAME                      { $$ = treen_new(@$, TREE_TYPEDECL, 1, PARA_STRING, $1); }
    | TYPENAME cmdfirst             { $$ = tree_new(@$, TREE_TYPEDECL, PARA_STRING, $1, PARA_TREE, $2, PARA_EMPTY); }
    | TYPENAME cmdfirst ',' arglist {
                                        $$ = tree_new(@$, TREE_TYPEDECL, PARA_STRING, $1, PARA_TREE, $2, PARA_EMPTY);
                                        appendargs($$, $4);
                                    }
    ;

ifstmt:
      KW_if '(' cond ')' KW_then block elsepart
                                    { $$ = treen_new(@$, TREE_IF, 3, PARA_TREE, $3, PARA_TREE, $6, PARA_TREE, $7); }
    ;

elsepart:
      %empty                        { $$ = nullptr; }
    | KW_else block                 { $$ = $2; }
    | KW_else ifstmt                { $$ = $2; }
    ;

stepopt:
      %empty                        { $$ = nullptr; }
    | KW_step expr                  { $$ = $2; }
    ;

caselist:
      %empty                        { $$ = tree_new(@$, TREE_LIST, PARA_EMPTY); }
    | caselist casestmt             { $$ = $1; tree_addtree($$, $2); }
    ;

casestmt:
      KW_case caseitems ':' block ';'
                                    { $$ = treen_new(@$, TREE_CASE, 2, PARA_TREE, $2, PARA_TREE, $4); }
    ;

caseitems:
      expr                          { $$ = arglist(@$, nullptr, $1); }
    | caseitems ',' expr            { $$ = arglist(@$, $1, $3); }
    ;

defaultopt:
      %empty                        { $$ = nullptr; }
    | KW_else block                 { $$ = $2; }
    | KW_else ':' block             { $$ = $3; }
    ;

typeword:
      IDENT                         { $$ = $1; }
    | TYPENAME                      { $$ = $1; }
    ;

macrodef:
      KW_macro IDENT block          { $$ = treen_new(@$, TREE_MACRODEF, 3, PARA_STRING, $2, PARA_TREE, nullptr, PARA_TREE, $3); }
    | KW_macro IDENT '[' ']' block  { $$ = treen_new(@$, TREE_MACRODEF, 3, PARA_STRING, $2, PARA_TREE, nullptr, PARA_TREE, $5); }
    | KW_macro IDENT '[' macroparams ']' block
                                    { $$ = treen_new(@$, TREE_MACRODEF, 3, PARA_STRING, $2, PARA_TREE, $4, PARA_TREE, $6); }
    ;

macroparams:
      macroparam                    { $$ = tree_new(@$, TREE_MACROPARAMS, PARA_TREE, $1, PARA_EMPTY); }
    | macroparams ',' macroparam    { $$ = $1; tree_addtree($$, $3); }
    ;

macroparam:
      IDENT                         { $$ = tree_symbole_new(@$, $1); }
    | ELLIPSIS                      { $$ = treen_new(@$, TREE_ELLIPSIS, 0); }
    ;

fieldlist:
      %empty                        { $$ = tree_new(@$, TREE_LIST, PARA_EMPTY); }
    | fieldlist field               { $$ = $1; tree_addtree($$, $2); }
    ;

field:
      IDENT ';'                     { $$ = treen_new(@$, TREE_STRUCTFIELD, 1, PARA_STRING, $1); }
    | IDENT '=' expr ';'            { $$ = treen_new(@$, TREE_STRUCTFIELD, 2, PARA_STRING, $1, PARA_TREE, $3); }
    ;

identlist:
      IDENT                         { $$ = tree_new(@$, TREE_LIST, PARA_STRING, $1, PARA_EMPTY); }
    | identlist ',' IDENT           { $$ = $1; tree_addstring($$, $3); }
    ;

incname:
      IDENT                         { $$ = $1; }
    | FILENAME                      { $$ = $1; }
    | STRING                        { $$ = $1; }
    ;

helpword:
      IDENT                         { $$ = $1; }
    | TYPENAME                      { $$ = $1; }
    | FILENAME                      { $$ = $1; }
    | anykw                         { $$ = sourcetext(ls, @1); }   /* as typed: "exit", not "quit" */
    ;

textlines:
      %empty                        { $$ = tree_new(@$, TREE_LIST, PARA_EMPTY); }
    | textlines TEXTLINE            { $$ = $1; tree_addstring($$, $2); }
    ;

/* The first argument of a keyword command cannot begin with "(", which would make the command a
   call of the keyword as a function. */
cmdfirst:
      lvalue                        { $$ = $1; }
    | INTEGER                       { $$ = tree_entier_new(@$, $1); }
    | REAL                          { $$ = tree_flottant_new(@$, $1); }
    | STRING                        { $$ = tree_string_new(@$, $1); }
    | FILENAME                      { $$ = treen_new(@$, TREE_FILENAME, 1, PARA_STRING, $1); }
    | symkw                         { $$ = treen_new(@$, TREE_KEYWORDVALUE, 1, PARA_INT, kst_findkeyword($1)); }
    | KW_on                         { $$ = treen_new(@$, TREE_KEYWORDVALUE, 1, PARA_INT, kst_findkeyword(KW_on)); }
    | KW_off                        { $$ = treen_new(@$, TREE_KEYWORDVALUE, 1, PARA_INT, kst_findkeyword(KW_off)); }
    ;

/* Conditions exist only inside if and while: a chain joins comparisons with && only or with ||
   only; parentheses group a chain so that the two kinds can be combined. */
cond:
      condatom                      { $$ = $1; }
    | andchain                      { $$ = $1; }
    | orchain                       { $$ = $1; }
    ;

condatom:
      expr relop expr               { $$ = treen_new(@$, etreeabs($2), 2, PARA_TREE, $1, PARA_TREE, $3); }
    | '(' cond ')'                  { $$ = $2; }
    ;

andchain:
      condatom ANDAND condatom      { $$ = tree_condand_new(@$, $1, $3); }
    | andchain ANDAND condatom      { $$ = tree_condand_new(@$, $1, $3); }
    ;

orchain:
      condatom OROR condatom        { $$ = tree_condor_new(@$, $1, $3); }
    | orchain OROR condatom         { $$ = tree_condor_new(@$, $1, $3); }
    ;

relop:
      EQ                            { $$ = TREE_CONDEQ; }
    | NE                            { $$ = TREE_CONDNE; }
    | LT                            { $$ = TREE_CONDLT; }
    | GT                            { $$ = TREE_CONDGT; }
    | LE                            { $$ = TREE_CONDLE; }
    | GE                            { $$ = TREE_CONDGE; }
    ;

expr:
      primary                       { $$ = $1; }
    | expr '+' expr                 { $$ = tree_add_new(@$, $1, $3); }
    | expr '-' expr                 { $$ = tree_sub_new(@$, $1, $3); }
    | expr '*' expr                 { $$ = tree_mul_new(@$, $1, $3); }
    | expr '/' expr                 { $$ = tree_div_new(@$, $1, $3); }
    | expr '&' expr                 { $$ = tree_extmul_new(@$, $1, $3); }
    | expr LIEMUL expr              { $$ = tree_liemul_new(@$, $1, $3); }
    | expr DOTOP expr               { $$ = tree_dotmul_new(@$, $1, $3); }
    | '-' expr %prec UNARY          { $$ = tree_neg_new(@$, $2); }
    | '+' expr %prec UNARY          { $$ = $2; }
    | expr POW expr                 { $$ = tree_pow_new(@$, $1, $3); }
    ;

lvalue:
      IDENT                         { $$ = tree_symbole_new(@$, $1); }
    | IDENT '[' arglist ']'         { $$ = treen_new(@$, TREE_INDEX, 2, PARA_TREE, tree_symbole_new(@1, $1), PARA_TREE, $3); }
    | lvalue '@' IDENT              { $$ = treen_new(@$, TREE_FIELD, 2, PARA_TREE, $1, PARA_STRING, $3); }
    | lvalue '@' IDENT '[' arglist ']'
                                    {
                                        treeabs* field = treen_new(@$, TREE_FIELD, 2, PARA_TREE, $1, PARA_STRING, $3);
                                        $$ = treen_new(@$, TREE_INDEX, 2, PARA_TREE, field, PARA_TREE, $5);
                                    }
    ;

primary:
      lvalue                        { $$ = $1; }
    | INTEGER                       { $$ = tree_entier_new(@$, $1); }
    | REAL                          { $$ = tree_flottant_new(@$, $1); }
    | STRING                        { $$ = tree_string_new(@$, $1); }
    | KW_i                          { $$ = tree_icomplexe_new(@$); }
    | KW_pi                         { $$ = tree_pi_new(@$); }
    | KW_inf                        { $$ = tree_infinite_new(@$); }
    | symkw                         { $$ = treen_new(@$, TREE_KEYWORDVALUE, 1, PARA_INT, kst_findkeyword($1)); }
    | symkw '(' argsopt ')'         { $$ = appendargs(kwnode(@$, $1), $3); }
    | genkw '(' argsopt ')'         { $$ = appendargs(kwnode(@$, $1), $3); }
    | IDENT '(' argsopt ')'         { $$ = tree_new(@$, TREE_CALL, PARA_STRING, $1, PARA_TREE, $3, PARA_EMPTY); }
    | TYPENAME '(' argsopt ')'      { $$ = tree_new(@$, TREE_CALL, PARA_STRING, $1, PARA_TREE, $3, PARA_EMPTY); }
    | KW_macro_optargs '[' expr ']' {
                                        treeabs* name = tree_symbole_new(@1, strdup("macro_optargs"));
                                        $$ = treen_new(@$, TREE_INDEX, 2, PARA_TREE, name, PARA_TREE, arglist(@3, nullptr, $3));
                                    }
    | '%' IDENT                     { $$ = treen_new(@$, TREE_MACROCALL, 2, PARA_STRING, $2, PARA_TREE, nullptr); }
    | '%' IDENT '[' argsopt ']'     { $$ = treen_new(@$, TREE_MACROCALL, 2, PARA_STRING, $2, PARA_TREE, $4); }
    | lvalue '%' IDENT              { $$ = treen_new(@$, TREE_METHODCALL, 3, PARA_TREE, $1, PARA_STRING, $3, PARA_TREE, nullptr); }
    | lvalue '%' IDENT '[' argsopt ']'
                                    { $$ = treen_new(@$, TREE_METHODCALL, 3, PARA_TREE, $1, PARA_STRING, $3, PARA_TREE, $5); }
    | '{' expr ',' expr '}'         { $$ = tree_poisson_new(@$, $2, $4); }
    | '[' arglist ']'               { $$ = $2; $$->kind = TREE_VECTOR; $$->loc = @$; }
    | '(' expr ')'                  { $$ = $2; }
    | KW_sum IDENT '=' expr KW_to expr stepopt block
                                    { $$ = loop(@$, TREE_SUM, $2, $4, $6, $7, $8); }
    | KW_prod IDENT '=' expr KW_to expr stepopt block
                                    { $$ = loop(@$, TREE_PROD, $2, $4, $6, $7, $8); }
    ;

arg:
      expr                          { $$ = $1; }
    | expr ':' expr                 { $$ = tree_bornetab_new(@$, $1, $3, nullptr); }
    | expr ':' expr ':' expr        { $$ = tree_bornetab_new(@$, $1, $3, $5); }
    | ELLIPSIS                      { $$ = treen_new(@$, TREE_ELLIPSIS, 0); }
    | FILENAME                      { $$ = treen_new(@$, TREE_FILENAME, 1, PARA_STRING, $1); }
    /* the opening modes of file_open, and the whole list of optional arguments passed on */
    | KW_read                       { $$ = keywordvalue(@$, KW_read); }
    | KW_write                      { $$ = keywordvalue(@$, KW_write); }
    | KW_append                     { $$ = keywordvalue(@$, KW_append); }
    | KW_macro_optargs              { $$ = keywordvalue(@$, KW_macro_optargs); }
    ;

arglist:
      arg                           { $$ = arglist(@$, nullptr, $1); }
    | arglist ',' arg               { $$ = arglist(@$, $1, $3); }
    ;

argsopt:
      %empty                        { $$ = nullptr; }
    | arglist                       { $$ = $1; }
    ;

passkw:
      KW_gnuplot                    { $$ = KW_gnuplot; }
    | KW_maple                      { $$ = KW_maple; }
    | KW_mathematica                { $$ = KW_mathematica; }
    | KW_grace                      { $$ = KW_grace; }
    ;

/* Keyword classes. genkw: commands and functions of the other subsystems, written `kw`,
   `kw arg, ...` as statements and `kw(args)` in expressions; each gets the node kind of its
   keyword and is checked by its own subsystem when it runs. optkw: global options. symkw: words
   that stand for a value (numeric modes, interpolation methods, _ALL). anykw: every keyword, as
   the word after help. The keyword table in keywords.cpp is the reference for all four. */
genkw
    : KW_abs                 { $$ = KW_abs; }
    | KW_accum               { $$ = KW_accum; }
    | KW_acos                { $$ = KW_acos; }
    | KW_acosh               { $$ = KW_acosh; }
    | KW_affmac              { $$ = KW_affmac; }
    | KW_afftab              { $$ = KW_afftab; }
    | KW_append              { $$ = KW_append; }
    | KW_arg                 { $$ = KW_arg; }
    | KW_asin                { $$ = KW_asin; }
    | KW_asinh               { $$ = KW_asinh; }
    | KW_atan                { $$ = KW_atan; }
    | KW_atan2               { $$ = KW_atan2; }
    | KW_atanh               { $$ = KW_atanh; }
    | KW_bilan               { $$ = KW_bilan; }
    | KW_close               { $$ = KW_close; }
    | KW_cls                 { $$ = KW_cls; }
    | KW_coef_ext            { $$ = KW_coef_ext; }
    | KW_coef_num            { $$ = KW_coef_num; }
    | KW_coef_tab            { $$ = KW_coef_tab; }
    | KW_coef_tabexp         { $$ = KW_coef_tabexp; }
    | KW_conj                { $$ = KW_conj; }
    | KW_cos                 { $$ = KW_cos; }
    | KW_cosh                { $$ = KW_cosh; }
    | KW_crevar              { $$ = KW_crevar; }
    | KW_delete              { $$ = KW_delete; }
    | KW_deriv               { $$ = KW_deriv; }
    | KW_det                 { $$ = KW_det; }
    | KW_dim                 { $$ = KW_dim; }
    | KW_dimtovnumC          { $$ = KW_dimtovnumC; }
    | KW_dimtovnumR          { $$ = KW_dimtovnumR; }
    | KW_dimvar              { $$ = KW_dimvar; }
    | KW_div                 { $$ = KW_div; }
    | KW_ecriture            { $$ = KW_ecriture; }
    | KW_effmac              { $$ = KW_effmac; }
    | KW_effmacros           { $$ = KW_effmacros; }
    | KW_eigenvalues         { $$ = KW_eigenvalues; }
    | KW_eigenvectors        { $$ = KW_eigenvectors; }
    | KW_ell_to_xyz          { $$ = KW_ell_to_xyz; }
    | KW_erf                 { $$ = KW_erf; }
    | KW_erfc                { $$ = KW_erfc; }
    | KW_error               { $$ = KW_error; }
    | KW_evalnum             { $$ = KW_evalnum; }
    | KW_exp                 { $$ = KW_exp; }
    | KW_extern_display      { $$ = KW_extern_display; }
    | KW_extern_function     { $$ = KW_extern_function; }
    | KW_extern_lib          { $$ = KW_extern_lib; }
    | KW_extern_type         { $$ = KW_extern_type; }
    | KW_fac                 { $$ = KW_fac; }
    | KW_fft                 { $$ = KW_fft; }
    | KW_fi                  { $$ = KW_fi; }
    | KW_file_close          { $$ = KW_file_close; }
    | KW_file_fullname       { $$ = KW_file_fullname; }
    | KW_file_open           { $$ = KW_file_open; }
    | KW_file_read           { $$ = KW_file_read; }
    | KW_file_readappend     { $$ = KW_file_readappend; }
    | KW_file_readmsg        { $$ = KW_file_readmsg; }
    | KW_file_write          { $$ = KW_file_write; }
    | KW_file_writebin       { $$ = KW_file_writebin; }
    | KW_file_writemsg       { $$ = KW_file_writemsg; }
    | KW_freqa               { $$ = KW_freqa; }
    | KW_freqareson          { $$ = KW_freqareson; }
    | KW_histogram           { $$ = KW_histogram; }
    | KW_ifft                { $$ = KW_ifft; }
    | KW_imag                { $$ = KW_imag; }
    | KW_imax                { $$ = KW_imax; }
    | KW_imin                { $$ = KW_imin; }
    | KW_int                 { $$ = KW_int; }
    | KW_integ               { $$ = KW_integ; }
    | KW_integnum            { $$ = KW_integnum; }
    | KW_integnumfcn         { $$ = KW_integnumfcn; }
    | KW_integral            { $$ = KW_integral; }
    | KW_interpol            { $$ = KW_interpol; }
    | KW_invsereps           { $$ = KW_invsereps; }
    | KW_iternum             { $$ = KW_iternum; }
    | KW_lecture             { $$ = KW_lecture; }
    | KW_log                 { $$ = KW_log; }
    | KW_log10               { $$ = KW_log10; }
    | KW_macro_optargs       { $$ = KW_macro_optargs; }
    | KW_maple_get           { $$ = KW_maple_get; }
    | KW_maple_put           { $$ = KW_maple_put; }
    | KW_mathematica_get     { $$ = KW_mathematica_get; }
    | KW_mathematica_put     { $$ = KW_mathematica_put; }
    | KW_max                 { $$ = KW_max; }
    | KW_mem                 { $$ = KW_mem; }
    | KW_min                 { $$ = KW_min; }
    | KW_mod                 { $$ = KW_mod; }
    | KW_msg                 { $$ = KW_msg; }
    | KW_naf                 { $$ = KW_naf; }
    | KW_naftab              { $$ = KW_naftab; }
    | KW_naftab2             { $$ = KW_naftab2; }
    | KW_nint                { $$ = KW_nint; }
    | KW_pause               { $$ = KW_pause; }
    | KW_plot                { $$ = KW_plot; }
    | KW_plotf               { $$ = KW_plotf; }
    | KW_plotps              { $$ = KW_plotps; }
    | KW_plotps_end          { $$ = KW_plotps_end; }
    | KW_plotreset           { $$ = KW_plotreset; }
    | KW_print               { $$ = KW_print; }
    | KW_random              { $$ = KW_random; }
    | KW_read                { $$ = KW_read; }
    | KW_readappend          { $$ = KW_readappend; }
    | KW_readbin             { $$ = KW_readbin; }
    | KW_real                { $$ = KW_real; }
    | KW_replot              { $$ = KW_replot; }
    | KW_reset               { $$ = KW_reset; }
    | KW_resize              { $$ = KW_resize; }
    | KW_rest_env            { $$ = KW_rest_env; }
    | KW_reversevnum         { $$ = KW_reversevnum; }
    | KW_sauve_c             { $$ = KW_sauve_c; }
    | KW_sauve_fortran       { $$ = KW_sauve_fortran; }
    | KW_sauve_ml            { $$ = KW_sauve_ml; }
    | KW_sauve_tex           { $$ = KW_sauve_tex; }
    | KW_save_env            { $$ = KW_save_env; }
    | KW_scscp_close         { $$ = KW_scscp_close; }
    | KW_scscp_connect       { $$ = KW_scscp_connect; }
    | KW_scscp_delete        { $$ = KW_scscp_delete; }
    | KW_scscp_execute       { $$ = KW_scscp_execute; }
    | KW_scscp_get           { $$ = KW_scscp_get; }
    | KW_scscp_put           { $$ = KW_scscp_put; }
    | KW_select              { $$ = KW_select; }
    | KW_sereps              { $$ = KW_sereps; }
    | KW_sertrig             { $$ = KW_sertrig; }
    | KW_sign                { $$ = KW_sign; }
    | KW_sin                 { $$ = KW_sin; }
    | KW_sinh                { $$ = KW_sinh; }
    | KW_size                { $$ = KW_size; }
    | KW_sort                { $$ = KW_sort; }
    | KW_sqrt                { $$ = KW_sqrt; }
    | KW_stat                { $$ = KW_stat; }
    | KW_str                 { $$ = KW_str; }
    | KW_sup                 { $$ = KW_sup; }
    | KW_tabvar              { $$ = KW_tabvar; }
    | KW_tan                 { $$ = KW_tan; }
    | KW_tanh                { $$ = KW_tanh; }
    | KW_time_l              { $$ = KW_time_l; }
    | KW_time_s              { $$ = KW_time_s; }
    | KW_time_t              { $$ = KW_time_t; }
    | KW_transposevnum       { $$ = KW_transposevnum; }
    | KW_typeof              { $$ = KW_typeof; }
    | KW_varkest             { $$ = KW_varkest; }
    | KW_vnumC               { $$ = KW_vnumC; }
    | KW_vnumR               { $$ = KW_vnumR; }
    | KW_vnumtodim           { $$ = KW_vnumtodim; }
    | KW_write               { $$ = KW_write; }
    | KW_writebin            { $$ = KW_writebin; }
    | KW_writes              { $$ = KW_writes; }
    | KW_xyz_to_ell          { $$ = KW_xyz_to_ell; }
    ;
optkw
    : KW__affc               { $$ = KW__affc; }
    | KW__affdist            { $$ = KW__affdist; }
    | KW__comment            { $$ = KW__comment; }
    | KW__cpu                { $$ = KW__cpu; }
    | KW__echo               { $$ = KW__echo; }
    | KW__endian             { $$ = KW__endian; }
    | KW__graph              { $$ = KW__graph; }
    | KW__hist               { $$ = KW__hist; }
    | KW__history            { $$ = KW__history; }
    | KW__info               { $$ = KW__info; }
    | KW__integnum           { $$ = KW__integnum; }
    | KW__ior                { $$ = KW__ior; }
    | KW__language           { $$ = KW__language; }
    | KW__mode               { $$ = KW__mode; }
    | KW__modenum            { $$ = KW__modenum; }
    | KW__modenum_prec       { $$ = KW__modenum_prec; }
    | KW__naf_dtour          { $$ = KW__naf_dtour; }
    | KW__naf_icplx          { $$ = KW__naf_icplx; }
    | KW__naf_iprt           { $$ = KW__naf_iprt; }
    | KW__naf_isec           { $$ = KW__naf_isec; }
    | KW__naf_iw             { $$ = KW__naf_iw; }
    | KW__naf_nulin          { $$ = KW__naf_nulin; }
    | KW__naf_tol            { $$ = KW__naf_tol; }
    | KW__naf_tp             { $$ = KW__naf_tp; }
    | KW__path               { $$ = KW__path; }
    | KW__quiet              { $$ = KW__quiet; }
    | KW__read               { $$ = KW__read; }
    | KW__read_history       { $$ = KW__read_history; }
    | KW__time               { $$ = KW__time; }
    | KW__trcoef             { $$ = KW__trcoef; }
    | KW__userlibrary_path   { $$ = KW__userlibrary_path; }
    ;
symkw
    : KW_COMPLEX             { $$ = KW_COMPLEX; }
    | KW_HERMITE             { $$ = KW_HERMITE; }
    | KW_LINEAR              { $$ = KW_LINEAR; }
    | KW_MAX                 { $$ = KW_MAX; }
    | KW_MIN                 { $$ = KW_MIN; }
    | KW_Mod                 { $$ = KW_Mod; }
    | KW_NUMDBL              { $$ = KW_NUMDBL; }
    | KW_NUMFPMP             { $$ = KW_NUMFPMP; }
    | KW_NUMQUAD             { $$ = KW_NUMQUAD; }
    | KW_NUMRAT              { $$ = KW_NUMRAT; }
    | KW_NUMRATMP            { $$ = KW_NUMRATMP; }
    | KW_QUADRATIC           { $$ = KW_QUADRATIC; }
    | KW_REAL                { $$ = KW_REAL; }
    | KW_SPLINE              { $$ = KW_SPLINE; }
    | KW__ALL                { $$ = KW__ALL; }
    ;
anykw
    : KW_COMPLEX             { $$ = KW_COMPLEX; }
    | KW_HERMITE             { $$ = KW_HERMITE; }
    | KW_i                   { $$ = KW_i; }
    | KW_LINEAR              { $$ = KW_LINEAR; }
    | KW_macro               { $$ = KW_macro; }
    | KW_MAX                 { $$ = KW_MAX; }
    | KW_MIN                 { $$ = KW_MIN; }
    | KW_Mod                 { $$ = KW_Mod; }
    | KW_NUMDBL              { $$ = KW_NUMDBL; }
    | KW_NUMFPMP             { $$ = KW_NUMFPMP; }
    | KW_NUMQUAD             { $$ = KW_NUMQUAD; }
    | KW_NUMRAT              { $$ = KW_NUMRAT; }
    | KW_NUMRATMP            { $$ = KW_NUMRATMP; }
    | KW_pi                  { $$ = KW_pi; }
    | KW_QUADRATIC           { $$ = KW_QUADRATIC; }
    | KW_REAL                { $$ = KW_REAL; }
    | KW_SPLINE              { $$ = KW_SPLINE; }
    | KW__ALL                { $$ = KW__ALL; }
    | KW__affc               { $$ = KW__affc; }
    | KW__affdist            { $$ = KW__affdist; }
    | KW__comment            { $$ = KW__comment; }
    | KW__cpu                { $$ = KW__cpu; }
    | KW__echo               { $$ = KW__echo; }
    | KW__endian             { $$ = KW__endian; }
    | KW__graph              { $$ = KW__graph; }
    | KW__hist               { $$ = KW__hist; }
    | KW__history            { $$ = KW__history; }
    | KW__info               { $$ = KW__info; }
    | KW__integnum           { $$ = KW__integnum; }
    | KW__ior                { $$ = KW__ior; }
    | KW__language           { $$ = KW__language; }
    | KW__mode               { $$ = KW__mode; }
    | KW__modenum            { $$ = KW__modenum; }
    | KW__modenum_prec       { $$ = KW__modenum_prec; }
    | KW__naf_dtour          { $$ = KW__naf_dtour; }
    | KW__naf_icplx          { $$ = KW__naf_icplx; }
    | KW__naf_iprt           { $$ = KW__naf_iprt; }
    | KW__naf_isec           { $$ = KW__naf_isec; }
    | KW__naf_iw             { $$ = KW__naf_iw; }
    | KW__naf_nulin          { $$ = KW__naf_nulin; }
    | KW__naf_tol            { $$ = KW__naf_tol; }
    | KW__naf_tp             { $$ = KW__naf_tp; }
    | KW__path               { $$ = KW__path; }
    | KW__quiet              { $$ = KW__quiet; }
    | KW__read               { $$ = KW__read; }
    | KW__read_history       { $$ = KW__read_history; }
    | KW__time               { $$ = KW__time; }
    | KW__trcoef             { $$ = KW__trcoef; }
    | KW__userlibrary_path   { $$ = KW__userlibrary_path; }
    | KW_abs                 { $$ = KW_abs; }
    | KW_accum               { $$ = KW_accum; }
    | KW_acos                { $$ = KW_acos; }
    | KW_acosh               { $$ = KW_acosh; }
    | KW_affmac              { $$ = KW_affmac; }
    | KW_afftab              { $$ = KW_afftab; }
    | KW_append              { $$ = KW_append; }
    | KW_arg                 { $$ = KW_arg; }
    | KW_asin                { $$ = KW_asin; }
    | KW_asinh               { $$ = KW_asinh; }
    | KW_atan                { $$ = KW_atan; }
    | KW_atan2               { $$ = KW_atan2; }
    | KW_atanh               { $$ = KW_atanh; }
    | KW_bilan               { $$ = KW_bilan; }
    | KW_case                { $$ = KW_case; }
    | KW_catch               { $$ = KW_catch; }
    | KW_close               { $$ = KW_close; }
    | KW_cls                 { $$ = KW_cls; }
    | KW_coef_ext            { $$ = KW_coef_ext; }
    | KW_coef_num            { $$ = KW_coef_num; }
    | KW_coef_tab            { $$ = KW_coef_tab; }
    | KW_coef_tabexp         { $$ = KW_coef_tabexp; }
    | KW_conj                { $$ = KW_conj; }
    | KW_cos                 { $$ = KW_cos; }
    | KW_cosh                { $$ = KW_cosh; }
    | KW_crevar              { $$ = KW_crevar; }
    | KW_delete              { $$ = KW_delete; }
    | KW_deriv               { $$ = KW_deriv; }
    | KW_det                 { $$ = KW_det; }
    | KW_dim                 { $$ = KW_dim; }
    | KW_dimtovnumC          { $$ = KW_dimtovnumC; }
    | KW_dimtovnumR          { $$ = KW_dimtovnumR; }
    | KW_dimvar              { $$ = KW_dimvar; }
    | KW_div                 { $$ = KW_div; }
    | KW_do                  { $$ = KW_do; }
    | KW_ecriture            { $$ = KW_ecriture; }
    | KW_effmac              { $$ = KW_effmac; }
    | KW_effmacros           { $$ = KW_effmacros; }
    | KW_eigenvalues         { $$ = KW_eigenvalues; }
    | KW_eigenvectors        { $$ = KW_eigenvectors; }
    | KW_ell_to_xyz          { $$ = KW_ell_to_xyz; }
    | KW_else                { $$ = KW_else; }
    | KW_erf                 { $$ = KW_erf; }
    | KW_erfc                { $$ = KW_erfc; }
    | KW_error               { $$ = KW_error; }
    | KW_evalnum             { $$ = KW_evalnum; }
    | KW_quit                { $$ = KW_quit; }
    | KW_exp                 { $$ = KW_exp; }
    | KW_extern_display      { $$ = KW_extern_display; }
    | KW_extern_function     { $$ = KW_extern_function; }
    | KW_extern_lib          { $$ = KW_extern_lib; }
    | KW_extern_type         { $$ = KW_extern_type; }
    | KW_fac                 { $$ = KW_fac; }
    | KW_fft                 { $$ = KW_fft; }
    | KW_fi                  { $$ = KW_fi; }
    | KW_file_close          { $$ = KW_file_close; }
    | KW_file_fullname       { $$ = KW_file_fullname; }
    | KW_file_open           { $$ = KW_file_open; }
    | KW_file_read           { $$ = KW_file_read; }
    | KW_file_readappend     { $$ = KW_file_readappend; }
    | KW_file_readmsg        { $$ = KW_file_readmsg; }
    | KW_file_write          { $$ = KW_file_write; }
    | KW_file_writebin       { $$ = KW_file_writebin; }
    | KW_file_writemsg       { $$ = KW_file_writemsg; }
    | KW_for                 { $$ = KW_for; }
    | KW_freqa               { $$ = KW_freqa; }
    | KW_freqareson          { $$ = KW_freqareson; }
    | KW_gnuplot             { $$ = KW_gnuplot; }
    | KW_grace               { $$ = KW_grace; }
    | KW_help                { $$ = KW_help; }
    | KW_histogram           { $$ = KW_histogram; }
    | KW_if                  { $$ = KW_if; }
    | KW_ifft                { $$ = KW_ifft; }
    | KW_imag                { $$ = KW_imag; }
    | KW_imax                { $$ = KW_imax; }
    | KW_imin                { $$ = KW_imin; }
    | KW_include             { $$ = KW_include; }
    | KW_inf                 { $$ = KW_inf; }
    | KW_int                 { $$ = KW_int; }
    | KW_integ               { $$ = KW_integ; }
    | KW_integnum            { $$ = KW_integnum; }
    | KW_integnumfcn         { $$ = KW_integnumfcn; }
    | KW_integral            { $$ = KW_integral; }
    | KW_interpol            { $$ = KW_interpol; }
    | KW_invsereps           { $$ = KW_invsereps; }
    | KW_iternum             { $$ = KW_iternum; }
    | KW_lecture             { $$ = KW_lecture; }
    | KW_log                 { $$ = KW_log; }
    | KW_log10               { $$ = KW_log10; }
    | KW_macro_optargs       { $$ = KW_macro_optargs; }
    | KW_maple               { $$ = KW_maple; }
    | KW_maple_get           { $$ = KW_maple_get; }
    | KW_maple_put           { $$ = KW_maple_put; }
    | KW_mathematica         { $$ = KW_mathematica; }
    | KW_mathematica_get     { $$ = KW_mathematica_get; }
    | KW_mathematica_put     { $$ = KW_mathematica_put; }
    | KW_max                 { $$ = KW_max; }
    | KW_mem                 { $$ = KW_mem; }
    | KW_min                 { $$ = KW_min; }
    | KW_mod                 { $$ = KW_mod; }
    | KW_msg                 { $$ = KW_msg; }
    | KW_naf                 { $$ = KW_naf; }
    | KW_naftab              { $$ = KW_naftab; }
    | KW_naftab2             { $$ = KW_naftab2; }
    | KW_nint                { $$ = KW_nint; }
    | KW_off                 { $$ = KW_off; }
    | KW_on                  { $$ = KW_on; }
    | KW_pause               { $$ = KW_pause; }
    | KW_plot                { $$ = KW_plot; }
    | KW_plotf               { $$ = KW_plotf; }
    | KW_plotps              { $$ = KW_plotps; }
    | KW_plotps_end          { $$ = KW_plotps_end; }
    | KW_plotreset           { $$ = KW_plotreset; }
    | KW_print               { $$ = KW_print; }
    | KW_private             { $$ = KW_private; }
    | KW_prod                { $$ = KW_prod; }
    | KW_public              { $$ = KW_public; }
    | KW_random              { $$ = KW_random; }
    | KW_read                { $$ = KW_read; }
    | KW_readappend          { $$ = KW_readappend; }
    | KW_readbin             { $$ = KW_readbin; }
    | KW_real                { $$ = KW_real; }
    | KW_replot              { $$ = KW_replot; }
    | KW_reset               { $$ = KW_reset; }
    | KW_resize              { $$ = KW_resize; }
    | KW_rest_env            { $$ = KW_rest_env; }
    | KW_return              { $$ = KW_return; }
    | KW_reversevnum         { $$ = KW_reversevnum; }
    | KW_sauve_c             { $$ = KW_sauve_c; }
    | KW_sauve_fortran       { $$ = KW_sauve_fortran; }
    | KW_sauve_ml            { $$ = KW_sauve_ml; }
    | KW_sauve_tex           { $$ = KW_sauve_tex; }
    | KW_save_env            { $$ = KW_save_env; }
    | KW_scscp_close         { $$ = KW_scscp_close; }
    | KW_scscp_connect       { $$ = KW_scscp_connect; }
    | KW_scscp_delete        { $$ = KW_scscp_delete; }
    | KW_scscp_execute       { $$ = KW_scscp_execute; }
    | KW_scscp_get           { $$ = KW_scscp_get; }
    | KW_scscp_put           { $$ = KW_scscp_put; }
    | KW_select              { $$ = KW_select; }
    | KW_sereps              { $$ = KW_sereps; }
    | KW_sertrig             { $$ = KW_sertrig; }
    | KW_sign                { $$ = KW_sign; }
    | KW_sin                 { $$ = KW_sin; }
    | KW_sinh                { $$ = KW_sinh; }
    | KW_size                { $$ = KW_size; }
    | KW_sort                { $$ = KW_sort; }
    | KW_sqrt                { $$ = KW_sqrt; }
    | KW_stat                { $$ = KW_stat; }
    | KW_step                { $$ = KW_step; }
    | KW_stop                { $$ = KW_stop; }
    | KW_str                 { $$ = KW_str; }
    | KW_struct              { $$ = KW_struct; }
    | KW_sum                 { $$ = KW_sum; }
    | KW_sup                 { $$ = KW_sup; }
    | KW_switch              { $$ = KW_switch; }
    | KW_tabvar              { $$ = KW_tabvar; }
    | KW_tan                 { $$ = KW_tan; }
    | KW_tanh                { $$ = KW_tanh; }
    | KW_then                { $$ = KW_then; }
    | KW_time_l              { $$ = KW_time_l; }
    | KW_time_s              { $$ = KW_time_s; }
    | KW_time_t              { $$ = KW_time_t; }
    | KW_to                  { $$ = KW_to; }
    | KW_transposevnum       { $$ = KW_transposevnum; }
    | KW_try                 { $$ = KW_try; }
    | KW_typeof              { $$ = KW_typeof; }
    | KW_varkest             { $$ = KW_varkest; }
    | KW_vnumC               { $$ = KW_vnumC; }
    | KW_vnumR               { $$ = KW_vnumR; }
    | KW_vnumtodim           { $$ = KW_vnumtodim; }
    | KW_while               { $$ = KW_while; }
    | KW_write               { $$ = KW_write; }
    | KW_writebin            { $$ = KW_writebin; }
    | KW_writes              { $$ = KW_writes; }
    | KW_xyz_to_ell          { $$ = KW_xyz_to_ell; }
    ;
%%

static void treebisonerror(TREEBISONLTYPE* loc, t_lexstate* ls, const char* msg)
{
    // A text that ends inside a comment is reported once, as such, by the caller.
    if (ls->eofincomment) return;
    kst_parserror(ls->ctx, ls->st->code, loc, msg);
}

int treebison_run(t_lexstate* ls) { return treebisonparse(ls); }

t_lexstate* treelex_begin(t_cctx* ctx, sttreeparse* st, bool wholetext)
{
    t_lexstate* ls = treelex_getextra(st);
    ls->st = st;
    ls->ctx = ctx;
    ls->wholetext = wholetext;
    // The session may have replaced the text since the last turn: nothing buffered survives.
    treelex_restart(ls);
    int length = st->code ? st->code->length : 0;
    if (st->pos < 0 || st->pos > length) st->pos = length;
    ls->readpos = ls->offset = ls->linestart = ls->lastterm = st->pos;
    ls->line = 1;
    for (int i = 0; i < st->pos; i++) {
        if (st->code->text[i] == '\n') {
            ls->line++;
            ls->linestart = i + 1;
        }
    }
    ls->stmtstart = -1;
    ls->lasttoken = 0;
    ls->commentdepth = 0;
    ls->eofincomment = false;
    ls->blocdepth = 0;
    for (treeabs* t : ls->savedcomments) tree_delete(t);
    ls->savedcomments.clear();
    setprompt_bloc(0);
    setprompt_string(0);
    setprompt_comment(0);
    st->tree = nullptr;
    return ls;
}

int tree_parse(t_cctx* ctx, sttreeparse* st, bool wholetext)
{
    t_lexstate* ls = treelex_begin(ctx, st, wholetext);
    int failed = treebison_run(ls);
    for (treeabs* t : ls->savedcomments) tree_delete(t);
    ls->savedcomments.clear();
    if (ls->blocdepth) setprompt_bloc(ls->blocdepth = 0);
    if (failed || ls->eofincomment) {
        tree_delete(st->tree);
        st->tree = nullptr;
        // Pass-through modes and open strings end with the failed statement.
        if (!ls->eofincomment) {
            treelex_restart(ls);
            setprompt_radical(PROMPT_KEST);
            setprompt_string(0);
        }
        return 1;
    }
    // Comments after the last statement belong to none: the next parse starts afresh.
    tree_delete(st->comment);
    st->comment = nullptr;
    if (wholetext) st->pos = st->code ? st->code->length : 0;
    return 0;
}
