// The binary form: "bplist00", objects, an offset table and a 32-byte trailer. Every count,
// offset and reference is checked against the file before it is followed, so hostile input
// reads as nothing.
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/foundation/property_list.h"
#include "platform/foundation/utf16.h"

namespace property_list::detail {
namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kTrailerSize = 32;

uint64_t readBigEndian(const unsigned char* p, size_t size) {
  uint64_t value = 0;
  for (size_t i = 0; i < size; ++i) value = value << 8 | p[i];
  return value;
}

class BinaryReader {
 public:
  explicit BinaryReader(std::string_view bytes)
      : data_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()) {}

  id read() {
    if (!readTrailer()) return nullptr;
    if (count_ <= kDenseLimit) dense_.resize(count_);
    return object(top_, 0);
  }

 private:
  enum State : unsigned char { kUnvisited, kReading, kDone };
  struct Entry {
    id value;
    State state = kUnvisited;
    // How many objects the value holds once shared references are written out in full.
    uint64_t expanded = 0;
  };
  // Sharing lets a tiny file stand for an exponentially large tree, which everything that
  // walks the value (the writer, comparisons) would expand; such a file reads as nothing.
  static constexpr uint64_t kMaxExpanded = uint64_t{1} << 21;
  // Each object is decoded once and shared by every reference to it, so a file cannot make
  // us build the same subtree over and over. Files with many objects get a sparse table,
  // whose size follows the references actually made rather than the count claimed.
  static constexpr uint64_t kDenseLimit = 1 << 16;

  Entry& entry(uint64_t index) { return dense_.empty() ? sparse_[index] : dense_[index]; }

  bool readTrailer() {
    if (size_ < kHeaderSize + 1 + kTrailerSize || std::memcmp(data_, "bplist00", 8) != 0) {
      return false;
    }
    const unsigned char* trailer = data_ + size_ - kTrailerSize;
    offsetSize_ = trailer[6];
    refSize_ = trailer[7];
    count_ = readBigEndian(trailer + 8, 8);
    top_ = readBigEndian(trailer + 16, 8);
    tableOffset_ = readBigEndian(trailer + 24, 8);
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return false;
    if (count_ < 1 || top_ >= count_) return false;
    const uint64_t tableRoom = size_ - kTrailerSize;
    if (tableOffset_ < kHeaderSize + 1 || tableOffset_ > tableRoom) return false;
    // The table lies between the objects and the trailer: count * size bytes, no overflow.
    return count_ <= (tableRoom - tableOffset_) / offsetSize_;
  }

  // Where an object starts; it must start and end before the offset table.
  bool offsetOf(uint64_t index, uint64_t& offset) const {
    offset = readBigEndian(data_ + tableOffset_ + index * offsetSize_, offsetSize_);
    return offset >= kHeaderSize && offset < tableOffset_;
  }

  bool fits(uint64_t at, uint64_t length) const {
    return at <= tableOffset_ && length <= tableOffset_ - at;
  }

  // The element count of data, strings, arrays and dictionaries: the low nibble, or an
  // integer object after it when the nibble is 0xF. `at` moves past it.
  bool readCount(uint64_t& at, uint64_t& count) const {
    count = data_[at] & 0x0F;
    ++at;
    if (count != 0x0F) return true;
    if (!fits(at, 1)) return false;
    const unsigned marker = data_[at];
    if ((marker & 0xF0) != 0x10 || (marker & 0x0F) > 3) return false;
    const size_t width = size_t{1} << (marker & 0x0F);
    if (!fits(at + 1, width)) return false;
    count = readBigEndian(data_ + at + 1, width);
    at += 1 + width;
    return true;
  }

  id object(uint64_t index, int depth) {
    {
      Entry& known = entry(index);
      if (known.state == kDone) return known.value;
      // A container that holds itself, directly or not, has no value.
      if (known.state == kReading || depth > kMaxDepth) return nullptr;
      known.state = kReading;
    }
    expanded_ = 1;
    id value = decode(index, depth);
    if (expanded_ > kMaxExpanded) value = nullptr;
    // Decoding may have grown the sparse table, so look the entry up again.
    Entry& known = entry(index);
    known.value = value;
    known.expanded = expanded_;
    known.state = kDone;
    return value;
  }

  id decode(uint64_t index, int depth) {
    uint64_t at;
    if (!offsetOf(index, at)) return nullptr;
    const unsigned marker = data_[at];
    const unsigned low = marker & 0x0F;
    switch (marker >> 4) {
      case 0x0:
        // Null and fill have no value in our property lists.
        if (marker == 0x08 || marker == 0x09) return NSNumber::numberWithBool(marker == 0x09);
        return nullptr;
      case 0x1:
        return integer(at + 1, low);
      case 0x2:
        return real(at + 1, low);
      case 0x3:
        if (marker != 0x33 || !fits(at + 1, 8)) return nullptr;
        return NSDate::dateWithTimeIntervalSinceReferenceDate(doubleAt(at + 1));
      case 0x4:
        return data(at);
      case 0x5:
        return asciiString(at);
      case 0x6:
        return utf16String(at);
      case 0x8:
        return uid(at + 1, low + 1);
      case 0xA:
        return array(at, depth);
      case 0xD:
        return dictionary(at, depth);
      default:
        // Sets, URLs, UUIDs and unknown markers.
        return nullptr;
    }
  }

