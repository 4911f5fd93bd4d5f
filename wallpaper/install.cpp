// Wallpaper installation.
#include "wallpaper/install.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "host/desktop.h"
#include "host/image_decoder.h"
#include "host/run_guard.h"
#include "settings/source_kind.h"
#include "wallpaper/bmp_writer.h"
#include "wallpaper/history.h"
#include "wallpaper/image_library.h"
#include "wallpaper/screen_layout.h"

namespace vexal {
namespace {

InstallResult Failed(InstallOutcome failure, std::string subject = {}) {
    InstallResult result;
    result.outcome = failure;
    result.subject = std::move(subject);
    return result;
}

InstallResult DesktopFailed(InstallOutcome failure, DesktopResult why) {
    InstallResult result;
    result.outcome = failure;
    result.desktop = std::move(why);
    return result;
}

// A file that is no picture (an error page saved under an image name, say) or one too
// large to decode is an error of the picture the user chose: the message names that
// picture or URL, not the working copy it was fetched into.
InstallResult PictureRefused(const Program& program, const std::string& imagePath, const DecodeResult& why) {
    InstallResult result =
        Failed(InstallOutcome::PictureRefused, program.ChosenImage.empty() ? imagePath : program.ChosenImage);
    result.decode = why.Ok() ? DecodeResult{DecodeError::Unreadable, 0, 0} : why;
    return result;
}

// The bitmap could not be written, and the system said why.
InstallResult NotWritten(FileFailure why) {
    InstallResult result = Failed(InstallOutcome::NotWritten);
    result.fileFailure = why;
    return result;
}

// Writes the bitmap for a GIF or JPEG from the picture the preview already shows, or
// from a fresh read when it shows none. A fresh read is let go once the bitmap is
// written: the window is hidden and about to close, and keeping it would hold the
// picture twice while the desktop reads the bitmap back.
InstallResult WriteFromPicture(const Program& program, const WallpaperServices& services,
                               PreviewPicture& preview, const std::string& imagePath,
                               const std::string& destination) {
    if (preview.PictureLoaded && !preview.picture.Empty()) {
        if (WriteBmp(*services.files, destination, preview.picture)) return {};
        return NotWritten(services.files->LastFailure());
    }
    if (!services.images) return PictureRefused(program, imagePath, {DecodeError::Unreadable, 0, 0});
    const BmpFromFile converted = ConvertToBmp(*services.images, *services.files, imagePath, destination);
    if (!converted.decoded.Ok()) return PictureRefused(program, imagePath, converted.decoded);
    if (converted.written) return {};
    // Written by the decoder itself, or through the file system when it left the writing
    // to the portable path.
    return NotWritten(converted.writeFailure != FileFailure::Nothing ? converted.writeFailure
                                                                     : services.files->LastFailure());
}

// Writes the bitmap for `imagePath` under `temp`, or moves the program's own working bitmap
// straight to `destination` (`movedOut`), calling `beforeReplace` just before it does.
InstallResult WriteBitmap(const Program& program, const WallpaperServices& services, PreviewPicture& preview,
                          const std::string& imagePath, const std::string& temp,
                          const std::string& destination, const std::function<void()>& beforeReplace,
                          bool& movedOut) {
    const PictureKind kind = PictureKindOf(imagePath, false);
    if (kind == PictureKind::Bmp) {
        // Copied byte for byte, but only once it is known to be a picture: an error page
        // saved under an image name must not become the wallpaper.
        if (services.images) {
            const DecodeResult probe = services.images->Probe(imagePath);
            if (!probe.Ok()) return PictureRefused(program, imagePath, probe);
        }
        // The working file is the program's own and goes when the run ends: moved into
        // place it costs nothing, where a copy would write a photo-sized bitmap once more.
        // Across file systems it is copied under a name of its own instead. The user's own
        // picture serving as the working file is always copied.
        const bool ours = imagePath == program.WorkImageFile && !program.WorkImageIsChosen &&
                          !(services.guard && services.guard->StopRequested());
        if (ours) beforeReplace();
        if (ours && services.files->RenameDurably(imagePath, destination)) {
            movedOut = true;
        } else if (!services.files->CopyFile(imagePath, temp)) {
            return NotWritten(services.files->LastFailure());
        }
        return {};
    }
    if (kind == PictureKind::Gif || kind == PictureKind::Jpg || kind == PictureKind::Webp)
        return WriteFromPicture(program, services, preview, imagePath, temp);
    if (kind == PictureKind::Png) {
        if (!services.images) return Failed(InstallOutcome::PngUnreadable);
        const BmpFromFile converted = ConvertToBmp(*services.images, *services.files, imagePath, temp);
        if (converted.decoded.error == DecodeError::TooLarge)
            return PictureRefused(program, imagePath, converted.decoded);
        if (!converted.decoded.Ok()) return Failed(InstallOutcome::PngUnreadable);
        if (!converted.written) return Failed(InstallOutcome::PngNotConverted);
        return {};
    }
    return Failed(InstallOutcome::UnsupportedKind);
}

// The wallpaper folder's bitmaps kept to go back to, as one installation sees them: the
// wallpaper about to be replaced (the one bitmap, or each screen's when the history says
// the screens have their own) gets a second name beside it (a link, so keeping it costs
// no copy of a photo-sized file, and the wallpaper's own name never stands empty: a run
// killed at any moment leaves the old picture or the new), and is put back if the new one
// does not take its place after all.
class KeptBitmaps {
public:
    KeptBitmaps(const WallpaperServices& services, std::string folder, std::string destination)
        : files_(*services.files), folder_(std::move(folder)), destination_(std::move(destination)) {}

