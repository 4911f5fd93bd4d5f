// Smoke tests of the real Qt windows on the offscreen platform: the editor driven through
// its controls, the progress and preview windows' keys and layout, and the message boxes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <set>

#include "app/startup.h"
#include "host/desktop.h"
#include "host/random_source.h"
#include "platform/linux/qt_image_decoder.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_reactor.h"
#include "platform/posix/posix_run_guard.h"
#include "platform/posix/posix_socket.h"
#include "platform/posix/posix_timer.h"
#include "posix/loopback_server.h"
#include "posix/temp_dir.h"
#include "settings/settings_file.h"
#include "support/fakes.h"
#include "ui/editor.h"
#include "ui/preview_presenter.h"
#include "ui/qt/editor_window.h"
#include "ui/qt/floating_window.h"
#include "ui/qt/front_end.h"
#include "ui/qt/preview_window.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/qt_dialogs.h"
#include "ui/qt/qt_event_pump.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/twips.h"

namespace vexal {
namespace {

using testing::RecordingDialogs;
using testing::RecordingProcess;
using testing::TempDir;

// A run of the program in a fresh folder: the settings file is a real file there.
struct QtFixture : ::testing::Test {
    TempDir dir;
    std::filesystem::path previousFolder = std::filesystem::current_path();
    Program program;
    RecordingDialogs dialogs;
    RecordingProcess process;
    PosixFileSystem files;
    QtEventPump pump;
    Host host;
    RunController controller{program, host};
    std::unique_ptr<QtFrontEnd> frontEnd;

    QtFixture() {
        std::filesystem::current_path(dir.path());
        InitGlobals(program, 1, 0);
        program.NewMsg = "(新規)";
        host.dialogs = &dialogs;
        host.process = &process;
        host.files = &files;
        host.pump = &pump;
        frontEnd = std::make_unique<QtFrontEnd>(program, host, controller);
    }
    ~QtFixture() override {
        frontEnd.reset();
        std::filesystem::current_path(previousFolder);
    }
    void AddEntry(const std::string& name, const std::string& url) {
        SiteEntry e;
        e.Name = name;
        e.Url = url;
        e.No_n = 1;
        program.SiteEntries.push_back(e);
    }
    QtEditorWindow& Editor() {
        frontEnd->ShowEditor();
        return *frontEnd->editorWindow();
    }
    bool SettingsWritten() { return std::filesystem::exists(dir / "vexal.ini"); }
    Program Saved() {
        Program p;
        InitGlobals(p, 1, 0);
        EXPECT_TRUE(LoadSettings(p, files).Read());
        return p;
    }
};

// Presses the upper (+1) or lower (-1) arrow of the spin.
void ClickSpin(QScrollBar* spin, int direction) {
    const int y = direction > 0 ? 2 : spin->height() - 3;
    QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, QPoint(spin->width() / 2, y));
}

// Chooses item `index` of the drop-down list as a user does: opens the list, moves to the
// item and presses Enter.
void Choose(QComboBox* list, int index) {
    list->showPopup();
    QAbstractItemView* view = list->view();
    view->setCurrentIndex(list->model()->index(index, 0));
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_FALSE(view->isVisible()) << "the list stayed open";
}

// A control's caption, whatever kind of control it is.
QString CaptionOf(const QWidget* control) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(control)) return frame->title();
    if (const auto* label = qobject_cast<const QLabel*>(control)) return label->text();
    return {};
}

struct ControlTexts {
    const char* name;
    QWidget* control;
    const char* caption;
    const char* tip = "";
};

// Each row's caption and tool tip as the window shows them; a control outside the table
// has no tool tip.
void ExpectTexts(QWidget* window, const std::vector<ControlTexts>& rows) {
    std::set<const QWidget*> listed;
    for (const ControlTexts& row : rows) {
        ASSERT_NE(row.control, nullptr) << row.name;
        listed.insert(row.control);
        EXPECT_EQ(CaptionOf(row.control), QString::fromUtf8(row.caption)) << row.name;
        EXPECT_EQ(row.control->toolTip(), QString::fromUtf8(row.tip)) << row.name;
    }
    for (const QWidget* child : window->findChildren<QWidget*>())
        if (!listed.count(child)) {
            EXPECT_TRUE(child->toolTip().isEmpty()) << child->metaObject()->className();
        }
}

// The controls Tab visits, starting at `first`, until it comes back there.
std::vector<QWidget*> TabCycle(QWidget* window, QWidget* first) {
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    first->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> visited{QApplication::focusWidget()};
    for (int i = 0; i < 100; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == first) break;
        visited.push_back(QApplication::focusWidget());
    }
    return visited;
}

TEST_F(QtFixture, EditorShowsItsControlsInTheirLayout) {
    AddEntry("a", "/a/");
    QtEditorWindow& w = Editor();
    EXPECT_EQ(w.windowTitle(), "vexal 1.00");
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.cbSelect->count(), 2);
    EXPECT_EQ(w.cbSelect->itemText(0), "(新規)");
    EXPECT_EQ(w.cbSelect->currentIndex(), 0);
    EXPECT_FALSE(w.cbSelect->isEditable());
    // txNo with the spin sits inside the blank of its option's caption, txFnAdd inside the
    // other, each right of the option's round button.
    for (QWidget* inBlank : {static_cast<QWidget*>(w.txNo), static_cast<QWidget*>(w.scNo)})
        EXPECT_TRUE(w.opNo[0]->geometry().contains(inBlank->geometry().center()));
    EXPECT_LT(w.txNo->geometry().right(), w.scNo->geometry().left());
    EXPECT_TRUE(w.opNo[1]->geometry().contains(w.txFnAdd->geometry().center()));
    // Layout order: list row, URL, rule / extension / style frames, choice frame, comment, run row.
    auto y = [&w](QWidget* c) { return c->mapTo(&w, QPoint(0, 0)).y(); };
    auto x = [&w](QWidget* c) { return c->mapTo(&w, QPoint(0, 0)).x(); };
    EXPECT_LT(y(w.cbSelect), y(w.txUrl));
    EXPECT_LT(x(w.txUrl), x(w.cbBrowseFile));
    EXPECT_LT(x(w.cbBrowseFile), x(w.cbBrowseFolder));
    for (QWidget* browse : {w.cbBrowseFile, w.cbBrowseFolder}) {
        const int middle = y(browse) + browse->height() / 2;
        EXPECT_TRUE(middle > y(w.txUrl) && middle < y(w.txUrl) + w.txUrl->height()) << "beside the address";
    }
    EXPECT_LT(x(w.cbSelect), x(w.cbTouroku));
    EXPECT_LT(x(w.cbTouroku), x(w.cbDelete));
    EXPECT_LT(y(w.txUrl), y(w.Frame3));
    EXPECT_LT(x(w.Frame3), x(w.Frame2));
    EXPECT_LT(x(w.Frame2), x(w.Frame5));
    EXPECT_LT(y(w.Frame2), y(w.Frame4));
    EXPECT_LT(y(w.Frame5), y(w.Frame4));
    EXPECT_LT(y(w.Frame4), y(w.txComment));
    // The schedule's row below the comment: its caption, its choice, then the last run.
    EXPECT_LT(y(w.txComment), y(w.cbSchedule));
    EXPECT_LT(y(w.cbSchedule), y(w.cbPreview));
    EXPECT_LT(x(w.lbSchedule), x(w.cbSchedule));
    EXPECT_LT(x(w.cbSchedule), x(w.lbLastRun));
    // The width reads as one line below the options: caption, box, caption.
    EXPECT_LT(y(w.opNo[2]), y(w.txMinWidth));
    EXPECT_LT(x(w.lbMinWidthLead), x(w.txMinWidth));
    EXPECT_LT(x(w.txMinWidth), x(w.lbMinWidthTail));
    EXPECT_LT(y(w.txMinWidth), y(w.txComment));
    EXPECT_LT(x(w.cbPreview), x(w.cbSetWP));
    EXPECT_LT(x(w.cbSetWP), x(w.cbEnd));
}

