//! interactive
//! setup: printf 'private _ALL;\nfilevar = 42$\nmacro readit { return filevar; };\nmsg("inside the file: %%d\\n", filevar);\n' > lib.t
// private _ALL: in a macro every name becomes local except those declared public; in a loop the
// same for the loop; in a file every identifier of the file stays private to it.
a = 1$ b = 2$
macro m { private _ALL; public b; a = 10$ b = 20$ c = 30$ return a + b + c; };
%m;
a;
b;
c;
for k = 1 to 2 { private _ALL; t = k$ a = a + 100$ };
for k = 1 to 2 { private _ALL; public a; t = k$ a = a + 100$ };
t;
a;
include lib.t;
filevar;
%readit;
_info on;
private _ALL;
