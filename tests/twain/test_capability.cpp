// Capability negotiation in-process: every container kind byte for byte with its allocation size, the masks and the
// condition codes of old and new applications, every MSG_SET effect, RESET, malformed containers, values across a
// close and a new open, and the FIX32 conversions.

#include "TwainTestSupport.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CMsgCapability.h"
#include "twain/CScanWindow.h"
#include "twain/HostFlags.h"
#include "twain/CapabilityTable.h"

#include "settings/SettingStore.h"

#include <cmath>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// One readable page between two that fault on any access, for containers that no allocator knows about.
class GuardedPages {
public:
    enum Place { AtStart, AtEnd };
    GuardedPages() {
        kPage = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        m_base = static_cast<unsigned char*>(mmap(nullptr, 3 * kPage, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (m_base != MAP_FAILED)
            mprotect(m_base + kPage, kPage, PROT_READ | PROT_WRITE);
    }
    ~GuardedPages() {
        if (m_base != MAP_FAILED)
            munmap(m_base, 3 * kPage);
    }
    GuardedPages(const GuardedPages&) = delete;
    GuardedPages& operator=(const GuardedPages&) = delete;

    void* Put(const std::vector<unsigned char>& bytes, Place place) {
        unsigned char* at = m_base + kPage + (place == AtStart ? 0 : kPage - bytes.size());
        std::memcpy(at, bytes.data(), bytes.size());
        return at;
    }

private:
    size_t kPage;
    unsigned char* m_base;
};

struct Reply {
    TW_UINT16 rc = 0;
    TW_UINT16 code = 0;
    TW_UINT16 conType = 0;
    size_t allocated = 0;
    std::vector<unsigned char> bytes;

    TW_UINT16 U16(size_t at) const {
        TW_UINT16 v;
        std::memcpy(&v, bytes.data() + at, 2);
        return v;
    }
    TW_UINT32 U32(size_t at) const {
        TW_UINT32 v;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    }
    TW_FIX32 Fix(size_t at) const {
        TW_FIX32 v;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    }
    double Number(size_t at) const { return Fix32ToFloat(Fix(at)); }
};

TW_FIX32 Fix(TW_INT16 whole, TW_UINT16 frac) {
    return TW_FIX32{whole, frac};
}

bool SameFix(TW_FIX32 a, TW_FIX32 b) {
    return a.Whole == b.Whole && a.Frac == b.Frac;
}

class CapabilityTest : public TwainTestRoot {
protected:
    void SetUp() override {
        TwainTestRoot::SetUp();
        m_assistor = std::make_unique<CDsAssistor>();
        m_colMsg.SetAssistor(m_assistor.get());
        Connect(2, 4);
    }
    void TearDown() override {
        // The values are the module's for its whole life: put back what a test changed.
        for (TW_UINT16 cap :
             std::initializer_list<TW_UINT16>{ICAP_XRESOLUTION, ICAP_YRESOLUTION, ICAP_PIXELTYPE, CAP_FEEDERENABLED,
                                              CAP_DUPLEXENABLED, ICAP_SUPPORTEDSIZES, CAP_APPMODE, CAP_SKIPSCANADJUST,
                                              ICAP_BRIGHTNESS, ICAP_HALFTONES, ICAP_FRAMES, CAP_XFERCOUNT})
            Ask(cap, MSG_RESET);
        g_nTwainPixelBits = 24;
        g_nTwainXResolution = 150;
        g_nTwainYResolution = 150;
        g_nTwainScanSize = 1;
        g_nTwainScanSource = 0;
        g_bFeederStatusKnown = FALSE;
        g_bPaperInFeeder = FALSE;
        FreeCapabilityTable();
        g_pDsAssistor = nullptr;
        m_assistor.reset();
        TwainTestRoot::TearDown();
    }

    void Connect(TW_UINT16 major, TW_UINT16 minor) {
        FreeCapabilityTable();
        m_assistor->ClearAppId();
        m_app = MakeAppIdentity(21, major, minor);
        TW_IDENTITY ds{};
        ds.Id = 3;
        TwainCall call{&m_app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds};
        ASSERT_EQ(m_assistor->ConnectApp(&call), TWRC_SUCCESS);
        InitCapabilityTable();
    }

    Reply Run(TW_CAPABILITY& cap, TW_UINT16 msg) {
        TwainCall call{&m_app, DG_CONTROL, DAT_CAPABILITY, msg, &cap};
        Reply reply;
        reply.rc = m_handler.Handle(&call);
        reply.code = m_assistor->GetConditionCode();
        return reply;
    }

    Reply Ask(TW_UINT16 capId, TW_UINT16 msg) {
        TW_CAPABILITY cap{capId, TWON_DONTCARE16, nullptr};
        Reply reply = Run(cap, msg);
        reply.conType = cap.ConType;
        if (reply.rc == TWRC_SUCCESS && cap.hContainer != nullptr) {
            reply.allocated = GlobalSize(cap.hContainer);
            auto* block = static_cast<unsigned char*>(GlobalLock(cap.hContainer));
            reply.bytes.assign(block, block + reply.allocated);
            GlobalFree(cap.hContainer);
        }
        return reply;
    }

    // MSG_SET with a container of exactly `bytes` that the application allocated itself, by default at the end of a
    // page that an unreadable page follows: reading past what the container declares faults.
    Reply Set(TW_UINT16 capId, TW_UINT16 conType, const std::vector<unsigned char>& bytes,
              GuardedPages::Place place = GuardedPages::AtEnd) {
        GuardedPages pages;
        TW_CAPABILITY cap{capId, conType, pages.Put(bytes, place)};
        return Run(cap, MSG_SET);
    }

    static std::vector<unsigned char> OneValue(TW_UINT16 type, TW_UINT32 item) {
        std::vector<unsigned char> bytes(6);
        std::memcpy(bytes.data(), &type, 2);
        std::memcpy(bytes.data() + 2, &item, 4);
        return bytes;
    }
    static std::vector<unsigned char> OneFix(TW_UINT16 type, double value) {
        const TW_FIX32 fix = FloatToFix32(static_cast<float>(value));
        TW_UINT32 item;
        std::memcpy(&item, &fix, 4);
        return OneValue(type, item);
    }

    std::unique_ptr<CDsAssistor> m_assistor;
    CColMsg m_colMsg;
    CMsgCapability m_handler;
    TW_IDENTITY m_app{};
};

TEST_F(CapabilityTest, SupportedCapsIsAnArrayOfTheFortyThreeIdentifiers) {
    const TW_UINT16 expected[43] = {0x1005, 0x0103, 0x111F, 0x1120, 0x0100, 0x1111, 0x1112, 0x1130, 0x1131,
                                    0x0102, 0x100F, 0x1100, 0x1101, 0x1103, 0x110A, 0x1110, 0x1113, 0x1124,
                                    0x1125, 0x0101, 0x112B, 0x112C, 0x111C, 0x1109, 0x1123, 0x1114, 0x111A,
                                    0x1122, 0x1116, 0x1117, 0x1118, 0x1119, 0x0001, 0x110C, 0x112D, 0x100B,
                                    0x100E, 0x8123, 0x8124, 0x1013, 0,      0,      0};
    for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
        Reply r = Ask(CAP_SUPPORTEDCAPS, msg);
        ASSERT_EQ(r.rc, TWRC_SUCCESS) << "msg " << msg;
        EXPECT_EQ(r.conType, TWON_ARRAY);
        EXPECT_EQ(r.allocated, 43u * 2 + 7) << "count * item size + 7";
        EXPECT_EQ(r.U16(0), TWTY_UINT16);
        EXPECT_EQ(r.U32(2), 43u);
        for (int i = 0; i < 43; ++i)
            EXPECT_EQ(r.U16(6 + 2 * i), expected[i]) << "item " << i << ", msg " << msg;
    }
    EXPECT_EQ(Ask(CAP_SUPPORTEDCAPS, MSG_SET).code, TWCC_CAPBADOPERATION);
}

TEST_F(CapabilityTest, ResolutionIsAnEnumerationOfFiveFix32Values) {
    Reply r = Ask(ICAP_XRESOLUTION, MSG_GET);
    ASSERT_EQ(r.rc, TWRC_SUCCESS);
    EXPECT_EQ(r.code, TWCC_SUCCESS);
    EXPECT_EQ(r.conType, TWON_ENUMERATION);
    EXPECT_EQ(r.allocated, 5u * 4 + 15);
    EXPECT_EQ(r.U16(0), TWTY_FIX32);
    EXPECT_EQ(r.U32(2), 5u);
    EXPECT_EQ(r.U32(6), 1u) << "current 150";
    EXPECT_EQ(r.U32(10), 1u) << "default 150";
    const TW_INT16 dpi[5] = {75, 150, 300, 600, 1200};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(SameFix(r.Fix(14 + 4 * i), Fix(dpi[i], 0))) << "item " << i;

    Reply current = Ask(ICAP_YRESOLUTION, MSG_GETCURRENT);
    EXPECT_EQ(current.conType, TWON_ONEVALUE);
    EXPECT_EQ(current.allocated, 4u + 6);
    EXPECT_EQ(current.U16(0), TWTY_FIX32);
    EXPECT_TRUE(SameFix(current.Fix(2), Fix(150, 0)));
}

TEST_F(CapabilityTest, BrightnessIsARangeWithExactNegativeMinimum) {
    Reply r = Ask(ICAP_BRIGHTNESS, MSG_GET);
    ASSERT_EQ(r.rc, TWRC_SUCCESS);
    EXPECT_EQ(r.conType, TWON_RANGE);
    EXPECT_EQ(r.allocated, 22u);
    EXPECT_EQ(r.U16(0), TWTY_FIX32);
    EXPECT_TRUE(SameFix(r.Fix(2), Fix(-1000, 0))) << "min, got " << r.Fix(2).Whole << "+" << r.Fix(2).Frac;
    EXPECT_TRUE(SameFix(r.Fix(6), Fix(1000, 0))) << "max";
    EXPECT_TRUE(SameFix(r.Fix(10), Fix(1000, 0))) << "step";
    EXPECT_TRUE(SameFix(r.Fix(14), Fix(0, 0))) << "default";
    EXPECT_TRUE(SameFix(r.Fix(18), Fix(0, 0))) << "current";

    Reply highlight = Ask(ICAP_HIGHLIGHT, MSG_GET);
    EXPECT_TRUE(SameFix(highlight.Fix(2), Fix(0, 0)));
    EXPECT_TRUE(SameFix(highlight.Fix(6), Fix(255, 0)));
    EXPECT_TRUE(SameFix(highlight.Fix(10), Fix(1, 0)));
    EXPECT_TRUE(SameFix(highlight.Fix(14), Fix(128, 0)));
}

TEST_F(CapabilityTest, FramesIsAOneValueFrameInLeftTopRightBottomOrder) {
    Reply r = Ask(ICAP_FRAMES, MSG_GET);
    ASSERT_EQ(r.rc, TWRC_SUCCESS);
    EXPECT_EQ(r.conType, TWON_ONEVALUE);
    EXPECT_EQ(r.allocated, 16u + 6) << "the frame is stored inline";
    EXPECT_EQ(r.U16(0), TWTY_FRAME);
    EXPECT_TRUE(SameFix(r.Fix(2), Fix(0, 0))) << "left";
    EXPECT_TRUE(SameFix(r.Fix(6), Fix(0, 0))) << "top";
    EXPECT_TRUE(SameFix(r.Fix(10), Fix(8, 32768))) << "right 8.5";
    EXPECT_TRUE(SameFix(r.Fix(14), Fix(11, 45220))) << "bottom 11.69, got " << r.Fix(14).Frac;

    // The largest FIX32 edge, which a float rounds up to 32768, still comes back as the largest FIX32.
    std::vector<unsigned char> set(2 + 16);
    const TW_UINT16 type = TWTY_FRAME;
    std::memcpy(set.data(), &type, 2);
    const TW_FIX32 widest[4] = {Fix(0, 0), Fix(0, 0), Fix(32767, 65535), Fix(-32768, 0)};
    std::memcpy(set.data() + 2, widest, 16);
    ASSERT_EQ(Set(ICAP_FRAMES, TWON_ONEVALUE, set).rc, TWRC_SUCCESS);
    Reply edge = Ask(ICAP_FRAMES, MSG_GETCURRENT);
    EXPECT_TRUE(SameFix(edge.Fix(10), Fix(32767, 65535))) << "right, got whole " << edge.Fix(10).Whole;
    EXPECT_TRUE(SameFix(edge.Fix(14), Fix(-32768, 0))) << "bottom";

    // A frame set by the application comes back in the same order.
    const TW_FIX32 frame[4] = {Fix(1, 0), Fix(2, 0), Fix(5, 16384), Fix(7, 0)};
    std::memcpy(set.data() + 2, frame, 16);
    ASSERT_EQ(Set(ICAP_FRAMES, TWON_ONEVALUE, set).rc, TWRC_SUCCESS);
    Reply back = Ask(ICAP_FRAMES, MSG_GETCURRENT);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(SameFix(back.Fix(2 + 4 * i), frame[i])) << "edge " << i;
}

TEST_F(CapabilityTest, HalftonesAreStr32ItemsIn34ByteSlots) {
    Reply r = Ask(ICAP_HALFTONES, MSG_GET);
    ASSERT_EQ(r.rc, TWRC_SUCCESS);
    EXPECT_EQ(r.conType, TWON_ENUMERATION);
    EXPECT_EQ(r.allocated, 2u * 34 + 15);
    EXPECT_EQ(r.U16(0), TWTY_STR32);
    EXPECT_EQ(r.U32(2), 2u);
    EXPECT_EQ(r.U32(6), 0u);
    EXPECT_EQ(r.U32(10), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.bytes.data() + 14)), "FLOYD/STEINBURG");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.bytes.data() + 14 + 34)), "ORDERED");
    for (size_t i = 14 + 15; i < 14 + 34; ++i)
        EXPECT_EQ(r.bytes[i], 0) << "the first slot is zero-filled, byte " << i;

    Reply current = Ask(ICAP_HALFTONES, MSG_GETCURRENT);
    EXPECT_EQ(current.allocated, 34u + 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(current.bytes.data() + 2)), "FLOYD/STEINBURG");

    // An offered string is taken; one the list does not hold is refused and changes nothing.
    std::vector<unsigned char> set(2 + 34, 0);
    const TW_UINT16 type = TWTY_STR32;
    std::memcpy(set.data(), &type, 2);
    std::memcpy(set.data() + 2, "ORDERED", 7);
    ASSERT_EQ(Set(ICAP_HALFTONES, TWON_ONEVALUE, set).rc, TWRC_SUCCESS);
    std::memset(set.data() + 2, 'x', 34);
    Reply refused = Set(ICAP_HALFTONES, TWON_ONEVALUE, set);
    EXPECT_EQ(refused.rc, TWRC_FAILURE);
    EXPECT_EQ(refused.code, TWCC_BADVALUE);
    current = Ask(ICAP_HALFTONES, MSG_GETCURRENT);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(current.bytes.data() + 2)), "ORDERED");
}

