// Wallpaper installation.
#include "wallpaper/install.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
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
InstallResult PictureRefused(const WallpaperPicture& picture, const DecodeResult& why) {
    // A decode cut short by a stop signal is no fault of the picture: the run ends quietly.
    if (why.error == DecodeError::Stopped) return Failed(InstallOutcome::Stopped);
    InstallResult result =
        Failed(InstallOutcome::PictureRefused, picture.named.empty() ? picture.file : picture.named);
    result.decode = why.Ok() ? DecodeResult{DecodeError::Unreadable, 0, 0} : why;
    return result;
}

// The bitmap could not be written, and the system said why.
InstallResult NotWritten(FileFailure why, std::string subject = {}) {
    InstallResult result = Failed(InstallOutcome::NotWritten, std::move(subject));
    result.fileFailure = why;
    return result;
}

// The colour around the pictures: the entry's, or the desktop's own.
std::uint32_t BackgroundOf(std::optional<std::uint32_t> colour, const WallpaperServices& services) {
    return colour ? *colour : services.desktop->BackgroundColour();
}

bool StopRequested(const WallpaperServices& services) {
    return services.guard && services.guard->StopRequested();
}

// The files one change puts in place, each renamed over the file it replaces while the
// replaced one keeps a second name beside it (a link: no copy of a photo-sized file, and
// the name itself never stands empty, so a run killed at any moment leaves the old file
// or the new). Undo puts every replaced file back, byte for byte, and removes the new
// files that replaced none; Commit lets the second names go.
class Replacements {
public:
    explicit Replacements(const WallpaperServices& services) : services_(services) {}
    // An undecided change is undone: a failure that returned early never keeps half of it.
    ~Replacements() { Undo(); }
    Replacements(const Replacements&) = delete;
    Replacements& operator=(const Replacements&) = delete;

    // Renames `from` over `to`. With `restoreFrom`, undoing renames it back to `from`
    // (a kept bitmap taken back into place); otherwise `from` was the change's own.
    [[nodiscard]] bool Replace(const std::string& from, const std::string& to, bool restoreFrom = false) {
        FileSystem& files = *services_.files;
        Step step{from, to, {}, restoreFrom};
        if (files.IsNormalFile(to)) {
            step.aside = AsideName(to);
            if (!files.LinkFile(to, step.aside)) return false;
        }
        if (!files.RenameDurably(from, to)) {
            const FileFailure why = files.LastFailure();
            if (!step.aside.empty()) files.DeleteFile(step.aside);
            failure_ = why;
            return false;
        }
        steps_.push_back(std::move(step));
        return true;
    }

    FileFailure LastFailure() const {
        return failure_ != FileFailure::Nothing ? failure_ : services_.files->LastFailure();
    }

    void Undo() {
        FileSystem& files = *services_.files;
        for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
            // The kept bitmap gets its own name back as a second name first, so the
            // wallpaper's name never stands empty.
            if (it->restoreFrom) (void)files.LinkFile(it->to, it->from);
            if (!it->aside.empty())
                (void)files.RenameFile(it->aside, it->to);
            else
                files.DeleteFile(it->to);
        }
        steps_.clear();
    }

    void Commit() {
        for (const Step& step : steps_)
            if (!step.aside.empty()) services_.files->DeleteFile(step.aside);
        steps_.clear();
    }

private:
    struct Step {
        std::string from, to, aside;
        bool restoreFrom = false;
    };

    // A name beside `path` that a run killed before it decided is known to have left.
    std::string AsideName(const std::string& path) const {
        const std::size_t cut = path.find_last_of("/\\");
        const std::size_t base = cut == std::string::npos ? 0 : cut + 1;
        return TempPathFor(path.substr(0, base) + "replaced-" + path.substr(base), services_.guard);
    }

    const WallpaperServices& services_;
    std::vector<Step> steps_;
    FileFailure failure_ = FileFailure::Nothing;
};

