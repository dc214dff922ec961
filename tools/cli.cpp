// Argument parsing. Options take their value as the next argument or after '='; "--" ends the
// options, so files whose names begin with '-' can be packed.
#include "tools/cli.h"

#include "tools/commands.h"
#include "tools/tool_error.h"

const char SspackVersion[] = "1.0";

namespace {

const char Usage[] =
    "usage: sspack build --stub STUB --title TITLE [--licence FILE] [--compress[=fast|best]]\n"
    "                    [--no-integrity] --out OUT FILE...\n"
    "       sspack list INSTALLER\n"
    "       sspack extract INSTALLER DIR\n"
    "       sspack verify INSTALLER\n"
    "       sspack --help | --version\n";

const char Help[] =
    "\n"
    "build    writes an installer: the stub with the payload block at its LASTRES resource and the\n"
    "         files behind it, in the order screen saver, data file, uninstaller, further files.\n"
    "         TITLE is UTF-8, or Windows-1252 bytes when it is not UTF-8.\n"
    "         --licence FILE    licence text to accept before installing (LF become CR LF)\n"
    "         --compress[=fast|best]  compress the entries that shrink (default best)\n"
    "         --no-integrity    leave out the CRC-32 integrity record\n"
    "list     prints the title, the licence length and every entry with its destination\n"
    "extract  writes every entry into DIR under the name the installer gives it\n"
    "verify   checks an installer the way the installer's pre-check does, and more\n"
    "\n"
    "exit codes: 0 done, 1 bad input or damaged installer, 2 usage error\n";

ToolError UsageError(const std::string &message)
{
    return ToolError(message + "\n" + Usage, ExitUsage);
}

BuildOptions ParseBuild(const std::vector<std::string> &args)
{
    BuildOptions options;
    bool stubSeen = false, titleSeen = false, outSeen = false, optionsEnded = false;
    for (size_t i = 1; i < args.size(); i++) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg, value;
        bool hasValue = false;
        size_t eq = arg.find('=');
        if (eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        auto take = [&]() {
            if (hasValue) return value;
            if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
            return args[++i];
        };
        if (name == "--stub") {
            options.stub = take();
            stubSeen = true;
        } else if (name == "--title") {
            options.title = take();
            titleSeen = true;
        } else if (name == "--licence" || name == "--license") {
            options.licence = take();
            if (options.licence.empty()) throw UsageError("--licence needs a file name");
        } else if (name == "--out") {
            options.out = take();
            outSeen = true;
        } else if (name == "--compress") {
            if (!hasValue || value == "best") options.compression = Compression::Best;
            else if (value == "fast") options.compression = Compression::Fast;
            else throw UsageError("--compress takes fast or best");
        } else if (name == "--no-integrity" && !hasValue) {
            options.integrityRecord = false;
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
    if (!stubSeen) throw UsageError("build needs --stub");
    if (!titleSeen) throw UsageError("build needs --title");
    if (!outSeen || options.out.empty()) throw UsageError("build needs --out");
    if (options.files.empty()) throw UsageError("build needs at least one file");
    return options;
}

void ExpectArguments(const std::vector<std::string> &args, size_t count)
{
    if (args.size() != count + 1) throw UsageError(args[0] + " takes " + std::to_string(count) + " argument(s)");
}

}  // namespace

int RunSspack(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, bool errTerminal)
{
    try {
        if (args.empty()) throw UsageError("no command");
        const std::string &command = args[0];
        if (command == "--help" || command == "-h") {
            out << Usage << Help;
        } else if (command == "--version") {
            out << "sspack " << SspackVersion << "\n";
        } else if (command == "build") {
            RunBuild(ParseBuild(args), out, err, errTerminal);
        } else if (command == "list") {
            ExpectArguments(args, 1);
            RunList(args[1], out);
        } else if (command == "extract") {
            ExpectArguments(args, 2);
            RunExtract(args[1], args[2], out);
        } else if (command == "verify") {
            ExpectArguments(args, 1);
            if (!RunVerify(args[1], out)) return ExitBadInput;
        } else {
            throw UsageError("unknown command " + command);
        }
        return ExitOk;
    } catch (const ToolError &e) {
        err << "sspack: " << e.what() << (e.exitCode() == ExitUsage ? "" : "\n");
        return e.exitCode();
    } catch (const std::bad_alloc &) {
        err << "sspack: out of memory\n";
        return ExitBadInput;
    }
}
