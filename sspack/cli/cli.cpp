// Argument parsing. Options take their value as the next argument or after '='; "--" ends the
// options, so files whose names begin with '-' can be packed.
#include "sspack/cli/cli.h"

#include "sspack/cli/commands.h"
#include "sspack/cli/shipped.h"
#include "sspack/tool_error.h"

const char SspackVersion[] = "1.0";

namespace {

const char Usage[] =
    "usage: sspack build --title TITLE --out OUT [--stub STUB | --quiet-installer] [--uninstaller FILE]\n"
    "                    [--licence FILE] [--compress[=fast|best]] [--no-integrity]\n"
    "                    SAVER DATA [UNINSTAL.EXE] [FILE...]\n"
    "       sspack list INSTALLER\n"
    "       sspack extract INSTALLER DIR\n"
    "       sspack verify INSTALLER\n"
    "       sspack --help | --version\n";

const char Help[] =
    "\n"
    "build    writes an installer: the stub with the payload block at its LASTRES resource and the\n"
    "         files behind it, in the order screen saver, data file, uninstaller, further files.\n"
    "         SAVER must be a Windows GUI program: the installer makes it the screen saver and\n"
    "         starts it. The uninstaller is the third file when that file is named UNINSTAL.EXE\n"
    "         (in any case); otherwise the UNINSTAL.EXE shipped with sspack goes in as entry 2 and\n"
    "         the third and later files are further files. The summary names every entry's role.\n"
    "         TITLE is UTF-8, or Windows-1252 bytes when it is not UTF-8; every path the installer\n"
    "         writes must fit 259 characters with C:\\WINDOWS and C:\\ProgramData, so a title has\n"
    "         at most 107 characters. OUT may be none of the inputs; it is replaced only once the\n"
    "         new installer is whole and passes the installer's own pre-check.\n"
    "         --stub STUB       the installer program to pack (default: the installer.exe\n"
    "                           shipped with sspack)\n"
    "         --quiet-installer pack the shipped installer-quiet.exe instead: no information\n"
    "                           message, progress, finished message or start; the backdrop, the\n"
    "                           licence and the Flash Player questions remain\n"
    "         --uninstaller FILE  the uninstaller to pack instead of the shipped one\n"
    "         --licence FILE    licence text to accept before installing. The installer shows it\n"
    "                           in Windows-1252: UTF-8 (with or without its byte-order mark) and\n"
    "                           UTF-16 with a byte-order mark are converted, other text is taken\n"
    "                           as Windows-1252; a character Windows-1252 cannot write is refused;\n"
    "                           LF become CR LF\n"
    "         --compress[=fast|best]  compress the entries that shrink (default best)\n"
    "         --no-integrity    leave out the CRC-32 integrity record\n"
    "         The shipped files are looked for beside sspack, then in ../share/sspack.\n"
    "list     prints the title, which shipped installer it is, the licence length and every entry\n"
    "         with its destination (\"stored\" for an entry kept as it is)\n"
    "extract  checks the integrity record, then writes every entry into DIR under the name the\n"
    "         installer gives it, and the licence as LICENCE.TXT (Windows-1252, as stored)\n"
    "verify   checks an installer the way the installer's pre-check does, and more; its verdict is\n"
    "         sound, DAMAGED, or WILL NOT INSTALL with the reason\n"
    "\n"
    "exit codes: 0 done, 1 bad input or damaged installer, 2 usage error\n";

ToolError UsageError(const std::string &message)
{
    return ToolError(message + "\n" + Usage, ExitUsage);
}

BuildOptions ParseBuild(const std::vector<std::string> &args, const std::string &programPath)
{
    BuildOptions options;
    options.shippedFolders = ShippedFolders(programPath);
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
            if (options.stub.empty()) throw UsageError("--stub needs a file name");
            stubSeen = true;
        } else if (name == "--quiet-installer" && !hasValue) {
            options.quietInstaller = true;
        } else if (name == "--quiet") {
            throw UsageError("--quiet is no option: --quiet-installer packs the shipped quiet installer");
        } else if (name == "--uninstaller") {
            options.uninstaller = take();
            if (options.uninstaller.empty()) throw UsageError("--uninstaller needs a file name");
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
            if (!hasValue || value == "best") options.compression = CompressMode::Best;
            else if (value == "fast") options.compression = CompressMode::Fast;
            else throw UsageError("--compress takes fast or best");
        } else if (name == "--no-integrity" && !hasValue) {
            options.integrityRecord = false;
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
    if (stubSeen && options.quietInstaller)
        throw UsageError("--quiet-installer picks a shipped stub; it does not go with --stub");
    if (!titleSeen) throw UsageError("build needs --title");
    if (!outSeen || options.out.empty()) throw UsageError("build needs --out");
    // Every installer can be removed: it carries the uninstaller behind the screen saver and its data.
    if (options.files.size() < 2) throw UsageError("build needs the screen saver and its data file");
    bool thirdIsUninstaller = options.files.size() >= 3 && NamedAsUninstaller(options.files[2]);
    if (!options.uninstaller.empty() && thirdIsUninstaller)
        throw UsageError("--uninstaller and a third file named UNINSTAL.EXE: give the uninstaller once");
    return options;
}

void ExpectArguments(const std::vector<std::string> &args, size_t count)
{
    if (args.size() != count + 1) throw UsageError(args[0] + " takes " + std::to_string(count) + " argument(s)");
}

}  // namespace

int RunSspack(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, bool errTerminal,
              const std::string &programPath)
{
    try {
        if (args.empty()) throw UsageError("no command");
        const std::string &command = args[0];
        if (command == "--help" || command == "-h") {
            out << Usage << Help;
        } else if (command == "--version") {
            out << "sspack " << SspackVersion << "\n";
        } else if (command == "build") {
            RunBuild(ParseBuild(args, programPath), out, err, errTerminal);
        } else if (command == "list") {
            ExpectArguments(args, 1);
            if (!RunList(args[1], out, ShippedFolders(programPath))) return ExitBadInput;
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