// Writes the bitmap for a GIF, JPEG, WebP, AVIF, HEIF or JPEG XL from the picture the preview already shows,
// or from a fresh read when it shows none. A fresh read is let go once the bitmap is
// written: the window is hidden and about to close, and keeping it would hold the
// picture twice while the desktop reads the bitmap back.
InstallResult WriteFromPicture(const WallpaperServices& services, const WallpaperPicture& picture,
                               const Picture* shown, const std::string& destination) {
    if (shown && !shown->Empty()) {
        if (WriteBmp(*services.files, destination, *shown)) return {};
        return NotWritten(services.files->LastFailure());
    }
    if (!services.images) return PictureRefused(picture, {DecodeError::Unreadable, 0, 0});
    const BmpFromFile converted = ConvertToBmp(*services.images, *services.files, picture.file, destination);
    if (!converted.decoded.Ok()) return PictureRefused(picture, converted.decoded);
    if (converted.written) return {};
    // Written by the decoder itself, or through the file system when it left the writing
    // to the portable path.
    return NotWritten(converted.writeFailure != FileFailure::Nothing ? converted.writeFailure
                                                                     : services.files->LastFailure());
}

// Writes the bitmap for a drawing (SVG), drawn at the size its style shows it on the
// largest screen, so it is as sharp as the screen is; the preview's picture, drawn for
// a window, is never used. Without a style the desktop keeps its own, and the drawing
// comes at the size it declares.
InstallResult WriteDrawing(const WallpaperServices& services, const WallpaperPicture& picture,
                           std::optional<WallpaperStyle> style, const std::string& destination) {
    PixelRect screen;
    for (const Screen& s : services.desktop->Screens())
        if (std::int64_t{s.rect.width} * s.rect.height > std::int64_t{screen.width} * screen.height)
            screen = s.rect;
    const auto shownAt = [&](std::int32_t width, std::int32_t height) {
        if (!style || screen.width <= 0) return ShownSize{width, height};
        return ShownSizeOf(*style, width, height, screen.width, screen.height);
    };
    Picture drawn;
    const DecodeResult read = services.images->DecodeToShow(picture.file, shownAt, drawn);
    if (!read.Ok() || drawn.Empty()) return PictureRefused(picture, read);
    if (WriteBmp(*services.files, destination, drawn)) return {};
    return NotWritten(services.files->LastFailure());
}

// Puts the bitmap for `picture` at `destination`: written under `temp` and renamed over
// it, or, for the run's own working bitmap, moved there at once.
InstallResult PutPicture(const WallpaperServices& services, const WallpaperPicture& picture,
                         const Picture* shown, std::optional<WallpaperStyle> style, const std::string& temp,
                         const std::string& destination, Replacements& swap) {
    const PictureKind kind = PictureKindOf(picture.file, false);
    InstallResult written;
    if (kind == PictureKind::Bmp) {
        // Copied byte for byte, but only once it is known to be a picture: an error page
        // saved under an image name must not become the wallpaper.
        if (services.images) {
            const DecodeResult probe = services.images->Probe(picture.file);
            if (!probe.Ok()) return PictureRefused(picture, probe);
        }
        // The working file is the program's own and goes when the run ends: moved into
        // place it costs nothing, where a copy would write a photo-sized bitmap once more.
        // Across file systems it is copied under a name of its own instead.
        if (picture.movable && !StopRequested(services) && swap.Replace(picture.file, destination)) return {};
        if (!services.files->CopyFile(picture.file, temp)) return NotWritten(services.files->LastFailure());
    } else if (kind == PictureKind::Gif || kind == PictureKind::Jpg || kind == PictureKind::Webp ||
               kind == PictureKind::Avif || kind == PictureKind::Heif || kind == PictureKind::Jxl) {
        written = WriteFromPicture(services, picture, shown, temp);
    } else if (kind == PictureKind::Svg) {
        if (!services.images) return PictureRefused(picture, {DecodeError::Unreadable, 0, 0});
        written = WriteDrawing(services, picture, style, temp);
    } else if (kind == PictureKind::Png) {
        if (!services.images) return Failed(InstallOutcome::PngUnreadable);
        const BmpFromFile converted = ConvertToBmp(*services.images, *services.files, picture.file, temp);
        if (converted.decoded.error == DecodeError::TooLarge)
            return PictureRefused(picture, converted.decoded);
        if (!converted.decoded.Ok())
            return Failed(InstallOutcome::PngUnreadable,
                          picture.named.empty() ? picture.file : picture.named);
        if (!converted.written) return Failed(InstallOutcome::PngNotConverted);
    } else {
        return Failed(InstallOutcome::UnsupportedKind);
    }
    if (!written.Ok()) return written;
    // Asked to stop while the bitmap was being written: the old wallpaper stays.
    if (StopRequested(services)) return Failed(InstallOutcome::Stopped);
    if (!swap.Replace(temp, destination)) return NotWritten(swap.LastFailure());
    return {};
}

