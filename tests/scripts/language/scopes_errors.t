//! interactive
// Scopes and argument errors: private names in macros and loops, arguments without value, and
// warnings shown only with _info on.
macro nothing { };
macro id[x] { return x; };
%id[%nothing];
macro readref[x] { return x; };
%readref[[undefinedname]];
macro twice { private a; private a; };
%twice;
macro inloop[x] { for j = 1 to 1 { private x; }; };
%inloop[1];
macro fine[x] { for j = 1 to 1 { private y; y = x; msg("y=%d\n", y); }; };
%fine[4];
y;
_info on;
private a, b;
stop;
_info off;
msg("the session goes on\n");
