//! interactive
// Calls and loop turns push and pop piles over and over: each call starts with nothing left by
// the one before (private names, a returned value, a try, a long name, its bindings).
t = 100$
macro keep[a] { private t; t = a; return t; };
macro look[a] { return t + a; };
for k = 1 to 3 { u = %keep[k]$ v = %look[k]$ };
u;
v;
t;
macro twice[a] { return a*2; };
macro noreturn[a] { b = a$ };
for k = 1 to 3 { w = %twice[k]$ %noreturn[k]$ };
w;
x = %noreturn[5];
x = %twice[5];
macro aname_of_forty_characters_or_so_for_you[a] { return a + 1; };
for k = 1 to 3 { y = %aname_of_forty_characters_or_so_for_you[k]$ z = %twice[k]$ };
y;
z;
macro bad[a] { return a + nosuchname; };
macro guarded[a] { try { b = %bad[a]$ } catch { msg("caught\n"); }; return a; };
for k = 1 to 2 { g = %guarded[k]$ };
g;
%bad[1];
%twice[4];
macro two[a, b] { return a - b; };
macro one[b] { return b; };
for k = 1 to 2 { p = %two[k, 10]$ q = %one[k]$ };
p;
q;
// The constants a pile keeps for numbers passed by value take each call's value and name anew,
// whatever the call before did with them (renamed, replaced, deleted, another mode), and each
// level of a recursion has its own.
macro show[a, b] { a; b; return a - b; };
s = 1$ t = 2$
for k = 1 to 2 { u = %show[s, t]$ w = %show[t, s]$ };
macro spoil[a, b] { a = "text"$ delete(b); return 0; };
for k = 1 to 3 { u = %spoil[s, t]$ w = %show[t, s]$ };
w;
_modenum = NUMRATMP$ big = 2^70 + 1$ _modenum = NUMDBL$
for k = 1 to 2 { _modenum = NUMRATMP$ u = %show[big, s]$ _modenum = NUMDBL$ w = %show[s, big]$ };
u;
w;
macro down[n] { if (n > 0) then { m = n - 1$ m = %down[m]$ }; n; return n; };
n = 3$
for k = 1 to 2 { u = %down[n]$ };
n;
// An argument that fails on the second turn: the call gives its pile back unused, the next
// calls bind afresh.
macro maybe[a] { if (a == 2) then { b = a + nosuch$ }; return a; };
for k = 1 to 3 { u = %show[s, %maybe[k]]$ };
u;
for k = 1 to 2 { u = %show[t, s]$ };
u;
