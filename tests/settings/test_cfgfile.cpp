// The tree settings file: its exact bytes, round trips through the writer and the loader, damaged files, and the
// name-based tree operations.
#include "settings/CfgFileHlper.h"

#include "SettingsTestRoot.h"

#include <cstring>
#include <memory>
#include <random>

namespace {

using namespace std::string_literals;

struct TreeDeleter {
    void operator()(CfgObject* node) const { DeleteCfgObject(node); }
};
using Tree = std::unique_ptr<CfgObject, TreeDeleter>;

CfgObject* Add(CfgObject* parent, const char* name, const char* type, const std::string& data = {}) {
    CfgObject* node = NewCfgObject(name, type, data.empty() ? nullptr : data.data(), static_cast<int>(data.size()));
    node->parent = parent;
    parent->children.push_back(node);
    parent->childobjs = static_cast<int>(parent->children.size());
    return node;
}

void ExpectSameTree(const CfgObject* expected, const CfgObject* actual, const std::string& where = "root") {
    ASSERT_NE(actual, nullptr) << where;
    EXPECT_STREQ(expected->name, actual->name) << where;
    EXPECT_STREQ(expected->type, actual->type) << where;
    ASSERT_EQ(expected->len, actual->len) << where;
    if (expected->len > 0)
        EXPECT_EQ(std::string(expected->data, expected->len), std::string(actual->data, actual->len)) << where;
    else
        EXPECT_EQ(actual->data, nullptr) << where;
    ASSERT_EQ(expected->children.size(), actual->children.size()) << where;
    EXPECT_EQ(actual->childobjs, static_cast<int>(actual->children.size())) << where;
    for (size_t i = 0; i < expected->children.size(); ++i) {
        EXPECT_EQ(actual->children[i]->parent, actual) << where;
        ExpectSameTree(expected->children[i], actual->children[i], where + "/" + expected->children[i]->name);
    }
}

Tree Parse(const std::string& bytes) {
    return Tree(ParseCfgTree(bytes.data(), bytes.size()));
}

const std::string kDefaultFile = "<object:cfgobj,type:null,len:0,childobjs:1>\n"
                                 "<object:version,type:string,len:8,childobjs:0>1.0.0.1\0<endobj>\n"
                                 "<endobj>\n"s;

class CfgFileTest : public SettingsTestRoot {};

TEST_F(CfgFileTest, DefaultFileIsTheExact116Bytes) {
    ASSERT_EQ(kDefaultFile.size(), 116u);
    ASSERT_TRUE(CreateDefaultCfgFile(u"C:\\AppData\\new.dat"));
    EXPECT_EQ(ReadBytes(Host("AppData/new.dat")), kDefaultFile);
}

TEST_F(CfgFileTest, LoadingAMissingFileCreatesTheDefaultOne) {
    std::unique_ptr<CfgFile, decltype(&CloseCfgFile)> file(LoadCfgFile(u"C:\\AppData\\fresh.dat"), &CloseCfgFile);
    ASSERT_NE(file, nullptr);
    ASSERT_STREQ(file->root->name, "cfgobj");
    ASSERT_EQ(file->root->children.size(), 1u);
    EXPECT_STREQ(file->root->children[0]->data, "1.0.0.1");
    EXPECT_EQ(ReadBytes(Host("AppData/fresh.dat")), kDefaultFile);
}

TEST_F(CfgFileTest, EmptyContainerWritesItsTagThenEndobj) {
    Tree root(NewCfgObject("cfgobj", "null", nullptr, 0));
    EXPECT_EQ(SerializeCfgTree(root.get()), "<object:cfgobj,type:null,len:0,childobjs:0>\n<endobj>\n");
    Tree back = Parse(SerializeCfgTree(root.get()));
    ExpectSameTree(root.get(), back.get());
}

TEST_F(CfgFileTest, NamesTypesDataAndChildOrderSurviveARoundTrip) {
    Tree root(NewCfgObject("cfgobj", "null", nullptr, 0));
    Add(root.get(), "version", "string", "1.0.0.1\0"s);
    CfgObject* scan = Add(root.get(), "ScanParam", "null");
    CfgObject* saved = Add(scan, "savesetting", "null");
    Add(saved, "a:b<c", "binary", "<endobj>\n<object:x,type:y,len:3,childobjs:0>"s);
    Add(saved, "\xE7\x85\xA7\xE7\x89\x87", "binary", "\0\0>\0<\0"s); // a UTF-8 name
    Add(saved, ",,,", "binary", std::string(612, '\0'));
    Add(saved, "", "binary", "x");
    Add(scan, "cursetting", "null");
    std::string bytes = SerializeCfgTree(root.get());
    Tree back = Parse(bytes);
    ExpectSameTree(root.get(), back.get());
    EXPECT_EQ(SerializeCfgTree(back.get()), bytes);
}

TEST_F(CfgFileTest, ANameWithACommaAfterItsFirstCharacterReadsBackCut) {
    Tree root(NewCfgObject("cfgobj", "null", nullptr, 0));
    Add(root.get(), "a,b", "binary", "data");
    Tree back = Parse(SerializeCfgTree(root.get()));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->children.size(), 1u);
    EXPECT_STREQ(back->children[0]->name, "a");
    EXPECT_STREQ(back->children[0]->type, "binary");
    EXPECT_EQ(std::string(back->children[0]->data), "data");
}

