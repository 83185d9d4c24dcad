// The directed-rounding interval kernel over doubles and quads: rounding control, outward interval
// arithmetic (real, interval, complex interval operands), elementary functions with enclosures
// computed by MPFR at the bound's precision, and outward decimal conversion.
// Translation units that include it are compiled with -frounding-math so that no operation is
// moved across a rounding-mode change.
#pragma once
#include <cfenv>

#include "coef/coefnum.h"

// Rounding control of the calling thread (the hardware mode also drives __float128 arithmetic).
inline int BiasRoundInit() { return fegetround(); }
inline void BiasRoundUp() { fesetround(FE_UPWARD); }
inline void BiasRoundDown() { fesetround(FE_DOWNWARD); }
inline void BiasRoundNear() { fesetround(FE_TONEAREST); }
inline void BiasRoundRestore(int mode) { fesetround(mode); }

// Bound traits: the precision MPFR uses to produce a bound, and the MPFR transfer.
template <class B>
struct t_biasbound;
template <>
struct t_biasbound<double> {
    static constexpr int prec = 53;
    static constexpr int digits = 17;
    static double get(mpfr_srcptr f, mpfr_rnd_t r) { return mpfr_get_d(f, r); }
    static void set(mpfr_ptr f, double v) { mpfr_set_d(f, v, MPFR_RNDN); }
    static double inf() { return __builtin_inf(); }
};
template <>
struct t_biasbound<__float128> {
    static constexpr int prec = 113;
    static constexpr int digits = 36;
    static __float128 get(mpfr_srcptr f, mpfr_rnd_t r) { return mpfr_get_float128(f, r); }
    static void set(mpfr_ptr f, __float128 v) { mpfr_set_float128(f, v, MPFR_RNDN); }
    static __float128 inf() { return static_cast<__float128>(__builtin_inf()); }   // exact: clang has no __builtin_infq
};

template <class B>
struct t_biasint {
    B inf;
    B sup;
};

// One operation rounded in a direction. The operands are read from, and the result written to,
// volatile storage on either side of the mode switch, so that the compiler can neither hoist the
// operation above the switch nor sink it below the switch back to nearest.
enum t_biasop { BIAS_ADD, BIAS_SUB, BIAS_MUL, BIAS_DIV };
template <class B, t_biasop OP>
inline B bias_round(B a, B b, bool up)
{
    volatile B x = a, y = b;
    if (up) BiasRoundUp();
    else BiasRoundDown();
    volatile B r = OP == BIAS_ADD ? x + y : OP == BIAS_SUB ? x - y : OP == BIAS_MUL ? x * y : x / y;
    BiasRoundNear();
    return r;
}

// Outward arithmetic on intervals.
template <class B>
struct t_bias {
    using I = t_biasint<B>;
    static B dn_mul(B a, B b) { return bias_round<B, BIAS_MUL>(a, b, false); }
    static B up_mul(B a, B b) { return bias_round<B, BIAS_MUL>(a, b, true); }
    static B dn_div(B a, B b) { return bias_round<B, BIAS_DIV>(a, b, false); }
    static B up_div(B a, B b) { return bias_round<B, BIAS_DIV>(a, b, true); }
    static B lo4(B a, B b, B c, B d)
    {
        B m = a < b ? a : b;
        B n = c < d ? c : d;
        return m < n ? m : n;
    }
    static B hi4(B a, B b, B c, B d)
    {
        B m = a > b ? a : b;
        B n = c > d ? c : d;
        return m > n ? m : n;
    }
    static I AddII(const I& a, const I& b)
    {
        return I{bias_round<B, BIAS_ADD>(a.inf, b.inf, false), bias_round<B, BIAS_ADD>(a.sup, b.sup, true)};
    }
    static I SubII(const I& a, const I& b)
    {
        return I{bias_round<B, BIAS_SUB>(a.inf, b.sup, false), bias_round<B, BIAS_SUB>(a.sup, b.inf, true)};
    }
    static I MulII(const I& a, const I& b)
    {
        return I{lo4(dn_mul(a.inf, b.inf), dn_mul(a.inf, b.sup), dn_mul(a.sup, b.inf), dn_mul(a.sup, b.sup)),
                 hi4(up_mul(a.inf, b.inf), up_mul(a.inf, b.sup), up_mul(a.sup, b.inf), up_mul(a.sup, b.sup))};
    }
    // A divisor containing zero gives the whole line: still an enclosure.
    static I DivII(const I& a, const I& b)
    {
        if (b.inf <= 0 && b.sup >= 0) return I{-t_biasbound<B>::inf(), t_biasbound<B>::inf()};
        return I{lo4(dn_div(a.inf, b.inf), dn_div(a.inf, b.sup), dn_div(a.sup, b.inf), dn_div(a.sup, b.sup)),
                 hi4(up_div(a.inf, b.inf), up_div(a.inf, b.sup), up_div(a.sup, b.inf), up_div(a.sup, b.sup))};
    }
    static I SqrI(const I& a)
    {
        if (a.inf >= 0 || a.sup <= 0) {
            B l = a.inf >= 0 ? a.inf : -a.sup, h = a.inf >= 0 ? a.sup : -a.inf;
            return I{dn_mul(l, l), up_mul(h, h)};
        }
        B m = -a.inf > a.sup ? -a.inf : a.sup;
        return I{0, up_mul(m, m)};
    }
    static I NegI(const I& a) { return I{-a.sup, -a.inf}; }
    static I Hull(const I& a, const I& b) { return I{a.inf < b.inf ? a.inf : b.inf, a.sup > b.sup ? a.sup : b.sup}; }
    static bool Contains(const I& a, B x) { return a.inf <= x && x <= a.sup; }
    static B Mid(const I& a)
    {
        B m = a.inf + (a.sup - a.inf) / 2;
        return m;
    }
    static B Diam(const I& a) { return bias_round<B, BIAS_SUB>(a.sup, a.inf, true); }
};

// Complex intervals: (re, im) pairs of intervals.
template <class B>
struct t_cbias {
    using I = t_biasint<B>;
    using K = t_bias<B>;
    struct C {
        I re, im;
    };
    static C Add(const C& a, const C& b) { return C{K::AddII(a.re, b.re), K::AddII(a.im, b.im)}; }
    static C Sub(const C& a, const C& b) { return C{K::SubII(a.re, b.re), K::SubII(a.im, b.im)}; }
    static C Mul(const C& a, const C& b)
    {
        return C{K::SubII(K::MulII(a.re, b.re), K::MulII(a.im, b.im)),
                 K::AddII(K::MulII(a.re, b.im), K::MulII(a.im, b.re))};
    }
    static C Div(const C& a, const C& b)
    {
        I n2 = K::AddII(K::SqrI(b.re), K::SqrI(b.im));
        I re = K::AddII(K::MulII(a.re, b.re), K::MulII(a.im, b.im));
        I im = K::SubII(K::MulII(a.im, b.re), K::MulII(a.re, b.im));
        return C{K::DivII(re, n2), K::DivII(im, n2)};
    }
};

// Outward decimal text of one bound: digits rounded down (lower bounds) or up (upper bounds).
// Returns false when the conversion cannot be made (the caller reports internal error 1044).
bool dBiasEcvt(double v, bool up, char* buf, size_t size);
bool ldBiasEcvt(__float128 v, bool up, char* buf, size_t size);
// Smallest interval enclosing the decimal text; false when the text is not a number.
bool dBiasReadSRR(const char* text, t_dbiasinterval* out);
bool ldBiasReadSRR(const char* text, t_ldbiasinterval* out);
