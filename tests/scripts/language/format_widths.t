//! interactive
//! after: echo "-- out.txt"; cat out.txt; ls w.txt
// Widths and precisions of msg, str, file_writemsg and write formats are at most 100000: beyond that
// the format is refused with an error before anything of it is printed, in either language.
msg("%444444444.9g\n", 1);
msg("printed %5.2f then %.444444444f\n", 1, 2);
s = str("%0444444444d", 3);
s = str("%99999999999999999999g", 3);
s = str("%100001s", "a");
s = str("%-+100000.100000g|", 3)$
size(s);
t = str("[%100000s]", "b")$
size(t);
msg("%5.2f|%-6d|%s|%+.3e\n", 3.14159, 42, "ok", 12345.678);
f = file_open("out.txt", "write");
file_writemsg(f, "%.100001g\n", 1);
file_writemsg(f, "%.3g\n", 1);
file_close(f);
_language = "fr";
msg("%.200000e\n", 1);
_language = "en";
vnumR v;
v[2] = 1$
write("w.txt", 1:-1, v, "%200000g");
msg("the session goes on\n");
