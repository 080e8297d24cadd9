// Helpers shared by the document interface tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "qvxml.h"
#include "test_data.h"

namespace qvtest {

// Owns a handle for the length of a test.
struct Handle {
    QvHandle h = nullptr;
    explicit Handle(QvHandle handle = nullptr) : h(handle) {}
    ~Handle() { QV_XDOMClose(h); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator QvHandle() const { return h; }
};

// Every test starts and ends with a clear error state.
class XdomTest : public ::testing::Test {
protected:
    void SetUp() override { Q_XMLResetErrMsg(); }
    void TearDown() override { Q_XMLResetErrMsg(); }
};

// Number of lines in the error state that start with `prefix`.
inline int linesStartingWith(const std::string& prefix) {
    std::string text = Q_XMLGetErrMsg();
    int n = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (text.compare(at, prefix.size(), prefix) == 0) ++n;
        at = end + 1;
    }
    return n;
}

}  // namespace qvtest
