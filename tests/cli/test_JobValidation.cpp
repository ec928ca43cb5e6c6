#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "engine/JobValidation.h"
#include "engine/PlainJobView.h"
#include "engine/wsmain.h"

using engine::CheckStartPage;

namespace {

std::vector<std::string> texts(const platform::ScriptedDialogs& dialogs) {
    std::vector<std::string> out;
    for (const auto& call : dialogs.calls) out.push_back(call.text);
    return out;
}

const std::string kBlank = "One or more of the text boxes have been left blank.";
const std::string kDrive = "The Drive you have specified is invalid. Please specify another.";
const std::string kHttp = "The Web site you are downloading must start with \"http://\"";

}  // namespace

TEST(CheckStartPage, EmptyAddressGivesBothMessagesInOrder) {
    engine::PlainJobView view;
    engine::THvxEngine engine(view);
    view.startURL = "";
    view.saveDirectory = "/tmp";
    EXPECT_FALSE(CheckStartPage(engine));
    EXPECT_EQ(texts(view.dialogs), (std::vector<std::string>{kBlank, kHttp}));
}

TEST(CheckStartPage, DefaultAddressWithAUsableFolderPasses) {
    QTemporaryDir tmp;
    engine::PlainJobView view;
    engine::THvxEngine engine(view);
    view.saveDirectory = tmp.path().toStdString() + "/Not/Yet/There";
    EXPECT_TRUE(CheckStartPage(engine));
    EXPECT_TRUE(view.dialogs.calls.empty());
    EXPECT_GT(engine.iDiskFree, 0);
    EXPECT_EQ(view.saveDirectory, tmp.path().toStdString() + "/Not/Yet/There")
        << "letter case is kept";
}

TEST(CheckStartPage, RelativeFolderIsAnInvalidDrive) {
    engine::PlainJobView view;
    engine::THvxEngine engine(view);
    view.startURL = "ftp://h.test/";
    view.saveDirectory = "relative/place";
    EXPECT_FALSE(CheckStartPage(engine));
    EXPECT_EQ(texts(view.dialogs), (std::vector<std::string>{kDrive, kHttp}));
    EXPECT_EQ(engine.iDiskFree, -1);
}

TEST(CheckStartPage, HomeFolderIsExpandedInTheSetting) {
    engine::PlainJobView view;
    engine::THvxEngine engine(view);
    view.startURL = "HTTP://h.test/";
    view.saveDirectory = "~/harvex-validation-check";
    EXPECT_TRUE(CheckStartPage(engine));
    EXPECT_EQ(view.saveDirectory.front(), '/');
    EXPECT_NE(view.saveDirectory.find("/harvex-validation-check"), std::string::npos);
}
