// Numeric vectors and files: text and binary writers of columns, and the text and binary readers
// that fill vectors from file columns. A failed read leaves every target as it was: values are
// gathered in temporaries and handed to the targets only once the whole read has succeeded.
#include "numeric/vecnumtyped.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "interp/error.h"
#include "interp/roomapi.h"

namespace {

using t_vecptr = std::unique_ptr<t_vecnum, void (*)(t_vecnum*)>;
void vecdelete(t_vecnum* v)
{
    if (v) v->Vdelete();
}
t_vecptr own(t_vecnum* v) { return t_vecptr(v, vecdelete); }

// ---------------------------------------------------------------- columns

// The columns as vectors; anything else is error 581 (column, name, type name).
bool columns_asvectors(t_cctx* ctx, const std::vector<const t_idcommon*>& columns, std::vector<const t_vecnum*>& out)
{
    out.clear();
    for (size_t k = 0; k < columns.size(); k++) {
        const t_idcommon* id = columns[k];
        const t_vecnum* v = id && id->Vgettypeenum() == IDTYPE_VECNUM ? dynamic_cast<const t_vecnum*>(id) : nullptr;
        if (!v || !vecnum_isflag(v->vecflag())) {
            kst_runerror(ctx, 581, (int)(k + 1), id ? id->getName() : "", id ? id->Vgettypename() : "");
            return false;
        }
        out.push_back(v);
    }
    return true;
}

// The rows (0-based) of a range, walked without being stored: an explicit last index far past
// the columns is legitimate (the columns print zeros there) and may be large.
struct t_rows {
    long first, last, step;   // 1-based, first already moved to the first index >= 1
    bool empty() const { return first > last; }
};
// Last -1 is the longest column. False (error 52) for a step below 1.
bool range_rows(t_cctx* ctx, const tabnum_borne& r, long longest, t_rows& rows)
{
    if (r.step < 1) {
        kst_runerror(ctx, 52);
        return false;
    }
    rows.step = r.step;
    rows.last = r.last == -1 ? longest : r.last;
    rows.first = r.first;
    if (rows.first < 1) rows.first += ((1 - rows.first + rows.step - 1) / rows.step) * rows.step;
    return true;
}

long longest(const std::vector<const t_vecnum*>& cols)
{
    long n = 0;
    for (auto* v : cols) n = std::max<long>(n, v->size());
    return n;
}

// ---------------------------------------------------------------- text output of one element

// "[-]d.ddd...E+xx" with every digit MPFR needs to give the value back.
std::string mpfr_text(const __mpfr_struct* x)
{
    if (mpfr_nan_p(x)) return "NAN";
    if (mpfr_inf_p(x)) return mpfr_signbit(x) ? "-INF" : "INF";
    mpfr_exp_t e;
    char* s = mpfr_get_str(nullptr, &e, 10, 0, x, MPFR_RNDN);
    std::string digits = s;
    mpfr_free_str(s);
    std::string out;
    if (!digits.empty() && digits[0] == '-') {
        out = "-";
        digits.erase(0, 1);
    }
    const long exp10 = mpfr_zero_p(x) ? 0 : (long)e - 1;
    out += digits.substr(0, 1);
    out += '.';
    out += digits.substr(1);
    char buf[32];
    snprintf(buf, sizeof buf, "E%+03ld", exp10);
    return out + buf;
}

// The conversion at the start of a piece ("%-12.5e" of "%-12.5e, ") and its letter position.
size_t conversion_end(const std::string& piece, size_t* letter)
{
    size_t p = 1;
    while (p < piece.size() && strchr("+- #0'", piece[p])) p++;
    while (p < piece.size() && isdigit((unsigned char)piece[p])) p++;
    if (p < piece.size() && piece[p] == '.') {
        p++;
        while (p < piece.size() && isdigit((unsigned char)piece[p])) p++;
    }
    while (p < piece.size() && strchr("hlLqjzt", piece[p])) p++;
    *letter = p;
    return p < piece.size() ? p + 1 : p;
}

bool isfloatconv(char c) { return c && strchr("eEfFgGaA", c); }

template <class O>
struct t_writer;

template <> struct t_writer<t_vecelt<t_dbltype>> {
    static void plain(FILE* f, const double* v) { fprintf(f, "%+-23.16E\t", *v); }
    static bool fmt(t_cctx* ctx, FILE* f, const double* v, const std::string& piece)
    {
        return msgfmt_double(ctx, f, *v, piece.c_str());
    }
};
template <> struct t_writer<t_vecelt<t_quadtype>> {
    static void plain(FILE* f, const __float128* v)
    {
        char buf[128];
        quadmath_snprintf(buf, sizeof buf, "%+-44.34QE", *v);
        fprintf(f, "%s\t", buf);
    }
    static bool fmt(t_cctx* ctx, FILE* f, const __float128* v, const std::string& piece)
    {
        size_t letter;
        const size_t end = conversion_end(piece, &letter);
        if (letter >= piece.size() || !isfloatconv(piece[letter]))
            return msgfmt_double(ctx, f, (double)*v, piece.c_str());
        // quadmath formats one conversion alone: the text after it is printed apart.
        std::string conv = piece.substr(0, letter) + "Q" + piece[letter];
        char buf[256];
        int n = quadmath_snprintf(buf, sizeof buf, conv.c_str(), *v);
        if (n < 0) return false;
        if ((size_t)n >= sizeof buf) {
            std::string big((size_t)n + 1, '\0');
            quadmath_snprintf(big.data(), big.size(), conv.c_str(), *v);
            fputs(big.c_str(), f);
        } else {
            fputs(buf, f);
        }
        msgfmt_printtext(f, piece.substr(end));
        return true;
    }
};
template <> struct t_writer<t_vecelt<t_fpmptype>> {
    static void plain(FILE* f, const __mpfr_struct* v) { fprintf(f, "%s\t", mpfr_text(v).c_str()); }
    static bool fmt(t_cctx* ctx, FILE* f, const __mpfr_struct* v, const std::string& piece)
    {
        size_t letter;
        const size_t end = conversion_end(piece, &letter);
        if (letter >= piece.size() || !isfloatconv(piece[letter]))
            return msgfmt_double(ctx, f, mpfr_get_d(v, MPFR_RNDN), piece.c_str());
        std::string conv = piece.substr(0, letter) + "R" + piece[letter];
        mpfr_fprintf(f, conv.c_str(), v);
        msgfmt_printtext(f, piece.substr(end));
        return true;
    }
};

// GMP numbers print every digit ("n" or "n/d"); an integer conversion of a format prints them
// through GMP's own printf (its Z or Q size), a floating one the nearest double.
template <char SIZE, class E>
bool gmp_fmt(t_cctx* ctx, FILE* f, const E* v, double approx, const std::string& piece)
{
    size_t letter;
    const size_t end = conversion_end(piece, &letter);
    if (letter >= piece.size() || !strchr("dixXou", piece[letter])) return msgfmt_double(ctx, f, approx, piece.c_str());
    std::string conv = piece.substr(0, letter);
    while (conv.size() > 1 && strchr("hlLqjzt", conv.back())) conv.pop_back();   // GMP's size replaces C's
    conv += SIZE;
    conv += piece[letter];
    if (gmp_fprintf(f, conv.c_str(), v) < 0) return false;
    msgfmt_printtext(f, piece.substr(end));
    return true;
}
template <> struct t_writer<t_vecelt<t_intmptype>> {
    static void plain(FILE* f, const __mpz_struct* v)
    {
        mpz_out_str(f, 10, v);
        fputc('\t', f);
    }
    static bool fmt(t_cctx* ctx, FILE* f, const __mpz_struct* v, const std::string& piece)
    {
        return gmp_fmt<'Z'>(ctx, f, v, mpz_get_d(v), piece);
    }
};
template <> struct t_writer<t_vecelt<t_ratmptype>> {
    static void plain(FILE* f, const __mpq_struct* v)
    {
        mpq_out_str(f, 10, v);
        fputc('\t', f);
    }
    static bool fmt(t_cctx* ctx, FILE* f, const __mpq_struct* v, const std::string& piece)
    {
        return gmp_fmt<'Q'>(ctx, f, v, mpq_get_d(v), piece);
    }
};

// Element row of column v (zero past its end), plain or through a piece. Complex elements print
// their real then imaginary part, each the way a real element does; intervals their lower then
// upper bound, each as a double (17 digits give the bound back exactly); residues as integers.
bool write_element(t_cctx* ctx, FILE* f, const t_vecnum* v, long row, const std::string* piece)
{
    bool ok = true;
    const bool typed = vecnum_visit(v, [&](auto* t) {
        using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(t)>>::ops;
        if constexpr (std::is_same_v<O, t_vecelt<t_intdbltype>>) {
            using W = t_writer<t_vecelt<t_dbltype>>;
            double parts[2] = {0, 0};
            if ((uint32_t)row < t->size()) {
                parts[0] = (*t)[row].inf;
                parts[1] = (*t)[row].sup;
            }
            for (int k = 0; k < 2 && ok; k++) {
                if (piece) ok = W::fmt(ctx, f, &parts[k], *piece);
                else W::plain(f, &parts[k]);
            }
        } else {
            using RO = t_vecelt<typename O::realtrait>;
            using W = t_writer<RO>;
            typename RO::E parts[2];
            const long prec = t->prec();
            RO::init(&parts[0], prec);
            RO::init(&parts[1], prec);
            if ((uint32_t)row < t->size()) {
                if constexpr (O::cplx) {
                    O::re(&parts[0], &(*t)[row]);
                    O::im(&parts[1], &(*t)[row]);
                } else {
                    O::set(&parts[0], &(*t)[row]);
                }
            }
            const int nparts = O::cplx ? 2 : 1;
            for (int k = 0; k < nparts && ok; k++) {
                if (piece) ok = W::fmt(ctx, f, &parts[k], *piece);
                else W::plain(f, &parts[k]);
            }
            RO::clear(&parts[0]);
            RO::clear(&parts[1]);
        }
    });
    if (!typed) {
        using W = t_writer<t_vecelt<t_intmptype>>;
        mpz_t z;
        mpz_init(z);
        if ((uint32_t)row < v->size()) {
            coef c = v->data2coef(ctx, (uint32_t)row);
            vecelt_getz(z, &c, 0);
            deletecoef(&c);
        }
        if (piece) ok = W::fmt(ctx, f, z, *piece);
        else W::plain(f, z);
        mpz_clear(z);
    }
    return ok;
}

// ---------------------------------------------------------------- binary conversions

enum t_binkind { BIN_UINT, BIN_SINT, BIN_FLOAT };
struct t_binconv {
    const char* text;
    int bytes;
    t_binkind kind;
};
const t_binconv s_binconvs[] = {
    {"%2u", 2, BIN_UINT}, {"%4u", 4, BIN_UINT}, {"%8u", 8, BIN_UINT}, {"%u", 4, BIN_UINT},
    {"%2d", 2, BIN_SINT}, {"%4d", 4, BIN_SINT}, {"%8d", 8, BIN_SINT}, {"%d", 4, BIN_SINT},
    {"%4g", 4, BIN_FLOAT}, {"%hg", 4, BIN_FLOAT}, {"%he", 4, BIN_FLOAT}, {"%hE", 4, BIN_FLOAT},
    {"%e", 8, BIN_FLOAT}, {"%E", 8, BIN_FLOAT}, {"%g", 8, BIN_FLOAT}, {"%8g", 8, BIN_FLOAT},
};

// The conversions of a binary format: text before the first conversion or a count other than
// `count` is error 369; a conversion outside the table is error 370.
bool parse_binformat(t_cctx* ctx, const char* format, size_t count, std::vector<const t_binconv*>& out)
{
    out.clear();
    t_fmtpieces pieces = kst_fmt_split(format ? format : "");
    for (const std::string& p : pieces.pieces) {
        const t_binconv* found = nullptr;
        for (const t_binconv& c : s_binconvs)
            if (p == c.text) found = &c;
        if (!found) {
            kst_runerror(ctx, 370, p.c_str());
            return false;
        }
        out.push_back(found);
    }
    if (!pieces.lead.empty() || out.size() != count) {
        kst_runerror(ctx, 369);
        return false;
    }
    return true;
}

void swapbytes(unsigned char* p, int n) { std::reverse(p, p + n); }

// Integer fields take the value rounded to nearest, halves away from zero, and saturated to the
// field's range, as the typed copies to host integers do; NaN becomes 0, so that no value of a
// vector leads to undefined behaviour.
template <class I>
I saturate(long double x)
{
    if (std::isnan(x)) return 0;
    x = std::round(x);
    if (x <= (long double)std::numeric_limits<I>::min()) return std::numeric_limits<I>::min();
    if (x >= (long double)std::numeric_limits<I>::max()) return std::numeric_limits<I>::max();
    return (I)x;
}

void encode(const t_binconv* c, long double x, unsigned char* out, bool swap)
{
    auto put = [&](auto v) { memcpy(out, &v, sizeof v); };
    switch (c->kind) {
    case BIN_UINT:
        if (c->bytes == 2) put(saturate<uint16_t>(x));
        else if (c->bytes == 4) put(saturate<uint32_t>(x));
        else put(saturate<uint64_t>(x));
        break;
    case BIN_SINT:
        if (c->bytes == 2) put(saturate<int16_t>(x));
        else if (c->bytes == 4) put(saturate<int32_t>(x));
        else put(saturate<int64_t>(x));
        break;
    case BIN_FLOAT:
        if (c->bytes == 4) put((float)x);
        else put((double)x);
        break;
    }
    if (swap) swapbytes(out, c->bytes);
}

long double decode(const t_binconv* c, const unsigned char* in, bool swap)
{
    unsigned char b[8];
    memcpy(b, in, (size_t)c->bytes);
    if (swap) swapbytes(b, c->bytes);
    auto get = [&](auto v) {
        memcpy(&v, b, sizeof v);
        return (long double)v;
    };
    switch (c->kind) {
    case BIN_UINT: return c->bytes == 2 ? get(uint16_t{}) : c->bytes == 4 ? get(uint32_t{}) : get(uint64_t{});
    case BIN_SINT: return c->bytes == 2 ? get(int16_t{}) : c->bytes == 4 ? get(int32_t{}) : get(int64_t{});
    default: return c->bytes == 4 ? get(float{}) : get(double{});
    }
}

// Part (0 real, 1 imaginary) of element row as a long double: wide enough for every field of the
// table (64-bit integers included), so no field loses more than its own type does.
long double element_ld(const t_vecnum* v, long row, int part)
{
    long double r = 0;
    if ((uint32_t)row >= v->size()) return 0;
    vecnum_visit(v, [&](auto* t) {
        using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(t)>>::ops;
        const auto& e = (*t)[row];
        if constexpr (std::is_same_v<typename O::E, double>) r = part ? 0 : e;
        else if constexpr (std::is_same_v<typename O::E, complexe>) r = part ? e.im : e.re;
        else if constexpr (std::is_same_v<typename O::E, __float128>) r = part ? 0 : (long double)e;
        else if constexpr (std::is_same_v<typename O::E, zquad>) r = (long double)(part ? e.im : e.re);
        else if constexpr (std::is_same_v<typename O::E, __mpfr_struct>) r = part ? 0 : mpfr_get_ld(&e, MPFR_RNDN);
        else if constexpr (std::is_same_v<typename O::E, __mpc_struct>)
            r = mpfr_get_ld(part ? mpc_imagref(&e) : mpc_realref(&e), MPFR_RNDN);
    });
    return r;
}

// ---------------------------------------------------------------- read actions

// Empty list or a column below 1: 362; no target: 367; an imaginary column for a real target: 368.
bool check_actions(t_cctx* ctx, const std::vector<t_vecnum_readaction>& actions)
{
    if (actions.empty()) {
        kst_runerror(ctx, 362);
        return false;
    }
    for (const auto& a : actions) {
        if (!a.target) {
            kst_runerror(ctx, 367);
            return false;
        }
        if (!vecnum_isflag(a.target->vecflag()) || (!a.target->Vvecnumiscplx() && a.colim != -1)) {
            kst_runerror(ctx, 368);
            return false;
        }
        if (!vecnum_isfloatflag(a.target->vecflag())) {   // files hold floating-point numbers only
            kst_runerror(ctx, 366);
            return false;
        }
        if (a.colre < 1 || (a.colim != -1 && a.colim < 1)) {
            kst_runerror(ctx, 362);
            return false;
        }
        if (!a.target->resizable_here()) {   // reading replaces the storage the other tasks write
            kst_runerror(ctx, 760, a.target->getName());
            return false;
        }
    }
    return true;
}

int precision_rank(int flag) { return vecnum_flagreal(flag) == VECNUM_DBL ? 0 : vecnum_flagreal(flag) == VECNUM_QUAD ? 1 : 2; }

// Per file column, the real vector type that can hold what every target of that column needs.
std::vector<int> column_flags(const std::vector<t_vecnum_readaction>& actions, int ncols)
{
    std::vector<int> flags((size_t)ncols + 1, 0);
    auto need = [&](int col, int flag) {
        const int real = vecnum_flagreal(flag);
        if (!flags[col] || precision_rank(real) > precision_rank(flags[col])) flags[col] = real;
    };
    for (const auto& a : actions) {
        need(a.colre, a.target->vecflag());
        if (a.colim != -1) need(a.colim, a.target->vecflag());
    }
    return flags;
}

// Hands the gathered columns to the targets: a column used by one target of its own type moves,
// the others are converted copies. Complex targets are assembled part by part.
void commit_columns(t_cctx* ctx, const std::vector<t_vecnum_readaction>& actions, std::vector<t_vecptr>& cols,
                    bool append)
{
    std::vector<int> uses(cols.size(), 0);
    for (const auto& a : actions) {
        uses[a.colre]++;
        if (a.colim != -1) uses[a.colim]++;
    }
    for (const auto& a : actions) {
        t_vecnum* target = a.target;
        t_vecptr fresh = own(nullptr);
        if (target->Vvecnumiscplx()) {
            const int rflag = vecnum_flagreal(target->vecflag());
            t_vecptr re = own(vecnum_convertcopy(ctx, cols[a.colre].get(), rflag));
            t_vecptr im = own(a.colim != -1 ? vecnum_convertcopy(ctx, cols[a.colim].get(), rflag) : nullptr);
            fresh = own(target->Vcreate(ctx, "", re->size()));
            vecnum_visit(fresh.get(), [&](auto* z) {
                using O = typename std::remove_pointer_t<decltype(z)>::ops;
                if constexpr (O::cplx) {
                    using RV = t_vecnumt<typename O::realtrait>;
                    const RV* r = static_cast<const RV*>(re.get());
                    const RV* i = static_cast<const RV*>(im.get());
                    for (uint32_t k = 0; k < r->size(); k++) O::setri(&(*z)[k], &(*r)[k], i ? &(*i)[k] : nullptr);
                }
            });
        } else if (cols[a.colre]->vecflag() == target->vecflag() && uses[a.colre] == 1) {
            fresh = std::move(cols[a.colre]);
        } else {
            fresh = own(vecnum_convertcopy(ctx, cols[a.colre].get(), target->vecflag()));
        }
        vecnum_visit(target, [&](auto* t) {
            using V = std::remove_pointer_t<decltype(t)>;
            V* src = static_cast<V*>(fresh.get());
            if (append) t->append(*src);
            else t->transfert(*src);
        });
    }
}

// Storage of one parsed value in a column vector, grown in blocks of 500.
constexpr uint32_t k_readblock = 500;
template <class V>
void push_value(V* col, const typename V::ops::E* value)
{
    const uint32_t n = col->size();
    if (n % k_readblock == 0) col->reserve(n + k_readblock);
    col->increasesize(n + 1);
    V::ops::set(&(*col)[n], value);
}

// ---------------------------------------------------------------- text fields

// Infinity and NaN as other programs write them, ignoring case, with an optional sign:
// "1.#INF", "INFINITY", "INF"; "NAN", "NANQ", "x.#NAN", "x.#INE". After the "1.#" forms, digits
// and the characters E, + and - are part of the field.
bool special_value(const char* s, double* out)
{
    int sign = 1;
    if (*s == '+' || *s == '-') sign = *s++ == '-' ? -1 : 1;
    auto is = [&](const char* word) { return strcasecmp(s, word) == 0; };
    auto hashform = [&](const char* word) {
        if (!s[0] || s[1] != '.' || s[2] != '#' || strncasecmp(s + 3, word, 3) != 0) return false;
        for (const char* p = s + 6; *p; p++)
            if (!isdigit((unsigned char)*p) && *p != 'E' && *p != 'e' && *p != '+' && *p != '-') return false;
        return true;
    };
    if (is("INFINITY") || is("INF") || (s[0] == '1' && hashform("INF"))) {
        *out = sign * __builtin_inf();
        return true;
    }
    if (is("NAN") || is("NANQ") || hashform("NAN") || hashform("INE")) {
        *out = __builtin_nan("");
        return true;
    }
    return false;
}

template <class O> bool parse_field(const char* s, typename O::E* e);
template <> bool parse_field<t_vecelt<t_dbltype>>(const char* s, double* e)
{
    char* end;
    errno = 0;
    *e = strtod(s, &end);
    return end != s && *end == 0;
}
template <> bool parse_field<t_vecelt<t_quadtype>>(const char* s, __float128* e)
{
    char* end;
    *e = strtoflt128(s, &end);
    return end != s && *end == 0;
}
template <> bool parse_field<t_vecelt<t_fpmptype>>(const char* s, __mpfr_struct* e)
{
    char* end;
    mpfr_strtofr(e, s, &end, 10, MPFR_RNDN);
    return end != s && *end == 0;
}

template <class O>
bool read_field(const char* s, typename O::E* e)
{
    if (parse_field<O>(s, e)) return true;
    double special;
    if (!special_value(s, &special)) return false;
    O::fromdbl(e, special);
    return true;
}

enum { READ_NOTNUMBER = -1, READ_MISSINGCOL = -2, READ_UNREADABLE = -3, READ_IOFAIL = -4 };

// A read format, scanf-like: white space matches any run of white space (or none); a numeric
// conversion (%e %f %g %d %i, upper case too, with an optional width and l or L) is the next file
// column; %*e ... skips a number and %s or %*s skips a word; %% and every other character must
// appear as written.
struct t_readitem {
    enum kind { space, literal, number, skipnumber, skipword } kind;
    char c = 0;
};

// False with *bad at the conversion that cannot be read.
bool parse_readformat(const char* format, std::vector<t_readitem>& items, const char** bad)
{
    for (const char* p = format; *p;) {
        if (isspace((unsigned char)*p)) {
            while (isspace((unsigned char)*p)) p++;
            items.push_back({t_readitem::space});
        } else if (*p == '%' && p[1] == '%') {
            items.push_back({t_readitem::literal, '%'});
            p += 2;
        } else if (*p == '%') {
            *bad = p++;
            const bool skip = *p == '*';
            if (skip) p++;
            while (isdigit((unsigned char)*p)) p++;
            if (*p == 'l' || *p == 'L') p++;
            if (*p && strchr("eEfFgGdi", *p)) items.push_back({skip ? t_readitem::skipnumber : t_readitem::number});
            else if (*p == 's') items.push_back({t_readitem::skipword});
            else return false;
            p++;
        } else {
            items.push_back({t_readitem::literal, *p++});
        }
    }
    return true;
}

// The numeric fields of one line through a read format, as texts for the element readers. False
// when the line does not follow the format; *column is then the column being looked for.
bool format_fields(const std::vector<t_readitem>& items, const char* line, std::vector<std::string>& out, int* column)
{
    out.clear();
    const char* p = line;
    for (const t_readitem& it : items) {
        *column = (int)out.size() + 1;
        switch (it.kind) {
        case t_readitem::space:
            while (isspace((unsigned char)*p)) p++;
            break;
        case t_readitem::literal:
            if (*p != it.c) return false;
            p++;
            break;
        case t_readitem::skipword:
            while (isspace((unsigned char)*p)) p++;
            if (!*p) return false;
            while (*p && !isspace((unsigned char)*p)) p++;
            break;
        case t_readitem::number:
        case t_readitem::skipnumber: {
            while (isspace((unsigned char)*p)) p++;
            char* end = nullptr;
            strtold(p, &end);
            if (end == p) return false;
            if (it.kind == t_readitem::number) out.emplace_back(p, static_cast<size_t>(end - p));
            p = end;
            break;
        }
        }
    }
    return true;
}

struct t_readfailure {
    int code = 0;
    long line = 0;
    int column = 0;
    int err = 0;
};

}  // namespace

