#include "host/autocorrect_list.h"

#include "host/rule_transfer.h"

#if defined(QUILLMAX_HAVE_AUTOCORRECT)
#include <expat.h>
#include <zip.h>

#include <cstring>
#include <memory>
#endif

namespace qmxhost {

#if defined(QUILLMAX_HAVE_AUTOCORRECT)

namespace {

const char kListEntry[] = "DocumentList.xml";
// Far beyond any language's list (a few hundred KB), and a bound on what a
// crafted zip can make the tool inflate.
constexpr zip_uint64_t kLargestList = 64u << 20;

// Expat reports names as "namespace|local" (XML_ParserCreateNS with '|').
const char* localName(const XML_Char* name) {
  const char* bar = std::strrchr(name, '|');
  return bar ? bar + 1 : name;
}

void onStartElement(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto& entries = *static_cast<std::vector<AutocorrectEntry>*>(data);
  if (std::strcmp(localName(name), "block") != 0) return;
  AutocorrectEntry entry;
  bool packaged = false;
  bool unformatted = false;
  for (const XML_Char** attribute = attributes; *attribute; attribute += 2) {
    const char* key = localName(attribute[0]);
    const std::string value = attribute[1];
    if (std::strcmp(key, "abbreviated-name") == 0) entry.typed = value;
    if (std::strcmp(key, "name") == 0) entry.replacement = value;
    if (std::strcmp(key, "package-name") == 0) packaged = !value.empty();
    if (std::strcmp(key, "unformatted-text") == 0) unformatted = value == "true";
  }
  entry.formatted = packaged && !unformatted;
  entries.push_back(std::move(entry));
}

struct ZipCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

std::string zipError(zip_error_t* error) {
  const std::string text = zip_error_strerror(error);
  zip_error_fini(error);
  return text;
}

}  // namespace

bool autocorrectListsReadable() {
  return true;
}

std::vector<AutocorrectEntry> readAutocorrectList(const std::string& zip) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(zip.data(), zip.size(), 0, &error);
  if (!source) throw TransferError("cannot read it as a zip: " + zipError(&error));
  std::unique_ptr<zip_t, ZipCloser> archive(zip_open_from_source(source, ZIP_RDONLY, &error));
  if (!archive) {
    zip_source_free(source);
    throw TransferError("not an autocorrect list (a .dat file is a zip): " + zipError(&error));
  }
  zip_error_fini(&error);
  zip_stat_t status;
  zip_stat_init(&status);
  if (zip_stat(archive.get(), kListEntry, 0, &status) != 0) {
    throw TransferError(std::string("not an autocorrect list: the zip holds no ") + kListEntry);
  }
  if ((status.valid & ZIP_STAT_SIZE) && status.size > kLargestList) {
    throw TransferError(std::string(kListEntry) + " is larger than an autocorrect list can be");
  }
  std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen(archive.get(), kListEntry, 0));
  if (!file) {
    throw TransferError(std::string("cannot read ") + kListEntry + ": " +
                        zip_strerror(archive.get()));
  }

  std::vector<AutocorrectEntry> entries;
  std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreateNS(nullptr, '|'));
  if (!parser) throw std::bad_alloc();
  XML_SetUserData(parser.get(), &entries);
  XML_SetStartElementHandler(parser.get(), onStartElement);
  char buffer[65536];
  zip_uint64_t total = 0;
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      throw TransferError(std::string("cannot read ") + kListEntry + ": " +
                          zip_file_strerror(file.get()));
    }
    total += static_cast<zip_uint64_t>(got);
    if (total > kLargestList) {
      throw TransferError(std::string(kListEntry) + " is larger than an autocorrect list can be");
    }
    const bool last = got == 0;
    if (XML_Parse(parser.get(), buffer, static_cast<int>(got), last) != XML_STATUS_OK) {
      throw TransferError(std::string(kListEntry) + ": " +
                          XML_ErrorString(XML_GetErrorCode(parser.get())) + " at line " +
                          std::to_string(XML_GetCurrentLineNumber(parser.get())));
    }
    if (last) break;
  }
  return entries;
}

#else

bool autocorrectListsReadable() {
  return false;
}

std::vector<AutocorrectEntry> readAutocorrectList(const std::string&) {
  throw TransferError(
      "this build of quillmax-host cannot read autocorrect lists (it needs libzip and expat)");
}

#endif

}  // namespace qmxhost
