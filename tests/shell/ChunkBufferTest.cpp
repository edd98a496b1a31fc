#include "shell/ChunkBuffer.h"

#include <gtest/gtest.h>

TEST(ChunkBuffer, ValuesAreLittleEndianAndReadBack) {
  ChunkBuffer c;
  c.Put<std::int32_t>(0x70666674);
  c.Put<double>(-2.5);
  c.PutBE<std::int32_t>(0x43636E4B);
  const std::uint8_t expectStart[] = {0x74, 0x66, 0x66, 0x70};
  ASSERT_EQ(c.Size(), 16);
  EXPECT_EQ(0, std::memcmp(c.Data(), expectStart, 4));
  EXPECT_EQ(0, std::memcmp(c.Data() + 12, "CcnK", 4));

  std::int32_t i = 0;
  double d = 0;
  std::int32_t be = 0;
  int pos = c.Get(&i, 0);
  pos = c.Get(&d, pos);
  pos = c.GetBE(&be, pos);
  EXPECT_EQ(pos, 16);
  EXPECT_EQ(i, 0x70666674);
  EXPECT_EQ(d, -2.5);
  EXPECT_EQ(be, 0x43636E4B);
}

TEST(ChunkBuffer, FailedReadsLeaveTargetUnchanged) {
  ChunkBuffer c;
  c.Put<std::int16_t>(7);
  std::int32_t v = 42;
  EXPECT_EQ(c.Get(&v, 0), -1);   // passes the end
  EXPECT_EQ(c.Get(&v, -1), -1);  // negative position
  EXPECT_EQ(c.Get(&v, 2), -1);   // at the end
  EXPECT_EQ(v, 42);
  std::int16_t s = 0;
  EXPECT_EQ(c.Get(&s, 0), 2);
  EXPECT_EQ(s, 7);
}

TEST(ChunkBuffer, StringsAreLengthPrefixedAndFailBeyondTheEnd) {
  ChunkBuffer c;
  c.PutStr("PAD: Texture");
  c.PutStr("");
  std::string a = "x", b = "y";
  int pos = c.GetStr(&a, 0);
  pos = c.GetStr(&b, pos);
  EXPECT_EQ(pos, c.Size());
  EXPECT_EQ(a, "PAD: Texture");
  EXPECT_EQ(b, "");

  // A negative length reads as the empty string.
  ChunkBuffer n;
  n.Put<std::int32_t>(-5);
  std::string t = "keep";
  EXPECT_EQ(n.GetStr(&t, 0), 4);
  EXPECT_EQ(t, "");

  // A length beyond the data leaves the target alone and positions every later read past the end.
  ChunkBuffer cut;
  cut.Put<std::int32_t>(100);
  cut.PutBytes("abc", 3);
  std::string u = "keep";
  const int after = cut.GetStr(&u, 0);
  EXPECT_GT(after, cut.Size());
  EXPECT_EQ(u, "keep");
  std::uint8_t byte = 0;
  EXPECT_EQ(cut.Get(&byte, after), -1);

  // A huge length does not overflow into a negative or small position.
  ChunkBuffer huge;
  huge.Put<std::int32_t>(0x7FFFFFFF);
  EXPECT_GT(huge.GetStr(&u, 0), huge.Size());
}