TEST_F(CfgFileTest, WriterCountsTheChildrenPresentAndDropsDataOfAParent) {
    Tree root(NewCfgObject("cfgobj", "null", "stray", 5));
    root->childobjs = 7; // a wrong count must not reach the file
    Add(root.get(), "only", "binary", "1");
    EXPECT_EQ(SerializeCfgTree(root.get()),
              "<object:cfgobj,type:null,len:0,childobjs:1>\n<object:only,type:binary,len:1,childobjs:0>1<endobj>\n"
              "<endobj>\n");
}

TEST_F(CfgFileTest, NodeAskedForALengthWithoutDataHoldsNone) {
    Tree node(NewCfgObject("x", "binary", nullptr, 612));
    EXPECT_EQ(node->len, 0);
    EXPECT_EQ(node->data, nullptr);
    EXPECT_EQ(SerializeCfgTree(node.get()), "<object:x,type:binary,len:0,childobjs:0>\n<endobj>\n");
}

TEST_F(CfgFileTest, EmptyTruncatedAndGarbageFilesAreNoTree) {
    EXPECT_EQ(Parse(""), nullptr);
    EXPECT_EQ(Parse("garbage without tags"), nullptr);
    EXPECT_EQ(Parse("<endobj>\n"), nullptr) << "endobj before any node";
    // Every cut before the root's closing '>' leaves the tree open.
    for (size_t cut = 0; cut + 1 < kDefaultFile.size(); ++cut)
        EXPECT_EQ(Parse(kDefaultFile.substr(0, cut)), nullptr) << "cut at " << cut;
    EXPECT_NE(Parse(kDefaultFile.substr(0, kDefaultFile.size() - 1)), nullptr);
}

TEST_F(CfgFileTest, TreesNestedBeyond256LevelsAreDamaged) {
    auto nested = [](int levels) {
        std::string text;
        for (int i = 0; i < levels; ++i)
            text += "<object:n,type:null,len:0,childobjs:1>\n";
        for (int i = 0; i < levels; ++i)
            text += "<endobj>\n";
        return text;
    };
    EXPECT_NE(Parse(nested(256)), nullptr) << "256 levels still read";
    EXPECT_EQ(Parse(nested(257)), nullptr);
    // Deep enough to exhaust the stack of the tree's recursive walks, were it read.
    EXPECT_EQ(Parse(nested(300000)), nullptr);
}

