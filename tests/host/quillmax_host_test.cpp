// quillmax-host as a user runs it: a process with arguments, standard input,
// a store file, and an exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/process.h"

namespace {

using qmxtest::ProcessResult;
using qmxtest::readFile;
using qmxtest::runProgram;
using qmxtest::TempDir;
using qmxtest::writeFile;

const char kHost[] = QUILLMAX_HOST_PATH;

ProcessResult host(const std::vector<std::string>& args, const std::string& input = "") {
  return runProgram(kHost, args, input);
}

size_t lineCount(const std::string& text) {
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

// Every failure is one clear line on standard error.
void expectOneErrorLine(const ProcessResult& result, const std::string& mentions) {
  EXPECT_EQ(lineCount(result.err), 1u) << result.err;
  EXPECT_NE(result.err.find("quillmax-host: "), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(mentions), std::string::npos) << result.err;
}

struct CorrectCase {
  std::vector<std::string> args;
  std::string input;
  std::string expected;
};

TEST(QuillmaxHost, corrects_out_of_the_box_with_the_embedded_rules) {
  const CorrectCase cases[] = {
      {{"correct", "moze juz"}, "", "może już\n"},
      {{"correct", "Wogóle narazie  dzieki ."}, "", "w ogóle na razie dzięki.\n"},
      {{"correct", "kotek", "sie"}, "", "kotek\nsię\n"},
      {{"correct"}, "moze\njuz\n", "może\njuż\n"},
      {{"correct"}, "bez końca linii", "bez końca linii\n"},
      {{"correct", "--"}, "", ""},
  };
  for (const CorrectCase& c : cases) {
    const ProcessResult result = host(c.args, c.input);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, c.expected) << c.args.back();
    EXPECT_EQ(result.err, "");
  }
}

TEST(QuillmaxHost, null_records_carry_line_feeds_through) {
  const std::string input = std::string("kot\nmoze\0x\0", 11);
  const ProcessResult result = host({"correct", "--null"}, input);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, std::string("kot\nmoże\0x\0", 12));
}

TEST(QuillmaxHost, raw_passes_windows_1250_bytes_both_ways) {
  // «moze» becomes «może»: ż is the single byte 0xBF in Windows-1250.
  const ProcessResult result = host({"--raw", "correct"},
                                    "moze\nmo\xbf"
                                    "e\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "mo\xbf"
            "e\nmo\xbf"
            "e\n");
}

TEST(QuillmaxHost, text_without_a_windows_1250_form_is_an_error_naming_the_message) {
  const ProcessResult result = host({"correct", "ok", "日本"});
  EXPECT_EQ(result.status, 2);
  expectOneErrorLine(result, "message 2");
  EXPECT_EQ(result.out, "") << "nothing is corrected when an input cannot be read";
}

TEST(QuillmaxHost, incoming_messages_follow_the_stored_option) {
  TempDir dir;
  const std::string store = dir.file("store.json");
  writeFile(store, R"({"Rewordix/From": "kot\r\n", "Rewordix/To": "pies\r\n"})");
  EXPECT_EQ(host({"--store", store, "correct", "--incoming", "kot"}).out, "kot\n");
  EXPECT_EQ(host({"--store", store, "set", "incoming", "on"}).status, 0);
  EXPECT_EQ(host({"--store", store, "correct", "--incoming", "kot"}).out, "pies\n");
  EXPECT_EQ(host({"--store", store, "set", "incoming", "off"}).status, 0);
  EXPECT_EQ(host({"--store", store, "correct", "--incoming", "kot"}).out, "kot\n");
}

