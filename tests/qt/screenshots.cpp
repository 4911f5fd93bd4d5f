// Draws the three windows with sample contents (the preview also with a picture for each of
// two screens, the editor also in English) and saves each as a PNG, for the README.
// Usage: vexal_screenshots OUTPUT_FOLDER (run on the offscreen platform).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/startup.h"
#include "host/desktop.h"
#include "host/image_decoder.h"
#include "support/fakes.h"
#include "ui/editor.h"
#include "ui/preview_presenter.h"
#include "ui/progress_presenter.h"
#include "ui/qt/editor_window.h"
#include "ui/qt/front_end.h"
#include "ui/qt/japanese_ui.h"
#include "ui/qt/preview_window.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/qt_event_pump.h"

namespace {

// A made-up landscape: sky, sun and hills, so the preview shows a picture stretched.
vexal::Picture Landscape(int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double fy = static_cast<double>(y) / height;
            const double fx = static_cast<double>(x) / width;
            int r = static_cast<int>(90 + 120 * fy), g = static_cast<int>(150 + 80 * fy), b = 235;
            const double sun = std::hypot(fx - 0.75, fy - 0.25);
            if (sun < 0.08) r = 255, g = 220, b = 120;
            const double hill = 0.62 + 0.08 * std::sin(fx * 7.0) + 0.04 * std::sin(fx * 17.0 + 1.0);
            if (fy > hill) {
                const double depth = (fy - hill) / (1.0 - hill);
                r = static_cast<int>(60 - 30 * depth), g = static_cast<int>(150 - 60 * depth),
                b = static_cast<int>(70 - 30 * depth);
            }
            pixels[static_cast<std::size_t>(y) * width + x] =
                0xFF000000u | static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 |
                static_cast<std::uint32_t>(b);
        }
    }
    return vexal::Picture::FromPixels(width, height, std::move(pixels));
}

// Two screens of different sizes, the smaller one higher, in a desktop colour of their own.
class SampleScreens final : public vexal::Desktop {
public:
    std::vector<vexal::Screen> Screens() override {
        return {{{0, 150, 1920, 1080}, "L"}, {{1920, 0, 1280, 1024}, "R"}};
    }
    std::uint32_t BackgroundColour() override { return 0x3A6EA5; }
    vexal::DesktopResult WallpaperFolder(std::string& folderOut) override {
        folderOut = "/wallpaper";
        return {};
    }
    vexal::DesktopResult SetWallpaper(const std::string&, const vexal::StyleValues&) override { return {}; }
};

// Each working file a landscape of its own shape, so each screen shows another picture.
class SampleDecoder final : public vexal::ImageDecoder {
public:
    vexal::DecodeResult Probe(const std::string&) override { return {}; }
    vexal::DecodeResult Decode(const std::string& path, vexal::Picture& pictureOut) override {
        pictureOut = path == "wpcache.jpg" ? Landscape(1600, 900) : Landscape(900, 1200);
        return {vexal::DecodeError::None, pictureOut.width, pictureOut.height};
    }
};

vexal::SiteEntry Sample(const char* name, const char* url, const char* comment) {
    vexal::SiteEntry e;
    e.Name = name;
    e.Url = url;
    e.Comment = comment;
    e.No_n = 1;
    e.No = vexal::ChoiceMode::Random;
    e.WpState = vexal::WallpaperStyle::Stretched;
    e.Filter = {false, true, true, false, false, false, true};
    e.Ext = {false, true, true, false};
    e.MinWidth = 640;
    e.Schedule = vexal::ScheduleKind::Hourly;
    return e;
}

bool Save(QWidget* window, const QDir& folder, const char* name) {
    QApplication::processEvents();
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vexal::PreferJapaneseFont();
    vexal::LoadJapaneseQtTexts();
    if (argc != 2) {
        std::fprintf(stderr, "usage: vexal_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    vexal::Program program;
    vexal::InitGlobals(program, VEXAL_VERSION_MAJOR, VEXAL_VERSION_MINOR);
    program.NewMsg = "(新規登録)";
    // The status line names the file as a user's would be named.
    program.SettingsFileName = "/home/me/vexal.ini";
    program.SiteEntries.push_back(Sample("gallery", "http://example.com/gallery/index.html", "写真のページ"));
    program.SiteEntries.back().Background = 0x1E3A5F;
    program.SiteEntries.push_back(Sample("pictures", "/home/me/Pictures/", ""));
    // The same editor for a user whose system names another language than Japanese. The
    // comment is the user's own text, and NewMsg the settings file's: neither is translated.
    vexal::Program english = program;
    english.UserLanguage = vexal::Language::English;
    english.SiteEntries[1].Comment = "Holiday photos";
    vexal::testing::TestHost test;
    vexal::QtEventPump pump;
    test.host.pump = &pump;
    vexal::RunController controller(program, test.host);
    vexal::QtFrontEnd frontEnd(program, test.host, controller);

    frontEnd.ShowEditor();
    // Chosen as a user chooses it, so the window shows the entry.
    frontEnd.editorWindow()->cbSelect->setCurrentIndex(1);
    Q_EMIT frontEnd.editorWindow()->cbSelect->activated(1);
    bool ok = Save(frontEnd.editorWindow(), folder, "editor.png");
    frontEnd.editorWindow()->HideWindow();

    frontEnd.LoadRetrievalWindows();
    vexal::QtProgressWindow* progress = frontEnd.progressWindow();
    progress->SetMessage("元URL http://example.com/gallery/index.html を取得しています...");
    progress->SetProgressRange(0, 3565158);
    progress->SetProgressValue(1258291);
    progress->SetBytesText(vexal::TransferText(vexal::Language::Japanese, 1258291, 3565158, 5));
    progress->ShowWindow();
    ok = Save(progress, folder, "progress.png") && ok;
    progress->HideWindow();

    frontEnd.preview()->ShowWindow();
    frontEnd.previewWindow()->SetPicture(Landscape(640, 480));
    frontEnd.previewWindow()->SetSetWPEnabled(true);
    ok = Save(frontEnd.previewWindow(), folder, "preview.png") && ok;

    // An entry with a picture for each screen, previewed on two screens.
    SampleScreens screens;
    SampleDecoder decoder;
    test.host.desktop = &screens;
    test.host.images = &decoder;
    program.RunMode = vexal::RunModeValue::Entry;
    program.CurrentEntry() = Sample("screens", "/home/me/Pictures/", "");
    program.CurrentEntry().EachScreen = true;
    program.CurrentEntry().WpState = vexal::WallpaperStyle::Fill;
    vexal::RetrievedPictures pictures;
    pictures.screens = {{"wpcache.jpg", "/home/me/Pictures/a.jpg", {}, false},
                        {"wpcache-2.jpg", "/home/me/Pictures/b.jpg", {}, false}};
    frontEnd.preview()->DispPre(std::move(pictures));
    ok = Save(frontEnd.previewWindow(), folder, "preview-screens.png") && ok;

    vexal::testing::TestHost englishTest;
    englishTest.host.pump = &pump;
    vexal::RunController englishController(english, englishTest.host);
    vexal::QtFrontEnd englishFrontEnd(english, englishTest.host, englishController);
    englishFrontEnd.ShowEditor();
    englishFrontEnd.editorWindow()->cbSelect->setCurrentIndex(1);
    Q_EMIT englishFrontEnd.editorWindow()->cbSelect->activated(1);
    ok = Save(englishFrontEnd.editorWindow(), folder, "editor-en.png") && ok;
    return ok ? 0 : 1;
}
