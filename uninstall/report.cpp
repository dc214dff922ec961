// The uninstall run's tally and its messages; see report.h.
#include <string.h>
#include "core/text.h"
#include "uninstall/report.h"

const char UninstallCaption[] = "Bildschirmschoner entfernen";
const char MisplacedMessage[] =
    "Das Deinstallationsprogramm befindet sich nicht im Ordner eines installierten Bildschirmschoners "
    "und entfernt deshalb nichts.";

// Appended to either message; the second starts on its own paragraph already.
static const char ForeignEntryText[] =
    "\n\nDer Eintrag in der Systemsteuerung gehört zu einem anderen Programm und wurde nicht verändert.\n";

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

int RemovalComplete(const RemovalReport *report)
{
    return !report->logMissing && !report->failed && !report->skipped && !report->damaged &&
           !report->registrationLeft;
}

int RemovalMustBeRepeated(const RemovalReport *report)
{
    return report->failed != 0 || report->outside != 0;
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

int ComposeResultMessage(const RemovalReport *report, const char *title, char *text, size_t size)
{
    if (RemovalComplete(report)) {
        int fit = FormatText(text, size, "Der Bildschirmschoner %s wurde vollständig entfernt.", title);
        if (report->registrationForeign) fit &= AppendText(text, size, ForeignEntryText);
        return fit;
    }
    int fit = FormatText(text, size, "Der Bildschirmschoner %s konnte nicht vollständig entfernt werden.\n", title);
    if (report->registrationForeign) fit &= AppendText(text, size, ForeignEntryText + 1);
    if (report->logMissing) {
        fit &= AppendText(text, size, "\nDas Installationsprotokoll INSTALL.LOG fehlt; es wurden keine Dateien "
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
        if (report->outside) {
            fit &= AppendText(text, size, "Das Installationsprotokoll und das Deinstallationsprogramm bleiben "
                                          "erhalten, damit die Deinstallation über die Systemsteuerung wiederholt "
                                          "werden kann.\n");
        }
    }
    if (report->damaged) {
        char line[128];
        FormatText(line, sizeof line, "\n%u beschädigte Zeilen des Installationsprotokolls wurden übersprungen.\n",
                   report->damaged);
        fit &= AppendText(text, size, line);
    }
    if (report->registrationLeft && !report->failed) {
        fit &= AppendText(text, size, "\nDer Eintrag in der Systemsteuerung konnte nicht entfernt werden.\n");
    }
    return fit;
}
