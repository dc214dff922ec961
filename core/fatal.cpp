// Composition of the fatal stop's messages; showing them is the platform's (fatal_win / fatal_host).
#include "core/fatal.h"
#include "core/text.h"

const char FatalCaption[] = "Fehler!!!";

int ComposeFatalText(enum FatalKind kind, const char *path, char *buffer, size_t size)
{
    switch (kind) {
    case FatalShortWrite:
        return FormatText(buffer, size,
                          "Die Datei %s konnte nicht vollständig geschrieben werden. "
                          "Die Installation wurde abgebrochen.", path ? path : "");
    case FatalReadFailure:
        return CopyText(buffer, size,
                        "Die Installationsdatei konnte nicht gelesen werden. "
                        "Die Installation wurde abgebrochen.");
    case FatalDamagedInstaller:
        return CopyText(buffer, size,
                        "Die Installationsdatei ist beschädigt oder unvollständig. "
                        "Bitte laden Sie das Programm erneut herunter.");
    case FatalOwnPathTooLong:
        return CopyText(buffer, size,
                        "Der Pfad der Installationsdatei ist zu lang. "
                        "Bitte verschieben Sie das Programm in einen Ordner mit kürzerem Pfad und starten Sie es erneut.");
    case FatalOutOfMemory:
        return CopyText(buffer, size,
                        "Es steht nicht genügend Arbeitsspeicher zur Verfügung. "
                        "Die Installation wurde abgebrochen.");
    }
    return CopyText(buffer, size, "");
}

void FatalStop(enum FatalKind kind, const char *path)
{
    char text[512 + 260];
    ComposeFatalText(kind, path, text, sizeof text);
    ShowFatalMessage(text);
    EndProcess(FatalExitCode);
}
