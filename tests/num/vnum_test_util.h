// Helpers for the VNum tests: values are built and read bit by bit through
// setBit/getBit, so the checks do not depend on the word arithmetic under test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "num/VNum.h"

using i128 = __int128;

// A value of the given format holding the low `width` bits of v (v sign-extended past bit 63).
inline VNum num(int64_t v, int32_t width, int32_t type, int32_t q = Truncate, int32_t o = Wrap) {
    VNum r(0u, width, type, q, o);
    for (int32_t i = 0; i < width; ++i) r.setBit(i, static_cast<int32_t>((v >> std::min(i, 63)) & 1));
    return r;
}

// The value as read by its type, widths up to 127; checks that no word holds bits above its digit or the width.
inline i128 val(const VNum& x) {
    for (int32_t i = 0; i < x.wordCount(); ++i)
        EXPECT_EQ(x.words()[i] >> (i == x.wordCount() - 1 ? x.topBits() : 16), 0u) << "word " << i;
    unsigned __int128 u = 0;
    for (int32_t i = x.width() - 1; i >= 0; --i) u = (u << 1) | static_cast<unsigned>(x.getBit(i));
    const bool negative = x.type() == Signed && x.width() > 0 && x.getBit(x.width() - 1) != 0;
    if (negative) u -= static_cast<unsigned __int128>(1) << x.width();
    return static_cast<i128>(u);
}

// Decimal text of v: the test framework cannot print 128-bit integers.
inline std::string dec(i128 v) {
    unsigned __int128 u = v < 0 ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
    std::string s;
    do s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(u % 10))); while ((u /= 10) != 0);
    return v < 0 ? "-" + s : s;
}

#define EXPECT_VAL(x, value) EXPECT_EQ(dec(val(x)), dec(i128(value)))
// Value, width and type of a result, as text: "-5 8s".
inline std::string numText(const VNum& x) {
    return dec(val(x)) + " " + std::to_string(x.width()) + (x.type() == Signed ? "s" : "u");
}
#define EXPECT_NUM(x, value, w, t) \
    EXPECT_EQ(numText(x), dec(i128(value)) + " " + std::to_string(w) + ((t) == Signed ? "s" : "u"))

// Runs f and returns the message (and value) of the exception E it raises; "" for none.
template <class E = VNumException::Overflow, class F>
std::string thrown(F f, int32_t* value = nullptr) {
    try {
        f();
    } catch (const E& e) {
        if (value != nullptr) *value = e.value;
        return e.message;
    }
    return "";
}