// ---------------------------------------------------------------- text output

bool filenum_write(t_cctx* ctx, FILE* stream, const char* filename, tabnum_borne range,
                   const std::vector<const t_idcommon*>& columns, const char* format)
{
    std::vector<const t_vecnum*> cols;
    if (!columns_asvectors(ctx, columns, cols)) return false;
    t_fmtpieces pieces;
    if (format) {
        pieces = kst_fmt_split(format);
        if (!msgfmt_checkwidths(ctx, pieces)) return false;
        if (pieces.pieces.size() != cols.size()) {
            kst_runerror(ctx, 545);
            return false;
        }
    }
    t_rows rows;
    if (!range_rows(ctx, range, longest(cols), rows)) return false;
    if (rows.empty()) {
        kst_runinfo(130);
        return true;
    }
    FILE* f = stream ? stream : fopen(filename, "w");
    if (!f) {
        kst_runerror(ctx, 290, filename);
        return false;
    }
    bool ok = true;
    for (long row = rows.first - 1; row < rows.last; row += rows.step) {
        if (format) msgfmt_printtext(f, pieces.lead);
        for (size_t k = 0; k < cols.size() && ok; k++)
            ok = write_element(ctx, f, cols[k], row, format ? &pieces.pieces[k] : nullptr);
        if (!ok) break;
        if (!format) fputc('\n', f);
    }
    const bool ioerr = ferror(f) != 0 || (stream && fflush(f) != 0);
    if ((!stream && fclose(f) != 0) || (ok && ioerr)) {
        kst_runerror(ctx, 290, filename);
        return false;
    }
    return ok;
}