TEST_F(CfgFileTest, TheClosedRootStaysCurrent) {
    Tree back = Parse(kDefaultFile + "<endobj>\n");
    ASSERT_NE(back, nullptr) << "an endobj after the root's own changes nothing";
    EXPECT_EQ(back->children.size(), 1u);
    back = Parse(kDefaultFile + "<object:late,type:binary,len:2,childobjs:0>ok<endobj>\n");
    ASSERT_NE(back, nullptr) << "a node after the root's endobj joins the root";
    ASSERT_EQ(back->children.size(), 2u);
    EXPECT_STREQ(back->children[1]->name, "late");
    EXPECT_EQ(back->children[1]->parent, back.get());
    EXPECT_EQ(std::string(back->children[1]->data), "ok");
    EXPECT_EQ(Parse(kDefaultFile + "<object:late,type:null,len:0,childobjs:0>\n"), nullptr)
        << "a node left open at the end is a cut file";
}

TEST_F(CfgFileTest, ALengthBeyondTheEndOfTheFileIsRefused) {
    std::string bytes = "<object:cfgobj,type:null,len:0,childobjs:1>\n"
                        "<object:version,type:string,len:99999,childobjs:0>1.0<endobj>\n<endobj>\n";
    Tree back = Parse(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->children.empty()) << "the node claiming more bytes than the file holds is left out";
    std::string huge = "<object:cfgobj,type:null,len:2147483647,childobjs:0>x<endobj>\n";
    EXPECT_EQ(Parse(huge), nullptr);
}

TEST_F(CfgFileTest, RefusedTagsAreSkippedWithTheirSubtrees) {
    std::string longName(300, 'n');
    std::string bytes = "<object:cfgobj,type:null,len:0,childobjs:3>\n"
                        "<object:" +
                        longName +
                        ",type:binary,len:0,childobjs:0>\n<endobj>\n"
                        "<unknown:x,childobjs:1>\n<object:inner,type:binary,len:4,childobjs:0><en><endobj>\n"
                        "<endobj>\n"
                        "<object:kept,type:binary,len:2,childobjs:0>ok<endobj>\n"
                        "<endobj>\n";
    Tree back = Parse(bytes);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->children.size(), 1u);
    EXPECT_STREQ(back->children[0]->name, "kept");
    EXPECT_EQ(back->childobjs, 1);
}

TEST_F(CfgFileTest, DamagedBytesNeverBreakTheLoader) {
    Tree root(NewCfgObject("cfgobj", "null", nullptr, 0));
    Add(root.get(), "version", "string", "1.0.0.1\0"s);
    CfgObject* saved = Add(Add(root.get(), "ScanParam", "null"), "savesetting", "null");
    Add(saved, "Photo", "binary", std::string(612, '<'));
    Add(saved, "Text", "binary", "<endobj>>"s);
    const std::string good = SerializeCfgTree(root.get());
    std::mt19937 random(7731);
    const char alphabet[] = "<>,:0123456789endobjchildobjs\n\0x";
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = good;
        for (int edits = 1 + random() % 4; edits > 0; --edits) {
            size_t at = random() % bytes.size();
            switch (random() % 3) {
            case 0:
                bytes[at] = alphabet[random() % (sizeof alphabet - 1)];
                break;
            case 1:
                bytes.insert(at, 1, alphabet[random() % (sizeof alphabet - 1)]);
                break;
            default:
                bytes.erase(at, 1 + random() % 16);
                break;
            }
            if (bytes.empty())
                break;
        }
        Tree loaded = Parse(bytes);
        if (!loaded)
            continue;
        // Whatever was accepted is a sound tree: it writes and reads back the same.
        std::string again = SerializeCfgTree(loaded.get());
        Tree reloaded = Parse(again);
        ASSERT_NE(reloaded, nullptr) << "round " << round;
        EXPECT_EQ(SerializeCfgTree(reloaded.get()), again) << "round " << round;
    }
}

TEST_F(CfgFileTest, ARootThatCannotBeParsedIsNoTree) {
    std::string field(200, 'f');
    EXPECT_EQ(Parse("<object:" + field + ",type:null,len:0,childobjs:0>\n<endobj>\n"), nullptr);
}

