// Numeric vectors: one-dimensional arrays of numbers of a single type, stored natively (double,
// __float128, MPFR, ...), with element-wise arithmetic, comparisons, reductions, index vectors,
// and the text and binary file readers and writers that the language layer calls.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "coef/coef.h"
#include "interp/idcommon.h"
#include "parallel/dataracedetector.h"

class t_cctx;

// Index range, 1-based; last == -1 means "up to the longest vector involved".
struct tabnum_borne {
    int32_t first;
    int32_t last;
    int32_t step;
};

// Identifier flags of the concrete vector types (also the rows of g_kst_vecnum_vtable).
enum t_vecnumflag : int {
    VECNUM_DBL = 9,
    VECNUM_ZDBL = 10,
    VECNUM_ZQUAD = 12,
    VECNUM_QUAD = 13,
    VECNUM_FPMP = 14,
    VECNUM_ZFPMP = 15,
    VECNUM_INTDBL = 16,        // double intervals
    VECNUM_INTMP = 17,         // GMP integers
    VECNUM_RATMP = 18,         // GMP rationals
    VECNUM_ZINTMP = 19,        // complex GMP integers
    VECNUM_ZRATMP = 20,        // complex GMP rationals
    VECNUM_INTMODSMALL = 21,   // residues modulo a prime below 2^32
};
constexpr int KST_VECNUM_NFLAGS = 64;

enum esum_method { ESUM_NAIVE = 0, ESUM_KAHAN = 1 };
enum eprod_method { EPROD_NAIVE = 0 };
enum t_vecnum_cmpop { VCMP_EQ, VCMP_NE, VCMP_GT, VCMP_GE, VCMP_LT, VCMP_LE };

// The type-independent part of every numeric vector. The typed layers (t_vecnumt<T> and below,
// in vecnumtyped.h) own the element array; this class only knows where it is and how long.
class t_vecnum : public t_idcommon {
public:
    t_vecnum(int flag, const char* name, uint32_t size);
    t_vecnum(const char* name, int flag);
    ~t_vecnum() override = default;

    int Vgettypeenum() const override { return IDTYPE_VECNUM; }
    long Vsize() const override { return m_size; }
    uint32_t size() const { return m_size; }
    int vecflag() const { return getFlag(); }

    virtual eBHTypeCoef VgeteBHType() const = 0;
    virtual bool Vvecnumiscplx() const = 0;
    // n elements, all zero (the previous contents are freed).
    virtual void Vreset(t_cctx* ctx, uint32_t n) = 0;
    // An empty vector of the same type (same name when name is null).
    virtual t_vecnum* Vcreate(t_cctx* ctx, const char* name, uint32_t n) const = 0;

    // Element i (0-based) as a new coefficient of the element's tag, and a coefficient stored
    // into element i (converted to the element type; a complex value into a real element keeps
    // its real part).
    virtual coef data2coef(t_cctx* ctx, uint32_t i) const = 0;
    virtual void coef2data(t_cctx* ctx, uint32_t i, const coef* c) = 0;

    // Reductions: the result is a new coefficient of the element tag.
    virtual coef Vsum(t_cctx* ctx, int method, int flag) const = 0;
    virtual coef Vprod(t_cctx* ctx, int method = EPROD_NAIVE) const = 0;

    // Element-wise 0/1 vectors combined: 1 where both (either) are non-zero. Sizes must agree
    // (error 143).
    virtual t_vecnum* Vcmpand(t_cctx* ctx, const t_vecnum* other) const;
    virtual t_vecnum* Vcmpor(t_cctx* ctx, const t_vecnum* other) const;

    // Real vectors only (complex ones report error 23). Smallest/largest element and the 1-based
    // index of its first occurrence (NaN elements are ignored; 0 for an empty or all-NaN vector).
    virtual coef VMINTERME(t_cctx* ctx) const;
    virtual coef VMAXTERME(t_cctx* ctx) const;
    virtual long Vimin(t_cctx* ctx) const;
    virtual long Vimax(t_cctx* ctx) const;
    // Ascending copy (NaN last) and the 1-based permutation that sorts (stable), as doubles.
    virtual t_vecnum* Vsort(t_cctx* ctx) const;
    virtual t_vecnum* Vqsort_index(t_cctx* ctx) const;
    // Counts per bin: nbins equal bins over [lo, hi], bin k holding lo + (k-1)w <= x < lo + kw,
    // and x == hi in the last bin. Values outside [lo, hi] and NaN are not counted. nbins < 1 or
    // lo >= hi is error 52. The result is a double vector of nbins counts.
    virtual t_vecnum* Vhisto(t_cctx* ctx, int nbins, double lo, double hi) const;
    // Index vectors: every element an integer (574 with its 1-based position) in 1..n (300 with
    // the value); or first <= v <= last with (v - first) a multiple of step (300).
    virtual bool Vcheck_indices(t_cctx* ctx, long n) const;
    virtual bool Vcheck_indices(t_cctx* ctx, const tabnum_borne& range) const;