bool filenum_write(t_cctx* ctx, const char* filename, tabnum_borne range, const std::vector<const t_idcommon*>& columns,
                   const char* format)
{
    return filenum_write(ctx, nullptr, filename, range, columns, format);
}

// ---------------------------------------------------------------- binary output

bool filenumbin_write(t_cctx* ctx, const char* filename, tabnum_borne range,
                      const std::vector<const t_idcommon*>& columns, const char* format, const t_vecnum_fileopts& opts)
{
    return filenumbin_write(ctx, nullptr, filename, range, columns, format, opts);
}

bool filenumbin_write(t_cctx* ctx, FILE* stream, const char* filename, tabnum_borne range,
                      const std::vector<const t_idcommon*>& columns, const char* format, const t_vecnum_fileopts& opts)
{
    std::vector<const t_vecnum*> cols;
    if (!columns_asvectors(ctx, columns, cols)) return false;
    for (const t_vecnum* v : cols) {
        if (!vecnum_isfloatflag(v->vecflag())) {   // no binary field holds an exact number or an interval
            kst_runerror(ctx, 697, v->getName(), v->Vgettypename());
            return false;
        }
    }
    std::vector<const t_binconv*> convs;
    if (!parse_binformat(ctx, format, cols.size(), convs)) return false;
    t_rows rows;
    if (!range_rows(ctx, range, longest(cols), rows)) return false;
    if (rows.empty()) {
        kst_runinfo(130);
        return true;
    }
    size_t reclen = 0;
    for (size_t k = 0; k < cols.size(); k++) reclen += (size_t)convs[k]->bytes * (cols[k]->Vvecnumiscplx() ? 2 : 1);
    FILE* f = stream ? stream : fopen(filename, "wb");
    if (!f) {
        kst_runerror(ctx, 290, filename);
        return false;
    }
    auto* rec = static_cast<unsigned char*>(kst_checkmalloc(reclen, "SYSCHECKMALLOCSIZE"));
    bool ok = true;
    for (long row = rows.first - 1; row < rows.last; row += rows.step) {
        unsigned char* p = rec;
        for (size_t k = 0; k < cols.size(); k++) {
            const int nparts = cols[k]->Vvecnumiscplx() ? 2 : 1;
            for (int part = 0; part < nparts; part++) {
                encode(convs[k], element_ld(cols[k], row, part), p, opts.swapendian);
                p += convs[k]->bytes;
            }
        }
        if (fwrite(rec, 1, reclen, f) != reclen) {
            ok = false;
            break;
        }
    }
    free(rec);
    if (stream ? fflush(f) != 0 : fclose(f) != 0) ok = false;
    if (!ok) kst_runerror(ctx, 290, filename);
    return ok;
}

