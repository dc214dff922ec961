// The cancel question: No changes nothing and it can come again; after a Yes it is never asked.
// The pump points at which the entry being written looks at the answer.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string>
#include "core/host_hooks.h"
#include "core/state.h"
#include "install/cancel.h"

namespace {

int AnswerFromScript(void *context)
{
    std::string *answers = (std::string *)context;
    char answer = answers->at(0);
    answers->erase(0, 1);
    return answer == 'y';
}

TEST(CancelQuestion, AskedUntilAnsweredYesThenNeverAgain)
{
    struct Case {
        const char *answers;  // what the user answers, in order
        int presses;
        int asked;
        int cancelled;
    };
    const Case cases[] = {
        {"n", 1, 1, 0},
        {"nn", 2, 2, 0},   // No changes nothing: the question comes again
        {"y", 3, 1, 1},    // after Yes, Abbrechen asks nothing more
        {"nny", 5, 3, 1},
    };
    for (const Case &c : cases) {
        CancelRequested = 0;
        std::string answers = c.answers;
        int asked = 0;
        for (int i = 0; i < c.presses; i++) asked += ConfirmCancel(AnswerFromScript, &answers);
        EXPECT_EQ(asked, c.asked) << c.answers;
        EXPECT_EQ(CancelRequested, c.cancelled) << c.answers;
        EXPECT_EQ(answers, "") << c.answers;
    }
    CancelRequested = 0;
}

int PumpsSeen;
void CountPump()
{
    PumpsSeen++;
}

TEST(PumpPoint, PumpsOncePastThePointAndStopsAtTheTopOfTheCount)
{
    const uint32_t Top = UINT32_MAX;
    struct Case {
        uint32_t point, count;
        int cancelled, uncancellable;
        int pumps, stops;
        uint32_t next;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 0, 0},  // nothing read or produced yet
        {0, 1, 0, 0, 1, 0, PumpInterval},  // the first piece of an entry
        {PumpInterval, PumpInterval, 0, 0, 0, 0, PumpInterval},
        {PumpInterval, PumpInterval + 1, 0, 0, 1, 0, 2 * PumpInterval},
        {Top - PumpInterval, Top, 0, 0, 1, 0, Top},
        {Top - PumpInterval + 1, Top, 0, 0, 1, 0, Top},  // stays at the top instead of wrapping
        {Top, Top, 0, 0, 0, 0, Top},
        {0, 1, 1, 0, 1, 1, 0},                           // a confirmed cancel ends the entry there
        {PumpInterval, PumpInterval, 1, 0, 0, 0, PumpInterval},  // ... but only at a pump point
        {0, 1, 1, 1, 1, 0, PumpInterval},                // never the uninstaller's entry
    };
    HostMessagePumpHook = CountPump;
    for (const Case &c : cases) {
        PumpsSeen = 0;
        CancelRequested = c.cancelled;
        EntryUncancellable = c.uncancellable;
        uint32_t point = c.point;
        EXPECT_EQ(PumpPointStopsEntry(c.count, &point), c.stops) << c.point << " " << c.count;
        EXPECT_EQ(PumpsSeen, c.pumps) << c.point << " " << c.count;
        EXPECT_EQ(point, c.next) << c.point << " " << c.count;
    }
    HostMessagePumpHook = nullptr;
    CancelRequested = 0;
    EntryUncancellable = 0;
}

}  // namespace
