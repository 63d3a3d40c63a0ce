// Starts one embedded interpreter for the whole test program, for tests of the binding layer.
#pragma once

#include "binding/python.hpp"

#include <gtest/gtest.h>

namespace dallowgate::testing {

class EmbeddedPython : public ::testing::Environment {
public:
    void SetUp() override {
        if (!Py_IsInitialized()) Py_InitializeEx(0);
    }
};

inline ::testing::Environment* const embedded_python =
    ::testing::AddGlobalTestEnvironment(new EmbeddedPython);

}  // namespace dallowgate::testing
