// a = 1/3+2 in every numeric mode the language selects, printed with every _affc format;
// the precision setting of the multiple-precision mode and its range.
macro show { for k = 1 to 9 { _affc = k; a = 1/3+2; }; _affc = 1; };
_modenum = NUMDBL; %show;
_modenum = NUMRAT; %show;
_modenum = NUMRATMP; %show;
_modenum = NUMQUAD; %show;
_modenum = NUMFPMP; %show;
_modenum_prec = 30;
_info on;
_modenum_prec;
_modenum_prec = 0;
