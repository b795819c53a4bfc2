#include "host/cli.h"

#include <istream>
#include <ostream>

#include "host/cli_commands.h"
#include "host/cli_session.h"
#include "host/native_plugin.h"
#if defined(QUILLMAX_HAVE_PE)
#include "host/pe/emulator.h"
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
    "  --store FILE      the configuration store (JSON; created when missing). Without it\n"
    "                    a built-in store of Polish rules is used and nothing is saved.\n"
    "  --plugin PATH     the plug-in to load (default: Quillmax.so beside this program)\n"
    "  --dll PATH        run the Windows DLL itself (Quillmax.dll) under CPU emulation\n"
    "  --log             show the plug-in's log lines on standard error\n"
    "  --raw             pass message bytes unchanged (Windows-1250), without UTF-8\n"
    "                    conversion\n"
    "\n"
    "'quillmax-host COMMAND --help' tells more of each command.\n"
    "Exit status: 0 success, 1 an action refused or a check failed, 2 a usage error or\n"
    "unreadable input.\n";

GlobalOptions parseGlobalOptions(const std::vector<std::string>& args, size_t& next,
                                 const std::string& defaultPlugin, bool& help) {
  GlobalOptions options;
  options.pluginPath = defaultPlugin;
  while (next < args.size()) {
    const std::string& arg = args[next];
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

}  // namespace

int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, const std::string& defaultPlugin) {
  try {
    size_t next = 0;
    bool help = false;
    const GlobalOptions options = parseGlobalOptions(args, next, defaultPlugin, help);
    if (next >= args.size()) {
      if (help) {
        out << kUsage;
        return kExitOk;
      }
      throw UsageError("no command given; see 'quillmax-host --help'");
    }
    const std::string command = args[next];
    const std::vector<std::string> rest(args.begin() + static_cast<long>(next) + 1, args.end());
    CommandContext context{options, in, out, err};
    if (command == "correct") return runCorrect(context, rest);
    if (command == "rules") return runRules(context, rest);
    if (command == "check") return runCheck(context, rest);
    if (command == "page") return runPage(context, rest);
    if (command == "set") return runSet(context, rest);
    if (command == "help") {
      out << kUsage;
      return kExitOk;
    }
    throw UsageError("unknown command '" + command + "'; see 'quillmax-host --help'");
  } catch (const UsageError& error) {
    err << "quillmax-host: " << error.what() << "\n";
    return kExitUsage;
  } catch (const StoreError& error) {
    err << "quillmax-host: " << error.what() << "\n";
    return kExitUsage;
  } catch (const PluginLoadError& error) {
    err << "quillmax-host: " << error.what() << "\n";
    return kExitUsage;
#if defined(QUILLMAX_HAVE_PE)
  } catch (const qmxpe::EmulationError& error) {
    err << "quillmax-host: the DLL faulted: " << error.what() << "\n";
    return kExitRefused;
#endif
  } catch (const ProtocolError& error) {
    err << "quillmax-host: the plug-in misbehaved: " << error.what() << "\n";
    return kExitRefused;
  } catch (const std::exception& error) {
    err << "quillmax-host: " << error.what() << "\n";
    return kExitUsage;
  }
}

}  // namespace qmxhost
