// scripts/demo.sh as a user calls it: with a build folder absolute or relative, with options and no folder. The
// script runs from a copy of the scripts folder, with stand-ins for the package check and for cmake, whose build
// leaves an imaging application that prints what it was given.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

void WriteScript(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
    chmod(path.c_str(), 0755);
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class DemoScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/demo-script-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_top = pattern;
        fs::create_directories(m_top / "src/scripts");
        for (const char* script : {"scripts/demo.sh", "scripts/build-folder.sh"})
            fs::copy_file(fs::path(PROJECT_SOURCE_FOLDER) / script, m_top / "src" / script);
        WriteScript(m_top / "src/scripts/deps.sh", "#!/bin/sh\nexit 0\n");
        fs::create_directories(m_top / "bin");
        // The imaging application the build leaves: prints what it was given and creates the file of --out.
        WriteScript(m_top / "twainapp", "#!/bin/sh\n"
                                        "echo \"twainapp $*\"\n"
                                        "echo \"C: $PLATFORM_ROOT\"\n"
                                        "echo \"sources: $TWAIN_DS_PATH\"\n"
                                        "while [ $# -gt 0 ]; do\n"
                                        "  if [ \"$1\" = --out ]; then : > \"$2\"; fi\n"
                                        "  shift\n"
                                        "done\n");
        // cmake: logs each call; a build leaves stage/bin/twainapp in the build folder.
        WriteScript(m_top / "bin/cmake", "#!/bin/sh\n"
                                         "echo \"cmake $*\" >> '" +
                                             (m_top / "cmake.log").string() +
                                             "'\n"
                                             "if [ \"$1\" = --build ]; then\n"
                                             "  mkdir -p \"$2/stage/bin\"\n"
                                             "  cp '" +
                                             (m_top / "twainapp").string() +
                                             "' \"$2/stage/bin/twainapp\"\n"
                                             "fi\n");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_top, ignored);
    }

    // Runs the demo from a folder that is not the source folder; answers its exit status and output.
    int Demo(const std::string& arguments, std::string& out) {
        const std::string command = "cd / && PATH='" + (m_top / "bin").string() + "':\"$PATH\" '" +
                                    (m_top / "src/scripts/demo.sh").string() + "' " + arguments + " 2>&1";
        out.clear();
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return -1;
        std::array<char, 512> buffer{};
        while (fgets(buffer.data(), buffer.size(), pipe) != nullptr)
            out += buffer.data();
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path m_top;
};

TEST_F(DemoScriptTest, AnAbsoluteBuildFolderIsTakenAsItIs) {
    const fs::path build = m_top / "elsewhere/build";
    std::string out;
    ASSERT_EQ(Demo("'" + build.string() + "' --pixeltype gray --enable", out), 0) << out;
    EXPECT_NE(ReadText(m_top / "cmake.log").find("cmake -S . -B " + build.string() + " "), std::string::npos)
        << ReadText(m_top / "cmake.log");
    EXPECT_NE(out.find("twainapp --pixeltype gray --enable\n"), std::string::npos) << out;
    EXPECT_NE(out.find("C: " + (build / "demo-root").string() + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("sources: " + (build / "stage/twain").string() + "\n"), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(build / "demo-root/Windows/Scanner.ini"));
}

TEST_F(DemoScriptTest, OptionsWithoutABuildFolderUseTheDefaultOne) {
    std::string out;
    ASSERT_EQ(Demo("--help", out), 0) << out;
    EXPECT_NE(out.find("twainapp --help\n"), std::string::npos) << out;
    EXPECT_NE(out.find("C: " + (m_top / "src/build/demo-root").string() + "\n"), std::string::npos) << out;
}

// Without options the demo scans one A4 colour page without the window and says where the page went.
TEST_F(DemoScriptTest, WithoutOptionsOnePageIsScannedIntoTheBuildFolder) {
    std::string out;
    ASSERT_EQ(Demo("", out), 0) << out;
    const std::string page = (m_top / "src/build/demo-scan.png").string();
    EXPECT_NE(out.find("twainapp --pixeltype rgb --resolution 300 --size a4 --enable --xfer memory --pages 1 --out " +
                       page + "\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("The scanned page: " + page + "\n"), std::string::npos) << out;
}

// The INI names the companions by the File Prefix the build staged them with.
TEST_F(DemoScriptTest, TheIniNamesTheCompanionsAsTheBuildStagedThem) {
    std::string out;
    ASSERT_EQ(Demo("--help", out), 0) << out;
    const std::string ini = ReadText(m_top / "src/build/demo-root/Windows/Scanner.ini");
    EXPECT_NE(ini.find("[TWAIN]\nFile Prefix=kvx\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Setting Path=\\Korvel\\kvx7731\\\nRegistry="), std::string::npos) << ini;

    std::ofstream(m_top / "src/build/CMakeCache.txt") << "CMAKE_BUILD_TYPE:STRING=Release\n"
                                                      << "SCANDRV_FILE_PREFIX:STRING=abc\n";
    ASSERT_EQ(Demo("--help", out), 0) << out;
    EXPECT_NE(ReadText(m_top / "src/build/demo-root/Windows/Scanner.ini").find("File Prefix=abc\n"), std::string::npos);
}

TEST_F(DemoScriptTest, ARelativeBuildFolderIsInTheSourceFolder) {
    std::string out;
    ASSERT_EQ(Demo("out --resolution 300", out), 0) << out;
    EXPECT_NE(out.find("twainapp --resolution 300\n"), std::string::npos) << out;
    EXPECT_NE(out.find("C: " + (m_top / "src/out/demo-root").string() + "\n"), std::string::npos) << out;
}

} // namespace
