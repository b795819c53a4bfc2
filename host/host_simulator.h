// The simulated messenger: it serves the plug-in's calls into the host (log,
// configuration, messages, settings page) and drives the plug-in through
// its lifecycle as the messenger does.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/config_store.h"
#include "host/plugin_boundary.h"
#include "host/record_field.h"

namespace qmxhost {

// The plug-in did something the messenger cannot accept.
class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct DeclaredColumn {
  int32_t id;
  int32_t type;  // 0 integer, 1 text
  std::string name;
};

struct PageElement {
  int32_t id;
  int32_t parent;
  uint32_t status;
  std::string text;  // Windows-1250; empty for none
  bool hasText;
  int32_t param;
  uint16_t value72;
  uint16_t size;                // the record's announced size: short or long form
  std::vector<uint8_t> record;  // the record as sent, `size` bytes
};

// A message the plug-in handed over with call 100.
struct HandedMessage {
  std::string body;  // Windows-1250
  std::string ext;
  uint32_t flags;
};

// One message as the host delivers it.
struct Delivery {
  std::string text;  // Windows-1250
  bool replaced;     // the plug-in dropped the message and sent a corrected copy
  // The plug-in was to correct it: outgoing, or incoming with the store's
  // option on. Eligible and not replaced means the plug-in gave no result
  // (out of memory, a fault) and the message went out uncorrected.
  bool eligible;
};

class HostSimulator : private HostOperations {
 public:
  // The plug-in and the store must outlive the simulator.
  HostSimulator(PluginBoundary& plugin, ConfigStore& store);
  ~HostSimulator() override;
  HostSimulator(const HostSimulator&) = delete;
  HostSimulator& operator=(const HostSimulator&) = delete;

  // CALL_INIT, CALL_SET_COLUMNS, CALL_UI_REGISTER, CALL_START.
  void begin();
  // CALL_END, CALL_DEINIT. Safe to call more than once.
  void end();

  // Sends a message through CALL_MESSAGE and, when the plug-in replaces it,
  // passes the copy it received back through CALL_MESSAGE, after the first
  // call has returned, as the messenger does. Returns what is delivered.
  // Throws ProtocolError when the copy is corrected again, or when the
  // plug-in drops the message without handing over a copy.
  Delivery deliver(const std::string& body, bool incoming);

  // The settings page: makes the messenger's settings window and asks the
  // plug-in for its rule list (event 220); closeSettings sends event 221.
  void openSettings();
  void closeSettings();
  // The rule list window the plug-in made (0 when none).
  Address ruleList() const { return ruleList_; }
  // Presses a page element (event 1). Returns the plug-in's answer.
  int64_t press(int32_t element);
  // The text the host gives for a field when the plug-in reads it.
  void setFieldValue(int32_t element, const std::string& cp1250);
  // The text the plug-in last set on an element (empty when none).
  std::string fieldValue(int32_t element) const;

  // Whether the plug-in wrote the declared column `id` since begin(), as it
  // writes its rules back at the end of a session whose load succeeded.
  bool wroteColumn(int32_t id) const { return columnsWritten_.count(id) != 0; }

  // Log lines as the plug-in wrote them (Windows-1250) since the latest
  // delivery began (before any, since the start), and a listener called as
  // each arrives. Kept per delivery so that a long run holds no history.
  const std::vector<std::string>& log() const { return log_; }
  std::function<void(const std::string&)> onLog;

  // The messages the plug-in handed over (call 100) during the latest
  // delivery, and the records of call 101 that announced them, byte for
  // byte, in order.
  const std::vector<HandedMessage>& handedMessages() const { return handed_; }
  const std::vector<std::vector<uint8_t>>& announcements() const { return announcements_; }

  const std::vector<DeclaredColumn>& columns() const { return columns_; }
  const std::vector<PageElement>& elements() const { return elements_; }
  int32_t iconId() const { return iconId_; }

  // A raw call with a plain record; for tests and diagnostics.
  //
  // Every call into the plug-in (this one and those above) throws what the
  // simulator itself threw while serving the plug-in during the call (out
  // of memory, a limit of the emulator), once the call has returned: the
  // plug-in catches what reaches it and goes on, and would otherwise hide a
  // load or a write-back of its rules that the host left half done.
  int64_t call(uint32_t id, Address p1 = 0);
  // A query the plug-in answers with the address of a text of its own (its
  // name, its version); the text.
  std::string queryText(uint32_t id);

 private:
  // Runs one of the operations below for the plug-in, keeping the first
  // failure of the current call for call() to throw.
  template <typename Operation>
  auto serve(Operation operation) -> decltype(operation());

  Address getPluginInstance() override;
  void reportNoResult(int code) override;
  int64_t hostCall(Address record) override;
  void readConfig(int column, Address value) override;
  void writeConfig(int column, Address value) override;
  int64_t serveHostCall(Address record);
  void readConfigValue(int column, Address value);
  void writeConfigValue(int column, Address value);

  // A field of the record at `record`, through the plug-in's layout of it
  // (host/record_field.h); integers narrower than 8 bytes sign-extended.
  int64_t readField(Address record, RecordField field);
  Address readAddress(Address record, RecordField field);
  void writeField(Address record, RecordField field, int64_t value);
  Address placeText(const std::string& text);
  // A placed text the plug-in may go on reading until the simulator goes.
  Address placeKeptText(const std::string& text);
  const DeclaredColumn* columnById(int column) const;
  // The store's option to correct incoming messages, as the plug-in reads it.
  bool incomingCorrected() const;
  int64_t sendMessage(const std::string& body, const std::string& ext, uint32_t flags);
  // An ActionEvent for `element` in the plug-in's memory; the caller
  // releases it.
  Address placeEvent(int32_t element, int32_t code);
  void windowEvent(int32_t code, Address window);

  PluginBoundary& plugin_;
  ConfigStore& store_;
  std::exception_ptr failureInCall_;
  const size_t pointerSize_;  // the plug-in's, which picks its records' layout
  bool begun_ = false;
  std::vector<std::string> log_;
  std::vector<DeclaredColumn> columns_;
  std::set<int32_t> columnsWritten_;
  std::vector<PageElement> elements_;
  int32_t iconId_ = 0;
  std::vector<HandedMessage> handed_;
  std::vector<std::vector<uint8_t>> announcements_;
  int64_t messageNumbers_ = 0;
  std::map<int32_t, std::string> fieldsGiven_;
  std::map<int32_t, std::string> fieldsSet_;
  std::vector<Address> texts_;  // answers the plug-in may still read
  Address settingsWindow_ = 0;
  Address ruleList_ = 0;
};

}  // namespace qmxhost