TEST_F(CapabilityTest, ShortItemsAreZeroExtendedInAOneValue) {
    Reply feeder = Ask(CAP_FEEDERENABLED, MSG_GET);
    ASSERT_EQ(feeder.rc, TWRC_SUCCESS);
    EXPECT_EQ(feeder.conType, TWON_ONEVALUE);
    EXPECT_EQ(feeder.allocated, 2u + 6);
    EXPECT_EQ(feeder.U16(0), TWTY_BOOL);
    EXPECT_EQ(feeder.U32(2), 0u) << "the window-less scan starts on the flatbed";

    Reply frames = Ask(ICAP_MAXFRAMES, MSG_GET);
    EXPECT_EQ(frames.allocated, 2u + 6);
    EXPECT_EQ(frames.U16(0), TWTY_UINT16);
    EXPECT_EQ(frames.U32(2), 1u);

    ASSERT_EQ(Set(CAP_XFERCOUNT, TWON_ONEVALUE, OneValue(TWTY_INT16, 0xFFFF)).rc, TWRC_SUCCESS);
    Reply count = Ask(CAP_XFERCOUNT, MSG_GETCURRENT);
    EXPECT_EQ(count.U32(2), 0x0000FFFFu) << "-1 comes back zero-extended";

    Reply support = Ask(ICAP_PIXELTYPE, MSG_QUERYSUPPORT);
    EXPECT_EQ(support.conType, TWON_ONEVALUE);
    EXPECT_EQ(support.allocated, 4u + 6);
    EXPECT_EQ(support.U16(0), TWTY_INT32) << "TWAIN defines the answer as a TW_INT32";
    EXPECT_EQ(support.U32(2), 0x1Fu);
    EXPECT_EQ(Ask(CAP_UICONTROLLABLE, MSG_QUERYSUPPORT).U32(2), 0x0Du);
    EXPECT_EQ(Ask(CAP_AUTOFEED, MSG_QUERYSUPPORT).U32(2), 0x0Fu);
}

