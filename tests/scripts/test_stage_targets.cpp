// What the main jobs build before they run: scripts/demo.sh and scripts/scankey.sh build only the targets they name,
// so on a fresh machine those targets alone must stage every file the programs load at run time (a language library
// missing there stops the scan with a string error).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

// The targets a script hands to build_targets.
std::string TargetsOf(const std::string& script) {
    std::ifstream in(std::string(PROJECT_SOURCE_FOLDER) + "/scripts/" + script);
    // Plain parsing rather than <regex>: with the sanitizers on, GCC warns inside <regex> and the build stops.
    const char* blanks = " \t\r";
    const std::string call = "build_targets";
    std::string line;
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(blanks);
        if (start == std::string::npos || line.compare(start, call.size(), call) != 0)
            continue;
        const size_t after = start + call.size();
        if (after >= line.size() || (line[after] != ' ' && line[after] != '\t'))
            continue;
        const size_t first = line.find_first_not_of(blanks, after);
        if (first == std::string::npos)
            continue;
        return line.substr(first, line.find_last_not_of(blanks) + 1 - first);
    }
    return {};
}

// Every file the build of the targets produces or reads, as the build tool lists them.
std::set<std::string> InputsOf(const std::string& targets) {
    const std::string command = "ninja -C '" + std::string(PROJECT_BINARY_FOLDER) + "' -t inputs " + targets;
    std::set<std::string> files;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return files;
    std::array<char, 4096> line{};
    while (fgets(line.data(), line.size(), pipe) != nullptr) {
        std::string file = line.data();
        while (!file.empty() && (file.back() == '\n' || file.back() == '\r'))
            file.pop_back();
        files.insert(file);
    }
    pclose(pipe);
    return files;
}

std::set<std::string> Languages() {
    std::set<std::string> codes;
    std::istringstream list(PROJECT_LANGUAGE_CODES);
    for (std::string code; std::getline(list, code, ',');)
        codes.insert(code);
    return codes;
}

class StageTargetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(PROJECT_GENERATOR) != "Ninja")
            GTEST_SKIP() << "the build tool lists a target's inputs only with the Ninja generator";
    }

    // Reports each staged file of `names` the script's targets leave unbuilt.
    static void ExpectStaged(const std::string& script, const std::set<std::string>& names) {
        const std::string targets = TargetsOf(script);
        ASSERT_FALSE(targets.empty()) << script << " names no targets";
        const std::set<std::string> inputs = InputsOf(targets);
        ASSERT_FALSE(inputs.empty()) << "no inputs listed for " << targets;
        for (const std::string& name : names)
            EXPECT_TRUE(inputs.count("stage/twain/" MODEL_FOLDER_NAME "/" + name))
                << script << " (" << targets << ") does not stage " << name;
    }
};

TEST_F(StageTargetsTest, TheDemoStagesEverythingTheDataSourceLoads) {
    std::set<std::string> names = {"kvxlld.so", "kvxTonalis.so"};
    for (const std::string& code : Languages())
        names.insert("kvxtwrc" + code + ".so");
    ExpectStaged("demo.sh", names);
}

TEST_F(StageTargetsTest, TheScanKeyStagesEverythingTheDeviceScanProgramLoads) {
    std::set<std::string> names = {"kvxlld.so", "sti.so", "kvxQuillet.so"};
    for (const std::string& code : Languages())
        names.insert("kvxpsrc" + code + ".so");
    ExpectStaged("scankey.sh", names);
}

} // namespace