// The colour button asks for a colour, shows it, and the entry saved carries it.
TEST_F(QtFixture, ColourButtonGivesTheEntryItsOwnColour) {
    AddEntry("a", "/a/");
    QtEditorWindow& w = Editor();
    Choose(w.cbSelect, 1);
    dialogs.colours = {0x1E3A5F};
    QTest::mouseClick(w.cbBackColour, Qt::LeftButton);
    EXPECT_TRUE(w.ckBackColour->isChecked());
    EXPECT_EQ(w.cbBackColour->icon().pixmap(w.cbBackColour->iconSize()).toImage().pixel(4, 4) & 0xFFFFFFu,
              0x1E3A5Fu);
    QTest::mouseClick(w.cbEnd, Qt::LeftButton);
    ASSERT_TRUE(SettingsWritten());
    EXPECT_EQ(Saved().SiteEntries[1].Background, 0x1E3A5Fu);
}

TEST_F(QtFixture, EveryCaptionAndToolTipOfTheThreeWindows) {
    QtEditorWindow& w = Editor();
    const char* kBackColourTip =
        "中央に表示・画面のサイズに合わせるとき画像の周りに見える色です。外すとデスクトップの色のままです。";
    // The status line names the settings file by its full path.
    const std::string settingsPath = dir.path() + "/vexal.ini";
    const std::string settingsLine = "設定ファイル: " + settingsPath;
    ExpectTexts(
        &w,
        {
            {"cbTouroku", w.cbTouroku, "新規登録"},
            {"cbDelete", w.cbDelete, "削除"},
            {"Frame1", w.Frame1, ""},
            {"Label1", w.Label1, "URL / ファイル名"},
            {"cbBrowseFile", w.cbBrowseFile, "参照…",
             "画像・ページ・リストのファイルを選んで URL / ファイル名 に入れます。"},
            {"cbBrowseFolder", w.cbBrowseFolder, "フォルダー…",
             "画像のあるフォルダーを選んで URL / ファイル名 に入れます。"},
            {"Frame3", w.Frame3, "抽出条件"},
            {"ckFilter(0)", w.ckFilter[0], "<body background=\"～\">", "背景として使われている画像"},
            {"ckFilter(1)", w.ckFilter[1], "<img src=\"～\">", "直接画面上に貼られた画像"},
            {"ckFilter(2)", w.ckFilter[2], "<a href=\"～\">", "指定htmlファイルからリンクされている画像"},
            {"ckFilter(3)", w.ckFilter[3], "http://～", "タグに関係無く、書かれているURL全て"},
            {"ckFilter(4)", w.ckFilter[4], "指定ファイル中の全行",
             "生のテキストファイルを指定した際に利用出来ます。"},
            {"ckFilter(5)", w.ckFilter[5], "サブフォルダも含める",
             "指定したフォルダ以下のサブフォルダに存在する画像ファイルも全て候補とします。"},
            {"ckFilter(6)", w.ckFilter[6], "ページの代表画像",
             "ページ自身が代表として示す画像（og:image など）を、他のどの候補よりも先に候補とします。"},
            {"Frame2", w.Frame2, "抽出形式"},
            {"ckExt(0)", w.ckExt[0], "GIF"},
            {"ckExt(1)", w.ckExt[1], "JPG"},
            {"ckExt(2)", w.ckExt[2], "PNG"},
            {"ckExt(3)", w.ckExt[3], "BMP"},
            {"ckExt(4)", w.ckExt[4], "WebP",
             "WebP のほか AVIF、HEIC/HEIF、JPEG XL、SVG の画像も候補にします。"},
            {"Frame5", w.Frame5, "壁紙の設定"},
            {"opWp(0)", w.opWp[0], "中央に表示"},
            {"opWp(1)", w.opWp[1], "並べて表示"},
            {"opWp(2)", w.opWp[2], "拡大して表示"},
            {"opWp(3)", w.opWp[3], "ページ幅に合わせる"},
            {"opWp(4)", w.opWp[4], "画面のサイズに合わせる"},
            {"ckEachScreen", w.ckEachScreen, "画面ごとに別の画像",
             "画面が複数あるとき、候補から画面の数だけ画像を選び、それぞれの画面に表示します。"},
            {"ckBackColour", w.ckBackColour, "背景色", kBackColourTip},
            {"cbBackColour", w.cbBackColour, "色…", kBackColourTip},
            {"Frame4", w.Frame4, "候補から選択する際の条件"},
            {"opNo(0)", w.opNo[0], "\u3000\u3000\u3000\u3000\u3000\u3000\u3000番目のファイルを選択する",
             "指定した番目に見つけたファイルを採用します。"},
            {"opNo(1)", w.opNo[1], "ファイル名に文字\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000を含む",
             "指定した文字列がファイル名に入っているファイルのうち、始めに見つかったファイルを選択します。"},
            {"opNo(2)", w.opNo[2], "全ての候補ファイルからランダムで選ぶ",
             "全ての候補ファイルからランダムで選択します。"},
            {"lbMinWidthLead", w.lbMinWidthLead, "幅"},
            {"txMinWidth", w.txMinWidth, "",
             "これより幅の狭い画像や、取得・読み込みのできない候補は飛ばして次の候補を使います。0 "
             "なら飛ばしません。"},
            {"lbMinWidthTail", w.lbMinWidthTail, "ピクセル未満の画像は使わない"},
            {"Label2", w.Label2, "コメント"},
            {"lbSchedule", w.lbSchedule, "自動変更"},
            {"cbSchedule", w.cbSchedule, "",
             "保存すると、この項目での壁紙の変更をシステムのスケジューラに登録します。vexal "
             "は常駐しません。"},
            {"lbLastRun", w.lbLastRun, ""},
            {"cbPreview", w.cbPreview, "プレビュー"},
            {"cbSetWP", w.cbSetWP, "壁紙に設定"},
            {"cbEnd", w.cbEnd, "終了"},
            {"lbSettingsFile", w.lbSettingsFile, settingsLine.c_str(), settingsPath.c_str()},
        });

    frontEnd->LoadRetrievalWindows();
    QtProgressWindow& progress = *frontEnd->progressWindow();
    progress.ShowWindow();
    EXPECT_EQ(progress.windowTitle(), "vexal 1.00");
    ExpectTexts(&progress, {{"lbMsg", progress.lbMsg, ""},
                            {"lbBytes", progress.lbBytes, ""},
                            {"cbCancel", progress.cbCancel, "キャンセル"}});

    QtPreviewWindow& preview = *frontEnd->previewWindow();
    frontEnd->preview()->ShowWindow();
    EXPECT_EQ(preview.windowTitle(), "vexal 1.00");
    ExpectTexts(&preview, {{"cbSetWP", preview.cbSetWP, "壁紙に設定する"},
                           {"cbCancel", preview.cbCancel, "キャンセル"},
                           {"cbRetry", preview.cbRetry, "もう一度検索する"}});
}

// The windows made for a user whose language is not Japanese carry the English captions,
// the blank for the choice's boxes included.
TEST(QtLanguageTest, WindowsSpeakTheChosenLanguage) {
    QtEditorWindow editor(Language::English);
    EXPECT_EQ(CaptionOf(editor.cbEnd), "Exit");
    EXPECT_EQ(CaptionOf(editor.cbSetWP), "Set Wallpaper");
    EXPECT_EQ(CaptionOf(editor.Frame4), "Choosing among the candidates");
    EXPECT_TRUE(CaptionOf(editor.opNo[1]).startsWith("Name contains \u3000"));
    EXPECT_EQ(editor.cbSchedule->itemText(0), "Never");
    EXPECT_EQ(editor.cbSchedule->count(), 8);
    editor.hide();
    QtPreviewWindow preview(Language::English);
    EXPECT_EQ(CaptionOf(preview.cbSetWP), "Set Wallpaper");
    EXPECT_EQ(CaptionOf(preview.cbRetry), "Search Again");
    Program program;
    program.UserLanguage = Language::English;
    QtProgressWindow progress(program);
    EXPECT_EQ(CaptionOf(progress.cbCancel), "Cancel");
}