    // The elements selected by an index vector (checked against this size), or by a range
    // (last -1 = up to the end; an index outside 1..size is error 300).
    t_vecnum* Vextract_indices(t_cctx* ctx, const t_vecnum* indices) const;
    t_vecnum* Vextract_borne(t_cctx* ctx, const tabnum_borne& range) const;

    // A vector declared with its type (vnumQ) keeps it whatever the numeric mode; the others are
    // converted to the mode's type when they are read (Vupdatevalue).
    void setkeeptype(bool keep) { m_keeptype = keep; }
    bool keeptype() const { return m_keeptype; }

    // Running sums: element k of the result is the sum of elements 1 to k.
    t_vecnum* Vaccumulate(t_cctx* ctx) const;
    // The elements where the real vector `condition` (same size, else 143) is not zero.
    t_vecnum* Vselect(t_cctx* ctx, const t_vecnum* condition) const;

    // Raw access for the typed layers and the file code.
    void* rawdata() const { return m_pdata; }

    // The language's view (vecnum_lang.cpp): display as name = [e1, e2, ...]; x[i] (1-based), x[a:b:c]
    // and x[index vector] read; x[i] = number writes (past the end the vector grows with zeros,
    // except a vector shared by the tasks of a parallel loop: error 760),
    // x[a:b:c] = number fills; the one-argument functions apply element by element.
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;
    bool Vexport_str(t_cctx* ctx, std::string& out) const override;
    t_idcommon* Vupdatevalue(t_cctx* ctx) const override;   // the mode's type (vecnum_convertmode)
    t_idcommon* Vextract(t_cctx* ctx, const std::vector<t_subscript>& subscripts) const override;
    bool Vassign(t_cctx* ctx, const std::vector<t_subscript>& subscripts, t_idcommon* owned) override;
    bool Vextract_number(t_cctx* ctx, long i, coef* out) const override;
    bool Vassign_number(t_cctx* ctx, long i, const coef* c) override;
#define KST_VECNUM_UNARY(op) t_idcommon* op(t_cctx* ctx, int opflag) override;
    KST_ID_UNARY_OPS(KST_VECNUM_UNARY)
#undef KST_VECNUM_UNARY

    // False inside a task of a parallel region for a vector made before the task began: the
    // caller and the other tasks write its elements at the same time, so its storage must stay.
    bool resizable_here() const;

protected:
    void* m_pdata = nullptr;
    uint32_t m_size = 0;
    uint32_t m_reserved = 0;
    bool m_keeptype = false;
    uint32_t m_region = kst_omp_taskregion();   // the parallel region whose task made it, or 0
};

// ---------------------------------------------------------------- operation table

using t_vecnum_coefop = t_vecnum* (*)(t_cctx*, t_vecnum* v, int keepv, coef* c, int keepc);
using t_vecnum_data2coef = coef (*)(t_cctx*, const t_vecnum*, uint32_t i);
using t_vecnum_coef2data = void (*)(t_cctx*, t_vecnum*, uint32_t i, const coef* c);

// One record per vector flag. Every entry starts at a default that is an internal error naming
// the vector type.
struct t_vecnumvtable {
    const char* name;
    t_vecnum* (*new_vecnum)(t_cctx*, const char* name, uint32_t size);
    size_t sizeofvec;
    size_t sizeofelt;
    t_vecnum_data2coef data2coef;
    t_vecnum_coef2data coef2data[BH_NTAGS];
    // vector op coefficient
    t_vecnum_coefop add[BH_NTAGS];
    t_vecnum_coefop sub[BH_NTAGS];
    t_vecnum_coefop mul[BH_NTAGS];
    t_vecnum_coefop div[BH_NTAGS];
    t_vecnum_coefop pow[BH_NTAGS];
    // coefficient op vector (the vector stays the first argument)
    t_vecnum_coefop coefsub[BH_NTAGS];
    t_vecnum_coefop coefdiv[BH_NTAGS];
    t_vecnum_coefop coefpow[BH_NTAGS];
};
extern t_vecnumvtable g_kst_vecnum_vtable[KST_VECNUM_NFLAGS];

