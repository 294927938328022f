#include "platform/foundation/property_list.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <csignal>
#include <filesystem>

#include "build_paths.h"
#include "platform/foundation/file_manager.h"
#include "tests/support/test_environment.h"

namespace {

using namespace std::string_literals;
using property_list::parse;
using property_list::writeXML;

constexpr const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";

std::string plistXML(const std::string& body) {
  return kHeader + body + "</plist>\n";
}

std::string corpus(const std::string& name) {
  return file_io::readAll(std::string(tessary::build::kPlistCorpusDir) + "/" + name).value_or("");
}

id integer(int64_t v) {
  return NSNumber::numberWithInteger(v);
}
id real(double v) {
  return NSNumber::numberWithDouble(v);
}
id boolean(bool v) {
  return NSNumber::numberWithBool(v);
}
std::shared_ptr<NSArray> array(std::vector<id> objects) {
  return std::make_shared<NSArray>(std::move(objects));
}
std::shared_ptr<NSDictionary> dict(NSDictionary::Storage entries) {
  return std::make_shared<NSDictionary>(std::move(entries));
}

// The value of <tag>text</tag> as a whole file.
id scalar(const std::string& tag, const std::string& text) {
  return parse(plistXML("<" + tag + ">" + text + "</" + tag + ">\n"));
}

::testing::AssertionResult same(const id& expected, const id& actual) {
  if (!expected || !actual) {
    if (!expected && !actual) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (expected ? "got nothing" : "expected nothing");
  }
  if (property_list::identical(*expected, *actual)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << writeXML(*expected).value_or("?") << "got "
                                       << writeXML(*actual).value_or("?");
}

std::string bigEndian(uint64_t value, int width) {
  std::string out;
  for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
    out += static_cast<char>(value >> shift);
  return out;
}

// A binary property list of the given encoded objects, with 1-byte refs and offsets.
std::string bplist(const std::vector<std::string>& objects, uint64_t top = 0) {
  std::string out = "bplist00";
  std::string table;
  for (const auto& object : objects) {
    table += bigEndian(out.size(), 1);
    out += object;
  }
  const uint64_t tableOffset = out.size();
  out += table;
  out += std::string(6, '\0') + '\x01' + '\x01';
  return out + bigEndian(objects.size(), 8) + bigEndian(top, 8) + bigEndian(tableOffset, 8);
}

// Overwrites one of the trailer's 8-byte fields: 8 count, 16 top, 24 table offset.
std::string withTrailerField(std::string file, size_t field, uint64_t value) {
  file.replace(file.size() - 32 + field, 8, bigEndian(value, 8));
  return file;
}

TEST(PropertyListWriter, WritesThePlatformsXMLExactly) {
  NSDictionary::Storage nested;
  nested["list"] = array({integer(-7), boolean(false), NSData::dataWithBytes("\x01\x02\x03")});
  NSDictionary::Storage root;
  root["b"] = NSStr("x < y > z & \"q\" 'a'");
  root["B"] = integer(42);
  root["a"] = real(3.0);
  root["Empty"] = dict({});
  root["None"] = array({});
  root["Nested"] = dict(std::move(nested));
  root["When"] = NSDate::dateWithTimeIntervalSinceReferenceDate(0);
  root["Yes"] = boolean(true);
  root["Big"] = NSNumber::numberWithUnsignedInteger(UINT64_MAX);
  // Keys go in UTF-16 code-unit order: uppercase before lowercase, and a character past
  // U+FFFF (a surrogate pair) before U+FF21.
  root["\xef\xbc\xa1"] = NSStr("fullwidth A");
  root["\xf0\x9f\x92\xb6"] = NSStr("banknote");

  EXPECT_EQ(writeXML(*dict(std::move(root))),
            plistXML("<dict>\n"
                     "\t<key>B</key>\n\t<integer>42</integer>\n"
                     "\t<key>Big</key>\n\t<integer>18446744073709551615</integer>\n"
                     "\t<key>Empty</key>\n\t<dict/>\n"
                     "\t<key>Nested</key>\n\t<dict>\n"
                     "\t\t<key>list</key>\n\t\t<array>\n"
                     "\t\t\t<integer>-7</integer>\n\t\t\t<false/>\n"
                     "\t\t\t<data>\n\t\t\tAQID\n\t\t\t</data>\n"
                     "\t\t</array>\n\t</dict>\n"
                     "\t<key>None</key>\n\t<array/>\n"
                     "\t<key>When</key>\n\t<date>2001-01-01T00:00:00Z</date>\n"
                     "\t<key>Yes</key>\n\t<true/>\n"
                     "\t<key>a</key>\n\t<real>3</real>\n"
                     "\t<key>b</key>\n\t<string>x &lt; y &gt; z &amp; \"q\" 'a'</string>\n"
                     "\t<key>\xf0\x9f\x92\xb6</key>\n\t<string>banknote</string>\n"
                     "\t<key>\xef\xbc\xa1</key>\n\t<string>fullwidth A</string>\n"
                     "</dict>\n"));
  EXPECT_EQ(writeXML(*NSStr("top")), plistXML("<string>top</string>\n"));
}

TEST(PropertyListWriter, WrapsDataAt76ColumnsCountingTabsAsEight) {
  const std::string bytes(100, '\xff');  // 136 base64 characters
  const std::string encoded = property_list::detail::encodeBase64(bytes);
  ASSERT_EQ(encoded.size(), 136u);
  EXPECT_EQ(
      writeXML(*NSData::dataWithBytes(bytes)),
      plistXML("<data>\n" + encoded.substr(0, 76) + "\n" + encoded.substr(76) + "\n</data>\n"));
  EXPECT_EQ(writeXML(*array({NSData::dataWithBytes(bytes)})),
            plistXML("<array>\n\t<data>\n\t" + encoded.substr(0, 68) + "\n\t" + encoded.substr(68) +
                     "\n\t</data>\n</array>\n"));
  EXPECT_EQ(writeXML(*NSData::dataWithBytes("")), plistXML("<data>\n</data>\n"));
}

TEST(PropertyListWriter, WritesRealsAsPercent17gInTheCLocale) {
  const auto written = [](double v) {
    const std::string xml = writeXML(*real(v)).value_or("");
    const size_t start = xml.find("<real>") + 6;
    return xml.substr(start, xml.find("</real>") - start);
  };
  EXPECT_EQ(written(3.0), "3");
  EXPECT_EQ(written(0.0), "0.0");
  EXPECT_EQ(written(-0.0), "-0.0");  // keeps the sign so that it reads back as itself
  EXPECT_EQ(written(0.1), "0.10000000000000001");
  EXPECT_EQ(written(-1.5), "-1.5");
  EXPECT_EQ(written(1e20), "1e+20");
  EXPECT_EQ(written(1e-7), "9.9999999999999995e-08");
  EXPECT_EQ(written(DBL_MAX), "1.7976931348623157e+308");
  EXPECT_EQ(written(5e-324), "4.9406564584124654e-324");
  EXPECT_EQ(written(NAN), "nan");
  EXPECT_EQ(written(INFINITY), "+infinity");
  EXPECT_EQ(written(-INFINITY), "-infinity");
}

TEST(PropertyListWriter, RefusesWhatAPropertyListCannotHold) {
  EXPECT_FALSE(writeXML(*array({NSStr("a"), nullptr})));
  EXPECT_FALSE(writeXML(*NSStr(std::string("a\0b", 3))));
  EXPECT_FALSE(writeXML(*dict({{std::string("k\0", 2), NSStr("v")}})));
  EXPECT_FALSE(writeXML(*NSDate::dateWithTimeIntervalSinceReferenceDate(INFINITY)));
  EXPECT_FALSE(writeXML(*NSDate::dateWithTimeIntervalSinceReferenceDate(NAN)));
  EXPECT_FALSE(writeXML(*NSDate::dateWithTimeIntervalSinceReferenceDate(253402300800.0)));  // 10000
  EXPECT_TRUE(writeXML(*NSDate::dateWithTimeIntervalSinceReferenceDate(252423993599.0)));   // 9999
  NSObject plain;
  EXPECT_FALSE(writeXML(plain));
  auto loop = std::make_shared<NSMutableArray>();
  loop->addObject(loop);
  EXPECT_FALSE(writeXML(*loop));
  loop->removeAllObjects();  // breaks the cycle so the array is freed
}

TEST(PropertyListXML, RoundTripsEveryValueExactly) {
  NSDictionary::Storage entries;
  entries["strings"] =
      array({NSStr(""), NSStr(" "), NSStr("\t\r\n line\r\n"), NSStr("]]> <![CDATA["),
             NSStr("&amp; &#64; &"), NSStr("\x01\x1f control"),
             NSStr("\xc3\xa9\xe6\x97\xa5\xf0\x9f\x92\xb6"), NSStr("1.0843\n")});
  entries["integers"] = array({integer(0), integer(-1), integer(INT64_MAX), integer(INT64_MIN),
                               NSNumber::numberWithUnsignedInteger(uint64_t{1} << 63),
                               NSNumber::numberWithUnsignedInteger(UINT64_MAX)});
  entries["reals"] = array({real(0.0), real(-0.0), real(0.1), real(1.0 / 3), real(-2.5e-300),
                            real(5e-324), real(DBL_MAX), real(1e16), real(123456789.0), real(NAN),
                            real(INFINITY), real(-INFINITY)});
  entries["dates"] = array({NSDate::dateWithTimeIntervalSinceReferenceDate(0),
                            NSDate::dateWithTimeIntervalSinceReferenceDate(-4165314208.0),
                            NSDate::dateWithTimeIntervalSinceReferenceDate(-63113904000.0),
                            NSDate::dateWithTimeIntervalSinceReferenceDate(252423993599.0)});
  entries["data"] =
      array({NSData::dataWithBytes(""), NSData::dataWithBytes(std::string("\0\xff", 2)),
             NSData::dataWithBytes(std::string(1000, 'z'))});
  entries["bools"] = array({boolean(true), boolean(false)});
  entries[" key <&> with \"quotes\" "] = dict({{"", NSStr("empty key")}});
  id deep = NSStr("bottom");
  for (int i = 1; i < property_list::kMaxDepth; ++i) deep = array({deep});
  entries["deep"] = deep;
  const id tree = dict(std::move(entries));

  const auto xml = writeXML(*tree);
  ASSERT_TRUE(xml);
  const id back = parse(*xml);
  EXPECT_TRUE(same(tree, back));
  ASSERT_TRUE(back);
  EXPECT_EQ(writeXML(*back), xml);
  // One level more than that can be neither written nor read.
  EXPECT_FALSE(writeXML(*array({tree})));
  std::string tooDeep;
  for (int i = 0; i <= property_list::kMaxDepth + 1; ++i) tooDeep += "<array>";
  for (int i = 0; i <= property_list::kMaxDepth + 1; ++i) tooDeep += "</array>";
  EXPECT_FALSE(parse(plistXML(tooDeep)));
}

TEST(PropertyListXML, ReadsIntegersInDecimalAndHex) {
  EXPECT_TRUE(same(integer(10), scalar("integer", "010")));  // decimal, not octal
  EXPECT_TRUE(same(integer(26), scalar("integer", "0x1A")));
  EXPECT_TRUE(same(integer(-16), scalar("integer", "-0x10")));
  EXPECT_TRUE(same(integer(42), scalar("integer", " \n42\t")));
  EXPECT_TRUE(same(integer(7), scalar("integer", "+7")));
  EXPECT_TRUE(same(integer(INT64_MIN), scalar("integer", "-9223372036854775808")));
  EXPECT_TRUE(same(NSNumber::numberWithUnsignedInteger(UINT64_MAX),
                   scalar("integer", "18446744073709551615")));
  for (const char* bad : {"", " ", "18446744073709551616", "-9223372036854775809", "1.5", "0x",
                          "12a", "--1", "1 2", "0b101", "\xd9\xa3"}) {
    EXPECT_FALSE(scalar("integer", bad)) << bad;
  }
}

TEST(PropertyListXML, ReadsRealsWithoutTheLocale) {
  EXPECT_TRUE(same(real(10000), scalar("real", "1e4")));
  EXPECT_TRUE(same(real(0.5), scalar("real", " .5 ")));
  EXPECT_TRUE(same(real(-0.0025), scalar("real", "-2.5E-3")));
  EXPECT_TRUE(same(real(3), scalar("real", "+3.")));
  EXPECT_TRUE(same(real(58654.347656), scalar("real", "58654.347656")));
  EXPECT_TRUE(same(real(INFINITY), scalar("real", "1e999")));
  EXPECT_TRUE(same(real(-INFINITY), scalar("real", "-1e999")));
  EXPECT_TRUE(same(real(0.0), scalar("real", "1e-999")));
  EXPECT_TRUE(same(real(-0.0), scalar("real", "-0.0")));
  EXPECT_TRUE(same(real(NAN), scalar("real", "nan")));
  EXPECT_TRUE(same(real(INFINITY), scalar("real", "+infinity")));
  EXPECT_TRUE(same(real(-INFINITY), scalar("real", "-infinity")));
  EXPECT_TRUE(same(real(INFINITY), scalar("real", "inf")));
  for (const char* bad : {"", "1,5", "0x1p3", "1e", "e5", ".", "-", "1.2.3", "5 apples", "- 5"}) {
    EXPECT_FALSE(scalar("real", bad)) << bad;
  }
}

TEST(PropertyListXML, ReadsDatesDataAndBooleans) {
  const auto date = [](double seconds) {
    return NSDate::dateWithTimeIntervalSinceReferenceDate(seconds);
  };
  EXPECT_TRUE(same(date(0), scalar("date", "2001-01-01T00:00:00Z")));
  EXPECT_TRUE(same(date(-978307200), scalar("date", "1970-01-01T00:00:00Z")));
  EXPECT_TRUE(same(date(-4165314208.0), scalar("date", "1869-01-03T08:16:32Z")));
  EXPECT_TRUE(same(date(5995818611.0), scalar("date", "2191-01-01T01:10:11Z")));
  EXPECT_TRUE(same(date(36000), scalar("date", " 2001-01-01T10:00:00Z\n")));
  for (const char* bad : {"2010-02-29T00:00:00Z", "2010-13-01T00:00:00Z", "2010-01-01T24:00:00Z",
                          "2010-01-01T00:00:00", "2010-01-01T00:00:00.5Z", "2010-1-01T00:00:00Z",
                          "2010-01-01 00:00:00Z", "+2010-01-01T00:00:00Z"}) {
    EXPECT_FALSE(scalar("date", bad)) << bad;
  }
  // Written dates keep whole seconds, rounded down.
  EXPECT_EQ(property_list::detail::formatISODate(0.75), "2001-01-01T00:00:00Z");
  EXPECT_EQ(property_list::detail::formatISODate(-0.5), "2000-12-31T23:59:59Z");
  EXPECT_EQ(property_list::detail::formatISODate(-63113904000.0), "0001-01-01T00:00:00Z");

  EXPECT_TRUE(same(NSData::dataWithBytes("hello"), scalar("data", "\n\taGVs\n\tbG8=\n")));
  EXPECT_TRUE(same(NSData::dataWithBytes("hello"), scalar("data", "aGVsbG8")));
  EXPECT_TRUE(same(NSData::dataWithBytes(""), scalar("data", "")));
  for (const char* bad : {"aGVsbG8==", "a", "aGVs*bG8=", "aG=Vs", "aGVsbG8=x"}) {
    EXPECT_FALSE(scalar("data", bad)) << bad;
  }
  EXPECT_TRUE(same(boolean(true), parse(plistXML("<true/>"))));
  EXPECT_TRUE(same(boolean(false), parse(plistXML("<false> </false>"))));
  EXPECT_FALSE(parse(plistXML("<true>1</true>")));
}

TEST(PropertyListXML, ReadsTextEntitiesAndStructureStrictly) {
  EXPECT_TRUE(same(NSStr("a<b>&\"'\xc2\xa9\xf0\x9d\x95\xa2"),
                   scalar("string", "a&lt;b&gt;&amp;&quot;&apos;&#169;&#x1D562;")));
  EXPECT_TRUE(same(NSStr("x &lt; y"), scalar("string", "x <![CDATA[&lt;]]> y")));
  EXPECT_TRUE(same(NSStr("ab"), scalar("string", "a<!-- note -->b")));
  EXPECT_TRUE(same(NSStr("\r\n"), scalar("string", "\r\n")));
  // A bare value element is a whole property list too.
  EXPECT_TRUE(same(NSStr("v"), parse("<string>v</string>")));
  EXPECT_TRUE(same(dict({{"k", NSStr("second")}}),
                   parse(plistXML("<dict><key>k</key><string>first</string>"
                                  "<key>k</key><string>second</string></dict>"))));
  for (const char* bad :
       {"<string>&amp</string>", "<string>&bogus;</string>", "<string>&#0;</string>",
        "<string>&#xD800;</string>", "<string>&#x110000;</string>", "<string><b/></string>",
        "<string>\xff</string>", "<dict><key>k</key></dict>", "<dict><string>v</string></dict>",
        "<dict>text<key>k</key><true/></dict>", "<array>text</array>", "<array><foo/></array>", "",
        "<string>a</string><string>b</string>", "<string>open", "just text<"}) {
    EXPECT_FALSE(parse(plistXML(bad))) << bad;
  }
  EXPECT_FALSE(parse("<plist version=\"1.0\"></plist>"));
  EXPECT_FALSE(parse("<plist><true/></plist><false/>"));
}

TEST(PropertyListBinary, ReadsEveryKindOfObject) {
  const std::string utf16 = std::string("\x00\xe9\xd8\x3d\xdc\xb6\xdc\x00", 8);  // é, 💶, lone
  const std::string file = bplist({
      "\xaa\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a"s,
      "\x08",                                   // false
      "\x09",                                   // true
      "\x10\xff"s,                              // 1-byte integers are unsigned
      "\x11\x01\x00"s,                          // 256
      "\x22\x3f\xc0\x00\x00"s,                  // float 1.5
      "\x33\x41\x2e\x84\x80\x00\x00\x00\x00"s,  // date 1000000
      "\x43"s + "abc",                          // data
      "\x53"s + "abc",                          // ASCII
      "\x64"s + utf16,                          // UTF-16 with a lone surrogate
      "\x81\x01\x00"s,                          // UID 256
  });
  EXPECT_TRUE(
      same(array({boolean(false), boolean(true), integer(255), integer(256), real(1.5),
                  NSDate::dateWithTimeIntervalSinceReferenceDate(1000000),
                  NSData::dataWithBytes("abc"), NSStr("abc"),
                  NSStr("\xc3\xa9\xf0\x9f\x92\xb6\xef\xbf\xbd"), dict({{"CF$UID", integer(256)}})}),
           parse(file)));
  // The same object may be referred to many times, and is read once (within a bound on the
  // tree it stands for; see SharedObjectsCannotStandForAnEnormousTree).
  std::vector<std::string> levels;
  for (int i = 0; i < 16; ++i) levels.push_back("\xa2"s + char(i + 1) + char(i + 1));
  levels.push_back("\x51x");
  const id wide = parse(bplist(levels));
  ASSERT_TRUE(wide);
  EXPECT_EQ(kindOf<NSArray>(wide)->count(), 2u);
}

TEST(PropertyListBinary, RefusesHostileFiles) {
  const std::string good = bplist({"\xd1\x01\x02"s, "\x51k", "\x51v"});
  ASSERT_TRUE(same(dict({{"k", NSStr("v")}}), parse(good)));
  std::string bad = good;
  bad[bad.size() - 26] = 0;  // offset size 0
  EXPECT_FALSE(parse(bad));
  bad = good;
  bad[bad.size() - 25] = 9;  // ref size 9
  EXPECT_FALSE(parse(bad));
  EXPECT_FALSE(parse(withTrailerField(good, 8, 0)));           // no objects
  EXPECT_FALSE(parse(withTrailerField(good, 8, UINT64_MAX)));  // count overflows the table
  EXPECT_FALSE(parse(withTrailerField(good, 16, 3)));          // top past the count
  EXPECT_FALSE(parse(withTrailerField(good, 24, 4)));          // table inside the header
  EXPECT_FALSE(parse(withTrailerField(good, 24, UINT64_MAX - 7)));
  EXPECT_FALSE(parse(good.substr(0, good.size() - 1)));
  EXPECT_FALSE(parse("bplist00"));
  EXPECT_FALSE(parse("bplist01" + good.substr(8)));
  for (const std::string& object :
       {"\x5f\x13\xff\xff\xff\xff\xff\xff\xff\xff"s,  // length past the end
        "\x5f\x10"s,                                  // length missing
        "\x5f\x20\x01"s,                              // length that is not an integer
        "\x54"
        "ab"s,                                        // string runs into the table
        "\x52\xc3\xa9"s,                              // ASCII with a high byte
        "\x6f\x13\x80\x00\x00\x00\x00\x00\x00\x01"s,  // UTF-16 count that overflows
        "\xaf\x13\x40\x00\x00\x00\x00\x00\x00\x00\x00"s,
        "\xa1\x07"s,      // ref past the count
        "\xa1\x00"s,      // an array holding itself
        "\xd1\x00\x00"s,  // a dictionary keyed by itself
        "\x15\x00"s,      // 32-byte integer
        "\x14\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00"s, "\x21\x00\x00"s,
        "\x32\x00\x00\x00\x00"s, "\x00"s, "\x0f"s, "\xc1\x00"s, "\x89\x00"s, "\x23\x00"s}) {
    EXPECT_FALSE(parse(bplist({object}))) << testing::PrintToString(object);
  }
  EXPECT_FALSE(parse(bplist({"\xd1\x01\x02"s, "\x10\x01"s, "\x51v"s})));  // integer key
  EXPECT_FALSE(parse(bplist({"\xa1\x01"s, "\xa1\x00"s})));                // a cycle of two
  EXPECT_FALSE(parse(corpus("recursion.bplist")));
  EXPECT_FALSE(parse(corpus("malformed_dict.bplist")));
  // Too deep to read: each array holds the next.
  std::vector<std::string> chain;
  for (int i = 0; i < property_list::kMaxDepth + 1; ++i) {
    chain.push_back("\xa1"s + bigEndian(static_cast<uint64_t>(i) + 1, 2));
  }
  chain.push_back("\x08");
  std::string deep = "bplist00";
  std::string table;
  for (const auto& object : chain) {
    table += bigEndian(deep.size(), 2);
    deep += object;
  }
  const uint64_t tableOffset = deep.size();
  deep += table + std::string(6, '\0') + '\x02' + '\x02' + bigEndian(chain.size(), 8) +
          bigEndian(0, 8) + bigEndian(tableOffset, 8);
  EXPECT_FALSE(parse(deep));
  EXPECT_TRUE(parse(withTrailerField(deep, 16, 2)));  // starting two levels down fits
}

// Arrays nested `levels` deep, each holding the next one twice: a few bytes that share one
// object per level, and 2^levels objects once written out.
std::string sharedChain(int levels) {
  std::string bytes = "bplist00";
  std::string offsets;
  for (int i = 0; i < levels; ++i) {
    offsets += static_cast<char>(bytes.size());
    bytes += '\xA2';
    bytes += static_cast<char>(i + 1);
    bytes += static_cast<char>(i + 1);
  }
  offsets += static_cast<char>(bytes.size());
  bytes += '\xA0';
  const size_t table = bytes.size();
  bytes += offsets;
  bytes += std::string(6, '\0');
  bytes += '\x01';  // offset size
  bytes += '\x01';  // reference size
  for (const uint64_t v : {static_cast<uint64_t>(levels + 1), uint64_t{0}, uint64_t{table}}) {
    for (int shift = 56; shift >= 0; shift -= 8) bytes += static_cast<char>((v >> shift) & 0xFF);
  }
  return bytes;
}

TEST(PropertyListBinary, SharedObjectsCannotStandForAnEnormousTree) {
  const id small = property_list::parse(sharedChain(10));
  ASSERT_NE(small, nullptr);
  EXPECT_TRUE(property_list::writeXML(*small));
  // 2^40 objects written out: the file reads as nothing instead of hanging the writer.
  EXPECT_EQ(property_list::parse(sharedChain(40)), nullptr);
}

TEST(PropertyListText, ReadsTheOldTextFormAsStrings) {
  // Hand-written values: the text form has only strings, arrays, dictionaries and data.
  const auto list = [](std::vector<id> objects) { return array(std::move(objects)); };
  const id one = list({NSStr("1")});
  EXPECT_TRUE(same(
      dict({{"test", list({NSStr("1"), NSStr("1")})},
            {"foo", list({list({NSStr("-1337")}), one, one, one,
                          list({one, one, one, one, list({one, one, one, one})})})},
            {"more",
             dict({{"a", NSStr("yo")},
                   {"b",
                    list({dict({{"c", NSStr("0.25")}}),
                          dict({{"a", NSStr("yo")},
                                {"b",
                                 list({dict({{"c", NSStr("0.25")}}),
                                       dict({{"a", NSStr("yo")},
                                             {"b", list({dict(
                                                       {{"cd", NSStr("-0.25")}})})}})})}})})}})}}),
      parse(corpus("o1.ostep"))));
  EXPECT_TRUE(
      same(dict({{"Some ASCII string", NSStr("Test ASCII String")},
                 {"Some UTF8 strings",
                  list({NSStr("àéèçù"), NSStr("日本語"), NSStr("汉语/漢語"), NSStr("한국어/조선말"),
                        NSStr("русский язык"), NSStr("الْعَرَبيّة"), NSStr("עִבְרִית"),
                        NSStr("język polski"), NSStr("हिन्दी")})},
                 {"Keys & \"entities\"", NSStr("hello world & others <nodes> are fun!?'")},
                 {"Some Int", NSStr("32434543632")},
                 {"Some String with Unicode entity", NSStr("Yeah check this: \xe1\x88\xb4 !!!")}}),
           parse(corpus("o2.ostep"))));
  EXPECT_TRUE(same(
      list({dict({{"AFirstKey", NSStr("A First Value")}, {"ASecondKey", NSStr("A Second Value")}}),
            dict({{"CFirstKey", NSStr("C First Value")},
                  {"CSecondKey", NSStr("C Second Corrected Value")}})}),
      parse(corpus("o3.ostep"))));

  EXPECT_TRUE(same(NSData::dataWithBytes("\x0f\xbd\x77"), parse("<0f bd77>")));
  EXPECT_TRUE(
      same(NSStr("a\n\t\"\\\x41\xf0\x9f\x92\xb6"), parse("'a\\n\\t\\\"\\\\\\101\\UD83D\\UDCB6'")));
  EXPECT_TRUE(same(list({}), parse("( ) // done")));
  for (const char* bad : {"{ a = b }", "{ a b; }", "( a b )", "( a, , )", "<0fb>", "<0g>", "(",
                          "a b", "/* open", "\"open", "{ (a) = b; }", "( a ) )", "@"}) {
    EXPECT_FALSE(parse(bad)) << bad;
  }
}

constexpr const char* kRates = "/var/mobile/Library/Tessary/Rates.plist";

mode_t modeOf(const std::string& hostPath) {
  struct stat info {};
  return ::stat(hostPath.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

size_t filesIn(const std::string& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(PropertyListFiles, ReadsNothingFromMissingEmptyCorruptOrWrongFiles) {
  tessary::test::TempDeviceRoot root;
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(kRates));
  root.writeFile(kRates, "");
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(kRates));
  root.writeFile(kRates, plistXML("<dict><key>a</key>"));
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(kRates));
  root.writeFile(kRates, plistXML("<array><true/></array>"));
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(kRates));
  EXPECT_FALSE(NSMutableDictionary::dictionaryWithContentsOfFile(kRates));
  EXPECT_TRUE(NSArray::arrayWithContentsOfFile(kRates));
  EXPECT_TRUE(NSMutableArray::arrayWithContentsOfFile(kRates));
  root.writeFile(kRates, corpus("order.bplist"));
  EXPECT_FALSE(NSArray::arrayWithContentsOfFile(kRates));
  EXPECT_TRUE(NSDictionary::dictionaryWithContentsOfFile(kRates));
  // A folder is not a file, and paths out of the root or relative map to nothing.
  EXPECT_FALSE(NSArray::arrayWithContentsOfFile("/var/mobile/Library/Tessary"));
  EXPECT_FALSE(NSArray::arrayWithContentsOfFile("/var/mobile/../../../etc/passwd"));
  EXPECT_FALSE(NSArray::arrayWithContentsOfFile("Rates.plist"));
  EXPECT_FALSE(dict({})->writeToFileAtomically("/var/../../escape.plist", true));
  EXPECT_FALSE(dict({})->writeToFileAtomically("/var/mobile/No/Such/Folder/x.plist", true));
  EXPECT_FALSE(array({nullptr})->writeToFileAtomically(kRates, true));
  EXPECT_TRUE(NSDictionary::dictionaryWithContentsOfFile(kRates));  // the old file is still there
}

TEST(PropertyListFiles, WritesAtomicallyKeepingPermissions) {
  tessary::test::TempDeviceRoot root;
  const std::string host = root.host(kRates);
  const auto rates = dict({{"EUR-USD", NSStr("1.0843\n")}});
  ASSERT_TRUE(rates->writeToFileAtomically(kRates, true));
  EXPECT_EQ(root.readFile(kRates),
            plistXML("<dict>\n\t<key>EUR-USD</key>\n\t<string>1.0843\n</string>\n</dict>\n"));
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(modeOf(host), 0644 & ~mask);
  EXPECT_TRUE(same(rates, NSDictionary::dictionaryWithContentsOfFile(kRates)));

  ASSERT_EQ(::chmod(host.c_str(), 0600), 0);
  ASSERT_TRUE(array({integer(1)})->writeToFileAtomically(kRates, true));
  EXPECT_EQ(modeOf(host), 0600u);
  EXPECT_TRUE(same(array({integer(1)}), NSArray::arrayWithContentsOfFile(kRates)));
  ASSERT_TRUE(array({integer(2)})->writeToFileAtomically(kRates, false));
  EXPECT_TRUE(same(array({integer(2)}), NSArray::arrayWithContentsOfFile(kRates)));
  EXPECT_EQ(filesIn(std::filesystem::path(host).parent_path()), 1u);  // no temporary left

  // A write that fails part way (here: past the file size limit, as a full disk would)
  // leaves the old file whole and no temporary behind.
  const std::string old = root.readFile(kRates);
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = array({NSStr(std::string(4096, 'x'))})->writeToFileAtomically(kRates, true);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(root.readFile(kRates), old);
  EXPECT_EQ(filesIn(std::filesystem::path(host).parent_path()), 1u);
}

TEST(PropertyListFiles, CacheSharesUnchangedFilesAndSeesEveryChange) {
  tessary::test::TempDeviceRoot root;
  const std::string host = root.host(kRates);
  root.writeFile(kRates, plistXML("<dict><key>EUR-USD</key><string>1.0843</string></dict>"));
  const auto first = NSDictionary::dictionaryWithContentsOfFile(kRates);
  ASSERT_TRUE(first);
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile(kRates), first);  // same bytes, same object