    void KeepCurrent(const History& history) {
        if (!kept_.empty()) return;
        // The history holds at most kBackKept wallpapers, so one of these is always free.
        std::size_t slot = 1;
        while (slot <= kBackKept + 1 &&
               std::any_of(history.back.begin(), history.back.end(),
                           [&](const PreviousWallpaper& p) { return UsesBackSlot(p, slot); }))
            ++slot;
        std::vector<std::string> screenFiles;
        for (std::size_t i = 0; i < history.currentScreens; ++i)
            screenFiles.push_back(ScreenBitmapPath(destination_, i));
        // Screens whose bitmaps are not all there any more are no wallpaper to go back to.
        const bool screens =
            !screenFiles.empty() && std::all_of(screenFiles.begin(), screenFiles.end(),
                                                [&](const std::string& f) { return files_.IsNormalFile(f); });
        if (screens) {
            for (std::size_t i = 0; i < screenFiles.size(); ++i) {
                const std::string name = BackScreenBitmapName(slot, i + 1);
                if (!files_.LinkFile(screenFiles[i], PathOf(name))) {
                    PutBack();
                    return;
                }
                kept_.push_back({name, screenFiles[i]});
            }
            keptScreens_ = true;
        } else if (files_.IsNormalFile(destination_) &&
                   files_.LinkFile(destination_, PathOf(BackBitmapName(slot)))) {
            kept_.push_back({BackBitmapName(slot), destination_});
        }
    }

    // The new bitmap did not take the old one's place: the old one never left it, and
    // only its second name goes.
    void Drop() {
        for (const auto& [name, from] : kept_) files_.DeleteFile(PathOf(name));
        kept_.clear();
        keptScreens_ = false;
    }

    // Undoes what was replaced since. A bitmap not replaced is still in place, and its
    // second name (which a rename onto the same file leaves) goes.
    void PutBack() {
        while (!kept_.empty() && files_.RenameFile(PathOf(kept_.back().first), kept_.back().second)) {
            files_.DeleteFile(PathOf(kept_.back().first));
            kept_.pop_back();
        }
        keptScreens_ = false;
    }

    // The new wallpaper is in place: the kept one joins the history in the style it was
    // shown in, and the oldest beyond the bound goes.
    void Remember(History& history) {
        if (kept_.empty()) return;
        PreviousWallpaper previous{{}, history.current, {}};
        if (keptScreens_)
            for (const auto& [name, from] : kept_) previous.screens.push_back(name);
        else
            previous.bitmap = kept_.front().first;
        history.back.push_back(std::move(previous));
        while (history.back.size() > kBackKept) {
            const PreviousWallpaper& oldest = history.back.front();
            if (!oldest.bitmap.empty()) files_.DeleteFile(PathOf(oldest.bitmap));
            for (const std::string& name : oldest.screens) files_.DeleteFile(PathOf(name));
            history.back.erase(history.back.begin());
        }
    }