// ---------------------------------------------------------------- text input

long filenum_read(t_cctx* ctx, const char* filename, tabnum_borne range, const std::vector<t_vecnum_readaction>& actions,
                  bool append, const t_vecnum_fileopts& opts)
{
    return filenum_read(ctx, nullptr, filename, range, actions, append, opts);
}

long filenum_read(t_cctx* ctx, FILE* stream, const char* filename, tabnum_borne range,
                  const std::vector<t_vecnum_readaction>& actions, bool append, const t_vecnum_fileopts& opts)
{
    return filenum_readfmt(ctx, stream, filename, range, actions, nullptr, append, opts);
}

long filenum_readfmt(t_cctx* ctx, FILE* stream, const char* filename, tabnum_borne range,
                     const std::vector<t_vecnum_readaction>& actions, const char* format, bool append,
                     const t_vecnum_fileopts& opts)
{
    if (!check_actions(ctx, actions)) return -1;
    std::vector<t_readitem> items;
    const char* bad = nullptr;
    if (format && !parse_readformat(format, items, &bad)) {
        kst_runerror(ctx, 370, bad);
        return -1;
    }
    if (format) {
        int numbers = 0, needed = 0;
        for (const t_readitem& it : items) numbers += it.kind == t_readitem::number;
        for (const auto& a : actions) needed = std::max({needed, a.colre, a.colim});
        if (needed > numbers) {
            kst_runerror(ctx, 369);
            return -1;
        }
    }
    if (range.step < 1) {
        kst_runerror(ctx, 52);
        return -1;
    }
    FILE* f = stream ? stream : fopen(filename, "r");
    if (!f) {
        kst_runerror(ctx, 301, filename, strerror(errno));
        return -1;
    }
    FILE* history = opts.readhistory ? fopen(opts.readhistory, "a") : nullptr;

    int ncols = 0;
    for (const auto& a : actions) ncols = std::max({ncols, a.colre, a.colim});
    const std::vector<int> flags = column_flags(actions, ncols);
    std::vector<t_vecptr> cols;
    for (int c = 0; c <= ncols; c++) cols.push_back(own(flags[c] ? vecnum_create(ctx, flags[c], "", 0) : nullptr));

    t_readfailure fail;
    long nread = 0;
    long lineno = 0;
    char* line = nullptr;
    size_t cap = 0;
    ssize_t len;
    std::vector<char*> fields;
    std::vector<std::string> texts;
    // The last line of the range is the last one taken from the file, so that an open file object
    // goes on from the next line.
    while ((range.last == -1 || lineno < range.last) && (len = getline(&line, &cap, f)) >= 0) {
        lineno++;
        if (lineno < range.first) continue;
        if ((lineno - range.first) % range.step != 0) continue;
        if ((size_t)len != strlen(line)) {
            fail = {READ_UNREADABLE, lineno};
            break;
        }
        if (history) fprintf(history, "%ld %s\n", lineno, std::string(line, strcspn(line, "\r\n")).c_str());
        fields.clear();
        // Blank lines carry no data: skipped, though they count in the line numbers.
        if (line[strspn(line, " \t\r\n\v\f")] == '\0') continue;
        if (format) {
            line[strcspn(line, "\r\n")] = '\0';
            int column = 0;
            if (!format_fields(items, line, texts, &column)) {
                fail = {READ_NOTNUMBER, lineno, column};
                break;
            }
            for (std::string& t : texts) fields.push_back(t.data());
        } else {
            for (char* tok = strtok(line, " \t\r\n\v\f"); tok; tok = strtok(nullptr, " \t\r\n\v\f")) fields.push_back(tok);
        }
        for (int c = 1; c <= ncols && !fail.code; c++) {
            if (!cols[c]) continue;
            if (c > (int)fields.size()) {
                fail = {READ_MISSINGCOL, lineno, c};
                break;
            }
            vecnum_visit(cols[c].get(), [&](auto* col) {
                using V = std::remove_pointer_t<decltype(col)>;
                using O = typename V::ops;
                if constexpr (!O::cplx && vecelt_isfloat<O>) {   // gathered columns are real
                    typename O::E value;
                    O::init(&value, col->prec());
                    if (read_field<O>(fields[c - 1], &value)) push_value(col, &value);
                    else fail = {READ_NOTNUMBER, lineno, c};
                    O::clear(&value);
                }
            });
        }
        if (fail.code) break;
        nread++;
    }
    if (!fail.code && ferror(f)) fail = {READ_IOFAIL, lineno, 0, errno};
    free(line);
    if (!stream) fclose(f);
    if (history) fclose(history);

    switch (fail.code) {
    case READ_NOTNUMBER: kst_runerror(ctx, 294, (int)fail.line, filename, fail.column); break;
    case READ_MISSINGCOL: kst_runerror(ctx, 295, fail.column, (int)fail.line, filename); break;
    case READ_UNREADABLE: kst_runerror(ctx, 296, filename); break;
    case READ_IOFAIL: kst_runerror(ctx, 301, filename, strerror(fail.err)); break;
    default: break;
    }
    if (fail.code) {
        if (nread > 0) kst_runerror(ctx, 292);
        else kst_runerror(ctx, 293, filename);
        return -1;
    }
    if (nread == 0) {
        kst_runerror(ctx, 293, filename);
        return -1;
    }
    commit_columns(ctx, actions, cols, append);
    return nread;
}

