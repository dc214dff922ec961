// Screen-saver command-line parsing; see saver_args.h.
#include "sample/saver_args.h"

static const char *SkipBlanks(const char *p)
{
    while (*p == ' ' || *p == '\t') p++;
    return p;
}

// A decimal window number; 0 when there is none or it does not fit in 64 bits.
static uint64_t ReadWindow(const char *p)
{
    uint64_t value = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        uint64_t digit = (uint64_t)(*p - '0');
        if (value > (UINT64_MAX - digit) / 10) return 0;
        value = value * 10 + digit;
        digits++;
    }
    return digits ? value : 0;
}

SaverArgs ParseSaverArgs(const char *arguments)
{
    SaverArgs args = {SaverSettings, 0};
    const char *p = SkipBlanks(arguments);
    if (*p == '"') {  // some launchers quote the switch
        p++;
    }
    if (*p != '/' && *p != '-') return args;
    char letter = p[1];
    if (letter >= 'A' && letter <= 'Z') letter = (char)(letter - 'A' + 'a');
    switch (letter) {
    case 's': args.mode = SaverFullScreen; break;
    case 'p': args.mode = SaverPreview; break;
    case 'a': args.mode = SaverPassword; break;
    case 'c': args.mode = SaverSettings; break;
    default: return args;
    }
    const char *rest = p + 2;
    if (*rest == ':') {
        rest++;
    } else if (*rest != ' ' && *rest != '\t' && *rest != 0 && *rest != '"') {
        return SaverArgs{SaverSettings, 0};  // "/save" or the like is no switch of ours
    }
    if (*rest == '"') rest++;
    args.window = ReadWindow(SkipBlanks(rest));
    return args;
}
