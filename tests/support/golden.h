// Golden texts: a fixed-format output compared byte for byte with its file
// in tests/data/golden. A deliberate change rewrites the file when
// VELLUMAR_WRITE_GOLDEN is set.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

inline void ExpectGolden(const std::string& name, const std::string& text) {
    const std::string path = std::string(VELLUMAR_TEST_DATA) + "/golden/" + name;
    if (std::getenv("VELLUMAR_WRITE_GOLDEN") != nullptr) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream golden;
    golden << in.rdbuf();
    EXPECT_EQ(text, golden.str()) << name << ":\n" << text;
}
