#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "build_paths.h"
#include "platform/foundation/values.h"
#include "platform/uikit/ui_image.h"
#include "tests/support/test_environment.h"
#include "tests/support/value_strings.h"
#include "tools/data_files.h"
#include "widget/controller/paths.h"

namespace tessary::test {
namespace {

std::string builtBundle() {
  return std::string(build::kBinaryDir) + "/Tessary.bundle";
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

}  // namespace
}  // namespace tessary::test
