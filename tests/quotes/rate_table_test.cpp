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

TEST(FormatRate, TenSignificantDigitsNeverExponent) {
  EXPECT_EQ(formatRate(1 / 1.1415), "0.8760402979");
  EXPECT_EQ(formatRate(1.0), "1.000000000");
  EXPECT_EQ(formatRate(185.31 / 1.1415), "162.3390276");
  EXPECT_EQ(formatRate(1 / 20565.38), "0.00004862540833");
  EXPECT_EQ(formatRate(1e15), "1000000000000000");
  EXPECT_EQ(formatRate(0.0), "N/A");
  EXPECT_EQ(formatRate(NAN), "N/A");
  // Across the whole range a cross rate can take, the text reads back within 9 digits.
  for (double rate = 1e-15; rate < 1e15; rate *= 1.37) {
    auto text = formatRate(rate);
    ASSERT_EQ(text.find_first_not_of("0123456789."), std::string::npos) << text;
    auto back = parseDecimal(text);
    ASSERT_TRUE(back) << text;
    EXPECT_LE(std::fabs(*back - rate) / rate, 5e-10) << rate << " -> " << text;
  }
}

// Significant digits of a plain decimal text.
int significantDigits(const std::string& text) {
  auto first = text.find_first_of("123456789");
  int n = 0;
  for (auto i = first; i < text.size(); ++i) n += text[i] != '.';
  return n;
}

TEST(RateTable, QuotesTheFiguresAsPublished) {
  auto table = parseReferenceTable(
      "USD\t1.1415\nIDR\t20565.38\nINR\t108.9035\nJPY\t185.310\nGBP\t8.5538e-1\nTRY\t45\n");
  ASSERT_TRUE(table) << table.error;
  const RateTable& t = *table.table;
  // Direct euro quotes stand exactly as the table has them, trailing zeros included.
  EXPECT_EQ(t.quoteText("EUR", "IDR"), "20565.38");
  EXPECT_EQ(t.quoteText("EUR", "INR"), "108.9035");
  EXPECT_EQ(t.quoteText("EUR", "JPY"), "185.310");
  EXPECT_EQ(t.quoteText("EUR", "TRY"), "45");
  // A figure written in exponent form is answered in plain digits.
  EXPECT_EQ(t.quoteText("EUR", "GBP"), "0.8553800000");
  EXPECT_EQ(t.quoteText("USD", "USD"), "1");
  EXPECT_EQ(t.quoteText("EUR", "XAU"), std::nullopt);

  // Inverses and cross rates carry at least eight significant digits, each of them right.
  struct Case {
    const char* from;
    const char* to;
    double exact;
  };
  for (auto [from, to, exact] :
       {Case{"IDR", "EUR", 1 / 20565.38}, Case{"INR", "EUR", 1 / 108.9035},
        Case{"USD", "EUR", 1 / 1.1415}, Case{"USD", "IDR", 20565.38 / 1.1415},
        Case{"IDR", "INR", 108.9035 / 20565.38}, Case{"INR", "JPY", 185.31 / 108.9035}}) {
    auto text = t.quoteText(from, to);
    ASSERT_TRUE(text) << from << to;
    EXPECT_GE(significantDigits(*text), 8) << *text;
    EXPECT_LE(std::fabs(*parseDecimal(*text) - exact) / exact, 1e-8) << from << to << " " << *text;
  }
  EXPECT_EQ(t.quoteText("IDR", "EUR"), "0.00004862540833");
  EXPECT_EQ(t.quoteText("INR", "EUR"), "0.009182441336");
}

}  // namespace
}  // namespace tessary::quotes
