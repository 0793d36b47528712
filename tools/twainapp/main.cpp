// twainapp: loads the data source manager, opens a data source as an imaging application does, prints its
// identity and every session state it goes through.
//   twainapp [--dsm <manager library>] [--source <product name>]
// The manager defaults to ../lib/libtwaindsm_standin.so beside this program; the manager finds the sources in
// $TWAIN_DS_PATH.

#include "tools/twainapp/TwainSession.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

const char* StateName(int state) {
    switch (state) {
    case 1:
        return "pre-session";
    case 2:
        return "manager loaded";
    case 3:
        return "manager open";
    case 4:
        return "source open";
    case 5:
        return "source enabled";
    case 6:
        return "transfer ready";
    case 7:
        return "transferring";
    default:
        return "?";
    }
}

std::string DefaultManagerPath() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "libtwaindsm_standin.so";
    return (self.parent_path().parent_path() / "lib" / "libtwaindsm_standin.so").string();
}

// A TW_STR32 from a source is not trusted to be terminated.
std::string Str32(const TW_STR32& s) {
    return std::string(s, strnlen(s, sizeof(TW_STR32)));
}

void PrintIdentity(const TW_IDENTITY& id) {
    std::printf("Identity:\n");
    std::printf("  Id              %u\n", id.Id);
    std::printf("  Version         %u.%u \"%s\" (language %u, country %u)\n", id.Version.MajorNum, id.Version.MinorNum,
                Str32(id.Version.Info).c_str(), id.Version.Language, id.Version.Country);
    std::printf("  Protocol        %u.%u\n", id.ProtocolMajor, id.ProtocolMinor);
    std::printf("  SupportedGroups 0x%08x\n", id.SupportedGroups);
    std::printf("  Manufacturer    \"%s\"\n", Str32(id.Manufacturer).c_str());
    std::printf("  ProductFamily   \"%s\"\n", Str32(id.ProductFamily).c_str());
    std::printf("  ProductName     \"%s\"\n", Str32(id.ProductName).c_str());
}

int Usage(FILE* to, int result) {
    std::fprintf(to, "usage: twainapp [--dsm <manager library>] [--source <product name>]\n"
                     "  Loads the data source manager (default ../lib/libtwaindsm_standin.so beside this program),\n"
                     "  opens a data source (default: the manager's first), prints its identity and every state.\n"
                     "  The manager finds sources in $TWAIN_DS_PATH (default /usr/local/lib/twain).\n");
    return result;
}

} // namespace

int main(int argc, char** argv) {
    std::string dsmPath = DefaultManagerPath();
    std::string sourceName;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dsm") == 0 && i + 1 < argc)
            dsmPath = argv[++i];
        else if (std::strcmp(argv[i], "--source") == 0 && i + 1 < argc)
            sourceName = argv[++i];
        else if (std::strcmp(argv[i], "--help") == 0)
            return Usage(stdout, 0);
        else
            return Usage(stderr, 2);
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    twainapp::TwainSession session([](int state, const std::string& why) {
        std::printf("State %d (%s): %s\n", state, StateName(state), why.c_str());
    });
    std::printf("State 1 (%s)\n", StateName(1));

    std::string error;
    if (!session.LoadManager(dsmPath, error)) {
        std::fprintf(stderr, "twainapp: cannot load the data source manager: %s\n", error.c_str());
        return 1;
    }
    if (session.OpenManager() != TWRC_SUCCESS) {
        std::fprintf(stderr, "twainapp: MSG_OPENDSM failed (condition code %u)\n", session.LastConditionCode());
        return 1;
    }
    std::vector<TW_IDENTITY> sources;
    session.ListSources(sources);
    std::printf("Sources: %zu\n", sources.size());
    for (const TW_IDENTITY& s : sources)
        std::printf("  %u: \"%s\" by \"%s\"\n", s.Id, Str32(s.ProductName).c_str(), Str32(s.Manufacturer).c_str());

    TW_UINT16 rc = session.OpenSource(sourceName);
    if (rc != TWRC_SUCCESS) {
        std::fprintf(stderr, "twainapp: MSG_OPENDS failed: return code %u, condition code %u\n", rc,
                     session.LastConditionCode());
        return 1;
    }
    PrintIdentity(session.SourceIdentity());
    TW_UINT16 condition = 0;
    rc = session.SourceStatus(condition);
    std::printf("Status: return code %u, condition code %u\n", rc, condition);

    int result = 0;
    if (session.CloseSource() != TWRC_SUCCESS) {
        std::fprintf(stderr, "twainapp: MSG_CLOSEDS failed (condition code %u)\n", session.LastConditionCode());
        result = 1;
    }
    return result; // the session walks back to state 1 as it goes
}
