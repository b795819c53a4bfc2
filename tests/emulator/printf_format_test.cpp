// The formatter behind the emulated vfprintf: msvcrt's conventions, and
// safety against formats it does not understand or cannot afford.
#include "emulator/printf_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using qmxpe::formatPrintf;

// Slots as a varargs area would hold them; texts at made-up addresses.
class FakeArguments : public qmxpe::PrintfArguments {
 public:
  FakeArguments(std::vector<uint32_t> slots, std::map<uint32_t, std::string> texts = {},
                std::map<uint32_t, std::u16string> wide = {})
      : slots_(std::move(slots)), texts_(std::move(texts)), wide_(std::move(wide)) {}

  uint32_t next() override {
    if (used_ >= slots_.size()) {
      ADD_FAILURE() << "the format read more arguments than were passed";
      return 0;
    }
    return slots_[used_++];
  }
  std::string text(uint32_t address, size_t limit) override {
    limits.push_back(limit);
    const std::string& text = texts_.at(address);
    return text.substr(0, std::min(limit, text.size()));
  }
  std::u16string wideText(uint32_t address, size_t limit) override {
    const std::u16string& text = wide_.at(address);
    return text.substr(0, std::min(limit, text.size()));
  }
  size_t used() const { return used_; }

  std::vector<size_t> limits;

 private:
  std::vector<uint32_t> slots_;
  std::map<uint32_t, std::string> texts_;
  std::map<uint32_t, std::u16string> wide_;
  size_t used_ = 0;
};

uint32_t bits(int32_t value) {
  return static_cast<uint32_t>(value);
}

std::vector<uint32_t> doubleSlots(double value) {
  uint64_t raw;
  std::memcpy(&raw, &value, sizeof raw);
  return {static_cast<uint32_t>(raw), static_cast<uint32_t>(raw >> 32)};
}

std::vector<uint32_t> join(std::vector<uint32_t> a, const std::vector<uint32_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Case {
  const char* format;
  std::vector<uint32_t> slots;
  const char* expected;
};

constexpr uint32_t kText = 0x1000;
constexpr uint32_t kWide = 0x2000;

class PrintfCase : public ::testing::TestWithParam<Case> {};

TEST_P(PrintfCase, formats_as_msvcrt_does) {
  const Case& c = GetParam();
  FakeArguments args(c.slots, {{kText, "kot"}}, {{kWide, u"\u0142\u00f3d\u017a \u2603"}});
  EXPECT_EQ(formatPrintf(c.format, args), c.expected) << c.format;
  EXPECT_EQ(args.used(), c.slots.size()) << "arguments consumed by " << c.format;
}

const Case kCases[] = {
    {"", {}, ""},
    {"plain text", {}, "plain text"},
    {"100%%", {}, "100%"},
    {"%d", {bits(-5)}, "-5"},
    {"%i|%u", {bits(-1), bits(-1)}, "-1|4294967295"},
    {"[%5d][%-5d]", {42, 42}, "[   42][42   ]"},
    {"%05d", {bits(-42)}, "-0042"},
    {"%+d % d", {7, 7}, "+7  7"},
    {"%.3d|%.0d|%5.0d|", {7, 0, 0}, "007||     |"},
    {"%x %X %#x %#X %#x", {255, 255, 255, 255, 0}, "ff FF 0xff 0XFF 0"},
    {"%o %#o", {8, 8}, "10 010"},
    {"%hd %hu %hhd", {0x18000, 0x1ffff, 0x180}, "-32768 65535 -128"},
    {"%I64d", {0xffffffff, 0xffffffff}, "-1"},
    {"%lld %I64u", {0, 1, 0, 0x80000000}, "4294967296 9223372036854775808"},
    {"%I32d %ld %zu", {bits(-3), 4, 5}, "-3 4 5"},
    {"%p", {0x1234}, "00001234"},
    {"%10p|", {0xdeadbeef}, "  DEADBEEF|"},
    {"%c%c", {'o', 0x141 /* only the low byte counts */}, "oA"},
    {"%s", {kText}, "kot"},
    {"%5s|%-5s|", {kText, kText}, "  kot|kot  |"},
    {"%s", {0}, "(null)"},
    {"%*d|%-*d|", {4, 1, bits(-4), 2}, "   1|2   |"},
    {"%.*s|", {2, kText}, "ko|"},
    {"%S",
     {kWide},
     "\xb3\xf3"
     "d\x9f ?"},
    {"%ls|%hs",
     {kWide, kText},
     "\xb3\xf3"
     "d\x9f ?|kot"},
    {"%C", {0x142}, "\xb3"},
    {"%n%d", {0x5000, 9}, "9"},
    {"%y|", {}, "%y|"},
    {"trailing %", {}, "trailing %"},
    {"%-08.3", {}, "%-08.3"},
    {"%e", doubleSlots(1.5), "1.500000e+000"},
    {"%.2f|", doubleSlots(3.14159), "3.14|"},
    {"%8.3f|%-8.1f|%08.2f", join(doubleSlots(1.0), join(doubleSlots(2.5), doubleSlots(-2.5))),
     "   1.000|2.5     |-0002.50"},
    {"%g %G", join(doubleSlots(0.0001), doubleSlots(100.0)), "0.0001 100"},
    {"%+.1E", doubleSlots(-12345.0), "-1.2E+004"},
};

INSTANTIATE_TEST_SUITE_P(Printf, PrintfCase, ::testing::ValuesIn(kCases));

// A %.Ns never needs more than N bytes, so a text without a terminator is
// not read past its end.
TEST(Printf, precision_bounds_what_is_read_of_a_text) {
  FakeArguments args({kText}, {{kText, "kot"}});
  EXPECT_EQ(formatPrintf("%.2s", args), "ko");
  ASSERT_EQ(args.limits.size(), 1u);
  EXPECT_EQ(args.limits[0], 2u);
}

TEST(Printf, hostile_widths_are_capped) {
  FakeArguments args({1, 1, 0x7fffffff, 1});
  const std::string text = formatPrintf("%99999999999d|%.99999999999d|%*d", args);
  EXPECT_LE(text.size(), 3u * 65536 + 2);
  EXPECT_EQ(text.substr(0, 65536), std::string(65535, ' ') + "1");
}

}  // namespace