    std::string PathOf(const std::string& name) const { return folder_ + kFolderSeparator + name; }

private:
    FileSystem& files_;
    const std::string folder_;
    const std::string destination_;
    std::vector<std::pair<std::string, std::string>> kept_;  // kept name, the path it came from
    bool keptScreens_ = false;
};

// Puts the bitmap that `write` makes at `path`, through a file of its own renamed over it
// once whole.
InstallResult PutBitmap(const WallpaperServices& services, const std::string& path,
                        const std::function<bool(const std::string&)>& write) {
    const std::string temp = TempPathFor(path, services.guard);
    if (write(temp) && !(services.guard && services.guard->StopRequested()) &&
        services.files->RenameDurably(temp, path))
        return {};
    const FileFailure why = services.files->LastFailure();
    services.files->DeleteFile(temp);
    if (services.guard && services.guard->StopRequested()) return Failed(InstallOutcome::Stopped);
    InstallResult result = NotWritten(why);
    result.subject = path;
    return result;
}

// Writes the bitmap of the whole virtual screen with the `placed` pictures in it and
// shows it spanned across the screens.
InstallResult SpanAcrossScreens(const WallpaperServices& services, const std::string& destination,
                                const std::vector<Screen>& screens, std::vector<PlacedPicture>& placed) {
    // Spanned from the virtual screen's top left corner, where the origin always lies.
    PixelRect area = VirtualScreen(screens);
    if (area.x > 0) {
        area.width += area.x;
        area.x = 0;
    }
    if (area.y > 0) {
        area.height += area.y;
        area.y = 0;
    }
    const std::uint32_t background = services.desktop->BackgroundColour();
    if (InstallResult put = PutBitmap(services, destination,
                                      [&](const std::string& temp) {
                                          return WriteComposedBmp(*services.files, temp, area, placed,
                                                                  background);
                                      });
        !put.Ok())
        return put;
    // Let go before the desktop reads the bitmap back.
    placed.clear();
    if (DesktopResult set = services.desktop->SetWallpaper(destination, {kSpannedStyle, "0"}); !set)
        return DesktopFailed(InstallOutcome::Refused, std::move(set));
    return {};
}

// Lays each screen's picture out on its screen in the entry's style, in screen order, and
// hands it to `use` (which may stop the walk with a failure). Fewer pictures than screens
// repeat from the first. Only one photo is decoded at a time: each is let go once laid
// out at its screen's size. A picture that cannot be read is named as the user knows it.
InstallResult LayOutEachScreen(const Program& program, const WallpaperServices& services,
                               const std::string& imagePath, const std::vector<Screen>& screens,
                               std::uint32_t background,
                               const std::function<InstallResult(std::size_t, Picture)>& use) {
    std::vector<std::string> pictures = {imagePath};
    for (const ScreenImage& more : program.MoreScreens) pictures.push_back(more.file);
    const WallpaperStyle style = program.CurrentEntry().WpState;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const std::size_t k = i % pictures.size();
        Picture decoded;
        const DecodeResult read = services.images->Decode(pictures[k], decoded);
        if (!read.Ok() || decoded.Empty()) {
            const std::string& named = k == 0 ? program.ChosenImage : program.MoreScreens[k - 1].chosen;
            InstallResult result =
                Failed(InstallOutcome::PictureRefused, named.empty() ? pictures[k] : named);
            result.decode = read.Ok() ? DecodeResult{DecodeError::Unreadable, 0, 0} : read;
            return result;
        }
        const PixelRect& rect = screens[i].rect;
        Picture laidOut = LayOutOnScreen(decoded, style, rect.width, rect.height, background);
        decoded = {};
        if (InstallResult used = use(i, std::move(laidOut)); !used.Ok()) return used;
    }
    return {};
}

// A picture on each screen: each laid out on its own screen and kept as a bitmap of its
// own beside the wallpaper's, for desktops that hold one per screen; the others get one
// bitmap of the whole virtual screen composed from them, spanned across their screens.
// The wallpaper it replaces is kept to go back to, and the history remembers every
// candidate shown.
InstallResult InstallEachScreen(Program& program, const WallpaperServices& services,
                                const std::string& folder, const std::string& imagePath,
                                const std::vector<Screen>& screens, const std::string& destination) {
    const std::uint32_t background = services.desktop->BackgroundColour();
    const WallpaperStyle style = program.CurrentEntry().WpState;
    const std::size_t pictureCount = 1 + program.MoreScreens.size();
    const std::string historyPath = HistoryPath(services.desktop);
    History history = ReadHistory(*services.files, historyPath);
    const History before = history;
    KeptBitmaps kept(services, folder, destination);
    // Kept before any screen's bitmap is replaced: the shown ones may be those.
    kept.KeepCurrent(history);
    std::vector<PlacedPicture> placed;
    std::vector<std::string> screenFiles;
    if (InstallResult laidOut =
            LayOutEachScreen(program, services, imagePath, screens, background,
                             [&](std::size_t i, Picture picture) {
                                 placed.push_back({screens[i].rect, std::move(picture)});
                                 screenFiles.push_back(ScreenBitmapPath(destination, i));
                                 return PutBitmap(services, screenFiles.back(), [&](const std::string& temp) {
                                     return WriteBmp(*services.files, temp, placed.back().picture);
                                 });
                             });
        !laidOut.Ok()) {
        kept.PutBack();
        return laidOut;
    }
    const auto remember = [&](bool shown) {
        std::vector<std::string> shownOnce;
        for (std::size_t k = 0; shown && k < std::min(screens.size(), pictureCount); ++k) {
            const std::string& candidate =
                k == 0 ? program.ChosenCandidate : program.MoreScreens[k - 1].candidate;
            // A picture repeated on another screen is remembered once.
            if (candidate.empty() ||
                std::find(shownOnce.begin(), shownOnce.end(), candidate) != shownOnce.end())
                continue;
            shownOnce.push_back(candidate);
            history.AddPick(program.CurrentEntry().Name, candidate);
        }
        if (history != before) (void)WriteHistory(*services.files, historyPath, history);
    };
    InstallResult result;
    if (ScreenWallpapers set = services.desktop->SetScreenWallpapers(screenFiles, screens); set.handled) {
        kept.Remember(history);
        history.current = StyleCode(style);
        history.currentScreens = screens.size();
        if (!set.result) result = DesktopFailed(InstallOutcome::Refused, std::move(set.result));
    } else {
        result = SpanAcrossScreens(services, destination, screens, placed);
        if (result.outcome == InstallOutcome::NotWritten || result.outcome == InstallOutcome::Stopped) {
            kept.PutBack();
            return result;
        }
        kept.Remember(history);
        history.current = {kSpannedStyle, "0"};
        history.currentScreens = 0;
    }
    remember(result.Ok());
    return result;
}

// Puts a kept wallpaper of a picture for each screen back: each screen's bitmap in its
// place, shown on its screen where the desktop holds one per screen, and otherwise spanned
// across the screens as they stand now (or the first screen's alone, on one screen).
// Nothing when one of its bitmaps is gone; `history` then is as it was.
std::optional<InstallResult> GoBackToScreens(const WallpaperServices& services, const std::string& folder,
                                             const std::string& destination,
                                             const PreviousWallpaper& previous, History& history) {
    std::vector<std::string> kept, paths;
    for (std::size_t i = 0; i < previous.screens.size(); ++i) {
        kept.push_back(folder + kFolderSeparator + previous.screens[i]);
        paths.push_back(ScreenBitmapPath(destination, i));
        if (!services.files->IsNormalFile(kept.back())) return std::nullopt;
    }
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (!services.files->RenameDurably(kept[i], paths[i])) {
            InstallResult result = NotWritten(services.files->LastFailure());
            result.subject = paths[i];
            return result;
        }
    history.current = previous.style;
    history.currentScreens = paths.size();
    const std::vector<Screen> screens = services.desktop->Screens();
    if (screens.size() == paths.size()) {
        if (ScreenWallpapers set = services.desktop->SetScreenWallpapers(paths, screens); set.handled) {
            if (!set.result) return DesktopFailed(InstallOutcome::Refused, std::move(set.result));
            return InstallResult{};
        }
    }
    if (SeveralScreens(screens) && services.images) {
        // Each bitmap was made at its screen's size; stretched, it fills its screen still
        // when the screens have changed since.
        std::vector<PlacedPicture> placed;
        for (std::size_t i = 0; i < screens.size(); ++i) {
            Picture decoded;
            if (!services.images->Decode(paths[i % paths.size()], decoded).Ok() || decoded.Empty())
                return Failed(InstallOutcome::PictureRefused, paths[i % paths.size()]);
            const PixelRect& rect = screens[i].rect;
            placed.push_back({rect, LayOutOnScreen(decoded, WallpaperStyle::Stretched, rect.width,
                                                   rect.height, services.desktop->BackgroundColour())});
        }
        return SpanAcrossScreens(services, destination, screens, placed);
    }
    if (DesktopResult set = services.desktop->SetWallpaper(paths.front(), {"2", "0"}); !set)
        return DesktopFailed(InstallOutcome::Refused, std::move(set));
    return InstallResult{};
}

}  // namespace

