// Arrays of the language (`t_tableau`): rectangular, multi-dimensional containers of values with
// per-dimension bounds and steps, element access and slicing, element-wise operators and the
// whole-array transformations that run one scheduler task per element.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interp/idcommon.h"
#include "numeric/vecnum.h"
#include "parallel/dataracedetector.h"

class t_cctx;

// One dimension: subscripts lower, lower + step, ..., upper. The nodes form a list, first
// dimension first; the array owns its list.
struct list_dim_tab {
    int binf;
    int bsup;
    int step;
    int count;            // (bsup - binf) / step + 1
    list_dim_tab* next;
};

// A new node (count computed); lower > upper or step < 1 is error 35 and gives null.
list_dim_tab* cree_dim_tab(int lower, int upper, int step, list_dim_tab* next);
list_dim_tab* copy_dim_tab(const list_dim_tab* dims);
void delete_dim_tab(list_dim_tab* dims);

// One element. An unset element holds null rather than an empty identifier: the empty state then
// costs nothing to create, test or copy, and every reader treats null as "no value".
struct list_elt_tab {
    list_elt_tab* next = nullptr;
    t_idcommon* data = nullptr;
    t_dataracedetector race;

    t_idcommon* getData() const { return data; }
    // take = true: the value leaves the element (recorded as a write), otherwise it stays (read).
    t_idcommon* moveData(bool take);
};

// A range of subscripts of one dimension, in that dimension's own subscript space (not 1-based).
// A step below 1 is error 390.
using list_tabnum_borne = std::vector<tabnum_borne>;

class t_tableau : public t_idcommon {
public:
    t_tableau(const char* name = "", int kind = IDTYPE_TABLEAU);
    explicit t_tableau(int n, int kind = IDTYPE_TABLEAU);                 // [1..n]
    // Takes the dimension list. keepbounds = false renumbers every dimension to [1..count].
    t_tableau(const char* name, int kind, int ndim, list_dim_tab* dims, bool keepbounds = true);
    t_tableau(const t_tableau& other);                                   // deep copy
    t_tableau& operator=(const t_tableau&) = delete;
    ~t_tableau() override;

    int Vgettypeenum() const override { return IDTYPE_TABLEAU; }
    const char* Vgettypename() const override { return "TAB"; }
    t_idcommon* Vcopy() const override { return new t_tableau(*this); }
    bool Viscopiable() const override { return true; }
    long Vsize() const override { return m_size; }
    long Vbilan_mem() const override;
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;
    void Vupdatename(const char* name) override;   // the elements are renamed with the array
    bool Vdependon(const t_idcommon* other) const override;

    // Shape.
    int ndim() const { return m_ndim; }
    const list_dim_tab* dims() const { return m_dims; }
    const list_dim_tab* dim(int d) const;          // 1-based, null when out of range
    int Vinf(int d) const;
    int Vsup(int d) const;
    // Same number of dimensions and the same count in each; samebounds also compares lower,
    // upper and step.
    bool isdim_compatible(const t_tableau& other, bool* samebounds = nullptr) const;
    bool musthavestep1() const;                    // every step is 1

    // Elements in storage order (row-major, the last subscript fastest).
    list_elt_tab* elements() { return m_elts.get(); }
    const list_elt_tab* elements() const { return m_elts.get(); }
    list_elt_tab& elt(long p) { return m_elts[p]; }
    const list_elt_tab& elt(long p) const { return m_elts[p]; }

    // Storage position of a full subscript list, after the checks of dim_tab_check (-1 after an
    // error; a wrong subscript count is error 35).
    long position(t_cctx* ctx, const int* subscripts, int n) const;
    // Subscripts of a storage position, and the element's printed name ("T[1,2]").
    std::vector<int> subscripts(long p) const;
    std::string eltname(long p) const;

    // The language's subscripts (tableau_lang.cpp): T[i, j] reads or writes one element, ranges
    // a:b:c and "..." a sub-block, a vector of indices the listed elements of a one-dimensional array.
    using t_idcommon::Vextract;
    t_idcommon* Vextract(t_cctx* ctx, const std::vector<t_subscript>& subscripts) const override;
    bool Vassign(t_cctx* ctx, const std::vector<t_subscript>& subscripts, t_idcommon* owned) override;
    // One element, by whole-number subscripts; a range, "..." or an index vector followed by a
    // further access level is error 620.
    bool Vexport_str(t_cctx* ctx, std::string& out) const override;
    // The one-argument functions (sin(T), abs(T), ...) on every element, through applyall_elt_id.
#define KST_TABLEAU_UNARY(op) t_idcommon* op(t_cctx* ctx, int opflag) override;
    KST_ID_UNARY_OPS(KST_TABLEAU_UNARY)
#undef KST_TABLEAU_UNARY
    t_idcommon* Velement(t_cctx* ctx, const std::vector<t_subscript>& subscripts) override;

