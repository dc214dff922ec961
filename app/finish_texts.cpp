// The finishing steps' texts and the Flash Player decision; see finish_texts.h.
#include "app/finish_texts.h"
#include "core/text.h"

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

enum FlashVerdict DecideFlash(int32_t installed, int32_t required)
{
    if (installed <= 0) return FlashMissing;
    if (installed < required) return FlashOutdated;
    return FlashCurrent;
}

int32_t LeadingVersion(const char *text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) text++;
    int negative = *text == '-';
    if (*text == '-' || *text == '+') text++;
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > 0x80000000LL) value = 0x80000000LL;  // held at the edge: no overflow
    }
    if (negative) value = -value;
    if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
    return (int32_t)value;
}
