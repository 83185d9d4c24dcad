// A zero step leaves the loop variable where it starts, and the loop runs while the variable is
// at most the end: no turn when the start is beyond the end, turns until stop otherwise (a
// runaway loop is cut by an error so that a broken stop cannot hang the test).
for j = 5 to 1 step 0 { msg("never\n"); };
msg("no turn from 5 to 1\n");
n = 0$
for j = 1 to 3 step 0 {
  n = n + 1$
  msg("turn %g, j = %g\n", n, j);
  if (n == 4) then { stop; };
  if (n > 100) then { error("stop did not end the loop"); };
};
msg("stopped after %g turns\n", n);
n = 0$
s = sum j = 1 to 3 step 0 { n = n + 1$ if (n == 3) then { stop; }; if (n > 100) then { error("runaway"); }; return j; };
p = prod j = 2 to 2 step 0 { n = n + 1$ if (n == 6) then { stop; }; if (n > 100) then { error("runaway"); }; return j; };
macro spin[k] { for j = k to k step 0 { k = k + 1$ if (k == 4) then { stop; }; if (k > 100) then { error("runaway"); }; }; msg("the macro goes on, k = %g\n", k); return k + 10; };
r = %spin[1];
for j = 1.5 to 1.5 step 0.0 { msg("real bounds: j = %g\n", j); stop; };
for j = 3 to 1 step -1 { msg("%g ", j); }; msg("\n");