TEST(QuillmaxHost, run_only_rules_apply_but_never_reach_the_store) {
  TempDir dir;
  const std::string store = dir.file("store.json");
  writeFile(store,
            R"({"Rewordix/From": "a\r\n", "Rewordix/To": "b\r\n", "Rewordix/Type": "0\r\n"})");
  const ProcessResult result = host({"--store", store, "correct", "--rule", "kot", "pies", "word",
                                     "--rule", "/b+/", "B", "perl", "a kot b"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "B pies B\n");
  const std::string saved = readFile(store);
  EXPECT_EQ(saved.find("kot"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"Rewordix/From\": \"a\\r\\n\""), std::string::npos) << saved;
}

TEST(QuillmaxHost, trace_names_each_rule_that_changed_the_text) {
  const ProcessResult result = host({"correct", "--trace", "moze juz"});
  EXPECT_EQ(result.out, "może już\n");
  EXPECT_NE(result.err.find("message 1: rule 11: \"moze juz\" -> \"może juz\""), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("rule 12: \"może juz\" -> \"może już\""), std::string::npos)
      << result.err;
  EXPECT_EQ(lineCount(result.err), 2u) << result.err;
}

TEST(QuillmaxHost, log_shows_the_plugin_lines_in_utf8) {
  const ProcessResult result = host({"--log", "correct", "x"});
  EXPECT_NE(result.err.find("log: Ładuję bazę zmian\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("log: Wyłączam wtyczkę\n"), std::string::npos) << result.err;
}

TEST(QuillmaxHost, store_round_trip_through_the_plugins_editor) {
  TempDir dir;
  const std::string store = dir.file("rules.json");

  ProcessResult added = host({"--store", store, "rules", "add", "teh", "the"});
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(added.out, "added rule 1\n");
  EXPECT_EQ(host({"--store", store, "rules", "add", "źle", "dobrze", "perl"}).status, 0);
  EXPECT_EQ(host({"--store", store, "rules", "add", "/x+/", "y", "perl"}).status, 0);

  const std::string saved = readFile(store);
  EXPECT_NE(saved.find("\"Rewordix/From\": \"teh\\r\\nźle\\r\\n/x+/\\r\\n\""), std::string::npos)
      << saved;
  EXPECT_NE(saved.find("\"Rewordix/Type\": \"0\\r\\n1\\r\\n1\\r\\n\""), std::string::npos) << saved;

  EXPECT_EQ(host({"--store", store, "rules", "list"}).out,
            "1\tteh\tthe\tword\n2\tźle\tdobrze\tperl\n3\t/x+/\ty\tperl\n");

  ProcessResult refused = host({"--store", store, "rules", "add", "TEH", "x"});
  EXPECT_EQ(refused.status, 1);
  expectOneErrorLine(refused, "refused");
  EXPECT_EQ(readFile(store), saved) << "a refused add changes nothing";

  ProcessResult edited = host({"--store", store, "rules", "edit", "2"});
  EXPECT_EQ(edited.out, "From: źle\nTo: dobrze\nType: 1\n");

  ProcessResult deleted = host({"--store", store, "rules", "delete", "3", "1"});
  EXPECT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_EQ(deleted.out, "deleted 2 rules\n");
  EXPECT_EQ(host({"--store", store, "rules", "list"}).out, "1\tźle\tdobrze\tperl\n");
}

TEST(QuillmaxHost, rule_numbers_out_of_range_are_usage_errors) {
  TempDir dir;
  const std::string store = dir.file("rules.json");
  writeFile(store, R"({"Rewordix/From": "a\r\nb\r\n", "Rewordix/To": "1\r\n2\r\n"})");
  const std::string before = readFile(store);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"rules", "delete", "3"},
                                               {"rules", "delete", "0"},
                                               {"rules", "delete", "1", "x"},
                                               {"rules", "edit", "-1"},
                                               {"rules", "edit", "1.5"}}) {
    std::vector<std::string> command = {"--store", store};
    command.insert(command.end(), args.begin(), args.end());
    const ProcessResult result = host(command);
    EXPECT_EQ(result.status, 2) << args.back();
    expectOneErrorLine(result, "numbered 1 to 2");
  }
  EXPECT_EQ(readFile(store), before);
}

TEST(QuillmaxHost, changes_without_a_store_say_nothing_is_saved) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"rules", "add", "qqq", "x"}, {"set", "case-sensitive", "on"}}) {
    const ProcessResult result = host(args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("not saved"), std::string::npos) << result.err;
  }
}

TEST(QuillmaxHost, missing_store_is_empty_and_created_at_the_end) {
  TempDir dir;
  const std::string store = dir.file("new.json");
  const ProcessResult result = host({"--store", store, "correct", "moze"});
  EXPECT_EQ(result.out, "moze\n") << "an empty store holds no rules";
  EXPECT_NE(readFile(store).find("\"Rewordix/From\": \"\""), std::string::npos) << readFile(store);
}