// Fills the table (idempotent); the start-up sequence calls it after the coefficient tables.
void kst_vecnum_inittables();
// Declarations, functions, file statements and operations of vectors in the language (the
// numeric room's language registration).
void kst_vecnum_registerlanguage();

// A new vector of the given flag, n zero elements.
t_vecnum* vecnum_create(t_cctx* ctx, int flag, const char* name, uint32_t n);
// The real / complex vector of the context's numeric mode.
t_vecnum* vecnum_createreal(t_cctx* ctx, const char* name, uint32_t n);
t_vecnum* vecnum_createcplx(t_cctx* ctx, const char* name, uint32_t n);
// Flags of the real / complex vector of a numeric mode, and the complex (real) flag of the same
// precision as a flag.
int vecnum_flagreal_of_mode(int mode);
int vecnum_flagcplx_of_mode(int mode);
int vecnum_flagcplx(int flag);
int vecnum_flagreal(int flag);
bool vecnum_isflag(int flag);
// True for the types whose elements are floating-point numbers (double, quad, MPFR and their
// complex forms): the only ones the binary files and the text reader know.
bool vecnum_isfloatflag(int flag);
// True when the vector type has a complex counterpart (intervals and residues have none).
bool vecnum_hascplx(int flag);
// A copy of v converted to the vector type `flag` (real to complex gives zero imaginary parts,
// complex to real keeps the real parts).
t_vecnum* vecnum_convertcopy(t_cctx* ctx, const t_vecnum* v, int flag, const char* name = "");
// A stored vector made under another numeric mode, as the context's mode wants it: a converted
// copy with the same name (real stays real, complex stays complex), or null when v already has
// the mode's type.
t_vecnum* vecnum_convertmode(t_cctx* ctx, const t_vecnum* v);

// A vector of n zero residues modulo p. p must be a prime below 2^32 (else run error 444 and null);
// each residue takes the smallest of 8, 16 or 32 bits that holds p - 1.
t_vecnum* vecnum_createintmodsmall(t_cctx* ctx, const char* name, uint32_t p, uint32_t n);
// A copy of v reduced modulo the prime p (integers reduced, a rational n/d as n times the inverse
// of d; a d that p divides is error 446). Null after an error.
t_vecnum* vecnum_convertintmodsmall(t_cctx* ctx, const t_vecnum* v, uint32_t p, const char* name = "");

// ---------------------------------------------------------------- element-wise arithmetic
// Every operation takes its operands with keep flags: 0 hands the operand over (it is reused
// for the result or freed). A result is a new vector or a handed-over operand; null after an
// error. Real with complex gives the complex vector of the same precision; two vectors of
// different precisions give the more precise type; a coefficient is rounded to the vector's
// precision.
// Exact vectors stay exact: an integer vector divided (or met with a non-integral coefficient)
// gives the rational vector; a zero divisor is error 24, a non-integral exponent 26, a negative
// exponent of an integer vector 133. Intervals with another type give intervals (enclosures).
// Residue vectors combine only with residue vectors of the same modulus (else 445) and with
// coefficients (reduced modulo p); division multiplies by the inverse (446 for a zero divisor).
t_vecnum* tabnum_addition_coef(t_cctx* ctx, t_vecnum* v, int keepv, coef* c, int keepc);
t_vecnum* tabnum_soustraction_coef(t_cctx* ctx, t_vecnum* v, int keepv, coef* c, int keepc);
t_vecnum* coef_soustraction_tabnum(t_cctx* ctx, coef* c, int keepc, t_vecnum* v, int keepv);
t_vecnum* tabnum_multiplication_coef(t_cctx* ctx, t_vecnum* v, int keepv, coef* c, int keepc);
t_vecnum* tabnum_division_coef(t_cctx* ctx, t_vecnum* v, int keepv, coef* c, int keepc);
t_vecnum* coef_division_tabnum(t_cctx* ctx, coef* c, int keepc, t_vecnum* v, int keepv);
t_vecnum* tabnum_pow_coef(t_cctx* ctx, t_vecnum* v, int keepv, coef* c, int keepc);
t_vecnum* coef_pow_tabnum(t_cctx* ctx, coef* c, int keepc, t_vecnum* v, int keepv);

