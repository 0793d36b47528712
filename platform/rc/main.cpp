// platform_rc: compiles a resource manifest into a C++ source file.
// Usage: platform_rc (--module | --data) <manifest.rcl> <output.cpp> [--depfile <file>] [--anchor <symbol>]
#include "platform/rc/manifest.h"
#include "platform/rc/writer.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

int Usage() {
    std::cerr << "usage: platform_rc (--module | --data) <manifest.rcl> <output.cpp> [--depfile <file>]"
                 " [--anchor <symbol>]\n";
    return 2;
}

// Writes through a temporary file so an interrupted run never leaves a half-written output behind.
bool WriteAtomically(const std::string& path, const std::string& content) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out || !(out << content) || !out.flush())
            return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc % 2 != 0)
        return Usage();
    const std::string mode = argv[1];
    if (mode != "--module" && mode != "--data")
        return Usage();
    const auto kind = mode == "--module" ? platform::rc::OutputKind::Module : platform::rc::OutputKind::Data;
    const std::string manifest = argv[2], output = argv[3];
    std::string depfile, anchor;
    for (int i = 4; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--depfile")
            depfile = argv[i + 1];
        else if (option == "--anchor")
            anchor = argv[i + 1];
        else
            return Usage();
    }

    try {
        const auto compiled = platform::rc::CompileManifest(manifest);
        std::ostringstream source;
        platform::rc::WriteSource(source, compiled, kind, std::filesystem::path(manifest).filename().string(), anchor);
        if (!WriteAtomically(output, source.str())) {
            std::cerr << "platform_rc: cannot write " << output << "\n";
            return 1;
        }
        if (!depfile.empty()) {
            std::ostringstream deps;
            platform::rc::WriteDepfile(deps, output, compiled);
            if (!WriteAtomically(depfile, deps.str())) {
                std::cerr << "platform_rc: cannot write " << depfile << "\n";
                return 1;
            }
        }
    } catch (const platform::rc::InputError& e) {
        std::cerr << "platform_rc: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "platform_rc: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
