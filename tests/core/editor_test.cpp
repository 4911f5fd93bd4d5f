// The entry editor's presenter, driven through a fake view: list and selection, storing
// and showing entries, enabling by source kind, the spin, and the five commands.
#include "ui/editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <utility>

#include "app/run_controller.h"
#include "core/wallpaper_fakes.h"
#include "host/scheduler.h"
#include "settings/settings_file.h"
#include "settings/source_kind.h"
#include "support/fakes.h"
#include "text/codepage.h"
#include "ui/scheduled_run.h"

namespace vexal {
namespace {

using testing::TestHost;

// Holds control state like a toolkit would, and never calls back into the presenter.
class FakeEditorView final : public EditorView {
public:
    std::string caption;
    bool visible = true;
    std::map<EditorControl, std::string> texts;
    std::map<std::pair<EditorControl, int>, bool> checks;
    // Everything starts disabled, so a missing enabling step shows up in the tests.
    std::map<std::pair<EditorControl, int>, bool> enabled;
    std::vector<std::string> items;
    int selected = -1;
    int spin = 0;
    std::map<EditorControl, std::uint32_t> colours;

    void SetColour(EditorControl control, std::uint32_t colour) override { colours[control] = colour; }
    void SetCaption(const std::string& text) override { caption = text; }
    void ShowWindow() override { visible = true; }
    void HideWindow() override { visible = false; }
    std::string Text(EditorControl box) const override {
        auto it = texts.find(box);
        return it == texts.end() ? std::string() : it->second;
    }
    void SetText(EditorControl box, const std::string& text) override { texts[box] = text; }
    bool IsChecked(EditorControl control, int index) const override {
        auto it = checks.find({control, index});
        return it != checks.end() && it->second;
    }
    void SetChecked(EditorControl control, int index, bool checked) override {
        if (checked && (control == EditorControl::opWp || control == EditorControl::opNo ||
                        control == EditorControl::cbSchedule))
            for (int i = 0; i < 8; ++i) checks[{control, i}] = false;
        checks[{control, index}] = checked;
    }
    void SetEnabled(EditorControl control, int index, bool on) override { enabled[{control, index}] = on; }
    bool Enabled(EditorControl control, int index = 0) const {
        auto it = enabled.find({control, index});
        return it != enabled.end() && it->second;
    }
    void ClearList() override {
        items.clear();
        selected = -1;
    }
    void AddListItem(const std::string& text) override { items.push_back(text); }
    std::string ListItemText(int index) const override { return items.at(static_cast<std::size_t>(index)); }
    int SelectedListItem() const override { return selected; }
    void SelectListItem(int index) override { selected = index; }
    int SpinPosition() const override { return spin; }
    void SetSpinPosition(int position) override { spin = position; }
};

// Records each retrieval with the settings file as it stood when the retrieval began.
class RecordingFrontEnd final : public FrontEnd {
public:
    explicit RecordingFrontEnd(testing::MemoryFileSystem& files) : files_(files) {}
    std::vector<bool> retrievals;
    std::string fileAtRetrieval;
    void ShowEditor() override {}
    void RunRetrieval(bool gather) override {
        retrievals.push_back(gather);
        fileAtRetrieval = files_.files.count("vexal.ini") ? files_.files["vexal.ini"] : "";
    }

private:
    testing::MemoryFileSystem& files_;
};

SiteEntry Entry(const std::string& name, const std::string& url) {
    SiteEntry e;
    e.Name = name;
    e.Url = url;
    e.No_n = 1;
    return e;
}

std::string JobText(const ScheduleJob& job) {
    return job.name + " " + (job.kind == ScheduleKind::Never ? "never" : ScheduleText(job.kind)) + " " +
           job.folder;
}

// Records each schedule it is handed as "NAME KIND FOLDER" (KIND as the settings file names it); fails with
// `failure` when set. It holds every schedule it is asked about but those of the names in `missing`.
class RecordingScheduler final : public Scheduler {
public:
    std::vector<std::string> calls;
    std::vector<std::string> asked;
    std::vector<std::string> missing;
    ScheduleResult failure;
    ScheduleResult Apply(const ScheduleJob& job) override {
        calls.push_back(JobText(job));
        return failure;
    }
    bool IsRegistered(const ScheduleJob& job) override {
        asked.push_back(JobText(job));
        return std::find(missing.begin(), missing.end(), job.name) == missing.end();
    }
};

// A presenter on a fake view and host; a table's rows each take a rig of their own.
struct EditorRig {
    Program program;
    TestHost host;
    RecordingScheduler scheduler;
    testing::FakeDesktop desktop{host.files};
    FakeEditorView view;
    RecordingFrontEnd frontEnd{host.files};
    RunController controller{program, host.host};
    EditorPresenter editor{program, host.host, view, frontEnd, controller};

