// Shared, reference-counted source text and source locations, quoted by error reports long after
// the parse (a macro defined in one file and failing when called from another).
#pragma once
#include <atomic>

// Five integers in this order; -1 in a field means unknown. Columns are offsets from the start of
// the parsed text; the start offset is where the statement begins.
struct t_tree_loc {
    int first_line = -1;
    int start_offset = -1;
    int first_column = -1;
    int last_line = -1;
    int last_column = -1;       // offset of the construct's last character (inclusive)

    bool isvalid() const {
        return first_line != -1 && start_offset != -1 && first_column != -1 && last_line != -1 &&
               last_column != -1;
    }
};
static_assert(sizeof(t_tree_loc) == 5 * sizeof(int), "t_tree_loc is five 32-bit integers");

struct treesharedcode {
    char* name;                 // file name for file piles, else null (owned)
    char* text;
    std::atomic<int> refcount;
    int length;
    int owns;                   // 1: text is freed with the record
};

treesharedcode* treesharedcode_new(const char* name, char* text, int length, int owns);
void treesharedcode_attach(treesharedcode* code);
void treesharedcode_detach(treesharedcode* code);
int treesharedcode_countline(const treesharedcode* code);
int treesharedcode_countline(const treesharedcode* code, const t_tree_loc* loc);
// Appends text to an owned shared text (interactive input grows line by line).
void treesharedcode_append(treesharedcode* code, const char* text, int length);
