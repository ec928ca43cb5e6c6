#include <gtest/gtest.h>

#include "platform/Dialogs.h"
#include "testing/ScriptedDialogs.h"

using namespace platform;

TEST(ScriptedDialogs, AnswersFromQueueThenWithFirstButton) {
    ScriptedDialogs dialogs;
    dialogs.messageAnswers.push_back(DialogResult::No);
    EXPECT_EQ(dialogs.messageBox("Harvex", "Go on?", DialogKind::Confirmation, kButtonYes | kButtonNo),
              DialogResult::No);
    EXPECT_EQ(dialogs.messageBox("Harvex", "Go on?", DialogKind::Confirmation, kButtonYes | kButtonNo),
              DialogResult::Yes);
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[0].text, "Go on?");
    EXPECT_EQ(dialogs.calls[0].buttons, kButtonYes | kButtonNo);
}

TEST(ScriptedDialogs, InputBoxFallsBackToItsDefault) {
    ScriptedDialogs dialogs;
    dialogs.inputAnswers.push_back(std::string("mine.html"));
    EXPECT_EQ(dialogs.inputBox("Harvex", "Name?", "unknown.html"), "mine.html");
    EXPECT_EQ(dialogs.inputBox("Harvex", "Name?", "unknown.html"), "unknown.html");
    EXPECT_EQ(dialogs.browseFolder("Pick", "/tmp"), std::nullopt);
}