    EditorRig() {
        InitGlobals(program, 1, 0);
        program.NewMsg = "(新規)";
        host.host.scheduler = &scheduler;
        host.host.desktop = &desktop;
    }
    void Load(std::vector<SiteEntry> entries) {
        for (auto& e : entries) program.SiteEntries.push_back(std::move(e));
        editor.Form_Load();
    }
    // What the user does: pick a list item, and the binding reports the click.
    void Select(int index) {
        view.SelectListItem(index);
        editor.cbSelect_Click();
    }
    void Type(EditorControl box, const std::string& text) {
        view.SetText(box, text);
        if (box == EditorControl::txUrl) editor.txUrl_Change();
    }
    void Spin(int position) {
        view.SetSpinPosition(position);
        editor.scNo_Change();
    }
    // The settings file as written, read back.
    Program Saved() {
        Program p;
        InitGlobals(p, 1, 0);
        ParseSettings(p, host.files.files.at("vexal.ini"));
        return p;
    }
    void ExpectDefaults() {
        EXPECT_EQ(view.Text(EditorControl::txUrl), "");
        EXPECT_EQ(view.Text(EditorControl::txComment), "");
        EXPECT_EQ(view.Text(EditorControl::txFnAdd), "");
        EXPECT_EQ(view.Text(EditorControl::txNo), "1");
        EXPECT_TRUE(view.IsChecked(EditorControl::opWp, 0));
        EXPECT_TRUE(view.IsChecked(EditorControl::opNo, 0));
        for (int i = 0; i < 7; ++i) EXPECT_FALSE(view.IsChecked(EditorControl::ckFilter, i)) << i;
        EXPECT_EQ(view.Text(EditorControl::txMinWidth), "0");
        for (int i = 0; i < 4; ++i) EXPECT_FALSE(view.IsChecked(EditorControl::ckExt, i)) << i;
        EXPECT_TRUE(view.IsChecked(EditorControl::cbSchedule, 0));
        EXPECT_EQ(view.Text(EditorControl::lbLastRun), "");
        EXPECT_FALSE(view.IsChecked(EditorControl::ckEachScreen, 0));
        EXPECT_FALSE(view.IsChecked(EditorControl::ckBackColour, 0));
    }
};

struct EditorFixture : ::testing::Test, EditorRig {};

TEST_F(EditorFixture, LoadWithoutEntriesShowsOnlyTheNewEntryItem) {
    Load({});
    EXPECT_EQ(view.caption, "vexal 1.00");
    EXPECT_EQ(view.items, (std::vector<std::string>{"(新規)"}));
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(editor.CurIndex(), 0);
    EXPECT_FALSE(editor.Filling());
    EXPECT_FALSE(view.Enabled(EditorControl::cbDelete));
    EXPECT_TRUE(view.Enabled(EditorControl::cbTouroku));
    ExpectDefaults();
    // The empty text is a local file: rules 0-4 on, subfolders off, both groups on. The
    // text did not change while loading, so this enabling comes from the final direct run.
    EXPECT_TRUE(view.Enabled(EditorControl::Frame3));
    EXPECT_TRUE(view.Enabled(EditorControl::ckFilter, 4));
    EXPECT_FALSE(view.Enabled(EditorControl::ckFilter, 5));
    EXPECT_TRUE(view.Enabled(EditorControl::ckExt, 3));
    EXPECT_TRUE(view.Enabled(EditorControl::scNo));
}

TEST_F(EditorFixture, SelectingShowsEveryFieldOfTheEntry) {
    SiteEntry e = Entry("a", "http://h/p.html");
    e.Comment = "line1\r\nline2";
    e.Refstr = "cat";
    e.No_n = -3;
    e.WpState = WallpaperStyle::Stretched;
    e.No = ChoiceMode::Containing;
    e.Filter = {false, true, false, true, false, false, true};
    e.Ext = {false, true, true, false};
    e.MinWidth = 640;
    e.Schedule = ScheduleKind::Daily;
    e.EachScreen = true;
    Load({e});
    Select(1);
    EXPECT_EQ(editor.CurIndex(), 1);
    EXPECT_TRUE(view.Enabled(EditorControl::cbDelete));
    EXPECT_FALSE(view.Enabled(EditorControl::cbTouroku));
    EXPECT_EQ(view.Text(EditorControl::txUrl), "http://h/p.html");
    EXPECT_EQ(view.Text(EditorControl::txComment), "line1\r\nline2");
    EXPECT_EQ(view.Text(EditorControl::txFnAdd), "cat");
    EXPECT_EQ(view.Text(EditorControl::txNo), "-3");
    EXPECT_TRUE(view.IsChecked(EditorControl::opWp, 2));
    EXPECT_FALSE(view.IsChecked(EditorControl::opWp, 0));
    EXPECT_TRUE(view.IsChecked(EditorControl::opNo, 1));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(view.IsChecked(EditorControl::ckFilter, i), e.Filter[i]) << i;
    EXPECT_EQ(view.Text(EditorControl::txMinWidth), "640");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(view.IsChecked(EditorControl::ckExt, i), e.Ext[i]) << i;
    EXPECT_TRUE(view.IsChecked(EditorControl::cbSchedule, static_cast<int>(ScheduleKind::Daily)));
    EXPECT_TRUE(view.IsChecked(EditorControl::ckEachScreen, 0));
    // Storing what was shown gives the entry back unchanged.
    editor.StoreEntry(1);
    EXPECT_EQ(program.SiteEntries[1], e);
}

// The colour around the picture: the entry's own while checked, shown on its button; an
// entry without one shows the desktop's, and a colour picked becomes the entry's own.
TEST_F(EditorFixture, BackgroundColourIsTheEntrysOwnWhileChecked) {
    desktop.background = 0x3A6EA5;
    SiteEntry own = Entry("a", "/a/");
    own.Background = 0x102030;
    Load({own, Entry("b", "/b/")});
    EXPECT_EQ(view.Text(EditorControl::lbSettingsFile), host.files.FullPath("vexal.ini"));
    EXPECT_FALSE(view.IsChecked(EditorControl::ckBackColour, 0));
    EXPECT_EQ(view.colours[EditorControl::cbBackColour], 0x3A6EA5u);
    Select(1);
    EXPECT_TRUE(view.IsChecked(EditorControl::ckBackColour, 0));
    EXPECT_EQ(view.colours[EditorControl::cbBackColour], 0x102030u);
    Select(2);
    EXPECT_FALSE(view.IsChecked(EditorControl::ckBackColour, 0));
    EXPECT_EQ(view.colours[EditorControl::cbBackColour], 0x3A6EA5u);
    // Cancelled: nothing changes. Picked: the entry's own, starting from what was shown.
    editor.cbBackColour_Click();
    EXPECT_FALSE(view.IsChecked(EditorControl::ckBackColour, 0));
    host.dialogs.colours = {0x00FF00};
    editor.cbBackColour_Click();
    EXPECT_TRUE(view.IsChecked(EditorControl::ckBackColour, 0));
    EXPECT_EQ(view.colours[EditorControl::cbBackColour], 0x00FF00u);
    ASSERT_EQ(host.dialogs.boxes.size(), 2u);
    EXPECT_EQ(host.dialogs.boxes[1].kind + " " + host.dialogs.boxes[1].text,
              "colour " + std::to_string(0x3A6EA5));
    Select(1);
    EXPECT_EQ(program.SiteEntries[2].Background, 0x00FF00u);
    // Unchecked, the entry keeps the desktop's colour again.
    view.SetChecked(EditorControl::ckBackColour, 0, false);
    Select(2);
    EXPECT_EQ(program.SiteEntries[1].Background, std::nullopt);
    EXPECT_EQ(program.SiteEntries[2].Background, 0x00FF00u);
}

TEST_F(EditorFixture, EditsAreKeptWhenSwitchingEntries) {
    Load({Entry("a", "/a/"), Entry("b", "/b/"), Entry("c", "/c/")});
    Select(2);
    Type(EditorControl::txUrl, "http://new/page.html");
    view.SetChecked(EditorControl::opWp, 1, true);
    Select(3);
    EXPECT_EQ(program.SiteEntries[2].Url, "http://new/page.html");
    EXPECT_EQ(program.SiteEntries[2].WpState, WallpaperStyle{1});
    EXPECT_EQ(program.SiteEntries[2].Name, "b");
    EXPECT_EQ(view.Text(EditorControl::txUrl), "/c/");
    Select(2);
    EXPECT_EQ(view.Text(EditorControl::txUrl), "http://new/page.html");
    EXPECT_TRUE(view.IsChecked(EditorControl::opWp, 1));
    EXPECT_TRUE(host.files.files.empty());  // memory only until a command saves
}

TEST_F(EditorFixture, NewEntryFieldsAreLostOnSwitching) {
    Load({Entry("a", "/a/")});
    Type(EditorControl::txUrl, "http://typed/");
    Type(EditorControl::txNo, "5");
    view.SetChecked(EditorControl::ckExt, 2, true);
    Select(1);
    EXPECT_EQ(program.SiteEntries[0], SiteEntry{});
    EXPECT_EQ(program.SiteEntries[1].Url, "/a/");
    Select(0);
    ExpectDefaults();
    EXPECT_TRUE(view.Enabled(EditorControl::cbTouroku));
    EXPECT_FALSE(view.Enabled(EditorControl::cbDelete));
}

struct EnablingRow {
    const char* name;
    std::string url;
    bool rules;       // Frame3, ckFilter(0..4) and ckFilter(6)
    bool subfolders;  // ckFilter(5)
    bool groups;      // EnableExtGroup and EnableChoiceGroup
};

TEST_F(EditorFixture, EnablingFollowsTheSourceKind) {
    const EnablingRow rows[] = {
        {"webPage", "http://h/index.html", true, false, true},
        {"localFile", "/home/me/list.txt", true, false, true},
        {"empty", "", true, false, true},
        {"folder", std::string("/home/me/Pictures") + kFolderSeparator, false, true, true},
        {"webImage", "http://h/a.jpg", false, false, false},
        {"localImage", "/home/me/a.PNG", false, false, false},
        {"httpsPage", "HTTPS://h/", true, false, true},
        {"httpsImageWithQuery", "https://h/a.jpeg?w=800", false, false, false},
    };
    Load({});
    for (const auto& row : rows) {
        Type(EditorControl::txUrl, "x");  // something else first, so every row is a change
        Type(EditorControl::txUrl, row.url);
        const bool frame3 = row.rules || row.subfolders;
        EXPECT_EQ(view.Enabled(EditorControl::Frame3), frame3) << row.name;
        for (int i : {0, 1, 2, 3, 4, 6})
            EXPECT_EQ(view.Enabled(EditorControl::ckFilter, i), row.rules) << row.name;
        EXPECT_EQ(view.Enabled(EditorControl::ckFilter, 5), row.subfolders) << row.name;
        EXPECT_EQ(view.Enabled(EditorControl::Frame2), row.groups) << row.name;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(view.Enabled(EditorControl::ckExt, i), row.groups) << row.name;
        for (auto c : {EditorControl::Frame4, EditorControl::txNo, EditorControl::txFnAdd,
                       EditorControl::scNo, EditorControl::txMinWidth})
            EXPECT_EQ(view.Enabled(c), row.groups) << row.name;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(view.Enabled(EditorControl::opNo, i), row.groups) << row.name;
    }
}

TEST_F(EditorFixture, GreyedControlsOfAnImageEntryKeepAndStoreTheirValues) {
    SiteEntry e = Entry("img", "http://h/pic.jpg");
    e.Ext = {true, false, true, false};
    e.Filter = {true, false, false, false, false, true};
    e.No = ChoiceMode::Random;
    e.No_n = 7;
    Load({Entry("dir", "/pics/"), e});
    Select(1);
    ASSERT_TRUE(view.Enabled(EditorControl::ckExt, 0));
    Select(2);  // loading the image entry changes the URL text, which greys the groups
    EXPECT_FALSE(view.Enabled(EditorControl::ckExt, 0));
    EXPECT_FALSE(view.Enabled(EditorControl::opNo, 2));
    EXPECT_TRUE(view.IsChecked(EditorControl::ckExt, 2));
    EXPECT_TRUE(view.IsChecked(EditorControl::opNo, 2));
    Select(1);
    EXPECT_EQ(program.SiteEntries[2], e);
}

TEST_F(EditorFixture, OptionValuesOutsideTheirRangeSurviveShowAndStore) {
    SiteEntry e = Entry("odd", "/x/");
    e.WpState = WallpaperStyle{7};
    e.No = ChoiceMode{5};
    Load({e});
    Select(1);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(view.IsChecked(EditorControl::opWp, i));
        EXPECT_FALSE(view.IsChecked(EditorControl::opNo, i));
    }
    editor.StoreEntry(1);
    EXPECT_EQ(program.SiteEntries[1].WpState, WallpaperStyle{7});
    EXPECT_EQ(program.SiteEntries[1].No, ChoiceMode{5});
}

TEST_F(EditorFixture, EachStyleHasItsOwnButton) {
    std::vector<SiteEntry> entries;
    for (int style = 0; style < 5; ++style) {
        entries.push_back(Entry("e" + std::to_string(style), "/a/"));
        entries.back().WpState = WallpaperStyle(style);
    }
    Load(entries);
    for (int style = 0; style < 5; ++style) {
        Select(style + 1);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(view.IsChecked(EditorControl::opWp, i), i == style) << style;
        // Another button chosen stores its own value.
        view.SetChecked(EditorControl::opWp, 4 - style, true);
    }
    Select(0);
    for (int style = 0; style < 5; ++style)
        EXPECT_EQ(program.SiteEntries[style + 1].WpState, WallpaperStyle(4 - style)) << style;
}

struct NumberRow {
    const char* text;
    std::int32_t stored;
};

TEST_F(EditorFixture, StoredNumberIsReadAndRoundedHalfToEvenWithoutSpinLimits) {
    const NumberRow rows[] = {
        {"7.5", 8}, {"8.5", 8}, {"2.5", 2},       {"3.5", 4}, {"12abc", 12}, {"1 2", 12},
        {"", 0},    {"abc", 0}, {"20000", 20000}, {"-4", -4}, {"&H10", 16},  {"99999999999", 2147483647},
    };
    Load({Entry("a", "/a/")});
    Select(1);
    for (const auto& row : rows) {
        Type(EditorControl::txNo, row.text);
        editor.StoreEntry(1);
        EXPECT_EQ(program.SiteEntries[1].No_n, row.stored) << row.text;
    }
}

struct SpinRow {
    const char* before;
    int position;
    const char* after;
};

TEST_F(EditorFixture, SpinStepsWithinZeroTo9999) {
    const SpinRow rows[] = {
        {"5", 1, "6"},         {"5", -1, "4"},  {"9999", 1, "9999"}, {"0", -1, "0"},    {"abc", 1, "1"},
        {"abc", -1, "0"},      {"7.5", 1, "8"}, {"8.5", 1, "10"},    {"7.5", -1, "6"},  {"20000", 1, "9999"},
        {"20000", -1, "9999"}, {"-5", 1, "0"},  {"12abc", 1, "13"},  {"&H10", 1, "17"}, {"5", 0, "5"},
    };
    Load({});
    for (const auto& row : rows) {
        Type(EditorControl::txNo, row.before);
        Spin(row.position);
        EXPECT_EQ(view.Text(EditorControl::txNo), row.after) << row.before << " " << row.position;
        EXPECT_EQ(view.spin, 0) << "the spin returns to rest";
    }
}

TEST_F(EditorFixture, LoadedNumberBeyondTheSpinLimitIsShownUnchanged) {
    SiteEntry e = Entry("big", "/x/");
    e.No_n = 20000;
    Load({e});
    Select(1);
    EXPECT_EQ(view.Text(EditorControl::txNo), "20000");
    Spin(1);
    EXPECT_EQ(view.Text(EditorControl::txNo), "9999");
}

TEST_F(EditorFixture, RegisterRefusesBadIdentifiersAndAsksAgain) {
    Load({});
    Type(EditorControl::txUrl, "http://h/page.html");
    view.SetChecked(EditorControl::ckFilter, 1, true);
    view.SetChecked(EditorControl::ckFilter, 6, true);
    view.SetChecked(EditorControl::ckExt, 1, true);
    Type(EditorControl::txMinWidth, "640.5");
    host.dialogs.inputs = {"my site", "1abc", " abc", "abc"};
    editor.cbTouroku_Click();

    const auto& b = host.dialogs.boxes;
    ASSERT_EQ(b.size(), 7u);
    const std::string prompt = "登録する識別子を入力してください";
    EXPECT_EQ(b[0].kind + b[0].title + b[0].text, "input" + std::string("vexal") + prompt);
    EXPECT_EQ(b[1].kind + b[1].title + b[1].text, "errorvexal 1.00識別子に空白文字は使用出来ません。");
    EXPECT_EQ(b[2].kind, "input");
    EXPECT_EQ(b[3].text, "識別子の１文字目は英文字である必要があります。");
    EXPECT_EQ(b[4].kind, "input");
    EXPECT_EQ(b[5].text, "識別子に空白文字は使用出来ません。");  // the blank is checked first
    EXPECT_EQ(b[6].kind, "input");

    ASSERT_EQ(program.EntryCount(), 1);
    const SiteEntry& e = program.SiteEntries[1];
    EXPECT_EQ(e.Name, "abc");
    EXPECT_EQ(e.Url, "http://h/page.html");
    EXPECT_TRUE(e.Filter[1]);
    EXPECT_TRUE(e.Filter[6]);
    EXPECT_EQ(e.MinWidth, 640);
    EXPECT_EQ(e.No_n, 1);
    EXPECT_EQ(view.items, (std::vector<std::string>{"(新規)", "abc"}));
    // Regression: the list stayed on the new-entry item, as if nothing had been registered.
    // The new entry is selected, showing its stored record, with its own buttons.
    EXPECT_EQ(editor.CurIndex(), 1);
    EXPECT_EQ(view.selected, 1);
    EXPECT_EQ(view.Text(EditorControl::txUrl), "http://h/page.html");
    EXPECT_TRUE(view.IsChecked(EditorControl::ckFilter, 1));
    EXPECT_TRUE(view.Enabled(EditorControl::cbDelete));
    EXPECT_FALSE(view.Enabled(EditorControl::cbTouroku));
    EXPECT_TRUE(host.files.files.empty());
}

TEST_F(EditorFixture, RegisterAcceptsIdentifiersAsTyped) {
    Load({});
    for (const char* name : {"Abc", "z9", "a\u3000b", "a\tb", "休日の写真"}) {
        host.dialogs.inputs = {name};
        editor.cbTouroku_Click();
    }
    EXPECT_EQ(view.items,
              (std::vector<std::string>{"(新規)", "Abc", "z9", "a\u3000b", "a\tb", "休日の写真"}));
    ASSERT_EQ(program.EntryCount(), 5);
    for (const auto& box : host.dialogs.boxes) EXPECT_EQ(box.kind, "input");
}

// Regression: "PHOTOS" could be registered beside "photos" without a word, and the command
// line, which ignores letter case, then always ran the first. The user is asked; No gives
// the input box back.
TEST_F(EditorFixture, RegisterAsksWhenOnlyLetterCaseDiffers) {
    const std::string question =
        "識別子 PHOTOS は、登録されている識別子 photos と大文字・小文字しか違いません。\r\n"
        "コマンドラインでは大文字と小文字を区別しないため、photos の項目が使われます。登録しますか？";
    const struct {
        const char* name;
        std::deque<std::string> inputs;
        std::deque<bool> answers;
        std::vector<std::string> kinds;  // the boxes shown
        std::string registered;          // the third entry's name, or none
    } rows[] = {
        {"yes", {"PHOTOS"}, {true}, {"input", "yesno"}, "PHOTOS"},
        {"noThenOther", {"PHOTOS", "other"}, {false}, {"input", "yesno", "input"}, "other"},
        {"noThenCancel", {"PHOTOS"}, {false}, {"input", "yesno", "input"}, ""},
        {"sameName", {"photos"}, {true}, {"input", "yesno"}, "photos"},
        {"otherName", {"photo"}, {}, {"input"}, "photo"},
    };
    for (const auto& row : rows) {
        EditorRig f;
        f.Load({Entry("a", "/a/"), Entry("photos", "/p/")});
        f.host.dialogs.inputs = row.inputs;
        f.host.dialogs.yesNoAnswers = row.answers;
        f.editor.cbTouroku_Click();
        std::vector<std::string> kinds;
        for (const auto& box : f.host.dialogs.boxes) kinds.push_back(box.kind);
        EXPECT_EQ(kinds, row.kinds) << row.name;
        if (kinds.size() > 1 && std::string(row.name) != "sameName") {
            EXPECT_EQ(f.host.dialogs.boxes[1].text, question) << row.name;
        }
        EXPECT_EQ(f.program.EntryCount(), row.registered.empty() ? 2 : 3) << row.name;
        if (!row.registered.empty()) {
            EXPECT_EQ(f.program.SiteEntries[3].Name, row.registered) << row.name;
        }
    }
}

// Regression: an entry with no picture kind, or a page with no rule, was registered
// without a word and failed only when it ran. Registering asks first; No registers nothing.
TEST_F(EditorFixture, RegisterAsksFirstWhenTheEntryCannotGiveAPicture) {
    const std::string noKind = MessageText(Language::Japanese, Message::NoPictureKindQuestion);
    const std::string noRule = MessageText(Language::Japanese, Message::NoLinkRuleQuestion);
    const std::string folder = std::string("/pics") + kFolderSeparator;
    const struct {
        const char* name;
        std::string url;
        int ext;   // the picture kind ticked, -1 none
        int rule;  // the rule ticked, -1 none
        bool yes;
        std::string question;  // empty: none asked
        bool registered;
    } rows[] = {
        {"pageWithoutKind", "http://h/p.html", -1, 1, false, noKind, false},
        {"pageWithoutKindYes", "http://h/p.html", -1, 1, true, noKind, true},
        {"pageWithoutRule", "http://h/p.html", 1, -1, false, noRule, false},
        {"pageWithOnlyTheSubfolderRule", "http://h/p.html", 1, 5, true, noRule, true},
        {"pageOwnPictureIsARule", "http://h/p.html", 1, 6, false, "", true},
        {"listFileWithoutRule", "/a/list.txt", 4, -1, false, noRule, false},
        {"folderNeedsNoRule", folder, 2, -1, false, "", true},
        {"folderWithoutKind", folder, -1, 5, false, noKind, false},
        {"imageNeedsNeither", "http://h/a.jpg", -1, -1, false, "", true},
        {"emptyAddress", "", -1, -1, false, "", true},
    };
    for (const auto& row : rows) {
        EditorRig f;
        f.Load({});
        f.Type(EditorControl::txUrl, row.url);
        if (row.ext >= 0) f.view.SetChecked(EditorControl::ckExt, row.ext, true);
        if (row.rule >= 0) f.view.SetChecked(EditorControl::ckFilter, row.rule, true);
        f.host.dialogs.yesNoAnswers = {row.yes};
        f.host.dialogs.inputs = {"name"};
        f.editor.cbTouroku_Click();
        const auto& boxes = f.host.dialogs.boxes;
        ASSERT_FALSE(boxes.empty()) << row.name;
        if (!row.question.empty()) {
            EXPECT_EQ(boxes[0].kind + boxes[0].text, "yesno" + row.question) << row.name;
        }
        EXPECT_EQ(boxes.back().kind, row.registered ? "input" : "yesno") << row.name;
        EXPECT_EQ(f.program.EntryCount(), row.registered ? 1 : 0) << row.name;
    }
}

TEST_F(EditorFixture, RegisterCancelledChangesNothing) {
    Load({Entry("a", "/a/")});
    editor.cbTouroku_Click();  // no answer queued: Cancel
    EXPECT_EQ(program.EntryCount(), 1);
    EXPECT_EQ(view.items.size(), 2u);
    EXPECT_EQ(host.dialogs.boxes.size(), 1u);
}

TEST_F(EditorFixture, DeleteSecondOfFourAfterConfirmation) {
    Load({Entry("a", "/a/"), Entry("b", "/b/"), Entry("c", "/c/"), Entry("d", "/d/")});
    Select(2);
    Type(EditorControl::txUrl, "/edited/");
    editor.cbDelete_Click();  // answered No
    ASSERT_EQ(host.dialogs.boxes.size(), 1u);
    // Enter pressed out of habit must not delete.
    EXPECT_EQ(host.dialogs.boxes[0].kind, "yesno-default-no");
    EXPECT_EQ(host.dialogs.boxes[0].title, "vexal");
    EXPECT_EQ(host.dialogs.boxes[0].text, "登録されている識別子 b を削除します。よろしいですか？");
    EXPECT_EQ(program.EntryCount(), 4);
    EXPECT_EQ(editor.CurIndex(), 2);
    EXPECT_EQ(view.Text(EditorControl::txUrl), "/edited/");

    host.dialogs.yesNoAnswers = {true};
    editor.cbDelete_Click();
    ASSERT_EQ(program.EntryCount(), 3);
    EXPECT_EQ(program.SiteEntries[1].Name, "a");
    EXPECT_EQ(program.SiteEntries[2].Name, "c");
    EXPECT_EQ(program.SiteEntries[2].Url, "/c/");
    EXPECT_EQ(program.SiteEntries[3].Name, "d");
    EXPECT_EQ(view.items, (std::vector<std::string>{"(新規)", "a", "c", "d"}));
    EXPECT_EQ(editor.CurIndex(), 0);
    EXPECT_EQ(view.selected, 0);
    ExpectDefaults();
    EXPECT_FALSE(view.Enabled(EditorControl::cbDelete));
    EXPECT_TRUE(host.files.files.empty());
}

TEST_F(EditorFixture, DeleteLastEntryLeavesOnlyTheNewEntryItem) {
    Load({Entry("only", "/o/")});
    Select(1);
    host.dialogs.yesNoAnswers = {true};
    editor.cbDelete_Click();
    EXPECT_EQ(program.EntryCount(), 0);
    EXPECT_EQ(view.items, (std::vector<std::string>{"(新規)"}));
}

struct EmptyUrlRow {
    const char* name;
    void (EditorPresenter::*command)();
    const char* message;
};

TEST_F(EditorFixture, EmptyUrlStopsPreviewAndSetWallpaperAfterSaving) {
    const EmptyUrlRow rows[] = {
        {"preview", &EditorPresenter::cbPreview_Click, "URL/ファイル が空欄です。"},
        {"setWallpaper", &EditorPresenter::cbSetWP_Click, "URL/ファイルが空欄です。"},
    };
    Load({Entry("a", "/a/")});
    Select(1);
    Type(EditorControl::txUrl, "");
    for (const auto& row : rows) {
        host.dialogs.boxes.clear();
        host.files.files.clear();
        (editor.*row.command)();
        ASSERT_EQ(host.dialogs.boxes.size(), 1u) << row.name;
        EXPECT_EQ(host.dialogs.boxes[0].kind, "error");
        EXPECT_EQ(host.dialogs.boxes[0].title, "vexal 1.00");
        EXPECT_EQ(host.dialogs.boxes[0].text, row.message) << row.name;
        EXPECT_TRUE(view.visible) << row.name;
        EXPECT_TRUE(frontEnd.retrievals.empty()) << row.name;
        EXPECT_EQ(Saved().SiteEntries[1].Url, "") << row.name;  // the edit was saved first
    }
}

TEST_F(EditorFixture, PreviewSavesThenRetrievesTheEditedFields) {
    Load({Entry("a", "/a/"), Entry("b", "/b/")});
    Select(2);
    Type(EditorControl::txUrl, "http://h/list.html");
    editor.cbPreview_Click();
    EXPECT_EQ(frontEnd.retrievals, (std::vector<bool>{true}));
    EXPECT_TRUE(program.ShowPreview);
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(program.RunMode, RunModeValue::Editor);
    EXPECT_EQ(program.CurrentEntry().Url, "http://h/list.html");
    EXPECT_EQ(program.CurrentEntry().Name, "");  // Name of the working copy is left alone
    EXPECT_NE(frontEnd.fileAtRetrieval.find("Url = http://h/list.html"), std::string::npos);
}

TEST_F(EditorFixture, SetWallpaperFromNewEntryStateRegistersNothing) {
    Load({Entry("a", "/a/")});
    Type(EditorControl::txUrl, "/tmp/try/");
    editor.cbSetWP_Click();
    EXPECT_EQ(frontEnd.retrievals, (std::vector<bool>{true}));
    EXPECT_FALSE(program.ShowPreview);
    EXPECT_EQ(program.CurrentEntry().Url, "/tmp/try/");
    EXPECT_EQ(program.EntryCount(), 1);
    EXPECT_EQ(frontEnd.fileAtRetrieval.find("/tmp/try/"), std::string::npos);
}

TEST_F(EditorFixture, EndSavesTheSelectedEntrysEditsThenEndsWithSuccess) {
    Load({Entry("a", "/a/"), Entry("b", "/b/")});
    Select(1);
    Type(EditorControl::txComment, "note\r\nsecond");
    editor.cbEnd_Click();
    EXPECT_TRUE(host.process.ended);
    EXPECT_EQ(host.process.status, kExitSuccess);
    const Program saved = Saved();
    ASSERT_EQ(saved.EntryCount(), 2);
    EXPECT_EQ(saved.SiteEntries[1].Comment, "note\r\nsecond");
    EXPECT_EQ(saved.SiteEntries[2].Url, "/b/");
}

// Regression: two editors on one settings file (or a text editor beside one) lost entries:
// each wrote only what it held. What was written elsewhere since this editor read the
// file is merged in by name, with this editor's additions, changes and deletions.
TEST_F(EditorFixture, EntriesWrittenElsewhereMeanwhileAreKept) {
    Load({Entry("a", "/a/"), Entry("gone", "/g/"), Entry("edited", "/e/")});
    ASSERT_EQ(SaveSettings(program, host.files), SaveResult::Saved);
    // The other editor adds "b", deletes "gone" and changes "edited".
    Program other = Saved();
    other.SettingsFileName = program.SettingsFileName;
    other.SiteEntries.erase(other.SiteEntries.begin() + 2);
    other.SiteEntries[2].Url = "/e2/";
    other.SiteEntries.push_back(Entry("b", "/b/"));
    ASSERT_EQ(SaveSettings(other, host.files), SaveResult::Saved);
    // This one adds "c" and changes "a".
    Select(1);
    Type(EditorControl::txUrl, "/a2/");
    Select(0);
    Type(EditorControl::txUrl, "/c/");
    // A picture kind and a rule: a folder here, a list file where folders end in "\\".
    view.SetChecked(EditorControl::ckExt, 1, true);
    view.SetChecked(EditorControl::ckFilter, 4, true);
    host.dialogs.inputs = {"c"};
    editor.cbTouroku_Click();
    editor.cbEnd_Click();
    EXPECT_EQ(host.process.status, kExitSuccess);
    const Program saved = Saved();
    std::vector<std::string> entries;
    for (int k = 1; k <= saved.EntryCount(); ++k)
        entries.push_back(saved.SiteEntries[k].Name + " " + saved.SiteEntries[k].Url);
    EXPECT_EQ(entries, (std::vector<std::string>{"a /a2/", "edited /e2/", "b /b/", "c /c/"}));
}

// With nothing changed since the file was read (or last saved), the close box ends at once
// without writing: an entry only looked at is no change.
TEST_F(EditorFixture, CloseBoxWithoutChangesEndsAtOnceWithoutSaving) {
    SiteEntry odd = Entry("b", "http://h/");
    odd.Comment = "one\r\ntwo";
    odd.WpState = WallpaperStyle{7};
    odd.No_n = 12;
    Load({Entry("a", "/a/"), odd});
    Select(2);
    Select(1);
    EXPECT_TRUE(editor.Form_Unload());
    EXPECT_TRUE(host.process.ended);
    EXPECT_TRUE(host.dialogs.boxes.empty());
    EXPECT_TRUE(host.files.files.empty());
}

// Regression: registering three entries and closing the window lost all three without a
// word. Registered, changed or deleted entries not saved make the close box ask first.
TEST_F(EditorFixture, CloseBoxAfterUnsavedChangesAsksWhetherToSave) {
    const struct {
        const char* name;
        void (*change)(EditorRig&);
    } changes[] = {
        {"registered",
         [](EditorRig& f) {
             f.host.dialogs.inputs = {"b"};
             f.editor.cbTouroku_Click();
         }},
        {"edited", [](EditorRig& f) { f.Select(1), f.Type(EditorControl::txComment, "new"); }},
        {"deleted",
         [](EditorRig& f) {
             f.Select(1);
             f.host.dialogs.yesNoAnswers = {true};
             f.editor.cbDelete_Click();
         }},
    };
    for (const auto& change : changes) {
        for (Answer answer : {Answer::Yes, Answer::No, Answer::Cancel}) {
            const std::string name = change.name + std::to_string(static_cast<int>(answer));
            EditorRig f;
            f.Load({Entry("a", "/a/")});
            change.change(f);
            f.host.dialogs.boxes.clear();
            f.host.dialogs.answers = {answer};
            EXPECT_EQ(f.editor.Form_Unload(), answer != Answer::Cancel) << name;
            ASSERT_EQ(f.host.dialogs.boxes.size(), 1u) << name;
            EXPECT_EQ(f.host.dialogs.boxes[0].kind, "yesnocancel") << name;
            EXPECT_EQ(f.host.dialogs.boxes[0].text,
                      "登録内容の変更が保存されていません。\r\n保存してから閉じますか？")
                << name;
            EXPECT_EQ(f.host.process.ended, answer != Answer::Cancel) << name;
            EXPECT_EQ(f.host.files.files.count("vexal.ini"), answer == Answer::Yes ? 1u : 0u) << name;
            if (answer != Answer::Yes) continue;
            // Once saved, closing asks nothing more.
            f.host.process.ended = false;
            f.host.dialogs.boxes.clear();
            EXPECT_TRUE(f.editor.Form_Unload()) << name;
            EXPECT_TRUE(f.host.dialogs.boxes.empty()) << name;
        }
    }
}

// Regression: an entry typed into the new-entry form and never registered was dropped by
// 終了 without a word. It asks: Yes registers it (then saves and ends), No saves the rest,
// Cancel, or no identifier, stays.
TEST_F(EditorFixture, EndWithAFilledNewEntryFormAsksToRegisterIt) {
    const std::string question = "新規の項目が登録されていません。\r\n登録してから終了しますか？";
    const struct {
        const char* name;
        Answer answer;
        std::deque<std::string> inputs;
        bool ended;
        int savedEntries;  // -1: nothing saved
    } rows[] = {
        {"yes", Answer::Yes, {"typed"}, true, 2},
        {"yesButNoIdentifier", Answer::Yes, {}, false, -1},
        {"no", Answer::No, {}, true, 1},
        {"cancel", Answer::Cancel, {}, false, -1},
    };
    for (const auto& row : rows) {
        EditorRig f;
        f.Load({Entry("a", "/a/")});
        f.Type(EditorControl::txUrl, "/typed/");
        f.view.SetChecked(EditorControl::ckExt, 1, true);
        f.view.SetChecked(EditorControl::ckFilter, 4, true);
        f.host.dialogs.answers = {row.answer};
        f.host.dialogs.inputs = row.inputs;
        f.editor.cbEnd_Click();
        ASSERT_FALSE(f.host.dialogs.boxes.empty()) << row.name;
        EXPECT_EQ(f.host.dialogs.boxes[0].kind + f.host.dialogs.boxes[0].text, "yesnocancel" + question)
            << row.name;
        EXPECT_EQ(f.host.process.ended, row.ended) << row.name;
        if (row.savedEntries < 0) {
            EXPECT_TRUE(f.host.files.files.empty()) << row.name;
            continue;
        }
        const Program saved = f.Saved();
        ASSERT_EQ(saved.EntryCount(), row.savedEntries) << row.name;
        if (row.savedEntries == 2) {
            EXPECT_EQ(saved.SiteEntries[2].Url, "/typed/") << row.name;
        }
    }
    // Any control of the form counts as typed into; a form as ClearFields left it does not.
    const struct {
        const char* name;
        void (*fill)(FakeEditorView&);
    } fills[] = {
        {"untouched", [](FakeEditorView&) {}},
        {"comment", [](FakeEditorView& v) { v.SetText(EditorControl::txComment, "c"); }},
        {"refstr", [](FakeEditorView& v) { v.SetText(EditorControl::txFnAdd, "r"); }},
        {"number", [](FakeEditorView& v) { v.SetText(EditorControl::txNo, "2"); }},
        {"minWidth", [](FakeEditorView& v) { v.SetText(EditorControl::txMinWidth, "800"); }},
        {"style", [](FakeEditorView& v) { v.SetChecked(EditorControl::opWp, 2, true); }},
        {"mode", [](FakeEditorView& v) { v.SetChecked(EditorControl::opNo, 1, true); }},
        {"filter", [](FakeEditorView& v) { v.SetChecked(EditorControl::ckFilter, 6, true); }},
        {"ext", [](FakeEditorView& v) { v.SetChecked(EditorControl::ckExt, 4, true); }},
        {"schedule",
         [](FakeEditorView& v) {
             v.SetChecked(EditorControl::cbSchedule, static_cast<int>(ScheduleKind::Logon), true);
         }},
        {"eachScreen", [](FakeEditorView& v) { v.SetChecked(EditorControl::ckEachScreen, 0, true); }},
        {"backColour", [](FakeEditorView& v) { v.SetChecked(EditorControl::ckBackColour, 0, true); }},
    };
    for (const auto& fill : fills) {
        EditorRig f;
        f.Load({Entry("a", "/a/")});
        fill.fill(f.view);
        f.editor.cbEnd_Click();
        EXPECT_EQ(f.host.dialogs.boxes.size(), std::string(fill.name) == "untouched" ? 0u : 1u) << fill.name;
    }
}

// Regression: an emoji or an accented letter in any field made every save fail, since
// code page 932 cannot hold it; such a file is now saved as UTF-8 and reads back whole.
TEST_F(EditorFixture, TextOutsideCodePage932IsSavedWhole) {
    const std::string emoji = "\xF0\x9F\x8C\xB8";  // U+1F338
    ASSERT_FALSE(FitsCp932(emoji));
    Load({Entry("a", "/a/")});
    Type(EditorControl::txComment, "花" + emoji);
    host.dialogs.inputs = {"x" + emoji};
    editor.cbTouroku_Click();
    Select(1);
    Type(EditorControl::txFnAdd, "été");
    editor.cbEnd_Click();
    EXPECT_EQ(host.dialogs.Texts(), (std::vector<std::string>{"登録する識別子を入力してください"}));
    EXPECT_TRUE(host.process.ended);
    const Program saved = Saved();
    ASSERT_EQ(saved.EntryCount(), 2);
    EXPECT_EQ(saved.SiteEntries[1].Refstr, "été");
    EXPECT_EQ(saved.SiteEntries[2].Name, "x" + emoji);
    EXPECT_EQ(saved.SiteEntries[2].Comment, "花" + emoji);
}

// Regression: a settings file that could not be written was reported as saved and the
// editor ended, losing every change.
TEST_F(EditorFixture, FailedWriteIsReportedAndTheEditorStays) {
    Load({Entry("a", "/a/")});
    host.files.failWrites = true;
    editor.cbEnd_Click();
    ASSERT_EQ(host.dialogs.boxes.size(), 1u);
    EXPECT_EQ(host.dialogs.boxes[0].text, "設定ファイル vexal.ini に書き込めませんでした。");
    host.files.failWith = FileFailure::DiskFull;
    editor.cbEnd_Click();
    ASSERT_EQ(host.dialogs.boxes.size(), 2u);
    EXPECT_EQ(host.dialogs.boxes[1].text,
              "設定ファイル vexal.ini に書き込めませんでした。ディスクの空きが足りません。");
    host.dialogs.boxes.pop_back();
    EXPECT_FALSE(host.process.ended);
    // A retrieval would run from settings that are not on disk: both commands stop after
    // their own message about the file.
    editor.cbSetWP_Click();
    editor.cbPreview_Click();
    EXPECT_TRUE(frontEnd.retrievals.empty());
    EXPECT_EQ(host.dialogs.boxes.size(), 3u);
}

// A save hands the system's scheduler exactly the schedules that changed since the file
// was last saved, each with the settings file's own folder; a deleted entry takes its
// schedule with it.
TEST_F(EditorFixture, SavingSetsChangedSchedulesInTheSettingsFolder) {
    SiteEntry kept = Entry("Kept", "/k/");
    kept.Schedule = ScheduleKind::Daily;
    SiteEntry gone = Entry("gone", "/g/");
    gone.Schedule = ScheduleKind::Logon;
    program.SettingsFileName = std::string("/home/me") + kFolderSeparator + "vexal.ini";
    const std::string folder = std::string("/home/me") + kFolderSeparator;
    Load({Entry("Photos", "/p/"), kept, gone});
    Select(1);
    view.SetChecked(EditorControl::cbSchedule, static_cast<int>(ScheduleKind::Hourly), true);
    Select(3);
    host.dialogs.yesNoAnswers = {true};
    editor.cbDelete_Click();
    editor.cbEnd_Click();
    EXPECT_EQ(scheduler.calls, (std::vector<std::string>{"Photos hourly " + folder, "gone never " + folder}));
    EXPECT_NE(host.files.files.at(program.SettingsFileName).find("Schedule = hourly"), std::string::npos);
    // Saving again without a change sets nothing again.
    scheduler.calls.clear();
    Select(1);
    editor.cbEnd_Click();
    EXPECT_TRUE(scheduler.calls.empty());
}

TEST_F(EditorFixture, ScheduleThatCannotBeSetIsReportedAndStaysSaved) {
    Load({Entry("photos", "/p/")});
    scheduler.failure.failure = ScheduleFailure::NoServiceManager;
    Select(1);
    view.SetChecked(EditorControl::cbSchedule, static_cast<int>(ScheduleKind::Daily), true);
    editor.cbEnd_Click();
    ASSERT_EQ(host.dialogs.boxes.size(), 1u);
    EXPECT_EQ(host.dialogs.boxes[0].text,
              MessageText(Language::Japanese, Message::ScheduleNeedsServiceManager, {"photos"}));
    EXPECT_EQ(Saved().SiteEntries[1].Schedule, ScheduleKind::Daily);
    EXPECT_TRUE(host.process.ended);
}

// Regression: a schedule the system did not hold (set by hand in the file, or refused) was
// shown as set, and saving never set it again. The line under the schedule says so, and
// every save sets it again until the system takes it.
TEST_F(EditorFixture, ScheduleTheSystemDoesNotHoldIsShownAndSetAgainOnSave) {
    SiteEntry byHand = Entry("Photos", "/p/");
    byHand.Schedule = ScheduleKind::Logon;
    SiteEntry held = Entry("held", "/h/");
    held.Schedule = ScheduleKind::Daily;
    program.SettingsFileName = std::string("/home/me") + kFolderSeparator + "vexal.ini";
    const std::string folder = std::string("/home/me") + kFolderSeparator;
    scheduler.missing = {"Photos"};
    Load({byHand, held, Entry("none", "/n/")});
    EXPECT_EQ(scheduler.asked, (std::vector<std::string>{"held daily " + folder, "Photos logon " + folder}));
    Select(1);
    EXPECT_EQ(view.Text(EditorControl::lbLastRun),
              MessageText(Language::Japanese, Message::ScheduleLineMissing));
    Select(2);
    EXPECT_EQ(view.Text(EditorControl::lbLastRun), "");

    Select(1);
    scheduler.failure.failure = ScheduleFailure::NoServiceManager;
    editor.cbEnd_Click();
    EXPECT_EQ(scheduler.calls, (std::vector<std::string>{"Photos logon " + folder}));
    ASSERT_EQ(host.dialogs.boxes.size(), 1u);
    EXPECT_EQ(view.Text(EditorControl::lbLastRun),
              MessageText(Language::Japanese, Message::ScheduleLineNeedsServiceManager));

    scheduler.failure = {};
    scheduler.calls.clear();
    editor.cbEnd_Click();
    EXPECT_EQ(scheduler.calls, (std::vector<std::string>{"Photos logon " + folder}));
    EXPECT_EQ(view.Text(EditorControl::lbLastRun), "");
    scheduler.calls.clear();
    editor.cbEnd_Click();
    EXPECT_TRUE(scheduler.calls.empty());
}

// The line under the schedule tells how the entry's last scheduled run went, whatever
// the letter case the run was started with.
TEST_F(EditorFixture, LastScheduledRunIsShownForTheSelectedEntry) {
    RecordScheduledRun(host.files, desktop.folder, "PHOTOS", "2026-12-08 10:00:00", false, "失敗\r\n理由");
    Load({Entry("photos", "/p/"), Entry("other", "/o/")});
    Select(1);
    EXPECT_EQ(view.Text(EditorControl::lbLastRun), "前回の自動変更: 2026-12-08 10:00:00 失敗 失敗 理由");
    Select(2);
    EXPECT_EQ(view.Text(EditorControl::lbLastRun), "");
}

}  // namespace
}  // namespace vexal
