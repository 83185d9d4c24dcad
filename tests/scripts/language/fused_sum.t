//! interactive
// A sum inside a macro whose single return is a product is accumulated fused: the same values as
// the plain sum, in every numeric mode, and the plain path when a factor is not a number.
macro sq[n] { return sum j = 1 to n { return j*j; }; };
%sq[3];
%sq[10];
x = sum j = 1 to 10 { return j*j; };
macro harmonic2[n] { return sum j = 1 to n { return (1/j)*(1/j); }; };
_modenum = NUMRATMP;
%harmonic2[4];
_modenum = NUMDBL;
%harmonic2[4];
macro weighted[v] { return sum j = 1 to size(v) { return j*v[j]; }; };
%weighted[[1:4]];
macro none[n] { return sum j = 1 to n { y = j*j$ }; };
%none[2];
macro vecs[n] { return sum j = 1 to n { return [1, 2]*j; }; };
%vecs[2];
%sq[4];