TEST(QtTabOrderTest, TabFollowsTheLayoutOfEachWindow) {
    // The windows on their own, so that every control is enabled and takes part.
    QtEditorWindow w;
    // A group of option buttons is one stop, its selected button (the first while none is);
    // the arrow keys move within it.
    const std::vector<QWidget*> editorOrder = {
        w.cbSelect,    w.cbTouroku,    w.cbDelete,     w.txUrl,        w.cbBrowseFile, w.cbBrowseFolder,
        w.ckFilter[0], w.ckFilter[1],  w.ckFilter[2],  w.ckFilter[3],  w.ckFilter[4],  w.ckFilter[5],
        w.ckFilter[6], w.ckExt[0],     w.ckExt[1],     w.ckExt[2],     w.ckExt[3],     w.ckExt[4],
        w.opWp[0],     w.ckEachScreen, w.ckBackColour, w.cbBackColour, w.opNo[0],      w.txNo,
        w.txFnAdd,     w.txMinWidth,   w.txComment,    w.cbSchedule,   w.cbPreview,    w.cbSetWP,
        w.cbEnd};
    EXPECT_EQ(TabCycle(&w, w.cbSelect), editorOrder);
    w.hide();

    // The preview's buttons keep their own order: install, give up, search again.
    QtPreviewWindow preview;
    preview.SetSetWPEnabled(true);
    EXPECT_EQ(TabCycle(&preview, preview.cbSetWP),
              (std::vector<QWidget*>{preview.cbSetWP, preview.cbCancel, preview.cbRetry}));
}

TEST_F(QtFixture, LongFieldsSurviveSelectionAndEnd) {
    // Regression: the line edits cut every text at 32,767 characters, so selecting an entry
    // with a long address and pressing 終了 saved the address cut.
    const std::string url = "http://example.com/" + std::string(40000, 'u') + ".html";
    const std::string refstr(40000, 'r');
    AddEntry("long", url);
    program.SiteEntries[1].Refstr = refstr;
    QtEditorWindow& w = Editor();
    Choose(w.cbSelect, 1);
    EXPECT_EQ(w.txUrl->text().size(), static_cast<qsizetype>(url.size()));
    QTest::mouseClick(w.cbEnd, Qt::LeftButton);
    ASSERT_TRUE(SettingsWritten());
    const Program saved = Saved();
    ASSERT_EQ(saved.EntryCount(), 1);
    // Compared whole, reported by length: a 40,000-character difference is no reading.
    EXPECT_TRUE(saved.SiteEntries[1].Url == url) << saved.SiteEntries[1].Url.size();
    EXPECT_TRUE(saved.SiteEntries[1].Refstr == refstr) << saved.SiteEntries[1].Refstr.size();
}

TEST_F(QtFixture, ChoosingTheSelectedItemAgainRunsTheSelection) {
    // Regression: only a change of the selection reached the presenter, so choosing the
    // item already selected did nothing.
    AddEntry("a", "/a/");
    QtEditorWindow& w = Editor();
    QTest::keyClicks(w.txUrl, "typed");
    Choose(w.cbSelect, 0);
    EXPECT_EQ(w.txUrl->text(), "") << "the new-entry item starts from the defaults again";

    Choose(w.cbSelect, 1);
    w.txNo->selectAll();
    QTest::keyClicks(w.txNo, "7.5");
    Choose(w.cbSelect, 1);
    EXPECT_EQ(program.SiteEntries[1].No_n, 8) << "the entry took the edit";
    EXPECT_EQ(w.txNo->text(), "8") << "and is shown again";
}

TEST_F(QtFixture, RegisterSelectDeleteAndSpinThroughTheControls) {
    AddEntry("a", "/a/");
    QtEditorWindow& w = Editor();

    QTest::keyClicks(w.txUrl, "/tmp/pics/");
    EXPECT_TRUE(w.ckFilter[5]->isEnabled()) << "a folder enables only the subfolder rule";
    EXPECT_FALSE(w.ckFilter[0]->isEnabled());
    QTest::mouseClick(w.ckFilter[5], Qt::LeftButton);
    QTest::mouseClick(w.ckExt[1], Qt::LeftButton);
    dialogs.inputs = {"my site", "pics"};
    QTest::mouseClick(w.cbTouroku, Qt::LeftButton);
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"登録する識別子を入力してください",
                                                         "識別子に空白文字は使用出来ません。",
                                                         "登録する識別子を入力してください"}));
    ASSERT_EQ(w.cbSelect->count(), 3);
    EXPECT_EQ(w.cbSelect->itemText(2), "pics");
    // The new entry is selected, as registered.
    EXPECT_EQ(w.cbSelect->currentIndex(), 2);
    ASSERT_EQ(program.EntryCount(), 2);
    EXPECT_EQ(program.SiteEntries[2].Url, "/tmp/pics/");
    EXPECT_TRUE(program.SiteEntries[2].Filter[5]);

    // A name that differs from a registered one only in letter case is asked about; No
    // gives the input box back.
    Choose(w.cbSelect, 0);
    dialogs.boxes.clear();
    dialogs.inputs = {"PICS"};
    QTest::mouseClick(w.cbTouroku, Qt::LeftButton);
    ASSERT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes[1].kind, "yesno");
    EXPECT_EQ(w.cbSelect->count(), 3);

    // Choosing an entry with the keyboard shows it.
    QTest::keyClick(w.cbSelect, Qt::Key_Down);
    EXPECT_EQ(w.txUrl->text(), "/a/");
    QTest::keyClick(w.cbSelect, Qt::Key_Down);
    EXPECT_EQ(w.txUrl->text(), "/tmp/pics/");
    EXPECT_TRUE(w.ckFilter[5]->isChecked());
    EXPECT_TRUE(w.cbDelete->isEnabled());
    EXPECT_FALSE(w.cbTouroku->isEnabled());

    // The spin: up from 1 gives 2; down three times stops at 0.
    ClickSpin(w.scNo, +1);
    EXPECT_EQ(w.txNo->text(), "2");
    EXPECT_EQ(w.scNo->value(), 0);
    for (int i = 0; i < 3; ++i) ClickSpin(w.scNo, -1);
    EXPECT_EQ(w.txNo->text(), "0");

    // Deleting asks first; No keeps the entry, Yes removes it and shows the new-entry state.
    dialogs.boxes.clear();
    QTest::mouseClick(w.cbDelete, Qt::LeftButton);
    EXPECT_EQ(w.cbSelect->count(), 3);
    dialogs.yesNoAnswers = {true};
    QTest::mouseClick(w.cbDelete, Qt::LeftButton);
    EXPECT_EQ(dialogs.Texts()[1], "登録されている識別子 pics を削除します。よろしいですか？");
    EXPECT_EQ(w.cbSelect->count(), 2);
    EXPECT_EQ(w.cbSelect->currentIndex(), 0);
    EXPECT_EQ(w.txUrl->text(), "");
    EXPECT_EQ(w.txNo->text(), "1");
    EXPECT_FALSE(SettingsWritten());
}

TEST_F(QtFixture, EndButtonWritesTheSettingsFileWithTheEdits) {
    AddEntry("a", "/a/");
    AddEntry("b", "/b/");
    QtEditorWindow& w = Editor();
    // The arrow keys walk the style buttons down to fill, choosing as they go (with the
    // window active again after the list's popup).
    Choose(w.cbSelect, 1);
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.opWp[0]->setFocus();
    for (int i = 0; i < 3; ++i) QTest::keyClick(w.opWp[i], Qt::Key_Down);
    EXPECT_TRUE(w.opWp[3]->isChecked());
    Choose(w.cbSelect, 2);
    QTest::keyClicks(w.txComment, "memo");
    w.txComment->moveCursor(QTextCursor::End);
    QTest::keyClick(w.txComment, Qt::Key_Return);
    QTest::keyClicks(w.txComment, "two");
    QTest::mouseClick(w.opWp[1], Qt::LeftButton, Qt::NoModifier, QPoint(6, w.opWp[1]->height() / 2));
    EXPECT_EQ(w.cbSchedule->count(), 8);
    EXPECT_EQ(w.cbSchedule->itemText(1), "15分ごと");
    EXPECT_EQ(w.cbSchedule->itemText(7), "ログオン時");
    Choose(w.cbSchedule, 1);
    QTest::mouseClick(w.cbEnd, Qt::LeftButton);
    EXPECT_TRUE(process.ended);
    EXPECT_EQ(process.status, kExitSuccess);
    ASSERT_TRUE(SettingsWritten());
    const Program saved = Saved();
    ASSERT_EQ(saved.EntryCount(), 2);
    EXPECT_EQ(saved.SiteEntries[2].Comment, "memo\r\ntwo");
    EXPECT_EQ(saved.SiteEntries[2].WpState, WallpaperStyle::Tiled);
    EXPECT_EQ(saved.SiteEntries[1].WpState, WallpaperStyle::Fill);
    EXPECT_EQ(saved.SiteEntries[1].Url, "/a/");
    EXPECT_EQ(saved.SiteEntries[2].Schedule, ScheduleKind::Every15Minutes);
    EXPECT_EQ(saved.SiteEntries[1].Schedule, ScheduleKind::Never);
}

