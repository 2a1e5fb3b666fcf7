// VNum: an unsigned or two's-complement integer of 0 to 4096 bits, stored as
// 16-bit digits in the low halves of 32-bit words (word 0 least significant),
// carrying a quantisation mode and an overflow mode.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

// Type, quantisation and overflow codes shared by VNum and VFix.
enum NumType : int32_t { Unsigned = 1, Signed = 2 };
enum QuantMode : int32_t { Truncate = 1, RoundHalfAway = 2, RoundHalfEven = 3, RoundHalfEvenHoldMax = 4 };
enum OverflowMode : int32_t { Wrap = 1, Saturate = 2, Throw = 3 };

// Exceptions of the numeric library, thrown by value.
namespace VNumException {
class IllegalIntArg {
public:
    IllegalIntArg(const char* m, int32_t v) : message(m), value(v) {}
    const char* message;
    int32_t value;
};
class Overflow {
public:
    Overflow(const char* m, int32_t v) : message(m), value(v) {}
    const char* message;
    int32_t value;
};
class tooManyBits {
public:
    void* unused = nullptr;
};
class UnimplementedSpec {
public:
    void* unused = nullptr;
};
// States that correct callers never reach: a word array of fewer than one
// word, or a left shift out of the width under an unknown overflow mode.
class BadException : public std::bad_exception {
public:
    const char* what() const noexcept override { return "bad exception"; }
};
}  // namespace VNumException

class VNum {
public:
    static constexpr int32_t kMaxWords = 256;    // 4096 bits
    static constexpr int32_t kInlineWords = 8;   // values up to 128 bits live inside the object

    // --- construction -----------------------------------------------------
    VNum();  // width 0, Unsigned, Truncate, Wrap
    // Low `width` bits of the 32-bit pattern v (pass an unsigned value: 0u).
    VNum(uint32_t pattern, int32_t width, int32_t type, int32_t quant, int32_t ovfl);
    // Smallest width that holds v (minIntWidth).
    VNum(int32_t v, int32_t type, int32_t quant, int32_t ovfl);
    // Text of width characters, most significant first; '0' is 0, anything else 1.
    VNum(const char* bits, int32_t width, int32_t type);
    VNum(const VNum& s);
    VNum(VNum&& s) noexcept;
    // Copy of s converted by resize into the given format.
    VNum(const VNum& s, int32_t width, int32_t type, int32_t quant, int32_t ovfl);
    VNum(double x, int32_t width, int32_t type, int32_t quant, int32_t ovfl);
    VNum(double x, int32_t type, int32_t quant, int32_t ovfl);  // width = minDoubleWidth
    ~VNum() { release(); }

    // Assignment keeps the destination's format and converts under its overflow mode.
    VNum& operator=(const VNum& s);
    VNum& operator=(VNum&& s);

    // --- format and bits ----------------------------------------------------
    int32_t width() const { return width_; }
    int32_t type() const { return type_; }
    int32_t quantMode() const { return quant_; }
    int32_t overflowMode() const { return ovfl_; }
    int32_t wordCount() const { return nwords_; }
    int32_t topBits() const { return topbits_; }
    uint32_t flags() const { return flags_; }
    const uint32_t* words() const { return w_; }
    uint32_t* words() { return w_; }
    bool sameFormat(const VNum& o) const {
        return width_ == o.width_ && type_ == o.type_ && quant_ == o.quant_ && ovfl_ == o.ovfl_;
    }

    bool isNegative() const {
        return type_ == Signed && width_ > 0 && ((w_[nwords_ - 1] >> (topbits_ - 1)) & 1u) != 0;
    }
    int32_t getBit(int32_t i) const;
    void setBit(int32_t i, int32_t b);
    void setExtreme(int32_t s);
    static int32_t minIntWidth(int32_t v, int32_t type);
    static int32_t minDoubleWidth(double x, int32_t type);
    void resize(int32_t w, int32_t t, int32_t q, int32_t o);  // 0 keeps a field
    void retype(int32_t t, int32_t q, int32_t o);

    // --- arithmetic (full precision: the result format holds the exact value) ---
    friend VNum operator+(const VNum& a, const VNum& b);
    friend VNum operator-(const VNum& a, const VNum& b);
    friend VNum operator*(const VNum& a, const VNum& b);
    friend VNum operator/(const VNum& a, const VNum& b);
    friend VNum operator%(const VNum& a, const VNum& b);
    VNum operator-() const;
    friend VNum operator&(const VNum& a, const VNum& b);
    friend VNum operator|(const VNum& a, const VNum& b);
    friend VNum operator^(const VNum& a, const VNum& b);
    VNum operator~() const;

