// The dialogs' pure decisions: the progress step, the percentage, the
// finish screen's picture rectangle and colour answers.
#include <gtest/gtest.h>

#include <tuple>

#include "ui/copy_dialog.h"
#include "ui/finish_screen.h"

namespace zq {
namespace {

TEST(CopyDialogRules, OneStepPerTickUpToAHundred) {
    for (const auto& [from, to] : {std::pair{0, 1}, {99, 100}, {100, 100}}) EXPECT_EQ(NextProgressPosition(from), to);
}

TEST(FinishScreenRules, PictureRectangle) {
    const Rect rows[][2] = {
        {{0, 0, 720, 540}, {0, 0, 240, 432}},
        {{100, 50, 820, 590}, {0, 0, 240, 432}},  // only the size counts
        {{0, 0, 712, 509}, {0, 0, 237, 407}},     // truncated, H multiplied first
        {{0, 0, 2, 1}, {0, 0, 0, 0}},
    };
    for (const auto& [window, picture] : rows) {
        const Rect got = PictureRect(window);
        EXPECT_EQ(std::tie(got.left, got.top, got.right, got.bottom),
                  std::tie(picture.left, picture.top, picture.right, picture.bottom))
            << window.right << "x" << window.bottom;
    }
}

TEST(FinishScreenRules, ColourAnswers) {
    for (int id : {kFinishHint, kFinishHeadline, kFinishBody, kFinishCheckBox})
        EXPECT_EQ(FinishScreenColour(id), ControlColour::TransparentOnWhite) << id;
    EXPECT_EQ(FinishScreenColour(0), ControlColour::WhiteDialog);
    // The button and the separator keep the platform's colours.
    for (int id : {kFinishButton, kFinishSeparator}) EXPECT_EQ(FinishScreenColour(id), ControlColour::Default) << id;
}

}  // namespace
}  // namespace zq