// Regression: 終了 wrote the editor's own settings and entries over what was changed by
// hand while it was open, and over a file that could no longer be read.
TEST_F(QtFixture, EndKeepsHandEditsAndNeverWritesOverAnUnreadableFile) {
    const std::string read =
        "'vexal   ver.1.00\r\n; by hand\r\n\r\nNewMsg = (new)\r\nTimeOut = 30\r\n-\r\nName = a\r\n"
        "Url = /a/\r\nComment = \r\nCustom = kept\r\n";
    auto write = [&](const std::string& bytes) {
        std::ofstream(dir / "vexal.ini", std::ios::binary) << bytes;
    };
    auto slurp = [&] {
        std::ifstream in(dir / "vexal.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    write(read);
    ASSERT_TRUE(LoadSettings(program, files).Read());
    QtEditorWindow& w = Editor();
    Choose(w.cbSelect, 1);

    // A file that cannot be read now (made a folder meanwhile) is not replaced, and the
    // editor stays.
    std::filesystem::remove(dir / "vexal.ini");
    std::filesystem::create_directory(dir / "vexal.ini");
    QTest::mouseClick(w.cbEnd, Qt::LeftButton);
    EXPECT_FALSE(process.ended);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("フォルダー"), std::string::npos) << dialogs.boxes[0].text;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "vexal.ini"));

    // Untouched here, changed by hand: the file stays byte for byte as the hand left it.
    std::filesystem::remove(dir / "vexal.ini");
    const std::string byHand =
        "'vexal   ver.1.00\n; by hand\n\nNewMsg = (new)\nTimeOut = 90\n-\nName = a\n"
        "Url = /a/\nComment = \nCustom = kept\n";
    write(byHand);
    QTest::mouseClick(w.cbEnd, Qt::LeftButton);
    EXPECT_TRUE(process.ended);
    EXPECT_EQ(process.status, kExitSuccess);
    EXPECT_EQ(slurp(), byHand);
}

// Regression: QApplication applies the environment's locale to the C library, and under
// a comma-decimal locale the number box read "3.5" as 3. The suite is also run under
// de_DE.UTF-8 (see CMakeLists.txt), where this fails without locale-independent reading.
TEST_F(QtFixture, NumberBoxReadsAPointWhateverTheLocale) {
    AddEntry("a", "/a/");
    QtEditorWindow& w = Editor();
    Choose(w.cbSelect, 1);
    w.txNo->setText("2.5");
    ClickSpin(w.scNo, +1);
    EXPECT_EQ(w.txNo->text(), "4") << "2.5 + 1 rounds half to even";
    w.txNo->setText("3.5");
    QTest::mouseClick(w.cbEnd, Qt::LeftButton);
    ASSERT_TRUE(SettingsWritten());
    EXPECT_EQ(Saved().SiteEntries[1].No_n, 4);
}

TEST_F(QtFixture, CloseBoxWithoutChangesEndsWithoutWritingTheSettingsFile) {
    AddEntry("a", "/a/");
    QtEditorWindow& w = Editor();
    Choose(w.cbSelect, 1);
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(process.ended);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(SettingsWritten());
}

// Regression: closing the window after edits lost them without a word. The close box
// asks: Cancel keeps the window open, No ends without writing, Yes writes first.
TEST_F(QtFixture, CloseBoxAfterChangesAsksWhetherToSave) {
    AddEntry("a", "/a/");
    QtEditorWindow& w = Editor();
    Choose(w.cbSelect, 1);
    QTest::keyClicks(w.txUrl, "changed");
    dialogs.answers = {Answer::Cancel};
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(process.ended);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].kind + dialogs.boxes[0].text,
              "yesnocancel登録内容の変更が保存されていません。\r\n保存してから閉じますか？");
    dialogs.answers = {Answer::No};
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(process.ended);
    EXPECT_FALSE(SettingsWritten());
}

TEST_F(QtFixture, CloseBoxSavesWhenAskedTo) {
    QtEditorWindow& w = Editor();
    QTest::keyClicks(w.txUrl, "/tmp/new/");
    QTest::mouseClick(w.ckExt[1], Qt::LeftButton);
    dialogs.inputs = {"fresh"};
    QTest::mouseClick(w.cbTouroku, Qt::LeftButton);
    dialogs.answers = {Answer::Yes};
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(process.ended);
    ASSERT_TRUE(SettingsWritten());
    ASSERT_EQ(Saved().EntryCount(), 1);
    EXPECT_EQ(Saved().SiteEntries[1].Url, "/tmp/new/");
}

// Regression: an entry typed into the new-entry form and never registered was dropped by
// the end button without a word.
TEST_F(QtFixture, EndWithAFilledNewEntryFormAsksToRegisterIt) {
    AddEntry("a", "/a/");
    QtEditorWindow& w = Editor();
    QTest::keyClicks(w.txComment, "typed");
    dialogs.answers = {Answer::Cancel};
    QTest::mouseClick(w.cbEnd, Qt::LeftButton);
    EXPECT_FALSE(process.ended);
    EXPECT_EQ(dialogs.Texts(),
              (std::vector<std::string>{"新規の項目が登録されていません。\r\n登録してから終了しますか？"}));
    dialogs.answers = {Answer::Yes};
    dialogs.inputs = {"typed"};
    QTest::mouseClick(w.cbEnd, Qt::LeftButton);
    EXPECT_TRUE(process.ended);
    const Program saved = Saved();
    ASSERT_EQ(saved.EntryCount(), 2);
    EXPECT_EQ(saved.SiteEntries[2].Name, "typed");
    EXPECT_EQ(saved.SiteEntries[2].Comment, "typed");
}

TEST_F(QtFixture, EmptyUrlKeepsTheEditorOpen) {
    QtEditorWindow& w = Editor();
    QTest::mouseClick(w.cbPreview, Qt::LeftButton);
    QTest::mouseClick(w.cbSetWP, Qt::LeftButton);
    EXPECT_EQ(dialogs.Texts(),
              (std::vector<std::string>{"URL/ファイル が空欄です。", "URL/ファイルが空欄です。"}));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(SettingsWritten());
    EXPECT_FALSE(process.ended);
}

TEST_F(QtFixture, ProgressWindowLayoutAndCancelByButtonEscapeOrCloseBox) {
    frontEnd->LoadRetrievalWindows();
    QtProgressWindow& w = *frontEnd->progressWindow();
    EXPECT_EQ(w.windowType(), Qt::Dialog) << "tiling window managers float dialogs";
    EXPECT_EQ(w.size(), TwipsToPixels(&w, 5865, 1695));
    EXPECT_EQ(w.lbBytes->geometry(), TwipsToPixels(&w, TwipRect{240, 915, 5445, 285}));
    EXPECT_EQ(w.cbCancel->geometry(), TwipsToPixels(&w, TwipRect{2385, 1260, 1245, 390}));
    EXPECT_EQ(w.cbCancel->text(), "キャンセル");
    w.SetProgressRange(0, 5e9);  // beyond what an int holds
    w.SetProgressValue(2.5e9);
    EXPECT_EQ(w.PB->value(), w.PB->maximum() / 2);
    w.SetProgressValue(6e9);
    EXPECT_EQ(w.PB->value(), w.PB->maximum());

    const std::function<void()> cancels[] = {
        [&] { QTest::mouseClick(w.cbCancel, Qt::LeftButton); },
        [&] { QTest::keyClick(&w, Qt::Key_Escape); },
        [&] { w.close(); },
    };
    for (const auto& cancel : cancels) {
        program.CancelRequested = false;
        w.ShowWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        EXPECT_EQ(w.windowTitle(), "vexal 1.00");
        cancel();
        EXPECT_TRUE(program.CancelRequested);
        EXPECT_FALSE(w.isVisible());
    }
}

