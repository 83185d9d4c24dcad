// Raw text escaped for TeX and MathML, and the table/paragraph frames of report writers.
#include "render/render.h"

#include <climits>
#include <cstring>

void render_tex_unsafe(FILE* stream, const char* text)
{
    // Runs without an underscore go out in one write: names are printed once per series term.
    for (;;) {
        size_t run = strcspn(text, "_");
        if (run) fwrite(text, 1, run, stream);
        if (!text[run]) return;
        fputs("\\_", stream);
        text += run + 1;
    }
}

void render_ml_unsafe(FILE* stream, const char* text, int length)
{
    const char* run = text;
    const char* p = text;
    for (int i = 0; i < length && *p; i++, p++) {
        const char* repl;
        switch (*p) {
        case '\n': repl = "<br />"; break;
        case '<': repl = "&#60;"; break;
        case '>': repl = "&#62;"; break;
        default: continue;
        }
        if (p > run) fwrite(run, 1, p - run, stream);
        fputs(repl, stream);
        run = p + 1;
    }
    if (p > run) fwrite(run, 1, p - run, stream);
}

void render_ml_unsafe(FILE* stream, const char* text) { render_ml_unsafe(stream, text, INT_MAX); }

void render_tex_tabular_begin(FILE* stream, const char* colspec)
{
    fprintf(stream, "\\begin{tabular}{%s}\n", colspec);
}

void render_tex_tabular_end(FILE* stream) { fputs("\\end{tabular}\n", stream); }
void render_ml_tabular_begin(FILE* stream) { fputs("<table>\n", stream); }
void render_ml_tabular_end(FILE* stream) { fputs("</table>\n", stream); }
void render_ml_para_begin(FILE* stream) { fputs("<p>", stream); }
void render_ml_para_end(FILE* stream) { fputs("</p>\n", stream); }