std::string ScreenBitmapPath(const std::string& destination, std::size_t screen) {
    const std::size_t separator = destination.find_last_of("/\\");
    const std::size_t dot = destination.rfind('.');
    const std::string number = "-" + std::to_string(screen + 1);
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
        return destination + number;
    return destination.substr(0, dot) + number + destination.substr(dot);
}

StyleValues StyleCode(WallpaperStyle wpState) {
    switch (wpState) {
        case WallpaperStyle::Centred:
            return {"0", "0"};
        case WallpaperStyle::Tiled:
            return {"0", "1"};
        case WallpaperStyle::Stretched:
            return {"2", "0"};
        case WallpaperStyle::Fill:
            return {"10", "0"};
        case WallpaperStyle::Fit:
            return {"6", "0"};
    }
    return {};
}

std::vector<Screen> ScreensForEachPicture(const Program& program, const WallpaperServices& services) {
    // With one screen, or a picture named on the command line, nothing changes.
    if (program.RunMode == RunModeValue::Direct || !program.CurrentEntry().EachScreen || !services.images ||
        !services.desktop)
        return {};
    std::vector<Screen> screens = services.desktop->Screens();
    if (!SeveralScreens(screens)) return {};
    return screens;
}

InstallResult PreviewEachScreen(const Program& program, const WallpaperServices& services,
                                const std::vector<Screen>& screens, Picture& previewOut) {
    previewOut = {};
    const PixelRect area = VirtualScreen(screens);
    if (area.width <= 0 || area.height <= 0) return {};
    // Scaled down to fit within the largest screen, the most a window on one of them can
    // show, and never enlarged.
    std::int32_t largestWidth = 1, largestHeight = 1;
    for (const Screen& s : screens) {
        largestWidth = std::max(largestWidth, s.rect.width);
        largestHeight = std::max(largestHeight, s.rect.height);
    }
    PixelRect shown = {0, 0, area.width, area.height};
    if (area.width > largestWidth || area.height > largestHeight) {
        shown = FitInside(area.width, area.height, largestWidth, largestHeight);
        shown.x = shown.y = 0;
    }
    // A screen's edges scaled one by one, so neighbours meet without a gap or an overlap.
    auto scaled = [](std::int64_t v, std::int32_t from, std::int32_t to) {
        return static_cast<std::int32_t>((v * to + from / 2) / from);
    };
    const std::uint32_t background = services.desktop->BackgroundColour();
    std::vector<PlacedPicture> placed;
    InstallResult laidOut = LayOutEachScreen(
        program, services, program.WorkImageFile, screens, background, [&](std::size_t i, Picture picture) {
            const PixelRect& r = screens[i].rect;
            const std::int32_t left = scaled(std::int64_t{r.x} - area.x, area.width, shown.width);
            const std::int32_t top = scaled(std::int64_t{r.y} - area.y, area.height, shown.height);
            const std::int32_t right = scaled(std::int64_t{r.x} + r.width - area.x, area.width, shown.width);
            const std::int32_t bottom =
                scaled(std::int64_t{r.y} + r.height - area.y, area.height, shown.height);
            const PixelRect rect = {left, top, std::max(1, right - left), std::max(1, bottom - top)};
            // Laid out at the screen's own size first, exactly as it is installed, then
            // shrunk: a centred or tiled picture keeps its size against its screen.
            placed.push_back({rect, LayOutOnScreen(picture, WallpaperStyle::Stretched, rect.width,
                                                   rect.height, background)});
            return InstallResult{};
        });
    if (!laidOut.Ok()) return laidOut;
    previewOut = ComposeScreens(shown, placed, background);
    return {};
}