TEST_F(CapabilityTest, MasksAndCodesForNewAndOldApplications) {
    struct Case {
        TW_UINT16 cap;
        TW_UINT16 msg;
        TW_UINT16 newCode;
    };
    const Case cases[] = {
        {CAP_UICONTROLLABLE, MSG_SET, TWCC_CAPBADOPERATION}, {CAP_AUTOFEED, MSG_RESET, TWCC_CAPBADOPERATION},
        {ICAP_PLANARCHUNKY, MSG_SET, TWCC_CAPBADOPERATION},  {CAP_AUTHOR, MSG_GET, TWCC_CAPUNSUPPORTED},
        {ICAP_PIXELTYPE, MSG_GETFIRST, TWCC_CAPUNSUPPORTED},
    };
    for (const Case& c : cases) {
        Reply r = Ask(c.cap, c.msg);
        EXPECT_EQ(r.rc, TWRC_FAILURE);
        EXPECT_EQ(r.code, c.newCode) << "cap 0x" << std::hex << c.cap << " msg 0x" << c.msg;
    }
    EXPECT_EQ(Set(CAP_FEEDERENABLED, TWON_RANGE, OneValue(TWTY_BOOL, 1)).code, TWCC_BADVALUE);

    Connect(1, 5);
    for (const Case& c : cases)
        EXPECT_EQ(Ask(c.cap, c.msg).code, TWCC_BADCAP) << "protocol 1.5, cap 0x" << std::hex << c.cap;
    EXPECT_EQ(Set(CAP_FEEDERENABLED, TWON_RANGE, OneValue(TWTY_BOOL, 1)).code, TWCC_BADVALUE)
        << "codes below 13 stay as they are";
    Connect(1, 9);
    EXPECT_EQ(Ask(CAP_UICONTROLLABLE, MSG_SET).code, TWCC_CAPBADOPERATION);
}