TEST_F(QtFixture, PreviewLaysOutInTwipsAndSnapsBackAtTheMinimum) {
    frontEnd->LoadRetrievalWindows();
    QtPreviewWindow& w = *frontEnd->previewWindow();
    frontEnd->preview()->ShowWindow();
    EXPECT_EQ(w.windowType(), Qt::Dialog) << "tiling window managers float dialogs";
    EXPECT_EQ(w.windowTitle(), "vexal 1.00");
    EXPECT_FALSE(w.cbSetWP->isEnabled());
    EXPECT_EQ(w.cbSetWP->text(), "壁紙に設定する");
    EXPECT_EQ(w.cbRetry->text(), "もう一度検索する");

    w.resize(10, 10);
    QApplication::processEvents();
    const PreviewLayout min = LayoutPreview(kPreviewMinWidth, kPreviewMinHeight);
    EXPECT_NEAR(w.OuterWidthTwips(), kPreviewMinWidth, 15);
    EXPECT_NEAR(w.OuterHeightTwips(), kPreviewMinHeight, 15);
    EXPECT_EQ(w.imGrp->geometry(), TwipsToPixels(&w, min.imGrp));
    EXPECT_EQ(w.cbSetWP->geometry(), TwipsToPixels(&w, min.cbSetWP));
    EXPECT_EQ(w.cbRetry->geometry(), TwipsToPixels(&w, min.cbRetry));
    EXPECT_EQ(w.cbCancel->geometry(), TwipsToPixels(&w, min.cbCancel));

    w.resize(TwipsToPixels(&w, 30000, 9000));
    QApplication::processEvents();
    EXPECT_EQ(w.cbSetWP->width(), TwipsToPixelsX(&w, 2200)) << "buttons stop growing";
    EXPECT_GT(w.imGrp->width(), w.width() * 9 / 10) << "the picture takes the rest";

    // On Wayland the window comes up with its size held, so that sway floats it; once
    // painted it gets its own limits back and stays sizable.
    const QSize minimum = w.minimumSize(), maximum = w.maximumSize();
    w.hide();
    HoldSizeUntilPainted(&w);
    EXPECT_EQ(w.minimumSize(), w.size());
    EXPECT_EQ(w.maximumSize(), w.size());
    w.show();
    // Up to 10 s of event processing: the first paint can be slow on a busy machine.
    for (int i = 0; i < 1000 && w.maximumSize() != maximum; ++i) QTest::qWait(10);
    EXPECT_EQ(w.minimumSize(), minimum);
    EXPECT_EQ(w.maximumSize(), maximum);
}

TEST_F(QtFixture, PreviewKeepsThePicturesShape) {
    frontEnd->LoadRetrievalWindows();
    QtPreviewWindow& w = *frontEnd->previewWindow();
    frontEnd->preview()->ShowWindow();
    const QRect area = w.imGrp->contentsRect();
    const QColor background = w.palette().color(QPalette::Window);
    const QColor red(255, 0, 0);
    // A portrait picture is as high as the area with the background left and right of it;
    // a wide one as wide, with the background above and below.
    const struct {
        const char* name;
        int width, height;
        bool portrait;
    } rows[] = {{"portrait", 30, 90, true}, {"panorama", 300, 20, false}};
    for (const auto& r : rows) {
        w.SetPicture(Picture::FromPixels(
            r.width, r.height, std::vector<std::uint32_t>(std::size_t(r.width) * r.height, 0xFFFF0000)));
        const QImage shown = w.imGrp->grab().toImage();
        const QPoint centre = area.center();
        EXPECT_EQ(shown.pixelColor(centre), red) << r.name;
        const QPoint side =
            r.portrait ? QPoint(area.left() + 2, centre.y()) : QPoint(centre.x(), area.top() + 2);
        const QPoint end =
            r.portrait ? QPoint(area.right() - 2, centre.y()) : QPoint(centre.x(), area.bottom() - 2);
        EXPECT_EQ(shown.pixelColor(side), background) << r.name;
        EXPECT_EQ(shown.pixelColor(end), background) << r.name;
        // The other way the picture reaches the area's edges.
        const QPoint edge = r.portrait ? QPoint(centre.x(), area.top()) : QPoint(area.left(), centre.y());
        EXPECT_EQ(shown.pixelColor(edge), red) << r.name;
    }
}

TEST_F(QtFixture, PreviewEscapeGivesUpAndDeletesTheWorkingFile) {
    ASSERT_TRUE(files.WriteFile("wpcache.jpg", "x"));
    RetrievedPictures pictures;
    pictures.screens.push_back({"wpcache.jpg", "a.jpg", {}, false});
    pictures.working.Adopt(files, "wpcache.jpg");
    frontEnd->LoadRetrievalWindows();
    QtPreviewWindow& w = *frontEnd->previewWindow();
    frontEnd->preview()->ShowWindow();
    // Not a picture: the window says so and still gives up as asked.
    frontEnd->preview()->DispPre(std::move(pictures));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(process.ended);
    EXPECT_EQ(process.status, kExitFailure);
    EXPECT_FALSE(std::filesystem::exists(dir / "wpcache.jpg"));
    EXPECT_FALSE(w.isVisible());
}

// A desktop that keeps the wallpaper folder in the test's folder and records the calls.
class RecordingDesktop final : public Desktop {
public:
    explicit RecordingDesktop(std::string folder) : folder_(std::move(folder)) {}
    std::vector<std::string> log;
    DesktopResult WallpaperFolder(std::string& folderOut) override {
        folderOut = folder_;
        return {};
    }
    DesktopResult SetWallpaper(const std::string& path, const StyleValues& style) override {
        log.push_back("set " + path + " WallpaperStyle=" + style.wallpaperStyle +
                      " TileWallpaper=" + style.tileWallpaper);
        return {};
    }

private:
    std::string folder_;
};

// Draws 0.0, then 0.99, then 0.0 ...: the first and the last of the candidates in turn.
class AlternatingRandom final : public RandomSource {
public:
    double Draw() override { return (draws_++ % 2) ? 0.99 : 0.0; }

private:
    int draws_ = 0;
};

// The whole road from the editor: a folder entry is previewed, searched again and
// installed, through the real windows, driver, folder walk, decoder and event pump.
struct QtRetrievalFixture : QtFixture {
    PosixReactor reactor;
    PosixSocket socket{reactor};
    PosixTimer timer{reactor};
    QtEventPump networkPump{&reactor};
    QtImageDecoder decoder;
    AlternatingRandom random;
    RecordingDesktop desktop{dir / "wallpaper"};

    QtRetrievalFixture() {
        std::filesystem::create_directory(dir / "pics");
        std::filesystem::create_directory(dir / "wallpaper");
        QImage red(40, 30, QImage::Format_RGB32);
        red.fill(Qt::red);
        QImage blue(64, 48, QImage::Format_RGB32);
        blue.fill(Qt::blue);
        EXPECT_TRUE(red.save(QString::fromStdString(dir / "pics/a.jpg")));
        EXPECT_TRUE(blue.save(QString::fromStdString(dir / "pics/b.jpg")));
        program.CacheFileName = "wpcache";
        program.WinFolderWPname = "wallpaper.bmp";
        host.pump = &networkPump;
        host.socket = &socket;
        host.timer = &timer;
        host.images = &decoder;
        host.desktop = &desktop;
        host.random = &random;
        SiteEntry e;
        e.Name = "pics";
        e.Url = dir / "pics/";
        e.Ext = {false, true, false, false};
        e.No = ChoiceMode::Random;
        e.WpState = WallpaperStyle::Tiled;
        program.SiteEntries.push_back(e);
    }
    // The retrieval's windows are ended only through the process, so tests close them.
    ~QtRetrievalFixture() override { frontEnd.reset(); }
};

