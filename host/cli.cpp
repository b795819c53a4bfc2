#include "host/cli.h"

#include <algorithm>
#include <cstdlib>
#include <istream>
#include <new>
#include <ostream>

#include "host/cli_command_table.h"
#include "host/cli_commands.h"
#include "host/cli_session.h"
#include "host/escape_controls.h"
#include "host/native_plugin.h"
#if defined(QUILLMAX_HAVE_PE)
#include "emulator/emulation_error.h"
#endif
#include "host/text_codec.h"

namespace qmxhost {
namespace {

// The program's own options, before the command.
struct ProgramLine {
  GlobalOptions options;
  bool help = false;
  bool version = false;
  size_t command = 0;  // the index of the command's name
};

ProgramLine readProgramLine(const std::vector<std::string>& args,
                            const std::string& defaultPlugin) {
  ProgramLine line;
  GlobalOptions& options = line.options;
  options.pluginPath = defaultPlugin;
  bool pluginGiven = false;
  size_t& next = line.command;
  while (next < args.size()) {
    const std::string& arg = args[next];
    if (arg == "--") {
      ++next;
      break;
    }
    if (arg == "--help" || arg == "-h") {
      line.help = true;
      ++next;
    } else if (arg == "--version") {
      line.version = true;
      ++next;
    } else if (arg == "--log") {
      options.log = true;
      ++next;
    } else if (arg == "--raw") {
      options.raw = true;
      ++next;
    } else if (arg == "--store" || arg == "--plugin" || arg == "--dll") {
      if (next + 1 >= args.size()) throw UsageError(arg + " needs a value");
      const std::string& value = args[next + 1];
      if (arg == "--store") options.storePath = value;
      if (arg == "--plugin") options.pluginPath = value;
      if (arg == "--dll") options.dllPath = value;
      pluginGiven = pluginGiven || arg == "--plugin";
      next += 2;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option " + arg + "; see 'quillmax-host --help'");
    } else {
      break;
    }
  }
  if (pluginGiven && options.dllPath) {
    throw UsageError(
        "--plugin and --dll each name the plug-in to run: give one, --plugin for "
        "Quillmax.so or --dll for Quillmax.dll");
  }
  const char* environmentStore = std::getenv("QUILLMAX_STORE");
  if (!options.storePath && environmentStore && environmentStore[0] != '\0') {
    options.storePath = environmentStore;
    options.storeFromEnvironment = true;
  }
  return line;
}

// This program's version, then the plug-in's, as the plug-in tells it.
int runVersion(const GlobalOptions& options, std::ostream& out) {
  out << "quillmax-host " << QUILLMAX_HOST_VERSION << '\n';
  out.flush();
  out << "plug-in: " << displayText(pluginIdentity(options)) << " ("
      << (options.dllPath ? *options.dllPath : options.pluginPath) << ")\n";
  return kExitOk;
}

// "rules add" for "rules" "add" ...; `rest` is left with the command's own
// arguments. Throws UsageError for a name that is no command.
const CommandEntry& commandNamed(const std::string& name, Arguments& rest) {
  if (isCommandGroup(name)) {
    if (rest.empty() || rest[0].empty()) {
      throw UsageError(name + ": say " + subcommandNames(name) + "; see 'quillmax-host help " +
                       name + "'");
    }
    const std::string sub = rest[0];
    const CommandEntry* entry = findCommand(name + " " + sub);
    if (!entry) {
      throw UsageError((sub[0] == '-' ? name + ": unknown option " + sub
                                      : "unknown " + name + " command '" + sub + "'") +
                       "; say " + subcommandNames(name));
    }
    rest.erase(rest.begin());
    return *entry;
  }
  const CommandEntry* entry = findCommand(name);
  if (!entry) throw UsageError("unknown command '" + name + "'; see 'quillmax-host --help'");
  return *entry;
}

// help, help COMMAND, help rules add.
int runHelp(std::ostream& out, const Arguments& topic) {
  if (topic.empty()) {
    out << programHelp();
    return kExitOk;
  }
  std::string name = topic[0];
  for (size_t i = 1; i < topic.size(); ++i) name += " " + topic[i];
  if (const CommandEntry* entry = findCommand(name)) {
    out << commandHelp(*entry);
  } else if (isCommandGroup(name)) {
    out << groupHelp(name);
  } else {
    throw UsageError("no command '" + name + "'; see 'quillmax-host --help'");
  }
  return kExitOk;
}

void requireOperandCount(const CommandEntry& entry, const CommandLine& line) {
  const size_t count = line.operands.size();
  if (count >= entry.minOperands && count <= entry.maxOperands) return;
  if (entry.maxOperands == 0) throw UsageError(std::string(entry.name) + " takes no arguments");
  throw UsageError(std::string("usage: quillmax-host ") + entry.name + " " + entry.synopsis);
}

int runCommand(const GlobalOptions& options, const std::string& name, Arguments rest,
               std::istream& in, std::ostream& out, std::ostream& err, std::string& stage) {
  if (name == "help") return runHelp(out, rest);
  // "rules --help", as "help rules".
  if (isCommandGroup(name) && !rest.empty() && isHelpOption(rest[0])) return runHelp(out, {name});
  const CommandEntry& entry = commandNamed(name, rest);
  const CommandLine line = readCommandLine(rest, entry.name, entry.style, entry.options);
  if (line.help) {
    out << commandHelp(entry);
    return kExitOk;
  }
  requireOperandCount(entry, line);
  CommandContext context(options, entry.store, in, out, err, stage);
  return entry.run(context, line);
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, const std::string& defaultPlugin) {
  // What was delivered before a failure goes out before the error, so that
  // the two read in order on a terminal. An error is one line, whatever
  // path or text it quotes.
  const auto fail = [&out, &err](const std::string& message, int status) {
    out.flush();
    err << "quillmax-host: " << escapeControls(message) << "\n";
    return status;
  };
  std::string stage = "reading the command line";
  try {
    const ProgramLine line = readProgramLine(args, defaultPlugin);
    const size_t next = line.command;
    const GlobalOptions& options = line.options;
    int status = kExitOk;
    if (line.help) {
      out << programHelp();
    } else if (line.version) {
      stage = "loading the plug-in";
      status = runVersion(options, out);
    } else if (next >= args.size()) {
      throw UsageError("no command given; see 'quillmax-host --help'");
    } else {
      const Arguments rest(args.begin() + static_cast<long>(next + 1), args.end());
      status = runCommand(options, args[next], rest, in, out, err, stage);
    }
    out.flush();
    requireWritten(out);
    return status;
  } catch (const std::bad_alloc&) {
    return fail("out of memory while " + stage, kExitUsage);
  } catch (const OutputError& error) {
    return fail(error.what(), kExitUsage);
  } catch (const PluginFailure& error) {
    return fail(error.what(), kExitRefused);
  } catch (const UsageError& error) {
    return fail(error.what(), kExitUsage);
  } catch (const StoreError& error) {
    return fail(error.what(), kExitUsage);
  } catch (const PluginLoadError& error) {
    return fail(error.what(), kExitUsage);
#if defined(QUILLMAX_HAVE_PE)
  } catch (const HostLimitReached& error) {
    return fail(error.what(), kExitHostLimit);
  } catch (const qmxpe::EmulationError& error) {
    return fail(std::string("the DLL faulted: ") + error.what(), kExitRefused);
#endif
  } catch (const ProtocolError& error) {
    return fail(std::string("the plug-in misbehaved: ") + error.what(), kExitRefused);
  } catch (const std::exception& error) {
    return fail(error.what(), kExitUsage);
  }
}

}  // namespace qmxhost
