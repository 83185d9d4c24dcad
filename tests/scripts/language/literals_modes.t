//! interactive
// Literals met again under another numeric mode are read again in that mode: the same node
// gives a rational, a double, a quadruple and an exact rational as the mode changes, in a macro
// called again and inside one loop whose turns change the mode.
macro third[] { return 1/3 + 1/4; };
_modenum = NUMRAT$ %third[];
_modenum = NUMDBL$ %third[];
_modenum = NUMQUAD$ %third[];
_modenum = NUMRATMP$ %third[];
_modenum = NUMRAT$ %third[];
for k = 1 to 3 { if (k == 2) then { _modenum = NUMDBL$ }; if (k == 3) then { _modenum = NUMRATMP$ }; y = 1/7 + 0.5; z = 2/7; z; };
_modenum = NUMDBL$
big = 12345678901234567890$ big;
_modenum = NUMRAT$
for k = 1 to 2 { big = 12345678901234567890$ big; };
