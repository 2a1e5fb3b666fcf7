// VFix: a VNum payload with a binary point. The value is payload * 2^-binaryPoint.
// Assignment requantises the source into this value's own format (width,
// binary point, type, quantisation mode, overflow mode), which is set once.
#pragma once

#include <initializer_list>
#include <iosfwd>
#include <string>

#include "num/VNum.h"

class VFix : public VNum {
public:
    static constexpr int kPoolSlots = 8;

    // --- construction -------------------------------------------------------
    VFix();  // (0, 0, Unsigned, Truncate, Wrap), value 0
    // Integer v with a full format (v shifted left by b within the width).
    VFix(int32_t v, int32_t width, int32_t b, int32_t type, int32_t quant, int32_t ovfl);
    // Integer v with automatic width: b + minIntWidth(v, type).
    VFix(int32_t v, int32_t b, int32_t type, int32_t quant, int32_t ovfl);
    explicit VFix(bool b);  // a constant Bool
    VFix(const VFix& s);    // the scratch pool is not copied
    VFix(double x, int32_t width, int32_t b, int32_t type, int32_t quant, int32_t ovfl);
    VFix(double x, int32_t b, int32_t type, int32_t quant, int32_t ovfl);
    explicit VFix(double x);
    explicit VFix(const VNum& n);
    VFix(const char* bits, int32_t b, int32_t type);
    VFix(std::initializer_list<int32_t> format);  // (width, b, type, quant, ovfl)
    static VFix castCopy(const VFix& s, int32_t width, int32_t b, int32_t type, int32_t quant,
                         int32_t ovfl);
    ~VFix();

    // --- format ---------------------------------------------------------------
    void setFormat(int32_t width, int32_t b, int32_t type, int32_t quant, int32_t ovfl);
    void setFormatFrom(const VFix& f);
    void makeBool();
    bool valid() const { return isNumber && isKnown; }

    // --- assignment (requantising) --------------------------------------------
    VFix& operator=(const VFix& s);
    VFix& operator=(double x);
    VFix& operator=(int32_t v);
    VFix& operator=(bool b);
    void setNaN();

    double toDouble() const;  // NaN when not valid
    double getDbl() const { return shadow; }

    // --- arithmetic (full precision) -------------------------------------------
    friend VFix operator+(const VFix& a, const VFix& b);
    friend VFix operator-(const VFix& a, const VFix& b);
    friend VFix operator*(const VFix& a, const VFix& b);
    VFix operator-() const;
    VFix operator>>(int32_t n) const;  // exact a * 2^-n (width and point grow by n)
    VFix operator<<(int32_t n) const;  // exact a * 2^n (width grows by n)

    VFix& operator+=(const VFix& b);
    VFix& operator-=(const VFix& b);
    VFix& operator*=(const VFix& b);
    VFix& operator/=(const VFix& b);
    VFix& operator%=(const VFix& b);
    VFix& operator>>=(int32_t n);  // within the width, rounded by the quantisation mode
    VFix& operator<<=(int32_t n);  // within the width, overflow by the overflow mode
    void shiftPoint(int32_t n);    // value / 2^n exactly, payload untouched

    // Comparisons: false whenever an operand is not valid.
    friend bool operator==(const VFix& a, const VFix& b);
    friend bool operator!=(const VFix& a, const VFix& b);
    friend bool operator<(const VFix& a, const VFix& b);
    friend bool operator>(const VFix& a, const VFix& b);
    friend bool operator<=(const VFix& a, const VFix& b);
    friend bool operator>=(const VFix& a, const VFix& b);

