// Vectors of residues modulo a prime p below 2^32, each stored in the smallest of 8, 16 or 32 bits
// that holds p - 1, with their element-wise arithmetic. Private to the numeric room.
#pragma once
#include "numeric/vecnum.h"

class t_vecnumintmodsmall final : public t_vecnum {
public:
    static constexpr int idflag = VECNUM_INTMODSMALL;
    // p is a prime (checked by vecnum_createintmodsmall); n zero residues.
    t_vecnumintmodsmall(const char* name, uint32_t p, uint32_t n);
    t_vecnumintmodsmall(const t_vecnumintmodsmall& o);
    ~t_vecnumintmodsmall() override;

    uint32_t modulus() const { return m_p; }
    size_t bits() const { return 8 * m_width; }
    uint32_t get(uint32_t i) const;
    void set(uint32_t i, uint32_t r);
    // The residue of the coefficient's real part: n/d is n times the inverse of d (false with
    // error 446 when p divides d).
    bool reduce(t_cctx* ctx, const coef* c, uint32_t* r) const;

    const char* Vgettypename() const override { return "t_vecnumintmodsmall"; }
    eBHTypeCoef VgeteBHType() const override { return BH_INTMP; }
    bool Vvecnumiscplx() const override { return false; }
    t_idcommon* Vcopy() const override { return new t_vecnumintmodsmall(*this); }
    bool Viscopiable() const override { return true; }
    void Vreset(t_cctx*, uint32_t n) override;
    t_vecnum* Vcreate(t_cctx* ctx, const char* name, uint32_t n) const override;
    // Elements are GMP integers 0..p-1; storing past the end grows the vector with zeros.
    coef data2coef(t_cctx* ctx, uint32_t i) const override;
    void coef2data(t_cctx* ctx, uint32_t i, const coef* c) override;
    coef Vsum(t_cctx* ctx, int method, int flag) const override;
    coef Vprod(t_cctx* ctx, int method) const override;
    t_vecnum* Vcmpand(t_cctx* ctx, const t_vecnum* other) const override;
    t_vecnum* Vcmpor(t_cctx* ctx, const t_vecnum* other) const override;
    // "t_vecnumintmodsmall<8 bits>('x' = {1, 2, 3}) mod 251".
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;
    // Residues do not follow the numeric mode.
    t_idcommon* Vupdatevalue(t_cctx*) const override { return nullptr; }

private:
    void grow(uint32_t n);
    uint32_t m_p;
    uint32_t m_width;   // bytes per residue: 1, 2 or 4
};

enum t_intmodop { INTMOD_ADD, INTMOD_SUB, INTMOD_MUL, INTMOD_DIV, INTMOD_POW };

// The operations of vecnumarith.cpp on residue vectors, with its keep flags. vector op vector
// needs two residue vectors of the same modulus (445) and size (143); side 1 is c op v[i]. A
// zero divisor or a zero raised to a negative power is error 446; an exponent that is not an
// integer 26.
t_vecnum* intmodsmall_vecvec(t_cctx* ctx, t_intmodop op, t_vecnum* a, int keepa, t_vecnum* b, int keepb);
t_vecnum* intmodsmall_coef(t_cctx* ctx, t_intmodop op, int side, t_vecnum* v, int keepv, coef* c, int keepc);
// Equality and inequality give 0/1 residue vectors; the other relations are error 23.
t_vecnum* intmodsmall_cmp(t_cctx* ctx, const t_vecnum* a, const t_vecnum* b, t_vecnum_cmpop op);
