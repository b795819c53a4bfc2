#include "emulator/pe_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

namespace qmxpe {
namespace {

// Limits far above anything a real module needs; they keep a corrupted
// count from turning into a long loop or a huge allocation.
constexpr uint32_t kMaxSizeOfImage = 256u << 20;
constexpr uint32_t kMaxSections = 96;  // the limit Windows' loader enforces
constexpr uint32_t kMaxImportedDlls = 1024;
constexpr uint32_t kMaxImports = 65536;
constexpr uint32_t kMaxExports = 65536;
constexpr uint32_t kMaxTlsCallbacks = 1024;
constexpr uint32_t kMaxTlsZeroFill = 16u << 20;
constexpr size_t kMaxNameLength = 4096;

constexpr uint16_t kMachineI386 = 0x014c;
constexpr uint16_t kMagicPe32 = 0x010b;
constexpr uint32_t kOptionalHeaderFixedSize = 96;  // up to NumberOfRvaAndSizes
constexpr uint32_t kSectionHeaderSize = 40;

enum DirectoryIndex : size_t {
  kDirExport = 0,
  kDirImport = 1,
  kDirBaseReloc = 5,
  kDirTls = 9,
};

std::string hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

// Reads little-endian values from a byte buffer; every access is checked
// and a failure names what was being read.
class Reader {
 public:
  // `space` names the offsets ("offset" in the file, "RVA" in the image).
  Reader(const std::vector<uint8_t>& bytes, const char* space)
      : bytes_(bytes),
        space_(space),
        container_(std::strcmp(space, "RVA") == 0 ? "image" : "file") {}

  bool contains(uint64_t offset, uint64_t size) const {
    return offset <= bytes_.size() && size <= bytes_.size() - offset;
  }

  void require(uint64_t offset, uint64_t size, const std::string& what) const {
    if (!contains(offset, size)) {
      throw PeError(what + " at " + space_ + " " + hex(offset) + " (" + std::to_string(size) +
                    " bytes) lies outside the " + container_ + " (" +
                    std::to_string(bytes_.size()) + " bytes)");
    }
  }

