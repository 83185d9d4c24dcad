//! interactive
// Statements inside blocks (loop bodies, branches, macro bodies) run in their place: what each
// shows, drops and reports stays as written, and echo or comments switched on inside a loop
// apply from the next statement on.
for k = 1 to 2 { a = k; b = 10*k$ };
b;
for k = 1 to 2 { c = k$ c; };
for k = 1 to 3 { if (k == 2) then { _echo on$ }; d = k; };
_echo off;
for k = 1 to 2 { if (k == 2) then { _comment on$ };
  // shown on the second turn
  e = k$ };
_comment off;
for k = 1 to 2 { f = k$ g = f + nosuch$ };
f;
for k = 1 to 2 { h = k$ };
h;
macro pick[a, b] { c = a$
  d = b; return c - d; };
%pick[7, 2];
p = %pick[1, 5]$
p;
macro none[] { return 42; };
for k = 1 to 2 { q = %none[]$ };
q;
macro wrong[a] { r = a$ return a + nosuch; };
for k = 1 to 2 { t = %wrong[k]$ };
t = %pick[3, 1]$
t;
