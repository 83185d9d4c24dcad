// kest: the console host. Runs the script files named on the command line, then (when standard
// input is a terminal, or when no file was named) the interactive loop with line editing.
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/promptline.h"

#include <readline/history.h>
#include <readline/readline.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* const s_usage =
    "usage: kest [-q] [-r RENDER] [--scscp] [FILE...]\n"
    "  -q         no welcome banner\n"
    "  -r RENDER  output dialect: 0 text (default), 1 text with mark-up, 2 TeX, 3 MathML, 4 HTML\n"
    "  --scscp    serve the session to SCSCP clients after start-up\n"
    "  FILE       scripts run in order before the interactive prompt (which is only offered\n"
    "             when standard input is a terminal)\n";

std::string s_line;

// Line reader for the kernel: readline with the kernel's prompt, the line fed back with its
// line feed, as the lexer expects.
const char* readline_hook(FILE*)
{
    char* line = readline(kst_getprompt());
    if (!line) return nullptr;
    if (*line) add_history(line);
    s_line = line;
    s_line += '\n';
    free(line);
    return s_line.c_str();
}

char* keyword_generator(const char* text, int state)
{
    static const char* const* words;
    static size_t len;
    if (!state) {
        words = kst_get_keywords();
        len = strlen(text);
    }
    while (words && *words) {
        const char* w = *words++;
        if (strncmp(w, text, len) == 0) return strdup(w);
    }
    return nullptr;
}

char** complete(const char* text, int, int)
{
    rl_attempted_completion_over = 0;
    return rl_completion_matches(text, keyword_generator);
}

void on_interrupt(int) { kst_stop(); }

std::string historyfile()
{
    const char* dir = getenv("LOCALAPPDATA");
    if (!dir) dir = getenv("APPDATA");
    char cwd[4096];
    std::string base = dir ? dir : (getcwd(cwd, sizeof cwd) ? cwd : ".");
    return base + "/history.kest";
}

} // namespace

int main(int argc, char** argv)
{
    int mode = 0, render = 0;
    std::vector<const char*> files;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-q") == 0) {
            mode = 1;
        } else if (strcmp(argv[i], "-r") == 0 && i + 1 < argc) {
            render = atoi(argv[++i]);
        } else if (strcmp(argv[i], "--scscp") == 0) {
            mode = 10000;
        } else if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
            fputs(s_usage, stdout);
            return 0;
        } else if (strcmp(argv[i], "--") == 0) {
            for (i++; i < argc; i++) files.push_back(argv[i]);
        } else if (argv[i][0] == '-' && argv[i][1]) {
            fprintf(stderr, "kest: unknown option '%s'\n%s", argv[i], s_usage);
            return 2;
        } else {
            files.push_back(argv[i]);
        }
    }

    bool terminal = isatty(STDIN_FILENO);
    if (terminal) {
        // The kernel truncates its history file when it opens it: take the old lines first.
        using_history();
        read_history(historyfile().c_str());
        rl_attempted_completion_function = complete;
        kst_setfunchook_iochar(readline_hook, nullptr, nullptr);
    }
    kst_findkestdir(argv[0]);
    t_cctx* ctx = kest_init(mode, render);
    signal(SIGINT, on_interrupt);

    // Each script starts afresh: an error in one must not skip the next.
    for (const char* f : files) {
        kst_include(ctx, f, false);
        Erreur_Execution = 0;
    }
    if (files.empty() || terminal) yy_startparse();
    if (terminal) write_history(historyfile().c_str());
    return 0;
}