  uint16_t u16(uint64_t offset, const std::string& what) const {
    require(offset, 2, what);
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  uint32_t u32(uint64_t offset, const std::string& what) const {
    require(offset, 4, what);
    return static_cast<uint32_t>(bytes_[offset]) | static_cast<uint32_t>(bytes_[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes_[offset + 2]) << 16 |
           static_cast<uint32_t>(bytes_[offset + 3]) << 24;
  }

  // A NUL-terminated string that must end inside the buffer.
  std::string string(uint64_t offset, const std::string& what) const {
    require(offset, 1, what);
    const size_t limit = std::min<size_t>(bytes_.size() - offset, kMaxNameLength);
    const auto* begin = bytes_.data() + offset;
    const auto* end = static_cast<const uint8_t*>(std::memchr(begin, 0, limit));
    if (end == nullptr) {
      throw PeError(what + " at " + space_ + " " + hex(offset) + " is not terminated");
    }
    return std::string(begin, end);
  }

 private:
  const std::vector<uint8_t>& bytes_;
  const char* space_;
  const char* container_;
};

void put16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

uint16_t get16(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

}  // namespace

PeImage PeImage::parse(std::vector<uint8_t> file) {
  PeImage image;
  image.file_ = std::move(file);
  image.parseHeaders();
  image.buildVirtualImage();
  // Directories are read from the mapped form, where RVAs are plain offsets.
  if (image.directories_.size() > kDirImport) {
    image.parseImports(image.directories_[kDirImport].rva, image.directories_[kDirImport].size);
  }
  if (image.directories_.size() > kDirExport) {
    image.parseExports(image.directories_[kDirExport].rva, image.directories_[kDirExport].size);
  }
  if (image.directories_.size() > kDirBaseReloc) {
    image.parseRelocations(image.directories_[kDirBaseReloc].rva,
                           image.directories_[kDirBaseReloc].size);
  }
  if (image.directories_.size() > kDirTls) {
    image.parseTls(image.directories_[kDirTls].rva, image.directories_[kDirTls].size);
  }
  return image;
}

PeImage PeImage::fromFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw PeError("cannot open " + path);
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) {
    throw PeError("cannot read " + path);
  }
  try {
    return parse(std::move(bytes));
  } catch (const PeError& e) {
    throw PeError(path + ": " + e.what());
  }
}

void PeImage::parseHeaders() {
  const Reader file(file_, "offset");
  if (file_.size() < 64) {
    throw PeError("truncated file: " + std::to_string(file_.size()) +
                  " bytes cannot hold a DOS header");
  }
  if (file_[0] != 'M' || file_[1] != 'Z') {
    throw PeError("not a PE file: no MZ signature");
  }
  const uint32_t ntOffset = file.u32(0x3c, "e_lfanew");
  file.require(ntOffset, 24, "the NT headers");
  if (file.u32(ntOffset, "the PE signature") != 0x00004550) {
    throw PeError("not a PE file: no PE signature at offset " + hex(ntOffset));
  }
  const uint64_t coff = uint64_t{ntOffset} + 4;
  const uint16_t machine = file.u16(coff, "Machine");
  if (machine != kMachineI386) {
    throw PeError("not an i386 image: machine " + hex(machine));
  }
  const uint16_t sectionCount = file.u16(coff + 2, "NumberOfSections");
  const uint16_t optionalSize = file.u16(coff + 16, "SizeOfOptionalHeader");
  characteristics_ = file.u16(coff + 18, "Characteristics");

  const uint64_t optional = coff + 20;
  if (optionalSize < kOptionalHeaderFixedSize) {
    throw PeError("optional header too small: " + std::to_string(optionalSize) + " bytes");
  }
  file.require(optional, optionalSize, "the optional header");
  const uint16_t magic = file.u16(optional, "the optional header magic");
  if (magic != kMagicPe32) {
    throw PeError("not a PE32 image: optional header magic " + hex(magic));
  }
  entryPointRva_ = file.u32(optional + 16, "AddressOfEntryPoint");
  imageBase_ = file.u32(optional + 28, "ImageBase");
  sizeOfImage_ = file.u32(optional + 56, "SizeOfImage");
  sizeOfHeaders_ = file.u32(optional + 60, "SizeOfHeaders");
  const uint32_t rvaCount = file.u32(optional + 92, "NumberOfRvaAndSizes");

  if (imageBase_ % 0x10000 != 0) {
    throw PeError("ImageBase " + hex(imageBase_) + " is not a multiple of 64 KiB");
  }
  if (sizeOfImage_ == 0 || sizeOfImage_ > kMaxSizeOfImage) {
    throw PeError("implausible SizeOfImage " + hex(sizeOfImage_));
  }
  if (uint64_t{imageBase_} + sizeOfImage_ > 0x100000000ull) {
    throw PeError("the image at " + hex(imageBase_) + " would end past 4 GiB");
  }
  if (sizeOfHeaders_ > sizeOfImage_) {
    throw PeError("SizeOfHeaders " + hex(sizeOfHeaders_) + " exceeds SizeOfImage");
  }
  if (entryPointRva_ >= sizeOfImage_) {
    throw PeError("entry point RVA " + hex(entryPointRva_) + " lies outside the image");
  }

  const uint32_t directoryCount =
      std::min<uint32_t>({rvaCount, (optionalSize - kOptionalHeaderFixedSize) / 8, 16});
  parseDirectories(optional + kOptionalHeaderFixedSize, directoryCount);
  parseSections(optional + optionalSize, sectionCount);
}

void PeImage::parseDirectories(uint64_t entries, uint32_t count) {
  const Reader file(file_, "offset");
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t entry = entries + 8ull * i;
    Directory directory;
    directory.rva = file.u32(entry, "a data directory");
    directory.size = file.u32(entry + 4, "a data directory");
    if (directory.size != 0 &&
        (directory.rva >= sizeOfImage_ || directory.size > sizeOfImage_ - directory.rva)) {
      throw PeError("data directory " + std::to_string(i) + " (RVA " + hex(directory.rva) + ", " +
                    hex(directory.size) + " bytes) lies outside the image");
    }
    directories_.push_back(directory);
  }
}

void PeImage::parseSections(uint64_t table, uint16_t count) {
  const Reader file(file_, "offset");
  if (count == 0 || count > kMaxSections) {
    throw PeError("implausible NumberOfSections " + std::to_string(count));
  }
  file.require(table, uint64_t{count} * kSectionHeaderSize, "the section table");
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t header = table + uint64_t{i} * kSectionHeaderSize;
    PeSection section;
    const auto* nameBytes = file_.data() + header;
    section.name.assign(reinterpret_cast<const char*>(nameBytes),
                        strnlen(reinterpret_cast<const char*>(nameBytes), 8));
    section.virtualSize = file.u32(header + 8, "VirtualSize");
    section.virtualAddress = file.u32(header + 12, "VirtualAddress");
    section.rawSize = file.u32(header + 16, "SizeOfRawData");
    section.rawOffset = file.u32(header + 20, "PointerToRawData");
    section.characteristics = file.u32(header + 36, "section Characteristics");
    if (section.virtualSize == 0) {
      section.virtualSize = section.rawSize;
    }
    // Only the part inside the section's memory size comes from the file.
    section.rawSize = std::min(section.rawSize, section.virtualSize);
    const std::string label = "section " + std::to_string(i) + " '" + section.name + "'";
    if (section.virtualAddress < sizeOfHeaders_ || section.virtualAddress >= sizeOfImage_ ||
        section.virtualSize > sizeOfImage_ - section.virtualAddress) {
      throw PeError(label + " (RVA " + hex(section.virtualAddress) + ", " +
                    hex(section.virtualSize) + " bytes) lies outside the image");
    }
    if (section.rawSize != 0 && !file.contains(section.rawOffset, section.rawSize)) {
      throw PeError(label + " raw data (offset " + hex(section.rawOffset) + ", " +
                    hex(section.rawSize) + " bytes) lies past the end of the file (" +
                    std::to_string(file_.size()) + " bytes)");
    }
    sections_.push_back(section);
  }
}

