#include "app/frm_auto_update.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "app/recording_view.h"
#include "app/texts.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using app::RecordingView;
using app::TfrmAutoUpdate;
using testsupport::TempDir;

const std::string kPathInvalid(app::kTextPathInvalid);
const std::string kCheckFailed(app::kTextCheckUpdateFailed);

// A session whose Program Files folder and temporary base lie in a temp dir.
struct Session {
    TempDir dir;
    RecordingView view;
    TfrmAutoUpdate frm{view, settings()};

    host::HostSettings settings() const {
        host::HostSettings s;
        s.programFilesDir = dir.str() + "pf";
        s.tempRoot = dir.str() + "tmp";
        return s;
    }
    std::string defaultInstall() const {
        return dir.str() + "pf" + host::kPathDelim + "Ostrel" + host::kPathDelim;
    }
};

// Stands in for the version check that the HTTP client brings: it answers as told and counts
// how often phase 1 reached the survey.
class CheckedSession : public TfrmAutoUpdate {
  public:
    using TfrmAutoUpdate::TfrmAutoUpdate;
    bool checkAnswer = true;
    bool throwInCheck = false;
    std::function<void()> duringCheck;
    int surveys = 0;

    bool CheckUpdate() override {
        if (duringCheck) duringCheck();
        if (throwInCheck) throw std::runtime_error("boom");
        if (!checkAnswer) view().setCaption(app::Label::LabelStatus, kCheckFailed);
        return checkAnswer;
    }
    void LoadCompanies() override {
        ++surveys;
        TfrmAutoUpdate::LoadCompanies();
    }
};

TEST(FormCreate, WithoutConfigurationShowsTheInvalidPath) {
    Session s;
    s.frm.FormCreate();
    const std::string path = s.defaultInstall();
    EXPECT_EQ(s.frm.InstallPath, path);
    EXPECT_EQ(s.frm.LatestVID, "");
    EXPECT_EQ(s.view.ops(), (std::vector<std::string>{
                                "selectFirstPage()",
                                "setTabVisible(TabSheetFase02, Hidden)",
                                "setTabVisible(TabSheetFase03, Hidden)",
                                "setCaption(LabelStatus, \"\")",
                                "setButtonEnabled(btnAvanti, Disabled)",
                                "setCaption(LabelPercorso, \"" + path + "\")",
                                "setFontColor(LabelPercorso, Red)",
                                "setCaption(LabelStatus, \"" + kPathInvalid + "\")",
                                "setImageVisible(iPathOK, Hidden)",
                                "setImageVisible(iPathFAIL, Shown)",
                            }));
    EXPECT_TRUE(s.frm.DbSettings.Server.empty());
    EXPECT_FALSE(s.frm.TabMem.Active());
}

TEST(Fase01, ConfigurationFoundButNoVersionCheckFails) {
    Session s;
    s.dir.write("pf/Ostrel/config.ini", "[MySQL]\nSERVER=db7\nRootPass=\xFF```\n");
    s.frm.FormCreate();
    EXPECT_EQ(s.frm.DbSettings.Server, "db7");
    EXPECT_EQ(s.frm.DbSettings.RootPass, "abc");
    EXPECT_EQ(s.view.fontColor(app::Label::LabelPercorso), app::FontColor::WindowText);
    EXPECT_EQ(s.view.caption(app::Label::LabelStatus), kCheckFailed);
    EXPECT_TRUE(s.view.imageVisible(app::Image::iPathFAIL));
    EXPECT_FALSE(s.view.imageVisible(app::Image::iPathOK));
    EXPECT_FALSE(s.view.buttonEnabled(app::Button::btnAvanti));
    EXPECT_FALSE(s.frm.TabMem.Active()) << "the survey runs only after a successful check";
}

TEST(Fase01, SuccessfulCheckRunsTheSurveyAndEnablesAvanti) {
    TempDir dir;
    dir.write("inst/config.ini", "[MySQL]\n");
    RecordingView view;
    CheckedSession frm(view, {});
    frm.InstallPath = dir.str() + "inst/";
    frm.fase01();
    EXPECT_EQ(frm.surveys, 1);
    EXPECT_TRUE(view.imageVisible(app::Image::iPathOK));
    EXPECT_FALSE(view.imageVisible(app::Image::iPathFAIL));
    EXPECT_TRUE(view.buttonEnabled(app::Button::btnAvanti));
    EXPECT_EQ(view.caption(app::Label::LabelStatus), "");
    // Without a database the survey ends at the connection: table open, empty, shown.
    EXPECT_TRUE(frm.TabMem.Active());
    EXPECT_EQ(frm.TabMem.RecordCount(), 0u);
    EXPECT_EQ(view.ops().back(), "setButtonEnabled(btnAvanti, Enabled)");
}

TEST(Fase01, FailureEscapingAStepLeavesPageOneFailed) {
    TempDir dir;
    dir.write("inst/config.ini", "");
    RecordingView view;
    CheckedSession frm(view, {});
    frm.throwInCheck = true;
    frm.InstallPath = dir.str() + "inst/";
    EXPECT_NO_THROW(frm.fase01());
    EXPECT_EQ(frm.surveys, 0);
    EXPECT_TRUE(view.imageVisible(app::Image::iPathFAIL));
    EXPECT_FALSE(view.buttonEnabled(app::Button::btnAvanti));
}

