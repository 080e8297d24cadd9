// Names of the cases of parameterized tests.
#pragma once

#include <cctype>
#include <string>

#include <gtest/gtest.h>

namespace qvtest {

// A case's `name` field as a test name: what a test name may not hold becomes '_'.
template <class Case>
std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

}  // namespace qvtest