// A file cut at any byte: the strict reader refuses it, the salvaging one keeps exactly the nodes that lie whole in
// what is left (a record cut in its data goes), and what it keeps writes back as a file the strict reader takes.
TEST_F(CfgFileTest, AFileCutAtAnyByteIsSalvagedToItsWholeNodes) {
    Tree root(NewCfgObject("cfgobj", "null", nullptr, 0));
    for (const char* name : {"first", "second"}) {
        CfgObject* node = NewCfgObject(name, "binary", "<data>\0<endobj>", 15);
        node->parent = root.get();
        root->children.push_back(node);
    }
    const std::string whole = SerializeCfgTree(root.get());
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        const std::string part = whole.substr(0, cut);
        if (cut + 1 < whole.size()) { // the last line feed alone is not missed
            EXPECT_EQ(Parse(part), nullptr) << "cut at " << cut << ": no whole tree";
        }
        Tree salvaged(ParseCfgTree(part.data(), part.size(), true));
        const size_t rootTagEnd = whole.find('\n');
        if (cut < rootTagEnd) {
            EXPECT_EQ(salvaged, nullptr) << "cut at " << cut << ": not even the root";
            continue;
        }
        ASSERT_NE(salvaged, nullptr) << "cut at " << cut;
        // A record is kept once its tag and all its data are there.
        size_t kept = 0;
        for (const CfgObject* child : root->children) {
            const size_t tag = whole.find(std::string("<object:") + child->name);
            const size_t dataEnd = whole.find('>', tag) + 1 + static_cast<size_t>(child->len);
            if (cut >= dataEnd)
                ++kept;
        }
        ASSERT_EQ(salvaged->children.size(), kept) << "cut at " << cut;
        for (size_t i = 0; i < kept; ++i)
            ExpectSameTree(root->children[i], salvaged->children[i], "cut at " + std::to_string(cut));
        const std::string written = SerializeCfgTree(salvaged.get());
        EXPECT_NE(Parse(written), nullptr) << "cut at " << cut << ": what is kept is a file again";
    }
    EXPECT_NE(Parse(whole), nullptr);
}

TEST_F(CfgFileTest, SaveAndLoadGiveTheSameTree) {
    std::unique_ptr<CfgFile, decltype(&CloseCfgFile)> file(LoadCfgFile(u"C:\\AppData\\t.dat"), &CloseCfgFile);
    ASSERT_NE(file, nullptr);
    Add(file->root, "bin", "binary", "\x01<\0>\xFF"s);
    ASSERT_TRUE(SaveCfgFile(file.get()));
    std::unique_ptr<CfgFile, decltype(&CloseCfgFile)> again(LoadCfgFile(u"C:\\AppData\\t.dat"), &CloseCfgFile);
    ASSERT_NE(again, nullptr);
    ExpectSameTree(file->root, again->root);
    EXPECT_FALSE(std::filesystem::exists(Host("AppData/t.dat.new"))) << "the temporary file is renamed away";
}

TEST_F(CfgFileTest, AFailedSaveKeepsTheSavedFile) {
    std::unique_ptr<CfgFile, decltype(&CloseCfgFile)> file(LoadCfgFile(u"C:\\AppData\\k.dat"), &CloseCfgFile);
    ASSERT_NE(file, nullptr);
    std::filesystem::create_directory(Host("AppData/k.dat.new")); // the temporary file cannot be written
    Add(file->root, "lost", "binary", "1");
    EXPECT_FALSE(SaveCfgFile(file.get()));
    EXPECT_EQ(ReadBytes(Host("AppData/k.dat")), kDefaultFile);
    EXPECT_FALSE(SaveCfgFile(nullptr));
}

TEST_F(CfgFileTest, AFileInAMissingFolderCannotBeLoaded) {
    EXPECT_EQ(LoadCfgFile(u"C:\\NoSuchFolder\\x.dat"), nullptr);
    EXPECT_EQ(LoadCfgFile(nullptr), nullptr);
}

