//! interactive
// Structures: declaration, objects with default values, fields, constructors, methods with an
// implicit self, calls between methods, and the errors of each.
struct point { x; y = 0; name = "origin"; };
point p, q;
p;
p@x = 3;
p@y = p@x * 2;
p;
macro point@norm2 { return x*x + y*y; };
p%norm2;
macro point@scale[k] { x = x*k; y = y*k; %norm2; };
p%scale[2];
p;
macro point@point { x = 1; };
point r;
r;
typeof(r);
q@z = 1;
q@x;
macro point@bad[x] { };
macro nosuch@m { };
w = 5$
w%norm2;
struct point { a; };
p = 7;
p;
struct pair { a; b; };
pair pp;
macro pair@first[self] { return 1; };
pp%first[2];
pp@a = 4;