// Vector op vector: equal sizes, else run error 143 with both names.
t_vecnum* vecnum_addition(t_cctx* ctx, t_vecnum* a, int keepa, t_vecnum* b, int keepb);
t_vecnum* vecnum_soustraction(t_cctx* ctx, t_vecnum* a, int keepa, t_vecnum* b, int keepb);
t_vecnum* vecnum_multiplication(t_cctx* ctx, t_vecnum* a, int keepa, t_vecnum* b, int keepb);
t_vecnum* vecnum_division(t_cctx* ctx, t_vecnum* a, int keepa, t_vecnum* b, int keepb);
t_vecnum* vecnum_pow(t_cctx* ctx, t_vecnum* a, int keepa, t_vecnum* b, int keepb);

// ---------------------------------------------------------------- comparisons
// New 0/1 vectors of the operands' real type; for complex operands only VCMP_EQ and VCMP_NE
// (others: error 23). Sizes must agree (143).
t_vecnum* vecnum_cmp(t_cctx* ctx, const t_vecnum* a, const t_vecnum* b, t_vecnum_cmpop op);
// c op v[i] for every i.
t_vecnum* coefvecnum_cmp(t_cctx* ctx, const coef* c, const t_vecnum* v, t_vecnum_cmpop op);
// cond[i] != 0 ? a[i] : b[i]; the result has the common type of a and b.
t_vecnum* vecnum_cmpcondternaire(t_cctx* ctx, const t_vecnum* cond, const t_vecnum* a, const t_vecnum* b);

// ---------------------------------------------------------------- files
// Options that live in the context's settings once the language layer has them.
struct t_vecnum_fileopts {
    bool swapendian = false;               // binary files in the other byte order
    const char* readhistory = nullptr;     // file that receives every line read ("%d %s\n")
};

// Text output, one line per index of the range (last -1: the longest column; shorter columns
// print zeros). Columns are identifiers: vectors; anything else is error 581. Without a format
// every element is followed by a tab (complex: real part, tab, imaginary part, tab) and each line
// by "\n"; with a format, the leading text then each column through its own piece (a complex
// column prints both parts through it); a piece count other than the column count is error 545.
// An empty range writes nothing (information 130); a failed open or write is error 290.
bool filenum_write(t_cctx* ctx, const char* filename, tabnum_borne range,
                   const std::vector<const t_idcommon*>& columns, const char* format);
// Binary output: the format holds one binary conversion per column (a complex column writes its
// real and imaginary parts as two fields of that conversion).
bool filenumbin_write(t_cctx* ctx, const char* filename, tabnum_borne range,
                      const std::vector<const t_idcommon*>& columns, const char* format,
                      const t_vecnum_fileopts& opts = {});

// The same through a stream already open (a file object of the language): the stream is
// neither opened nor closed, and filename only names it in messages.
bool filenum_write(t_cctx* ctx, FILE* stream, const char* filename, tabnum_borne range,
                   const std::vector<const t_idcommon*>& columns, const char* format);
bool filenumbin_write(t_cctx* ctx, FILE* stream, const char* filename, tabnum_borne range,
                      const std::vector<const t_idcommon*>& columns, const char* format,
                      const t_vecnum_fileopts& opts = {});

// A read action: file column (1-based) into a real vector, or (real, imaginary) columns into a
// complex vector; imaginary -1 when the file has none.
struct t_vecnum_readaction {
    t_vecnum* target;
    int colre;
    int colim = -1;
};
// Reads the lines (text) or records (binary) of `range`; with `append` the values follow the
// existing elements. Returns the number of lines read, or -1 after a reported error (the targets
// are then unchanged).
long filenum_read(t_cctx* ctx, const char* filename, tabnum_borne range,
                  const std::vector<t_vecnum_readaction>& actions, bool append,
                  const t_vecnum_fileopts& opts = {});
// From an open stream: lines are counted from its current position, and reading stops after
// the last line of the range, where the next read of the stream goes on.
long filenum_read(t_cctx* ctx, FILE* stream, const char* filename, tabnum_borne range,
                  const std::vector<t_vecnum_readaction>& actions, bool append, const t_vecnum_fileopts& opts = {});
// With a read format (scanf-like: white space matches any white space, %e %f %g %d %i read the
// next column, %*e ... and %s skip a field, other characters must be there; a format that cannot
// be read is error 370, one with fewer conversions than the targets need 369): the columns are
// the format's numeric conversions.
long filenum_readfmt(t_cctx* ctx, FILE* stream, const char* filename, tabnum_borne range,
                     const std::vector<t_vecnum_readaction>& actions, const char* format, bool append,
                     const t_vecnum_fileopts& opts = {});
long filenumbin_read(t_cctx* ctx, const char* filename, tabnum_borne range,
                     const std::vector<t_vecnum_readaction>& actions, const char* format, bool append,
                     const t_vecnum_fileopts& opts = {});