// The wallpaper folder's bitmaps kept to go back to (or, when going back, to go forward to
// again), as one change sees them: the wallpaper about to be replaced (the one bitmap, or
// each screen's when the history says the screens have their own) gets a second name beside
// it under a free kept name before anything is replaced. The change that fails drops those
// names; the one that holds makes them the newest kept wallpaper.
class KeptBitmaps {
public:
    KeptBitmaps(const WallpaperServices& services, std::string folder, std::string destination,
                bool forward = false)
        : files_(*services.files),
          folder_(std::move(folder)),
          destination_(std::move(destination)),
          forward_(forward) {}
    ~KeptBitmaps() { Drop(); }
    KeptBitmaps(const KeptBitmaps&) = delete;
    KeptBitmaps& operator=(const KeptBitmaps&) = delete;

    void KeepCurrent(const History& history) {
        if (!kept_.empty()) return;
        // The history holds at most kBackKept wallpapers, so one of these is always free.
        const std::vector<PreviousWallpaper>& list = ListOf(history);
        std::size_t slot = 1;
        while (slot <= kBackKept + 1 &&
               std::any_of(list.begin(), list.end(), [&](const PreviousWallpaper& p) {
                   return forward_ ? UsesNextSlot(p, slot) : UsesBackSlot(p, slot);
               }))
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
                const std::string name =
                    forward_ ? NextScreenBitmapName(slot, i + 1) : BackScreenBitmapName(slot, i + 1);
                if (!files_.LinkFile(screenFiles[i], PathOf(name))) {
                    Drop();
                    return;
                }
                kept_.push_back(name);
            }
            keptScreens_ = true;
        } else if (const std::string name = forward_ ? NextBitmapName(slot) : BackBitmapName(slot);
                   files_.IsNormalFile(destination_) && files_.LinkFile(destination_, PathOf(name))) {
            kept_.push_back(name);
        }
    }

    // The change did not hold: the kept names go, and the wallpaper stays as it was.
    void Drop() {
        for (const std::string& name : kept_) files_.DeleteFile(PathOf(name));
        kept_.clear();
        keptScreens_ = false;
    }

    // The new wallpaper holds: the kept one joins the history in the style it was shown
    // in, and the oldest beyond the bound goes.
    void Remember(History& history) {
        if (kept_.empty()) return;
        PreviousWallpaper previous{{}, history.current, {}};
        if (keptScreens_)
            previous.screens = kept_;
        else
            previous.bitmap = kept_.front();
        std::vector<PreviousWallpaper>& list = ListOf(history);
        list.push_back(std::move(previous));
        kept_.clear();
        keptScreens_ = false;
        while (list.size() > kBackKept) {
            Forget(list.front());
            list.erase(list.begin());
        }
    }

    // Deletes the bitmaps `kept` keeps.
    void Forget(const PreviousWallpaper& kept) {
        if (!kept.bitmap.empty()) files_.DeleteFile(PathOf(kept.bitmap));
        for (const std::string& name : kept.screens) files_.DeleteFile(PathOf(name));
    }

    std::string PathOf(const std::string& name) const { return folder_ + kFolderSeparator + name; }

