#include "quotes/quote_query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessary::quotes {
namespace {

TEST(QuoteQuery, DecodesPercentEscapes) {
  EXPECT_EQ(percentDecode("EURUSD%3DX"), "EURUSD=X");
  EXPECT_EQ(percentDecode("%3d%41+"), "=A ");
  EXPECT_EQ(percentDecode("%00"), std::string(1, '\0'));
  for (auto bad : {"%", "%4", "abc%", "%GG", "%-1", "%%41"})
    EXPECT_FALSE(percentDecode(bad)) << bad;
}

TEST(QuoteQuery, AcceptsTheWidgetsForms) {
  for (auto query :
       {"s=EURUSD=X&f=l1", "f=l1&s=EURUSD%3DX", "s=eurusd=x&f=l1", "s=%45%55%52USD%3DX&f=l1",
        "s=EURUSD=X&f=l1&e=.csv", "&s=EURUSD=X&&f=l1&", "%73=EURUSD=X&%66=l%31"}) {
    auto parsed = parseQuoteQuery(query);
    EXPECT_TRUE(parsed.ok()) << query << ": " << parsed.error;
    EXPECT_EQ(parsed.from, "EUR") << query;
    EXPECT_EQ(parsed.to, "USD") << query;
  }
}

TEST(QuoteQuery, RefusesMalformedAndHostileQueries) {
  std::string huge = "s=" + std::string(100000, 'A') + "=X&f=l1";
  for (std::string query : std::vector<std::string>{"",
                                                    "f=l1",
                                                    "s=EURUSD=X",
                                                    "s=&f=l1",
                                                    "s=EURUSD=X&f=",
                                                    "s=EURUSD=X&f=l2",
                                                    "s=EURUSD=X&f=L1",
                                                    "s=EURUSD=X&f=l1&s=USDJPY=X",
                                                    "s=EURUSD=X&f=l1&f=l1",
                                                    "s=EURUSD&f=l1",
                                                    "s=EURUSDX&f=l1",
                                                    "s=EURUSD=Y&f=l1",
                                                    "s=EURUS=X&f=l1",
                                                    "s=EURUSDD=X&f=l1",
                                                    "s=EU1USD=X&f=l1",
                                                    "s=EUR%00SD=X&f=l1",
                                                    "s=EUR%FFSD=X&f=l1",
                                                    "s=EURUSD=X%&f=l1",
                                                    "s=EUR+SD=X&f=l1",
                                                    "s=\xc3\x84URUSD=X&f=l1",
                                                    "s=EUR%2=X&f=l1",
                                                    huge}) {
    auto parsed = parseQuoteQuery(query);
    EXPECT_FALSE(parsed.ok()) << "accepted: " << query.substr(0, 60);
  }
}

TEST(QuoteQuery, AnswersRateUnknownOrBadRequest) {
  RateTable table;
  ASSERT_FALSE(table.add("USD", 1.1415));
  ASSERT_FALSE(table.add("JPY", 185.31));
  auto ok = answerQuote(table, "s=USDJPY=X&f=l1");
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(ok.contentType, "text/csv");
  EXPECT_EQ(ok.body, "162.3390276\n");
  EXPECT_EQ(answerQuote(table, "s=JPYJPY=X&f=l1").body, "1\n");
  auto unknown = answerQuote(table, "s=USDXAU=X&f=l1");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(unknown.body, "N/A");
  auto bad = answerQuote(table, "s=USDJPY&f=l1");
  EXPECT_EQ(bad.status, 400);
  EXPECT_NE(bad.body.find("AAABBB=X"), std::string::npos);
}

}  // namespace
}  // namespace tessary::quotes
