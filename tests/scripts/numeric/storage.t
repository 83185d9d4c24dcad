//! interactive
//! after: ls *.kst *.ksF | sort; echo "-- T.ksF"; cat T.ksF; echo "-- T[1,1].ksF"; cat 'T[1,1].ksF'; echo "-- head of T.kst"; od -An -tx1 -N 34 T.kst
// ecriture and lecture store identifiers in files: an array is its shape in one file and one
// file per element, in a binary (.kst) and a text (.ksF) form; empty elements stay empty.
dim T[1:2, 0:2];
T[1,0] = 1/3$ T[1,1] = "two words"$ T[2,1] = 2.5$
vnumR v$ v[3] = 7$
T[2,0] = v$
ecriture(T);
ecriture(T, "text");
ecriture(T, "copy");
delete T;
lecture(T);
T;
lecture(U, "copy");
lecture(W, "T", "text");
W;
if (W == U) then { msg("text and binary forms load the same array\n"); };
// Numbers keep their kind and every digit, in both forms.
c = 1.5 + 2*i$
ecriture(c, "c", "text");
lecture(c2, "c", "text");
c2;
_modenum = NUMQUAD$
q = 1/3$
ecriture(q, "q", "text");
lecture(q3, "q", "text");
q3 - q;
vnumR qv$ qv[1] = q$
ecriture(qv, "qv");
lecture(qv2, "qv");
qv2 - qv;
// What cannot be done is said.
lecture(nothing);
ecriture(undefinedname);
struct pt { x; };
pt p$
ecriture(p);
ecriture(T, "a", "sideways");
// A vnumQ vector stays one.
vnumQ qq$ qq[1] = 1$
ecriture(qq);
lecture(qq2, "qq");
typeof(qq2);