private:
    std::vector<PreviousWallpaper>& ListOf(History& history) const {
        return forward_ ? history.forward : history.back;
    }
    const std::vector<PreviousWallpaper>& ListOf(const History& history) const {
        return forward_ ? history.forward : history.back;
    }

    FileSystem& files_;
    const std::string folder_;
    const std::string destination_;
    const bool forward_;             // kept to go forward to, not back
    std::vector<std::string> kept_;  // the kept names, in screen order
    bool keptScreens_ = false;
};

// A new wallpaper took the place of one that going back had put there: what going back
// replaced is no longer ahead of it.
void ForgetForward(History& history, KeptBitmaps& kept) {
    for (const PreviousWallpaper& next : history.forward) kept.Forget(next);
    history.forward.clear();
}

// Puts the bitmap that `write` makes at `path`, through a file of its own renamed over it
// once whole.
InstallResult PutBitmap(const WallpaperServices& services, const std::string& path, Replacements& swap,
                        const std::function<bool(const std::string&)>& write) {
    const std::string temp = TempPathFor(path, services.guard);
    if (write(temp) && !StopRequested(services) && swap.Replace(temp, path)) return {};
    const FileFailure why = swap.LastFailure();
    services.files->DeleteFile(temp);
    if (StopRequested(services)) return Failed(InstallOutcome::Stopped);
    return NotWritten(why, path);
}

// Writes the bitmap of the whole virtual screen with the `placed` pictures in it and
// shows it spanned across the screens.
InstallResult SpanAcrossScreens(const WallpaperServices& services, const std::string& destination,
                                const std::vector<Screen>& screens, std::vector<PlacedPicture>& placed,
                                Replacements& swap, std::optional<std::uint32_t> colour = std::nullopt) {
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
    const std::uint32_t background = BackgroundOf(colour, services);
    if (InstallResult put = PutBitmap(services, destination, swap,
                                      [&](const std::string& temp) {
                                          return WriteComposedBmp(*services.files, temp, area, placed,
                                                                  background);
                                      });
        !put.Ok())
        return put;
    // Let go before the desktop reads the bitmap back.
    placed.clear();
    if (DesktopResult set = services.desktop->SetWallpaper(destination, {kSpannedStyle, "0", colour}); !set)
        return DesktopFailed(InstallOutcome::Refused, std::move(set));
    return {};
}

// A screen's picture laid out on it, or why it could not be.
struct LaidOut {
    Picture picture;
    DecodeResult read;
};

LaidOut LayOutRows(PictureRows& rows, WallpaperStyle style, const PixelRect& rect, std::uint32_t background) {
    LaidOut out;
    if (std::optional<Picture> p = LayOutOnScreen(rows, style, rect.width, rect.height, background))
        out.picture = std::move(*p);
    out.read = rows.Result();
    if (out.picture.Empty() && out.read.Ok()) out.read.error = DecodeError::Unreadable;
    return out;
}

