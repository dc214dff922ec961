// The cancel question: No changes nothing and it can come again; after a Yes it is never asked.
#include <gtest/gtest.h>
#include <string>
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

}  // namespace
