// A fresh C:\ root per test, and small helpers for the kernel tests.
#pragma once

#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = testsupport::MakeTempFolder("kernel-test");
        ASSERT_FALSE(m_root.empty());
        platform::testing::SetRoot(m_root);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all, ignored);
        testsupport::RemoveFolder(m_root);
    }

    // Writes a file under the root (POSIX path relative to it).
    void Put(const std::string& relative, const std::string& content = "x") {
        std::filesystem::path file = std::filesystem::path(m_root) / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }
    bool Exists(const std::string& relative) const {
        return std::filesystem::exists(std::filesystem::path(m_root) / relative);
    }
    std::string Read(const std::string& relative) const {
        std::ifstream in(std::filesystem::path(m_root) / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string m_root;
};

inline std::string U8(const std::u16string& s) {
    return platform::ToUtf8(s);
}
