//! interactive
// Deleting a variable: a truncation in force that names it refuses (error 97) and the session
// goes on; once lifted, the series that hold the variable are emptied (each named when _info is
// on) and the others
// stay; the name can be declared again as a new variable, and nothing refers to the old one.
crevar x, y;
s = (1 + x + y)^2$
t = (1 + y)^2$
u = 3$
_tronc = {x, 1}$
delete x;
s;
delete _tronc;
_info on;
delete x;
_info off;
s;
t;
u;
crevar x;
s + x;
t*x;
_trmon = {y, 1}$
delete y;
t*y;
