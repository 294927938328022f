#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "build_paths.h"
#include "platform/foundation/values.h"
#include "platform/uikit/ui_image.h"
#include "tests/support/test_environment.h"
#include "widget/controller/paths.h"
#include "widget/resources/data_files.h"
#include "widget/resources/json_reader.h"

namespace tessary::test {
namespace {

std::string readHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string builtBundle() {
  return std::string(build::kBinaryDir) + "/Tessary.bundle";
}

std::vector<std::string> strings(const std::shared_ptr<NSArray>& array) {
  std::vector<std::string> out;
  if (!array) return out;
  for (const id& object : array->objects()) {
    const auto text = kindOf<NSString>(object);
    out.push_back(text ? text->UTF8String() : "<not a string>");
  }
  return out;
}

// The built bundle installed into a fresh device root, where the widget finds it.
class BundleResourcesTest : public PlatformTest {
 protected:
  BundleResourcesTest() {
    const std::string target = root_.host("/System/Library/WeeAppPlugins/Tessary.bundle");
    std::filesystem::create_directories(target);
    std::filesystem::copy(builtBundle(), target, std::filesystem::copy_options::recursive);
  }
  static std::string inBundle(const std::string& name) {
    return std::string(paths::kBundle) + name;
  }
};

TEST_F(BundleResourcesTest, ImagesHaveTheSizesTheWidgetLaysOutWith) {
  const auto button = UIImage::imageWithContentsOfFile(inBundle("ButtonBG.png"));
  ASSERT_TRUE(button);
  EXPECT_EQ(button->size().width, 48);
  EXPECT_EQ(button->size().height, 30);

  // The widget's caps are floor(w/2) and floor(h/2): exactly one middle column and row
  // stretch, with the same corners on both sides.
  const auto background = UIImage::imageWithContentsOfFile(inBundle("Background.png"));
  ASSERT_TRUE(background);
  const auto w = static_cast<NSInteger>(background->size().width);
  const auto h = static_cast<NSInteger>(background->size().height);
  EXPECT_EQ(w % 2, 1);
  EXPECT_EQ(h % 2, 1);
  EXPECT_GE(w / 2, 4);  // room for the rounded corners
  EXPECT_GE(h / 2, 4);

  // Icons are small squares; the detail layout puts Clear 32 points left of a field.
  for (const char* name : {"Refresh.png", "Clear.png", "UIInvert.png", "Invert.png"}) {
    const auto icon = UIImage::imageWithContentsOfFile(inBundle(name));
    ASSERT_TRUE(icon) << name;
    EXPECT_EQ(icon->size().width, icon->size().height) << name;
    EXPECT_GE(icon->size().width, 20) << name;
    EXPECT_LE(icon->size().width, 32) << name;
  }
}

TEST_F(BundleResourcesTest, InfoPlistNamesTheLibraryClassFactoryAndQuoteService) {
  const auto info = NSDictionary::dictionaryWithContentsOfFile(inBundle("Info.plist"));
  ASSERT_TRUE(info);
  auto value = [&](const char* key) {
    const auto text = kindOf<NSString>(info->objectForKey(key));
    return text ? text->UTF8String() : std::string("<missing>");
  };
  EXPECT_EQ(value("CFBundleExecutable"), "Tessary.so");
  EXPECT_EQ(value("CFBundleIdentifier"), "org.tessary.widget");
  EXPECT_EQ(value("NSPrincipalClass"), "TessaryController");
  EXPECT_EQ(value("TessaryFactorySymbol"), "TessaryControllerCreate");
  EXPECT_EQ(value("TessaryQuoteServiceURL"), "http://127.0.0.1:8471");
  EXPECT_TRUE(std::filesystem::exists(root_.host(inBundle(value("CFBundleExecutable")))));
}

TEST_F(BundleResourcesTest, CurrenciesListEveryIsoCodesCurrencyOnce) {
  const auto list = NSArray::arrayWithContentsOfFile(inBundle("Currencies.plist"));
  ASSERT_TRUE(list);
  // Counted in the source without our reader: one "alpha_3" per currency.
  const std::string json = readHostFile("/usr/share/iso-codes/json/iso_4217.json");
  size_t expected = 0;
  for (size_t at = json.find("\"alpha_3\""); at != std::string::npos;
       at = json.find("\"alpha_3\"", at + 1)) {
    ++expected;
  }
  EXPECT_EQ(list->count(), expected);
  EXPECT_GE(list->count(), 150u);

  std::map<std::string, std::string> names;
  for (const id& element : list->objects()) {
    const auto entry = kindOf<NSDictionary>(element);
    ASSERT_TRUE(entry);
    const auto iso = kindOf<NSString>(entry->objectForKey("ISO"));
    const auto name = kindOf<NSString>(entry->objectForKey("Currency"));
    ASSERT_TRUE(iso && name);
    EXPECT_TRUE(data_files::isCurrencyCode(iso->UTF8String())) << iso->UTF8String();
    EXPECT_FALSE(name->UTF8String().empty());
    EXPECT_TRUE(names.emplace(iso->UTF8String(), name->UTF8String()).second)
        << "repeated " << iso->UTF8String();
  }
  EXPECT_EQ(names["EUR"], "Euro");
  EXPECT_EQ(names["USD"], "US Dollar");
  EXPECT_EQ(names["GBP"], "Pound Sterling");
  EXPECT_EQ(names["JPY"], "Yen");
}

TEST_F(BundleResourcesTest, EntriesAreTheQuoteTablesCodesMajorsFirst) {
  const auto entries = strings(NSArray::arrayWithContentsOfFile(inBundle("Entries.plist")));
  ASSERT_GE(entries.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(entries.begin(), entries.begin() + 5),
            (std::vector<std::string>{"EUR", "USD", "GBP", "JPY", "CHF"}));
  EXPECT_TRUE(std::is_sorted(entries.begin() + 5, entries.end()));

  std::set<std::string> table{"EUR"};
  std::istringstream lines(readHostFile(std::string(build::kDataDir) + "/reference-rates.tsv"));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] != '#') table.insert(line.substr(0, line.find('\t')));
  }
  EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()), table);
  EXPECT_EQ(entries.size(), table.size());  // no repeats
}

