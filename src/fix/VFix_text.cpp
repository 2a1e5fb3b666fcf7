// VFix: type names, bit strings and numbers in text.
#include "fix/VFix.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <vector>

#include "num/digits.h"

using namespace digits;

namespace {

// --- unsigned integers for the text conversion (16-bit digits, least significant first)

using BigDigits = std::vector<uint32_t>;

bool isZero(const BigDigits& v) {
    return std::all_of(v.begin(), v.end(), [](uint32_t d) { return d == 0; });
}

// v = floor(v / m); returns v mod m.
uint32_t divideSmall(BigDigits& v, uint32_t m) {
    uint32_t rem = 0;
    for (size_t i = v.size(); i-- > 0;) {
        const uint32_t cur = (rem << 16) | v[i];
        v[i] = cur / m;
        rem = cur % m;
    }
    return rem;
}

void multiplySmall(BigDigits& v, uint32_t m) {
    uint32_t carry = 0;
    for (uint32_t& d : v) {
        const uint32_t t = d * m + carry;
        d = t & kDigitMask;
        carry = t >> 16;
    }
    if (carry != 0) v.push_back(carry);
}

uint32_t bitOf(const BigDigits& v, int64_t i) {
    const size_t w = static_cast<size_t>(i / 16);
    return w < v.size() ? (v[w] >> (i % 16)) & 1u : 0u;
}

// Bits lo..hi-1 of v as a new number.
BigDigits bitRange(const BigDigits& v, int64_t lo, int64_t hi) {
    BigDigits r(static_cast<size_t>(wordsFor(hi - lo)), 0u);
    for (int64_t i = lo; i < hi; ++i)
        if (bitOf(v, i) != 0) r[static_cast<size_t>((i - lo) / 16)] |= 1u << ((i - lo) % 16);
    return r;
}

}  // namespace

std::string VFix::typeName() const {
    if (isBool && width_ == 1 && binaryPoint == 0 && type_ == Unsigned) return "Bool";
    return std::string(type_ == Signed ? "Fix_" : "UFix_") + std::to_string(width_) + "_" +
           std::to_string(binaryPoint) + (isConstant ? "" : "v");
}

std::string VFix::bitString() const {
    std::string s = valid() ? VNum::bitString() : std::string(static_cast<size_t>(std::max(width_, 0)), 'X');
    const int64_t at = std::clamp<int64_t>(static_cast<int64_t>(width_) - binaryPoint, 0,
                                           static_cast<int64_t>(s.size()));
    s.insert(static_cast<size_t>(at), 1, '.');
    return s;
}

std::ostream& operator<<(std::ostream& os, const VFix& v) {
    if (v.type() == Unsigned) os << "Unsigned ";
    return os << "VFix[" << v.width() << "," << v.binaryPoint << "] '" << v.bitString() << "'";
}

// Digits are written from the most significant position down. Integer digits
// are exact; fraction digits stop when the remainder is 0, below the last
// requested fraction digit, or where a digit's weight falls below the working
// precision of the binary point plus 3k bits (k bits per digit of the base).
std::string VFix::toString(int32_t base, int32_t fractionDigits) const {
    if (!isNumber) return "NaN";
    if (!isKnown) return "*X*";
    base = std::clamp(base, 2, 32);
    const double bitsPerDigit = std::log2(static_cast<double>(base));
    const bool automatic = fractionDigits == -1;
    if (automatic) fractionDigits = std::max(0, static_cast<int32_t>(std::ceil(binaryPoint / bitsPerDigit)));
    const int32_t k = static_cast<int32_t>(std::ceil(bitsPerDigit));
    const int64_t workingBits = static_cast<int64_t>(binaryPoint) + 3 * k;

    std::string out;
    const bool neg = isNegative();
    if (type_ == Signed) out += neg ? '-' : ' ';

    // The magnitude, with one extra word so that the most negative value fits.
    BigDigits mag(static_cast<size_t>(nwords_) + 1);
    loadDigits(*this, mag.data(), nwords_ + 1);
    if (neg) negateDigits(mag.data(), nwords_ + 1);
    if (binaryPoint < 0) {  // scale to an integer: times 2^-binaryPoint
        const int64_t up = -static_cast<int64_t>(binaryPoint);
        mag.insert(mag.begin(), static_cast<size_t>(up / 16), 0u);
        multiplySmall(mag, 1u << (up % 16));
    }
    const int64_t fracBits = std::max<int64_t>(binaryPoint, 0);
    const int64_t totalBits = 16 * static_cast<int64_t>(mag.size());
    BigDigits whole = bitRange(mag, fracBits, std::max(totalBits, fracBits));
    BigDigits frac = bitRange(mag, 0, fracBits);

    std::string intDigits;
    static const char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
    do {
        intDigits += kAlphabet[divideSmall(whole, static_cast<uint32_t>(base))];
    } while (!isZero(whole));
    out.append(intDigits.rbegin(), intDigits.rend());

    int32_t written = 0;  // fraction digits written
    while (!isZero(frac) && written < fractionDigits &&
           static_cast<double>(written + 1) * bitsPerDigit <= static_cast<double>(workingBits)) {
        if (written == 0) out += '.';
        multiplySmall(frac, static_cast<uint32_t>(base));
        uint32_t d = 0;
        for (int64_t i = fracBits + 4; i >= fracBits; --i) d = (d << 1) | bitOf(frac, i);
        frac = bitRange(frac, 0, fracBits);
        out += kAlphabet[d];
        ++written;
    }
    if (!automatic) {
        if (written == 0 && fractionDigits > 0) out += '.';
        out.append(static_cast<size_t>(std::max(0, fractionDigits - written)), '0');
    }
    if (base != 10) out += "<base" + std::to_string(base) + ">";
    return out;
}