TEST_F(QtRetrievalFixture, PreviewSearchAgainThenSetWallpaper) {
    QtEditorWindow& editor = Editor();
    Choose(editor.cbSelect, 1);
    QTest::mouseClick(editor.cbPreview, Qt::LeftButton);

    ASSERT_TRUE(dialogs.boxes.empty()) << dialogs.boxes[0].text;
    EXPECT_FALSE(editor.isVisible());
    EXPECT_TRUE(SettingsWritten());
    EXPECT_EQ(program.RunMode, RunModeValue::Editor);
    QtPreviewWindow& preview = *frontEnd->previewWindow();
    EXPECT_TRUE(preview.isVisible());
    EXPECT_FALSE(frontEnd->progressWindow()->isVisible());
    EXPECT_TRUE(preview.cbSetWP->isEnabled());
    EXPECT_EQ(preview.imGrp->PictureSize(), QSize(40, 30));
    EXPECT_EQ(frontEnd->preview()->pictures().First().ChosenImage, dir / "pics/a.jpg");
    EXPECT_EQ(frontEnd->preview()->pictures().First().WorkImageFile, "wpcache.jpg");

    QTest::mouseClick(preview.cbRetry, Qt::LeftButton);
    ASSERT_TRUE(dialogs.boxes.empty()) << dialogs.boxes[0].text;
    EXPECT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.imGrp->PictureSize(), QSize(64, 48));
    EXPECT_EQ(frontEnd->preview()->pictures().First().ChosenImage, dir / "pics/b.jpg");
    EXPECT_FALSE(process.ended);

    QTest::mouseClick(preview.cbSetWP, Qt::LeftButton);
    EXPECT_TRUE(process.ended);
    EXPECT_EQ(process.status, kExitSuccess);
    const std::string bitmap = dir / "wallpaper/wallpaper.bmp";
    EXPECT_EQ(desktop.log, (std::vector<std::string>{"set " + bitmap + " WallpaperStyle=0 TileWallpaper=1"}));
    QImage installed(QString::fromStdString(bitmap));
    EXPECT_EQ(installed.size(), QSize(64, 48));
    const QRgb pixel = installed.pixel(10, 10);  // JPEG: blue within a step or two
    EXPECT_TRUE(qBlue(pixel) > 240 && qRed(pixel) < 16 && qGreen(pixel) < 16) << std::hex << pixel;
    EXPECT_FALSE(std::filesystem::exists(dir / "wpcache.jpg")) << "the working file goes with the window";
}

// Another run holds the lock of the wallpaper folder: the progress window says that this
// one waits, and its cancel button gives up there with the cancel message, nothing written.
TEST_F(QtRetrievalFixture, ProgressWindowShowsTheWaitForAnotherRunAndCancelsIt) {
    PosixRunGuard guard;
    host.guard = &guard;
    const int other = ::open((dir / "wallpaper/.vexal-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    QtEditorWindow& editor = Editor();
    Choose(editor.cbSelect, 1);

    bool visible = false;
    int ticks = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        // A window that never says so, or a button that does not end the wait, fails the
        // test rather than holding it for ever: the other run lets go after 10 s.
        if (++ticks == 500) ::flock(other, LOCK_UN);
        QtProgressWindow* progress = frontEnd->progressWindow();
        if (!progress || !progress->isVisible()) return;
        // The whole text, also when the label had to shorten it.
        const QString text =
            progress->lbMsg->toolTip().isEmpty() ? progress->lbMsg->text() : progress->lbMsg->toolTip();
        if (text != QString::fromUtf8("他のvexalの処理が終わるのを待っています...")) return;
        visible = true;
        watcher.stop();
        QTest::mouseClick(progress->cbCancel, Qt::LeftButton);
    });
    watcher.start(20);
    // The run waits inside the click until the cancel button ends it.
    QTest::mouseClick(editor.cbPreview, Qt::LeftButton);
    ::close(other);

    EXPECT_TRUE(visible) << "the progress window never said it was waiting";
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"ユーザーによってキャンセルされました。"});
    EXPECT_TRUE(process.ended);
    EXPECT_EQ(process.status, kExitFailure);
    EXPECT_TRUE(desktop.log.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "wallpaper/wallpaper.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "wpcache.jpg"));
}

// Regression: after キャンセル the connection stayed open while the box waited, and the
// server went on sending until OK was pressed. The server must see the close while the box
// is still up, with nothing pumped meanwhile.
TEST_F(QtRetrievalFixture, CancelClosesTheConnectionBeforeTheBox) {
    std::atomic<bool> sending{false};
    std::promise<bool> ended;  // true when the server saw the close, false when it was stopped
    std::future<bool> sawClose = ended.get_future();
    testing::LoopbackServer server([&](testing::ServerConnection& c, int index) {
        if (index > 0) return;  // the fetch is made once
        c.ReadRequest();
        std::string chunk(4096, 'x');
        bool open = c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000000000\r\n\r\n");
        while (open && c.Pause(2)) {
            sending = true;
            open = c.Send(chunk);
        }
        ended.set_value(!open);
    });
    program.SiteEntries.back().Url = server.Url("/big.jpg");
    bool closedFirst = false;
    // The box waits, pumping nothing, for the server to end its sending; the bound only
    // keeps a broken build from hanging the suite.
    dialogs.onError = [&] {
        closedFirst =
            sawClose.wait_for(std::chrono::seconds(10)) == std::future_status::ready && sawClose.get();
    };
    QtEditorWindow& editor = Editor();
    Choose(editor.cbSelect, 1);
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        QtProgressWindow* progress = frontEnd->progressWindow();
        if (!sending || !progress || !progress->isVisible()) return;
        watcher.stop();
        QTest::mouseClick(progress->cbCancel, Qt::LeftButton);
    });
    watcher.start(20);
    QTest::mouseClick(editor.cbPreview, Qt::LeftButton);

    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"ユーザーによってキャンセルされました。"});
    EXPECT_TRUE(closedFirst) << "the server still had the connection while the box was up";
}

// What one process holds, from /proc/self.
struct Holdings {
    long rssKiB = 0;
    int openFiles = 0;
    int threads = 0;
};

Holdings Measure() {
    Holdings h;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) h.rssKiB = std::stol(line.substr(6));
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++h.openFiles;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++h.threads;
    return h;
}

// A long editor session: two hundred rounds of preview, search again and cancel keep the
// memory, the open files and the threads where they were after the first twenty.
TEST_F(QtRetrievalFixture, LongSessionHoldsNothingMoreAfterEachRound) {
    QtEditorWindow& editor = Editor();
    Choose(editor.cbSelect, 1);
    Holdings at20;
    for (int round = 1; round <= 200; ++round) {
        editor.cbPreview->click();
        QtPreviewWindow& preview = *frontEnd->previewWindow();
        ASSERT_TRUE(preview.isVisible()) << "round " << round;
        preview.cbRetry->click();
        preview.cbCancel->click();
        ASSERT_TRUE(dialogs.boxes.empty()) << "round " << round << ": " << dialogs.boxes[0].text;
        ASSERT_FALSE(std::filesystem::exists(dir / "wpcache.jpg")) << "round " << round;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (round == 20) at20 = Measure();
    }
    const Holdings at200 = Measure();
    std::printf("rounds 20 -> 200: resident %ld -> %ld KiB, open files %d -> %d, threads %d -> %d\n",
                at20.rssKiB, at200.rssKiB, at20.openFiles, at200.openFiles, at20.threads, at200.threads);
    EXPECT_EQ(at200.openFiles, at20.openFiles);
    EXPECT_EQ(at200.threads, at20.threads);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer holds freed blocks back in its quarantine (hundreds of MiB), so the
    // resident size grows whatever the program does; its leak checker watches memory there.
#else
    // A leak of one picture a round would be 180 × 40 × 30 × 4 bytes; allocator noise stays
    // well under that.
    EXPECT_LT(at200.rssKiB - at20.rssKiB, 512);
#endif
}

// A question box titled "vexal" without an icon, Yes in Japanese and the default, No beside it.
void ExpectYesNoBox(QMessageBox* box) {
    EXPECT_EQ(box->windowTitle(), "vexal");
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
    EXPECT_EQ(box->button(QMessageBox::Yes)->text(), "はい(&Y)");
    EXPECT_EQ(box->button(QMessageBox::No)->text(), "いいえ(&N)");
}