    VNum& operator+=(const VNum& b);
    VNum& operator-=(const VNum& b);
    VNum& operator*=(const VNum& b);
    VNum& operator/=(const VNum& b);
    VNum& operator%=(const VNum& b);

    void increment();
    void decrement();
    void negate();
    void complement();  // invert every bit of the width in place

    static int32_t compare(const VNum& a, const VNum& b);
    friend bool operator==(const VNum& a, const VNum& b) { return compare(a, b) == 0; }
    friend bool operator!=(const VNum& a, const VNum& b) { return compare(a, b) != 0; }
    friend bool operator<(const VNum& a, const VNum& b) { return compare(a, b) < 0; }
    friend bool operator>(const VNum& a, const VNum& b) { return compare(a, b) > 0; }
    friend bool operator<=(const VNum& a, const VNum& b) { return compare(a, b) <= 0; }
    friend bool operator>=(const VNum& a, const VNum& b) { return compare(a, b) >= 0; }

    // Strict family: operands of one agreed format into this value.
    void add(const VNum& p, const VNum& q);
    void sub(const VNum& p, const VNum& q);
    void unsigned_mult(const VNum& p, const VNum& q);
    void bitAnd(const VNum& p, const VNum& q);
    void bitOr(const VNum& p, const VNum& q);
    void bitXor(const VNum& p, const VNum& q);
    void bitNot(const VNum& p);
    int32_t unsigned_comp(const VNum& p) const;

    // --- requantisation blocks ------------------------------------------------
    void alignTo(const VNum& s, int32_t srcPoint, int32_t dstPoint);
    bool roundsAway(const VNum& s, int32_t srcPoint, int32_t dstPoint) const;
    bool roundsEven(const VNum& s, int32_t srcPoint, int32_t dstPoint) const;
    void checkConvert(const VNum& s, int32_t srcPoint, int32_t dstPoint);

    // --- shifts and conversions -------------------------------------------------
    VNum& operator<<=(int32_t n);
    VNum& operator>>=(int32_t n);
    VNum operator<<(int32_t n) const;  // exact: width grows by n
    VNum operator>>(int32_t n) const;
    void assignDouble(double x);
    void assignInt(int32_t v);
    double toDouble() const;
    std::string typeName() const;
    std::string bitString() const;

    // The two shared read-only constants, (16, Signed, Truncate, Wrap).
    static const VNum& zero();
    static const VNum& one();

protected:
    uint32_t topMask() const { return (1u << topbits_) - 1u; }  // the valid bits of the top word
    void allocate(int32_t width);  // sets width, word count, top bits and zeroed words
    void release() {
        if (w_ != inline_) {
            delete[] w_;
            w_ = inline_;
        }
    }

    int32_t width_ = 0;
    int32_t type_ = Unsigned;
    int32_t quant_ = Truncate;
    int32_t ovfl_ = Wrap;
    int32_t nwords_ = 1;
    int32_t topbits_ = 0;
    uint32_t* w_ = inline_;
    uint32_t flags_ = 0;
    uint32_t inline_[kInlineWords];

private:
    // Sets the format and takes storage for its words without clearing them.
    struct Uninit {};
    VNum(Uninit, int32_t width, int32_t type, int32_t quant, int32_t ovfl)
        : type_(type), quant_(quant), ovfl_(ovfl) {
        takeStorage(width < 1 ? 1 : (width - 1) / 16 + 1);
        setWidth(width);
    }
    // Room for n words, previous words not kept.
    void takeStorage(int32_t n) {
        if (n < 1) throw VNumException::BadException();
        if (n > kMaxWords) throw VNumException::tooManyBits();
        if (n <= kInlineWords) {
            release();
        } else if (w_ == inline_ || n > nwords_) {
            uint32_t* p = new uint32_t[n];
            release();
            w_ = p;
        }
        nwords_ = n;
    }
    void setWordCount(int32_t n);      // room for n words, the first min(n, old) words kept
    // Width and top bits; words kept.
    void setWidth(int32_t width) {
        width_ = width;
        topbits_ = width <= 0 ? 0 : (width - 1) % 16 + 1;
    }
    void clearWords() {
        for (int32_t i = 0; i < nwords_; ++i) w_[i] = 0;
    }
    void copyWordsFrom(const VNum& s);  // same word count
    void copyExtended(const VNum& s);   // s sign- or zero-extended, or cut, to this width
    void convertFrom(const VNum& s);    // assignment into this format
    void shiftLeftBy(int64_t n);
    void shiftRightBy(int64_t n);
    void divideBy(const VNum& b, bool wantRemainder);
};