TEST_F(CapabilityTest, EverySetEffectReachesTheWindowlessSettings) {
    Reply r = Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneFix(TWTY_FIX32, 600));
    EXPECT_EQ(r.rc, TWRC_SUCCESS);
    EXPECT_EQ(r.code, TWCC_SUCCESS);
    EXPECT_EQ(g_nTwainXResolution, 600);
    ASSERT_EQ(Set(ICAP_YRESOLUTION, TWON_ONEVALUE, OneFix(TWTY_FIX32, 600)).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_nTwainYResolution, 600);

    const std::pair<TW_UINT32, int> pixelTypes[] = {{TWPT_BW, 1}, {TWPT_GRAY, 8}, {TWPT_RGB, 24}};
    for (auto [type, bits] : pixelTypes) {
        ASSERT_EQ(Set(ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, type)).rc, TWRC_SUCCESS);
        EXPECT_EQ(g_nTwainPixelBits, bits) << "pixel type " << type;
    }

    ASSERT_EQ(Set(CAP_FEEDERENABLED, TWON_ONEVALUE, OneValue(TWTY_BOOL, 1)).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_nTwainScanSource, 1);
    ASSERT_EQ(Set(CAP_DUPLEXENABLED, TWON_ONEVALUE, OneValue(TWTY_BOOL, 1)).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_nTwainScanSource, 2);
    ASSERT_EQ(Set(CAP_DUPLEXENABLED, TWON_ONEVALUE, OneValue(TWTY_BOOL, 0)).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_nTwainScanSource, 1) << "duplex off leaves one side of the feeder";
    ASSERT_EQ(Set(CAP_FEEDERENABLED, TWON_ONEVALUE, OneValue(TWTY_BOOL, 0)).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_nTwainScanSource, 0);

    ASSERT_EQ(Set(ICAP_SUPPORTEDSIZES, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWSS_A3)).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_nTwainScanSize, TWSS_A3);

    ASSERT_EQ(Set(CAP_APPMODE, TWON_ONEVALUE, OneValue(TWTY_BOOL, 1)).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_bAppMode, 1);
    ASSERT_EQ(Set(CAP_APPMODE, TWON_ONEVALUE, OneValue(TWTY_BOOL, 0)).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_bAppMode, 0);
    ASSERT_EQ(Set(CAP_SKIPSCANADJUST, TWON_ONEVALUE, OneValue(TWTY_BOOL, 1)).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_bSkipScanAdjust, 1);

    // Without effect, but stored.
    ASSERT_EQ(Set(ICAP_XFERMECH, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWSX_FILE)).rc, TWRC_SUCCESS);
    EXPECT_EQ(Ask(ICAP_XFERMECH, MSG_GETCURRENT).U32(2), TWSX_FILE);
    Ask(ICAP_XFERMECH, MSG_RESET);
}

