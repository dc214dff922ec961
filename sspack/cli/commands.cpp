// build, list, extract and verify. Reports go to the given streams so the tests read them whole.
#include "sspack/cli/commands.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "lzh/decoder.h"
#include "payload/check_payload.h"
#include "sspack/pack/build_installer.h"
#include "sspack/pack/licence_text.h"
#include "sspack/format/entry_data.h"
#include "sspack/format/program_kind.h"
#include "sspack/format/names.h"
#include "sspack/cli/printf_dialect.h"
#include "sspack/cli/shipped.h"
#include "sspack/files.h"
#include "sspack/read/installer_kind.h"
#include "sspack/read/installer_reader.h"
#include "sspack/format/layout_rule.h"
#include "sspack/format/pe_image.h"
#include "sspack/tool_error.h"

namespace fs = std::filesystem;

namespace {

const uint64_t ProgressThreshold = 16u << 20;  // files from this size on show a progress line

std::string Format(const char *format, ...) __attribute__((format(TOOL_PRINTF, 1, 2)));
std::string Format(const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// A file the installer is to carry: it must exist, be a regular file, hold bytes and stay below
// 2 GiB. Checked for every file before the build starts; the build reads it later, in chunks.
void CheckInputPath(const std::string &path)
{
    std::error_code ec;
    fs::file_status status = fs::status(FsPath(path), ec);
    if (ec || !fs::exists(status)) throw ToolError(path + ": no such file");
    if (!fs::is_regular_file(status)) throw ToolError(path + ": not a regular file");
    uint64_t size = fs::file_size(FsPath(path), ec);
    if (ec) throw ToolError(path + ": cannot read its size");
    if (size == 0) throw ToolError(path + ": the file is empty");
    if (size > MaxInstallerBytes) throw ToolError(path + ": the file is larger than 2 GiB, the installer cannot carry it");
}

// "reading <path>: N%" for large files: on a terminal one line redrawn as the percentage grows;
// elsewhere (a log file, a pipe) only the finished line, so the log is not filled with pieces.
class ReadingProgress {
public:
    ReadingProgress(std::ostream &err, bool terminal) : err_(err), terminal_(terminal) {}
    void operator()(const InputFile &file, uint64_t done, uint64_t size)
    {
        if (size < ProgressThreshold) return;
        if (!terminal_) {
            if (done == size) err_ << "reading " << file.path << ": 100%\n";
            return;
        }
        if (&file != current_) {
            current_ = &file;
            shown_ = -1;
        }
        int percent = (int)(done * 100 / size);
        if (percent != shown_) {
            err_ << "\rreading " << file.path << ": " << percent << "%" << std::flush;
            shown_ = percent;
        }
        if (done == size) err_ << "\n";
    }

private:
    std::ostream &err_;
    bool terminal_;
    const InputFile *current_ = nullptr;
    int shown_ = -1;
};

// UTF-8 from a terminal or from the Windows entry, or Windows-1252 bytes as scripts and old tools
// pass them: a text that is not UTF-8 is taken as Windows-1252 already.
std::string TitleFromCommandLine(const std::string &given)
{
    std::string ansi;
    if (Utf8ToCp1252(given, &ansi)) return ansi;
    if (!LooksLikeUtf8(given)) return given;
    uint32_t cp = 0;
    uint8_t byte;
    for (size_t i = 0; i < given.size(); i += DecodeUtf8(given, i, &cp))
        if (DecodeUtf8(given, i, &cp) && !CodePointToCp1252(cp, &byte)) break;
    throw ToolError("the title holds " + CharacterName(cp) + ", which Windows-1252 cannot write");
}

std::string Shipped(const BuildOptions &options, const char *name, const char *option)
{
    std::string path = FindShipped(options.shippedFolders, name);
    if (path.empty())
        throw ToolError(std::string("no ") + name + " beside sspack: looked in " + ShippedPlaces(options.shippedFolders) +
                        "; name one with " + option);
    return path;
}

// The files in entry order and where the uninstaller came from. The third file is the uninstaller
// only when it is named UNINSTAL.EXE; otherwise --uninstaller or the shipped one goes in as entry 2.
std::vector<std::string> EntryFiles(const BuildOptions &options, std::string *uninstallerOrigin)
{
    std::vector<std::string> files = options.files;
    if (files.size() >= 3 && NamedAsUninstaller(files[2])) {
        *uninstallerOrigin = "the third file, named UNINSTAL.EXE";
    } else if (files.size() >= 2) {
        std::string uninstaller = options.uninstaller;
        *uninstallerOrigin = "given with --uninstaller";
        if (uninstaller.empty()) {
            uninstaller = Shipped(options, ShippedUninstallerName, "--uninstaller FILE, or pass it as the third file named UNINSTAL.EXE");
            *uninstallerOrigin = "shipped with sspack";
        }
        files.insert(files.begin() + 2, uninstaller);
    }
    return files;
}

bool IsProgram(const std::string &path)
{
    std::string field = ExtensionField(path);
    return field.compare(0, 5, ".EXE ") == 0 || field.compare(0, 5, ".COM ") == 0;
}

std::string PreCheckRefusal(PayloadFault fault)
{
    switch (fault) {
    case PayloadUnreachable: return "the payload block cannot be reached";
    case PayloadTableCut: return "the file ends before the table's terminator";
    case PayloadDataOutside: return "an entry's data run past the end of the file";
    case PayloadSizeTooLarge: return "an entry's expanded size is 2 GiB or more";
    case PayloadBadTitle: return "the title cannot name a file or registry key";
    case PayloadBadExtension: return "a further file's extension cannot end a file name";
    case PayloadPathTooLong:
        return std::string("a destination would be over 259 characters with ") + TypicalWindows + " and " +
               TypicalApplicationData;
    case PayloadChecksumWrong: return "the integrity record does not match the file";
    case PayloadCertificateMisplaced: return "the certificate table is not the file's last part behind the payload";
    case PayloadOwnPathTooLong: return "its own path is too long";
    case PayloadNoEntries: return "the table holds no entry";
    case PayloadRecordDamaged: return "the room for the integrity record behind the table holds no record";
    case PayloadSound: break;
    }
    return "";
}

// An input and what it is to the build, for messages.
struct NamedInput {
    std::string role, path;
};

// Nothing named as input is ever written: not through a link, nor under another spelling.
void CheckOutputIsNoInput(const std::string &out, const std::vector<NamedInput> &inputs)
{
    for (const NamedInput &input : inputs)
        if (SameFile(out, input.path))
            throw ToolError(out + ": the same file as " + input.role + " " + input.path +
                            "; sspack writes no file it reads: name another --out");
}

// Every path the installer writes must fit its 259 characters with the default folders, or verify
// and the installer's pre-check would refuse what the build writes.
void CheckPathsFit(const std::string &title, const std::vector<InputFile> &files)
{
    std::vector<std::string> fields;
    for (const InputFile &file : files) fields.push_back(file.extensionField);
    size_t longest = 0;
    std::string tooLong = TooLongOnTypicalSystem(TrimTrailingBlanks(title), fields, &longest);
    if (!tooLong.empty())
        throw ToolError(Format("the title is too long for the installer's paths: with %s and %s, ", TypicalWindows,
                               TypicalApplicationData) +
                        tooLong + Format("; the installer takes at most 259, so the title may have at most %zu", longest));
}

bool SameBytes(const std::string &a, const std::string &b)
{
    std::error_code ec1, ec2;
    if (fs::file_size(FsPath(a), ec1) != fs::file_size(FsPath(b), ec2) || ec1 || ec2) return false;
    return ReadWholeFile(a) == ReadWholeFile(b);
}

// The installer makes entry 0 the screen saver and starts it: it must be a Windows GUI program, and
// not the uninstaller.
void CheckScreenSaver(const std::vector<std::string> &paths, std::ostream &err)
{
    ProgramKind saver = KindOfFile(paths[0]);
    if (!saver.gui) {
        ProgramKind data = KindOfFile(paths[1]);
        if (data.windowsProgram)
            err << "sspack: warning: the data file " << paths[1] << " is " << data.what << " and the screen saver "
                << paths[0] << " is not: the two may be swapped (the screen saver comes first)\n";
        throw ToolError(paths[0] + ": " + saver.what +
                        ", not a Windows GUI program; the installer makes the first file the screen saver and starts it");
    }
    if (NamedAsUninstaller(paths[0]) || SameFile(paths[0], paths[2]) || SameBytes(paths[0], paths[2]))
        throw ToolError(paths[0] + ": the uninstaller, not a screen saver; the screen saver comes first");
}

std::string Ratio(uint64_t stored, uint64_t size)
{
    return size ? Format("%.1f%%", stored * 100.0 / size) : "-";
}

}  // namespace

void RunBuild(const BuildOptions &options, std::ostream &out, std::ostream &err, bool errTerminal)
{
    BuildRequest request;
    request.title = TitleFromCommandLine(options.title);
    std::string problem = TitleProblem(request.title);
    if (!problem.empty()) throw ToolError(problem);
    request.compression = options.compression;
    request.integrityRecord = options.integrityRecord;
    // Every file named is judged before a shipped one is looked for, and all before anything is
    // read or written.
    for (const std::string &path : options.files) {
        ExtensionField(path);
        CheckInputPath(path);
    }
    std::string stub = options.stub;
    if (stub.empty()) stub = Shipped(options, options.quietInstaller ? ShippedQuietStubName : ShippedStubName, "--stub STUB");
    CheckInputPath(stub);
    if (!options.licence.empty()) CheckInputPath(options.licence);
    std::string uninstallerOrigin;
    std::vector<std::string> paths = EntryFiles(options, &uninstallerOrigin);
    std::vector<NamedInput> inputs = {{"the stub", stub}};
    if (!options.licence.empty()) inputs.push_back({"the licence", options.licence});
    for (size_t i = 0; i < paths.size(); i++) {
        InputFile file;
        file.name = paths[i];
        file.extensionField = ExtensionField(paths[i]);
        file.path = paths[i];
        CheckInputPath(paths[i]);
        request.files.push_back(std::move(file));
        inputs.push_back({i < FirstFurtherEntry ? "the " + EntryRole(i) : Format("further file %zu", i), paths[i]});
    }
    CheckOutputIsNoInput(options.out, inputs);
    CheckPathsFit(request.title, request.files);
    CheckScreenSaver(paths, err);
    request.stub = ReadWholeFile(stub);
    request.stubName = stub;
    if (!options.licence.empty()) request.licence = PrepareLicence(ReadWholeFile(options.licence), options.licence);

    bool integrity = request.integrityRecord;
    std::string title = TrimTrailingBlanks(request.title);
    ReadingProgress progress(err, errTerminal);
    // What build writes passes the installer's own pre-check, with the paths measured as verify
    // measures them, or it does not replace the output.
    auto preCheck = [&](const std::string &temporary) {
        FileHandle handle = OpenHandleForReading(temporary);
        if (handle == FileError) throw ToolError("cannot read back " + options.out);
        PayloadFault fault = InspectOpenPayload(handle, OptionalHeaderOfMagic, TypicalWindows, TypicalApplicationData);
        FileClose(handle);
        if (fault != PayloadSound)
            throw ToolError("internal error: the installer's pre-check refuses what was built: " + PreCheckRefusal(fault));
    };
    BuildResult result = BuildInstallerFile(std::move(request), options.out,
                                            [&](const InputFile &file, uint64_t done, uint64_t size) {
                                                progress(file, done, size);
                                            },
                                            preCheck);
    for (size_t i = 3; i < paths.size(); i++)
        if (IsProgram(paths[i]))
            err << "sspack: warning: entry " << i << " (" << EntryRole(i) << ") is the program " << paths[i]
                << "; it is installed, not run as the uninstaller (the third file is the uninstaller only when "
                   "named UNINSTAL.EXE; or use --uninstaller)\n";

    out << "built " << options.out << ": " << result.installerSize << " bytes, block at "
        << Format("0x%X", result.blockOffset) << " (" << result.blockSize << " bytes"
        << (result.blockOutgrewSection ? ", beyond the resource section" : "") << ")"
        << (integrity ? ", integrity record" : "") << "\n";
    out << Format("%-5s %-13s %12s %12s %7s  %s\n", "entry", "role", "size", "stored", "ratio", "destination");
    uint64_t totalSize = 0, totalStored = 0;
    for (size_t i = 0; i < result.entries.size(); i++) {
        const PayloadEntry &e = result.entries[i];
        uint64_t size = InstalledSize(&e);
        totalSize += size;
        totalStored += e.StoredSize;
        out << Format("%-5zu %-13s %12llu %12llu %7s  ", i, EntryRole(i).c_str(), (unsigned long long)size,
                      (unsigned long long)e.StoredSize, Ratio(e.StoredSize, size).c_str())
            << PrintableText(DestinationName(i, title, e.Extension)) << "  <- " << paths[i] << "\n";
    }
    out << Format("%-5s %-13s %12llu %12llu %7s\n", "total", "", (unsigned long long)totalSize,
                  (unsigned long long)totalStored, Ratio(totalStored, totalSize).c_str());
    if (!uninstallerOrigin.empty()) out << "uninstaller: " << paths[2] << " (" << uninstallerOrigin << ")\n";
}

namespace {

// The installer named on the command line, once it is known to be one: anything else gets one line.
std::unique_ptr<InstallerFile> OpenInstaller(const std::string &path)
{
    std::error_code ec;
    fs::file_status status = fs::status(FsPath(path), ec);
    if (ec || !fs::exists(status)) throw ToolError(path + ": no such file");
    if (!fs::is_regular_file(status)) throw ToolError(path + ": not a regular file");
    auto file = std::make_unique<InstallerFile>(path);
    const std::string NotOne = ": not an installer made for this format: ";
    if (file->size() == 0) throw ToolError(path + NotOne + "the file is empty");
    if (FormatOf(*file) != FileFormat::Installer)
        throw ToolError(path + NotOne + "no LASTRES payload block (the file is " + KindOfFile(path).what + ")");
    return file;
}

// Which of the shipped stubs the installer was built from.
std::string InstallerKind(InstallerFile &file, uint32_t blockOffset, const std::vector<std::string> &shippedFolders)
{
    struct Shipped {
        const char *name, *kind;
    };
    const Shipped stubs[] = {{ShippedStubName, "interactive"}, {ShippedQuietStubName, "quiet"}};
    bool found = false;
    for (const Shipped &stub : stubs) {
        std::string path = FindShipped(shippedFolders, stub.name);
        if (path.empty()) continue;
        found = true;
        if (BuiltFromStub(file, blockOffset, ReadWholeFile(path)))
            return std::string(stub.kind) + " (the shipped " + stub.name + ")";
    }
    if (!found) return "not known (no installer.exe or installer-quiet.exe beside sspack to compare with)";
    return "another stub than the installer.exe and installer-quiet.exe shipped with this sspack";
}

}  // namespace

bool RunList(const std::string &installer, std::ostream &out, const std::vector<std::string> &shippedFolders)
{
    std::unique_ptr<InstallerFile> file = OpenInstaller(installer);
    InstallerView view = ReadInstaller(*file);
    std::string title = TrimTrailingBlanks(view.title);
    out << "title: \"" << PrintableText(view.title) << "\"\n";
    out << "installer: " << InstallerKind(*file, view.blockOffset, shippedFolders) << "\n";
    out << "licence: " << view.licence.size() << " bytes\n";
    out << "entries: " << view.entries.size();
    if (view.entryCount != view.entries.size()) out << " (EntryCount says " << view.entryCount << ")";
    out << "\n";
    out << Format("%-5s %-13s %10s %10s %12s %-16s %s\n", "entry", "role", "offset", "stored", "expanded",
                  "extension", "destination");
    for (size_t i = 0; i < view.entries.size(); i++) {
        const PayloadEntry &e = view.entries[i];
        std::string expanded = e.ExpandedSize ? std::to_string(e.ExpandedSize) : "stored";
        out << Format("%-5zu %-13s 0x%08X %10u %12s %-16s ", i, EntryRole(i).c_str(), e.DataOffset, e.StoredSize,
                      expanded.c_str(), PrintableText(ExtensionText(e)).c_str())
            << PrintableText(DestinationName(i, title, e.Extension)) << "\n";
    }
    // A download cut short still has its table; what lies beyond the end cannot be installed.
    bool whole = true;
    for (size_t i = 0; i < view.entries.size(); i++) {
        const PayloadEntry &e = view.entries[i];
        if (RangeInside(e.DataOffset, e.StoredSize, view.fileSize)) continue;
        out << Format("entry %zu: its data (%u bytes at 0x%X) lie beyond the end of the file (%llu bytes)\n", i,
                      e.StoredSize, e.DataOffset, (unsigned long long)view.fileSize);
        whole = false;
    }
    return whole;
}

// Writes one entry's restored bytes to path as they come; a file that could not be completed is
// removed, so what extract leaves behind is always whole.
static uint64_t ExtractEntryTo(InstallerFile &file, const PayloadEntry &entry, const std::string &path,
                               std::string *note)
{
    FILE *f = OpenStream(path, "wb");
    if (!f) throw ToolError("cannot create " + path + ": " + std::strerror(errno));
    uint64_t written = 0;
    bool complete = false;
    try {
        complete = RestoreEntryFrom(file, entry, [&](const uint8_t *bytes, size_t count) {
            written += count;
            return std::fwrite(bytes, 1, count, f) == count;
        }, note);
    } catch (const ToolError &e) {
        std::fclose(f);
        RemoveFile(path);
        throw ToolError(file.path() + ": " + e.what() + "; the partial " + path + " is removed");
    } catch (...) {
        std::fclose(f);
        RemoveFile(path);
        throw;
    }
    if (std::fclose(f) != 0 || !complete) {
        RemoveFile(path);
        throw ToolError("cannot write " + path + " (disk full?)");
    }
    return written;
}

// The licence has no file of its own in an installation; extract writes it under this name, as
// stored: Windows-1252 with CR LF line breaks.
const char ExtractedLicenceName[] = "LICENCE.TXT";

// The integrity record is the one check of the data themselves: without it a changed byte gives a
// wrong file, with it the installer refuses the file, and extract with it.
static void CheckIntegrityForExtract(const InstallerView &view, const std::string &installer)
{
    if (!view.hasIntegrityRecord) return;
    const Integrity &integrity = view.integrity;
    if (!integrity.headersRead)
        throw ToolError(installer + ": damaged installer: the file ends inside the optional header");
    if (integrity.placement != CertificateNone && integrity.placement != CertificateLast)
        throw ToolError(installer + ": damaged installer: the certificate table is not the file's last part behind "
                                    "the payload, so the integrity record cannot be checked");
    if (view.recordedCrc != view.computedCrc)
        throw ToolError(installer + Format(": damaged installer: the integrity record does not match the file "
                                           "(CRC-32 recorded 0x%08X, file 0x%08X)",
                                           view.recordedCrc, view.computedCrc));
}

void RunExtract(const std::string &installer, const std::string &directory, std::ostream &out)
{
    std::unique_ptr<InstallerFile> opened = OpenInstaller(installer);
    InstallerFile &file = *opened;
    InstallerView view = ReadInstaller(file);
    std::string title = TrimTrailingBlanks(view.title);
    std::string problem = TitleProblem(view.title);
    if (!problem.empty()) throw ToolError(installer + ": damaged installer: " + problem);
    // With the title rule, the extension rule keeps separators, control bytes and ':' (a stream name
    // on Windows) out of every name written here; all are judged before the first is written.
    for (size_t i = FirstFurtherEntry; i < view.entries.size(); i++)
        if (!ExtensionFieldUsable(view.entries[i].Extension))
            throw ToolError(installer + Format(": damaged installer: entry %zu has an unusable extension", i));
    // Entries sharing stored bytes would multiply what a small file makes extract write.
    std::vector<size_t> overlaps = OverlappingEntries(view.entries);
    for (size_t i = 0; i < overlaps.size(); i++)
        if (overlaps[i] != i)
            throw ToolError(installer + Format(": damaged installer: the data of entries %zu and %zu overlap", i, overlaps[i]));
    for (size_t i = 0; i < view.entries.size(); i++) {
        const PayloadEntry &e = view.entries[i];
        if (!RangeInside(e.DataOffset, e.StoredSize, view.fileSize))
            throw ToolError(installer + Format(": damaged installer: the data of entry %zu lie beyond the end of the file", i));
        if (!ExpansionPossible(e))
            throw ToolError(installer + Format(": damaged installer: entry %zu cannot expand to %u bytes", i, e.ExpandedSize));
    }
    CheckIntegrityForExtract(view, installer);
    std::vector<std::string> names;
    for (size_t i = 0; i < view.entries.size(); i++)
        names.push_back(Cp1252ToUtf8(DestinationFileName(i, title, view.entries[i].Extension)));
    if (!view.licence.empty()) names.push_back(ExtractedLicenceName);
    std::vector<std::string> paths;
    for (const std::string &name : names) {
        paths.push_back(PathText(FsPath(directory) / FsPath(name)));
        if (SameFile(paths.back(), installer))
            throw ToolError(paths.back() + ": the installer itself; sspack writes no file it reads: extract into another folder");
    }

    std::error_code ec;
    fs::create_directories(FsPath(directory), ec);
    if (ec) throw ToolError("cannot create " + directory + ": " + ec.message());
    size_t written = 0;
    try {
        for (size_t i = 0; i < view.entries.size(); i++) {
            std::string note;
            uint64_t bytes = ExtractEntryTo(file, view.entries[i], paths[i], &note);
            out << paths[i] << " (" << bytes << " bytes" << (note.empty() ? "" : "; " + note) << ")\n";
            written++;
        }
        if (!view.licence.empty()) {
            WriteWholeFile(paths.back(), Bytes(view.licence.begin(), view.licence.end()));
            out << paths.back() << " (" << view.licence.size() << " bytes; the licence, Windows-1252 as stored)\n";
            written++;
        }
    } catch (const ToolError &e) {
        throw ToolError(std::string(e.what()) + Format("; %zu file%s written to ", written, written == 1 ? "" : "s") +
                        directory + " before it");
    }
    out << written << " file" << (written == 1 ? "" : "s") << " written to " << directory << "\n";
}

namespace {

// verify's report: one line per check or note, then the verdict. The installer's pre-check comes
// first; the check further down that finds the very fault it refused the file for tells the same
// problem in detail, so the two lines count as one problem.
class VerifyReport {
public:
    explicit VerifyReport(std::ostream &out) : out_(out) {}
    void PreCheck(PayloadFault fault, const std::string &what)
    {
        Check(fault == PayloadSound, what);
        preCheckFault_ = fault;
    }
    // sameAs: the pre-check's fault this check stands for, where there is one.
    void Check(bool ok, const std::string &what, PayloadFault sameAs = PayloadSound)
    {
        out_ << (ok ? "ok    " : "FAIL  ") << what << "\n";
        if (ok) return;
        if (sameAs != PayloadSound && sameAs == preCheckFault_ && !preCheckTold_) preCheckTold_ = true;
        else problems_++;
    }
    void Note(const std::string &what) { out_ << "note  " << what << "\n"; }
    // A file sound in itself that the installer still refuses: the verdict says why.
    void Refuse(const std::string &what, const std::string &why)
    {
        out_ << "FAIL  " << what << "\n";
        if (refusal_.empty()) refusal_ = why;
    }
    // Prints the verdict; true when sound.
    bool Finish()
    {
        if (problems_) out_ << Format("verdict: DAMAGED (%d problem%s)\n", problems_, problems_ == 1 ? "" : "s");
        else if (!refusal_.empty()) out_ << "verdict: WILL NOT INSTALL: " << refusal_ << "\n";
        else out_ << "verdict: sound\n";
        return problems_ == 0 && refusal_.empty();
    }

private:
    std::ostream &out_;
    int problems_ = 0;
    std::string refusal_;
    PayloadFault preCheckFault_ = PayloadSound;
    bool preCheckTold_ = false;  // a later check has told the pre-check's problem again
};

// ": entry 1 (data file) would be ..., 260 characters; a title of at most 107 characters fits"
std::string TooLongNamed(InstallerFile &file)
{
    try {
        InstallerView view = ReadInstaller(file);
        std::vector<std::string> fields;
        for (const PayloadEntry &e : view.entries) fields.push_back(std::string(e.Extension, ExtensionFieldSize));
        size_t longest = 0;
        std::string tooLong = TooLongOnTypicalSystem(TrimTrailingBlanks(view.title), fields, &longest);
        if (tooLong.empty()) return "";
        return ": " + tooLong + Format("; a title of at most %zu characters fits", longest);
    } catch (const ToolError &) {
        return "";  // reported with the payload
    }
}

// The installer's own pre-check over the same file and the same walk of its headers, the very
// code the installer runs.
void ReportPreCheck(InstallerFile &file, int reach, const PeWalk &walk, VerifyReport &report)
{
    PayloadFault fault = InspectWalkedPayload(file.handle(), reach, &walk, TypicalWindows, TypicalApplicationData);
    if (fault == PayloadSound)
        report.PreCheck(fault, std::string("the installer's pre-check passes the file (paths as with ") +
                                   TypicalWindows + " and " + TypicalApplicationData + ")");
    else if (fault == PayloadPathTooLong)
        report.Refuse("the installer's pre-check refuses the file: " + PreCheckRefusal(fault),
                      PreCheckRefusal(fault) + TooLongNamed(file));
    else
        report.PreCheck(fault, "the installer's pre-check refuses the file: " + PreCheckRefusal(fault));
}

void ReportLayout(InstallerFile &file, VerifyReport &report)
{
    try {
        std::vector<std::string> violations = LayoutRuleViolations(ReadInstallerImage(file));
        for (const std::string &v : violations) report.Check(false, "layout: " + v);
        if (violations.empty()) report.Check(true, "LASTRES is the first resource at every directory level");
    } catch (const ToolError &e) {
        report.Check(false, std::string("executable: ") + e.what());
    }
}

void ReportEntries(InstallerFile &file, const InstallerView &view, VerifyReport &report)
{
    std::vector<size_t> overlaps = OverlappingEntries(view.entries);
    for (size_t i = 0; i < view.entries.size(); i++) {
        const PayloadEntry &e = view.entries[i];
        std::string name = Format("entry %zu (%s)", i, EntryRole(i).c_str());
        std::string typical = TypicalDestination(i, TrimTrailingBlanks(view.title), e.Extension);
        if (typical.size() > MaxPathLength)
            report.Note(name + Format(": %zu characters as ", typical.size()) + PrintableText(typical) +
                        ", over the installer's 259");
        if (i >= FirstFurtherEntry && !ExtensionFieldUsable(e.Extension))
            report.Check(false, name + ": the extension \"" + PrintableText(ExtensionText(e)) +
                                    "\" cannot end a file name (the installer refuses it)", PayloadBadExtension);
        bool inside = RangeInside(e.DataOffset, e.StoredSize, view.fileSize);
        report.Check(inside, name + Format(": %u bytes at 0x%X %s", e.StoredSize, e.DataOffset,
                                           inside ? "inside the file" : "run past the end of the file"),
                     PayloadDataOutside);
        bool overBlock = (uint64_t)e.DataOffset < view.blockEnd && (uint64_t)e.DataOffset + e.StoredSize > view.blockOffset;
        if (overBlock) report.Check(false, name + ": its data overlap the payload block");
        if (overlaps[i] != i)
            report.Check(false, name + Format(": its data overlap those of entry %zu", overlaps[i]));
        if (e.ExpandedSize > MaxExpandedSize)
            report.Check(false, name + Format(": expanded size %u is 2 GiB or more", e.ExpandedSize), PayloadSizeTooLarge);
        if (!e.ExpandedSize || !inside) continue;
        // Entries that share bytes are not expanded: each would read the others' bytes again, so a
        // small file of many such entries would take time with the square of its size.
        if (overlaps[i] != i) continue;
        if (!ExpansionPossible(e)) {
            report.Check(false, name + Format(": a stream of %u bytes cannot expand to %u bytes", e.StoredSize, e.ExpandedSize));
            continue;
        }
        try {
            std::string cut;
            RestoreEntryFrom(file, e, [](const uint8_t *, size_t) { return true; }, &cut);
            if (cut.empty()) report.Check(true, name + Format(": expands to exactly %u bytes", e.ExpandedSize));
            else report.Note(name + ": " + cut);
        } catch (const ToolError &error) {
            report.Check(false, name + ": " + error.what());
        }
    }
}

void ReportPayload(InstallerFile &file, const InstallerView &view, VerifyReport &report)
{
    report.Check(true, Format("payload block at 0x%X, table terminated after %zu entries", view.blockOffset,
                              view.entries.size()));
    std::string problem = TitleProblem(view.title);
    report.Check(problem.empty(), problem.empty() ? "title \"" + PrintableText(view.title) + "\"" : problem, PayloadBadTitle);
    if (!view.titleTerminated) report.Note("the title field has no NUL; the installer cuts it to 259 characters");
    if (view.licence.find('\0') != std::string::npos)
        report.Note("the licence holds a NUL byte; the installer shows the text before it");
    if (view.entryCount != view.entries.size())
        report.Note(Format("EntryCount is %u, the table holds %zu entries (the terminator decides)", view.entryCount,
                           view.entries.size()));
    ReportEntries(file, view, report);
}

// The certificate table as the installer judges it: where it lies decides. Its content lies
// outside the integrity record and cannot hide a change of the payload, so what is odd inside it
// is a note; whether the signature still holds is osslsigncode verify's to judge.
void ReportSignature(InstallerFile &file, const InstallerView &view, VerifyReport &report)
{
    const Integrity &integrity = view.integrity;
    if (!integrity.headersRead) {
        report.Check(false, "signature: the file ends inside the optional header");
        return;
    }
    if (integrity.placement == CertificateNone) {
        report.Note("signature: none");
        return;
    }
    uint32_t offset = integrity.fields.tableOffset, size = integrity.fields.tableSize;
    std::string table = Format("signature: certificate table at 0x%X, %u bytes, ", offset, size);
    uint64_t end = (uint64_t)offset + size, fileSize = view.fileSize;
    switch (integrity.placement) {
    case CertificateLast: {
        int records = 0;
        std::string problem = CertificateTableProblem(ReadAtInstaller, &file, offset, size, &records);
        report.Check(true, table + Format("the file's last part, %d record%s (outside the integrity record: "
                                          "whether the signature holds is osslsigncode verify's to judge)",
                                          records, records == 1 ? "" : "s"));
        if (!problem.empty())
            report.Note("signature: the table's content is not as a signer writes it: " + problem +
                        " (bytes appended to tag a download look so)");
        break;
    }
    case CertificatePastEnd:
        report.Check(false, table + Format("runs %llu bytes past the end of the file: cut short or misplaced",
                                           (unsigned long long)(end - fileSize)), PayloadCertificateMisplaced);
        break;
    case CertificateNotLast:
        report.Check(false, table + Format("not the file's last part: %llu bytes follow it", (unsigned long long)(fileSize - end)),
                     PayloadCertificateMisplaced);
        break;
    case CertificateInsidePayload:
        report.Check(false, table + Format("starts inside the payload, which ends at 0x%llX", (unsigned long long)view.payloadEnd),
                     PayloadCertificateMisplaced);
        break;
    default:
        report.Check(false, table + "an empty table", PayloadCertificateMisplaced);
        break;
    }
}

void ReportIntegrity(const InstallerView &view, VerifyReport &report)
{
    const Integrity &integrity = view.integrity;
    bool placed = integrity.placement == CertificateNone || integrity.placement == CertificateLast;
    if (!view.hasIntegrityRecord) {
        report.Note("no integrity record");
    } else if (integrity.headersRead && placed) {
        std::string covered = integrity.placement == CertificateLast ? "up to the certificate table" : "the whole file";
        report.Check(view.recordedCrc == view.computedCrc,
                     Format("integrity record: CRC-32 recorded 0x%08X, file 0x%08X (", view.recordedCrc, view.computedCrc) +
                         covered + ")",
                     PayloadChecksumWrong);
    } else {
        report.Note("integrity record: not checked, for the reason above");
    }
}

}  // namespace

bool RunVerify(const std::string &installer, std::ostream &out)
{
    std::unique_ptr<InstallerFile> file = OpenInstaller(installer);
    VerifyReport report(out);
    // One walk of the headers for the installer's view (the pre-check and the block read back), one
    // more inside the PE model, which takes the section table where the file declares it.
    PeWalk walk;
    int reach = WalkPeHeaders(ReadAtInstaller, file.get(), OptionalHeaderOfMagic, &walk);
    ReportPreCheck(*file, reach, walk, report);
    ReportLayout(*file, report);
    InstallerView view;
    try {
        view = ReadInstaller(*file, reach, walk);
    } catch (const ToolError &e) {
        // What stops the read stops the pre-check's too: no block, or a file ending before the terminator.
        report.Check(false, e.what(), reach == PeWalkBlock ? PayloadTableCut : PayloadUnreachable);
        return report.Finish();
    }
    ReportPayload(*file, view, report);
    ReportSignature(*file, view, report);
    ReportIntegrity(view, report);
    return report.Finish();
}
