#include "correction/correct_message.h"

#include <string>

#include "correction/case_option.h"
#include "correction/ext_params.h"
#include "correction/test_switches.h"
#include "rules/rule_store.h"
#include "shell/call_ids.h"
#include "shell/element_ids.h"
#include "shell/host_services.h"
#include "shell/host_text.h"

namespace qmx {

const char kCorrectionMarkKey[] = "quillmax";
const char kCorrectionMarkValue[] = "1";

namespace {

// Lives as long as the module, like the rule store it works on.
RuleLoop g_ruleLoop;

bool isEligible(const ChatMessage& message) {
  if (message.flags & kMsgOutgoing) return true;
  return getConfigInt(kColumnIncoming) != 0;
}

// The Call101Args announcing `messageNumber`: 30, -1, 0, -1, 0, 0, number, 0.
Call101Args makeCall101Args(intptr_t messageNumber) {
  Call101Args args{};
  args.size = sizeof(Call101Args);
  args.id = static_cast<uint32_t>(-1);
  args.aux2 = static_cast<uint32_t>(-1);
  args.p1 = messageNumber;
  return args;
}

}  // namespace

bool correctMessage(ChatMessage* message) {
  if (!isEligible(*message)) return false;
  const std::string receivedExt = textAt(message->ext);
  if (getExtParam(receivedExt, kCorrectionMarkKey) == kCorrectionMarkValue) return false;

  std::string text = textAt(message->body);
  g_ruleLoop.apply(ruleStore(), text, CaseSource::hostOption());

  hostLog(
      "Update wiadomo\x9c"
      "ci");
  hostLog(
      "Wysy\xb3"
      "am poprawion\xb9");

  const std::string markedExt = setExtParam(receivedExt, kCorrectionMarkKey, kCorrectionMarkValue);
  ChatMessage copy{};
  copy.size = sizeof(ChatMessage);
  copy.carried6 = message->carried6;
  copy.carried10 = message->carried10;
  copy.carriedText14 = message->carriedText14;
  copy.carriedText18 = message->carriedText18;
  copy.carried50 = message->carried50;
  copy.carried54 = message->carried54;
  copy.flags = message->flags;
  copy.body = reinterpret_cast<intptr_t>(text.c_str());
  copy.ext = reinterpret_cast<intptr_t>(markedExt.c_str());

  const intptr_t messageNumber = hostCall(HOST_SEND_MESSAGE, reinterpret_cast<intptr_t>(&copy), 0);
  // A host that did not take the copy holds nothing of the user's message
  // but the original: it must not be told to drop that one too.
  if (messageNumber == 0) return false;
  Call101Args announcement = makeCall101Args(messageNumber);
  hostCall(HOST_CALL_101, reinterpret_cast<intptr_t>(&announcement), 0);

  hostLog(
      "Wiadomo\x9c\xe6 wys\xb3"
      "ana");
  hostLog("Kasuj\xea star\xb9");
  message->flags &= ~static_cast<uint32_t>(kMsgFlag80);
  return true;
}

void releaseCorrectionState() {
  g_ruleLoop.release();
}

void setRuleFilters(RuleFilters filters) {
  setRuleLoopFilters(g_ruleLoop, filters);
}

}  // namespace qmx
