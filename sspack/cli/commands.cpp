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
#include "sspack/format/entry_data.h"
#include "sspack/format/names.h"
#include "sspack/cli/printf_dialect.h"
#include "sspack/cli/shipped.h"
#include "sspack/files.h"
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
    if (LooksLikeUtf8(given)) throw ToolError("the title holds characters that Windows-1252 cannot write");
    return given;
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

std::string Ratio(uint64_t stored, uint64_t size)
{
    return size ? Format("%.1f%%", stored * 100.0 / size) : "-";
}

}  // namespace

void RunBuild(const BuildOptions &options, std::ostream &out, std::ostream &err, bool errTerminal)
{
    BuildRequest request;
    std::string stub = options.stub;
    if (stub.empty()) stub = Shipped(options, options.quiet ? ShippedQuietStubName : ShippedStubName, "--stub STUB");
    request.stub = ReadWholeFile(stub);
    request.title = TitleFromCommandLine(options.title);
    std::string problem = TitleProblem(request.title);
    if (!problem.empty()) throw ToolError(problem);
    if (!options.licence.empty()) request.licence = PrepareLicence(ReadWholeFile(options.licence));
    request.compression = options.compression;
    request.integrityRecord = options.integrityRecord;
    // The files named are judged before a shipped one is looked for.
    for (const std::string &path : options.files) {
        ExtensionField(path);
        CheckInputPath(path);
    }
    std::string uninstallerOrigin;
    std::vector<std::string> paths = EntryFiles(options, &uninstallerOrigin);
    for (const std::string &path : paths) {
        InputFile file;
        file.name = path;
        file.extensionField = ExtensionField(path);
        file.path = path;
        CheckInputPath(path);
        request.files.push_back(std::move(file));
    }
    size_t fileCount = request.files.size();
    bool integrity = request.integrityRecord;
    std::string title = TrimTrailingBlanks(request.title);
    ReadingProgress progress(err, errTerminal);
    BuildResult result = BuildInstallerFile(std::move(request), options.out,
                                            [&](const InputFile &file, uint64_t done, uint64_t size) {
                                                progress(file, done, size);
                                            });
    for (size_t i = 0; i < result.entries.size(); i++) {
        std::string typical = TypicalDestination(i, title, result.entries[i].Extension);
        if (typical.size() > MaxPathLength)
            err << "sspack: warning: entry " << i << " would be " << PrintableText(typical) << ", " << typical.size()
                << " characters; the installer refuses paths over 259\n";
    }
    if (fileCount < 3)
        err << "sspack: warning: only " << fileCount
            << " file(s); an installer carries a screen saver, its data file and an uninstaller\n";
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

bool RunList(const std::string &installer, std::ostream &out)
{
    InstallerView view = ReadInstaller(installer);
    std::string title = TrimTrailingBlanks(view.title);
    out << "title: \"" << PrintableText(view.title) << "\"\n";
    out << "licence: " << view.licence.size() << " bytes\n";
    out << "entries: " << view.entries.size();
    if (view.entryCount != view.entries.size()) out << " (EntryCount says " << view.entryCount << ")";
    out << "\n";
    out << Format("%-5s %-13s %10s %10s %12s %-16s %s\n", "entry", "role", "offset", "stored", "expanded",
                  "extension", "destination");
    for (size_t i = 0; i < view.entries.size(); i++) {
        const PayloadEntry &e = view.entries[i];
        out << Format("%-5zu %-13s 0x%08X %10u %12u %-16s ", i, EntryRole(i).c_str(), e.DataOffset, e.StoredSize,
                      e.ExpandedSize, PrintableText(ExtensionText(e)).c_str())
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

void RunExtract(const std::string &installer, const std::string &directory, std::ostream &out)
{
    InstallerFile file(installer);
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
    std::error_code ec;
    fs::create_directories(FsPath(directory), ec);
    if (ec) throw ToolError("cannot create " + directory + ": " + ec.message());
    for (size_t i = 0; i < view.entries.size(); i++) {
        const PayloadEntry &e = view.entries[i];
        if (!RangeInside(e.DataOffset, e.StoredSize, view.fileSize))
            throw ToolError(installer + Format(": damaged installer: the data of entry %zu lie beyond the end of the file", i));
        std::string name = Cp1252ToUtf8(DestinationFileName(i, title, e.Extension));
        if (!ExpansionPossible(e))
            throw ToolError(installer + Format(": damaged installer: entry %zu cannot expand to %u bytes", i, e.ExpandedSize));
        std::string path = PathText(FsPath(directory) / FsPath(name));
        std::string note;
        uint64_t written = ExtractEntryTo(file, e, path, &note);
        out << path << " (" << written << " bytes" << (note.empty() ? "" : "; " + note) << ")\n";
    }
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
    // Prints the verdict; true when sound.
    bool Finish()
    {
        if (problems_ == 0) out_ << "verdict: sound\n";
        else out_ << Format("verdict: DAMAGED (%d problem%s)\n", problems_, problems_ == 1 ? "" : "s");
        return problems_ == 0;
    }

private:
    std::ostream &out_;
    int problems_ = 0;
    PayloadFault preCheckFault_ = PayloadSound;
    bool preCheckTold_ = false;  // a later check has told the pre-check's problem again
};

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

// The installer's own pre-check over the same file and the same walk of its headers, the very
// code the installer runs.
void ReportPreCheck(InstallerFile &file, int reach, const PeWalk &walk, VerifyReport &report)
{
    PayloadFault fault = InspectWalkedPayload(file.handle(), reach, &walk, TypicalWindows, TypicalApplicationData);
    if (fault == PayloadSound)
        report.PreCheck(fault, std::string("the installer's pre-check passes the file (paths as with ") +
                                   TypicalWindows + " and " + TypicalApplicationData + ")");
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
    VerifyReport report(out);
    std::unique_ptr<InstallerFile> file;
    try {
        file = std::make_unique<InstallerFile>(installer);
    } catch (const ToolError &e) {
        report.Check(false, e.what());
        return report.Finish();
    }
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
