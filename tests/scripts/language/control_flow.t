//! interactive
//! setup: printf 'inner = 5$\nmsg("included\\n");\n' > inc.t
// Loops, conditions, stop, sum and prod, switch, try/catch and the errors they report.
for j = 3 to 1 step -1 { msg("j=%d\n", j); };
for j = 1 to 0 { msg("never\n"); };
k = 0;
while (k < 10) do { k = k + 1; if (k == 3) then { stop; }; };
msg("after the loop k=%d\n", k);
_info on;
stop;
_info off;
for j = 1 to 2 { reset; };
s = sum j = 1 to 4 { return j*j; };
p = prod j = 1 to 5 { return j; };
t = sum j = 1 to 2 { msg("no return\n"); };
if (s == 30 && p == 120) then { msg("sums fine\n"); };
if (s < 0 || p > 100) then { msg("or fine\n"); };
if (s) then { msg("not a condition\n"); };
switch (p) { case 1, 2 : { msg("small\n"); }; case 120 : { msg("factorial\n"); }; else : { msg("other\n"); } };
switch ("b") { case "a" : { msg("a\n"); }; else { msg("default\n"); } };
try { error("caught"); msg("not reached\n"); } catch { msg("in catch\n"); };
_info on;
try { error("shown with info"); } catch { msg("caught again\n"); };
_info off;
for j = 1 to 3 { if (j == 2) then { error("in the loop"); }; msg("j=%d\n", j); };
msg("the session goes on\n");
macro m { include "inc.t"; return 2; };
x = 1 + %m;
msg("the session goes on\n");
