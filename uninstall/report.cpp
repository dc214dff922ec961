// The uninstall run's tally and its messages; see report.h.
#include <string.h>
#include "core/text.h"
#include "uninstall/report.h"

const char UninstallCaption[] = "Bildschirmschoner entfernen";
const char MisplacedMessage[] =
    "Das Deinstallationsprogramm befindet sich nicht im Ordner eines installierten Bildschirmschoners "
    "und entfernt deshalb nichts.";

// Appended to either message; the second starts on its own paragraph already, so both drop the
// first line break there.
static const char ForeignEntryText[] =
    "\n\nDer Eintrag in der Systemsteuerung gehört zu einem anderen Programm und wurde nicht verändert.\n";
static const char ScheduledText[] = "\n\nDas Deinstallationsprogramm wird beim nächsten Start von Windows gelöscht.\n";

void ResetReport(RemovalReport *report)
{
    memset(report, 0, sizeof *report);
}

void NoteRemoved(RemovalReport *report)
{
    report->removed++;
}

// Adds path as a line when the whole line fits; a list never ends in the middle of a path.
static int AddToList(char *list, size_t size, const char *path)
{
    size_t used = strlen(list);
    size_t need = strlen(path) + 1;
    if (used + need + 1 > size) return 0;
    AppendText(list, size, path);
    AppendText(list, size, "\n");
    return 1;
}

void NoteFailed(RemovalReport *report, const char *path)
{
    report->failed++;
    report->failedListed += AddToList(report->failedList, sizeof report->failedList, path);
}

void NoteSkipped(RemovalReport *report, const char *path)
{
    report->skipped++;
    report->skippedListed += AddToList(report->skippedList, sizeof report->skippedList, path);
}

void NoteOutside(RemovalReport *report, const char *path)
{
    report->outside++;
    NoteSkipped(report, path);
}

void NoteDamaged(RemovalReport *report)
{
    report->damaged++;
}

void NoteCut(RemovalReport *report, const char *line)
{
    // Never empty, so that the report knows a cut line from none.
    if (!CopyText(report->cutLine, sizeof report->cutLine, line[0] ? line : "?")) report->cutLine[0] = '?';
}

int RemovalMustBeRepeated(const RemovalReport *report)
{
    return report->logMissing || report->logUnreadable || report->failed != 0 || report->skipped != 0 ||
           report->damaged != 0 || report->cutLine[0] != 0;
}

// The log, the entry and the uninstaller stay: before the entry went, the run stopped.
static int KeepsForRepeat(const RemovalReport *report)
{
    return RemovalMustBeRepeated(report) || report->logLeft || report->registrationLeft;
}

int RemovalComplete(const RemovalReport *report)
{
    return !KeepsForRepeat(report) && report->uninstallerLeft[0] == 0;
}

int ComposeQuestion(const char *title, char *text, size_t size)
{
    return FormatText(text, size, "Möchten Sie den Bildschirmschoner %s und alle zugehörigen Dateien entfernen?",
                      title);
}

static int AppendList(char *text, size_t size, const char *heading, const char *list, unsigned listed, unsigned all)
{
    int fit = AppendText(text, size, heading);
    fit &= AppendText(text, size, list);
    if (all > listed) {
        char more[64];
        FormatText(more, sizeof more, "... und %u weitere\n", all - listed);
        fit &= AppendText(text, size, more);
    }
    return fit;
}

static int AppendLine(char *text, size_t size, const char *heading, const char *line)
{
    int fit = AppendText(text, size, heading);
    fit &= AppendText(text, size, line);
    fit &= AppendText(text, size, "\n");
    return fit;
}

int ComposeResultMessage(const RemovalReport *report, const char *title, char *text, size_t size)
{
    if (RemovalComplete(report)) {
        int fit = FormatText(text, size, "Der Bildschirmschoner %s wurde vollständig entfernt.", title);
        if (report->registrationForeign) fit &= AppendText(text, size, ForeignEntryText);
        if (report->uninstallerScheduled)
            fit &= AppendText(text, size, ScheduledText + (report->registrationForeign ? 1 : 0));
        return fit;
    }
    int fit = FormatText(text, size, "Der Bildschirmschoner %s konnte nicht vollständig entfernt werden.\n", title);
    if (report->registrationForeign) fit &= AppendText(text, size, ForeignEntryText + 1);
    if (report->logMissing) {
        fit &= AppendText(text, size, "\nDas Installationsprotokoll INSTALL.LOG fehlt; es wurden keine Dateien "
                                      "gelöscht.\n");
    }
    if (report->logUnreadable) {
        fit &= AppendText(text, size, "\nDas Installationsprotokoll INSTALL.LOG konnte nicht ganz gelesen werden, "
                                      "vielleicht weil ein anderes Programm es verwendet; es wurden keine Dateien "
                                      "gelöscht.\n");
    }
    if (report->failed) {
        fit &= AppendList(text, size, "\nDiese Dateien konnten nicht gelöscht werden:\n", report->failedList,
                          report->failedListed, report->failed);
        fit &= AppendText(text, size, "Schließen Sie die Programme, die sie verwenden, und starten Sie die "
                                      "Deinstallation erneut.\n");
    }
    if (report->skipped) {
        fit &= AppendList(text, size,
                          "\nDiese Einträge des Installationsprotokolls liegen außerhalb der Ordner des "
                          "Bildschirmschoners und wurden nicht gelöscht:\n",
                          report->skippedList, report->skippedListed, report->skipped);
    }
    if (report->cutLine[0]) {
        fit &= AppendLine(text, size, "\nDie letzte Zeile des Installationsprotokolls ist unvollständig und nennt "
                                      "keine vorhandene Datei:\n", report->cutLine);
    }
    if (report->damaged) {
        char line[128];
        FormatText(line, sizeof line, "\n%u beschädigte Zeilen des Installationsprotokolls wurden übersprungen.\n",
                   report->damaged);
        fit &= AppendText(text, size, line);
    }
    if (report->logLeft) {
        fit &= AppendText(text, size, "\nDas Installationsprotokoll INSTALL.LOG konnte nicht gelöscht werden.\n");
    }
    if (report->registrationLeft) {
        fit &= AppendText(text, size, "\nDer Eintrag in der Systemsteuerung konnte nicht entfernt werden.\n");
    }
    if (KeepsForRepeat(report)) {
        fit &= AppendText(text, size, report->logMissing
                                          ? "\nDer Eintrag in der Systemsteuerung und das Deinstallationsprogramm "
                                            "bleiben erhalten, damit die Deinstallation über die Systemsteuerung "
                                            "wiederholt werden kann.\n"
                                          : "\nDas Installationsprotokoll, der Eintrag in der Systemsteuerung und das "
                                            "Deinstallationsprogramm bleiben erhalten, damit die Deinstallation über "
                                            "die Systemsteuerung wiederholt werden kann.\n");
    }
    if (report->uninstallerLeft[0]) {
        fit &= AppendLine(text, size, "\nDas Deinstallationsprogramm konnte nicht gelöscht werden:\n",
                          report->uninstallerLeft);
    }
    return fit;
}

int ComposeLateRemovalMessage(const char *uninstallerPath, int scheduled, char *text, size_t size)
{
    if (scheduled) {
        return FormatText(text, size, "Das Deinstallationsprogramm %s konnte noch nicht gelöscht werden. Windows "
                                      "löscht es beim nächsten Start.", uninstallerPath);
    }
    return FormatText(text, size, "Das Deinstallationsprogramm %s konnte nicht gelöscht werden.", uninstallerPath);
}