// A value the capability does not offer is refused, or for a number between offered ones the nearest is taken with
// TWRC_CHECKSTATUS; a RANGE takes what lies between its ends.
TEST_F(CapabilityTest, ValuesNotOfferedAreRefusedOrTakeTheNearestOffered) {
    Reply r = Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneFix(TWTY_FIX32, 400.7));
    EXPECT_EQ(r.rc, TWRC_CHECKSTATUS);
    EXPECT_EQ(r.code, TWCC_SUCCESS);
    EXPECT_EQ(g_nTwainXResolution, 300) << "400.7 dpi lies nearest 300";
    r = Ask(ICAP_XRESOLUTION, MSG_GET);
    EXPECT_EQ(r.U32(2), 5u) << "the list stays as it is";
    EXPECT_EQ(r.U32(6), 2u) << "CurrentIndex on 300";
    EXPECT_EQ(Set(ICAP_YRESOLUTION, TWON_ONEVALUE, OneFix(TWTY_FIX32, 1000)).rc, TWRC_CHECKSTATUS);
    EXPECT_EQ(g_nTwainYResolution, 1200);

    struct Refused {
        TW_UINT16 cap;
        std::vector<unsigned char> value;
        const char* what;
    };
    const Refused refused[] = {
        {ICAP_PIXELTYPE, OneValue(TWTY_UINT16, 77), "pixel type 77"},
        {ICAP_PIXELTYPE, OneValue(TWTY_UINT16, TWPT_CMYK), "CMYK"},
        {ICAP_XRESOLUTION, OneFix(TWTY_FIX32, 50), "below the lowest resolution"},
        {ICAP_XRESOLUTION, OneFix(TWTY_FIX32, 2400), "above the highest resolution"},
        {ICAP_SUPPORTEDSIZES, OneValue(TWTY_UINT16, 54), "a size not offered"},
        {CAP_XFERCOUNT, OneValue(TWTY_INT16, 0), "a count of 0"},
        {CAP_XFERCOUNT, OneValue(TWTY_INT16, 26), "a count above 25"},
        {ICAP_BRIGHTNESS, OneFix(TWTY_FIX32, 1001), "brightness above the range"},
        {ICAP_THRESHOLD, OneFix(TWTY_FIX32, -1), "threshold below the range"},
        {CAP_FEEDERENABLED, OneValue(TWTY_BOOL, 2), "a switch that is neither on nor off"},
    };
    for (const Refused& c : refused) {
        r = Set(c.cap, TWON_ONEVALUE, c.value);
        EXPECT_EQ(r.rc, TWRC_FAILURE) << c.what;
        EXPECT_EQ(r.code, TWCC_BADVALUE) << c.what;
    }
    EXPECT_EQ(Ask(ICAP_PIXELTYPE, MSG_GETCURRENT).U32(2), TWPT_RGB) << "a refused value is not stored";
    EXPECT_EQ(g_nTwainPixelBits, 24);
    EXPECT_EQ(g_nTwainScanSize, TWSS_A4);

    EXPECT_EQ(Set(ICAP_BRIGHTNESS, TWON_ONEVALUE, OneFix(TWTY_FIX32, 250)).rc, TWRC_SUCCESS);
    EXPECT_EQ(Set(CAP_XFERCOUNT, TWON_ONEVALUE, OneValue(TWTY_INT16, 0xFFFF)).rc, TWRC_SUCCESS) << "-1: every page";
    // The source does file transfers, so asking for them is not refused.
    EXPECT_EQ(Set(ICAP_XFERMECH, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWSX_FILE)).rc, TWRC_SUCCESS);
    Ask(ICAP_XFERMECH, MSG_RESET);
}

TEST_F(CapabilityTest, WrongItemTypesFailWithTheDesignsSideEffects) {
    g_nTwainScanSource = 1;
    Reply r = Set(CAP_FEEDERENABLED, TWON_ONEVALUE, OneValue(TWTY_UINT16, 1));
    EXPECT_EQ(r.rc, TWRC_FAILURE);
    EXPECT_EQ(r.code, TWCC_BADVALUE);
    EXPECT_EQ(g_nTwainScanSource, 0) << "a wrong-typed feeder switch means the flatbed";

    r = Set(ICAP_BITDEPTH, TWON_ONEVALUE, OneValue(TWTY_UINT32, 16));
    EXPECT_EQ(r.code, TWCC_BADVALUE);
    EXPECT_EQ(g_nTwainPixelBits, 16) << "the bit depth's 32-bit item is taken all the same";

    r = Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneValue(TWTY_UINT16, 300));
    EXPECT_EQ(r.code, TWCC_BADVALUE);
    EXPECT_EQ(Ask(ICAP_XRESOLUTION, MSG_GET).U32(6), 1u) << "nothing stored";
}