InstallResult InstallWallpaper(Program& program, const WallpaperServices& services, PreviewPicture& preview,
                               const std::string& imagePath) {
    if (!services.desktop) return DesktopFailed(InstallOutcome::NoFolder, {});
    std::string folder;
    if (DesktopResult found = services.desktop->WallpaperFolder(folder); !found)
        return DesktopFailed(InstallOutcome::NoFolder, std::move(found));
    const std::string destination = folder + kFolderSeparator + program.WinFolderWPname;
    if (const std::vector<Screen> screens = ScreensForEachPicture(program, services); !screens.empty())
        return InstallEachScreen(program, services, folder, imagePath, screens, destination);
    // The bitmap is written under a name of its own and renamed over the old one once it is
    // whole and on the disk: the desktop, another run, a crash or a power cut only ever
    // finds the old picture or the new.
    const std::string temp = TempPathFor(destination, services.guard);
    const std::string historyPath = HistoryPath(services.desktop);
    History history = ReadHistory(*services.files, historyPath);
    const History before = history;
    KeptBitmaps kept(services, folder, destination);
    auto failed = [&](InstallResult result) {
        services.files->DeleteFile(temp);
        kept.Drop();
        if (result.outcome == InstallOutcome::NotWritten) result.subject = destination;
        return result;
    };
    bool moved = false;
    if (InstallResult written = WriteBitmap(
            program, services, preview, imagePath, temp, destination, [&] { kept.KeepCurrent(history); },
            moved);
        !written.Ok())
        return failed(std::move(written));

    if (!moved) {
        // Asked to stop while the bitmap was being written: the old wallpaper stays.
        if (services.guard && services.guard->StopRequested()) return failed(Failed(InstallOutcome::Stopped));
        kept.KeepCurrent(history);
        if (!services.files->RenameDurably(temp, destination))
            return failed(NotWritten(services.files->LastFailure()));
    }
    kept.Remember(history);
    history.currentScreens = 0;

    StyleValues style;
    if (program.RunMode != RunModeValue::Direct) {
        const StyleValues code = StyleCode(program.CurrentEntry().WpState);
        if (!code.Empty()) {
            style = code;
            history.current = code;
        }
    }

    // The history is a convenience: a run whose history cannot be written has still
    // changed the wallpaper.
    DesktopResult set = services.desktop->SetWallpaper(destination, style);
    if (set && program.RunMode != RunModeValue::Direct && !program.ChosenCandidate.empty())
        history.AddPick(program.CurrentEntry().Name, program.ChosenCandidate);
    if (history != before) (void)WriteHistory(*services.files, historyPath, history);
    if (!set) return DesktopFailed(InstallOutcome::Refused, std::move(set));
    return {};
}