void PeImage::buildVirtualImage() {
  image_.assign(sizeOfImage_, 0);
  const size_t headerBytes = std::min<size_t>(sizeOfHeaders_, file_.size());
  std::copy_n(file_.begin(), headerBytes, image_.begin());
  for (const PeSection& section : sections_) {
    std::copy_n(file_.begin() + section.rawOffset, section.rawSize,
                image_.begin() + section.virtualAddress);
  }
}

void PeImage::parseImports(uint32_t rva, uint32_t size) {
  if (size == 0) {
    return;
  }
  const Reader image(image_, "RVA");
  uint32_t total = 0;
  for (uint32_t index = 0;; ++index) {
    if (index >= kMaxImportedDlls) {
      throw PeError("import directory has no terminating entry within " +
                    std::to_string(kMaxImportedDlls) + " DLLs");
    }
    const uint64_t descriptor = uint64_t{rva} + 20ull * index;
    image.require(descriptor, 20, "import descriptor " + std::to_string(index));
    const uint32_t lookup = image.u32(descriptor, "OriginalFirstThunk");
    const uint32_t nameRva = image.u32(descriptor + 12, "the import DLL name");
    const uint32_t iat = image.u32(descriptor + 16, "FirstThunk");
    if (nameRva == 0 && iat == 0) {
      break;
    }
    const std::string dll =
        image.string(nameRva, "the name of imported DLL " + std::to_string(index));
    // Old linkers leave the lookup table out; the address table then holds
    // the same entries until the loader overwrites it.
    const uint32_t thunks = lookup != 0 ? lookup : iat;
    for (uint32_t slot = 0;; ++slot) {
      if (++total > kMaxImports) {
        throw PeError("more than " + std::to_string(kMaxImports) + " imports");
      }
      const uint32_t thunk = image.u32(uint64_t{thunks} + 4ull * slot, "an import of " + dll);
      if (thunk == 0) {
        break;
      }
      PeImport entry;
      entry.dll = dll;
      entry.iatRva = iat + 4 * slot;
      image.require(entry.iatRva, 4, "the address slot of an import of " + dll);
      if ((thunk & 0x80000000u) != 0) {
        entry.byOrdinal = true;
        entry.ordinal = static_cast<uint16_t>(thunk & 0xffff);
      } else {
        entry.hint = image.u16(thunk, "an import hint of " + dll);
        entry.name = image.string(uint64_t{thunk} + 2, "an import name of " + dll);
      }
      imports_.push_back(std::move(entry));
    }
  }
}

