// quillmax-host as a user runs it: a process with arguments, standard input,
// a store file, and an exit status.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <string>
#include <vector>

#include "tests/support/process.h"

#if defined(QUILLMAX_HAVE_AUTOCORRECT)
#include <zip.h>
#endif

namespace {

using qmxtest::ProcessResult;
using qmxtest::readFile;
using qmxtest::runProgram;
using qmxtest::TempDir;
using qmxtest::writeFile;

const char kHost[] = QUILLMAX_HOST_PATH;
const char kNoResultPlugin[] = NO_RESULT_PLUGIN_PATH;
// Set in the 32-bit build, whose programs run under it.
const char kEmulator[] = QUILLMAX_TEST_EMULATOR;

ProcessResult host(const std::vector<std::string>& args, const std::string& input = "") {
  return runProgram(kHost, args, input);
}

// Starts quillmax-host on the given descriptors (-1: closed), for what
// runProgram's pipes cannot show: a full or closed standard output, and
// results read while standard input is still open.
pid_t startHost(const std::vector<std::string>& args, int in, int out, int err) {
  std::vector<std::string> command;
  if (kEmulator[0] != '\0') command.push_back(kEmulator);
  command.push_back(kHost);
  command.insert(command.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& part : command) argv.push_back(&part[0]);
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int fds[] = {in, out, err};
    for (int fd = 0; fd < 3; ++fd) {
      if (fds[fd] < 0) {
        close(fd);
      } else {
        dup2(fds[fd], fd);
      }
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

int exitStatus(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

enum class Output { kPipe, kFull, kClosed };

ProcessResult hostWithOutput(const std::vector<std::string>& args, Output output) {
  if (output == Output::kPipe) return host(args);
  TempDir dir;
  const int err = open(dir.file("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ProcessResult result;
  result.status = exitStatus(startHost(args, -1, output == Output::kFull ? full : -1, err));
  close(full);
  close(err);
  result.err = readFile(dir.file("err"));
  return result;
}

std::vector<std::string> entriesOf(const std::string& directory) {
  std::vector<std::string> names;
  DIR* listing = opendir(directory.c_str());
  // readdir64: in the 32-bit build plain readdir fails on 64-bit directory offsets.
  while (const dirent64* entry = listing ? readdir64(listing) : nullptr) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  if (listing) closedir(listing);
  std::sort(names.begin(), names.end());
  return names;
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

// A literal's bytes, NULs included.
template <size_t N>
std::string bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

struct CorrectCase {
  std::vector<std::string> args;
  std::string input;
  std::string expected;
  std::string err = "";
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

// A real chat log: what the plug-in cannot take passes through as it came,
// with one line on standard error naming the line, the character and its
// column in characters; the run goes on, and ends with exit status 1.
TEST(QuillmaxHost, lines_the_plugin_cannot_take_pass_through_and_the_run_goes_on) {
  const std::string passed = "; passed through uncorrected\n";
  const CorrectCase cases[] = {
      {{"correct"},
       "moze 😀 juz\nsie\n",
       "moze 😀 juz\nsię\n",
       "quillmax-host: line 1: \"😀\" at column 6 has no Windows-1250 form" + passed +
           "quillmax-host: some lines were not corrected: 1 of 2\n"},
      {{"correct", "--null"},
       bytes("sie\0żółw 日\0moze\0"),
       bytes("się\0żółw 日\0może\0"),
       "quillmax-host: record 2: \"日\" at column 6 has no Windows-1250 form" + passed +
           "quillmax-host: some records were not corrected: 1 of 3\n"},
      {{"correct", "ok", "日本", "sie"},
       "",
       "ok\n日本\nsię\n",
       "quillmax-host: message 2: \"日\" at column 1 has no Windows-1250 form" + passed +
           "quillmax-host: some messages were not corrected: 1 of 3\n"},
      {{"correct"},
       "\xff moze\nmoze\n",
       "\xff moze\nmoże\n",
       "quillmax-host: line 1: byte 0xFF at column 1 is not UTF-8" + passed +
           "quillmax-host: some lines were not corrected: 1 of 2\n"},
  };
  for (const CorrectCase& c : cases) {
    const ProcessResult result = host(c.args, c.input);
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(result.out, c.expected);
    EXPECT_EQ(result.err, c.err);
  }
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

// Which rules fire on a log: counted by the plug-in's own rule loop,
// replayed; a --rule is warned about as rules add warns.
TEST(QuillmaxHost, stats_count_the_messages_each_rule_changed) {
  const ProcessResult result =
      host({"correct", "--stats", "--rule", "k.t", "x", "word"}, "moze juz\nmoze\nkit\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "może już\nmoże\nx\n");
  for (const char* line : {
           "quillmax-host: warning: rule 17: k.t: From holds pattern characters \".\"",
           "\nrule 1: changed no message: wogóle\n",
           "\nrule 11: changed 2 messages: moze\n",
           "\nrule 12: changed 1 message: juz\n",
           "\nrule 17: changed 1 message: k.t\n",
       }) {
    EXPECT_NE(result.err.find(line), std::string::npos) << line << "\n" << result.err;
  }
  EXPECT_EQ(lineCount(result.err), 18u) << result.err;
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

// The host's own changes to the stored columns: a rule changed in place or
// moved, the other rules and columns as they were. A From that another rule
// has, letter case aside as the plug-in's editor compares (Polish letters
// too), is refused as the editor's Add refuses it.
TEST(QuillmaxHost, edit_and_move_change_rules_in_place) {
  const std::string original =
      R"({"Rewordix/CaseSensitive": 1, "Rewordix/From": "teh\r\nźle\r\n/x+/\r\n", )"
      R"("Rewordix/To": "the\r\ndobrze\r\ny\r\n", "Rewordix/Type": "0\r\n0\r\n1\r\n"})";
  const std::string listed = "1\tteh\tthe\tword\n2\tźle\tdobrze\tword\n3\t/x+/\ty\tperl\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string list;  // rules list afterwards; empty: as it was
    std::string err;   // what standard error mentions; empty: nothing
  };
  const Case cases[] = {
      {{"edit", "2", "--to", "dobrze!"},
       0,
       "1\tteh\tthe\tword\n2\tźle\tdobrze!\tword\n3\t/x+/\ty\tperl\n",
       ""},
      {{"edit", "--from", "Teh", "--type", "perl", "1"},
       0,
       "1\tTeh\tthe\tperl\n2\tźle\tdobrze\tword\n3\t/x+/\ty\tperl\n",
       "warning: rule 1: Teh"},
      {{"edit", "1", "--from", "ŹLE"}, 1, "", "refused: rule 2 has the From \"źle\" already"},
      {{"move", "3", "1"}, 0, "1\t/x+/\ty\tperl\n2\tteh\tthe\tword\n3\tźle\tdobrze\tword\n", ""},
      {{"move", "1", "3"}, 0, "1\tźle\tdobrze\tword\n2\t/x+/\ty\tperl\n3\tteh\tthe\tword\n", ""},
      {{"move", "2", "2"}, 0, listed, ""},
      {{"edit", "4", "--to", "x"}, 2, "", "no rule 4: the rules are numbered 1 to 3"},
      {{"edit", "1", "--type", "regex"}, 2, "", "word or perl, not 'regex'"},
      {{"move", "1"}, 2, "", "usage: quillmax-host rules move N M"},
  };
  TempDir dir;
  const std::string store = dir.file("store.json");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    writeFile(store, original);
    std::vector<std::string> args = {"--store", store, "rules"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult result = host(args);
    EXPECT_EQ(result.status, c.status) << result.err;
    if (c.err.empty()) {
      EXPECT_EQ(result.err, "");
    } else {
      EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }
    if (c.list.empty()) {
      EXPECT_EQ(readFile(store), original) << "a refused change writes nothing";
    } else {
      EXPECT_EQ(host({"--store", store, "rules", "list"}).out, c.list);
      EXPECT_NE(readFile(store).find("\"Rewordix/CaseSensitive\": 1"), std::string::npos);
    }
  }
}

// The rule columns of a store file, one line each as the store is written.
std::string ruleColumns(const std::string& store) {
  std::string columns;
  const std::string json = readFile(store);
  for (const char* name : {"\"Rewordix/From\"", "\"Rewordix/To\"", "\"Rewordix/Type\""}) {
    const size_t at = json.find(name);
    columns += at == std::string::npos ? "none\n" : json.substr(at, json.find('\n', at) - at + 1);
  }
  return columns;
}

// An office autocorrect list as the suites ship it: a zip holding
// DocumentList.xml. False where this build cannot make one.
bool writeAutocorrectList(const std::string& path, const std::string& entries) {
#if defined(QUILLMAX_HAVE_AUTOCORRECT)
  static const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<block-list:block-list "
      "xmlns:block-list=\"http://openoffice.org/2001/block-list\">\n";
  const std::string document = xml + entries + "</block-list:block-list>\n";
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  zip_source_t* source = zip_source_buffer(archive, document.data(), document.size(), 0);
  zip_file_add(archive, "DocumentList.xml", source, ZIP_FL_ENC_UTF_8);
  return zip_close(archive) == 0;
#else
  writeFile(path, entries);
  return false;
#endif
}

// An export imported into an empty store gives the same columns, in either
// format, whatever the texts hold; an import adds through the editor, whose
// duplicate check decides, and says why it skips what it skips.
TEST(QuillmaxHost, import_and_export_carry_rules_between_stores) {
  TempDir dir;
  const std::string source = dir.file("source.json");
  writeFile(source, R"({"Rewordix/From": "a\tb\r\nk\\.t\r\nx\ny\r\n/(ż)/i\r\nodd\r\n", )"
                    R"("Rewordix/To": "\\\r\n$1\r\nz\r\nŻ\r\n\r\n", )"
                    R"("Rewordix/Type": "0\r\n0\r\n0\r\n1\r\n2\r\n"})");
  // Saved once, so that its columns read as the imported store's will.
  ASSERT_EQ(host({"--store", source, "set", "incoming", "off"}).status, 0);
  for (const char* format : {"tsv", "json"}) {
    SCOPED_TRACE(format);
    const std::string file = dir.file(std::string("rules.") + format);
    const std::string copy = dir.file(std::string("copy-") + format + ".json");
    const ProcessResult exported = host({"--store", source, "rules", "export", file});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out, "exported 5 rules to " + file + "\n");
    const ProcessResult imported = host({"--store", copy, "rules", "import", file});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "added 5 rules, skipped 0\n");
    EXPECT_EQ(ruleColumns(copy), ruleColumns(source));
    const ProcessResult again = host({"--store", copy, "rules", "import", file});
    EXPECT_EQ(again.out, "added 0 rules, skipped 5: 5 already listed\n");
    EXPECT_EQ(lineCount(again.err), 5u) << again.err;
  }
  EXPECT_EQ(host({"--store", source, "rules", "export"}).out,
            "a\\tb\t\\\\\tword\nk\\\\.t\t$1\tword\nx\\ny\tz\tword\n/(ż)/i\tŻ\tperl\nodd\t\t2\n");

  // Refused whole: nothing is added from a file that cannot be read.
#if defined(QUILLMAX_HAVE_AUTOCORRECT)
  const std::string kUnreadableList = "bad.dat: not an autocorrect list";
#else
  const std::string kUnreadableList = "bad.dat: this build of quillmax-host cannot read";
#endif
  const std::string store = dir.file("store.json");
  writeFile(dir.file("bad.tsv"), "ok\tfine\nno tab here\n");
  writeFile(dir.file("bad.dat"), "not a zip");
  for (const auto& [file, mentions] :
       {std::pair<std::string, std::string>{"bad.tsv", "bad.tsv: line 2: 1 field"},
        {"bad.dat", kUnreadableList}}) {
    const ProcessResult result = host({"--store", store, "rules", "import", dir.file(file)});
    EXPECT_EQ(result.status, 2) << file;
    expectOneErrorLine(result, mentions);
    EXPECT_EQ(readFile(store), "");
  }

  const std::string list = dir.file("acor_pl-PL.dat");
  if (!writeAutocorrectList(list, R"xml(
      <block-list:block block-list:abbreviated-name="np." block-list:name="na przykład"/>
      <block-list:block block-list:abbreviated-name="teh" block-list:name="the"/>
      <block-list:block block-list:abbreviated-name="TEH" block-list:name="THE"/>
      <block-list:block block-list:abbreviated-name=".*ing" block-list:name="x"/>
      <block-list:block block-list:abbreviated-name=":smile:" block-list:name="😀"/>
      <block-list:block block-list:abbreviated-name="usd" block-list:name="$1 USD"/>
      <block-list:block block-list:abbreviated-name="(c)" block-list:name="©"/>
  )xml")) {
    GTEST_SKIP() << "this build reads no autocorrect lists";
  }
  const ProcessResult imported = host({"--store", store, "rules", "import", list});
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(imported.out,
            "added 3 rules, skipped 4: 1 already listed, 1 with a wildcard, 1 with no "
            "Windows-1250 form, 1 with $ and a digit or & in To\n");
  EXPECT_EQ(lineCount(imported.err), 4u) << imported.err;
  EXPECT_NE(imported.err.find("entry 6 \"usd\": skipped: its replacement holds \"$1\""),
            std::string::npos)
      << imported.err;
  EXPECT_EQ(host({"--store", store, "rules", "list"}).out,
            "1\tnp\\.\tna przykład\tword\n2\tteh\tthe\tword\n3\t\\(c\\)\t©\tword\n");
  // Escaped, a From matches only itself.
  EXPECT_EQ(host({"--store", store, "correct", "to np. tak (c)", "npx (cx)"}).out,
            "to na przykład tak ©\nnpx (cx)\n");
}

TEST(QuillmaxHost, rule_numbers_out_of_range_or_not_numbers_are_usage_errors) {
  TempDir dir;
  const std::string store = dir.file("rules.json");
  writeFile(store, R"({"Rewordix/From": "a\r\nb\r\n", "Rewordix/To": "1\r\n2\r\n"})");
  const std::string before = readFile(store);
  struct Case {
    std::vector<std::string> args;
    const char* mentions;
  };
  const Case cases[] = {
      {{"rules", "delete", "3"}, "no rule 3: the rules are numbered 1 to 2"},
      {{"rules", "delete", "0"}, "no rule 0"},
      {{"rules", "delete", "99999999999999999999"}, "no rule 99999999999999999999"},
      {{"rules", "delete", "1", "x"}, "\"x\" is not a rule number: the rules are numbered 1 to 2"},
      {{"rules", "delete", "1 "}, "\"1 \" is not a rule number"},
      {{"rules", "edit", "-1"}, "\"-1\" is not a rule number"},
      {{"rules", "edit", "1.5"}, "\"1.5\" is not a rule number"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> command = {"--store", store};
    command.insert(command.end(), c.args.begin(), c.args.end());
    const ProcessResult result = host(command);
    EXPECT_EQ(result.status, 2) << c.mentions;
    expectOneErrorLine(result, c.mentions);
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

// --- the store ----------------------------------------------------------------

// --store, else QUILLMAX_STORE, else the built-in rules; an empty file is a
// store with nothing in it yet.
TEST(QuillmaxHost, the_store_is_named_by_the_option_or_the_environment) {
  TempDir dir;
  const std::string store = dir.file("store.json");
  const std::string empty = dir.file("empty.json");
  writeFile(store, R"({"Rewordix/From": "kot\r\n", "Rewordix/To": "pies\r\n", )"
                   R"("Rewordix/CaseSensitive": 1})");
  writeFile(empty, "");
  struct Case {
    std::string environment;  // QUILLMAX_STORE; empty: unset
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;  // what standard error mentions; empty: nothing
  };
  const Case cases[] = {
      {"", {"correct", "kot moze"}, 0, "kot może\n", ""},
      {store, {"correct", "kot moze"}, 0, "pies moze\n", ""},
      {empty, {"--store", store, "correct", "kot moze"}, 0, "pies moze\n", ""},
      {"", {"--store", empty, "correct", "kot moze"}, 0, "kot moze\n", ""},
      {"", {"--store", empty, "set"}, 0, "incoming: off\ncase-sensitive: off\n", ""},
      {store, {"set"}, 0, "incoming: off\ncase-sensitive: on\n", ""},
      {dir.file("typo.jsno"), {"check"}, 2, "", "(named by QUILLMAX_STORE; a changing command"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.environment + " " + c.args.back());
    if (!c.environment.empty()) setenv("QUILLMAX_STORE", c.environment.c_str(), 1);
    const ProcessResult result = host(c.args);
    unsetenv("QUILLMAX_STORE");
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_EQ(result.out, c.out);
    if (c.err.empty()) {
      EXPECT_EQ(result.err, "");
    } else {
      expectOneErrorLine(result, c.err);
    }
  }
  EXPECT_EQ(readFile(empty), "") << "reading an empty store writes nothing";
}

TEST(QuillmaxHost, unreadable_store_is_an_error_and_left_untouched) {
  TempDir dir;
  struct Case {
    const char* content;  // null: the store is a directory
    const char* mentions;
    bool pipeAsLock = false;  // a FIFO stands where the store's lock goes
  };
  const Case cases[] = {
      {nullptr, "is a directory"},
      // Opened as it is, the pipe would wait for a writer for ever.
      {"{}", "piped.json.lock is not a regular file", true},
      {"{\n  \"Rewordix/From\": \"a\"\n  x", "line 3, column 3"},
      {"[1, 2]", "JSON object"},
      {"{\"Rewordix/Przychodzace\": true}", "Rewordix/Przychodzace"},
      {"{\"Rewordix/From\": \"日本\"}", "Windows-1250"},
      // The plug-in would read the column only up to the NUL, and its next
      // save would drop the rules after it.
      {R"({"Rewordix/From": "a\r\nb\u0000c\r\nd\r\n", "Rewordix/To": "1\r\n2\r\n3\r\n"})",
       "column \"Rewordix/From\": rule 2 holds a NUL byte"},
      {R"({"Rewordix/Przychodzace": 18446744073709551615})", "out of the 32-bit range"},
      {R"({"Rewordix/From": "a\r\n", "Rewordix/From": "b\r\n"})",
       "\"Rewordix/From\" is named twice"},
  };
  for (const Case& c : cases) {
    const std::string store = dir.file(c.pipeAsLock ? "piped.json"
                                       : c.content  ? "bad.json"
                                                    : "directory.json");
    if (c.pipeAsLock) mkfifo((store + ".lock").c_str(), 0644);
    if (c.content) {
      writeFile(store, c.content);
    } else {
      mkdir(store.c_str(), 0755);
    }
    const ProcessResult result = host({"--store", store, "rules", "add", "a", "b"});
    EXPECT_EQ(result.status, 2) << c.mentions;
    expectOneErrorLine(result, c.mentions);
    EXPECT_NE(result.err.find(store), std::string::npos) << "the error names the file";
    EXPECT_EQ(readFile(store), c.content ? c.content : "") << c.mentions;
  }
  EXPECT_EQ(entriesOf(dir.path()),
            (std::vector<std::string>{"bad.json", "bad.json.lock", "directory.json", "piped.json",
                                      "piped.json.lock"}))
      << "no temporary file remains, and no lock beside what is not a file";
}

// What the user set up around the store survives a save, a link planted
// under the old fixed temporary name is never followed, and a failed save
// leaves the old store whole.
TEST(QuillmaxHost, saving_keeps_the_files_set_up_and_fails_whole) {
  struct Case {
    const char* name;
    mode_t mode;
    bool linked;   // store.json is a link to target.json
    bool limited;  // a file-size limit fails the write, as a full disk does
  };
  const Case cases[] = {
      {"a private store stays private", 0600, false, false},
      {"a linked store is saved in its target", 0640, true, false},
      {"a save that cannot be written changes nothing and claims nothing", 0644, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string target = dir.file(c.linked ? "target.json" : "store.json");
    const std::string rules = std::string(c.limited ? 8192 : 1, 'x');
    writeFile(target, R"({"Rewordix/From": ")" + rules + R"(\r\n", "Rewordix/To": "y\r\n"})");
    chmod(target.c_str(), c.mode);
    if (c.linked) symlink("target.json", dir.file("store.json").c_str());
    writeFile(dir.file("victim"), "kept");
    symlink("victim", dir.file("store.json.tmp").c_str());
    const std::vector<std::string> before = entriesOf(dir.path());
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    if (c.limited) {
      // Ignored, the signal leaves the failed write to the program (and to
      // valgrind, whose own small files stay under the limit).
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{4096, unlimited.rlim_max};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    const ProcessResult result =
        host({"--store", dir.file("store.json"), "rules", "add", "new", "x"});
    setrlimit(RLIMIT_FSIZE, &unlimited);

    EXPECT_EQ(result.status, c.limited ? 2 : 0) << result.err;
    if (c.limited) expectOneErrorLine(result, "the store is unchanged");
    EXPECT_EQ(result.out, c.limited ? "" : "added rule 2\n") << "success only after the save";
    EXPECT_EQ(readFile(target).find("new") != std::string::npos, !c.limited);
    struct stat status {};
    EXPECT_EQ(stat(target.c_str(), &status) == 0 ? status.st_mode & 07777 : 0, c.mode);
    lstat(dir.file("store.json").c_str(), &status);
    EXPECT_EQ(S_ISLNK(status.st_mode), c.linked) << "the link was replaced by a file";
    EXPECT_EQ(readFile(dir.file("victim")), "kept");
    std::vector<std::string> after = entriesOf(dir.path());
    after.erase(std::remove(after.begin(), after.end(), "target.json.lock"), after.end());
    after.erase(std::remove(after.begin(), after.end(), "store.json.lock"), after.end());
    EXPECT_EQ(after, before) << "a temporary file was left behind";
  }
}

TEST(QuillmaxHost, read_only_commands_never_write_the_store_or_beside_it) {
  const char kStore[] = R"({"Rewordix/From": "kot\r\n", "Rewordix/To": "pies\r\n"})";
  TempDir dir;
  const std::string existing = dir.file("store.json");
  writeFile(existing, kStore);
  for (const std::vector<std::string>& command : {std::vector<std::string>{"correct", "kot"},
                                                  {"rules", "list"},
                                                  {"rules", "edit", "1"},
                                                  {"check"},
                                                  {"page"}}) {
    for (const std::string& store : {existing, dir.file("missing.jsno")}) {
      std::vector<std::string> args = {"--store", store};
      args.insert(args.end(), command.begin(), command.end());
      const ProcessResult result = host(args);
      if (store == existing) {
        EXPECT_EQ(result.status, 0) << command[0] << ": " << result.err;
      } else {
        // A mistyped name would otherwise correct nothing and report success.
        EXPECT_EQ(result.status, 2) << command[0];
        expectOneErrorLine(result, "no store at " + store +
                                       " (a changing command such as `rules add` creates one)");
      }
    }
  }
  EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"store.json"});
  EXPECT_EQ(readFile(existing), kStore);
}

// Overlapping runs take turns: every addition a writer reports is in the
// store at the end.
TEST(QuillmaxHost, overlapping_writers_lose_no_rule) {
  constexpr int kWriters = 6;
  TempDir dir;
  const std::string store = dir.file("store.json");
  std::vector<std::future<ProcessResult>> runs;
  for (int i = 0; i < kWriters; ++i) {
    runs.push_back(std::async(std::launch::async, [&store, i] {
      return host({"--store", store, "rules", "add", "w" + std::to_string(i), "x"});
    }));
  }
  std::vector<std::string> reported;
  for (auto& run : runs) {
    const ProcessResult result = run.get();
    EXPECT_EQ(result.status, 0) << result.err;
    reported.push_back(result.out);
  }
  const std::string list = host({"--store", store, "rules", "list"}).out;
  for (int i = 0; i < kWriters; ++i) {
    EXPECT_NE(list.find("\tw" + std::to_string(i) + "\t"), std::string::npos) << list;
    const std::string added = "added rule " + std::to_string(i + 1) + "\n";
    EXPECT_EQ(std::count(reported.begin(), reported.end(), added), 1) << added;
  }
}

// --- check ----------------------------------------------------------------------

std::string jsonText(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c == '\\' || c == '"' ? std::string{'\\', c} : c == '\n' ? "\\n" : std::string{c};
  }
  return out;
}

std::string repeat(const std::string& piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// Each rule in a store after a sound one, judged by check; then, where it
// fits on a command line, added by rules add, which warns with the same
// lines and still adds it.
TEST(QuillmaxHost, check_judges_rules_as_the_plugin_runs_them) {
  const std::string literal = repeat("b", 900000);  // PCRE's word patterns would be too large
  const std::string groups333 = "/" + repeat("()", 333) + "x/";
  const std::string empty =
      ": the pattern can match the empty text, and wherever it does, "
      "To goes in without replacing anything\n";
  const std::string patternCharacters =
      ": a word rule's From is a pattern (a backslash before one makes it plain)\n";
  struct Case {
    std::string from, to;
    const char* type;      // as stored: 0 word, 1 Perl, 2 neither
    std::string findings;  // check's output; empty: none
  };
  const Case cases[] = {
      {repeat("a", 4090), "x", "0", ""},
      {literal, "x", "0", ""},
      {literal + ".", "x", "0",
       "rule 2: " + repeat("b", 60) + "...: From holds pattern characters \".\"" +
           patternCharacters + "rule 2: " + repeat("b", 60) +
           "...: pass 1: regular expression is too large, found after From in the pattern a word "
           "rule builds around it\n"},
      {"/(/", "x", "1", "rule 2: /(/: missing ) at offset 1\n"},
      {"/" + repeat("()", 332) + "x/", "y", "1", ""},
      {groups333, "y", "1",
       "rule 2: " + groups333.substr(0, 60) +
           "...: 333 groups; a match using group 333 or above ends the rule\n"},
      {"teh", "the", "1",
       "rule 2: teh: no closing delimiter: the first character, \"t\", never occurs again, so "
       "the expression is empty\nrule 2: teh" +
           empty},
      {"", "X", "0",
       "rule 2: empty From: To goes in between separators that meet, before a leading one, "
       "after a trailing one, and into an empty message\n"},
      {"", "X", "1", "rule 2: empty From: the expression is empty\nrule 2" + empty},
      {"/x*/", "y", "1", "rule 2: /x*/" + empty},
      {"/(?=a)/", "y", "1", "rule 2: /(?=a)/" + empty},
      {"/x*/E", "y", "1", ""},
      {"/(a)\\1/", "y", "1", ""},
      {"k.t?", "y", "0",
       "rule 2: k.t?: From holds pattern characters \".\" \"?\"" + patternCharacters},
      {"k\\.t", "y", "0", ""},
      // A lone line feed is kept in a stored rule, and shown escaped.
      {"k.t\n", "y", "0",
       "rule 2: k.t\\n: From holds pattern characters \".\"" + patternCharacters},
      {"kot(", "y", "0",
       "rule 2: kot(: From holds pattern characters \"(\"" + patternCharacters +
           "rule 2: kot(: missing ), found after From in the pattern a word rule builds around "
           "it\n"},
      // Texts the plug-in holds in Windows-1250, shown in UTF-8.
      {"źle", "y", "0",
       "rule 2: źle: case is ignored only for A–Z: «Źle» is not matched by «źle»\n"},
      {"kot", "$2 $& $2", "0",
       "rule 2: kot: To holds \"$2\" \"$&\": To is a template, in which these stand for parts "
       "of the match (the separators around the word, or the word with them)\n"},
      {"kot", "5$ $x $", "0", ""},
      {"/(kot)/", "$1$2", "1",
       "rule 2: /(kot)/: To holds \"$2\", but the pattern has 1 group: it puts in nothing\n"},
      {"[x", "y", "2", ""},
  };
  TempDir dir;
  const std::string store = dir.file("store.json");
  // A sound rule first, so that findings must name the rule they are about.
  const std::string soundRule = "{\"Rewordix/From\": \"ok\\r\\n\", \"Rewordix/To\": \"x\\r\\n\"}";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from.substr(0, 20) + " -> " + c.to + " type " + c.type);
    writeFile(store, "{\"Rewordix/From\": \"ok\\r\\n" + jsonText(c.from) +
                         "\\r\\n\", \"Rewordix/To\": \"x\\r\\n" + jsonText(c.to) +
                         "\\r\\n\", \"Rewordix/Type\": \"0\\r\\n" + c.type + "\\r\\n\"}");
    const ProcessResult checked = host({"--store", store, "check"});
    EXPECT_EQ(checked.status, c.findings.empty() ? 0 : 1) << checked.err;
    EXPECT_EQ(checked.out, c.findings.empty() ? "2 rules: no faults, no warnings\n" : c.findings);

    if (c.type[0] == '2' || c.from.size() > 100000) continue;  // no add, or beyond an argument
    writeFile(store, soundRule);
    const ProcessResult add =
        host({"--store", store, "rules", "add", c.from, c.to, c.type[0] == '0' ? "word" : "perl"});
    EXPECT_EQ(add.status, 0) << add.err;
    EXPECT_EQ(add.out, "added rule 2\n");
    std::string warnings;
    for (size_t at = 0; at < c.findings.size(); at = c.findings.find('\n', at) + 1) {
      warnings +=
          "quillmax-host: warning: " + c.findings.substr(at, c.findings.find('\n', at) + 1 - at);
    }
    EXPECT_EQ(add.err, warnings);
  }
  const ProcessResult defaults = host({"check"});
  EXPECT_EQ(defaults.status, 0);
  EXPECT_EQ(defaults.out, "16 rules: no faults, no warnings\n");
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

// --- arguments ----------------------------------------------------------------

TEST(QuillmaxHost, usage_errors_exit_2_with_one_line) {
  TempDir dir;
  const std::string windowsDll = dir.file("Quillmax.dll");
  writeFile(windowsDll, "MZ\x90");
  const std::string missingDirectory = dir.file("nowhere/store.json");
  struct Case {
    std::vector<std::string> args;
    std::string mentions;
    std::string input = "";
  };
  const Case cases[] = {
      {{}, "no command"},
      {{"frobnicate"}, "unknown command"},
      {{"--store"}, "needs a value"},
      {{"--bogus", "correct"}, "unknown option --bogus"},
      {{"correct", "--rule", "a", "b"}, "FROM, TO and TYPE"},
      {{"correct", "--rule", "a", "b", "Perl", "a"}, "word or perl, not 'Perl'"},
      {{"correct", "--rule", "a", "b", "7", "a"}, "word or perl, not '7'"},
      {{"correct", "--bogus"}, "unknown option --bogus"},
      {{"correct", "--raw", "x"}, "--raw goes before the command"},
      {{"correct"}, "line 2 of standard input holds a NUL byte", std::string("ok\nabc\0def\n", 11)},
      {{"rules"}, "rules: say list, add, delete, edit"},
      {{"rules", "add", "only-from"}, "rules add FROM TO"},
      {{"rules", "add", "a", "b", "regex"}, "not 'regex'"},
      // CR LF ends a rule in the stored column: the rule would be stored changed.
      {{"rules", "add", "a\r\nb", "X"}, "the rule's FROM \"a\\r\\nb\" holds CR LF"},
      {{"correct", "--rule", "a", "b\r\r\n", "word", "a"},
       "--rule 1 TO \"b\\r\\r\\n\" holds CR LF"},
      {{"rules", "list", "extra"}, "no arguments"},
      {{"set", "incoming", "maybe"}, "on or off"},
      {{"set", "colour", "on"}, "colour"},
      {{"check", "extra"}, "no arguments"},
      // Quoted texts and paths stay on the line, control characters escaped.
      {{"set", "colour\x1b[31m\n", "on"}, "unknown option 'colour\\x1B[31m\\n'"},
      {{"--plugin", "/nonexistent/a\r\nb.so", "correct", "x"}, "/nonexistent/a\\r\\nb.so"},
      // Why, and what to do.
      {{"--plugin", "/nope.so", "correct", "x"}, "cannot open /nope.so: No such file or directory"},
      {{"--dll", "/nope.dll", "correct", "x"}, "quillmax-host: cannot open /nope.dll: No such"},
      {{"--plugin", windowsDll, "correct", "x"}, windowsDll + ": this is a Windows DLL: use --dll"},
      {{"--dll", QUILLMAX_HOST_PATH, "correct", "x"}, "not a Windows DLL: use --plugin"},
      {{"--plugin", "a.so", "--dll", "b.dll", "correct", "x"}, "give one, --plugin for"},
      {{"--store", missingDirectory, "rules", "add", "a", "b"},
       "there is no directory " + dir.file("nowhere") + " to hold the store"},
  };
  for (const Case& c : cases) {
    const ProcessResult result = host(c.args, c.input);
    EXPECT_EQ(result.status, 2) << c.mentions;
    expectOneErrorLine(result, c.mentions);
    EXPECT_EQ(result.err.back(), '\n') << result.err;
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"Quillmax.dll"});
  }
}

// As getopt reads them: a message or a rule may start with '-'.
TEST(QuillmaxHost, options_end_at_the_first_operand_or_double_dash) {
  TempDir dir;
  const std::string store = dir.file("store.json");
  const CorrectCase cases[] = {
      {{"correct", "--", "-h"}, "", "-h\n"},
      {{"correct", "kot", "--trace", "-h"}, "", "kot\n--trace\n-h\n"},
      {{"--store", store, "rules", "add", "-h", "hyphen"}, "", "added rule 1\n"},
      {{"--store", store, "correct", "a -h"}, "", "a hyphen\n"},
  };
  for (const CorrectCase& c : cases) {
    const ProcessResult result = host(c.args, c.input);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, c.expected);
  }
}

// The plug-in's version is what the loaded plug-in answers, not a text of
// the tool's.
TEST(QuillmaxHost, version_names_the_tool_and_the_loaded_plugin) {
  for (const auto& [plugin, expected] :
       {std::pair<std::string, std::string>{"", "plug-in: Quillmax 0.0.5beta ("},
        {kNoResultPlugin, "plug-in: NoResult 0.1-test (" + std::string(kNoResultPlugin)}}) {
    std::vector<std::string> args = {"--version"};
    if (!plugin.empty()) args = {"--plugin", plugin, "--version"};
    const ProcessResult result = host(args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.rfind("quillmax-host ", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("\n" + expected), std::string::npos) << result.out;
  }
}

// Every command and subcommand has help, asked either way, whose usage
// line names it; the program's lists them all.
TEST(QuillmaxHost, help_is_offered_for_the_program_and_each_command) {
  const std::vector<std::string> commands = {
      "correct",      "rules list",   "rules add", "rules delete", "rules edit", "rules move",
      "rules export", "rules import", "check",     "page",         "set"};
  const ProcessResult program = host({"--help"});
  EXPECT_EQ(program.status, 0);
  EXPECT_EQ(host({"help"}).out, program.out);
  EXPECT_EQ(host({"--help", "correct", "x"}).out, program.out);
  for (const std::string& command : commands) {
    EXPECT_NE(program.out.find("\n  " + command), std::string::npos) << command;
    std::vector<std::string> words;
    for (size_t at = 0; at < command.size();) {
      const size_t end = std::min(command.find(' ', at), command.size());
      words.push_back(command.substr(at, end - at));
      at = end + 1;
    }
    std::vector<std::string> asked = {"help"};
    asked.insert(asked.end(), words.begin(), words.end());
    std::vector<std::string> option = words;
    option.push_back("--help");
    const ProcessResult helped = host(asked);
    EXPECT_EQ(helped.status, 0) << command;
    EXPECT_EQ(helped.out.rfind("usage: quillmax-host [OPTIONS] " + command, 0), 0u) << helped.out;
    EXPECT_EQ(host(option).out, helped.out) << command;
  }
  EXPECT_NE(host({"rules", "--help"}).out.find("rules import [--format"), std::string::npos);
}

// --- exit statuses ------------------------------------------------------------

// A message that goes out uncorrected, a rule the plug-in never stored, or a
// result that never reaches the reader, is never reported as success; and a
// command that failed leaves the store as it was.
TEST(QuillmaxHost, plugin_failures_and_lost_output_are_errors) {
  TempDir dir;
  const std::string store = dir.file("store.json");
  writeFile(store, R"({"Rewordix/From": "kot\r\n", "Rewordix/To": "pies\r\n"})");
  struct stat before {};
  stat(store.c_str(), &before);
  struct Case {
    std::vector<std::string> args;
    Output output;
    int status;
    const char* out;
    const char* mentions;  // null: nothing on standard error
  };
  const Case cases[] = {
      {{"--plugin", kNoResultPlugin, "correct", "a", "b"},
       Output::kPipe,
       1,
       "",
       "message 1: the plug-in gave no result, so it would go out uncorrected; the plug-in's "
       "last log line: \"out of memory\""},
      {{"--plugin", kNoResultPlugin, "correct", "--incoming", "a"},
       Output::kPipe,
       0,
       "a\n",
       nullptr},
      {{"--plugin", kNoResultPlugin, "--store", store, "rules", "add", "a", "b"},
       Output::kPipe,
       1,
       "",
       "the plug-in did not write its rules back (as when it could not load them), so the "
       "change is not saved"},
      {{"--plugin", kNoResultPlugin, "correct", "bad_alloc"},
       Output::kPipe,
       2,
       "",
       "quillmax-host: out of memory while correcting message 1\n"},
      {{"correct", "moze"}, Output::kFull, 2, "", "cannot write standard output"},
      {{"rules", "list"}, Output::kFull, 2, "", "cannot write standard output"},
      {{"correct", "moze"}, Output::kClosed, 2, "", "standard output is closed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[c.args.size() - 2] + " " + c.args.back());
    const ProcessResult result = hostWithOutput(c.args, c.output);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_EQ(result.out, c.out);
    if (c.mentions) {
      expectOneErrorLine(result, c.mentions);
    } else {
      EXPECT_EQ(result.err, "");
    }
  }
  struct stat after {};
  stat(store.c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the store was written again";
}

// A reader waiting for each result (a co-process) gets it before it sends
// the next message.
TEST(QuillmaxHost, each_result_is_printed_before_the_next_message_is_read) {
  // Close-on-exec: a write end left open in the host would keep its input
  // from ever ending.
  int toHost[2], fromHost[2];
  ASSERT_EQ(pipe2(toHost, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(fromHost, O_CLOEXEC), 0);
  const pid_t child = startHost({"correct"}, toHost[0], fromHost[1], 2);
  close(toHost[0]);
  close(fromHost[1]);
  ASSERT_EQ(write(toHost[1], "moze\n", 5), 5);
  std::string out(16, '\0');
  pollfd ready{fromHost[0], POLLIN, 0};
  // A hang guard only, generous enough for valgrind.
  const ssize_t got = poll(&ready, 1, 120000) == 1 ? read(fromHost[0], &out[0], out.size()) : 0;
  EXPECT_EQ(out.substr(0, static_cast<size_t>(std::max<ssize_t>(got, 0))), "może\n");
  close(toHost[1]);
  close(fromHost[0]);
  EXPECT_EQ(exitStatus(child), 0);
}

}  // namespace
