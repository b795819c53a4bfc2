#include "host/host_simulator.h"

#include <cstring>
#include <utility>

#include "shell/action_event.h"
#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "shell/page_records.h"

namespace qmxhost {

using namespace qmx;

namespace {

// The messenger's handle for the plug-in's module; the plug-in only passes
// it on (to the icon registration and the list window).
constexpr Address kPluginInstance = 0x10000000;

constexpr int64_t kAnswerReplaced = 2;

// A block of the plug-in's memory placed for one call, released however the
// call ends: one that throws must not leave it behind.
class PlacedBlock {
 public:
  PlacedBlock(PluginBoundary& plugin, Address address) : plugin_(plugin), address_(address) {}
  ~PlacedBlock() {
    try {
      plugin_.release(address_);
    } catch (...) {
      // Not the host's block any more (the DLL freed it): nothing to give back.
    }
  }
  PlacedBlock(const PlacedBlock&) = delete;
  PlacedBlock& operator=(const PlacedBlock&) = delete;

  Address address() const { return address_; }

 private:
  PluginBoundary& plugin_;
  Address address_;
};

}  // namespace

// A field of a host record, as the loaded plug-in lays it out.
#define FIELD(Record, field) QMX_RECORD_FIELD(pointerSize_, Record, field)

HostSimulator::HostSimulator(PluginBoundary& plugin, ConfigStore& store)
    : plugin_(plugin), store_(store), pointerSize_(plugin.pointerSize()) {}

HostSimulator::~HostSimulator() {
  try {
    end();
  } catch (...) {
    // A destructor must not throw; end() already reported what it could.
  }
  for (Address text : texts_) plugin_.release(text);
}

int64_t HostSimulator::readField(Address record, RecordField field) {
  const size_t width = field.width;
  uint8_t bytes[8] = {};
  plugin_.read(record + field.offset, bytes, width);
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  if (width < 8 && (value >> (8 * width - 1)) & 1) value |= ~0ULL << (8 * width);
  return static_cast<int64_t>(value);
}

Address HostSimulator::readAddress(Address record, RecordField field) {
  return static_cast<Address>(readField(record, field));
}

void HostSimulator::writeField(Address record, RecordField field, int64_t value) {
  uint8_t bytes[8];
  for (size_t i = 0; i < field.width; ++i)
    bytes[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
  plugin_.write(record + field.offset, bytes, field.width);
}

Address HostSimulator::placeText(const std::string& text) {
  const Address address = plugin_.allocate(text.size() + 1);
  plugin_.write(address, text.c_str(), text.size() + 1);
  return address;
}

Address HostSimulator::placeKeptText(const std::string& text) {
  // Room first, so that a text once placed is always kept, and released.
  texts_.reserve(texts_.size() + 1);
  const Address address = placeText(text);
  texts_.push_back(address);
  return address;
}

int64_t HostSimulator::call(uint32_t id, Address p1) {
  const size_t size = QMX_RECORD_SIZE(pointerSize_, IMessageArgs);
  const PlacedBlock placed(plugin_, plugin_.allocate(size));
  const Address record = placed.address();
  writeField(record, FIELD(IMessageArgs, size), static_cast<int64_t>(size));
  writeField(record, FIELD(IMessageArgs, id), id);
  writeField(record, FIELD(IMessageArgs, p1), static_cast<int64_t>(p1));
  failureInCall_ = nullptr;
  int64_t answer = 0;
  try {
    answer = plugin_.call(record);
  } catch (...) {
    // The emulator reports a failing operation as a fault of the DLL; the
    // failure itself is the one to tell.
    if (failureInCall_) std::rethrow_exception(std::exchange(failureInCall_, nullptr));
    throw;
  }
  if (failureInCall_) std::rethrow_exception(std::exchange(failureInCall_, nullptr));
  return answer;
}

std::string HostSimulator::queryText(uint32_t id) {
  // A 32-bit plug-in's answer is its address, sign-extended by the call.
  const auto answer = static_cast<uint64_t>(call(id));
  return plugin_.readString(pointerSize_ == 4 ? answer & 0xFFFFFFFFu : answer);
}

template <typename Operation>
auto HostSimulator::serve(Operation operation) -> decltype(operation()) {
  try {
    return operation();
  } catch (...) {
    if (!failureInCall_) failureInCall_ = std::current_exception();
    throw;
  }
}

void HostSimulator::begin() {
  if (begun_) return;
  begun_ = true;
  columnsWritten_.clear();
  call(CALL_INIT, plugin_.hostControl(this));
  call(CALL_SET_COLUMNS);
  call(CALL_UI_REGISTER);
  call(CALL_START);
}

void HostSimulator::end() {
  if (!begun_) return;
  begun_ = false;
  closeSettings();
  call(CALL_END);
  call(CALL_DEINIT);
}

// --- the operations the plug-in calls -------------------------------------

Address HostSimulator::getPluginInstance() {
  return kPluginInstance;
}

void HostSimulator::reportNoResult(int) {}

const DeclaredColumn* HostSimulator::columnById(int column) const {
  for (const DeclaredColumn& declared : columns_) {
    if (declared.id == column) return &declared;
  }
  return nullptr;
}

void HostSimulator::readConfig(int column, Address value) {
  serve([&] { readConfigValue(column, value); });
}

void HostSimulator::readConfigValue(int column, Address value) {
  const DeclaredColumn* declared = columnById(column);
  const int64_t type = readField(value, FIELD(ConfigValue, type));
  Address answer = 0;
  if (type == kConfigText) {
    // The plug-in relies on a text, never a null address, and copies it at once.
    const auto text = declared ? store_.text(declared->name) : std::nullopt;
    answer = placeKeptText(text.value_or(""));
  } else {
    const auto number = declared ? store_.integer(declared->name) : std::nullopt;
    answer = static_cast<Address>(static_cast<int64_t>(number.value_or(0)));
  }
  writeField(value, FIELD(ConfigValue, value), static_cast<int64_t>(answer));
}

void HostSimulator::writeConfig(int column, Address value) {
  serve([&] { writeConfigValue(column, value); });
}

void HostSimulator::writeConfigValue(int column, Address value) {
  const DeclaredColumn* declared = columnById(column);
  if (!declared) return;  // the messenger keeps only declared columns
  const int64_t type = readField(value, FIELD(ConfigValue, type));
  const Address written = readAddress(value, FIELD(ConfigValue, value));
  if (type == kConfigText) {
    store_.setText(declared->name, plugin_.readString(written));
  } else {
    store_.setInteger(declared->name, static_cast<int32_t>(written));
  }
  columnsWritten_.insert(column);
}

int64_t HostSimulator::hostCall(Address record) {
  return serve([&] { return serveHostCall(record); });
}

int64_t HostSimulator::serveHostCall(Address record) {
  const auto id = static_cast<uint32_t>(readField(record, FIELD(IMessageArgs, id)));
  const Address p1 = readAddress(record, FIELD(IMessageArgs, p1));
  switch (id) {
    case HOST_LOG: {
      log_.push_back(plugin_.readString(p1));
      if (onLog) onLog(log_.back());
      return 0;
    }
    case HOST_SEND_MESSAGE: {
      handed_.push_back({plugin_.readString(readAddress(p1, FIELD(ChatMessage, body))),
                         plugin_.readString(readAddress(p1, FIELD(ChatMessage, ext))),
                         static_cast<uint32_t>(readField(p1, FIELD(ChatMessage, flags)))});
      return ++messageNumbers_;
    }
    case HOST_CALL_101: {
      std::vector<uint8_t> bytes(QMX_RECORD_SIZE(pointerSize_, Call101Args));
      plugin_.read(p1, bytes.data(), bytes.size());
      announcements_.push_back(bytes);
      return 0;
    }
    case HOST_REGISTER_COLUMN: {
      columns_.push_back({static_cast<int32_t>(readField(record, FIELD(ColumnArgs, column))),
                          static_cast<int32_t>(readField(record, FIELD(ColumnArgs, type))),
                          plugin_.readString(readAddress(record, FIELD(ColumnArgs, name)))});
      return 0;
    }
    case HOST_REGISTER_ICON:
      iconId_ = static_cast<int32_t>(readField(p1, FIELD(IconArgs, iconId)));
      return 0;
    case HOST_CREATE_ACTION: {
      PageElement element{};
      element.size = static_cast<uint16_t>(readField(p1, FIELD(ActionInfo, size)));
      element.id = static_cast<int32_t>(readField(p1, FIELD(ActionInfo, ref.id)));
      element.parent = static_cast<int32_t>(readField(p1, FIELD(ActionInfo, ref.parent)));
      element.status = static_cast<uint32_t>(readField(p1, FIELD(ActionInfo, status)));
      const Address text = readAddress(p1, FIELD(ActionInfo, text));
      element.hasText = text != 0;
      element.text = plugin_.readString(text);
      element.param = static_cast<int32_t>(readField(p1, FIELD(ActionInfo, param)));
      element.value72 = static_cast<uint16_t>(readField(p1, FIELD(ActionInfo, value72)));
      element.record.resize(element.size);
      plugin_.read(p1, element.record.data(), element.record.size());
      elements_.push_back(element);
      return 0;
    }
    case HOST_GET_ACTION_VALUE: {
      const auto element = static_cast<int32_t>(readField(p1, FIELD(ActionInfo, ref.id)));
      auto found = fieldsGiven_.find(element);
      return static_cast<int64_t>(placeKeptText(found == fieldsGiven_.end() ? "" : found->second));
    }
    case HOST_SET_ACTION_VALUE: {
      const auto element = static_cast<int32_t>(readField(p1, FIELD(ActionInfo, ref.id)));
      fieldsSet_[element] = plugin_.readString(readAddress(p1, FIELD(ActionInfo, text)));
      return 0;
    }
    default:
      return 0;  // the status of the "Zapisz" button, and calls the host ignores
  }
}

// --- messages ---------------------------------------------------------------

int64_t HostSimulator::sendMessage(const std::string& body, const std::string& ext,
                                   uint32_t flags) {
  const PlacedBlock placedBody(plugin_, placeText(body));
  const PlacedBlock placedExt(plugin_, placeText(ext));
  const size_t size = QMX_RECORD_SIZE(pointerSize_, ChatMessage);
  const PlacedBlock placedMessage(plugin_, plugin_.allocate(size));
  const Address bodyText = placedBody.address();
  const Address extText = placedExt.address();
  const Address message = placedMessage.address();
  writeField(message, FIELD(ChatMessage, size), static_cast<int64_t>(size));
  writeField(message, FIELD(ChatMessage, body), static_cast<int64_t>(bodyText));
  writeField(message, FIELD(ChatMessage, ext), static_cast<int64_t>(extText));
  writeField(message, FIELD(ChatMessage, flags), flags);
  return call(CALL_MESSAGE, message);
}

bool HostSimulator::incomingCorrected() const {
  const DeclaredColumn* option = columnById(kColumnIncoming);
  return option && store_.integer(option->name).value_or(0) != 0;
}

Delivery HostSimulator::deliver(const std::string& body, bool incoming) {
  log_.clear();
  handed_.clear();
  announcements_.clear();
  // The original carries no correction mark (its extension text is empty),
  // so the option alone decides.
  const bool eligible = !incoming || incomingCorrected();
  const uint32_t flags = incoming ? 0u : static_cast<uint32_t>(kMsgOutgoing);
  if (sendMessage(body, "", flags) != kAnswerReplaced) return {body, false, eligible};
  if (handed_.empty()) {
    throw ProtocolError("the plug-in dropped the message without handing over a copy");
  }
  // The copy goes through the plug-in in its turn, only now that the call
  // that produced it has returned.
  const HandedMessage copy = handed_.front();
  if (sendMessage(copy.body, copy.ext, copy.flags) == kAnswerReplaced) {
    throw ProtocolError("the plug-in corrected its own corrected copy again");
  }
  return {copy.body, true, eligible};
}

// --- the settings page -------------------------------------------------------

Address HostSimulator::placeEvent(int32_t element, int32_t code) {
  const size_t size = QMX_RECORD_SIZE(pointerSize_, ActionEvent);
  const Address event = plugin_.allocate(size);
  writeField(event, FIELD(ActionEvent, size), static_cast<int64_t>(size));
  writeField(event, FIELD(ActionEvent, ref.id), element);
  writeField(event, FIELD(ActionEvent, ref.parent), kElementPage);
  writeField(event, FIELD(ActionEvent, ref.instance), kActionInstance);
  writeField(event, FIELD(ActionEvent, code), code);
  return event;
}

void HostSimulator::windowEvent(int32_t code, Address window) {
  const PlacedBlock placed(plugin_, placeEvent(kElementRuleList, code));
  const Address event = placed.address();
  writeField(event, FIELD(ActionEvent, hwnd), static_cast<int64_t>(window));
  writeField(event, FIELD(ActionEvent, hwndParent), static_cast<int64_t>(settingsWindow_));
  call(CALL_UI_ACTION, event);
  if (code == EVENT_CREATE_WINDOW) ruleList_ = readAddress(event, FIELD(ActionEvent, hwnd));
}

void HostSimulator::openSettings() {
  if (ruleList_) return;
  if (!settingsWindow_) settingsWindow_ = plugin_.windows().createSettingsWindow();
  windowEvent(EVENT_CREATE_WINDOW, 0);
  if (!ruleList_) throw ProtocolError("the plug-in made no rule list window");
}

void HostSimulator::closeSettings() {
  if (!ruleList_) return;
  windowEvent(EVENT_DESTROY_WINDOW, ruleList_);
  ruleList_ = 0;
}

int64_t HostSimulator::press(int32_t element) {
  const PlacedBlock placed(plugin_, placeEvent(element, EVENT_ACTIVATE));
  return call(CALL_UI_ACTION, placed.address());
}

void HostSimulator::setFieldValue(int32_t element, const std::string& cp1250) {
  fieldsGiven_[element] = cp1250;
}

std::string HostSimulator::fieldValue(int32_t element) const {
  auto found = fieldsSet_.find(element);
  return found == fieldsSet_.end() ? std::string() : found->second;
}

#undef FIELD

}  // namespace qmxhost