// Lays each screen's picture out on its screen in the request's style, in screen order,
// and hands it to `use` (which may stop the walk with a failure). Fewer pictures than
// screens repeat from the first. A photo many times its screen's size is decoded reduced,
// no smaller than shown; where the decoder gives it as rows, it is laid out as it
// decodes, never held whole, and two screens' photos decode at once, one on a thread of
// its own. Otherwise one photo is decoded at a time, each let go once laid out. A picture
// that cannot be read is named as the user knows it.
InstallResult LayOutEachScreen(const InstallRequest& request, const WallpaperServices& services,
                               const std::vector<Screen>& screens, std::uint32_t background,
                               const std::function<InstallResult(std::size_t, Picture)>& use) {
    const std::vector<WallpaperPicture>& pictures = request.pictures;
    const WallpaperStyle style = request.style.value_or(WallpaperStyle::Centred);
    const auto pictureOf = [&](std::size_t i) -> const WallpaperPicture& {
        return pictures[i % pictures.size()];
    };
    const auto shownOn = [&](std::size_t i) {
        const PixelRect rect = screens[i].rect;
        return [style, rect](std::int32_t width, std::int32_t height) {
            return ShownSizeOf(style, width, height, rect.width, rect.height);
        };
    };
    // Rows are opened here, on the thread the decoder belongs to; only their rows are
    // read on the second thread.
    const auto openRows = [&](std::size_t i) -> std::unique_ptr<PictureRows> {
        if (!LaidOutAsRows(style)) return nullptr;
        return services.images->RowsToShow(pictureOf(i).file, shownOn(i));
    };
    const auto layOut = [&](std::size_t i, std::unique_ptr<PictureRows> rows) {
        if (rows) return LayOutRows(*rows, style, screens[i].rect, background);
        LaidOut out;
        Picture decoded;
        out.read = services.images->DecodeToShow(pictureOf(i).file, shownOn(i), decoded);
        if (out.read.Ok() && decoded.Empty()) out.read.error = DecodeError::Unreadable;
        if (out.read.Ok())
            out.picture =
                LayOutOnScreen(decoded, style, screens[i].rect.width, screens[i].rect.height, background);
        return out;
    };
    for (std::size_t i = 0; i < screens.size(); i += 2) {
        LaidOut pair[2];
        const std::size_t count = std::min<std::size_t>(2, screens.size() - i);
        std::unique_ptr<PictureRows> first = openRows(i);
        std::unique_ptr<PictureRows> second = count == 2 && first ? openRows(i + 1) : nullptr;
        std::thread helper;
        if (second) {
            try {
                helper = std::thread([&pair, &layOut, i, &first] { pair[0] = layOut(i, std::move(first)); });
            } catch (const std::system_error&) {
                // No thread to be had: the two are laid out one after the other.
            }
        }
        {
            struct Joiner {
                std::thread& thread;
                ~Joiner() {
                    if (thread.joinable()) thread.join();
                }
            } joiner{helper};
            if (!helper.joinable()) pair[0] = layOut(i, std::move(first));
            if (count == 2) pair[1] = layOut(i + 1, std::move(second));
        }
        for (std::size_t k = 0; k < count; ++k) {
            if (!pair[k].read.Ok()) return PictureRefused(pictureOf(i + k), pair[k].read);
            if (InstallResult used = use(i + k, std::move(pair[k].picture)); !used.Ok()) return used;
        }
    }
    return {};
}

// Where the wallpaper's bitmap goes, or why there is no such place.
InstallResult Destination(const WallpaperServices& services, const std::string& wallpaperName,
                          std::string& folderOut, std::string& destinationOut) {
    if (!services.desktop) return DesktopFailed(InstallOutcome::NoFolder, {});
    if (DesktopResult found = services.desktop->WallpaperFolder(folderOut); !found)
        return DesktopFailed(InstallOutcome::NoFolder, std::move(found));
    destinationOut = folderOut + kFolderSeparator + wallpaperName;
    return {};
}

