#include <gtest/gtest.h>

#include <string>

#include "state/service_state.h"

namespace {

std::string Encode(ServiceState state, std::int64_t time) {
    ServiceValue value;
    EncodeServiceValue(state, time, value);
    return value;
}

TEST(ServiceValue, EncodesTheWorkedExample) {
    EXPECT_EQ(Encode(kServiceRunning, 1700000000), "06553f0005");
    EXPECT_EQ(Encode(kServiceStopped, 1700000000), "06553f1005");
}

TEST(ServiceValue, EncodesTenCharactersWithTheDigitAtSixAndPositionThreeRepeatedAtNine) {
    struct Case {
        std::int64_t time;
        const char* running;
    };
    const Case cases[] = {
        {0, "0000000000"},                 // zero-filled
        {0xabc, "0000000bc0"},             // short values are zero-filled on the left
        {0x12345678, "0123450783"},        // position 0 is '0' for any 32-bit time
        {0xffffffff, "0fffff0fff"},        // the largest 32-bit time
        {0x1ffffffffLL, "0fffff0fff"},     // above 2^32 only the low 32 bits count
        {0x100abcdefLL, "000abc0efa"},     // lowercase hex
    };
    for (const Case& c : cases) {
        const std::string running = Encode(kServiceRunning, c.time);
        const std::string stopped = Encode(kServiceStopped, c.time);
        EXPECT_EQ(running, c.running) << "time " << c.time;
        ASSERT_EQ(running.size(), 10u);
        EXPECT_EQ(running[6], '0');
        EXPECT_EQ(stopped[6], '1');
        EXPECT_EQ(running[9], running[3]);
        EXPECT_EQ(running.substr(0, 6), stopped.substr(0, 6));
        EXPECT_EQ(running.substr(7), stopped.substr(7));
    }
}

TEST(ServiceValue, DecodesOnlyAZeroAtPositionSixAsRunning) {
    for (int c = 1; c < 256; ++c) {
        std::string value = "012345?789";
        value[6] = static_cast<char>(c);
        const ServiceState state = DecodeServiceValue(value.c_str());
        if (c == '0') {
            EXPECT_EQ(state, kServiceRunning);
        } else {
            EXPECT_NE(state, kServiceRunning) << "character " << c;
        }
    }
    EXPECT_EQ(DecodeServiceValue("0000001000"), '1' - '0');
    EXPECT_EQ(DecodeServiceValue("0000009000"), 9);
}

TEST(ServiceValue, DecodesTheDefaultAndValuesOfAnyLength) {
    EXPECT_EQ(DecodeServiceValue(kStateDefaultValue), kServiceRunning);
    EXPECT_EQ(DecodeServiceValue("0123450"), kServiceRunning);  // seven characters reach the digit
    EXPECT_EQ(DecodeServiceValue("0123451"), kServiceStopped);
    EXPECT_EQ(DecodeServiceValue("0123450789abcdef0123456789abcde"), kServiceRunning);
}

TEST(ServiceValue, DecodesValuesTooShortToHoldTheDigitAsStopped) {
    for (const char* value : {"", "0", "000000", "012345"}) {
        EXPECT_EQ(DecodeServiceValue(value), kServiceStopped) << '"' << value << '"';
    }
}

}  // namespace
