// Reads a robot script: one step per line, '#' starts a comment line, blank lines are ignored.
// Quoted values keep every blank; there are no escapes, so a value cannot hold a double quote.
#include <cstdio>

#include "tests/e2e/robot/robot.h"

namespace robot {

static bool ParseLine(const std::string &line, int number, Step *step, std::string *error)
{
    step->number = number;
    step->line = line;
    // A start step's raw program arguments follow " -- " and are not parsed here.
    std::string text = line.substr(0, line.find(" -- "));
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= text.size()) break;
        Token t = {"", "", "", false};
        size_t start = i;
        if (text[i] != '"') {
            // A key ends at '=', '^=' or '~='; a plain word at the next blank.
            while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '=' && text[i] != '"' &&
                   !((text[i] == '^' || text[i] == '~') && i + 1 < text.size() && text[i + 1] == '='))
                ++i;
            if (i < text.size() && (text[i] == '=' || text[i] == '^' || text[i] == '~')) {
                t.key = text.substr(start, i - start);
                t.op = text[i] == '=' ? "=" : text.substr(i, 2);
                i += t.op.size();
            } else {
                step->words.push_back(text.substr(start, i - start));
                continue;
            }
        }
        if (i < text.size() && text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string::npos) {
                *error = "line " + std::to_string(number) + ": unclosed quote";
                return false;
            }
            t.value = text.substr(i + 1, close - i - 1);
            t.quoted = true;
            i = close + 1;
        } else {
            size_t end = i;
            while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
            t.value = text.substr(i, end - i);
            i = end;
        }
        if (t.key.empty())
            step->words.push_back(t.value);
        else
            step->tokens.push_back(t);
    }
    if (step->words.empty()) {
        *error = "line " + std::to_string(number) + ": no step name";
        return false;
    }
    return true;
}

bool ParseScript(const wchar_t *path, std::vector<Step> *steps, std::string *error)
{
    FILE *f = _wfopen(path, L"rb");
    if (!f) {
        *error = "cannot read the script";
        return false;
    }
    std::string all;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) all.append(buf, n);
    fclose(f);
    int number = 0;
    size_t pos = 0;
    while (pos <= all.size()) {
        size_t eol = all.find('\n', pos);
        if (eol == std::string::npos) eol = all.size();
        std::string line = all.substr(pos, eol - pos);
        pos = eol + 1;
        ++number;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        Step step;
        if (!ParseLine(line.substr(first), number, &step, error)) return false;
        steps->push_back(step);
    }
    return true;
}

}  // namespace robot