  // Rewritten in place, same size, within the same timestamp tick.
  struct stat before {};
  ::stat(host.c_str(), &before);
  ASSERT_TRUE(file_io::writeInPlace(
      host, plistXML("<dict><key>EUR-USD</key><string>1.0844</string></dict>")));
  struct timespec times[2] = {before.st_atim, before.st_mtim};
  ::utimensat(AT_FDCWD, host.c_str(), times, 0);
  const auto second = NSDictionary::dictionaryWithContentsOfFile(kRates);
  EXPECT_TRUE(same(dict({{"EUR-USD", NSStr("1.0844")}}), second));

  // Replaced by another file under the same name.
  ASSERT_TRUE(file_io::writeAtomically(
      host, plistXML("<dict><key>EUR-USD</key><string>2</string></dict>")));
  EXPECT_TRUE(
      same(dict({{"EUR-USD", NSStr("2")}}), NSDictionary::dictionaryWithContentsOfFile(kRates)));

  // The mutable variant is the caller's own copy; changing it changes no later read.
  const auto mine = NSMutableDictionary::dictionaryWithContentsOfFile(kRates);
  ASSERT_TRUE(mine);
  mine->setObjectForKey(NSStr("3"), "EUR-USD");
  mine->setObjectForKey(NSStr("4"), "USD-EUR");
  EXPECT_TRUE(
      same(dict({{"EUR-USD", NSStr("2")}}), NSDictionary::dictionaryWithContentsOfFile(kRates)));
  EXPECT_NE(NSMutableDictionary::dictionaryWithContentsOfFile(kRates), mine);

