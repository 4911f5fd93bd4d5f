// Wallpaper installation.
#include "wallpaper/install.h"

#include "host/desktop.h"
#include "host/dialogs.h"
#include "host/image_decoder.h"
#include "host/run_guard.h"
#include "settings/source_kind.h"
#include "wallpaper/bmp_writer.h"
#include "wallpaper/image_library.h"

namespace vexal {
namespace {

constexpr const char* kChangeFailed = "壁紙の変更に失敗しました。";

bool Refuse(Host& host, const std::string& text) {
    host.dialogs->Notice(kPlainTitle, text);
    return false;
}

// The change failed: the message, and on its second line why, so that an unattended run
// (a cron job without a display, say) learns more than that it failed.
bool ChangeFailed(Host& host, const std::string& reason) {
    return Refuse(host,
                  reason.empty() ? std::string(kChangeFailed) : kChangeFailed + std::string("\r\n") + reason);
}

std::string DesktopReason(Host& host) { return host.desktop ? host.desktop->FailureReason() : std::string(); }

// A file that is no picture (an error page saved under an image name, say) or one too
// large to decode is an error of the picture the user chose: the error box names that
// picture or URL, not the working copy it was fetched into.
bool PictureRefused(const Program& program, Host& host, const std::string& imagePath,
                    const DecodeResult& why) {
    const std::string& chosen = program.ChosenImage.empty() ? imagePath : program.ChosenImage;
    ShowError(program, *host.dialogs,
              PictureErrorText(chosen, why.Ok() ? DecodeResult{DecodeError::Unreadable, 0, 0} : why));
    return false;
}

// Writes the bitmap for a GIF or JPEG from the picture the preview already shows, or
// from a fresh read when it shows none. A fresh read is let go once the bitmap is
// written: the window is hidden and about to close, and keeping it would hold the
// picture twice while the desktop reads the bitmap back.
enum class WriteOutcome { Written, Unreadable, NotWritten };

WriteOutcome WriteFromPicture(const Program& program, Host& host, PreviewPicture& preview,
                              const std::string& imagePath, const std::string& destination) {
    Picture fresh;
    const Picture* source = &preview.picture;
    if (!preview.PictureLoaded || preview.picture.Empty()) {
        if (!host.images) {
            PictureRefused(program, host, imagePath, {DecodeError::Unreadable, 0, 0});
            return WriteOutcome::Unreadable;
        }
        // Written while it is decoded where the platform can: the photo is then never held
        // whole, and the writing overlaps the decoding.
        const BmpFromFile direct = host.images->DecodeToBmp(imagePath, destination);
        if (direct.handled) {
            if (!direct.decoded.Ok()) {
                PictureRefused(program, host, imagePath, direct.decoded);
                return WriteOutcome::Unreadable;
            }
            return direct.written ? WriteOutcome::Written : WriteOutcome::NotWritten;
        }
        const DecodeResult decoded = host.images->Decode(imagePath, fresh);
        if (!decoded.Ok() || fresh.Empty()) {
            PictureRefused(program, host, imagePath, decoded);
            return WriteOutcome::Unreadable;
        }
        source = &fresh;
    }
    return WriteBmp(*host.files, destination, *source) ? WriteOutcome::Written : WriteOutcome::NotWritten;
}

}  // namespace

std::string StyleCode(WallpaperStyle wpState) {
    switch (wpState) {
        case WallpaperStyle::Centred:
            return "00";
        case WallpaperStyle::Tiled:
            return "01";
        case WallpaperStyle::Stretched:
            return "20";
    }
    return {};
}

void SetKeyValue(Host& host, const std::string& sKeyName, const std::string& sValueName,
                 const std::string& sValueSetting) {
    if (host.desktop) host.desktop->SetKeyValue(sKeyName, sValueName, sValueSetting);
}

bool InstallWallpaper(Program& program, Host& host, PreviewPicture& preview, const std::string& imagePath) {
    std::string folder;
    if (!host.desktop || !host.desktop->WallpaperFolder(folder))
        return ChangeFailed(host, DesktopReason(host));
    const std::string destination = folder + kFolderSeparator + program.WinFolderWPname;
    // The bitmap is written under a name of its own and renamed over the old one once it is
    // whole and on the disk: the desktop, another run, a crash or a power cut only ever
    // finds the old picture or the new.
    const std::string temp = TempPathFor(destination, host.guard);
    auto refuse = [&](const std::string& text) {
        host.files->DeleteFile(temp);
        return Refuse(host, text);
    };
    auto notWritten = [&] {
        host.files->DeleteFile(temp);
        return ChangeFailed(host, "壁紙ファイル " + destination + " を書き込めませんでした。");
    };
    bool moved = false;

    const PictureKind kind = PictureKindOf(imagePath, false);
    if (kind == PictureKind::Bmp) {
        // Copied byte for byte, but only once it is known to be a picture: an error page
        // saved under an image name must not become the wallpaper.
        if (host.images) {
            const DecodeResult probe = host.images->Probe(imagePath);
            if (!probe.Ok()) return PictureRefused(program, host, imagePath, probe);
        }
        // The working file is the program's own and goes when the run ends: moved into
        // place it costs nothing, where a copy would write a photo-sized bitmap once more.
        // Across file systems it is copied under a name of its own instead. The user's own
        // picture serving as the working file is always copied.
        if (imagePath == program.WorkImageFile && !program.WorkImageIsChosen &&
            !(host.guard && host.guard->StopRequested()) &&
            host.files->RenameDurably(imagePath, destination)) {
            moved = true;
        } else if (!host.files->CopyFile(imagePath, temp)) {
            return notWritten();
        }
    } else if (kind == PictureKind::Gif || kind == PictureKind::Jpg || kind == PictureKind::Webp) {
        const WriteOutcome outcome = WriteFromPicture(program, host, preview, imagePath, temp);
        if (outcome == WriteOutcome::NotWritten) return notWritten();
        if (outcome != WriteOutcome::Written) {
            host.files->DeleteFile(temp);
            return false;
        }
    } else if (kind == PictureKind::Png) {
        if (!host.images) return Refuse(host, "png読み出しエラー");
        ImageLibrary library(*host.images, *host.files);
        const std::int32_t handle = library.PNGtoDIB(imagePath);
        if (handle == 0) {
            if (library.LastDecode().error == DecodeError::TooLarge)
                return PictureRefused(program, host, imagePath, library.LastDecode());
            return Refuse(host, "png読み出しエラー");
        }
        const std::int32_t written = library.DIBtoBMP(temp, handle);
        library.DeleteDIB(handle);
        if (written == 0) return refuse("png変換エラー");
    } else {
        return Refuse(host, "非対応拡張子が選択されました。");
    }

    if (!moved) {
        // Asked to stop while the bitmap was being written: the old wallpaper stays.
        if (host.guard && host.guard->StopRequested()) {
            host.files->DeleteFile(temp);
            return false;
        }
        if (!host.files->RenameDurably(temp, destination)) return notWritten();
    }

    if (program.RunMode != RunModeValue::Direct) {
        const std::string code = StyleCode(program.CurrentEntry().WpState);
        if (!code.empty()) {
            SetKeyValue(host, kDesktopKey, kWallpaperStyleName, code.substr(0, 1));
            SetKeyValue(host, kDesktopKey, kTileWallpaperName, code.substr(1, 1));
        }
    }

    if (!host.desktop->SetWallpaper(destination)) return ChangeFailed(host, DesktopReason(host));
    return true;
}

void Autowp(Program& program, Host& host, PreviewView& preview) {
    preview.PictureState().PictureLoaded = false;
    const bool installed = InstallWallpaper(program, host, preview.PictureState(), program.WorkImageFile);
    preview.Unload(installed ? kExitSuccess : kExitFailure);
}

}  // namespace vexal