InstallResult GoBack(const Program& program, const WallpaperServices& services) {
    if (!services.desktop) return DesktopFailed(InstallOutcome::NoFolder, {});
    std::string folder;
    if (DesktopResult found = services.desktop->WallpaperFolder(folder); !found)
        return DesktopFailed(InstallOutcome::NoFolder, std::move(found));
    const std::string destination = folder + kFolderSeparator + program.WinFolderWPname;
    const std::string historyPath = HistoryPath(services.desktop);
    History history = ReadHistory(*services.files, historyPath);
    const std::size_t remembered = history.back.size();
    while (!history.back.empty()) {
        const PreviousWallpaper previous = history.back.back();
        history.back.pop_back();
        if (!previous.screens.empty()) {
            std::optional<InstallResult> back =
                GoBackToScreens(services, folder, destination, previous, history);
            if (!back) continue;
            (void)WriteHistory(*services.files, historyPath, history);
            return *back;
        }
        const std::string bitmap = folder + kFolderSeparator + previous.bitmap;
        // A kept bitmap that is gone (removed by hand, or kept in a folder the system used
        // before) is passed over for the one before it.
        if (!services.files->IsNormalFile(bitmap)) continue;
        if (!services.files->RenameDurably(bitmap, destination)) {
            InstallResult result = NotWritten(services.files->LastFailure());
            result.subject = destination;
            return result;
        }
        history.current = previous.style;
        history.currentScreens = 0;
        (void)WriteHistory(*services.files, historyPath, history);
        if (DesktopResult set = services.desktop->SetWallpaper(destination, previous.style); !set)
            return DesktopFailed(InstallOutcome::Refused, std::move(set));
        return {};
    }
    if (history.back.size() != remembered) (void)WriteHistory(*services.files, historyPath, history);
    return Failed(InstallOutcome::NothingToGoBack);
}

InstallResult Autowp(Program& program, const WallpaperServices& services) {
    // Nothing was shown: the picture is read afresh from the working file.
    PreviewPicture nothingShown;
    return InstallWallpaper(program, services, nothingShown, program.WorkImageFile);
}

}  // namespace vexal
