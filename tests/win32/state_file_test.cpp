// The state file through the real profile functions.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "state/service_state.h"
#include "tests/win32/win32_test_support.h"

namespace {

class StateFileOnWindows : public ::testing::Test {
protected:
    void SetUp() override { RemoveStateFile(); }
    void TearDown() override { RemoveStateFile(); }
};

TEST_F(StateFileOnWindows, WritesAPlainIniFileThatReadsBack) {
    ServiceState state = 42;
    EXPECT_EQ(ReadServiceState(&state), RESULT_NO_FILE_STATUS);
    EXPECT_EQ(state, 42);

    for (ServiceState written : {kServiceStopped, kServiceRunning, kServiceStopped}) {
        ASSERT_EQ(WriteServiceState(written), RESULT_OK);
        ASSERT_EQ(ReadServiceState(&state), RESULT_OK);
        EXPECT_EQ(state, written);

        // Read on its own terms: one section, one key, a ten-character value.
        const std::string text = ReadWholeFile(StateFilePathA());
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, std::regex("\\[Settings\\]\r\nService=([0-9a-f]{10})\r\n")))
            << text;
        const std::string value = match[1];
        EXPECT_EQ(value[6], static_cast<char>('0' + written));
        EXPECT_EQ(value[9], value[3]);
        EXPECT_EQ(value[0], '0');
    }
}

TEST_F(StateFileOnWindows, ReplacesAPlainFileNamedKesl) {
    RemoveDirectoryA(StateFolderPathA().c_str());
    {
        std::ofstream out(StateFolderPathA(), std::ios::binary);
        out << "in the way";
    }
    ASSERT_EQ(WriteServiceState(kServiceStopped), RESULT_OK);
    const DWORD attributes = GetFileAttributesA(StateFolderPathA().c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    ServiceState state = 42;
    EXPECT_EQ(ReadServiceState(&state), RESULT_OK);
    EXPECT_EQ(state, kServiceStopped);
}

}  // namespace