    // Element value: a copy of the value at the subscripts (an empty element gives an empty
    // identifier named after the element); null after an error.
    t_idcommon* Vextract(t_cctx* ctx, const int* subscripts, int n) const;
    // Sub-block selected by one range per dimension (or fewer with `ellipsis`: the remaining
    // dimensions are taken whole). A dimension selected with step 1 keeps the range's bounds, one
    // selected with a larger step is renumbered from 1.
    t_tableau* tableau_extract(t_cctx* ctx, const list_tabnum_borne& ranges, bool ellipsis) const;

    // Stores value (taken over when keep is 0, copied otherwise) at the subscripts.
    bool affect_elttab_valeur_wcheck(t_cctx* ctx, const int* subscripts, int n, t_idcommon* value, int keep);
    // Every element of a sub-block gets the value: an array value is copied element by element
    // (166 when the dimension numbers differ, 167 when a count differs), anything else is copied
    // into each element, the last one taking it over when keep is 0.
    bool affect_tabelts(t_cctx* ctx, const list_tabnum_borne& ranges, bool ellipsis, t_idcommon* value, int keep);
    // One-dimensional arrays only (539): element indices[k] (subscripts, checked) gets value, or
    // element k of value when value is an array of as many elements.
    bool assign_vnumindice(t_cctx* ctx, const t_vecnum* indices, t_idcommon* value, int keep);

    // One-dimensional growth: the array becomes [1..size + k] with the old values first (k > 0).
    void increasesize(int k);
    // keep = false: every dimension becomes [1..count] with step 1.
    void realigntobinf1(bool keep);

    // The function on every non-empty element, one scheduler task per element, into a new array
    // of the same shape (or this array when consume is true). The function gets the element value
    // and a keep flag (0: it may take the value) and returns the new value or null after an
    // error. With consume the array is handed over: it becomes the result, or is deleted when any
    // error is pending at the end (the result is then null in every case).
    using t_eltfunc = std::function<t_idcommon*(t_cctx*, t_idcommon* value, int keep)>;
    t_tableau* applyall_elt_id(t_cctx* ctx, const t_eltfunc& f, bool consume);
    // The visitor on every element in storage order, in the caller (empty elements included).
    void applyall_elt_tab(t_cctx* ctx, const std::function<void(t_cctx*, long p, list_elt_tab&)>& f);

    // Replaces the element's value (the previous one is deleted) and names it after the element.
    void init_elt_tab_idc(long p, t_idcommon* value);

private:
    void allocate();            // m_size empty elements, linked
    void clear();               // values, elements and dimensions

    list_dim_tab* m_dims = nullptr;
    std::unique_ptr<list_elt_tab[]> m_elts;
    int m_ndim = 0;
    long m_size = 0;
};

// Subscript check of one dimension (dimnumber 1-based): outside [lower, upper] is error 29 (with
// the array name), off the step grid error 565.
bool dim_tab_check(t_cctx* ctx, int i, int dimnumber, const list_dim_tab* dim, const char* arrayname);

// The element record of a subscript list (null after an error).
list_elt_tab* calcul_adr_elt_tab(t_cctx* ctx, t_tableau* tab, const std::vector<int>& subscripts);
list_elt_tab* Mcalcul_adr_elt_tab(t_cctx* ctx, t_tableau* tab, int n, ...);
void init_elt_tab_idc(t_tableau* tab, t_idcommon* value, list_elt_tab* elt);

// Creation with every element empty.
t_tableau* creeinit_tab(int kind, const char* name, int ndim, list_dim_tab* dims);
t_tableau* creeinit_tab(int n);
t_tableau* creeinit_tab(int first, int last);
t_tableau* creeinit_tab2D(int l1, int u1, int l2, int u2);

// ---------------------------------------------------------------- element-wise operators
// Operands come with keep flags (0: handed over). Results are new arrays, or a handed-over
// operand reused; null after an error.
t_tableau* tableau_2op(t_cctx* ctx, t_idbinop op, t_tableau* a, int keepa, t_tableau* b, int keepb);
t_tableau* tableauobj_2op(t_cctx* ctx, t_idbinop op, t_tableau* a, int keepa, t_idcommon* v, int keepv);
t_tableau* objtableau_2op(t_cctx* ctx, t_idbinop op, t_idcommon* v, int keepv, t_tableau* b, int keepb);
// One pair of values combined as the element-wise operators do (numbers directly, anything else
// through the type operation table); null after an error.
t_idcommon* tableau_2op_element(t_cctx* ctx, t_idbinop op, t_idcommon* a, int keepa, t_idcommon* b, int keepb);
// Size-mismatch error of an element-wise operation.
int tableau_operror(t_idbinop op);