  // Writing it through the file methods is seen by the next read, as is removing the file.
  ASSERT_TRUE(mine->writeToFileAtomically(kRates, true));
  EXPECT_TRUE(same(mine, NSDictionary::dictionaryWithContentsOfFile(kRates)));
  mine->setObjectForKey(NSStr("5"), "EUR-USD");
  EXPECT_TRUE(same(NSStr("3"),
                   NSDictionary::dictionaryWithContentsOfFile(kRates)->objectForKey("EUR-USD")));
  ASSERT_EQ(::unlink(host.c_str()), 0);
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(kRates));

  // Many files stay readable when the cache has to let some go.
  for (int i = 0; i < 20; ++i) {
    const std::string path = "/var/mobile/Library/Tessary/f" + std::to_string(i) + ".plist";
    ASSERT_TRUE(array({integer(i)})->writeToFileAtomically(path, true));
  }
  for (int i = 0; i < 20; ++i) {
    const std::string path = "/var/mobile/Library/Tessary/f" + std::to_string(i) + ".plist";
    EXPECT_TRUE(same(array({integer(i)}), NSArray::arrayWithContentsOfFile(path)));
  }
}

TEST(PropertyListFiles, ReadsAllOfAFileAndRefusesWhatIsNotOne) {
  tessary::test::TempDeviceRoot root;
  const std::string host = root.host("/big.bin");
  std::string bytes(3 << 20, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7919 >> 5);
  ASSERT_TRUE(file_io::writeAtomically(host, bytes));
  EXPECT_EQ(file_io::readAll(host), bytes);
  EXPECT_FALSE(file_io::readAll(root.path()));
  EXPECT_FALSE(file_io::readAll("/dev/zero"));
  EXPECT_FALSE(file_io::readAll(host + ".missing"));
  EXPECT_EQ(file_io::readAll("/dev/null"), std::nullopt);
  const std::string fifo = root.host("/fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(file_io::readAll(fifo));  // refused at once, not waited on
}

}  // namespace