void PeImage::parseExports(uint32_t rva, uint32_t size) {
  if (size == 0) {
    return;
  }
  const Reader image(image_, "RVA");
  image.require(rva, 40, "the export directory");
  const uint32_t nameRva = image.u32(uint64_t{rva} + 12, "the export directory");
  const uint32_t base = image.u32(uint64_t{rva} + 16, "the export directory");
  const uint32_t functionCount = image.u32(uint64_t{rva} + 20, "the export directory");
  const uint32_t nameCount = image.u32(uint64_t{rva} + 24, "the export directory");
  const uint32_t functions = image.u32(uint64_t{rva} + 28, "the export directory");
  const uint32_t names = image.u32(uint64_t{rva} + 32, "the export directory");
  const uint32_t ordinals = image.u32(uint64_t{rva} + 36, "the export directory");
  if (nameRva != 0) {
    exportName_ = image.string(nameRva, "the export directory's DLL name");
  }
  if (functionCount > kMaxExports || nameCount > kMaxExports) {
    throw PeError("implausible export counts: " + std::to_string(functionCount) + " functions, " +
                  std::to_string(nameCount) + " names");
  }
  if (uint64_t{base} + functionCount > 0x10000) {
    throw PeError("export ordinals " + std::to_string(base) + "+" + std::to_string(functionCount) +
                  " do not fit in 16 bits");
  }
  image.require(functions, 4ull * functionCount, "the export address table");
  image.require(names, 4ull * nameCount, "the export name table");
  image.require(ordinals, 2ull * nameCount, "the export ordinal table");

  std::vector<std::vector<std::string>> namesOf(functionCount);
  for (uint32_t i = 0; i < nameCount; ++i) {
    const uint16_t index = image.u16(uint64_t{ordinals} + 2ull * i, "an export ordinal");
    if (index >= functionCount) {
      throw PeError("export name " + std::to_string(i) + " refers to function " +
                    std::to_string(index) + " of " + std::to_string(functionCount));
    }
    const uint32_t name = image.u32(uint64_t{names} + 4ull * i, "an export name");
    namesOf[index].push_back(image.string(name, "export name " + std::to_string(i)));
  }
  for (uint32_t index = 0; index < functionCount; ++index) {
    const uint32_t target = image.u32(uint64_t{functions} + 4ull * index, "an export address");
    if (target == 0) {
      continue;  // an unused slot in the ordinal range
    }
    PeExport entry;
    entry.ordinal = static_cast<uint16_t>(base + index);
    entry.rva = target;
    // An address inside the export directory is the text "DLL.Name".
    if (target >= rva && target - rva < size) {
      entry.forwarder = image.string(target, "an export forwarder");
    } else if (target >= sizeOfImage_) {
      throw PeError("export ordinal " + std::to_string(entry.ordinal) + " points at RVA " +
                    hex(target) + " outside the image");
    }
    if (namesOf[index].empty()) {
      exports_.push_back(entry);
    }
    for (std::string& name : namesOf[index]) {
      entry.name = std::move(name);
      exports_.push_back(entry);
    }
  }
}

void PeImage::parseRelocations(uint32_t rva, uint32_t size) {
  hasRelocations_ = size != 0;
  const Reader image(image_, "RVA");
  uint64_t offset = rva;
  const uint64_t end = uint64_t{rva} + size;
  while (offset + 8 <= end) {
    const uint32_t page = image.u32(offset, "a relocation block");
    const uint32_t blockSize = image.u32(offset + 4, "a relocation block");
    if (blockSize < 8 || blockSize % 2 != 0 || blockSize > end - offset) {
      throw PeError("relocation block at RVA " + hex(offset) + " has a bad size " + hex(blockSize));
    }
    for (uint64_t entry = offset + 8; entry < offset + blockSize; entry += 2) {
      const uint16_t value = image.u16(entry, "a relocation");
      const unsigned type = value >> 12;
      const uint64_t site = uint64_t{page} + (value & 0xfff);
      if (type == 0) {
        continue;  // padding
      }
      if (type > static_cast<unsigned>(RelocationType::kHighLow)) {
        throw PeError("unsupported relocation type " + std::to_string(type) + " at RVA " +
                      hex(site));
      }
      const auto kind = static_cast<RelocationType>(type);
      image.require(site, kind == RelocationType::kHighLow ? 4 : 2, "a relocated field");
      relocations_.push_back(PeRelocation{static_cast<uint32_t>(site), kind});
    }
    offset += blockSize;
  }
}

