// VNum: the strict family, operations on operands of one agreed format whose
// result is written into this value.

#include "num/VNum.h"

#include <algorithm>

#include "num/digits.h"

using namespace digits;

void VNum::add(const VNum& p, const VNum& q) {
    if (p.type_ != q.type_ || p.type_ != type_ || p.width_ != q.width_ || p.width_ != width_)
        throw VNumException::IllegalIntArg("VNum::add(p, q) must havethe same type and width", 0);
    uint32_t carry = 0;
    for (int32_t i = 0; i < nwords_; ++i) {
        const uint32_t s = p.w_[i] + q.w_[i] + carry;
        w_[i] = s & kDigitMask;
        carry = s >> 16;
    }
    w_[nwords_ - 1] &= topMask();
}

void VNum::sub(const VNum& p, const VNum& q) {
    if (p.type_ != q.type_ || p.type_ != type_ || p.width_ != q.width_ || p.width_ != width_)
        throw VNumException::IllegalIntArg("VNum::sub(p, q) must havethe same type and width", 0);
    uint32_t borrow = 0;
    for (int32_t i = 0; i < nwords_; ++i) {
        const uint32_t s = p.w_[i] - q.w_[i] - borrow;
        w_[i] = s & kDigitMask;
        borrow = (s >> 16) & 1u;
    }
    w_[nwords_ - 1] &= topMask();
}

void VNum::unsigned_mult(const VNum& p, const VNum& q) {
    if (width_ != p.width_ + q.width_)
        throw VNumException::IllegalIntArg(
            "VNum::unsigned_mult(p, q) yields result in container of wrong width", 0);
    uint32_t r[kMaxWords];  // p or q may be this value
    std::fill(r, r + nwords_, 0u);
    mulAccumulate(r, nwords_, p.w_, p.nwords_, q.w_, q.nwords_);
    std::copy(r, r + nwords_, w_);
    w_[nwords_ - 1] &= topMask();
}

void VNum::bitAnd(const VNum& p, const VNum& q) {
    if (p.width_ != q.width_)
        throw VNumException::IllegalIntArg("VNum::bitAnd(p, q) q and q must have the same width", 0);
    if (width_ != p.width_)
        throw VNumException::IllegalIntArg("VNum::bitAnd(p, q) resultmust have the same width", 0);
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = p.w_[i] & q.w_[i];
}

void VNum::bitOr(const VNum& p, const VNum& q) {
    if (p.width_ != q.width_)
        throw VNumException::IllegalIntArg("VNum::bitOr(p, q) q and q must have the same width", 0);
    if (width_ != p.width_)
        throw VNumException::IllegalIntArg("VNum::bitOr(p, q) resultmust have the same width", 0);
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = p.w_[i] | q.w_[i];
}

void VNum::bitXor(const VNum& p, const VNum& q) {
    if (p.width_ != q.width_)
        throw VNumException::IllegalIntArg("VNum::bitXor(p, q) q and q must have the same width", 0);
    if (width_ != p.width_)
        throw VNumException::IllegalIntArg("VNum::bitXor(p, q) resultmust have the same width", 0);
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = p.w_[i] ^ q.w_[i];
}

void VNum::bitNot(const VNum& p) {
    if (width_ != p.width_)
        throw VNumException::IllegalIntArg("VNum::bitNot(p) resultmust have the same width", 0);
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = ~p.w_[i] & kDigitMask;
    w_[nwords_ - 1] &= topMask();
}

int32_t VNum::unsigned_comp(const VNum& p) const {
    if (width_ != p.width_ || type_ != p.type_)
        throw VNumException::IllegalIntArg("VNum::unsigned_comp(p) must have the same width and type", 0);
    for (int32_t i = nwords_ - 1; i >= 0; --i)
        if (w_[i] != p.w_[i]) return static_cast<int32_t>(w_[i]) - static_cast<int32_t>(p.w_[i]);
    return 0;
}
