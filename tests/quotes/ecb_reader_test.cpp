#include "quotes/ecb_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "build_paths.h"

namespace tessary::quotes {
namespace {

std::string sharedEcbXml() {
  std::string error;
  auto text = readFileCapped(std::filesystem::path(build::kSharedDataDir) / "eurofxref-daily.xml",
                             kMaxRatesFileBytes, &error);
  EXPECT_TRUE(text) << error;
  return text.value_or("");
}

std::string withDay(const std::string& cubes, const std::string& time = "2026-07-06") {
  return "<gesmes:Envelope xmlns:gesmes='http://www.gesmes.org/xml/2002-08-01'><Cube><Cube time='" +
         time + "'>" + cubes + "</Cube></Cube></gesmes:Envelope>";
}

TEST(EcbReader, ReadsTheSharedDailyFileLikeOurTable) {
  auto ecb = loadEcbDaily(std::filesystem::path(build::kSharedDataDir) / "eurofxref-daily.xml");
  ASSERT_TRUE(ecb) << ecb.error;
  EXPECT_EQ(ecb.table->size(), 29u);
  EXPECT_EQ(ecb.table->date, "2026-07-06");
  EXPECT_EQ(ecb.table->unitsPerEuro("USD"), 1.1415);
  EXPECT_EQ(ecb.table->unitsPerEuro("IDR"), 20565.38);
  EXPECT_EQ(ecb.table->unitsPerEuro("ZAR"), 18.5318);
  EXPECT_EQ(ecb.table->quoteText("EUR", "IDR"), "20565.38");
  EXPECT_EQ(ecb.table->quoteText("EUR", "INR"), "108.9035");

  // The project's own table carries the same figures.
  auto ours = loadReferenceTable(std::filesystem::path(build::kDataDir) / "reference-rates.tsv");
  ASSERT_TRUE(ours) << ours.error;
  EXPECT_EQ(ours.table->rates(), ecb.table->rates());
}

TEST(EcbReader, RejectsBrokenDocumentsWhole) {
  auto real = sharedEcbXml();
  std::vector<std::string> broken = {
      "",
      "not xml at all",
      real.substr(0, real.size() / 2),  // truncated mid-way
      "<Envelope><Cube/></Envelope>",   // no dated cube
      "<html><Cube time='2026-07-06'><Cube currency='USD' rate='1.1'/></Cube></html>",
      withDay(""),
      withDay("<Cube currency='USD' rate='1.1'/>", "yesterday"),
      withDay("<Cube currency='USD'/>"),
      withDay("<Cube rate='1.1'/>"),
      withDay("<Cube currency='USD' rate='abc'/>"),
      withDay("<Cube currency='USD' rate='-1.1'/>"),
      withDay("<Cube currency='usd' rate='1.1'/>"),
      withDay("<Cube currency='USD' rate='1.1'/><Cube currency='USD' rate='1.2'/>"),
      withDay("<Cube currency='USD' rate='1.1'/><Rate currency='JPY' rate='185'/>"),
      withDay("<Cube currency='USD' rate='1.1'/>") + std::string(kMaxRatesFileBytes, ' '),
  };
  for (const auto& doc : broken) {
    auto result = parseEcbDaily(doc);
    EXPECT_FALSE(result) << "accepted: " << doc.substr(0, 120);
    EXPECT_FALSE(result.error.empty());
  }
  // Deep nesting is refused without exhausting the stack.
  std::string deep = "<Envelope>";
  for (int i = 0; i < 100000; ++i) deep += "<Cube>";
  EXPECT_FALSE(parseEcbDaily(deep + "</Envelope>"));
  EXPECT_TRUE(parseEcbDaily(withDay("<Cube currency='USD' rate='1.1'/>")));
}

TEST(EcbReader, SplitsHttpUrls) {
  auto url = parseHttpUrl("http://127.0.0.1:8080/stats/daily.xml?x=1");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->schemeHostPort, "http://127.0.0.1:8080");
  EXPECT_EQ(url->path, "/stats/daily.xml?x=1");
  EXPECT_EQ(parseHttpUrl("https://rates.example")->path, "/");
  EXPECT_TRUE(parseHttpUrl("http://[::1]:80/x"));
  for (auto bad : {"", "ftp://host/x", "http://", "http:///x", "http://host:99999/",
                   "http://host:/", "http://user@host/", "http://host/a b", "host/x"}) {
    EXPECT_FALSE(parseHttpUrl(bad)) << bad;
  }
}

}  // namespace
}  // namespace tessary::quotes