// A picture on each screen: each laid out on its own screen and kept as a bitmap of its
// own beside the wallpaper's, for desktops that hold one per screen; the others get one
// bitmap of the whole virtual screen composed from them, spanned across their screens.
InstallResult InstallEachScreen(const InstallRequest& request, const WallpaperServices& services,
                                const std::string& folder, const std::string& destination) {
    const std::vector<Screen>& screens = request.screens;
    const std::uint32_t background = BackgroundOf(request.background, services);
    const std::string historyPath = HistoryPath(services.desktop);
    History history = ReadHistory(*services.files, historyPath);
    const History before = history;
    KeptBitmaps kept(services, folder, destination);
    Replacements swap(services);
    // Kept before any screen's bitmap is replaced: the shown ones may be those.
    kept.KeepCurrent(history);
    std::vector<PlacedPicture> placed;
    std::vector<std::string> screenFiles;
    if (InstallResult laidOut = LayOutEachScreen(
            request, services, screens, background,
            [&](std::size_t i, Picture picture) {
                placed.push_back({screens[i].rect, std::move(picture)});
                screenFiles.push_back(ScreenBitmapPath(destination, i));
                return PutBitmap(services, screenFiles.back(), swap, [&](const std::string& temp) {
                    return WriteBmp(*services.files, temp, placed.back().picture);
                });
            });
        !laidOut.Ok())
        return laidOut;
    std::size_t screenBitmaps = screens.size();
    StyleValues style = StyleCode(*request.style);
    if (ScreenWallpapers set = services.desktop->SetScreenWallpapers(screenFiles, screens); set.handled) {
        if (!set.result) return DesktopFailed(InstallOutcome::Refused, std::move(set.result));
    } else {
        if (InstallResult spanned =
                SpanAcrossScreens(services, destination, screens, placed, swap, request.background);
            !spanned.Ok())
            return spanned;
        screenBitmaps = 0;
        style = {kSpannedStyle, "0"};
    }
    swap.Commit();
    // Kept in the style it was shown in, before the new one's takes its place.
    kept.Remember(history);
    ForgetForward(history, kept);
    history.currentScreens = screenBitmaps;
    history.current = {style.wallpaperStyle, style.tileWallpaper};
    // The history is a convenience: a run whose history cannot be written has still
    // changed the wallpaper.
    if (history != before) (void)WriteHistory(*services.files, historyPath, history);
    return {};
}

