//! interactive
//! setup: mkdir -p mylib && printf 'macro twice[x] { return 2*x; };\n' > mylib/twice.t
// Session settings and reports: comments shown while running, statistics and memory of
// identifiers, the series mode, the history file and the user's library directory.
x = 1$
_comment on;
// this comment is shown
/* and this block
   comment too */
y = 2;
_comment off;
// this one is not
s = "abc"$
stat x, s;
bilan;
bilan s;
stat nothere;
bilan nothere;
_mode;
_mode = 3;
_mode;
_mode on;
_history = "myhist.kest";
_history;
a = 5;
b = a + 1$
_history = "/nonexistent/dir/h.kest";
_hist;
_userlibrary_path;
_userlibrary_path = "mylib";
_userlibrary_path;
twice(4);
_userlibrary_path = "/nonexistent";
_userlibrary_path;
reset;
twice(5);
