// Our property-list reader against libplist, an independent implementation: for every file
// of the shared corpus, the value trees must agree, or the file must be malformed for both,
// or the difference is one of the deliberate ones below, each asserted on its own.
#include <gtest/gtest.h>
#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

#include "build_paths.h"
#include "platform/foundation/file_manager.h"
#include "platform/foundation/property_list.h"

namespace {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using Node = std::unique_ptr<void, PlistFree>;

Node libplistRead(const std::string& bytes) {
  plist_t node = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &node);
  return Node(node);
}

std::string takeString(char* text) {
  std::string out = text ? text : "";
  std::free(text);
  return out;
}

// Where the trees part, as a path; empty when they agree. libplist keeps every integer as
// 64 bits without a sign, so integers compare by their bits.
std::string difference(const id& ours, plist_t theirs, const std::string& at = "/") {
  if (!ours) return at + ": ours is nothing";
  switch (plist_get_node_type(theirs)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(theirs, &value);
      const auto number = kindOf<NSNumber>(ours);
      return number && number->kind() == NSNumber::Kind::Boolean &&
                     number->boolValue() == (value != 0)
                 ? ""
                 : at + ": boolean";
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(theirs, &value);
      const auto number = kindOf<NSNumber>(ours);
      return number && number->kind() == NSNumber::Kind::Integer && number->unsignedValue() == value
                 ? ""
                 : at + ": integer " + std::to_string(value);
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(theirs, &value);
      const auto number = kindOf<NSNumber>(ours);
      const bool same =
          number && number->kind() == NSNumber::Kind::Real &&
          (number->realValue() == value || (std::isnan(number->realValue()) && std::isnan(value)));
      return same ? "" : at + ": real";
    }
    case PLIST_STRING: {
      char* text = nullptr;
      plist_get_string_val(theirs, &text);
      const auto string = kindOf<NSString>(ours);
      return string && string->UTF8String() == takeString(text) ? "" : at + ": string";
    }
    case PLIST_DATA: {
      char* bytes = nullptr;
      uint64_t length = 0;
      plist_get_data_val(theirs, &bytes, &length);
      const std::string value(bytes ? bytes : "", bytes ? length : 0);
      std::free(bytes);
      const auto data = kindOf<NSData>(ours);
      return data && data->bytes() == value ? "" : at + ": data";
    }
    case PLIST_DATE: {
      int32_t seconds = 0, micro = 0;
      plist_get_date_val(theirs, &seconds, &micro);
      const auto date = kindOf<NSDate>(ours);
      return date && date->timeIntervalSinceReferenceDate() == seconds + micro / 1e6
                 ? ""
                 : at + ": date";
    }
    case PLIST_ARRAY: {
      const auto array = kindOf<NSArray>(ours);
      if (!array || array->count() != plist_array_get_size(theirs)) return at + ": array";
      for (uint32_t i = 0; i < plist_array_get_size(theirs); ++i) {
        const std::string inner = difference(
            array->objectAtIndex(i), plist_array_get_item(theirs, i), at + std::to_string(i) + "/");
        if (!inner.empty()) return inner;
      }
      return "";
    }
    case PLIST_DICT: {
      const auto dictionary = kindOf<NSDictionary>(ours);
      if (!dictionary || dictionary->count() != plist_dict_get_size(theirs))
        return at + ": dictionary";
      plist_dict_iter iterator = nullptr;
      plist_dict_new_iter(theirs, &iterator);
      std::string found;
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(theirs, iterator, &key, &value);
        if (!value) break;
        const std::string name = takeString(key);
        found = difference(dictionary->objectForKey(name), value, at + name + "/");
        if (!found.empty()) break;
      }
      std::free(iterator);
      return found;
    }
    default:
      return at + ": a kind we do not hold";
  }
}

std::string corpusFile(const std::string& name) {
  return file_io::readAll(std::string(tessary::build::kPlistCorpusDir) + "/" + name).value_or("");
}

double referenceSeconds(int64_t unixTime) {
  return static_cast<double>(unixTime - 978307200);
}

// Files where we differ from libplist 2.2 on purpose; each is checked in its own test.
const std::set<std::string> kDeliberate = {"o1.ostep", "o2.ostep", "o3.ostep", "uid.bplist",
                                           "7.plist"};
// Files both readers must refuse.
const std::set<std::string> kMalformed = {"5.plist", "amp.plist", "invalid_tag.plist",
                                          "malformed_dict.bplist", "recursion.bplist"};

TEST(PlistOracle, AgreesWithLibplistOnTheCorpus) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(tessary::build::kPlistCorpusDir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  ASSERT_GE(names.size(), 40u);
  size_t agreed = 0;
  for (const auto& name : names) {
    if (kDeliberate.count(name)) continue;
    SCOPED_TRACE(name);
    const std::string bytes = corpusFile(name);
    const Node theirs = libplistRead(bytes);
    const id ours = property_list::parse(bytes);
    EXPECT_EQ(kMalformed.count(name) == 1, theirs == nullptr);
    if (!theirs) {
      EXPECT_FALSE(ours);
      continue;
    }
    EXPECT_EQ(difference(ours, theirs.get()), "");
    // What we write, libplist reads back to the same tree.
    const auto xml = property_list::writeXML(*ours);
    ASSERT_TRUE(xml);
    const Node reread = libplistRead(*xml);
    ASSERT_TRUE(reread);
    EXPECT_EQ(difference(ours, reread.get()), "");
    ++agreed;
  }
  EXPECT_GE(agreed, 35u);
}