// Comparisons giving arrays of integer constants 0/1 (size mismatch: 549).
enum t_tabcmpop { TABCMP_EQ, TABCMP_NE, TABCMP_GT, TABCMP_GE, TABCMP_LT, TABCMP_LE, TABCMP_AND, TABCMP_OR };
t_tableau* tableau_2cmp(t_cctx* ctx, t_tabcmpop op, const t_tableau* a, const t_tableau* b);
t_tableau* tableauobj_2cmp(t_cctx* ctx, t_tabcmpop op, const t_tableau* a, const t_idcommon* v);
t_tableau* objtableau_2cmp(t_cctx* ctx, t_tabcmpop op, const t_idcommon* v, const t_tableau* b);
// Whole arrays: same shape and bounds, and every element pair equal (two empty elements are equal).
bool tableau_2cmpeq(t_cctx* ctx, const t_tableau* a, const t_tableau* b);
bool tableau_2cmpne(t_cctx* ctx, const t_tableau* a, const t_tableau* b);

// cond[i] != 0 ? a[i] : b[i]; a and b are arrays of cond's shape or single values (copied).
// A condition that is not an array is error 485.
t_tableau* tab_condternaire(t_cctx* ctx, const t_idcommon* cond, const t_idcommon* a, const t_idcommon* b);

// Installs the array entries of the type operation table (after the table is created).
void kst_tableau_inittables();
// dim, det, eigenvalues, eigenvectors and the matrix product A . B (tableau_lang.cpp).
void kst_tableau_registerlanguage();
// Arrays and vectors in identifier files (ecriture / lecture).
void kst_numstorage_register();

// ---------------------------------------------------------------- numeric vectors
// True when every element is a numeric vector.
bool tableau_havetabnum(const t_tableau* a);
// A one-dimensional array of m numeric vectors of one type and length n becomes [1..n, 1..m]
// of constants, element (i, j) being value i of vector j. Errors: 256 an element is not a
// vector, 257 the array is not one-dimensional, 258 the vectors are empty, 259 lengths or
// types differ.
t_tableau* vnum2dimn(t_cctx* ctx, const t_tableau* a);
// The other way: the m columns of a [n x m] array of numbers become m real vectors of the
// context's mode, in a [1..m] array (257 when the array is not two-dimensional, 349 when an
// element is not a number).
t_tableau* dim2vnumR(t_cctx* ctx, const t_tableau* a);
// [1..m] array of m vectors of length n -> [1..n] array of vectors of length m: vector i holds
// element i of each vector (errors as vnum2dimn).
t_tableau* transposevnum(t_cctx* ctx, const t_tableau* a);
// The same with complex vectors (complex elements keep their imaginary parts).
t_tableau* dim2vnumC(t_cctx* ctx, const t_tableau* a);
t_tableau* dim2vnum(t_cctx* ctx, const t_tableau* a, bool complex);

// ---------------------------------------------------------------- storage
// The body of an array file, after the common header that the storage room writes. Each
// non-empty element is stored apart by the element's own class, through `save`, under the
// element's name ("T[1,2]"), and read back through `load`.
struct t_tabelt_io {
    std::function<bool(t_cctx*, const t_idcommon* value, const char* eltname)> save;
    std::function<t_idcommon*(t_cctx*, const char* eltname)> load;   // null when it fails
};
// Binary: int32 dimension count; per dimension int32 lower, upper, count; int32 element count;
// per element an int32 flag, 1 when it was saved. A write failure is error 340.
bool savetab(t_cctx* ctx, const t_tableau* a, FILE* f, const t_tabelt_io& io);
// Text: the same numbers one line each ("%d %d %d" per dimension), then per element its name and
// SAVE, CANTSAVE or EMPTY. A write failure is error 338.
bool savetabF(t_cctx* ctx, const t_tableau* a, FILE* f, const t_tabelt_io& io);
// The array named `name`, every dimension with step 1 (a stepped dimension is stored by bounds
// and count only, so it comes back as the contiguous [lower..lower + count - 1]). A short read is
// error 336; an element that does not load fails the whole array.
t_tableau* loadtab(t_cctx* ctx, FILE* f, const char* name, const t_tabelt_io& io);
t_tableau* loadtabF(t_cctx* ctx, FILE* f, const char* name, const t_tabelt_io& io);
