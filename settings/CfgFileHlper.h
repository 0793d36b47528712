// Name-based operations on the nodes of a tree settings file. Stateless: the settings store builds one on the stack
// and hands it the nodes to work on. Names are compared byte for byte in their UTF-8 form.
#pragma once

#include "settings/CfgFile.h"

class CfgFileHlper : public CfgFile {
public:
    CfgFileHlper() = default;
    virtual ~CfgFileHlper() = default;

    CfgObject* FindChild(CfgObject* node, const char* name);
    CfgObject* FindDescendant(CfgObject* node, const char* name);
    CfgObject* DetachChild(CfgObject* node, const char* name);
    CfgObject* DetachDescendant(CfgObject* node, const char* name);

    // UTF-16 names that do not fit 127 UTF-8 bytes are refused (null or FALSE), so none reaches the file.
    CfgObject* FindObject(CfgObject* node, const WCHAR* name, bool direct);
    CfgObject* AddObject(CfgObject* parent, const WCHAR* name, const char* type, const void* data, int len);
    bool DeleteObject(CfgObject* node, const WCHAR* name, bool direct);
    bool DeleteNode(CfgObject* node, CfgObject* given, bool direct);
    // Copies the names of the first `max` children into buffers of 128 UTF-16 units each; returns how many.
    int GetChildNames(CfgObject* node, WCHAR* names[], int max);
    void NameToWide(const char* name, WCHAR out[128]);

    void UnlinkChild(CfgObject* parent, CfgObject* child);
    void AppendChildCopy(CfgObject* parent, CfgObject* child);
    void DeleteCfgObject(CfgObject* node);

    // UTF-16 to the 128-byte UTF-8 form of a node name; false when it does not fit.
    static bool NameToUtf8(const WCHAR* name, char out[128]);
};
