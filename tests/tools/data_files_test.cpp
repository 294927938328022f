#include "tools/data_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "build_paths.h"
#include "platform/foundation/values.h"
#include "tests/support/test_environment.h"
#include "tests/support/value_strings.h"

namespace tessary::test {
namespace {

using data_files::parseJson;

TEST(ParseJson, ReadsStrictJson) {
  const auto result = parseJson(
      "\xEF\xBB\xBF {\"a\": [1, -0.5e+3, true, false, null, \"x\\\"\\\\\\/\\b\\f\\n\\r\\t\"],"
      " \"u\": \"\\u00e9\\u20ac\\ud83d\\ude00\xC3\xA9\", \"a\": {}} ");
  ASSERT_TRUE(result.document) << result.error;
  const nlohmann::json& doc = *result.document;
  EXPECT_TRUE(doc.at("a").is_object());  // a repeated key: the last wins
  EXPECT_EQ(doc.at("u"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9");

  const auto array = parseJson("[1, -0.5e+3, true, null, \"x\\\"\\\\\\/\\b\\f\\n\\r\\t\"]");
  ASSERT_TRUE(array.document) << array.error;
  ASSERT_EQ(array.document->size(), 5u);
  EXPECT_EQ(array.document->at(1).get<double>(), -500);
  EXPECT_TRUE(array.document->at(2).get<bool>());
  EXPECT_TRUE(array.document->at(3).is_null());
  EXPECT_EQ(array.document->at(4), "x\"\\/\b\f\n\r\t");
}

TEST(ParseJson, RefusesBrokenInputWithWhereAndWhy) {
  const std::string document = "{\"4217\": [{\"alpha_3\": \"EUR\", \"name\": \"Euro\"}, 12.5e-1]}";
  ASSERT_TRUE(parseJson(document).document);
  for (size_t length = 0; length < document.size(); ++length) {
    const auto truncated = parseJson(document.substr(0, length));
    EXPECT_FALSE(truncated.document) << length;
    EXPECT_NE(truncated.error.find("line 1, column "), std::string::npos) << truncated.error;
  }
  for (const std::string& bad : std::vector<std::string>{"",
                                                         "   ",
                                                         "[1,]",
                                                         "{\"a\":1,}",
                                                         "[01]",
                                                         "[1.]",
                                                         "[.5]",
                                                         "[-]",
                                                         "[1e]",
                                                         "[NaN]",
                                                         "[Infinity]",
                                                         "[tru]",
                                                         "[nul]",
                                                         "{a:1}",
                                                         "{\"a\" 1}",
                                                         "[1 2]",
                                                         "[1] x",
                                                         "[1] [2]",
                                                         "[\"\\x\"]",
                                                         "[\"\\u12\"]",
                                                         "[\"\\u12G4\"]",
                                                         "[\"\\ud800\"]",
                                                         "[\"\\udc00\"]",
                                                         "[\"\\ud800\\u0041\"]",
                                                         "[\"tab\there\"]",
                                                         "[\"\xFF\"]",
                                                         "[\"\xC0\xAF\"]",
                                                         "[\"\xED\xA0\x80\"]",
                                                         "[\"\xF4\x90\x80\x80\"]",
                                                         "[\"\xE2\x82\"]",
                                                         std::string("[\"a\0b\"]", 7),
                                                         std::string("[1]\0[", 5),
                                                         std::string("1\0", 2),
                                                         "/* no comments */ []",
                                                         "'a'"}) {
    const auto result = parseJson(bad);
    EXPECT_FALSE(result.document) << bad;
    EXPECT_FALSE(result.error.empty()) << bad;
  }
  EXPECT_EQ(parseJson("[1, x]").error.rfind("parse error at line 1, column 5: ", 0), 0u)
      << parseJson("[1, x]").error;

  // nlohmann alone would stop at the NUL and take the "[1]" before it.
  EXPECT_EQ(parseJson(std::string("[1]\0[", 5)).error, "NUL byte at offset 3");

  // The reason stays short when the token that broke is a whole megabyte of string.
  const auto huge = parseJson("[\"" + std::string(1'000'000, 'a') + "\xFF\"]");
  EXPECT_FALSE(huge.document);
  EXPECT_LT(huge.error.size(), 300u);
}

TEST(ParseJson, LimitsNestingAndSize) {
  auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  EXPECT_TRUE(parseJson(nested(data_files::kMaxDepth)).document);
  const auto deep = parseJson(nested(data_files::kMaxDepth + 1));
  EXPECT_FALSE(deep.document);
  EXPECT_EQ(deep.error, "nesting deeper than 64 levels");

  std::string objects;
  for (int i = 0; i < data_files::kMaxDepth; ++i) objects += "{\"a\":";
  EXPECT_TRUE(parseJson(objects + "1" + std::string(data_files::kMaxDepth, '}')).document);
  // Far deeper than any stack would survive if the tree were built first.
  for (int i = 0; i < 100'000; ++i) objects += "{\"a\":";
  EXPECT_EQ(parseJson(objects).error, "nesting deeper than 64 levels");
  EXPECT_EQ(parseJson(std::string(1'000'000, '[')).error, "nesting deeper than 64 levels");
  EXPECT_FALSE(parseJson(std::string(500'000, '{')).document);  // a key was due

  const std::string large(data_files::kMaxBytes + 1, ' ');
  EXPECT_EQ(parseJson(large).error, "larger than 67108864 bytes");
}

TEST(DataFiles, CurrenciesSkipWhatTheyCannotUse) {
  const auto parsed = parseJson(R"({"4217": [
      {"alpha_3": "EUR", "name": "Euro", "numeric": "978"},
      "not an object", 7, null, [],
      {"alpha_3": "USD"},
      {"alpha_3": "XAU", "name": 5},
      {"alpha_3": 840, "name": "Number code"},
      {"alpha_3": "usd", "name": "Lower case"},
      {"alpha_3": "EURO", "name": "Four letters"},
      {"alpha_3": "CHF", "name": ""},
      {"alpha_3": "GBP", "name": null},
      {"alpha_3": "XAG", "name": "Sil\u0000ver"},
      {"alpha_3": "EUR", "name": "Repeated"},
      {"alpha_3": "CAD", "name": "Loonie", "name": 1},
      {"alpha_3": "JPY", "name": "Yen"}]})");
  ASSERT_TRUE(parsed.document) << parsed.error;
  const auto list = data_files::currencies(*parsed.document);
  ASSERT_TRUE(list);
  ASSERT_EQ(list->count(), 2u);
  auto field = [&](size_t i, const char* key) {
    return kindOf<NSString>(kindOf<NSDictionary>(list->objectAtIndex(i))->objectForKey(key))
        ->UTF8String();
  };
  EXPECT_EQ(field(0, "ISO"), "EUR");
  EXPECT_EQ(field(0, "Currency"), "Euro");
  EXPECT_EQ(field(1, "ISO"), "JPY");
  EXPECT_EQ(kindOf<NSDictionary>(list->objectAtIndex(0))->count(), 2u);

  for (const char* wrongShape :
       {"[]", "{}", "{\"4217\": {}}", "{\"4217\": \"x\"}", "{\"4217\": null}", "7", "null"}) {
    const auto document = parseJson(wrongShape);
    ASSERT_TRUE(document.document) << wrongShape;
    EXPECT_EQ(data_files::currencies(*document.document), nullptr) << wrongShape;
  }
  const auto empty = data_files::currencies(*parseJson("{\"4217\": []}").document);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->count(), 0u);
}

TEST(DataFiles, EntriesPutTheMajorsFirstAndRefuseABrokenTable) {
  const auto result = data_files::entries(
      "# comment\r\nZAR\t18.5\r\n\r\nAUD\t1.6\nGBP\t0.85\nUSD\t1.14\n  \nCAD\t1.6");
  ASSERT_TRUE(result.entries) << result.error;
  // JPY and CHF are not in this table, so they are not offered.
  EXPECT_EQ(strings(result.entries),
            (std::vector<std::string>{"EUR", "USD", "GBP", "AUD", "CAD", "ZAR"}));
  EXPECT_EQ(strings(data_files::entries("EUR\t1\n").entries), std::vector<std::string>{"EUR"});

  const auto noTab = data_files::entries("USD\t1.1\nGBP 0.8\n");
  EXPECT_FALSE(noTab.entries);
  EXPECT_EQ(noTab.error, "line 2: expected CODE<TAB>RATE");
  EXPECT_EQ(data_files::entries("usd\t1\n").error, "line 1: not a currency code");
  EXPECT_EQ(data_files::entries("USD\t1\nUSD\t2\n").error, "line 2: duplicate currency USD");
}

class Generator : public PlatformTest {
 protected:
  // The tool's exit status and what it said on standard error.
  std::pair<int, std::string> currencies(const std::string& source) {
    { std::ofstream(root_.host("/source.json"), std::ios::binary) << source; }
    std::string command = "'";
    for (const std::string& part :
         {std::string(build::kBinaryDir) + "/tools/make_data_files", std::string("currencies"),
          root_.host("/source.json"), root_.host(kOut)}) {
      command.append(part).append("' '");
    }
    command.pop_back();
    command.append("2>'").append(root_.host("/stderr.txt")).append("'");
    const int status = std::system(command.c_str());
    return {status, root_.readFile("/stderr.txt")};
  }
  static constexpr const char* kOut = "/Currencies.plist";
};

TEST_F(Generator, FailsTheBuildOnABrokenSourceAndSaysWhy) {
  struct Case {
    std::string source;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"{\"4217\": [{\"alpha_3\": \"EUR\", \"name\": \"Eu", "parse error at line 1, column "},
      {std::string(100'000, '['), "nesting deeper than 64 levels"},
      {"{\"4217\": [{\"alpha_3\": \"EUR\", \"name\": \"Eu\xFFro\"}]}", "ill-formed UTF-8"},
      {"{\"4217\": {\"alpha_3\": \"EUR\"}}", "expected an object with a \"4217\" array"},
      {"{\"4217\": [{\"alpha_3\": \"eur\", \"name\": \"Euro\"}]}", "no currencies"},
  };
  for (const Case& c : cases) {
    const auto [status, said] = currencies(c.source);
    EXPECT_NE(status, 0) << c.says;
    EXPECT_EQ(said.rfind("make_data_files: " + root_.host("/source.json") + ": ", 0), 0u) << said;
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(root_.host(kOut))) << c.says;
  }

  const auto [status, said] =
      currencies("{\"4217\": [{\"alpha_3\": \"EUR\", \"name\": \"Euro\"}]}");
  ASSERT_EQ(status, 0) << said;
  EXPECT_EQ(said, "");
  const auto list = NSArray::arrayWithContentsOfFile(kOut);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->count(), 1u);
}

}  // namespace
}  // namespace tessary::test
