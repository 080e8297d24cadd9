// The fixtures on disk under tests/data.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace qvtest {

inline std::string dataPath(const std::string& name) { return std::string(QVXML_TEST_DATA) + "/" + name; }

// The whole file, or "" when it cannot be read.
inline std::string readData(const std::string& name) {
    std::ifstream in(dataPath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace qvtest
