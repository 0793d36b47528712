// Streams on global memory and COM start-up.
#include "platform/gdiplus/objidl.h"

#include "platform/base/windows.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

LARGE_INTEGER Offset(LONGLONG value) {
    LARGE_INTEGER offset{};
    offset.QuadPart = value;
    return offset;
}

TEST(HGlobalStream, ReadsBackWhatWasWrittenAndGrowsPastItsEnd) {
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    std::vector<BYTE> data(300000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>(i * 7);
    ULONG done = 0;
    ASSERT_EQ(stream->Write(data.data(), 100000, &done), S_OK);
    ASSERT_EQ(done, 100000u);
    ASSERT_EQ(stream->Write(data.data() + 100000, 200000, &done), S_OK);

    ULARGE_INTEGER position{};
    ASSERT_EQ(stream->Seek(Offset(0), STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 300000u);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 300000u);

    std::vector<BYTE> back(300000);
    ASSERT_EQ(stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(stream->Read(back.data(), 300000, &done), S_OK);
    EXPECT_EQ(done, 300000u);
    EXPECT_EQ(back, data);

    // Reading at the end gives nothing; a seek past the end and a write there leave a zero-filled gap.
    ASSERT_EQ(stream->Read(back.data(), 10, &done), S_OK);
    EXPECT_EQ(done, 0u);
    ASSERT_EQ(stream->Seek(Offset(10), STREAM_SEEK_END, nullptr), S_OK);
    BYTE one = 0xAB;
    ASSERT_EQ(stream->Write(&one, 1, &done), S_OK);
    ASSERT_EQ(stream->Seek(Offset(-11), STREAM_SEEK_END, nullptr), S_OK);
    BYTE tail[11] = {};
    ASSERT_EQ(stream->Read(tail, 11, &done), S_OK);
    EXPECT_EQ(done, 11u);
    EXPECT_EQ(tail[0], 0);
    EXPECT_EQ(tail[10], 0xAB);
    EXPECT_NE(stream->Seek(Offset(-1), STREAM_SEEK_SET, nullptr), S_OK) << "a seek before the start must fail";
    EXPECT_EQ(stream->Release(), 0u);
}

TEST(HGlobalStream, KeepsOneHandleThatTheCallerFreesAfterRelease) {
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, FALSE, &stream), S_OK);
    HGLOBAL before = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(stream, &before), S_OK);
    ASSERT_NE(before, nullptr);
    std::vector<BYTE> page(5u << 20, 0x5A);
    ULONG done = 0;
    ASSERT_EQ(stream->Write(page.data(), static_cast<ULONG>(page.size()), &done), S_OK);
    HGLOBAL after = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(stream, &after), S_OK);
    EXPECT_EQ(before, after) << "the handle taken at creation must stay the stream's handle as it grows";
    EXPECT_EQ(stream->Release(), 0u);
    EXPECT_EQ(GlobalFree(before), nullptr);
}

TEST(HGlobalStream, StartsWithTheBytesOfAGivenHandle) {
    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, 4);
    ASSERT_NE(global, nullptr);
    std::memcpy(GlobalLock(global), "BM12", 4);
    GlobalUnlock(global);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(global, TRUE, &stream), S_OK);
    char text[5] = {};
    ULONG done = 0;
    ASSERT_EQ(stream->Read(text, 4, &done), S_OK);
    EXPECT_STREQ(text, "BM12");
    IStream* same = nullptr;
    ASSERT_EQ(stream->QueryInterface(IID_IStream, reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(same, stream);
    EXPECT_EQ(same->Release(), 1u);
    EXPECT_EQ(stream->Release(), 0u); // frees the handle too (delete on release)
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, FALSE, nullptr), E_INVALIDARG);
}

TEST(ComApartment, FirstInitialisationAnswersOkAndLaterOnesFalse) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
}

} // namespace
