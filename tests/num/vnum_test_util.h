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

// The value as read by its type; widths up to 127.
inline i128 val(const VNum& x) {
    unsigned __int128 u = 0;
    for (int32_t i = x.width() - 1; i >= 0; --i) u = (u << 1) | static_cast<unsigned>(x.getBit(i));
    if (x.type() == Signed && x.width() > 0 && x.getBit(x.width() - 1) != 0)
        u -= static_cast<unsigned __int128>(1) << x.width();
    return static_cast<i128>(u);
}

inline std::string dec(i128 v) {
    if (v == 0) return "0";
    const bool neg = v < 0;
    unsigned __int128 u = neg ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
    std::string s;
    while (u != 0) {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(u % 10)));
        u /= 10;
    }
    return neg ? "-" + s : s;
}

// Value and format of a result.
#define EXPECT_NUM(x, value, w, t)                     \
    do {                                               \
        const VNum& x_ = (x);                          \
        EXPECT_EQ(dec(val(x_)), dec(i128(value)));     \
        EXPECT_EQ(x_.width(), (w));                    \
        EXPECT_EQ(x_.type(), (t));                     \
    } while (0)

// Runs f and returns the message of the VNumException::Overflow it raises ("" for none).
template <class F>
std::string overflowText(F f, int32_t* value = nullptr) {
    try {
        f();
    } catch (const VNumException::Overflow& e) {
        if (value != nullptr) *value = e.value;
        return e.message;
    }
    return "";
}

template <class F>
std::string illegalText(F f, int32_t* value = nullptr) {
    try {
        f();
    } catch (const VNumException::IllegalIntArg& e) {
        if (value != nullptr) *value = e.value;
        return e.message;
    }
    return "";
}
