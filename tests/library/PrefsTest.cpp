#include <gtest/gtest.h>

#include "common/ByteIO.h"
#include "library/CPrefs.h"
#include "library/CVSTFolders.h"

TEST(PrefsTest, KeysKeepIntsAndBytesInTheirSlot) {
    CPrefs p;
    EXPECT_FALSE(p.Has(35));
    EXPECT_EQ(p.GetInt(35), 0);
    p.SetInt(35, 9); // sections 0 and 3 pinned
    EXPECT_TRUE(p.Has(35));
    EXPECT_EQ(p.GetInt(35), 9);

    // A byte setting replaces only the lowest byte of its slot.
    p.SetInt(40, 0x12345678);
    p.SetByte(40, 0xAB);
    EXPECT_EQ(p.GetByte(40), 0xAB);
    EXPECT_EQ(static_cast<uint32_t>(p.GetInt(40)), 0x123456ABu);
    p.SetInt(1, -1);
    EXPECT_EQ(p.GetByte(1), 0xFF);

    // Keys outside the table are never present and never written.
    p.SetInt(2048, 5);
    p.SetByte(-1, 5);
    EXPECT_FALSE(p.Has(2048));
    EXPECT_FALSE(p.Has(-1));
    EXPECT_EQ(p.GetInt(2048), 0);

    p.SetText(3, std::string(600, 'x'));
    EXPECT_TRUE(p.HasText(3));
    EXPECT_EQ(p.GetText(3).size(), 511u);
    p.SetText(20, "no");
    EXPECT_FALSE(p.HasText(20));

    p.Clear();
    EXPECT_FALSE(p.Has(35));
    EXPECT_FALSE(p.HasText(3));
    EXPECT_EQ(p.GetInt(40), 0);
}

TEST(PrefsTest, BlockLayoutAndRoundTrip) {
    CPrefs p;
    p.SetInt(101, 3);
    p.SetByte(22, 1);
    p.SetText(19, "last");
    ByteWriter w;
    p.WriteBlock(w);
    ASSERT_EQ(w.Size(), 20504u);
    const auto& b = w.Data();
    EXPECT_EQ(LoadLE32(&b[0]), 1u);
    EXPECT_EQ(b[4 + 101], 1);
    EXPECT_EQ(b[4 + 22], 1);
    EXPECT_EQ(b[4 + 23], 0);
    EXPECT_EQ(LoadLE32(&b[2052 + 4 * 101]), 3u);
    EXPECT_EQ(b[10244 + 19], 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[10264 + 19 * 512])), "last");

    // The version word is ignored on reading.
    StoreLE32(w.Data().data(), 7);
    CPrefs q;
    q.SetInt(5, 5);
    ByteReader r(w.Data());
    ASSERT_TRUE(q.ReadBlock(r));
    EXPECT_EQ(r.Left(), 0u);
    EXPECT_FALSE(q.Has(5));
    EXPECT_EQ(q.GetInt(101), 3);
    EXPECT_EQ(q.GetByte(22), 1);
    EXPECT_EQ(q.GetText(19), "last");

    // A block cut short fails and leaves an empty store.
    ByteReader cut(w.Data().data(), w.Size() - 1);
    EXPECT_FALSE(q.ReadBlock(cut));
    EXPECT_FALSE(q.Has(101));
}

TEST(PrefsTest, VstFolderListAndBlock) {
    CVSTFolders v;
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(v.Add("/vst/" + std::to_string(i)));
    EXPECT_FALSE(v.Add("/one/too/many"));
    EXPECT_TRUE(v.Remove(0));
    EXPECT_FALSE(v.Remove(19));
    EXPECT_EQ(v.Get(0), "/vst/1");
    EXPECT_EQ(v.Get(19), "");
    v.Add(std::string(300, 'a'));
    EXPECT_EQ(v.Get(19).size(), 255u);

    ByteWriter w;
    v.WriteBlock(w);
    ASSERT_EQ(w.Size(), 5128u);
    EXPECT_EQ(LoadLE32(&w.Data()[4]), 20u);
    CVSTFolders back;
    ByteReader r(w.Data());
    ASSERT_TRUE(back.ReadBlock(r));
    EXPECT_EQ(back.Folders(), v.Folders());

    // A count beyond 20 is bounded by the fields there; another version takes nothing.
    StoreLE32(&w.Data()[4], 1000000);
    ByteReader r2(w.Data());
    ASSERT_TRUE(back.ReadBlock(r2));
    EXPECT_EQ(back.Count(), 20);
    StoreLE32(&w.Data()[0], 1);
    ByteReader r3(w.Data());
    ASSERT_TRUE(back.ReadBlock(r3));
    EXPECT_EQ(back.Count(), 0);
}
