// INSTALL.LOG as the uninstaller reads it: whole paths per line, damaged lines reported, never cut.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>
#include <string>
#include <vector>
#include "core/host_hooks.h"
#include "uninstall/log_reader.h"

namespace {

struct Line {
    LogLineKind kind;
    std::string text;
    bool operator==(const Line &o) const { return kind == o.kind && text == o.text; }
};

std::ostream &operator<<(std::ostream &out, const Line &line)
{
    return out << (line.kind == LogLinePath ? "path " : "damaged ") << '"' << line.text << '"';
}

// Writes content to a fresh log file and reads it back line by line with a buffer of lineSize.
std::vector<Line> ReadAll(const std::string &content, size_t lineSize = 260)
{
    char path[] = "/tmp/uninstall_log_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, content.data(), content.size()), (ssize_t)content.size());
    close(fd);
    FileHandle file = FileOpenRead(path);
    EXPECT_NE(file, FileError);
    LogReader reader;
    OpenLogReader(&reader, file);
    std::vector<Line> lines;
    std::vector<char> buffer(lineSize);
    LogLineKind kind;
    while ((kind = ReadLogLine(&reader, buffer.data(), buffer.size())) != LogLineEnd) {
        lines.push_back({kind, buffer.data()});
        if (lines.size() > content.size() + 1) break;  // a reader that never ends
    }
    FileClose(file);
    unlink(path);
    return lines;
}

TEST(UninstallLog, SplitsAtLineEndsAndPassesOverEmptyLines)
{
    struct Case {
        const char *name;
        std::string content;
        std::vector<Line> expected;
    } cases[] = {
        {"empty file", "", {}},
        {"installer's lines",
         "C:\\WINDOWS\\Sample.scr\r\nC:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\Sample.dat\r\n",
         {{LogLinePath, "C:\\WINDOWS\\Sample.scr"},
          {LogLinePath, "C:\\ProgramData\\Quilmark LLC\\Vistaworks\\Sample\\Sample.dat"}}},
        {"last line without its end", "a\r\nb", {{LogLinePath, "a"}, {LogLinePath, "b"}}},
        {"bare LF and bare CR", "a\nb\rc", {{LogLinePath, "a"}, {LogLinePath, "b"}, {LogLinePath, "c"}}},
        {"blank lines between", "\r\n\r\n\na\r\n\r\n", {{LogLinePath, "a"}}},
        {"Windows-1252 letters are text", "C:\\Bl\xFC" "ten\r\n", {{LogLinePath, "C:\\Bl\xFC" "ten"}}},
        {"NUL inside a line", std::string("C:\\a\0b\r\nC:\\c\r\n", 13),
         {{LogLineDamaged, "C:\\a?b"}, {LogLinePath, "C:\\c"}}},
        {"tab and escape bytes", "x\ty\x1B\r\n", {{LogLineDamaged, "x?y?"}}},
        {"DEL, refused in every name the installer writes", "C:\\a\x7F.scr\r\n", {{LogLineDamaged, "C:\\a?.scr"}}},
    };
    for (const Case &c : cases) EXPECT_EQ(ReadAll(c.content), c.expected) << c.name;
}

TEST(UninstallLog, LongLinesAreDamagedNotCut)
{
    std::string fits(259, 'a'), tooLong(260, 'b'), huge(5000, 'c');
    EXPECT_EQ(ReadAll(fits + "\r\n"), (std::vector<Line>{{LogLinePath, fits}}));
    // The too long line keeps only its printable prefix, for the report; the next line is intact.
    EXPECT_EQ(ReadAll(tooLong + "\r\nC:\\next\r\n"),
              (std::vector<Line>{{LogLineDamaged, std::string(259, 'b')}, {LogLinePath, "C:\\next"}}));
    EXPECT_EQ(ReadAll(huge + "\nC:\\x"),
              (std::vector<Line>{{LogLineDamaged, std::string(259, 'c')}, {LogLinePath, "C:\\x"}}));
    // A tiny buffer still ends every line properly.
    EXPECT_EQ(ReadAll("abc\r\nd\r\n", 2), (std::vector<Line>{{LogLineDamaged, "a"}, {LogLinePath, "d"}}));
}

TEST(UninstallLog, LinesAcrossChunkBoundariesStayWhole)
{
    // Lines of 21 bytes with CR LF put every split (inside a path, between CR and LF) on some boundary.
    std::string content;
    std::vector<Line> expected;
    for (int i = 0; i < 200; i++) {
        char path[32];
        snprintf(path, sizeof path, "C:\\dir\\file%04d.dat", i);
        content += std::string(path) + "\r\n";
        expected.push_back({LogLinePath, path});
    }
    ASSERT_GT(content.size(), 4u * LogChunkSize);
    EXPECT_EQ(ReadAll(content), expected);
}

TEST(UninstallLog, FailedReadsEndTheLog)
{
    FileHandle none = FileOpenRead("/nonexistent/INSTALL.LOG");
    LogReader reader;
    OpenLogReader(&reader, none);
    char line[260];
    EXPECT_EQ(ReadLogLine(&reader, line, sizeof line), LogLineEnd);

    // A read that stops delivering ends the log there.
    ResetHostFileHooks();
    HostFiles.readBudget = 10;
    std::vector<Line> lines = ReadAll("C:\\first\r\nC:\\second\r\n");
    ResetHostFileHooks();
    EXPECT_EQ(lines, (std::vector<Line>{{LogLinePath, "C:\\first"}}));
}

// The uninstaller tells a last line the installer stopped writing (perhaps cut inside its path) by
// the reader having met the end of the log inside it; a line end, even CR alone, closes a path.
TEST(UninstallLog, TheEndOfTheLogInsideALineIsKnown)
{
    struct Case {
        const char *content;
        std::vector<int> unended;  // after each line
    } cases[] = {
        {"C:\\a\r\nC:\\b\r\n", {0, 0}},
        {"C:\\a\r\nC:\\b\r", {0, 0}},
        {"C:\\a\r\nC:\\b", {0, 1}},
        {"C:\\b", {1}},
    };
    for (const Case &c : cases) {
        char path[] = "/tmp/uninstall_log_XXXXXX";
        int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, c.content, strlen(c.content)), (ssize_t)strlen(c.content));
        close(fd);
        LogReader reader;
        OpenLogReader(&reader, FileOpenRead(path));
        char line[260];
        std::vector<int> unended;
        while (ReadLogLine(&reader, line, sizeof line) != LogLineEnd) unended.push_back(reader.atEnd);
        FileClose(reader.file);
        unlink(path);
        EXPECT_EQ(unended, c.unended) << c.content;
    }
}

TEST(UninstallLog, BinaryJunkEndsWithoutOverrun)
{
    std::string junk;
    unsigned seed = 12345;
    for (int i = 0; i < 20000; i++) {
        seed = seed * 1103515245 + 12345;
        junk.push_back((char)(seed >> 16));
    }
    std::vector<Line> lines = ReadAll(junk);
    ASSERT_FALSE(lines.empty());
    for (const Line &line : lines) EXPECT_LT(line.text.size(), 260u);
}

}  // namespace
