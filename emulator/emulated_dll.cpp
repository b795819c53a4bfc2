#include "emulator/emulated_dll.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "emulator/heap.h"
#include "emulator/import_registry.h"
#include "emulator/kernel32.h"
#include "emulator/msvcrt.h"

namespace qmxpe {
namespace {

constexpr uint32_t kDllProcessDetach = 0;
constexpr uint32_t kDllProcessAttach = 1;
constexpr uint32_t kAllocationGranularity = 0x10000;
// TEB.ThreadLocalStoragePointer: the array of the modules' TLS blocks.
constexpr uint32_t kTebTlsPointer = 0x2c;
constexpr uint32_t kTlsArrayEntries = 64;

uint32_t pageAlign(uint32_t value) {
  return (value + Emulator::kPageSize - 1) / Emulator::kPageSize * Emulator::kPageSize;
}

uint32_t sectionProtection(uint32_t characteristics) {
  uint32_t protection = kProtNone;
  if ((characteristics & kSectionRead) != 0) {
    protection |= kProtRead;
  }
  if ((characteristics & kSectionWrite) != 0) {
    protection |= kProtWrite;
  }
  if ((characteristics & kSectionExecute) != 0) {
    protection |= kProtExec | kProtRead;
  }
  return protection;
}

}  // namespace

std::unique_ptr<EmulatedDll> EmulatedDll::load(const std::string& path,
                                               const LoadOptions& options) {
  PeImage image = PeImage::fromFile(path);
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::unique_ptr<EmulatedDll> dll(new EmulatedDll(std::move(image), std::move(name), options));
  dll->notify(kDllProcessAttach);
  dll->attached_ = true;
  return dll;
}

EmulatedDll::EmulatedDll(PeImage image, std::string name, const LoadOptions& options)
    : image_(std::move(image)), name_(std::move(name)) {
  emulator_ = std::make_unique<Emulator>(options.heapSize);
  emulator_->setInstructionLimit(options.instructionLimit);
  for (const auto& range : options.reservedRanges) {
    emulator_->reserve(range.first, range.second, "a range reserved by the host");
  }
  heap_ = std::make_unique<HeapAllocator>(Emulator::kHeapBase, options.heapSize);
  registry_ = std::make_unique<ImportRegistry>();
  msvcrt_ = std::make_unique<Msvcrt>(*emulator_, *heap_);
  msvcrt_->setEcho(options.echoConsole);
  kernel32_ = std::make_unique<Kernel32>(*emulator_);
  user32_ = std::make_unique<User32>(*emulator_);
  msvcrt_->registerImports(*registry_);
  kernel32_->registerImports(*registry_);
  user32_->registerImports(*registry_);

  place();
  kernel32_->setModule(&image_, base_, name_);
  bindImports();
  setUpTls();
}

EmulatedDll::~EmulatedDll() {
  if (faulted_) {
    return;
  }
  try {
    unload();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", name_.c_str(), e.what());
  }
}

void EmulatedDll::place() {
  const uint32_t size = pageAlign(image_.sizeOfImage());
  uint32_t base = image_.imageBase();
  if (!emulator_->isFree(base, size)) {
    if (!image_.relocatable()) {
      throw std::runtime_error(name_ + " cannot be loaded: its preferred base " + hex32(base) +
                               " is taken (" + emulator_->describe(base) +
                               ") and it has no base relocations");
    }
    base = emulator_->findFree(size, kAllocationGranularity, Emulator::kRelocationFloor);
    if (base == 0) {
      base = emulator_->findFree(size, kAllocationGranularity, kAllocationGranularity);
    }
    if (base == 0) {
      throw std::runtime_error(name_ + " cannot be loaded: no room for " + std::to_string(size) +
                               " bytes");
    }
  }
  base_ = base;
  emulator_->map(base_, size, kProtAll, name_);
  const std::vector<uint8_t> bytes = image_.layout(base_);
  emulator_->load(base_, bytes.data(), bytes.size());

  // Protect as Windows does: headers read-only, each section by its flags.
  emulator_->protect(base_, pageAlign(std::max<uint32_t>(image_.sizeOfHeaders(), 1)), kProtRead);
  for (const PeSection& section : image_.sections()) {
    if (section.virtualSize != 0) {
      emulator_->protect(base_ + section.virtualAddress, pageAlign(section.virtualSize),
                         sectionProtection(section.characteristics));
    }
  }

  std::vector<std::pair<uint32_t, std::string>> symbols;
  for (const PeExport& entry : image_.exports()) {
    if (entry.forwarder.empty()) {
      symbols.emplace_back(base_ + entry.rva,
                           entry.name.empty() ? "#" + std::to_string(entry.ordinal) : entry.name);
    }
  }
  if (image_.entryPointRva() != 0) {
    symbols.emplace_back(base_ + image_.entryPointRva(), "<entry point>");
  }
  emulator_->addModule(name_, base_, size, std::move(symbols));
}

void EmulatedDll::bindImports() {
  for (const PeImport& entry : image_.imports()) {
    const uint32_t address = entry.byOrdinal
                                 ? registry_->resolve(*emulator_, entry.dll, entry.ordinal)
                                 : registry_->resolve(*emulator_, entry.dll, entry.name);
    // The address table may sit in a read-only section; the loader writes
    // it anyway, as Windows' does.
    emulator_->load(base_ + entry.iatRva, &address, 4);
  }
}

void EmulatedDll::setUpTls() {
  if (!image_.tls()) {
    return;
  }
  const PeTls& tls = *image_.tls();
  const uint32_t delta = base_ - image_.imageBase();
  const uint32_t templateSize = tls.rawDataEnd - tls.rawDataStart;
  // This thread's copy of the module's TLS data: the template, then zeros.
  const uint32_t block = allocate(templateSize + tls.zeroFill);
  if (templateSize != 0) {
    emulator_->moveBytes(block, tls.rawDataStart + delta, templateSize);
  }
  const uint32_t array = allocate(4 * kTlsArrayEntries);
  emulator_->write32(array, block);  // the module's index is 0
  emulator_->write32(emulator_->tebAddress() + kTebTlsPointer, array);
  if (tls.indexAddress != 0) {
    const uint32_t index = 0;
    emulator_->load(tls.indexAddress + delta, &index, 4);
  }
}

void EmulatedDll::notify(uint32_t reason) {
  const std::string arguments =
      "(" + hex32(base_) + ", " +
      (reason == kDllProcessAttach ? "DLL_PROCESS_ATTACH" : "DLL_PROCESS_DETACH") + ", 0)";
  // TLS callbacks run before the entry point, for the attach and the detach.
  if (image_.tls()) {
    const std::vector<uint32_t>& callbacks = image_.tls()->callbackRvas;
    for (size_t i = 0; i < callbacks.size(); ++i) {
      emulator_->call(base_ + callbacks[i], {base_, reason, 0},
                      "TLS callback " + std::to_string(i) + arguments);
    }
  }
  if (image_.entryPointRva() == 0) {
    return;
  }
  const uint32_t answer =
      emulator_->call(base_ + image_.entryPointRva(), {base_, reason, 0}, "DllMain" + arguments);
  if (reason == kDllProcessAttach && answer == 0) {
    throw std::runtime_error(name_ + ": DllMain" + arguments + " returned FALSE");
  }
}

void EmulatedDll::unload() {
  if (!attached_) {
    return;
  }
  attached_ = false;
  notify(kDllProcessDetach);
}

void EmulatedDll::requireAttached(const std::string& what) const {
  if (!attached_) {
    throw std::logic_error(what + ": " + name_ + " is no longer loaded");
  }
}

std::optional<uint32_t> EmulatedDll::exportAddress(const std::string& name) const {
  const PeExport* found = image_.findExport(name);
  if (found == nullptr || !found->forwarder.empty()) {
    return std::nullopt;
  }
  return base_ + found->rva;
}

uint32_t EmulatedDll::allocate(uint32_t size) {
  const std::optional<uint32_t> block = heap_->allocate(size);
  if (!block) {
    throw std::bad_alloc();
  }
  emulator_->fill(*block, 0, *heap_->blockSize(*block));
  return *block;
}

void EmulatedDll::release(uint32_t address) {
  if (address != 0 && !heap_->release(address)) {
    throw std::invalid_argument(hex32(address) + " is not a live block of the emulated heap");
  }
}

uint32_t EmulatedDll::allocateString(std::string_view text) {
  const uint32_t address = allocate(static_cast<uint32_t>(text.size() + 1));
  emulator_->write(address, text.data(), text.size());
  return address;
}

void EmulatedDll::write(uint32_t address, const void* data, size_t size) {
  emulator_->write(address, data, size);
}

std::vector<uint8_t> EmulatedDll::read(uint32_t address, size_t size) const {
  std::vector<uint8_t> bytes(size);
  emulator_->read(address, bytes.data(), size);
  return bytes;
}

uint16_t EmulatedDll::read16(uint32_t address) const {
  return emulator_->read16(address);
}

uint32_t EmulatedDll::read32(uint32_t address) const {
  return emulator_->read32(address);
}

std::string EmulatedDll::readString(uint32_t address) const {
  return emulator_->readString(address, std::max<size_t>(heap_->size(), size_t{1} << 20));
}

uint32_t EmulatedDll::heapSize() const {
  return heap_->size();
}

uint32_t EmulatedDll::heapBytesInUse() const {
  return heap_->bytesInUse();
}

size_t EmulatedDll::heapRefusals() const {
  return heap_->refusals();
}

uint32_t EmulatedDll::callStdcall(uint32_t address, const std::vector<uint32_t>& args,
                                  const std::string& label) {
  std::string name = label;
  if (name.empty()) {
    name = emulator_->symbolAt(address) + "(";
    for (size_t i = 0; i < args.size(); ++i) {
      name += (i == 0 ? "" : ", ") + hex32(args[i]);
    }
    name += ")";
  }
  requireAttached(name);
  try {
    return emulator_->call(address, args, name);
  } catch (const EmulationError&) {
    faulted_ = true;
    throw;
  }
}

uint32_t EmulatedDll::makeCallback(int argumentCount, const std::string& name,
                                   CallbackHandler handler) {
  if (argumentCount < 0 || argumentCount > 64) {
    throw std::invalid_argument("a callback takes 0 to 64 arguments");
  }
  return emulator_->addStub("callback " + name, CallingConvention::kStdcall, argumentCount,
                            [handler = std::move(handler), argumentCount](StubCall& call) {
                              std::vector<uint32_t> args(static_cast<size_t>(argumentCount));
                              for (int i = 0; i < argumentCount; ++i) {
                                args[static_cast<size_t>(i)] = call.arg(i);
                              }
                              call.setResult(handler(args.data()));
                            });
}

void EmulatedDll::setInstructionLimit(uint64_t limit) {
  emulator_->setInstructionLimit(limit);
}

const std::string& EmulatedDll::consoleOutput() const {
  return msvcrt_->console();
}

}  // namespace qmxpe
