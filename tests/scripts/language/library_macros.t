//! interactive
//! env: KESTDIR=inst
//! setup: mkdir -p inst/etc inst/share/kest/libstl/sub && cp -r "$KEST_INSTALL_DIR/share/locale" inst/share/
//! setup: printf '//!kest attribute="oninit"\nmacro hello { msg("library loaded\\n"); };\nmacro square[x] { return x*x; };\n' > inst/share/kest/libstl/a.t
//! setup: printf '//!kest overload="area"\nmacro area1[r] { return 3*r*r; };\n//!kest overload="area"\nmacro area2[a, b] { return a*b; };\n//!kest attribute="private"\nmacro secret { return 42; };\nmacro usesecret { return secret(); };\n' > inst/share/kest/libstl/sub/b.t
//! setup: printf '//!kest attribute="weird"\nmacro never { };\n' > inst/share/kest/libstl/c.t
//! setup: printf 'not a library macro\n' > inst/share/kest/libstl/notes.txt
//! setup: printf '//!kest extern_function\nmacro hypot2[a, b] { return a*a + b*b; };\n' > inst/share/kest/libstl/ext.t
// Library macros load from the installation's directory and its subdirectories at start; an
// oninit macro runs then; calls pick the variant by argument count; private ones are reserved
// to library code; a malformed active comment is error 9; a macro standing for an external
// function reports a wrong argument count as such.
square(3);
area(2);
area(2, 5);
area(1, 2, 3);
secret();
usesecret();
never();
nothere(1);
hypot2(3, 4);
hypot2(3);
square(4);