    // Three-operand family: t = op(a, b), computed in t's scratch pool.
    static void addInto(VFix& t, const VFix& a, const VFix& b);
    static void subInto(VFix& t, const VFix& a, const VFix& b);
    static void negInto(VFix& t, const VFix& a);
    static void multInto(VFix& t, const VFix& a, const VFix& b);
    static void shiftLeftInto(VFix& t, const VFix& a, int32_t n);
    static void shiftRightInto(VFix& t, const VFix& a, int32_t n);
    static void andInto(VFix& t, const VFix& a, const VFix& b);
    static void nandInto(VFix& t, const VFix& a, const VFix& b);
    static void orInto(VFix& t, const VFix& a, const VFix& b);
    static void norInto(VFix& t, const VFix& a, const VFix& b);
    static void xorInto(VFix& t, const VFix& a, const VFix& b);
    static void xnorInto(VFix& t, const VFix& a, const VFix& b);
    static void notInto(VFix& t, const VFix& a);
    friend VFix operator&(const VFix& a, const VFix& b);
    friend VFix operator|(const VFix& a, const VFix& b);
    friend VFix operator^(const VFix& a, const VFix& b);
    VFix operator~() const;
    static bool equals(VFix& a, const VFix& b);
    static int32_t compareWith(VFix& a, const VFix& b);
    static void compareByCode(VFix& t, VFix& a, const VFix& b, int32_t code);

    // --- text -------------------------------------------------------------------
    std::string typeName() const;
    std::string bitString() const;
    std::string toString(int32_t base, int32_t fractionDigits) const;
    friend std::ostream& operator<<(std::ostream& os, const VFix& v);

    // --- scratch pool -------------------------------------------------------------
    void init_temp_pool();
    VFix& tempSlot(int32_t k, int32_t width, int32_t b, int32_t type, int32_t quant, int32_t ovfl);
    void freeTempPool();

    int32_t binaryPoint = 0;
    double shadow = 0.0;
    int32_t isNumber = 1;
    int32_t auxValid = 1;
    int32_t isKnown = 1;
    int32_t isConstant = 0;
    int32_t isBool = 0;
    int32_t reserved = 0;
    VFix* tempPool[kPoolSlots];

private:
    friend class FixComplex;
    struct Format {
        int32_t width;
        int32_t point;
        int32_t type;
    };
    struct RawTag {};
    struct SumTag {};
    struct ProductTag {};
    enum class Combine { Add, Sub, Rem };
    enum class BitOp { And, Or, Xor, Not };

    // Zero payload in (width, point, type, Truncate, Wrap), status true, not constant.
    VFix(RawTag, Format f);
    // The exact a + b (or a - b) in its full-precision format.
    VFix(SumTag, const VFix& a, const VFix& b, bool subtract);
    // The exact a * b; only for operands accepted by productIsExact.
    VFix(ProductTag, const VFix& a, const VFix& b);

    static Format sumFormat(const VFix& a, const VFix& b, bool subtract);
    static Format productFormat(const VFix& a, const VFix& b);
    static bool productIsExact(const VFix& a, const VFix& b, int32_t resultWidth);
    static void crossMultiply(VFix& re, VFix& im, const VFix& ar, const VFix& ai, const VFix& br,
                              const VFix& bi);
    static int32_t compareValues(const VFix& a, const VFix& b);
    static void bitwise(VFix& x, VFix& y, VFix& r, const VFix& a, const VFix& b, BitOp op, bool invert);
    static void bitwiseInto(VFix& t, const VFix& a, const VFix& b, BitOp op, bool invert);
    static VFix bitwiseValue(const VFix& a, const VFix& b, BitOp op);
    static uint32_t combineBools(const VFix& a, const VFix& b, BitOp op);
    static void sumInto(VFix& t, const VFix& a, const VFix& b, bool subtract);
    static void shiftInto(VFix& t, const VFix& a, int32_t n, bool right);

    void addShifted(const VNum& x, int64_t xs, const VNum& y, int64_t ys, bool subtract);
    void combineAligned(const VFix& b, Combine op);
    void divideBy(const VFix& b);
    bool roundsUpFrom(const VFix& s) const;
    void requantiseNarrow(const VFix& s);
    // The payload of at most 63 bits becomes pattern.
    void storeNarrow(uint64_t pattern) {
        for (int32_t i = 0; i < nwords_; ++i) w_[i] = static_cast<uint32_t>(pattern >> (16 * i)) & 0xFFFFu;
    }
    bool holdsLargestPattern() const;
    void takeStatus(const VFix& s) {
        isNumber = s.isNumber;
        auxValid = s.auxValid;
        isKnown = s.isKnown;
        shadow = s.shadow;
    }
    void andStatus(const VFix& b) {
        isNumber = isNumber && b.isNumber;
        auxValid = auxValid && b.auxValid;
        isKnown = isKnown && b.isKnown;
    }
};
