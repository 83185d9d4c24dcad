//! interactive
//! after: od -An -tx1 e_*.dat | sort | uniq -c
// A task evaluates with the caller's settings: the representation mode of series (shown by the
// one iteration that prints), the number format, and the byte order of binary files (each
// iteration writes 258 as a swapped 32-bit integer: 00 00 01 02 in every file).
_cpu = 2;
_mode = 3;
_endian = 1;
_affc = 2;
y = [258];
//!kest omp parallel for
for j = 1 to 4 { if (j == 3) then { _mode; _affc; }; writebin(str("e_%d.dat", j), 1:1, "%4d", y); };
_mode;
