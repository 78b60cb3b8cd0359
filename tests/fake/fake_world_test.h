#pragma once

#include <gtest/gtest.h>

#include "tests/fake/fake_platform.h"

// Every test starts from a fresh fake world and must leave no handle open.
class FakeWorldTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeWorld(); }
    void TearDown() override {
        EXPECT_EQ(Fake().openHandles, 0) << "a handle was left open";
        for (const auto& line : Fake().journal) EXPECT_NE(line, "close of an unknown handle");
    }
};
