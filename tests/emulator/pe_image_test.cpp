// The PE32 reader on the fixture DLLs: what it finds in well-formed images,
// and that damaged ones end in a PeError naming the damage, never in a read
// outside the file.
#include "emulator/pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/emulator/fixture_support.h"

namespace {

using qmxpe::PeError;
using qmxpe::PeImage;
using qmxpetest::fixturePath;

using Bytes = std::vector<uint8_t>;

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t get32(const Bytes& f, size_t at) {
  uint32_t value;
  std::memcpy(&value, f.data() + at, 4);
  return value;
}
void put32(Bytes& f, size_t at, uint32_t value) {
  std::memcpy(f.data() + at, &value, 4);
}
void put16(Bytes& f, size_t at, uint16_t value) {
  std::memcpy(f.data() + at, &value, 2);
}

// Offsets of the headers in a well-formed file, found independently of the
// reader under test.
struct Headers {
  explicit Headers(const Bytes& f)
      : nt(get32(f, 0x3c)),
        optional(nt + 24),
        sectionTable(optional + (f[nt + 20] | f[nt + 21] << 8)),
        sectionCount(static_cast<uint16_t>(f[nt + 6] | f[nt + 7] << 8)) {}

  uint32_t directoryRva(const Bytes& f, int index) const {
    return get32(f, optional + 96 + 8 * index);
  }
  uint32_t imageBase(const Bytes& f) const { return get32(f, optional + 28); }

  size_t fileOffset(const Bytes& f, uint32_t rva) const {
    for (uint32_t i = 0; i < sectionCount; ++i) {
      const size_t header = sectionTable + 40 * i;
      const uint32_t va = get32(f, header + 12);
      const uint32_t raw = get32(f, header + 16);
      if (rva >= va && rva < va + raw) {
        return get32(f, header + 20) + (rva - va);
      }
    }
    ADD_FAILURE() << "RVA " << rva << " is in no section";
    return 0;
  }