TEST(PlistOracle, ReadsTheTextFormThatLibplistRefuses) {
  // libplist 2.2 has no reader for the old text form; ours reads it as the platform does
  // (the values are checked by hand in the platform tests).
  for (const char* name : {"o1.ostep", "o2.ostep", "o3.ostep"}) {
    const std::string bytes = corpusFile(name);
    EXPECT_FALSE(libplistRead(bytes)) << name;
    EXPECT_TRUE(property_list::parse(bytes)) << name;
  }
}

TEST(PlistOracle, ReadsUIDsAsTheirDictionaryForm) {
  // libplist has a UID kind; our values have none, so a UID reads as the {"CF$UID": n}
  // dictionary the platform shows in XML, and round-trips through our XML as such.
  const std::string bytes = corpusFile("uid.bplist");
  const Node theirs = libplistRead(bytes);
  ASSERT_TRUE(theirs);
  ASSERT_EQ(plist_get_node_type(theirs.get()), PLIST_UID);
  uint64_t uid = 0;
  plist_get_uid_val(theirs.get(), &uid);
  EXPECT_EQ(uid, 7u);
  const auto ours = kindOf<NSDictionary>(property_list::parse(bytes));
  ASSERT_TRUE(ours);
  EXPECT_EQ(ours->count(), 1u);
  const auto number = kindOf<NSNumber>(ours->objectForKey("CF$UID"));
  ASSERT_TRUE(number);
  EXPECT_EQ(number->integerValue(), 7);
}

TEST(PlistOracle, ReadsDatesOutsideThirtyTwoBitSeconds) {
  // libplist 2.2 keeps dates as 32-bit seconds and clamps 1869 and 2199 to INT32_MIN; ours
  // are doubles and exact.
  const std::string bytes = corpusFile("7.plist");
  const Node theirs = libplistRead(bytes);
  const auto ours = kindOf<NSDictionary>(property_list::parse(bytes));
  ASSERT_TRUE(theirs && ours);
  const auto seconds = [&](const char* key) {
    return kindOf<NSDate>(ours->objectForKey(key))->timeIntervalSinceReferenceDate();
  };
  const auto theirSeconds = [&](const char* key) {
    int32_t s = 0, micro = 0;
    plist_get_date_val(plist_dict_get_item(theirs.get(), key), &s, &micro);
    return s;
  };
  EXPECT_EQ(seconds("Time1"), theirSeconds("Time1"));
  EXPECT_EQ(seconds("Time2"), theirSeconds("Time2"));
  EXPECT_EQ(seconds("Time3"), referenceSeconds(-3187007008));  // 1869-01-03T08:16:32Z
  EXPECT_EQ(seconds("Time4"), referenceSeconds(7246545011));   // 2199-08-20T01:10:11Z
  EXPECT_EQ(theirSeconds("Time3"), INT32_MIN);
  EXPECT_EQ(theirSeconds("Time4"), INT32_MIN);
}

std::string plistWith(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body +
         "\n</plist>\n";
}

TEST(PlistOracle, DeliberateDifferencesInValues) {
  // <integer>010</integer> is ten on the platform; libplist reads it as octal.
  Node theirs = libplistRead(plistWith("<integer>010</integer>"));
  uint64_t value = 0;
  plist_get_uint_val(theirs.get(), &value);
  EXPECT_EQ(value, 8u);
  EXPECT_EQ(
      kindOf<NSNumber>(property_list::parse(plistWith("<integer>010</integer>")))->integerValue(),
      10);

  // Hex after 0x is no difference: both read it (hex.plist agrees in the corpus test).
  theirs = libplistRead(plistWith("<integer>0x1A</integer>"));
  plist_get_uint_val(theirs.get(), &value);
  EXPECT_EQ(value, 26u);
  EXPECT_EQ(
      kindOf<NSNumber>(property_list::parse(plistWith("<integer>0x1A</integer>")))->integerValue(),
      26);

  // A binary ASCII string with a byte past 0x7F: libplist passes the bytes on, the
  // platform refuses the file, and so do we.
  const std::string highByte(
      "bplist00\x52\xc3\xa9\x08"
      "\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x0b",
      44);
  EXPECT_TRUE(libplistRead(highByte));
  EXPECT_FALSE(property_list::parse(highByte));

  // A repeated key: both keep the last value.
  const std::string repeated =
      plistWith("<dict><key>a</key><string>1</string><key>a</key><string>2</string></dict>");
  theirs = libplistRead(repeated);
  EXPECT_EQ(difference(property_list::parse(repeated), theirs.get()), "");

  // libplist parses reals with atof, which follows LC_NUMERIC; ours never looks at the
  // locale. (No other locale is installed on the build machines, so this stays a note.)
}

TEST(PlistOracle, AgreesOnALargeRateStore) {
  // Every ordered pair of 170 codes, as the widget's rate store holds them.
  std::vector<std::string> codes;
  for (int i = 0; i < 170; ++i) {
    codes.push_back(
        std::string{char('A' + i / 26 % 26), char('A' + i % 26), char('A' + i * 7 % 26)});
  }
  NSDictionary::Storage entries;
  for (const auto& from : codes) {
    for (const auto& to : codes) {
      if (from == to) continue;
      entries[from + "-" + to] = NSStr(std::to_string(entries.size() % 9973 / 1000.0) + "\n");
    }
  }
  ASSERT_EQ(entries.size(), 28730u);
  const auto xml = property_list::writeXML(NSDictionary(std::move(entries)));
  ASSERT_TRUE(xml);
  const Node theirs = libplistRead(*xml);
  ASSERT_TRUE(theirs);
  EXPECT_EQ(difference(property_list::parse(*xml), theirs.get()), "");
}

}  // namespace
