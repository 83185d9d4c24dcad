//! interactive
// msg and str formatting, their argument errors, and file objects.
msg("%d and %d\n", 1, 2, 3);
msg("first %d then %d\n", 1);
msg("%d\n", "text");
msg("%s\n", 3);
s = str("%5.2f|%s|%5d", 3.14159, "pi", 3000000000);
typeof(s);
f = file_open("out.txt", "write");
g = f;
file_writemsg(g, "line %d\n", 1);
file_close(f);
g;
file_close(g);
file_writemsg(f, "late\n");
file_close(s);
r = file_open("out.txt", "read");
h = file_open("out.txt", "sideways");
file_writemsg(r, "no\n");
file_open("/nonexistent/dir/x.txt", "write");
_language = "fr";
zz;
msg("encore\n");
_language = "en";
delete(s);
s;
delete(s);
private q;