// ---------------------------------------------------------------- binary input

long filenumbin_read(t_cctx* ctx, const char* filename, tabnum_borne range,
                     const std::vector<t_vecnum_readaction>& actions, const char* format, bool append,
                     const t_vecnum_fileopts& opts)
{
    if (!check_actions(ctx, actions)) return -1;
    t_fmtpieces pieces = kst_fmt_split(format ? format : "");
    std::vector<const t_binconv*> convs;
    if (!parse_binformat(ctx, format, pieces.pieces.size(), convs)) return -1;
    int ncols = 0;
    for (const auto& a : actions) ncols = std::max({ncols, a.colre, a.colim});
    if (ncols > (int)convs.size()) {
        kst_runerror(ctx, 369);
        return -1;
    }
    if (range.step < 1) {
        kst_runerror(ctx, 52);
        return -1;
    }
    std::vector<size_t> offset(convs.size() + 1, 0);
    for (size_t k = 0; k < convs.size(); k++) offset[k + 1] = offset[k] + (size_t)convs[k]->bytes;
    const size_t reclen = offset.back();

    // The whole file at once: records are fixed-size, so its length says how many there are.
    FILE* f = fopen(filename, "rb");
    if (!f) {
        kst_runerror(ctx, 314);
        return -1;
    }
    std::string bytes;
    char buf[65536];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, got);
    const bool ioerr = ferror(f) != 0;
    fclose(f);
    if (ioerr) {
        kst_runerror(ctx, 314);
        return -1;
    }
    if (reclen == 0 || bytes.size() % reclen != 0) {
        kst_runerror(ctx, 625);
        return -1;
    }
    const long nrec = (long)(bytes.size() / reclen);
    t_rows rows;
    range_rows(ctx, range, nrec, rows);
    rows.last = std::min(rows.last, nrec);   // records past the end of the file do not exist

    const std::vector<int> flags = column_flags(actions, ncols);
    std::vector<t_vecptr> cols;
    for (int c = 0; c <= ncols; c++) cols.push_back(own(flags[c] ? vecnum_create(ctx, flags[c], "", 0) : nullptr));
    long nread = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (long r = rows.first; r <= rows.last; r += rows.step) {
        const unsigned char* rec = data + (size_t)(r - 1) * reclen;
        for (int c = 1; c <= ncols; c++) {
            if (!cols[c]) continue;
            const long double x = decode(convs[c - 1], rec + offset[c - 1], opts.swapendian);
            vecnum_visit(cols[c].get(), [&](auto* col) {
                using V = std::remove_pointer_t<decltype(col)>;
                using O = typename V::ops;
                if constexpr (!O::cplx && vecelt_isfloat<O>) {   // gathered columns are real
                    typename O::E value;
                    O::init(&value, col->prec());
                    if constexpr (std::is_same_v<typename O::E, __mpfr_struct>) mpfr_set_ld(&value, x, MPFR_RNDN);
                    else value = (typename O::E)x;
                    push_value(col, &value);
                    O::clear(&value);
                }
            });
        }
        nread++;
    }
    if (nread == 0) {
        kst_runerror(ctx, 293, filename);
        return -1;
    }
    commit_columns(ctx, actions, cols, append);
    return nread;
}