class CfgFileHlperTest : public ::testing::Test {
protected:
    void SetUp() override {
        root.reset(NewCfgObject("cfgobj", "null", nullptr, 0));
        a = Add(root.get(), "a", "null");
        a1 = Add(a, "x", "binary", "1");
        b = Add(root.get(), "b", "null");
        b1 = Add(b, "x", "binary", "2");
    }
    CfgFileHlper helper;
    Tree root;
    CfgObject *a = nullptr, *a1 = nullptr, *b = nullptr, *b1 = nullptr;
};

TEST_F(CfgFileHlperTest, SearchesAreDirectOrDepthFirstInListOrder) {
    EXPECT_EQ(helper.FindChild(root.get(), "x"), nullptr);
    EXPECT_EQ(helper.FindDescendant(root.get(), "x"), a1);
    EXPECT_EQ(helper.FindDescendant(root.get(), "cfgobj"), root.get());
    EXPECT_EQ(helper.FindObject(root.get(), u"b", true), b);
    EXPECT_EQ(helper.FindObject(root.get(), u"x", false), a1);
    EXPECT_EQ(helper.FindChild(a1, "x"), nullptr) << "a node without children";
}

TEST_F(CfgFileHlperTest, DetachingADescendantNeverTakesTheStartingNode) {
    EXPECT_EQ(helper.DetachDescendant(a, "a"), nullptr);
    CfgObject* taken = helper.DetachDescendant(root.get(), "x");
    ASSERT_EQ(taken, a1);
    EXPECT_EQ(a->childobjs, 0);
    EXPECT_TRUE(a->children.empty());
    helper.DeleteCfgObject(taken);
}

TEST_F(CfgFileHlperTest, DeleteNodeRemovesTheFirstNodeOfThatName) {
    EXPECT_TRUE(helper.DeleteNode(root.get(), b1, false));
    EXPECT_TRUE(a->children.empty()) << "the first x, under a, goes";
    EXPECT_EQ(b->children.size(), 1u);
    EXPECT_FALSE(helper.DeleteObject(root.get(), u"missing", false));
}

TEST_F(CfgFileHlperTest, NamesOverTheUtf8LimitAreRefused) {
    std::u16string fits(42, u'\x7167');    // 126 UTF-8 bytes
    std::u16string tooLong(43, u'\x7167'); // 129 UTF-8 bytes
    EXPECT_NE(helper.AddObject(root.get(), fits.c_str(), "binary", "d", 1), nullptr);
    EXPECT_EQ(helper.AddObject(root.get(), tooLong.c_str(), "binary", "d", 1), nullptr);
    EXPECT_EQ(helper.FindObject(root.get(), tooLong.c_str(), true), nullptr);
    EXPECT_FALSE(helper.DeleteObject(root.get(), tooLong.c_str(), true));
    EXPECT_EQ(root->childobjs, 3);
}

TEST_F(CfgFileHlperTest, AddedNodesCopyTheirDataWithZerosBehind) {
    char record[4] = {'a', 'b', 'c', 'd'};
    CfgObject* node = helper.AddObject(root.get(), u"rec", "binary", record, 4);
    ASSERT_NE(node, nullptr);
    record[0] = 'z';
    EXPECT_EQ(std::string(node->data, 4), "abcd");
    EXPECT_EQ(std::memcmp(node->data + 4, std::string(32, '\0').data(), 32), 0);
    EXPECT_EQ(root->children.back(), node);
    EXPECT_EQ(node->parent, root.get());
}

TEST_F(CfgFileHlperTest, ChildNamesAreCopiedUpToTheGivenCount) {
    WCHAR first[128] = {}, second[128] = {};
    WCHAR* names[] = {first, second};
    EXPECT_EQ(helper.GetChildNames(root.get(), names, 1), 1);
    EXPECT_EQ(std::u16string(first), u"a");
    EXPECT_EQ(second[0], 0);
    EXPECT_EQ(helper.GetChildNames(root.get(), names, 5), 2);
    EXPECT_EQ(std::u16string(second), u"b");
    EXPECT_EQ(helper.GetChildNames(root.get(), nullptr, 2), 0);
}

} // namespace
