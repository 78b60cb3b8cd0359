// The stored value and the state file that holds it.

#include "state/service_state.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string kFolder = "C:\\Users\\user\\AppData\\Roaming\\KESL";
const std::string kWrite = "write " + kFolder + "\\info.ini [Settings] Service=";

TEST(ServiceValue, HidesTheDigitAmongTheTimesHexDigits) {
    struct Case {
        ServiceState state;
        std::int64_t time;
        const char* value;
    };
    const Case cases[] = {
        {kServiceRunning, 1700000000, "06553f0005"},
        {kServiceStopped, 1700000000, "06553f1005"},
        {kServiceRunning, 0xABCDEF12, "0abcde012c"},           // lowercase; position 3 again at 9
        {kServiceStopped, 0x712345678, "0123451783"},          // only the low 32 bits
    };
    for (const Case& c : cases) {
        ServiceValue value;
        EncodeServiceValue(c.state, c.time, value);
        EXPECT_STREQ(value, c.value);
        EXPECT_EQ(DecodeServiceValue(value), c.state) << c.value;
    }
    // Only position 6 counts; a value too short to hold it is Stopped.
    const std::pair<const char*, ServiceState> decoded[] = {
        {"7777770777", 0}, {"0000007000", 7}, {"01234507890", 0}, {"0123450", 0}, {"012345", 1}, {"", 1}};
    for (const auto& [value, state] : decoded) EXPECT_EQ(DecodeServiceValue(value), state) << value;
}

class StateFileTest : public FakeWorldTest {};

TEST_F(StateFileTest, ReadsTheDigitOrSaysWhyNot) {
    struct Case {
        const char* name;
        void (*arrange)();
        ResultCode result;
        ServiceState state;  // 42: left untouched
    };
    const Case cases[] = {
        {"stopped", [] { Fake().files[StateFilePath()] = "[Settings]\r\nService=06553f1005\r\n"; }, RESULT_OK, 1},
        {"no key: the default", [] { Fake().files[StateFilePath()] = "[Settings]\r\n"; }, RESULT_OK, 0},
        {"no file", [] {}, RESULT_NO_FILE_STATUS, 42},
        {"empty file", [] { Fake().files[StateFilePath()] = ""; }, RESULT_FILE_EMPTY, 42},
        {"no folder", [] { Fake().appDataResult = kSFalse; }, RESULT_FOLDER_LOOKUP_FAILED, 42},
        {"too long a path", [] { Fake().appDataPath = "C:\\" + std::string(1010, 'a'); }, RESULT_FOLDER_LOOKUP_FAILED,
         42},
    };
    for (const Case& c : cases) {
        SetUp();
        c.arrange();
        ServiceState state = 42;
        EXPECT_EQ(ReadServiceState(&state), c.result) << c.name;
        EXPECT_EQ(state, c.state) << c.name;
    }
}

TEST_F(StateFileTest, WritesTheValueMakingWayForItsFolder) {
    struct Case {
        const char* name;
        void (*arrange)();
        ResultCode result;
        std::vector<std::string> journal;
    };
    const Case cases[] = {
        {"folder present", [] { Fake().folders[kFolder] = true; }, RESULT_OK, {kWrite + "06553f1005"}},
        {"no folder", [] {}, RESULT_OK, {"create folder " + kFolder, kWrite + "06553f1005"}},
        {"a plain file in the folder's place", [] { Fake().files[kFolder] = "x"; }, RESULT_OK,
         {"remove " + kFolder, "create folder " + kFolder, kWrite + "06553f1005"}},
        {"no folder lookup", [] { Fake().appDataResult = kSFalse; }, RESULT_FOLDER_LOOKUP_FAILED, {}},
        // A cut path would name another file, which the write could replace or remove.
        {"too long a path", [] { Fake().appDataPath = "C:\\" + std::string(1010, 'a'); }, RESULT_FOLDER_LOOKUP_FAILED,
         {}},
    };
    for (const Case& c : cases) {
        SetUp();
        c.arrange();
        EXPECT_EQ(WriteServiceState(kServiceStopped), c.result) << c.name;
        EXPECT_EQ(Fake().journal, c.journal) << c.name;
    }
    EXPECT_EQ(StoredValue(), "");
    Fake().appDataPath = "C:\\" + std::string(1023 - 3 - 14, 'a');  // just fits, "\KESL\info.ini" and all
    Fake().folders[Fake().appDataPath] = true;
    WriteServiceState(kServiceRunning);
    EXPECT_EQ(StoredValue(), "06553f0005");
}

}  // namespace
