#include "host/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/host/host_test_support.h"

namespace {

using tessary::test::parseJson;

TEST(JsonWriter, EscapesEveryStringIntoValidJson) {
  const std::string hostile = std::string("quote\" back\\ nl\n tab\t cr\r bell\x07 nul") +
                              std::string(1, '\0') + " del\x7f end";
  const std::string escaped = JsonWriter::escape(hostile);
  EXPECT_EQ(escaped,
            "\"quote\\\" back\\\\ nl\\n tab\\t cr\\r bell\\u0007 nul\\u0000 del\\u007f end\"");
  const auto back = parseJson(escaped);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->get<std::string>(), hostile);

  // Valid UTF-8 passes unchanged; each invalid byte becomes U+FFFD.
  EXPECT_EQ(JsonWriter::escape("\xE2\x82\xAC \xF0\x9F\x98\x80"),
            "\"\xE2\x82\xAC \xF0\x9F\x98\x80\"");
  EXPECT_EQ(JsonWriter::escape("a\xFF"
                               "b\xC3"),
            "\"a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonWriter::escape("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");  // overlong
  EXPECT_EQ(JsonWriter::escape("\xED\xA0\x80"),
            "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");  // surrogate
}

TEST(JsonWriter, AnyBytesEscapeIntoTextAStrictReaderAccepts) {
  // Every string of two bytes, alone and after the start of a cut three-byte sequence.
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
      ASSERT_TRUE(parseJson(JsonWriter::escape(bytes))) << first << " " << second;
      const std::string cut = "\xE2\x82" + bytes;
      ASSERT_TRUE(parseJson(JsonWriter::escape(cut))) << first << " " << second;
    }
  }
}

TEST(JsonWriter, NumbersRoundTripAndNonFiniteRealsAreStrings) {
  JsonWriter out;
  out.beginArray()
      .real(std::numeric_limits<double>::quiet_NaN())
      .real(std::numeric_limits<double>::infinity())
      .real(-std::numeric_limits<float>::infinity())
      .real(0.1)
      .real(0.7f)
      .real(316.0f)
      .real(-0.0)
      .integer(INT64_MIN)
      .unsignedInteger(UINT64_MAX)
      .endArray();
  EXPECT_EQ(out.str(),
            "[\"nan\",\"inf\",\"-inf\",0.1,0.7,316,-0,-9223372036854775808,18446744073709551615]");
}

TEST(JsonWriter, PlacesCommasInNestedContainers) {
  JsonWriter out;
  out.beginObject();
  out.key("a").beginArray().endArray();
  out.key("b").beginObject().key("c").null().key("d").boolean(true).endObject();
  out.key("e").beginArray().beginArray().integer(1).endArray().string("x").endArray();
  out.endObject();
  EXPECT_EQ(out.str(), R"({"a":[],"b":{"c":null,"d":true},"e":[[1],"x"]})");
  EXPECT_TRUE(parseJson(out.str()));
}

}  // namespace
