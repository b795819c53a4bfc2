// A 32-bit PE image (DLL or EXE) read from its file: headers, sections, base
// relocations, imports, exports and the TLS directory. Every structure is
// read through bounds-checked accessors, so a truncated or corrupted file
// ends in a PeError, never in a read outside the file.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qmxpe {

// Thrown for a file that is not a well-formed PE32 image; what() names the
// structure at fault and, where it helps, its offset or RVA.
class PeError : public std::runtime_error {
 public:
  explicit PeError(const std::string& message) : std::runtime_error(message) {}
};

struct PeSection {
  std::string name;  // at most 8 characters, as stored
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;  // the size in memory (the raw size when the field is 0)
  uint32_t rawOffset = 0;
  uint32_t rawSize = 0;  // bytes taken from the file; the rest of the section is zero
  uint32_t characteristics = 0;
};

// IMAGE_SCN_* bits the loader acts on.
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint32_t kSectionRead = 0x40000000;
constexpr uint32_t kSectionWrite = 0x80000000;

// One imported symbol: by name (with its hint) or by ordinal.
struct PeImport {
  std::string dll;  // as spelled in the file, e.g. "KERNEL32.dll"
  bool byOrdinal = false;
  uint16_t ordinal = 0;  // when byOrdinal
  uint16_t hint = 0;     // when by name
  std::string name;      // when by name
  uint32_t iatRva = 0;   // the 32-bit slot the loader fills with the address
};

struct PeExport {
  std::string name;      // empty for an export by ordinal only
  uint16_t ordinal = 0;  // biased: the number importers use
  uint32_t rva = 0;
  std::string forwarder;  // "DLL.Name" when the export forwards; rva is then unused
};

struct PeTls {
  // Addresses as stored: virtual addresses for the preferred image base.
  uint32_t rawDataStart = 0;
  uint32_t rawDataEnd = 0;
  uint32_t indexAddress = 0;
  uint32_t callbacksAddress = 0;
  uint32_t zeroFill = 0;
  // The callbacks' RVAs, in order, read from the null-terminated array.
  std::vector<uint32_t> callbackRvas;
};

// IMAGE_REL_BASED_* types the image may use.
enum class RelocationType : uint8_t { kHigh = 1, kLow = 2, kHighLow = 3 };

struct PeRelocation {
  uint32_t rva = 0;
  RelocationType type = RelocationType::kHighLow;
};

class PeImage {
 public:
  // Parses the bytes of a file. Throws PeError for anything that is not a
  // well-formed i386 PE32 image.
  static PeImage parse(std::vector<uint8_t> file);
  // Reads and parses a file; throws PeError also when it cannot be read.
  static PeImage fromFile(const std::string& path);

  uint32_t imageBase() const { return imageBase_; }
  uint32_t sizeOfImage() const { return sizeOfImage_; }
  uint32_t sizeOfHeaders() const { return sizeOfHeaders_; }
  // 0 when the image has no entry point.
  uint32_t entryPointRva() const { return entryPointRva_; }
  uint16_t characteristics() const { return characteristics_; }
  // Whether the image can be placed anywhere but at its preferred base: it
  // has a base relocation directory and does not say its relocations were
  // stripped.
  bool relocatable() const { return (characteristics_ & 0x0001) == 0 && hasRelocations_; }
  // The name in the export directory ("" without one).
  const std::string& exportName() const { return exportName_; }

  const std::vector<PeSection>& sections() const { return sections_; }
  const std::vector<PeImport>& imports() const { return imports_; }
  const std::vector<PeExport>& exports() const { return exports_; }
  const std::vector<PeRelocation>& relocations() const { return relocations_; }
  const std::optional<PeTls>& tls() const { return tls_; }

  // The image as the loader maps it at `base`: headers and sections at their
  // RVAs, the rest zero, base relocations applied for the distance from the
  // preferred base. sizeOfImage() bytes.
  std::vector<uint8_t> layout(uint32_t base) const;

  // The export with this name, or null.
  const PeExport* findExport(const std::string& name) const;
  // The export with this (biased) ordinal, or null.
  const PeExport* findExport(uint16_t ordinal) const;

 private:
  PeImage() = default;
  void parseHeaders();
  void parseDirectories(uint64_t entries, uint32_t count);
  void parseSections(uint64_t table, uint16_t count);
  void buildVirtualImage();
  void parseImports(uint32_t rva, uint32_t size);
  void parseExports(uint32_t rva, uint32_t size);
  void parseRelocations(uint32_t rva, uint32_t size);
  void parseTls(uint32_t rva, uint32_t size);

  std::vector<uint8_t> file_;
  std::vector<uint8_t> image_;  // headers and sections at their RVAs, no relocation
  uint32_t imageBase_ = 0;
  uint32_t sizeOfImage_ = 0;
  uint32_t sizeOfHeaders_ = 0;
  uint32_t entryPointRva_ = 0;
  uint16_t characteristics_ = 0;
  struct Directory {
    uint32_t rva = 0;
    uint32_t size = 0;
  };
  std::vector<Directory> directories_;
  std::string exportName_;
  std::vector<PeSection> sections_;
  std::vector<PeImport> imports_;
  std::vector<PeExport> exports_;
  std::vector<PeRelocation> relocations_;
  std::optional<PeTls> tls_;
  bool hasRelocations_ = false;
};

}  // namespace qmxpe
