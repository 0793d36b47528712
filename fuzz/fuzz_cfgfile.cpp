// The tree settings file (settings.dat, APPsettings.dat) as the loader reads it: any bytes either give no tree or a
// tree that writes back and reads again as the same tree, and the store's name operations work on whatever it holds.

#include "FuzzSupport.h"

#include "settings/CfgFile.h"
#include "settings/CfgFileHlper.h"

#include <cstring>
#include <string>

namespace {

// Every node's name as the store would ask for it, looked up, listed and removed the way the store does.
void ExerciseNames(CfgObject* root) {
    CfgFileHlper helper;
    WCHAR names[8][128];
    WCHAR* slots[8];
    for (int i = 0; i < 8; ++i)
        slots[i] = names[i];
    const int count = helper.GetChildNames(root, slots, 8);
    for (int i = 0; i < count; ++i) {
        helper.FindObject(root, names[i], true);
        helper.FindObject(root, names[i], false);
    }
    for (const WCHAR* known : {u"version", u"ScanParam", u"savesetting", u"cursetting"}) {
        if (CfgObject* node = helper.FindObject(root, known, false)) {
            CfgObject* added = helper.AddObject(node, u"fuzz", "binary", "abc", 3);
            fuzz::Check(added != nullptr && added->parent == node, "AddObject links the new node");
        }
    }
    if (count > 0)
        helper.DeleteObject(root, names[count - 1], false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (CfgObject* salvaged = ParseCfgTree(reinterpret_cast<const char*>(data), size, true)) {
        const std::string kept = SerializeCfgTree(salvaged);
        CfgObject* back = ParseCfgTree(kept.data(), kept.size());
        fuzz::Check(back != nullptr, "what is salvaged of a file writes back as a file the loader reads");
        DeleteCfgObject(back);
        DeleteCfgObject(salvaged);
    }
    CfgObject* root = ParseCfgTree(reinterpret_cast<const char*>(data), size);
    if (root == nullptr)
        return 0;
    const std::string written = SerializeCfgTree(root);
    CfgObject* again = ParseCfgTree(written.data(), written.size());
    fuzz::Check(again != nullptr, "a tree the loader read writes back as a file it reads again");
    fuzz::Check(SerializeCfgTree(again) == written, "a tree written and read again is the same tree");
    DeleteCfgObject(again);

    ExerciseNames(root);
    const std::string changed = SerializeCfgTree(root);
    CfgObject* reread = ParseCfgTree(changed.data(), changed.size());
    fuzz::Check(reread != nullptr, "a tree changed by name operations still writes a readable file");
    DeleteCfgObject(reread);
    DeleteCfgObject(root);
    return 0;
}
