#include "settings/CfgFileHlper.h"

#include <algorithm>
#include <cstring>

bool CfgFileHlper::NameToUtf8(const WCHAR* name, char out[128]) {
    if (!name)
        return false;
    int n = WideCharToMultiByte(CP_UTF8, 0, name, -1, out, 128, nullptr, nullptr);
    if (n <= 0) {
        out[0] = '\0';
        return false;
    }
    return true;
}

CfgObject* CfgFileHlper::FindChild(CfgObject* node, const char* name) {
    if (!node || !name)
        return nullptr;
    for (CfgObject* child : node->children)
        if (std::strcmp(child->name, name) == 0)
            return child;
    return nullptr;
}

CfgObject* CfgFileHlper::FindDescendant(CfgObject* node, const char* name) {
    if (!node || !name)
        return nullptr;
    if (std::strcmp(node->name, name) == 0)
        return node;
    for (CfgObject* child : node->children)
        if (CfgObject* found = FindDescendant(child, name))
            return found;
    return nullptr;
}

CfgObject* CfgFileHlper::DetachChild(CfgObject* node, const char* name) {
    CfgObject* found = FindChild(node, name);
    if (found)
        UnlinkChild(node, found);
    return found;
}

CfgObject* CfgFileHlper::DetachDescendant(CfgObject* node, const char* name) {
    if (!node || !name)
        return nullptr;
    for (CfgObject* child : node->children) {
        CfgObject* found = FindDescendant(child, name);
        if (found) {
            UnlinkChild(found->parent, found);
            return found;
        }
    }
    return nullptr;
}

CfgObject* CfgFileHlper::FindObject(CfgObject* node, const WCHAR* name, bool direct) {
    char utf8[128];
    if (!NameToUtf8(name, utf8))
        return nullptr;
    return direct ? FindChild(node, utf8) : FindDescendant(node, utf8);
}

CfgObject* CfgFileHlper::AddObject(CfgObject* parent, const WCHAR* name, const char* type, const void* data, int len) {
    char utf8[128];
    if (!parent || !NameToUtf8(name, utf8))
        return nullptr;
    CfgObject* node = NewCfgObject(utf8, type, data, len);
    if (node)
        AppendChildCopy(parent, node);
    return node;
}

bool CfgFileHlper::DeleteObject(CfgObject* node, const WCHAR* name, bool direct) {
    char utf8[128];
    if (!NameToUtf8(name, utf8))
        return false;
    CfgObject* found = direct ? DetachChild(node, utf8) : DetachDescendant(node, utf8);
    if (!found)
        return false;
    DeleteCfgObject(found);
    return true;
}

bool CfgFileHlper::DeleteNode(CfgObject* node, CfgObject* given, bool direct) {
    if (!given)
        return false;
    CfgObject* found = direct ? DetachChild(node, given->name) : DetachDescendant(node, given->name);
    if (!found)
        return false;
    DeleteCfgObject(found);
    return true;
}

int CfgFileHlper::GetChildNames(CfgObject* node, WCHAR* names[], int max) {
    if (!node || !names)
        return 0;
    int count = std::min(max, static_cast<int>(node->children.size()));
    for (int i = 0; i < count; ++i)
        NameToWide(node->children[i]->name, names[i]);
    return std::max(count, 0);
}

void CfgFileHlper::NameToWide(const char* name, WCHAR out[128]) {
    if (!name || !out)
        return;
    if (MultiByteToWideChar(CP_UTF8, 0, name, -1, out, 128) <= 0)
        out[0] = 0;
}

void CfgFileHlper::UnlinkChild(CfgObject* parent, CfgObject* child) {
    if (!parent || !child)
        return;
    auto it = std::find(parent->children.begin(), parent->children.end(), child);
    if (it == parent->children.end())
        return;
    parent->children.erase(it);
    parent->childobjs = static_cast<std::int32_t>(parent->children.size());
    child->parent = nullptr;
}

void CfgFileHlper::AppendChildCopy(CfgObject* parent, CfgObject* child) {
    parent->children.push_back(child);
    parent->childobjs = static_cast<std::int32_t>(parent->children.size());
    child->parent = parent;
}

void CfgFileHlper::DeleteCfgObject(CfgObject* node) {
    ::DeleteCfgObject(node);
}