  id integer(uint64_t at, unsigned log2Size) {
    if (log2Size > 4) return nullptr;
    const size_t width = size_t{1} << log2Size;
    if (!fits(at, width)) return nullptr;
    if (width < 8)
      return NSNumber::numberWithInteger(static_cast<int64_t>(readBigEndian(data_ + at, width)));
    if (width == 8)
      return NSNumber::numberWithInteger(static_cast<int64_t>(readBigEndian(data_ + at, 8)));
    // 128 bits: we hold what fits in 64 bits, signed or unsigned; beyond that is malformed.
    const uint64_t high = readBigEndian(data_ + at, 8);
    const uint64_t low = readBigEndian(data_ + at + 8, 8);
    if (high == 0) return NSNumber::numberWithUnsignedInteger(low);
    if (high == UINT64_MAX && low > INT64_MAX)
      return NSNumber::numberWithInteger(static_cast<int64_t>(low));
    return nullptr;
  }

  double doubleAt(uint64_t at) const {
    const uint64_t bits = readBigEndian(data_ + at, 8);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  id real(uint64_t at, unsigned log2Size) {
    if (log2Size == 2 && fits(at, 4)) {
      const auto bits = static_cast<uint32_t>(readBigEndian(data_ + at, 4));
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return NSNumber::numberWithDouble(value);
    }
    if (log2Size == 3 && fits(at, 8)) return NSNumber::numberWithDouble(doubleAt(at));
    return nullptr;
  }

  id data(uint64_t at) {
    uint64_t length;
    if (!readCount(at, length) || !fits(at, length)) return nullptr;
    return NSData::dataWithBytes(std::string(reinterpret_cast<const char*>(data_ + at), length));
  }

  id asciiString(uint64_t at) {
    uint64_t length;
    if (!readCount(at, length) || !fits(at, length)) return nullptr;
    // The platform reads this kind as ASCII and refuses other bytes.
    for (uint64_t i = 0; i < length; ++i) {
      if (data_[at + i] >= 0x80) return nullptr;
    }
    return NSStr(std::string(reinterpret_cast<const char*>(data_ + at), length));
  }

  id utf16String(uint64_t at) {
    uint64_t units;
    if (!readCount(at, units) || units > tableOffset_ / 2 || !fits(at, units * 2)) return nullptr;
    std::u16string text(units, u'\0');
    for (uint64_t i = 0; i < units; ++i) {
      text[i] = static_cast<char16_t>(data_[at + 2 * i] << 8 | data_[at + 2 * i + 1]);
    }
    // A lone surrogate has no UTF-8 form and reads as U+FFFD.
    return NSStr(utf16::toUTF8(text));
  }

  // A keyed archiver's reference; the platform shows it as {"CF$UID": n} in XML, and so
  // does this reader, so that the XML we write reads back the same.
  id uid(uint64_t at, unsigned width) {
    if (width > 8 || !fits(at, width)) return nullptr;
    NSDictionary::Storage entries;
    entries.emplace("CF$UID",
                    NSNumber::numberWithUnsignedInteger(readBigEndian(data_ + at, width)));
    return std::make_shared<NSDictionary>(std::move(entries));
  }

  bool refAt(uint64_t at, uint64_t& ref) const {
    ref = readBigEndian(data_ + at, refSize_);
    return ref < count_;
  }

  bool readRefs(uint64_t& at, uint64_t& count, uint64_t perEntry) const {
    if (!readCount(at, count)) return false;
    const uint64_t room = tableOffset_ - at;
    return count <= room / (perEntry * refSize_);
  }

  id array(uint64_t at, int depth) {
    uint64_t count;
    if (!readRefs(at, count, 1)) return nullptr;
    std::vector<id> objects;
    objects.reserve(count);
    uint64_t expanded = 1;
    for (uint64_t i = 0; i < count; ++i) {
      uint64_t ref;
      if (!refAt(at + i * refSize_, ref)) return nullptr;
      id element = object(ref, depth + 1);
      if (!element) return nullptr;
      expanded += entry(ref).expanded;
      if (expanded > kMaxExpanded) return nullptr;
      objects.push_back(std::move(element));
    }
    expanded_ = expanded;
    return std::make_shared<NSArray>(std::move(objects));
  }

  id dictionary(uint64_t at, int depth) {
    uint64_t count;
    if (!readRefs(at, count, 2)) return nullptr;
    NSDictionary::Storage entries;
    uint64_t expanded = 1;
    for (uint64_t i = 0; i < count; ++i) {
      uint64_t keyRef, valueRef;
      if (!refAt(at + i * refSize_, keyRef) || !refAt(at + (count + i) * refSize_, valueRef)) {
        return nullptr;
      }
      const auto key = kindOf<NSString>(object(keyRef, depth + 1));
      if (!key) return nullptr;
      id value = object(valueRef, depth + 1);
      if (!value) return nullptr;
      expanded += 1 + entry(valueRef).expanded;
      if (expanded > kMaxExpanded) return nullptr;
      // A repeated key keeps its last value, as in XML.
      entries.insert_or_assign(key->UTF8String(), std::move(value));
    }
    expanded_ = expanded;
    return std::make_shared<NSDictionary>(std::move(entries));
  }

  const unsigned char* data_;
  uint64_t size_;
  unsigned offsetSize_ = 0;
  unsigned refSize_ = 0;
  uint64_t count_ = 0;
  uint64_t top_ = 0;
  uint64_t tableOffset_ = 0;
  uint64_t expanded_ = 0;  // of the object decode() has just made
  std::vector<Entry> dense_;
  std::unordered_map<uint64_t, Entry> sparse_;
};

}  // namespace

id parseBinary(std::string_view bytes) {
  return BinaryReader(bytes).read();
}

}  // namespace property_list::detail