// Answers the next modal box from inside its event loop, after `inspect` has looked at it.
void AnswerNextBox(const std::function<void(QWidget*)>& inspect) {
    QTimer::singleShot(0, [inspect] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        inspect(box);
    });
}

TEST(QtDialogsTest, BoxesCarryTheirTitlesIconsAndDefaultButtons) {
    QtDialogs dialogs;
    AnswerNextBox([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "vexal 1.00");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->text(), "切断されました。");
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.Error("vexal 1.00", "切断されました。");

    AnswerNextBox([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        ExpectYesNoBox(box);
        box->defaultButton()->click();
    });
    EXPECT_TRUE(dialogs.AskYesNo("vexal", "削除します。よろしいですか？"));

    AnswerNextBox([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        ASSERT_NE(box->button(QMessageBox::Retry), nullptr);
        EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), "キャンセル");
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_FALSE(dialogs.AskRetry("vexal", "接続先の応答がありません。"));

    // Yes, No and Cancel in Japanese, Yes the default; Escape is Cancel.
    for (auto [press, expected] :
         {std::pair{QMessageBox::Yes, Answer::Yes}, std::pair{QMessageBox::No, Answer::No},
          std::pair{QMessageBox::NoButton, Answer::Cancel}}) {
        AnswerNextBox([press = press](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            ExpectYesNoBox(box);
            EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), "キャンセル");
            if (press == QMessageBox::NoButton)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(press)->click();
        });
        EXPECT_EQ(dialogs.AskYesNoCancel("vexal",
                                         "登録内容の変更が保存されていません。\r\n保存してから閉じますか？"),
                  expected);
    }

    AnswerNextBox([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "vexal");
        auto* label = w->findChild<QLabel*>();
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), "登録する識別子を入力してください");
        auto* edit = w->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->text().isEmpty());
        edit->setText("a　b");  // typed through an input method
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.AskText("vexal", "登録する識別子を入力してください"), "a　b");

    AnswerNextBox([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_EQ(dialogs.AskText("vexal", "登録する識別子を入力してください"), "");
}

// The browse buttons open the system's dialog where the field points (its folder, or the
// home folder), and what the user chooses there lands in the field as a source of its kind.
TEST_F(QtFixture, BrowseButtonsPutTheChosenPathInTheAddress) {
    const std::string pics = dir / "my pics";
    std::filesystem::create_directories(pics + "/sub");
    std::ofstream(pics + "/a.jpg") << "x";
    std::ofstream(pics + "/list.txt") << "x";
    const std::string home = ToUtf8(QDir::homePath());
    QtEditorWindow& w = Editor();
    const struct {
        const char* name;
        QPushButton* button;
        std::string before;   // the field's text
        std::string opensIn;  // the dialog's folder
        std::string choose;   // empty: the user cancels
        std::string after;
    } rows[] = {
        {"empty field", w.cbBrowseFile, "", home, pics + "/a.jpg", pics + "/a.jpg"},
        {"a file's folder", w.cbBrowseFile, pics + "/list.txt", pics, pics + "/a.jpg", pics + "/a.jpg"},
        {"relative to the settings folder", w.cbBrowseFolder, "my pics/a.jpg", pics, pics + "/sub",
         pics + "/sub/"},
        {"a folder itself", w.cbBrowseFolder, pics + "/sub/", pics + "/sub", pics, pics + "/"},
        {"a web address", w.cbBrowseFolder, "http://example.com/pics/", home, pics, pics + "/"},
        {"a missing file's folder", w.cbBrowseFile, "/nonexistent/a.jpg", home, pics + "/list.txt",
         pics + "/list.txt"},
        {"cancelled", w.cbBrowseFile, pics + "/a.jpg", pics, "", pics + "/a.jpg"},
    };
    for (const auto& r : rows) {
        w.txUrl->setText(ToQString(r.before));
        bool asked = false;
        AnswerNextBox([&](QWidget* box) {
            auto* dialog = qobject_cast<QFileDialog*>(box);
            if (!dialog) {
                ADD_FAILURE() << r.name << ": not a file dialog";
                return box->close(), void();
            }
            asked = true;
            EXPECT_EQ(ToUtf8(dialog->directory().absolutePath()), r.opensIn) << r.name;
            if (r.choose.empty()) return dialog->reject();
            dialog->selectFile(ToQString(r.choose));
            // As the open button does, with the dialog's own checks of the choice.
            static_cast<QDialog*>(dialog)->accept();
        });
        QTest::mouseClick(r.button, Qt::LeftButton);
        EXPECT_TRUE(asked) << r.name;
        EXPECT_EQ(ToUtf8(w.txUrl->text()), r.after) << r.name;
        // The controls follow the chosen kind: a folder offers the subfolder rule.
        if (!r.choose.empty()) {
            EXPECT_EQ(w.ckFilter[5]->isEnabled(), r.after.back() == '/') << r.name;
        }
    }
}

// Delivers a drag over `over` and drops it there as the window system does: to the nearest
// widget that takes drops. Gives the action the drop was taken with, IgnoreAction if refused.
Qt::DropAction DropOn(QWidget* over, const QMimeData& data, Qt::DropActions offered) {
    QWidget* target = over;
    while (target && !target->acceptDrops()) target = target->parentWidget();
    if (!target) return Qt::IgnoreAction;
    const QPointF at = over->mapTo(target, over->rect().center());
    QDragEnterEvent enter(at.toPoint(), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return Qt::IgnoreAction;
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

// A file, a folder or a link dropped anywhere on the editor replaces the address; other
// drops are refused, and the dropped file is never taken as moved.
TEST_F(QtFixture, DroppedFileFolderOrLinkFillsTheAddress) {
    const std::string pics = dir / "my pics";
    std::filesystem::create_directories(pics);
    std::ofstream(pics + "/a.jpg") << "x";
    const QUrl file = QUrl::fromLocalFile(ToQString(pics + "/a.jpg"));
    QtEditorWindow& w = Editor();
    const std::string before = "http://example.com/old/";
    const auto fileManager = Qt::CopyAction | Qt::MoveAction;
    const struct {
        const char* name;
        QWidget* over;
        QList<QUrl> urls;  // as a file manager or browser drags them; else `text`
        std::string text;
        Qt::DropActions offered;
        std::string after;  // `before`: refused
    } rows[] = {
        {"a picture", w.cbEnd, {file}, "", fileManager, pics + "/a.jpg"},
        {"a folder over the field",
         w.txUrl,
         {QUrl::fromLocalFile(ToQString(pics))},
         "",
         fileManager,
         pics + "/"},
        {"an escaped name",
         w.Frame3,
         {QUrl("file:///tmp/my%20pics/%E6%B5%B7.jpg")},
         "",
         fileManager,
         "/tmp/my pics/海.jpg"},
        {"a link over the comment",
         w.txComment->viewport(),
         {QUrl("https://example.com/%E6%B5%B7/?q=a%26b&r=%2F")},
         "",
         Qt::CopyAction | Qt::LinkAction,
         "https://example.com/%E6%B5%B7/?q=a%26b&r=%2F"},
        {"the first usable of several",
         w.txNo,
         {QUrl("ftp://example.com/a.jpg"), file},
         "",
         fileManager,
         pics + "/a.jpg"},
        {"a link as text",
         w.cbSelect,
         {},
         " http://example.com/a.png\n",
         Qt::CopyAction,
         "http://example.com/a.png"},
        {"a file link as text", w.txUrl, {}, ToUtf8(file.toString()), Qt::CopyAction, pics + "/a.jpg"},
        {"a path as text", w.txUrl, {}, pics, Qt::CopyAction, pics + "/"},
        {"other text", w.txUrl, {}, "hello world", Qt::CopyAction, before},
        {"two links as text", w.txUrl, {}, "http://a.example/\nhttp://b.example/", Qt::CopyAction, before},
        {"another scheme", w.cbEnd, {QUrl("ftp://example.com/a.jpg")}, "", fileManager, before},
    };
    for (const auto& r : rows) {
        w.txUrl->setText(ToQString(before));
        QMimeData data;
        if (r.urls.isEmpty())
            data.setText(ToQString(r.text));
        else
            data.setUrls(r.urls);
        const Qt::DropAction action = DropOn(r.over, data, r.offered);
        EXPECT_EQ(ToUtf8(w.txUrl->text()), r.after) << r.name;
        if (r.after == before) {
            EXPECT_EQ(action, Qt::IgnoreAction) << r.name;
        } else {
            // Named, not moved: a move would let the file manager delete the original.
            EXPECT_EQ(action, r.offered & Qt::LinkAction ? Qt::LinkAction : Qt::CopyAction) << r.name;
        }
    }

    // The drop is an edit of the field: the controls follow its kind, and Ctrl+Z takes it back.
    w.txUrl->setText(ToQString(before));
    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(ToQString(pics))});
    DropOn(w.cbEnd, folder, fileManager);
    EXPECT_TRUE(w.ckFilter[5]->isEnabled());
    QTest::keyClick(w.txUrl, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ToUtf8(w.txUrl->text()), before);

    // Text dropped on a text box is the box's own.
    QMimeData text;
    text.setText("http://example.com/memo");
    DropOn(w.txComment->viewport(), text, Qt::CopyAction);
    EXPECT_EQ(w.txComment->toPlainText(), "http://example.com/memo");
}

// Where a widget lands in device pixels at the window's scale: the rows and columns its
// edges touch.
QRect DeviceRect(const QWidget* widget, const QWidget* window) {
    const double dpr = window->devicePixelRatioF();
    const QRect r(widget->mapTo(window, QPoint(0, 0)), widget->size());
    const int left = static_cast<int>(std::floor(r.x() * dpr)),
              top = static_cast<int>(std::floor(r.y() * dpr));
    const int right = static_cast<int>(std::ceil((r.x() + r.width()) * dpr)) - 1;
    const int bottom = static_cast<int>(std::ceil((r.y() + r.height()) * dpr)) - 1;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The sides of a text box whose frame line is missing from `image`: on each side, one of
// the two outermost device pixels at its middle must be darker than the window.
std::string MissingFrameSides(const QImage& image, const QRect& box, QColor window) {
    const int light = qGray(window.rgb()) - 24;
    auto dark = [&](int x, int y) { return qGray(image.pixel(x, y)) <= light; };
    const QPoint mid = box.center();
    std::string missing;
    if (!dark(mid.x(), box.top()) && !dark(mid.x(), box.top() + 1)) missing += "top ";
    if (!dark(mid.x(), box.bottom()) && !dark(mid.x(), box.bottom() - 1)) missing += "bottom ";
    if (!dark(box.left(), mid.y()) && !dark(box.left() + 1, mid.y())) missing += "left ";
    if (!dark(box.right(), mid.y()) && !dark(box.right() - 1, mid.y())) missing += "right ";
    return missing;
}

// Every control of the editor lies inside the window at its full size, none on another
// (but for the boxes standing in the blanks of the choice captions), and every text box
// shows its whole frame. ctest runs this at 150 % and 200 % too (QT_SCALE_FACTOR), where a
// frame line falling on half a device pixel was lost.
TEST_F(QtFixture, EditorControlsFitAtThisScale) {
    AddEntry("a", "/a/");
    QtEditorWindow& w = Editor();
    Choose(w.cbSelect, 1);
    // A last-run message longer than the row: it wraps, and the window grows to show it all.
    std::string reason = "前回の自動変更: 2026-12-08 10:00:00 失敗 画像ファイル /";
    for (int i = 0; i < 12; ++i) reason += "とても長いフォルダーの名前" + std::to_string(i) + "/";
    w.SetText(EditorControl::lbLastRun, reason + "picture.png の読み出しに失敗しました。");
    QApplication::processEvents();
    EXPECT_GE(w.lbLastRun->height(), w.lbLastRun->heightForWidth(w.lbLastRun->width()));
    EXPECT_GE(w.lbLastRun->height(), 3 * w.lbLastRun->fontMetrics().lineSpacing());
    std::vector<QWidget*> controls;
    for (QWidget* c : w.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(c) || qobject_cast<QLineEdit*>(c) ||
                             qobject_cast<QComboBox*>(c) || qobject_cast<QPlainTextEdit*>(c) ||
                             qobject_cast<QLabel*>(c) || qobject_cast<QScrollBar*>(c);
        // Parts of a control (a list's or a text box's own scroll bars) are the control's.
        bool part = false;
        for (QWidget* p = c->parentWidget(); p != &w; p = p->parentWidget())
            part = part || qobject_cast<QComboBox*>(p) || qobject_cast<QPlainTextEdit*>(p);
        if (control && !part && c->isVisibleTo(&w)) controls.push_back(c);
    }
    ASSERT_GE(controls.size(), 40u) << "the window's controls were not found";
    const std::set<std::pair<QWidget*, QWidget*>> inBlanks = {
        {w.opNo[0], w.txNo}, {w.opNo[0], w.scNo}, {w.opNo[1], w.txFnAdd}};
    auto rect = [&w](const QWidget* c) { return QRect(c->mapTo(&w, QPoint(0, 0)), c->size()); };
    auto name = [](const QWidget* c) {
        const QString caption = CaptionOf(c);
        return std::string(c->metaObject()->className()) + " " + ToUtf8(caption);
    };
    for (QWidget* c : controls) {
        EXPECT_TRUE(w.rect().contains(rect(c))) << name(c);
        const QSize least = c->minimumSizeHint();
        if (!qobject_cast<QLineEdit*>(c) && !qobject_cast<QPlainTextEdit*>(c) &&
            c->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored) {
            EXPECT_GE(c->width(), least.width()) << name(c) << " is cut";
            EXPECT_GE(c->height(), least.height()) << name(c) << " is cut";
        }
        for (QWidget* other : controls)
            if (c < other && rect(c).intersects(rect(other)) && !inBlanks.count({c, other}) &&
                !inBlanks.count({other, c}))
                ADD_FAILURE() << name(c) << " overlaps " << name(other);
    }
    const QImage image = w.grab().toImage();
    for (QWidget* box : controls) {
        if (!qobject_cast<QLineEdit*>(box) && !qobject_cast<QPlainTextEdit*>(box)) continue;
        EXPECT_EQ(MissingFrameSides(image, DeviceRect(box, &w), w.palette().color(QPalette::Window)), "")
            << name(box) << " at " << w.devicePixelRatioF();
    }
}

// The comment box keeps its frame whether its edges fall on whole device pixels or between
// them (at 150 % a box at an odd position lost its bottom line under its own text area).
TEST(QtCommentBoxTest, FrameStaysWholeAtEveryPositionAtThisScale) {
    QtEditorWindow editor;
    QWidget host;
    host.resize(300, 200);
    QPlainTextEdit* box = editor.txComment;
    box->setParent(&host);
    host.show();
    // Empty, and long enough for both scroll bars, which stand inside the frame too.
    for (const QString& text : {QString(), QString(40, QLatin1Char('\n')) + QString(300, QLatin1Char('x'))}) {
        box->setPlainText(text);
        for (const QPoint at : {QPoint(10, 10), QPoint(11, 11), QPoint(10, 11), QPoint(11, 10)}) {
            box->setGeometry(QRect(at, QSize(201, 81)));
            // The scroll bars come and go with the layout, which waits for the event loop.
            QCoreApplication::processEvents();
            const QImage image = host.grab().toImage();
            EXPECT_EQ(
                MissingFrameSides(image, DeviceRect(box, &host), host.palette().color(QPalette::Window)), "")
                << at.x() << "," << at.y() << " with " << text.size() << " characters at "
                << host.devicePixelRatioF();
            if (!text.isEmpty()) {
                // Where the scroll bars meet: not the text area's white.
                ASSERT_NE(box->cornerWidget(), nullptr);
                const QRect corner = DeviceRect(box->cornerWidget(), &host);
                EXPECT_EQ(image.pixelColor(corner.center()), host.palette().color(QPalette::Window))
                    << at.x() << "," << at.y();
            }
        }
    }
}

}  // namespace
}  // namespace vexal