TEST(JsonReader, ReadsStrictJson) {
  const auto result = json::parse(
      " {\"a\": [1, -0.5e+3, true, false, null, \"x\\\"\\\\\\/\\b\\f\\n\\r\\t\"],"
      " \"u\": \"\\u00e9\\u20ac\\ud83d\\ude00\xC3\xA9\", \"a\": {}} ");
  ASSERT_TRUE(result.value) << result.error.message;
  const json::Value& doc = *result.value;
  ASSERT_TRUE(doc.member("a"));
  EXPECT_TRUE(doc.member("a")->isObject());  // a repeated key: the last wins
  ASSERT_EQ(doc.values[0].items.size(), 6u);
  EXPECT_EQ(doc.values[0].items[1].text, "-0.5e+3");
  EXPECT_TRUE(doc.values[0].items[2].boolean);
  EXPECT_EQ(doc.values[0].items[4].kind, json::Value::Kind::Null);
  EXPECT_EQ(doc.values[0].items[5].text, "x\"\\/\b\f\n\r\t");
  EXPECT_EQ(doc.member("u")->text, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9");
  EXPECT_EQ(doc.member("missing"), nullptr);
  EXPECT_EQ(doc.values[0].member("a"), nullptr);  // not an object
}

TEST(JsonReader, RejectsBrokenInputWithAnOffset) {
  const std::string document = "{\"4217\": [{\"alpha_3\": \"EUR\", \"name\": \"Euro\"}, 12.5e-1]}";
  ASSERT_TRUE(json::parse(document).value);
  for (size_t length = 0; length < document.size(); ++length) {
    const auto truncated = json::parse(document.substr(0, length));
    EXPECT_FALSE(truncated.value) << length;
    EXPECT_LE(truncated.error.offset, length);
    EXPECT_FALSE(truncated.error.message.empty());
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
                                                         "'a'"}) {
    EXPECT_FALSE(json::parse(bad).value) << bad;
  }
  EXPECT_EQ(json::parse("[1, x]").error.offset, 4u);
}

TEST(JsonReader, LimitsNesting) {
  auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  EXPECT_TRUE(json::parse(nested(json::kMaxDepth)).value);
  const auto deep = json::parse(nested(json::kMaxDepth + 1));
  EXPECT_FALSE(deep.value);
  EXPECT_EQ(deep.error.message, "nesting too deep");
  EXPECT_FALSE(json::parse(std::string(1'000'000, '[')).value);
  EXPECT_FALSE(json::parse(std::string(500'000, '{')).value);
  std::string objects;
  for (int i = 0; i < 100'000; ++i) objects += "{\"a\":";
  EXPECT_FALSE(json::parse(objects).value);
}

TEST(DataFiles, CurrenciesSkipWhatTheyCannotUse) {
  const auto parsed = json::parse(R"({"4217": [
      {"alpha_3": "EUR", "name": "Euro", "numeric": "978"},
      "not an object", 7, null, [],
      {"alpha_3": "USD"},
      {"alpha_3": "XAU", "name": 5},
      {"alpha_3": 840, "name": "Number code"},
      {"alpha_3": "usd", "name": "Lower case"},
      {"alpha_3": "EURO", "name": "Four letters"},
      {"alpha_3": "CHF", "name": ""},
      {"alpha_3": "EUR", "name": "Repeated"},
      {"alpha_3": "JPY", "name": "Yen"}]})");
  ASSERT_TRUE(parsed.value);
  const auto list = data_files::currencies(*parsed.value);
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

  for (const char* wrongShape : {"[]", "{}", "{\"4217\": {}}", "{\"4217\": \"x\"}", "7"}) {
    EXPECT_EQ(data_files::currencies(*json::parse(wrongShape).value), nullptr) << wrongShape;
  }
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

TEST(DataFiles, TheGeneratorFailsTheBuildOnABrokenSource) {
  TempDeviceRoot scratch;
  const std::string tool = std::string(build::kBinaryDir) + "/widget/make_data_files";
  const std::string broken = scratch.host("/broken.json");
  const std::string out = scratch.host("/Currencies.plist");
  { std::ofstream(broken) << "{\"4217\": [{\"alpha_3\": \"EUR\", \"name\": \"Eu"; }
  const std::string command =
      "'" + tool + "' currencies '" + broken + "' '" + out + "' 2>/dev/null";
  EXPECT_NE(std::system(command.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(out));

  { std::ofstream(broken) << "{\"4217\": [{\"alpha_3\": \"EUR\", \"name\": \"Euro\"}]}"; }
  ASSERT_EQ(std::system(command.c_str()), 0);
  const auto list = NSArray::arrayWithContentsOfFile("/Currencies.plist");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->count(), 1u);
}

}  // namespace
}  // namespace tessary::test
