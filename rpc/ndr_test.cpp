#include "rpc/ndr.h"

#include <gtest/gtest.h>

#include "rpc/test_util.h"

namespace rpc {
namespace {

// Stub of a request: [in,string] char* "hello", [in] long 21, as a Windows-style client marshals it.
TEST(Ndr, StringThenLongMatchesCapturedStub) {
  NdrWriter w;
  w.String("hello");
  w.Long(21);
  EXPECT_EQ(Hex(w.bytes()), "06000000000000000600000068656c6c6f00000015000000");

  // impacket pads with 0xbf instead of 0x00; a reader must not care.
  auto stub = Unhex("06000000000000000600000068656c6c6f00bfbf2a000000");
  NdrReader r(stub);
  EXPECT_EQ(r.String(), "hello");
  EXPECT_EQ(r.Long(), 42u);
  EXPECT_EQ(r.remaining(), 0u);
}

TEST(Ndr, LongThenConformantVaryingArrayMatchesCapturedStub) {
  NdrWriter w;
  w.Long(5);
  w.ConformantVaryingBytes("ddddd", 5);
  EXPECT_EQ(Hex(w.bytes()), "05000000050000000000000005000000" "6464646464");
  NdrReader r(w.bytes());
  EXPECT_EQ(r.Long(), 5u);
  auto v = r.ConformantVaryingBytes(5);
  EXPECT_EQ(std::string(v.begin(), v.end()), "ddddd");
}

// Response of opnum 3: [out] {long; char[1001]}, [out] {long; long}, small 9.
// The small sits right after the second structure, aligned only to itself.
TEST(Ndr, ErrorRecordFileTimeAndSmallMatchCapturedStub) {
  NdrWriter w;
  w.Long(4);
  w.FixedChars(std::string(1001, 'Z'), 1001);
  w.FileTime(0x89abcdef, 0x01234567);
  w.Small(9);
  ASSERT_EQ(w.size(), 1017u);
  std::string expected = "04000000" + std::string(2002, '5');
  for (std::size_t i = 8; i < expected.size(); i += 2) expected[i + 1] = 'a';
  expected += "000000" "efcdab8967452301" "09";
  EXPECT_EQ(Hex(w.bytes()), expected);

  NdrReader r(w.bytes());
  EXPECT_EQ(r.Long(), 4u);
  EXPECT_EQ(r.FixedChars(1001), std::string(1001, 'Z'));
  uint32_t lo, hi;
  r.FileTime(&lo, &hi);
  EXPECT_EQ(lo, 0x89abcdefu);
  EXPECT_EQ(hi, 0x01234567u);
  EXPECT_EQ(r.Small(), 9);
}

TEST(Ndr, MalformedInputIsAnErrorNotACrash) {
  struct Case {
    const char* name;
    const char* hex;
  } cases[] = {
      {"truncated header of a string", "0600000000000000"},
      {"actual count above maximum", "02000000000000000300000061620000"},
      {"nonzero offset", "03000000010000000200000061620000"},
      {"missing terminator", "020000000000000002000000616200"},
      {"length beyond the data", "ffff0000000000ffff00000061"},
      {"zero-length string", "000000000000000000000000"},
  };
  for (const Case& c : cases) {
    auto stub = Unhex(c.hex);
    NdrReader r(stub);
    EXPECT_THROW(r.String(), NdrError) << c.name;
  }
}

TEST(Ndr, LimitsApplyToStringsAndArrays) {
  NdrWriter w;
  w.String(std::string(100, 'x'));
  NdrLimits small;
  small.max_string = 50;
  NdrReader r(w.bytes(), small);
  EXPECT_THROW(r.String(), NdrError);

  NdrWriter a;
  a.ConformantVaryingBytes("abcdef", 6);
  NdrReader ra(a.bytes());
  EXPECT_THROW(ra.ConformantVaryingBytes(4), NdrError);  // more than the declared buffer
}

TEST(Ndr, StringRoundTripKeepsBytesAndStopsAtNul) {
  for (std::string s : {std::string(), std::string("\xB0\xA1\xB3\xAA"), std::string(5000, 'q')}) {
    NdrWriter w;
    w.Small(1);  // misalign on purpose
    w.String(s);
    NdrReader r(w.bytes());
    r.Small();
    EXPECT_EQ(r.String(), s);
  }
}

}  // namespace
}  // namespace rpc