TEST_F(CapabilityTest, EnumerationSetTakesTheItemAtCurrentIndex) {
    auto enumeration = [](TW_UINT16 type, TW_UINT32 count, TW_UINT32 current, std::vector<TW_FIX32> items) {
        std::vector<unsigned char> bytes(14 + 4 * items.size());
        std::memcpy(bytes.data(), &type, 2);
        std::memcpy(bytes.data() + 2, &count, 4);
        std::memcpy(bytes.data() + 6, &current, 4);
        std::memcpy(bytes.data() + 14, items.data(), 4 * items.size());
        return bytes;
    };
    const std::vector<TW_FIX32> list = {Fix(75, 0), Fix(150, 0), Fix(300, 0)};
    Reply r = Set(ICAP_XRESOLUTION, TWON_ENUMERATION, enumeration(TWTY_FIX32, 3, 2, list));
    EXPECT_EQ(r.rc, TWRC_SUCCESS);
    EXPECT_EQ(r.code, TWCC_SUCCESS);
    EXPECT_EQ(g_nTwainXResolution, 300) << "converted and applied as a ONEVALUE";
    EXPECT_TRUE(SameFix(Ask(ICAP_XRESOLUTION, MSG_GETCURRENT).Fix(2), Fix(300, 0)));

    // A declared count beyond any capability's is refused before an item is read.
    for (const auto& bad : {enumeration(TWTY_FIX32, 3, 3, list), enumeration(TWTY_UINT16, 3, 0, list),
                            enumeration(TWTY_FIX32, 0x10001, 2, list), enumeration(TWTY_FIX32, ~0u, ~0u - 1, list)}) {
        r = Set(ICAP_XRESOLUTION, TWON_ENUMERATION, bad);
        EXPECT_EQ(r.rc, TWRC_FAILURE);
        EXPECT_EQ(r.code, TWCC_BADVALUE);
    }
    EXPECT_EQ(g_nTwainXResolution, 300) << "failed sets change nothing";
}

TEST_F(CapabilityTest, MalformedContainersAreRefusedWithBadValue) {
    TwainCall call{&m_app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, nullptr};
    EXPECT_EQ(m_handler.Handle(&call), TWRC_FAILURE);
    EXPECT_EQ(m_assistor->GetConditionCode(), TWCC_BADVALUE) << "no TW_CAPABILITY";

    TW_CAPABILITY cap{ICAP_BRIGHTNESS, TWON_ONEVALUE, nullptr};
    Reply r = Run(cap, MSG_SET);
    EXPECT_EQ(r.code, TWCC_BADVALUE) << "no container";

    // An unterminated TW_STR32 that ends with its container: nothing read past it, and not offered.
    std::vector<unsigned char> text(2 + 34, 'y');
    const TW_UINT16 type = TWTY_STR32;
    std::memcpy(text.data(), &type, 2);
    EXPECT_EQ(Set(ICAP_HALFTONES, TWON_ONEVALUE, text).code, TWCC_BADVALUE);
    Reply current = Ask(ICAP_HALFTONES, MSG_GETCURRENT);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(current.bytes.data() + 2)), "FLOYD/STEINBURG");

    EXPECT_EQ(Set(ICAP_BRIGHTNESS, TWON_ARRAY, OneFix(TWTY_FIX32, 1)).code, TWCC_BADVALUE);
    // A one-byte block of a kind that sets nothing ends its page: not even its item type is read.
    EXPECT_EQ(Set(ICAP_BRIGHTNESS, 0x7777, {0}).code, TWCC_BADVALUE);
    EXPECT_EQ(Set(ICAP_BRIGHTNESS, TWON_RANGE, {0}).code, TWCC_BADVALUE);
}

// Applications hand in containers from anywhere: their stack, a mapped page, another allocator. Nothing but the
// container's own declaration may bound what is read; asking the allocator about such a block faults.
TEST_F(CapabilityTest, ContainersOutsideTheHeapAreReadAsTheyDeclareThemselves) {
    Reply r = Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneFix(TWTY_FIX32, 600), GuardedPages::AtStart);
    EXPECT_EQ(r.rc, TWRC_SUCCESS);
    EXPECT_EQ(g_nTwainXResolution, 600);

    TW_ONEVALUE onStack{TWTY_UINT16, TWPT_GRAY};
    TW_CAPABILITY cap{ICAP_PIXELTYPE, TWON_ONEVALUE, &onStack};
    EXPECT_EQ(Run(cap, MSG_SET).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_nTwainPixelBits, 8);

    // A frame, the largest numeric item, ending with its page.
    std::vector<unsigned char> frame(2 + 16);
    const TW_UINT16 type = TWTY_FRAME;
    std::memcpy(frame.data(), &type, 2);
    const TW_FIX32 edges[4] = {Fix(1, 0), Fix(2, 0), Fix(3, 0), Fix(4, 0)};
    std::memcpy(frame.data() + 2, edges, sizeof edges);
    EXPECT_EQ(Set(ICAP_FRAMES, TWON_ONEVALUE, frame).rc, TWRC_SUCCESS);
    EXPECT_TRUE(SameFix(Ask(ICAP_FRAMES, MSG_GETCURRENT).Fix(2 + 12), Fix(4, 0)));
}

TEST_F(CapabilityTest, ResetPutsTheDefaultBack) {
    ASSERT_EQ(Set(ICAP_BRIGHTNESS, TWON_ONEVALUE, OneFix(TWTY_FIX32, 500)).rc, TWRC_SUCCESS);
    EXPECT_TRUE(SameFix(Ask(ICAP_BRIGHTNESS, MSG_GET).Fix(18), Fix(500, 0)));
    Reply r = Ask(ICAP_BRIGHTNESS, MSG_RESET);
    ASSERT_EQ(r.rc, TWRC_SUCCESS);
    EXPECT_EQ(r.conType, TWON_ONEVALUE);
    EXPECT_TRUE(SameFix(r.Fix(2), Fix(0, 0)));
    EXPECT_TRUE(SameFix(Ask(ICAP_BRIGHTNESS, MSG_GETCURRENT).Fix(2), Fix(0, 0)));
    EXPECT_TRUE(SameFix(Ask(ICAP_BRIGHTNESS, MSG_GETDEFAULT).Fix(2), Fix(0, 0)));
}

