#include <string>

#include "state/service_state.h"
#include "tests/fake/fake_world_test.h"

namespace {

constexpr ServiceState kUntouched = 42;  // a value no read ever produces

class ServiceStateFile : public FakeWorldTest {};

TEST_F(ServiceStateFile, ReadReportsEachFailureAndLeavesTheStateUntouched) {
    struct Case {
        const char* name;
        void (*arrange)();
        ResultCode expected;
    };
    const Case cases[] = {
        {"folder lookup fails", [] { Fake().appDataResult = static_cast<HResult>(0x80004005); },
         RESULT_FOLDER_LOOKUP_FAILED},
        {"folder lookup says S_FALSE", [] {
             Fake().appDataResult = kSFalse;
             PutFolder(StateFolderPath());
             PutFile(StateFilePath(), "[Settings]\r\nService=0000000000\r\n");
         },
         RESULT_FOLDER_LOOKUP_FAILED},
        {"no file", [] {}, RESULT_NO_FILE_STATUS},
        {"empty file", [] {
             PutFolder(StateFolderPath());
             PutFile(StateFilePath(), "");
         },
         RESULT_FILE_EMPTY},
    };
    for (const Case& c : cases) {
        ResetFakeWorld();
        c.arrange();
        ServiceState state = kUntouched;
        EXPECT_EQ(ReadServiceState(&state), c.expected) << c.name;
        EXPECT_EQ(state, kUntouched) << c.name;
    }
}

TEST_F(ServiceStateFile, ReadDecodesTheStoredValueOrTheDefault) {
    struct Case {
        const char* content;
        ServiceState expected;
    };
    const Case cases[] = {
        {"[Settings]\r\nService=06553f0005\r\n", kServiceRunning},
        {"[Settings]\r\nService=06553f1005\r\n", kServiceStopped},
        {"[Settings]\r\nService=06553f7005\r\n", 7},
        {"[Other]\r\nService=06553f1005\r\n", kServiceRunning},    // section missing: the default
        {"[Settings]\r\nElse=06553f1005\r\n", kServiceRunning},    // key missing: the default
        {"just text\r\n", kServiceRunning},
        {"[Settings]\r\nService=01\r\n", kServiceStopped},         // too short for the digit
        {"[Settings]\r\nService=\r\n", kServiceStopped},
    };
    for (const Case& c : cases) {
        ResetFakeWorld();
        PutFolder(StateFolderPath());
        PutFile(StateFilePath(), c.content);
        ServiceState state = kUntouched;
        EXPECT_EQ(ReadServiceState(&state), RESULT_OK) << c.content;
        EXPECT_EQ(state, c.expected) << c.content;
    }
}

TEST_F(ServiceStateFile, WriteCreatesTheFolderAndAFileHoldingOnlyTheKey) {
    Fake().now = 1700000000;
    EXPECT_EQ(WriteServiceState(kServiceStopped), RESULT_OK);
    ASSERT_TRUE(FindFile(StateFolderPath()) && FindFile(StateFolderPath())->isDirectory);
    ASSERT_TRUE(HasFile(StateFilePath()));
    EXPECT_EQ(FindFile(StateFilePath())->content, "[Settings]\r\nService=06553f1005\r\n");

    Fake().now = 1700000001;
    EXPECT_EQ(WriteServiceState(kServiceRunning), RESULT_OK);
    EXPECT_EQ(StoredServiceValue(), "06553f0015");

    ServiceState state = kUntouched;
    EXPECT_EQ(ReadServiceState(&state), RESULT_OK);
    EXPECT_EQ(state, kServiceRunning);
}

TEST_F(ServiceStateFile, WriteReplacesAPlainFileStandingWhereTheFolderBelongs) {
    PutFile(StateFolderPath(), "not a folder");
    EXPECT_EQ(WriteServiceState(kServiceStopped), RESULT_OK);
    ASSERT_NE(FindFile(StateFolderPath()), nullptr);
    EXPECT_TRUE(FindFile(StateFolderPath())->isDirectory);
    EXPECT_EQ(StoredServiceValue(), "06553f1005");
}

TEST_F(ServiceStateFile, WriteWithoutTheFolderLookupTouchesNothing) {
    for (HResult result : {kSFalse, static_cast<HResult>(0x80070005)}) {
        ResetFakeWorld();
        Fake().appDataResult = result;
        EXPECT_EQ(WriteServiceState(kServiceStopped), RESULT_FOLDER_LOOKUP_FAILED);
        EXPECT_TRUE(Fake().journal.empty());
    }
}

TEST_F(ServiceStateFile, WriteThatCannotCreateTheFolderFailsSilently) {
    Fake().files.clear();  // the application-data folder itself is missing
    EXPECT_EQ(WriteServiceState(kServiceStopped), RESULT_OK);
    EXPECT_FALSE(HasFile(StateFilePath()));
}

TEST_F(ServiceStateFile, APathTooLongForTheBufferIsNeverCutOrTouched) {
    // Lengths around the point where "\KESL" or "\info.ini" would stop fitting.
    for (std::size_t length : {kPathBufferSize - 14, kPathBufferSize - 6, kPathBufferSize - 5, kPathBufferSize - 1,
                               kPathBufferSize + 50}) {
        ResetFakeWorld();
        Fake().appDataPath = "C:\\" + std::string(length - 3, 'a');
        PutFolder(Fake().appDataPath.substr(0, kPathBufferSize - 1));
        PutFile((Fake().appDataPath + "\\KESL").substr(0, kPathBufferSize - 1), "a file a cut path would name");

        ServiceState state = kUntouched;
        EXPECT_EQ(ReadServiceState(&state), RESULT_FOLDER_LOOKUP_FAILED) << length;
        EXPECT_EQ(state, kUntouched);
        EXPECT_EQ(WriteServiceState(kServiceStopped), RESULT_FOLDER_LOOKUP_FAILED) << length;
        EXPECT_TRUE(Fake().journal.empty()) << length;
    }
}

TEST_F(ServiceStateFile, APathThatJustFitsIsUsed) {
    // 1023 characters in all, "\KESL\info.ini" included.
    Fake().appDataPath = "C:\\" + std::string(kPathBufferSize - 1 - 14 - 3, 'a');
    PutFolder(Fake().appDataPath);
    EXPECT_EQ(WriteServiceState(kServiceRunning), RESULT_OK);
    EXPECT_EQ(StoredServiceValue(), "06553f0005");
}

}  // namespace
