#include "app/recording_view.h"

#include <gtest/gtest.h>

#include "app/company_table.h"

namespace {

using app::RecordingView;

TEST(RecordingView, DialogsAnswerFromTheQueueThenCancel) {
    RecordingView v;
    v.queueOkCancel(true);
    v.queueFolder("/x");
    EXPECT_TRUE(v.askOkCancel("q1"));
    EXPECT_FALSE(v.askOkCancel("q2"));
    EXPECT_EQ(v.chooseFolder(), "/x");
    EXPECT_EQ(v.chooseFolder(), "");
    // After a close request every dialog closes by itself with Cancel, queue or not.
    v.queueOkCancel(true);
    v.close();
    EXPECT_FALSE(v.askOkCancel("q3"));
    EXPECT_EQ(v.ops(), (std::vector<std::string>{
                           "askOkCancel(\"q1\") -> OK", "askOkCancel(\"q2\") -> Cancel",
                           "chooseFolder() -> \"/x\"", "chooseFolder() -> \"\"", "close()",
                           "askOkCancel(\"q3\") -> Cancel (closing)"}));
}

TEST(RecordingView, UserActsWhileMessagesArePumped) {
    RecordingView v;
    int clicks = 0;
    v.onProcessMessages = [&] { ++clicks; };
    v.processMessages();
    v.processMessages();
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(v.processMessagesCount(), 2);
}

TEST(RecordingView, KeepsWhatAWindowWouldShow) {
    RecordingView v;
    EXPECT_FALSE(v.buttonEnabled(app::Button::btnFine)) << "Fine starts disabled";
    v.setTabVisible(app::Page::TabSheetFase01, app::Visibility::Hidden);
    v.setFontStyle(app::Label::LabelInstall, app::FontStyle::Bold);
    v.setScriptBarMax(7);
    v.setScriptBarPosition(3);
    v.setDownloadBarMax(1464);
    app::CompanyTable t;
    t.Open();
    t.Append({"Rossi", "OSF0102", "1.0", "2014a", true, false});
    v.companiesChanged(t, "2014b");
    EXPECT_FALSE(v.tabVisible(app::Page::TabSheetFase01));
    EXPECT_EQ(v.fontStyle(app::Label::LabelInstall), app::FontStyle::Bold);
    EXPECT_EQ(v.scriptBarMax(), 7);
    EXPECT_EQ(v.scriptBarPosition(), 3);
    EXPECT_EQ(v.downloadBarMax(), 1464);
    EXPECT_EQ(v.companyRowsShown(), 1u);
    EXPECT_EQ(v.ops().back(), "companiesChanged(open, 1 rows, \"2014b\")");
}

}  // namespace
