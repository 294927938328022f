#include "quotes/rate_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "build_paths.h"

namespace tessary::quotes {
namespace {

TEST(RateTable, RefusesBadEntriesAndKeepsGoodOnes) {
  RateTable table;
  EXPECT_FALSE(table.add("USD", 1.1415));
  EXPECT_FALSE(table.add("JPY", 185.31));
  EXPECT_FALSE(table.add("EUR", 1.0));  // the base may be stated, as 1 only
  EXPECT_TRUE(table.add("EUR", 1.2));
  EXPECT_TRUE(table.add("USD", 1.2));  // duplicate
  for (auto code : {"usd", "US", "USDX", "U1D", "", "ÄÖÜ"})
    EXPECT_TRUE(table.add(code, 1.0)) << code;
  for (double bad : {0.0, -1.0, double(NAN), double(INFINITY), 1e-9, 1e12})
    EXPECT_TRUE(table.add("GBP", bad)) << bad;
  EXPECT_EQ(table.size(), 2u);
  EXPECT_EQ(table.unitsPerEuro("USD"), 1.1415);
  EXPECT_EQ(table.unitsPerEuro("EUR"), 1.0);
  EXPECT_FALSE(table.unitsPerEuro("GBP"));
}

TEST(RateTable, CrossRatesGoThroughTheEuro) {
  RateTable table;
  ASSERT_FALSE(table.add("USD", 1.1415));
  ASSERT_FALSE(table.add("JPY", 185.31));
  ASSERT_FALSE(table.add("GBP", 0.85538));
  EXPECT_DOUBLE_EQ(*table.cross("EUR", "USD"), 1.1415);
  EXPECT_DOUBLE_EQ(*table.cross("USD", "EUR"), 1 / 1.1415);
  EXPECT_DOUBLE_EQ(*table.cross("GBP", "JPY"), 185.31 / 0.85538);
  EXPECT_DOUBLE_EQ(*table.cross("USD", "JPY") * *table.cross("JPY", "USD"), 1.0);
  EXPECT_EQ(table.cross("JPY", "JPY"), 1.0);
  EXPECT_EQ(table.cross("EUR", "EUR"), 1.0);
  EXPECT_FALSE(table.cross("USD", "XXX"));
  EXPECT_FALSE(table.cross("XXX", "USD"));
  EXPECT_FALSE(table.cross("XXX", "XXX"));  // unknown stays unknown, even with itself
}

TEST(RateTable, ParsesOurFormatAndRejectsAnyBrokenLine) {
  auto good = parseReferenceTable(
      "# source: test desk\r\n# date: 2026-07-06\n\nUSD\t1.1415\r\nJPY\t185.31\n");
  ASSERT_TRUE(good) << good.error;
  EXPECT_EQ(good.table->size(), 2u);
  EXPECT_EQ(good.table->source, "test desk");
  EXPECT_EQ(good.table->date, "2026-07-06");
  EXPECT_EQ(good.table->unitsPerEuro("JPY"), 185.31);

  for (const char* broken :
       {"", "# only a comment\n", "USD 1.1415\n", "USD\t1,1415\n", "USD\t1.14x\n", "USD\t\n",
        "USD\t1.1\nUSD\t1.2\n", "usd\t1.1\n", "USD\t-1\n", "USD\tnan\n", "USD\t1e999\n",
        "USD\t1.1\tnote\n", "\tUSD\t1.1\n", "USD\t0x1p3\n"}) {
    auto result = parseReferenceTable(broken);
    EXPECT_FALSE(result) << "accepted: " << broken;
    EXPECT_FALSE(result.error.empty());
  }
  EXPECT_NE(parseReferenceTable("USD\t1.1\nJPY\tcheap\n").error.find("line 2"), std::string::npos);
}

TEST(RateTable, ShippedTableLoadsAndRefusesHugeOrMissingFiles) {
  auto shipped = loadReferenceTable(std::filesystem::path(build::kDataDir) / "reference-rates.tsv");
  ASSERT_TRUE(shipped) << shipped.error;
  EXPECT_EQ(shipped.table->size(), 29u);
  EXPECT_EQ(shipped.table->date, "2026-07-06");

  auto dir =
      std::filesystem::temp_directory_path() / ("tessary-rates-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream huge(dir / "huge.tsv");
    std::string line = "# " + std::string(1000, 'x') + "\n";
    for (std::size_t written = 0; written <= kMaxRatesFileBytes; written += line.size())
      huge << line;
  }
  auto refused = loadReferenceTable(dir / "huge.tsv");
  EXPECT_FALSE(refused);
  EXPECT_NE(refused.error.find("larger than"), std::string::npos);
  EXPECT_FALSE(loadReferenceTable(dir / "missing.tsv"));
  EXPECT_FALSE(loadReferenceTable(dir));  // a directory is no table
  std::filesystem::remove_all(dir);
}

TEST(ParseDecimal, TakesPlainNumbersOnly) {
  EXPECT_EQ(parseDecimal("1.0843"), 1.0843);
  EXPECT_EQ(parseDecimal("20565.38"), 20565.38);
  EXPECT_EQ(parseDecimal("1e3"), 1000.0);
  for (auto bad : {"", " 1", "1 ", "1,5", "inf", "nan", "0x10", "1e400", "--1", "1.2.3", "."}) {
    EXPECT_FALSE(parseDecimal(bad)) << bad;
  }
}

TEST(FormatRate, SixSignificantDigitsNeverExponent) {
  EXPECT_EQ(formatRate(1.1415), "1.14150");
  EXPECT_EQ(formatRate(1.0), "1.00000");
  EXPECT_EQ(formatRate(185.31), "185.310");
  EXPECT_EQ(formatRate(20565.38), "20565.4");
  EXPECT_EQ(formatRate(1 / 20565.38), "0.0000486254");
  EXPECT_EQ(formatRate(1e15), "1000000000000000");
  EXPECT_EQ(formatRate(0.0), "N/A");
  EXPECT_EQ(formatRate(NAN), "N/A");
  // Across the whole range a cross rate can take, the text reads back within 6 digits.
  for (double rate = 1e-15; rate < 1e15; rate *= 1.37) {
    auto text = formatRate(rate);
    ASSERT_EQ(text.find_first_not_of("0123456789."), std::string::npos) << text;
    auto back = parseDecimal(text);
    ASSERT_TRUE(back) << text;
    EXPECT_LE(std::fabs(*back - rate) / rate, 5e-6) << rate << " -> " << text;
  }
}

}  // namespace
}  // namespace tessary::quotes
