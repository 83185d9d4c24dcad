//! interactive
//! args: -r 2
// The frequency-analysis settings as the TeX dialect displays them.
_naf_iprt; _naf_icplx; _naf_iw; _naf_isec; _naf_dtour; _naf_nulin; _naf_tol; _naf_tp;
_naf_dtour = 360;
_naf_dtour;
