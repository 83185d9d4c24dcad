// Stand-ins for the session layer around the front end: errors are counted instead of displayed,
// prompts are ignored, and lines are read from the input being driven.
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/promptline.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::atomic<int> Erreur_Execution{0};
int g_frontend_parseerrors = 0;
FILE* g_stdout = stdout;
FILE* g_stdwarn = stdout;
FILE* g_stderr = stderr;

// The interactive input: served one line (at most 510 characters, as the real reader) per call.
const char* g_frontend_input = nullptr;
size_t g_frontend_inputlen = 0;
static char s_line[512];

const char* kst_readchar(FILE*)
{
    if (!g_frontend_input || g_frontend_inputlen == 0) return nullptr;
    size_t n = 0;
    while (n < g_frontend_inputlen && n < 510) {
        char c = g_frontend_input[n++];
        if (c == '\n') break;
    }
    memcpy(s_line, g_frontend_input, n);
    s_line[n] = 0;
    g_frontend_input += n;
    g_frontend_inputlen -= n;
    return s_line;
}

char* kst_flushreadchar(FILE*) { return nullptr; }

void kst_parserror(t_cctx*, treesharedcode*, t_tree_loc* loc, const char*)
{
    if (!loc) abort();
    g_frontend_parseerrors++;
    Erreur_Execution = 1;
}

void kst_fatalerror(int number, ...)
{
    fprintf(stderr, "fatal error %d\n", number);
    abort();
}

void kst_iceerror(int number, const char* function, ...)
{
    fprintf(stderr, "internal error %d in %s\n", number, function);
    abort();
}

void* kst_checkmalloc(size_t size, const char*)
{
    void* p = malloc(size);
    if (!p) abort();
    return p;
}

void setprompt_string(int) {}
void setprompt_comment(int) {}
void setprompt_bloc(int) {}
void setprompt_radical(int) {}
void setprompt_reset() {}

// Structure names declared by the parsed text: the harness has no type table.
void kst_declaretype_parsed(const char*) {}
