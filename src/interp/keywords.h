// The keyword table of the language: 229 entries sorted by text, each with its parser token.
#pragma once
#include <cstddef>

struct t_keyword {
    const char* text;
    int token;
};

constexpr int kst_keywordcount = 229;
const t_keyword* kst_keywordtable();
// Index of the entry whose text is exactly word[0..len), or -1 (binary search, case-sensitive).
int kst_lookupkeyword(const char* word, size_t len);
// Index of the first entry with that token, or -1 (to print a keyword from its token).
int kst_findkeyword(int token);
