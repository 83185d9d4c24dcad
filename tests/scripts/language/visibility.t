//! interactive
//! setup: printf 'private macro helper { return 1; };\nmacro usehelper { return %%helper; };\nmsg("inside the file: %%d\\n", %%helper);\n' > priv.t
// Who may change or see what: a value held by a pending operand cannot be reassigned under it,
// a macro private to its file wins inside that file only, and one defined interactively becomes
// public with a warning.
zz = 2$
macro setzz { zz = 5; return 1; };
w = zz + %setzz;
zz;
%setzz;
zz;
macro helper { return 2; };
include priv.t;
%helper;
%usehelper;
_info on;
private macro typed { return 3; };
%typed;