// A reset is a set of the default: the window-less scan and the modes follow it as they follow a set.
TEST_F(CapabilityTest, ResetTakesBackTheEffectsOfASet) {
    ASSERT_EQ(Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneFix(TWTY_FIX32, 600)).rc, TWRC_SUCCESS);
    ASSERT_EQ(Set(ICAP_YRESOLUTION, TWON_ONEVALUE, OneFix(TWTY_FIX32, 600)).rc, TWRC_SUCCESS);
    ASSERT_EQ(Set(ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_BW)).rc, TWRC_SUCCESS);
    ASSERT_EQ(Set(ICAP_SUPPORTEDSIZES, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWSS_A3)).rc, TWRC_SUCCESS);
    ASSERT_EQ(Set(CAP_APPMODE, TWON_ONEVALUE, OneValue(TWTY_BOOL, 1)).rc, TWRC_SUCCESS);
    ASSERT_EQ(Set(CAP_SKIPSCANADJUST, TWON_ONEVALUE, OneValue(TWTY_BOOL, 1)).rc, TWRC_SUCCESS);
    ASSERT_EQ(Set(CAP_FEEDERENABLED, TWON_ONEVALUE, OneValue(TWTY_BOOL, 0)).rc, TWRC_SUCCESS);

    for (TW_UINT16 cap :
         std::initializer_list<TW_UINT16>{ICAP_XRESOLUTION, ICAP_YRESOLUTION, ICAP_PIXELTYPE, ICAP_SUPPORTEDSIZES,
                                          CAP_APPMODE, CAP_SKIPSCANADJUST, CAP_FEEDERENABLED})
        ASSERT_EQ(Ask(cap, MSG_RESET).rc, TWRC_SUCCESS) << "cap " << cap;
    EXPECT_EQ(g_nTwainXResolution, 150) << "the window-less scan would still run at 600 dpi";
    EXPECT_EQ(g_nTwainYResolution, 150);
    EXPECT_EQ(g_nTwainPixelBits, 24);
    EXPECT_EQ(g_nTwainScanSize, TWSS_A4);
    EXPECT_EQ(g_bAppMode, 0) << "app mode stayed on";
    EXPECT_EQ(g_bSkipScanAdjust, 0);
    EXPECT_EQ(g_nTwainScanSource, 0) << "the default feeder switch is off: the flatbed";
    ASSERT_EQ(Ask(CAP_DUPLEXENABLED, MSG_RESET).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_nTwainScanSource, 0) << "a reset of the duplex switch chose the feeder the application turned off";

    // The duplex switch's reset leaves one side of the feeder when the application asked for both.
    ASSERT_EQ(Set(CAP_DUPLEXENABLED, TWON_ONEVALUE, OneValue(TWTY_BOOL, 1)).rc, TWRC_SUCCESS);
    ASSERT_EQ(Ask(CAP_DUPLEXENABLED, MSG_RESET).rc, TWRC_SUCCESS);
    EXPECT_EQ(g_nTwainScanSource, 1);
}

// What the feeder and duplex switches read, by every form of the question, is the source the next window-less scan
// takes.
TEST_F(CapabilityTest, FeederAndDuplexSwitchesReadAsTheWindowlessScanTakesThem) {
    const struct {
        int source;
        TW_UINT32 feeder;
        TW_UINT32 duplex;
    } cases[] = {{0, 0, 0}, {1, 1, 0}, {2, 1, 1}};
    for (const auto& c : cases) {
        g_nTwainScanSource = c.source;
        for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT}) {
            EXPECT_EQ(Ask(CAP_FEEDERENABLED, msg).U32(2), c.feeder) << "source " << c.source << " msg " << msg;
            EXPECT_EQ(Ask(CAP_DUPLEXENABLED, msg).U32(2), c.duplex) << "source " << c.source << " msg " << msg;
        }
    }
    EXPECT_EQ(Ask(CAP_FEEDERENABLED, MSG_GETDEFAULT).U32(2), 0u) << "the default is the flatbed";
    EXPECT_EQ(Ask(CAP_DUPLEXENABLED, MSG_GETDEFAULT).U32(2), 0u);
}

TEST_F(CapabilityTest, BitDepthFollowsThePixelType) {
    const std::pair<TW_UINT32, TW_UINT16> pairs[] = {{TWPT_RGB, 24}, {TWPT_BW, 1}, {TWPT_GRAY, 8}};
    for (auto [type, bits] : pairs) {
        ASSERT_EQ(Set(ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, type)).rc, TWRC_SUCCESS);
        Reply r = Ask(ICAP_BITDEPTH, MSG_GET);
        ASSERT_EQ(r.rc, TWRC_SUCCESS);
        EXPECT_EQ(r.U32(2), 1u);
        EXPECT_EQ(r.U16(14), bits) << "pixel type " << type;
        EXPECT_EQ(r.U32(6), 0u);
        EXPECT_EQ(Ask(ICAP_BITDEPTH, MSG_GETCURRENT).U32(2), bits);
    }
}

