// A host process as the e2e tests set it up: its own apartment on the main
// thread (which the DLL must leave alone) and the stand-in audio service
// registered there, fresh for each test.
#pragma once

#include <gtest/gtest.h>

#include "fake_audio.h"
#include "stand_in_factory.h"

class StandInHostTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    registration_ = new fake::StandInRegistration;
    ASSERT_EQ(registration_->status(), S_OK);
    fake::audio().reset();
  }
  void TearDown() override {
    delete registration_;
    CoUninitialize();
  }

private:
  fake::StandInRegistration *registration_ = nullptr;
};