// Puts a kept wallpaper of a picture for each screen back: each screen's bitmap in its
// place, shown on its screen where the desktop holds one per screen, and otherwise spanned
// across the screens as they stand now (or the first screen's alone, on one screen).
// Nothing when one of its bitmaps is gone.
std::optional<InstallResult> GoBackToScreens(const WallpaperServices& services, const std::string& folder,
                                             const std::string& destination,
                                             const PreviousWallpaper& previous, Replacements& swap) {
    std::vector<std::string> kept, paths;
    for (std::size_t i = 0; i < previous.screens.size(); ++i) {
        kept.push_back(folder + kFolderSeparator + previous.screens[i]);
        paths.push_back(ScreenBitmapPath(destination, i));
        if (!services.files->IsNormalFile(kept.back())) return std::nullopt;
    }
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (!swap.Replace(kept[i], paths[i], true)) return NotWritten(swap.LastFailure(), paths[i]);
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
        return SpanAcrossScreens(services, destination, screens, placed, swap);
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

std::vector<Screen> ScreensForEachPicture(const WallpaperServices& services) {
    if (!services.images || !services.desktop) return {};
    std::vector<Screen> screens = services.desktop->Screens();
    if (!SeveralScreens(screens)) return {};
    return screens;
}

InstallResult PreviewEachScreen(const InstallRequest& request, const WallpaperServices& services,
                                Picture& previewOut) {
    previewOut = {};
    const std::vector<Screen>& screens = request.screens;
    const PixelRect area = VirtualScreen(screens);
    if (area.width <= 0 || area.height <= 0 || request.pictures.empty()) return {};
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
    const std::uint32_t background = BackgroundOf(request.background, services);
    std::vector<PlacedPicture> placed;
    InstallResult laidOut =
        LayOutEachScreen(request, services, screens, background, [&](std::size_t i, Picture picture) {
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

InstallResult InstallWallpaper(const InstallRequest& request, const WallpaperServices& services) {
    std::string folder, destination;
    if (InstallResult found = Destination(services, request.wallpaperName, folder, destination); !found.Ok())
        return found;
    if (request.pictures.empty()) return Failed(InstallOutcome::UnsupportedKind);
    if (request.style && SeveralScreens(request.screens) && services.images)
        return InstallEachScreen(request, services, folder, destination);
    // The bitmap is written under a name of its own and renamed over the old one once it is
    // whole and on the disk: the desktop, another run, a crash or a power cut only ever
    // finds the old picture or the new.
    const std::string temp = TempPathFor(destination, services.guard);
    const std::string historyPath = HistoryPath(services.desktop);
    History history = ReadHistory(*services.files, historyPath);
    const History before = history;
    KeptBitmaps kept(services, folder, destination);
    kept.KeepCurrent(history);
    Replacements swap(services);
    InstallResult put =
        PutPicture(services, request.pictures.front(), request.shown, request.style, temp, destination, swap);
    if (!put.Ok()) {
        services.files->DeleteFile(temp);
        if (put.outcome == InstallOutcome::NotWritten) put.subject = destination;
        return put;
    }
    StyleValues style = request.style ? StyleCode(*request.style) : StyleValues{};
    style.background = request.background;
    if (DesktopResult set = services.desktop->SetWallpaper(destination, style); !set)
        return DesktopFailed(InstallOutcome::Refused, std::move(set));
    swap.Commit();
    kept.Remember(history);
    ForgetForward(history, kept);
    history.currentScreens = 0;
    if (!style.Empty()) history.current = {style.wallpaperStyle, style.tileWallpaper};
    if (history != before) (void)WriteHistory(*services.files, historyPath, history);
    return {};
}

namespace {

// Puts the newest wallpaper kept the one way (back, or forward with `forward`) in place, and
// keeps the one it replaces to come back to the other way.
InstallResult Step(const std::string& wallpaperName, const WallpaperServices& services, bool forward) {
    std::string folder, destination;
    if (InstallResult found = Destination(services, wallpaperName, folder, destination); !found.Ok())
        return found;
    const std::string historyPath = HistoryPath(services.desktop);
    History history = ReadHistory(*services.files, historyPath);
    std::vector<PreviousWallpaper>& from = forward ? history.forward : history.back;
    const std::size_t remembered = from.size();
    while (!from.empty()) {
        const PreviousWallpaper previous = from.back();
        from.pop_back();
        if (previous.screens.empty() &&
            !services.files->IsNormalFile(folder + kFolderSeparator + previous.bitmap))
            continue;
        // Kept before anything is replaced; it becomes the way back (or forward) only once
        // the desktop took the other.
        KeptBitmaps kept(services, folder, destination, !forward);
        kept.KeepCurrent(history);
        Replacements swap(services);
        if (!previous.screens.empty()) {
            std::optional<InstallResult> back =
                GoBackToScreens(services, folder, destination, previous, swap);
            if (!back) continue;
            if (!back->Ok()) return *back;
        } else {
            // A kept bitmap that is gone (removed by hand, or kept in a folder the system
            // used before) was passed over for the one before it.
            const std::string bitmap = folder + kFolderSeparator + previous.bitmap;
            if (!swap.Replace(bitmap, destination, true)) return NotWritten(swap.LastFailure(), destination);
            if (DesktopResult set = services.desktop->SetWallpaper(destination, previous.style); !set)
                return DesktopFailed(InstallOutcome::Refused, std::move(set));
        }
        swap.Commit();
        kept.Remember(history);
        history.current = previous.style;
        history.currentScreens = previous.screens.size();
        (void)WriteHistory(*services.files, historyPath, history);
        return {};
    }
    // Kept wallpapers whose bitmaps are all gone are forgotten.
    if (from.size() != remembered) (void)WriteHistory(*services.files, historyPath, history);
    return Failed(forward ? InstallOutcome::NothingToGoForward : InstallOutcome::NothingToGoBack);
}

}  // namespace

InstallResult GoBack(const std::string& wallpaperName, const WallpaperServices& services) {
    return Step(wallpaperName, services, false);
}

InstallResult GoForward(const std::string& wallpaperName, const WallpaperServices& services) {
    return Step(wallpaperName, services, true);
}

}  // namespace vexal
