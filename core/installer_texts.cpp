// The installer's texts; see installer_texts.h.
#include "core/installer_texts.h"
#include "core/text.h"

int ComposeSaverName(const char *title, char *text, size_t size)
{
    return FormatText(text, size, "%s Bildschirmschoner", title);
}

int ComposeInstallCaption(const char *title, char *caption, size_t size)
{
    return FormatText(caption, size, "Installation des Bildschirmschoners %s", title);
}

char *FormatThousands(uint32_t value, char *buffer)
{
    char digits[12];
    int n = 0;
    do {
        digits[n++] = (char)('0' + value % 10);
        value /= 10;
    } while (value);
    // digits holds the number from the right; copy it back with a comma after every third one.
    char reversed[NumberTextSize];
    int out = 0;
    for (int i = 0; i < n; i++) {
        reversed[out++] = digits[i];
        if (i % 3 == 2 && i + 1 < n) reversed[out++] = ',';
    }
    for (int i = 0; i < out; i++) buffer[i] = reversed[out - 1 - i];
    buffer[out] = 0;
    return buffer;
}

// ---- The sequence and the checks before installing ------------------------------------------------
const char ReplaceCaption[] = "Bildschirmschoner überschreiben?";
const char DiskFullCaption[] = "Datenträger voll";

int ComposeInformationMessage(const char *title, const char *windowsDirectory, const char *sizeText, char *message,
                              size_t size)
{
    return FormatText(message, size,
                      "Dieses Programm installiert %s Bildschirmschoner nach %s und macht diesen zu Ihrem "
                      "Standard-Bildschirmschoner. Die Installation benötigt %s Byte.",
                      title, windowsDirectory, sizeText);
}

int ComposeReplaceQuestion(const char *name, char *message, size_t size)
{
    return FormatText(message, size,
                      "Auf Ihrem Computer ist bereits ein Bildschirmschoner mit dem Namen %s vorhanden. "
                      "Soll dieser ersetzt werden?",
                      name);
}

int ComposeDiskSpaceQuestion(uint32_t requiredKB, uint32_t freeKB, char *message, size_t size)
{
    char required[NumberTextSize];
    char available[NumberTextSize];
    return FormatText(message, size,
                      "Sie benötigen zur Installation dieses Bildschirmschoners %s KB freien Festplattenspeicher "
                      "im Windows-Verzeichnis. Ihr Laufwerk hat %s KB freien Speicher. Soll die Installation "
                      "trotzdem fortgesetzt werden?",
                      FormatThousands(requiredKB, required), FormatThousands(freeKB, available));
}

// ---- The progress dialog and the registration -----------------------------------------------------
const char CancelQuestion[] = "Sind Sie sicher, dass Sie die Installation abbrechen möchten?";
const char CancelCaption[] = "Installation abbrechen?";
const char AccessDeniedText[] =
    "Sie haben keinen Zugriff auf die nötige Systemkonfiguration. "
    "Installieren Sie das Programm erneut mithilfe eines Administrator-Accounts.";
const char PublisherText[] = "Erstellt mit Quilmark's Vistaworks";

// ---- The finishing steps ----------------------------------------------------------------------------
const char FlashCaption[] = "Den neuesten Flash Player installieren";
static const char TrademarkText[] = "Macromedia Flash ist ein eingetragenes Warenzeichen der Macromedia, Inc.";
const char FlashOutdatedText[] =
    "Der Bildschirmschoner wurde zur Benutzung mit der neuesten Version des Macromedia Flash Players "
    "entwickelt. Sollten Sie Probleme feststellen können, klicken Sie bitte auf Problemlösung im "
    "Einstellungsmenü.\r\n\r\n"
    "Macromedia Flash ist ein eingetragenes Warenzeichen der Macromedia, Inc.";
const char DownloadFailedText[] = "Es kann keine Verbindung zu dieser Webseite hergestellt werden.";
const char FinishedText[] = "Installation beendet!";
const char FlashPlayerDownloadPage[] = "http://www.macromedia.com/go/getflashplayer";

int ComposeFlashMissingText(char *message, size_t size)
{
    return FormatText(message, size,
                      "Sie haben leider keinen Macromedia Flash Player auf Ihrem System installiert. Ohne diesen "
                      "ist ein Ausführen des Programms nicht möglich. Klicken Sie auf OK, um sich die neueste "
                      "Version von \"%s\" herunterzuladen. Wenn Sie dies später machen möchten, klicken Sie "
                      "jetzt bitte auf \"Abbrechen\".\r\n\r\n%s",
                      FlashPlayerDownloadPage, TrademarkText);
}

// ---- The fatal stop ---------------------------------------------------------------------------------
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
    case FatalForeignFolder:
        return FormatText(buffer, size,
                          "Der Ordner %s ist nicht allein Administratoren vorbehalten: Er gehört einem anderen "
                          "Benutzer, andere Benutzer dürfen darin Dateien anlegen oder löschen, oder er ist eine "
                          "Verknüpfung. Die Installation wurde abgebrochen.", path ? path : "");
    case FatalOutOfMemory:
        return CopyText(buffer, size,
                        "Es steht nicht genügend Arbeitsspeicher zur Verfügung. "
                        "Die Installation wurde abgebrochen.");
    case FatalWindowFailed:
        return CopyText(buffer, size,
                        "Ein Fenster der Installation konnte nicht geöffnet werden. "
                        "Die Installation wurde abgebrochen.");
    }
    return CopyText(buffer, size, "");
}
