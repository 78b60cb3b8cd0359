#pragma once
// The base of every test that runs the real monitor: no agent, no state file and no tray icon
// before it, and none of them left behind after it.

#include <gtest/gtest.h>

#include "tests/e2e/desktop.h"

class CleanDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        EndAllAgents();
        RemoveStateFile();
        ASSERT_TRUE(WaitForTraySlot(0, SlotLook::Empty)) << "a tray icon is left from before";
    }
    void TearDown() override {
        EndAllAgents();
        RemoveStateFile();
    }
};
