//! interactive
// A file object shows the word for "file" of the current language; help on a word that is
// neither a keyword nor a macro says there is no help for it, and the session goes on.
f = file_open("out.txt", "write");
print f;
file_close(f);
f;
help nosuchword;
macro mine[a] { return a; };
? mine;
help to;
_language = "fr";
f;
help nosuchword;
_language = "en";
help nosuchword; x = 1;
