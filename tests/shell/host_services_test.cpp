#include "shell/host_services.h"

#include <gtest/gtest.h>

#include <string>

#include "shell/call_ids.h"
#include "tests/support/fake_host.h"

using namespace qmx;

namespace {

using qmxtest::FakeHost;
using qmxtest::HostEvent;
using qmxtest::readLe;

class HostServicesTest : public ::testing::Test {
 protected:
  void SetUp() override { setHostControl(host.hostControl()); }
  void TearDown() override { setHostControl(nullptr); }
  FakeHost host;
};

TEST_F(HostServicesTest, host_call_sends_a_plain_thirty_byte_record) {
  host.onHostCall = [](const IMessageArgs& record) -> intptr_t { return +record.id + 7; };
  EXPECT_EQ(hostCall(12345, 0x11223344, -5), 12352);
  ASSERT_EQ(host.events.size(), 1u);
  const HostEvent& call = host.events[0];
  EXPECT_EQ(call.operation, kHostOpHostCall);
  ASSERT_EQ(call.record.size(), sizeof(IMessageArgs));
  EXPECT_EQ(readLe(call.record, 0, 2), static_cast<int64_t>(sizeof(IMessageArgs)));
  EXPECT_EQ(readLe(call.record, 2, 4), 12345);
  for (size_t offset : {6u, 10u, 14u, 18u}) {
    EXPECT_EQ(readLe(call.record, offset, 4), 0) << "aux field at " << offset;
  }
  EXPECT_EQ(call.p1, 0x11223344);
  EXPECT_EQ(call.p2, -5);
}

TEST_F(HostServicesTest, log_line_is_call_one_with_256_in_p2) {
  hostLog("Baza %d", 3);
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0].id, HOST_LOG);
  EXPECT_EQ(host.events[0].p2, 256);
  EXPECT_EQ(host.events[0].text, "Baza 3");
}

TEST_F(HostServicesTest, log_line_is_cut_to_254_characters) {
  const std::string longText(300, 'x');
  hostLog("%s", longText.c_str());
  ASSERT_EQ(host.logLines().size(), 1u);
  EXPECT_EQ(host.logLines()[0], std::string(254, 'x'));

  host.events.clear();
  const std::string exact(254, 'y');
  hostLog("%s", exact.c_str());
  EXPECT_EQ(host.logLines()[0], exact);
}

TEST_F(HostServicesTest, log_text_with_percent_signs_is_not_reinterpreted) {
  hostLog("%s", "100% %s %n");
  EXPECT_EQ(host.logLines()[0], "100% %s %n");
}

TEST_F(HostServicesTest, config_int_read_sends_type_zero_and_returns_the_value) {
  host.intColumns[889005] = -17;
  EXPECT_EQ(getConfigInt(889005), -17);
  ASSERT_EQ(host.events.size(), 1u);
  const HostEvent& read = host.events[0];
  EXPECT_EQ(read.operation, kHostOpReadConfig);
  EXPECT_EQ(read.reserved1, 0);
  EXPECT_EQ(read.reserved2, 0);
  EXPECT_EQ(read.column, 889005);
  EXPECT_EQ(read.valueType, kConfigInt);
  EXPECT_EQ(read.value, 0);
  EXPECT_EQ(read.valueSize, 0);
}

TEST_F(HostServicesTest, config_string_read_passes_no_buffer_and_size_minus_one) {
  host.textColumns[889001] = "kot\r\n";
  EXPECT_STREQ(getConfigString(889001, nullptr, -1), "kot\r\n");
  const HostEvent& read = host.events.at(0);
  EXPECT_EQ(read.column, 889001);
  EXPECT_EQ(read.valueType, kConfigText);
  EXPECT_EQ(read.value, 0);
  EXPECT_EQ(read.valueSize, -1);
}

TEST_F(HostServicesTest, config_text_read_as_null_address_is_the_empty_text) {
  host.nullTexts = true;
  EXPECT_EQ(readConfigText(889002), "");
}

TEST_F(HostServicesTest, config_string_write_sends_the_text_address_and_size_zero) {
  setConfigString(889007, "0\r\n1\r\n");
  const HostEvent& write = host.events.at(0);
  EXPECT_EQ(write.operation, kHostOpWriteConfig);
  EXPECT_EQ(write.column, 889007);
  EXPECT_EQ(write.valueType, kConfigText);
  EXPECT_EQ(write.valueSize, 0);
  EXPECT_EQ(write.text, "0\r\n1\r\n");
  EXPECT_EQ(host.textColumns[889007], "0\r\n1\r\n");
}

TEST_F(HostServicesTest, instance_and_no_result_reach_their_positions) {
  EXPECT_EQ(getPluginInstance(), host.instance);
  reportNoResult(1);
  EXPECT_EQ(host.operationSequence(),
            (std::vector<int>{kHostOpGetPluginInstance, kHostOpReportNoResult}));
  EXPECT_EQ(host.events[1].code, 1);
}

TEST(HostServicesWithoutHost, every_service_is_a_harmless_no_op) {
  setHostControl(nullptr);
  EXPECT_FALSE(hostAvailable());
  EXPECT_EQ(getPluginInstance(), nullptr);
  reportNoResult(1);
  EXPECT_EQ(hostCall(100, 1, 2), 0);
  EXPECT_EQ(getConfigInt(889005), 0);
  EXPECT_EQ(getConfigString(889001, nullptr, -1), nullptr);
  EXPECT_EQ(readConfigText(889001), "");
  setConfigString(889001, "x");
  hostLog("line");
}

}  // namespace
