// Shared source text: reference counting and line counting.
#include "interp/treesharedcode.h"
#include "interp/error.h"

#include <cstdlib>
#include <cstring>

treesharedcode* treesharedcode_new(const char* name, char* text, int length, int owns)
{
    auto* code = static_cast<treesharedcode*>(kst_checkmalloc(sizeof(treesharedcode)));
    code->name = name ? strdup(name) : nullptr;
    code->text = text;
    new (&code->refcount) std::atomic<int>(1);
    code->length = length;
    code->owns = owns;
    return code;
}

void treesharedcode_attach(treesharedcode* code)
{
    if (code) code->refcount.fetch_add(1, std::memory_order_relaxed);
}

void treesharedcode_detach(treesharedcode* code)
{
    if (!code) return;
    if (code->refcount.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    free(code->name);
    if (code->owns) free(code->text);
    code->refcount.~atomic<int>();
    free(code);
}

int treesharedcode_countline(const treesharedcode* code)
{
    int n = 0;
    for (int i = 0; i < code->length; i++) n += code->text[i] == '\n';
    return n;
}

int treesharedcode_countline(const treesharedcode* code, const t_tree_loc* loc)
{
    int start = loc->start_offset < 0 ? 0 : loc->start_offset;
    int end = loc->last_column < code->length ? loc->last_column : code->length;
    int n = 0;
    for (int i = start; i < end; i++) n += code->text[i] == '\n';
    return n;
}

void treesharedcode_append(treesharedcode* code, const char* text, int length)
{
    char* grown = static_cast<char*>(realloc(code->owns ? code->text : nullptr, code->length + length + 1));
    if (!grown) kst_fatalerror(436, (long)(code->length + length + 1), "SYSCHECKMALLOC");
    if (!code->owns && code->length) memcpy(grown, code->text, code->length);
    memcpy(grown + code->length, text, length);
    grown[code->length + length] = 0;
    code->text = grown;
    code->length += length;
    code->owns = 1;
}