TEST(QuillmaxHost, malformed_store_is_an_error_and_left_untouched) {
  TempDir dir;
  struct Case {
    const char* content;
    const char* mentions;
  };
  const Case cases[] = {
      {"{\n  \"Rewordix/From\": \"a\"\n  x", "line 3, column 3"},
      {"[1, 2]", "JSON object"},
      {"{\"Rewordix/Przychodzace\": true}", "Rewordix/Przychodzace"},
      {"{\"Rewordix/From\": \"日本\"}", "Windows-1250"},
  };
  for (const Case& c : cases) {
    const std::string store = dir.file("bad.json");
    writeFile(store, c.content);
    const ProcessResult result = host({"--store", store, "rules", "add", "a", "b"});
    EXPECT_EQ(result.status, 2) << c.content;
    expectOneErrorLine(result, c.mentions);
    EXPECT_NE(result.err.find(store), std::string::npos) << "the error names the file";
    EXPECT_EQ(readFile(store), c.content);
  }
}

TEST(QuillmaxHost, check_reports_every_refused_pattern_and_exits_1) {
  TempDir dir;
  const std::string store = dir.file("rules.json");
  writeFile(store, R"({"Rewordix/From": "/(/\r\nkot\r\nkot(\r\n[x\r\n",
                       "Rewordix/Type": "1\r\n0\r\n0\r\n2\r\n"})");
  const ProcessResult result = host({"--store", store, "check"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            "rule 1: /(/: missing ) at offset 1\n"
            "rule 3: kot(: pass 1: missing ) at offset 45\n"
            "rule 3: kot(: pass 2: missing ) at offset 23\n"
            "rule 3: kot(: pass 3: missing ) at offset 23\n");
  const ProcessResult clean = host({"check"});
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.out, "16 rules: every pattern compiles\n");
}

TEST(QuillmaxHost, page_lists_columns_then_elements_in_groups) {
  const ProcessResult result = host({"page"});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> expectedInOrder = {
      "889001  Rewordix/From  text",
      "889006  Rewordix/CaseSensitive  integer",
      "889003  page  \"Quillmax\"",
      "  -  group  \"Ustawienia:\"",
      "    889009  text field  \"Zamień z:\" (tip: \"Co ma zmieniać\")",
      "    889014  choice  \"Słowo | Perl\"",
      "    889012  button  \"Usuń\"",
      "  -  end of group",
      "    -  formatted text  \"<b>Quillmax</b><br>Wersja: 0.0.5beta",
  };
  size_t at = 0;
  for (const std::string& piece : expectedInOrder) {
    const size_t found = result.out.find(piece, at);
    ASSERT_NE(found, std::string::npos) << piece << "\n" << result.out;
    at = found + piece.size();
  }
}

TEST(QuillmaxHost, usage_errors_exit_2_with_one_line) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"--store"},
      {"--bogus", "correct"},
      {"correct", "--rule", "a", "b"},
      {"correct", "--bogus"},
      {"rules", "add", "only-from"},
      {"rules", "add", "a", "b", "regex"},
      {"rules", "list", "extra"},
      {"set", "incoming", "maybe"},
      {"set", "colour", "on"},
      {"check", "extra"},
  };
  for (const auto& args : cases) {
    const ProcessResult result = host(args);
    EXPECT_EQ(result.status, 2) << (args.empty() ? "(no arguments)" : args[0]);
    EXPECT_EQ(lineCount(result.err), 1u) << result.err;
  }
}

TEST(QuillmaxHost, help_is_offered_for_the_program_and_each_command) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"correct", "--help"},
                                               {"rules", "--help"},
                                               {"check", "--help"},
                                               {"page", "--help"},
                                               {"set", "--help"}}) {
    const ProcessResult result = host(args);
    EXPECT_EQ(result.status, 0) << args[0];
    EXPECT_EQ(result.out.rfind("usage: quillmax-host", 0), 0u) << result.out;
  }
}

TEST(QuillmaxHost, plugin_that_cannot_be_loaded_is_one_clear_error) {
  const ProcessResult result = host({"--plugin", "/nonexistent/Quillmax.so", "correct", "x"});
  EXPECT_EQ(result.status, 2);
  expectOneErrorLine(result, "cannot load the plug-in");
}

}  // namespace
