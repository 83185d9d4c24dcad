//! interactive
//! args: -r 4
// The frequency-analysis settings as the HTML dialect displays them.
_naf_iprt; _naf_dtour; _naf_tol; _naf_tp;
