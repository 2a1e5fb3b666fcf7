// Codes and sample lines of the vfft program at the edges of every width.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include "samples.h"

namespace vfft_cli {
namespace {

CodeFormat fixedFormat(int width, int fractionBits) { return {false, width, fractionBits}; }
const CodeFormat kSingle{true, 32, 0};

bool hasCode(double v, const CodeFormat& f, int64_t& code, std::string& why) { return valueToCode(v, f, code, why); }

// Every fixed-point port the program meets: input widths 8 to 34, outputs up
// to 34 + 16 + 1 bits on the input's step.
TEST(Codes, FixedPointEdgesOfEveryWidth) {
    for (int in = 8; in <= 34; ++in) {
        for (int out : {in, in + 4, in + 17}) {
            const CodeFormat f = fixedFormat(out, in - 1);
            const int64_t lowest = -(int64_t(1) << (out - 1)), highest = (int64_t(1) << (out - 1)) - 1;
            int64_t code = 0;
            std::string why;
            for (int64_t c : {lowest, lowest + 1, int64_t(-1), int64_t(0), int64_t(1), highest}) {
                const double v = codeToValue(c, f);
                ASSERT_EQ(v, std::ldexp(double(c), -(in - 1))) << out << " bits, code " << c;
                ASSERT_TRUE(hasCode(v, f, code, why)) << out << " bits, code " << c << ": " << why;
                ASSERT_EQ(code, c);
            }
            const double step = std::ldexp(1.0, -(in - 1));
            EXPECT_FALSE(hasCode(codeToValue(highest, f) + step, f, code, why)) << out;
            EXPECT_NE(why.find("outside the " + std::to_string(out) + "-bit code range"), std::string::npos) << why;
            EXPECT_FALSE(hasCode(codeToValue(lowest, f) - step, f, code, why)) << out;
            EXPECT_FALSE(hasCode(step / 2, f, code, why)) << out;
            EXPECT_NE(why.find("not a multiple of 2^-" + std::to_string(in - 1)), std::string::npos) << why;
        }
    }
}

TEST(Codes, FixedPointRejectsWhatIsNotANumber) {
    const CodeFormat f = fixedFormat(27, 15);
    int64_t code = 7;
    std::string why;
    for (double v : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300}) {
        EXPECT_FALSE(hasCode(v, f, code, why)) << v;
        EXPECT_EQ(code, 7);
    }
    EXPECT_TRUE(hasCode(-0.0, f, code, why));
    EXPECT_EQ(code, 0);
}

TEST(Codes, SinglePrecisionBitPatterns) {
    struct Case {
        double value;
        uint32_t bits;
    };
    const Case cases[] = {{1.0, 0x3f800000u},          {-2.0, 0xc0000000u},   {-0.0, 0x80000000u},
                          {HUGE_VAL, 0x7f800000u},     {-HUGE_VAL, 0xff800000u}, {FLT_MAX, 0x7f7fffffu},
                          {std::ldexp(1.0, -149), 1u}, {FLT_MIN, 0x00800000u}};
    for (const Case& c : cases) {
        int64_t code = 0;
        std::string why;
        ASSERT_TRUE(hasCode(c.value, kSingle, code, why)) << c.value << ": " << why;
        EXPECT_EQ(uint32_t(code), c.bits) << c.value;
        EXPECT_GE(code, std::numeric_limits<int32_t>::min());
        EXPECT_LE(code, std::numeric_limits<int32_t>::max());
        EXPECT_EQ(codeToValue(code, kSingle), c.value) << c.value;
    }
    int64_t code = 0;
    std::string why;
    ASSERT_TRUE(hasCode(std::nan(""), kSingle, code, why));
    EXPECT_TRUE(std::isnan(codeToValue(code, kSingle)));
    EXPECT_TRUE(std::isnan(codeToValue(0x7fffffff, kSingle)));
}

TEST(Codes, SinglePrecisionRejectsValuesWithoutAnExactSingle) {
    int64_t code = 0;
    std::string why;
    EXPECT_FALSE(hasCode(0.1, kSingle, code, why));
    EXPECT_EQ(why, "is not exactly an IEEE single-precision value");
    EXPECT_FALSE(hasCode(1.0 + std::ldexp(1.0, -24), kSingle, code, why));
    EXPECT_FALSE(hasCode(3.4028235e38, kSingle, code, why));
    EXPECT_EQ(why, "is beyond the IEEE single-precision range");
    EXPECT_FALSE(hasCode(1e39, kSingle, code, why));
    // 24 significant bits below the normal range, as a result can have them.
    EXPECT_FALSE(hasCode(std::ldexp(1.0 + std::ldexp(1.0, -23), -130), kSingle, code, why));
    EXPECT_NE(why.find("below the normal single-precision range"), std::string::npos) << why;
    EXPECT_FALSE(hasCode(std::ldexp(1.0, -150), kSingle, code, why));
}

// The real code fills the upper and the imaginary code the lower W bits of a
// word of ceil(2W/4) digits, up to 2 x 51 bits.
TEST(SampleLines, PackedWords) {
    EXPECT_EQ(formatHexSample(-128, 127, 8), "807f");
    EXPECT_EQ(formatHexSample(-1, 0, 15), "3fff8000");
    EXPECT_EQ(formatHexSample(0, -1, 15), "00007fff");
    EXPECT_EQ(formatHexSample(16384, -8192, 16), "4000e000");
    EXPECT_EQ(formatHexSample(-(int64_t(1) << 33), 0, 41), "3fc000000000000000000");
    EXPECT_EQ(formatHexSample(-(int64_t(1) << 50), (int64_t(1) << 50) - 1, 51), "20000000000003ffffffffffff");
    EXPECT_EQ(formatHexSample(-1, -1, 51), "3fffffffffffffffffffffffff");
    EXPECT_EQ(formatHexSample(int64_t(int32_t(0xbf800000u)), 0x7f800000, 32), "bf8000007f800000");
}

TEST(SampleLines, ValuesAndCodes) {
    EXPECT_EQ(formatFloatSample(0.5, -0.25), "0.5 -0.25");
    EXPECT_EQ(formatFloatSample(std::ldexp(1.0, -15), 0.0), "3.0517578125e-05 0");
    EXPECT_EQ(formatFloatSample(std::nan(""), -HUGE_VAL), "nan -inf");
    EXPECT_EQ(formatIntSample(-(int64_t(1) << 50), 12), "-1125899906842624 12");
    // The shortest text reads back as the same double.
    std::mt19937_64 random(5);
    for (int i = 0; i < 2000; ++i) {
        const double v = std::ldexp(double(int64_t(random() >> 11)) - std::ldexp(1.0, 52), int(random() % 200) - 150);
        const std::string text = formatValue(v);
        ASSERT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    }
}

}  // namespace
}  // namespace vfft_cli
