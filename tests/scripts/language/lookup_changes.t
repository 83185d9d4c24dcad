//! interactive
// A name used again and again in a loop follows every change of what it names: a private
// declaration, a deletion, a new identifier that hides a global one, a redefined macro and a
// pile that ends. Each statement sees the change made by the one before it.
a = 10$
macro shadow[n] { r = 0$ for k = 1 to n { if (k == 2) then { private a$ a = 100$ }; r = r + a$ }; return r; };
%shadow[3];
a;
b = 1$
for k = 1 to 3 { if (k == 2) then { delete(b); b = 5$ }; b; };
// A macro redefined between two calls in a loop runs its new body from the next call on.
macro grow[x] { return x + 1; };
t = 0$
for k = 1 to 4 { t = %grow[t]$ t; if (k == 2) then { macro grow[x] { return x * 10; }; }; };
// The same statement text runs inside and outside a macro that has a parameter of that name.
c = 7$
macro usec[c] { return c + 1; };
for k = 1 to 2 { %usec[k]; c; };
// private inside a loop body hides the global from that statement on; the loop's private
// identifiers last as long as the loop, so declaring it again in the next turn is error 380.
d = 1$
for k = 1 to 2 { d; private d; d = 50 + k$ d; };
d;
// The loop counter: assignments to it move the loop on, a value that is no number ends the loop
// with an error, and it cannot be deleted while the loop runs.
for j = 1 to 7 { j = j + 2$ j; };
for j = 1 to 3 { j = "a"$ };
x = 1;
for j = 1 to 3 { delete(j); };
x = 2;
// A number assigned to an identifier that holds a number, a string, then a number again.
y = 1$ y = 2.5$ y;
y = "s"$ y;
y = 3$ y;
for k = 1 to 3 { y = y * 2$ }; y;
