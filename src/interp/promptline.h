// Prompts: one default per lexer mode, and the nesting prefix of unfinished constructs.
#pragma once

class t_cctx;

enum { PROMPT_KEST = 0, PROMPT_MAPLE, PROMPT_MATHEMATICA, PROMPT_GNUPLOT, PROMPT_GRACE };

extern "C" {
void setdefaultprompt_keststate(const char* p);
void setdefaultprompt_maplestate(const char* p);
void setdefaultprompt_mathematicastate(const char* p);
void setdefaultprompt_gnuplotstate(const char* p);
void setdefaultprompt_gracestate(const char* p);
const char* getdefaultprompt_keststate();
const char* getdefaultprompt_maplestate();
const char* getdefaultprompt_mathematicastate();
const char* getdefaultprompt_gnuplotstate();
const char* getdefaultprompt_gracestate();
const char* kst_getprompt();
}
void setdefaultprompt_default(t_cctx* ctx);

// Called by the lexer when it enters or leaves a string, a comment or a block.
void setprompt_string(int instring);
void setprompt_comment(int depth);
void setprompt_bloc(int depth);
void setprompt_radical(int mode);    // the default prompt of a lexer mode becomes the radical
void setprompt_reset();              // nothing open any more
