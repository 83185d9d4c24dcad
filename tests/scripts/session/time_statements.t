//! interactive
//! after: cp actual timed; sed -i -E 's/[0-9]+\.[0-9]{6} s/# s/g' actual
//! after: awk '/^> for k = 1 to 20000/ { w = "loop" } /^> time_l;/ { w = "lap" } /Computing time/ && w { t[w] = $4; w = "" } END { print (t["lap"] >= t["loop"] ? "time_l counts the loop run since time_s" : "time_l misses the loop") }' timed
// _time on: one time for each statement typed, whatever its loops, blocks and macro calls run
// (the figures vary and are masked); time_l keeps counting from time_s across statements.
_time on;
x = 1;
for j = 1 to 3 { y = j; z = j$ };
if (x == 1) then { y = 2$ w = 3$ };
macro m { a = 1$ b = 2$ return a + b; };
w = %m; v = %m;
time_s;
for k = 1 to 20000 { s = k$ };
time_l;
_time off;
for j = 1 to 2 { y = j$ };
x = 2;