TEST(IPathFAILClick, CancelChangesNothing) {
    Session s;
    s.frm.FormCreate();
    s.view.clearOps();
    s.frm.iPathFAILClick();
    EXPECT_EQ(s.frm.InstallPath, s.defaultInstall());
    EXPECT_EQ(s.view.ops(), (std::vector<std::string>{"chooseFolder() -> \"\""}));
}

TEST(IPathFAILClick, ChosenFolderGetsASeparatorAndRerunsPhaseOne) {
    TempDir dir;
    dir.write("D/Ostrel/config.ini", "[MySQL]\n");
    RecordingView view;
    CheckedSession frm(view, {});
    frm.FormCreate();  // default path /opt/Ostrel/: no configuration there
    ASSERT_EQ(view.caption(app::Label::LabelStatus), kPathInvalid);

    const std::string chosen = dir.str() + "D" + host::kPathDelim + "Ostrel";
    view.queueFolder(chosen);
    frm.iPathFAILClick();
    EXPECT_EQ(frm.InstallPath, chosen + host::kPathDelim);
    EXPECT_EQ(view.caption(app::Label::LabelPercorso), chosen + host::kPathDelim);
    EXPECT_TRUE(view.buttonEnabled(app::Button::btnAvanti));
    // The earlier failure text would contradict a page that says all is well.
    EXPECT_EQ(view.caption(app::Label::LabelStatus), "");

    const std::string root = host::kPathDelim == '/' ? "/" : "C:\\";
    view.queueFolder(root);
    frm.iPathFAILClick();
    EXPECT_EQ(frm.InstallPath, root) << "a root keeps its single separator";
}

TEST(IPathFAILClick, IgnoredWhilePhaseOneRuns) {
    TempDir dir;
    dir.write("inst/config.ini", "");
    RecordingView view;
    CheckedSession frm(view, {});
    frm.InstallPath = dir.str() + "inst/";
    view.queueFolder("/elsewhere");
    // A click that arrives while phase 1 pumps messages during its version check.
    frm.duringCheck = [&] { frm.iPathFAILClick(); };
    frm.fase01();
    EXPECT_EQ(frm.InstallPath, dir.str() + "inst/");
    EXPECT_EQ(frm.surveys, 1);
    for (const std::string& op : view.ops()) EXPECT_EQ(op.find("chooseFolder"), std::string::npos);
}

TEST(AddLog, NewestOnTopEachPumping) {
    Session s;
    s.frm.AddLog("A");
    s.frm.AddLog("B");
    s.frm.AddLog("C");
    s.frm.AddLog("");
    EXPECT_EQ(s.view.logLines(), (std::vector<std::string>{">> ", ">> C", ">> B", ">> A"}));
    EXPECT_EQ(s.view.processMessagesCount(), 4);
    // Only the one-character NUL text clears; NUL inside a longer text is logged.
    s.frm.AddLog(std::string("a\0b", 3));
    EXPECT_EQ(s.view.logLines().size(), 5u);
    s.frm.AddLog(std::string(1, '\0'));
    EXPECT_TRUE(s.view.logLines().empty());
    EXPECT_EQ(s.view.processMessagesCount(), 6);
    EXPECT_EQ(s.view.ops().back(), "processMessages()");
}

TEST(RunLog, SavedNewestFirstInWindows1252WithCrLf) {
    Session s;
    s.frm.AddLog("Stop QL Services");
    s.frm.AddLog("Copy update dirercory in /opt/");
    s.frm.AddLog("caff\xC3\xA8 \xE2\x82\xAC \xE4\xB8\xAD");  // è, €, and a character 1252 lacks
    std::string file = s.dir.str() + "V.201405121530.uplog";
    s.dir.write("V.201405121530.uplog", "an older, longer file that must be replaced whole");
    ASSERT_TRUE(s.view.saveLogToFile(file));
    EXPECT_EQ(testsupport::readFile(file),
              ">> caff\xE8 \x80 ?\r\n>> Copy update dirercory in /opt/\r\n>> Stop QL Services\r\n");
    EXPECT_FALSE(s.view.saveLogToFile(s.dir.str() + "no/such/folder/x.uplog"));
}

TEST(DeleteTmpDir, NoOpsAndRemoval) {
    Session s;
    s.frm.DeleteTmpDir();  // DR empty before phase 2
    s.frm.DR = s.dir.str() + "gone/";
    s.frm.DeleteTmpDir();  // names no folder
    auto file = s.dir.write("afile", "x");
    s.frm.DR = file.string() + "/";
    s.frm.DeleteTmpDir();  // names a file, not a folder
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(s.view.ops().empty()) << "nothing is shown or logged";

    s.dir.write("tmp/abc/Ostrel/x.txt", "x");
    s.frm.DR = s.dir.str() + "tmp/abc/";
    s.frm.DeleteTmpDir();
    EXPECT_FALSE(fs::exists(s.dir.path() / "tmp/abc"));
    EXPECT_TRUE(fs::exists(s.dir.path() / "tmp"));
    EXPECT_EQ(s.frm.DR, s.dir.str() + "tmp/abc/") << "DR keeps its value";
}

TEST(BtnEsciClick, ClosesTheWindowOnly) {
    Session s;
    s.dir.write("tmp/left/x", "x");
    s.frm.DR = s.dir.str() + "tmp/left/";
    s.frm.btnEsciClick();
    s.frm.FormDestroy();
    EXPECT_EQ(s.view.ops(), (std::vector<std::string>{"close()"}));
    EXPECT_TRUE(fs::exists(s.dir.path() / "tmp/left/x")) << "the temporary folder stays";
}

}  // namespace
