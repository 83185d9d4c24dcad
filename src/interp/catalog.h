// Message catalogue files: "$set N" lines open a set, other "$" lines are comments, message lines
// are "<number> <text>" with \" \\ \n \t \v escapes. One malformed line makes the file unreadable.
#pragma once

constexpr int kst_catbad = -1;

int kst_catopen(const char* path);       // handle, or kst_catbad when missing or malformed
// The text, or `deftext` for a set or number outside the tables or without a text.
const char* kst_catgets(int handle, int set, int number, const char* deftext);
void kst_catclose(int handle);