void PeImage::parseTls(uint32_t rva, uint32_t size) {
  if (size == 0) {
    return;
  }
  const Reader image(image_, "RVA");
  image.require(rva, 24, "the TLS directory");
  PeTls tls;
  tls.rawDataStart = image.u32(rva, "the TLS directory");
  tls.rawDataEnd = image.u32(uint64_t{rva} + 4, "the TLS directory");
  tls.indexAddress = image.u32(uint64_t{rva} + 8, "the TLS directory");
  tls.callbacksAddress = image.u32(uint64_t{rva} + 12, "the TLS directory");
  tls.zeroFill = image.u32(uint64_t{rva} + 16, "the TLS directory");

  // The directory holds addresses for the preferred base; they must point
  // into the image.
  auto toRva = [this](uint32_t address, uint32_t width, const char* what) {
    const uint32_t offset = address - imageBase_;
    if (address < imageBase_ || offset > sizeOfImage_ || width > sizeOfImage_ - offset) {
      throw PeError(std::string("TLS ") + what + " " + hex(address) + " lies outside the image");
    }
    return offset;
  };
  if (tls.rawDataEnd < tls.rawDataStart) {
    throw PeError("TLS data ends (" + hex(tls.rawDataEnd) + ") before it starts (" +
                  hex(tls.rawDataStart) + ")");
  }
  if (tls.rawDataStart != 0) {
    toRva(tls.rawDataStart, 0, "data start");
    toRva(tls.rawDataEnd, 0, "data end");
  }
  if (tls.zeroFill > kMaxTlsZeroFill) {
    throw PeError("implausible TLS zero fill " + hex(tls.zeroFill));
  }
  if (tls.indexAddress != 0) {
    toRva(tls.indexAddress, 4, "index address");
  }
  if (tls.callbacksAddress != 0) {
    const uint32_t list = toRva(tls.callbacksAddress, 4, "callback list");
    for (uint32_t i = 0;; ++i) {
      if (i >= kMaxTlsCallbacks) {
        throw PeError("TLS callback list is not terminated");
      }
      const uint32_t callback = image.u32(uint64_t{list} + 4ull * i, "a TLS callback");
      if (callback == 0) {
        break;
      }
      tls.callbackRvas.push_back(toRva(callback, 1, "callback"));
    }
  }
  tls_ = std::move(tls);
}

std::vector<uint8_t> PeImage::layout(uint32_t base) const {
  std::vector<uint8_t> mapped = image_;
  const uint32_t delta = base - imageBase_;
  if (delta == 0) {
    return mapped;
  }
  for (const PeRelocation& relocation : relocations_) {
    const size_t site = relocation.rva;
    switch (relocation.type) {
      case RelocationType::kHighLow: {
        uint32_t value;
        std::memcpy(&value, mapped.data() + site, 4);
        value += delta;
        std::memcpy(mapped.data() + site, &value, 4);
        break;
      }
      case RelocationType::kHigh:
        put16(mapped, site, static_cast<uint16_t>(get16(mapped, site) + (delta >> 16)));
        break;
      case RelocationType::kLow:
        put16(mapped, site, static_cast<uint16_t>(get16(mapped, site) + (delta & 0xffff)));
        break;
    }
  }
  // The headers say where the image lives, as Windows' loader leaves them.
  const Reader headers(mapped, "RVA");
  const uint32_t ntOffset = headers.u32(0x3c, "e_lfanew");
  const uint64_t imageBaseField = uint64_t{ntOffset} + 4 + 20 + 28;
  if (headers.contains(imageBaseField, 4)) {
    std::memcpy(mapped.data() + imageBaseField, &base, 4);
  }
  return mapped;
}

const PeExport* PeImage::findExport(const std::string& name) const {
  auto found = std::find_if(exports_.begin(), exports_.end(),
                            [&](const PeExport& e) { return !e.name.empty() && e.name == name; });
  return found == exports_.end() ? nullptr : &*found;
}

const PeExport* PeImage::findExport(uint16_t ordinal) const {
  auto found = std::find_if(exports_.begin(), exports_.end(),
                            [&](const PeExport& e) { return e.ordinal == ordinal; });
  return found == exports_.end() ? nullptr : &*found;
}

}  // namespace qmxpe