  uint32_t nt;
  uint32_t optional;
  uint32_t sectionTable;
  uint16_t sectionCount;
};

enum Directory { kExport = 0, kImport = 1, kReloc = 5, kTls = 9 };

TEST(PeImage, reads_imports_by_name_and_by_ordinal) {
  const PeImage image = PeImage::fromFile(fixturePath("calls"));
  const auto& imports = image.imports();
  auto byOrdinal = std::find_if(imports.begin(), imports.end(), [](const qmxpe::PeImport& i) {
    return i.dll == "COMCTL32.dll" && i.byOrdinal;
  });
  ASSERT_NE(byOrdinal, imports.end());
  EXPECT_EQ(byOrdinal->ordinal, 17);

  auto named = std::find_if(imports.begin(), imports.end(), [](const qmxpe::PeImport& i) {
    return i.dll == "KERNEL32.dll" && i.name == "TlsAlloc";
  });
  ASSERT_NE(named, imports.end());
  EXPECT_FALSE(named->byOrdinal);

  // Every import has a slot of its own inside the image.
  std::set<uint32_t> slots;
  for (const auto& entry : imports) {
    EXPECT_LE(entry.iatRva + 4, image.sizeOfImage()) << entry.name;
    EXPECT_EQ(entry.iatRva % 4, 0u) << entry.name;
    slots.insert(entry.iatRva);
  }
  EXPECT_EQ(slots.size(), imports.size());
}

TEST(PeImage, reads_exports_with_names_and_ordinals) {
  const PeImage image = PeImage::fromFile(fixturePath("globals"));
  EXPECT_EQ(image.exportName(), "globals.dll");
  for (const char* name : {"g_value", "g_pointer", "global_address", "read_through_pointer"}) {
    const qmxpe::PeExport* found = image.findExport(name);
    ASSERT_NE(found, nullptr) << name;
    EXPECT_LT(found->rva, image.sizeOfImage()) << name;
    EXPECT_EQ(image.findExport(found->ordinal), found) << name;
  }
  EXPECT_EQ(image.findExport("DllMain"), nullptr);
  EXPECT_EQ(image.findExport(uint16_t{999}), nullptr);
}

TEST(PeImage, reads_the_tls_directory_and_its_callbacks) {
  const PeImage image = PeImage::fromFile(fixturePath("lifecycle"));
  ASSERT_TRUE(image.tls().has_value());
  const qmxpe::PeTls& tls = *image.tls();
  ASSERT_EQ(tls.callbackRvas.size(), 1u);
  EXPECT_LT(tls.callbackRvas[0], image.sizeOfImage());
  EXPECT_LT(tls.rawDataStart, tls.rawDataEnd);
  EXPECT_GE(tls.indexAddress, image.imageBase());
  EXPECT_FALSE(PeImage::fromFile(fixturePath("calls")).tls().has_value());
}

// Mapping at another base changes exactly the relocated fields, each by the
// distance between the bases, and the header's ImageBase.
TEST(PeImage, layout_applies_every_relocation_and_nothing_else) {
  const PeImage image = PeImage::fromFile(fixturePath("globals"));
  ASSERT_FALSE(image.relocations().empty());
  const uint32_t base = image.imageBase();
  const uint32_t moved = base + 0x00350000;
  const Bytes original = image.layout(base);
  const Bytes relocated = image.layout(moved);
  ASSERT_EQ(original.size(), image.sizeOfImage());
  ASSERT_EQ(relocated.size(), original.size());

  std::set<size_t> expected;
  for (const auto& relocation : image.relocations()) {
    ASSERT_EQ(relocation.type, qmxpe::RelocationType::kHighLow);
    EXPECT_EQ(get32(relocated, relocation.rva) - get32(original, relocation.rva), moved - base);
    for (size_t i = 0; i < 4; ++i) expected.insert(relocation.rva + i);
  }
  const Headers headers(original);
  EXPECT_EQ(headers.imageBase(relocated), moved);
  for (size_t i = 0; i < 4; ++i) expected.insert(headers.optional + 28 + i);
  for (size_t i = 0; i < original.size(); ++i) {
    if (original[i] != relocated[i]) {
      EXPECT_TRUE(expected.count(i)) << "byte at RVA " << i << " changed";
    }
  }
}

struct Damage {
  const char* name;
  const char* fixture;
  std::function<void(Bytes&, const Headers&)> apply;
  const char* expected;  // part of the error message
};

const Damage kDamages[] = {
    {"empty_file", "calls", [](Bytes& f, const Headers&) { f.clear(); }, "truncated file"},
    {"no_mz", "calls", [](Bytes& f, const Headers&) { f[0] = 'X'; }, "no MZ signature"},
    {"nt_headers_past_the_end", "calls",
     [](Bytes& f, const Headers&) { put32(f, 0x3c, static_cast<uint32_t>(f.size()) - 8); },
     "the NT headers"},
    {"no_pe_signature", "calls", [](Bytes& f, const Headers& h) { f[h.nt + 1] = 'X'; },
     "no PE signature"},
    {"x86_64_machine", "calls", [](Bytes& f, const Headers& h) { put16(f, h.nt + 4, 0x8664); },
     "not an i386 image"},
    {"pe32_plus", "calls", [](Bytes& f, const Headers& h) { put16(f, h.optional, 0x20b); },
     "not a PE32 image"},
    {"optional_header_too_small", "calls",
     [](Bytes& f, const Headers& h) { put16(f, h.nt + 20, 64); }, "optional header too small"},
    {"no_sections", "calls", [](Bytes& f, const Headers& h) { put16(f, h.nt + 6, 0); },
     "NumberOfSections"},
    {"section_table_cut_off", "calls",
     [](Bytes& f, const Headers& h) { f.resize(h.sectionTable + 40 * h.sectionCount - 1); },
     "the section table"},
    {"section_data_past_the_end", "calls",
     [](Bytes& f, const Headers& h) {
       put32(f, h.sectionTable + 20, static_cast<uint32_t>(f.size()) - 16);
     },
     "past the end of the file"},
    {"section_outside_the_image", "calls",
     [](Bytes& f, const Headers& h) { put32(f, h.sectionTable + 12, 0x7fff0000); },
     "lies outside the image"},
    {"unaligned_base", "calls",
     [](Bytes& f, const Headers& h) { put32(f, h.optional + 28, 0x10001000); }, "64 KiB"},
    {"huge_image", "calls",
     [](Bytes& f, const Headers& h) { put32(f, h.optional + 56, 0x40000000); }, "SizeOfImage"},
    {"entry_point_outside", "calls",
     [](Bytes& f, const Headers& h) { put32(f, h.optional + 16, 0x7fffff00); }, "entry point"},
    {"import_directory_outside", "calls",
     [](Bytes& f, const Headers& h) { put32(f, h.optional + 96 + 8 * kImport, 0x7fff0000); },
     "data directory 1"},
    {"import_name_outside", "calls",
     [](Bytes& f, const Headers& h) {
       put32(f, h.fileOffset(f, h.directoryRva(f, kImport)) + 12, 0x00fffff0);
     },
     "name of imported DLL 0"},
    {"import_list_unterminated", "calls",
     [](Bytes& f, const Headers& h) {
       // Point the first DLL's lookup table at the last word of the image.
       const uint32_t sizeOfImage = get32(f, h.optional + 56);
       put32(f, h.fileOffset(f, h.directoryRva(f, kImport)), sizeOfImage - 2);
     },
     "outside the image"},
    {"export_ordinal_out_of_range", "calls",
     [](Bytes& f, const Headers& h) {
       const size_t directory = h.fileOffset(f, h.directoryRva(f, kExport));
       put16(f, h.fileOffset(f, get32(f, directory + 36)), 0x7fff);
     },
     "refers to function"},
    {"relocation_block_too_small", "calls",
     [](Bytes& f, const Headers& h) {
       put32(f, h.fileOffset(f, h.directoryRva(f, kReloc)) + 4, 4);
     },
     "relocation block"},
    {"unknown_relocation_type", "calls",
     [](Bytes& f, const Headers& h) {
       put16(f, h.fileOffset(f, h.directoryRva(f, kReloc)) + 8, 0xa010);
     },
     "unsupported relocation type 10"},
    {"tls_callback_outside", "lifecycle",
     [](Bytes& f, const Headers& h) {
       const size_t directory = h.fileOffset(f, h.directoryRva(f, kTls));
       const uint32_t list = get32(f, directory + 12) - h.imageBase(f);
       put32(f, h.fileOffset(f, list), 0x10);
     },
     "TLS callback"},
    {"tls_data_reversed", "lifecycle",
     [](Bytes& f, const Headers& h) {
       const size_t directory = h.fileOffset(f, h.directoryRva(f, kTls));
       const uint32_t start = get32(f, directory);
       put32(f, directory, get32(f, directory + 4));
       put32(f, directory + 4, start);
     },
     "TLS data ends"},
};

class DamagedImage : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedImage, is_rejected_with_a_message_naming_the_damage) {
  const Damage& damage = GetParam();
  Bytes file = readFile(fixturePath(damage.fixture));
  ASSERT_FALSE(file.empty());
  const Headers headers(file);
  damage.apply(file, headers);
  try {
    PeImage::parse(file);
    FAIL() << "accepted";
  } catch (const PeError& e) {
    EXPECT_NE(std::string(e.what()).find(damage.expected), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(PeImage, DamagedImage, ::testing::ValuesIn(kDamages),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(PeImage, missing_file_is_an_error_naming_it) {
  try {
    PeImage::fromFile("/nonexistent/none.dll");
    FAIL() << "accepted";
  } catch (const PeError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/none.dll"), std::string::npos);
  }
}

// A file cut anywhere before the end of its last section's data lacks part
// of the image; the reader must say so, at every length.
TEST(PeImage, every_truncation_is_rejected) {
  const Bytes file = readFile(fixturePath("calls"));
  const PeImage whole = PeImage::parse(file);
  size_t needed = 0;
  for (const auto& section : whole.sections()) {
    needed = std::max<size_t>(needed, size_t{section.rawOffset} + section.rawSize);
  }
  ASSERT_GT(needed, 0u);
  for (size_t length = 0; length < needed; ++length) {
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_THROW(PeImage::parse(cut), PeError) << "cut at " << length;
  }
}

// Random damage to headers and directories either is rejected or yields an
// image whose every part lies inside it, which is what the loader relies on
// when it maps the image and fills the import slots.
TEST(PeImage, random_damage_never_yields_structures_outside_the_image) {
  const Bytes pristine = readFile(fixturePath("lifecycle"));
  std::mt19937 random(20240607);
  int rejected = 0;
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes file = pristine;
    const size_t span = round % 2 == 0 ? std::min<size_t>(file.size(), 0x400) : file.size();
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) {
      file[random() % span] = static_cast<uint8_t>(random());
    }
    try {
      const PeImage image = PeImage::parse(file);
      ++accepted;
      const uint32_t size = image.sizeOfImage();
      for (const auto& section : image.sections()) {
        ASSERT_LE(uint64_t{section.virtualAddress} + section.virtualSize, size);
      }
      for (const auto& relocation : image.relocations()) {
        const unsigned width = relocation.type == qmxpe::RelocationType::kHighLow ? 4 : 2;
        ASSERT_LE(uint64_t{relocation.rva} + width, size);
      }
      for (const auto& entry : image.imports()) {
        ASSERT_LE(uint64_t{entry.iatRva} + 4, size);
      }
      for (const auto& entry : image.exports()) {
        ASSERT_TRUE(!entry.forwarder.empty() || entry.rva < size);
      }
      if (image.tls()) {
        for (uint32_t callback : image.tls()->callbackRvas) ASSERT_LT(callback, size);
      }
      ASSERT_EQ(image.layout(image.imageBase() ^ 0x01000000).size(), size);
    } catch (const PeError&) {
      ++rejected;
    }
  }
  EXPECT_GT(rejected, 0);
  EXPECT_GT(accepted, 0);
}

}  // namespace