TEST_F(CapabilityTest, ValuesOutliveCloseAndCallsBetweenFindNoRow) {
    ASSERT_EQ(Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneFix(TWTY_FIX32, 600)).rc, TWRC_SUCCESS);
    ASSERT_EQ(Set(CAP_FEEDERENABLED, TWON_ONEVALUE, OneValue(TWTY_BOOL, 0)).rc, TWRC_SUCCESS);
    FreeCapabilityTable();

    Reply r = Ask(ICAP_XRESOLUTION, MSG_GET);
    EXPECT_EQ(r.rc, TWRC_FAILURE);
    EXPECT_EQ(r.code, TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneFix(TWTY_FIX32, 75)).code, TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(Ask(CAP_SUPPORTEDCAPS, MSG_QUERYSUPPORT).code, TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(g_nTwainXResolution, 600) << "the window-less settings stay";
    EXPECT_FALSE(GetFeederEnabled()) << "the end-of-transfer handler still reads the value";

    InitCapabilityTable();
    EXPECT_TRUE(SameFix(Ask(ICAP_XRESOLUTION, MSG_GETCURRENT).Fix(2), Fix(600, 0)));
    EXPECT_EQ(Ask(CAP_FEEDERENABLED, MSG_GETCURRENT).U32(2), 0u);
    EXPECT_FLOAT_EQ(GetCurrentXResolution(), 600.0f);
}

TEST_F(CapabilityTest, FeederLoadedIsRefreshedByGet) {
    g_bFeederStatusKnown = TRUE; // as a feeder job leaves it
    g_bPaperInFeeder = TRUE;
    EXPECT_EQ(Ask(CAP_FEEDERLOADED, MSG_GET).U32(2), 1u);
    g_bPaperInFeeder = FALSE;
    EXPECT_EQ(Ask(CAP_FEEDERLOADED, MSG_GET).U32(2), 0u);
}

TEST_F(CapabilityTest, ImageLayoutFrameBecomesTheCurrentFrame) {
    TW_IMAGELAYOUT layout{};
    layout.Frame = {Fix(0, 32768), Fix(1, 0), Fix(4, 0), Fix(6, 16384)};
    EXPECT_EQ(SetImageLayoutFrame(&layout), TWRC_SUCCESS);
    Reply r = Ask(ICAP_FRAMES, MSG_GETCURRENT);
    EXPECT_TRUE(SameFix(r.Fix(2), layout.Frame.Left));
    EXPECT_TRUE(SameFix(r.Fix(6), layout.Frame.Top));
    EXPECT_TRUE(SameFix(r.Fix(10), layout.Frame.Right));
    EXPECT_TRUE(SameFix(r.Fix(14), layout.Frame.Bottom));
}

class CloseOnActivateWindow : public CScanWindow {
public:
    void ScanWithoutUI() override {}
    void SetBusy(BOOL) override {}
    void SetCloseOnActivate(BOOL close) override { closeOnActivate = close; }
    void PumpMessages() override {}
    BOOL closeOnActivate = FALSE;
};

TEST_F(CapabilityTest, PhotoshopAskingThePixelFlavorMarksTheWindowToCloseOnActivation) {
    CloseOnActivateWindow window;
    g_pScanWindow = &window;
    Ask(ICAP_PIXELFLAVOR, MSG_GET);
    EXPECT_FALSE(window.closeOnActivate) << "other hosts";
    g_bHostPhotoshop = TRUE;
    Ask(ICAP_PIXELTYPE, MSG_GET);
    EXPECT_FALSE(window.closeOnActivate) << "other capabilities";
    Ask(ICAP_PIXELFLAVOR, MSG_GET);
    EXPECT_TRUE(window.closeOnActivate);
    g_bHostPhotoshop = FALSE;
    g_pScanWindow = nullptr;
    Ask(ICAP_PIXELFLAVOR, MSG_GET); // without a window nothing is touched
}

TEST_F(CapabilityTest, WindowlessResolutionStartsFromTheTablesStorage) {
    g_nTwainXResolution = 999;
    g_nTwainYResolution = 999;
    CDsAssistor another;
    EXPECT_EQ(g_nTwainXResolution, 150) << "the current ICAP_XRESOLUTION, not the 300 of the variable's own start";
    EXPECT_EQ(g_nTwainYResolution, 150);
}

TEST(Fix32, RoundTripsAreExactAndSymmetric) {
    struct Case {
        double value;
        TW_INT16 whole;
        TW_UINT16 frac;
    };
    const Case cases[] = {{0.5, 0, 32768}, {8.5, 8, 32768},   {11.69, 11, 45220},
                          {1200, 1200, 0}, {-1000, -1000, 0}, {-0.25, -1, 49152}};
    for (const Case& c : cases) {
        const TW_FIX32 fix = FloatToFix32(static_cast<float>(c.value));
        EXPECT_EQ(fix.Whole, c.whole) << c.value;
        EXPECT_EQ(fix.Frac, c.frac) << c.value;
        const float back = Fix32ToFloat(fix);
        EXPECT_NEAR(back, c.value, 1.0 / 65536) << c.value;
        EXPECT_TRUE(SameFix(FloatToFix32(back), fix)) << "a second trip changes nothing, " << c.value;
    }
    EXPECT_EQ(CapItemSize(TWTY_UINT8), 1u);
    EXPECT_EQ(CapItemSize(TWTY_BOOL), 2u);
    EXPECT_EQ(CapItemSize(TWTY_FIX32), 4u);
    EXPECT_EQ(CapItemSize(TWTY_FRAME), 16u);
    EXPECT_EQ(CapItemSize(TWTY_STR255), 34u);
}

} // namespace
