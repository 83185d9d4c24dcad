// Prompts: a default per lexer mode and a prefix that shows what is still open.
#include "interp/promptline.h"

#include "interp/cctx.h"
#include "render/render.h"

#include <cstdio>
#include <cstring>

namespace {
char s_prompt[256];
char s_defaults[5][256] = {"> ", "maple> ", "mathematica> ", "gnuplot> ", "grace> "};
int s_prompt_string = 0;
int s_prompt_comment = 0;
int s_prompt_bloc = 0;
int s_radical = PROMPT_KEST;

void rebuild()
{
    const char* radical = s_defaults[s_radical];
    t_cctx* ctx = t_cctx::getLocalCctx();
    bool html = ctx->getrender() && ctx->getrender()->getkind() == 4;
    size_t n = 0;
    auto put = [&](const char* s) {
        size_t len = strlen(s);
        if (n + len >= sizeof s_prompt) len = sizeof s_prompt - 1 - n;
        memcpy(s_prompt + n, s, len);
        n += len;
    };
    if (!html) {
        for (int i = 0; i < s_prompt_bloc; i++) put("{");
        if (s_prompt_string) put("\"");
        for (int i = 0; i < s_prompt_comment; i++) put("/*");
    }
    put(radical);
    s_prompt[n] = 0;
}

void setdefault(int mode, const char* p)
{
    snprintf(s_defaults[mode], sizeof s_defaults[mode], "%s", p ? p : "");
    if (mode == s_radical) rebuild();
}
} // namespace

void setdefaultprompt_keststate(const char* p) { setdefault(PROMPT_KEST, p); }
void setdefaultprompt_maplestate(const char* p) { setdefault(PROMPT_MAPLE, p); }
void setdefaultprompt_mathematicastate(const char* p) { setdefault(PROMPT_MATHEMATICA, p); }
void setdefaultprompt_gnuplotstate(const char* p) { setdefault(PROMPT_GNUPLOT, p); }
void setdefaultprompt_gracestate(const char* p) { setdefault(PROMPT_GRACE, p); }
const char* getdefaultprompt_keststate() { return s_defaults[PROMPT_KEST]; }
const char* getdefaultprompt_maplestate() { return s_defaults[PROMPT_MAPLE]; }
const char* getdefaultprompt_mathematicastate() { return s_defaults[PROMPT_MATHEMATICA]; }
const char* getdefaultprompt_gnuplotstate() { return s_defaults[PROMPT_GNUPLOT]; }
const char* getdefaultprompt_gracestate() { return s_defaults[PROMPT_GRACE]; }

const char* kst_getprompt()
{
    if (!s_prompt[0]) rebuild();
    return s_prompt;
}

void setdefaultprompt_default(t_cctx* ctx)
{
    static const char* const modes[5] = {"kest", "maple", "mathematica", "gnuplot", "grace"};
    static const char* const plain[5] = {"> ", "maple> ", "mathematica> ", "gnuplot> ", "grace> "};
    int kind = ctx && ctx->getrender() ? ctx->getrender()->getkind() : 0;
    for (int m = 0; m < 5; m++) {
        char buf[256];
        if (kind == 1 || kind == 4)
            snprintf(buf, sizeof buf, "<!-- newprompt='%s' --><prompt/>", modes[m]);
        else if (kind == 2)
            snprintf(buf, sizeof buf, "<prompt/>");
        else
            snprintf(buf, sizeof buf, "%s", plain[m]);
        setdefault(m, buf);
    }
    rebuild();
}

void setprompt_string(int instring)
{
    if (s_prompt_string != instring) { s_prompt_string = instring; rebuild(); }
}

void setprompt_comment(int depth)
{
    if (s_prompt_comment != depth) { s_prompt_comment = depth; rebuild(); }
}

void setprompt_bloc(int depth)
{
    if (s_prompt_bloc != depth) { s_prompt_bloc = depth; rebuild(); }
}

void setprompt_radical(int mode)
{
    if (mode < PROMPT_KEST || mode > PROMPT_GRACE) mode = PROMPT_KEST;
    s_radical = mode;
    rebuild();
}

void setprompt_reset()
{
    s_prompt_string = s_prompt_comment = s_prompt_bloc = 0;
    rebuild();
}
