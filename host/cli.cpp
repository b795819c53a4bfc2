#include "host/cli.h"

#include <algorithm>
#include <istream>
#include <new>
#include <ostream>

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

const char kUsage[] =
    "usage: quillmax-host [--store FILE] [--plugin PATH | --dll PATH] [--log] [--raw] COMMAND\n"
    "                     ...\n"
    "\n"
    "Runs the Quillmax plug-in the way the messenger does.\n"
    "\n"
    "commands:\n"
    "  correct [--incoming] [--null] [--trace] [--rule FROM TO TYPE]... [MESSAGE...]\n"
    "                    correct messages (the arguments, or each line of standard input)\n"
    "  rules list | rules add FROM TO [word|perl] | rules delete N... | rules edit N\n"
    "                    the rule list, through the plug-in's own editor\n"
    "  check             list the rules whose patterns never compile\n"
    "  page              show the settings page as the plug-in declares it\n"
    "  set incoming on|off | set case-sensitive on|off\n"
    "                    change an option\n"
    "\n"
    "options:\n"
    "  --store FILE      the configuration store (JSON). A missing one is empty, and a\n"
    "                    command that changes it creates it. Without it a built-in store\n"
    "                    of Polish rules is used and nothing is saved.\n"
    "  --plugin PATH     the plug-in to load (default: Quillmax.so beside this program)\n"
    "  --dll PATH        run the Windows DLL itself (Quillmax.dll) under CPU emulation\n"
    "  --log             show the plug-in's log lines on standard error\n"
    "  --raw             pass message bytes unchanged (Windows-1250), without UTF-8\n"
    "                    conversion\n"
    "\n"
    "Options go before the command; 'quillmax-host COMMAND --help' tells more of each.\n"
    "Exit status: 0 success; 1 an action refused, a check failed, or the plug-in failed\n"
    "(a message left uncorrected, a fault); 2 a usage error, unreadable input or store,\n"
    "a store or output that could not be written, or memory that ran out; 3 (--dll) a\n"
    "limit of the emulator running the DLL, not a fault of the DLL.\n";

GlobalOptions parseGlobalOptions(const std::vector<std::string>& args, size_t& next,
                                 const std::string& defaultPlugin, bool& help) {
  GlobalOptions options;
  options.pluginPath = defaultPlugin;
  while (next < args.size()) {
    const std::string& arg = args[next];
    if (arg == "--") {
      ++next;
      break;
    }
    if (arg == "--help" || arg == "-h") {
      help = true;
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
      next += 2;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option " + arg);
    } else {
      break;
    }
  }
  return options;
}

int runCommand(CommandContext& context, const std::string& command, const Arguments& args) {
  if (command == "correct") return runCorrect(context, args);
  if (command == "rules") return runRules(context, args);
  if (command == "check") return runCheck(context, args);
  if (command == "page") return runPage(context, args);
  if (command == "set") return runSet(context, args);
  if (command == "help") {
    context.out << kUsage;
    return kExitOk;
  }
  throw UsageError("unknown command '" + command + "'; see 'quillmax-host --help'");
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
    size_t next = 0;
    bool help = false;
    const GlobalOptions options = parseGlobalOptions(args, next, defaultPlugin, help);
    if (next >= args.size() && !help) {
      throw UsageError("no command given; see 'quillmax-host --help'");
    }
    const std::string command = help ? "help" : args[next];
    const Arguments rest(args.begin() + static_cast<long>(std::min(next + 1, args.size())),
                         args.end());
    CommandContext context{options, in, out, err, stage};
    const int status = runCommand(context, command, rest);
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
