// The retrieval driver.
#include "gather/driver.h"

#include <cassert>

#include "gather/choice.h"
#include "gather/links.h"
#include "gather/local_sources.h"
#include "gather/overlap.h"
#include "host/preview_view.h"
#include "host/progress_view.h"
#include "host/run_guard.h"
#include "net/transfer.h"
#include "program/program.h"
#include "settings/settings_file.h"
#include "settings/source_kind.h"
#include "wallpaper/image_library.h"
#include "wallpaper/install.h"

namespace vexal {
namespace {

// Ends the program after a failed step; false, for the caller to return.
bool End(Host& host) {
    host.process->End(kExitFailure);
    return false;
}

bool Fail(Program& program, Host& host, const std::string& text) {
    ShowError(program, *host.dialogs, text);
    return End(host);
}

bool SameFile(FileSystem& files, const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::string idA, idB;
    return files.FolderIdentity(a, idA) && files.FolderIdentity(b, idB) && idA == idB;
}

// Converts the PNG working file into a bitmap beside it, which becomes the working file.
// False when it ended the program.
bool ConvertPng(Program& program, Host& host) {
    if (host.progress) host.progress->SetMessage("pngファイルを変換しています...");
    const std::string png = program.WorkImageFile;
    assert(host.images);
    const std::string bmp = png.substr(0, png.size() - 3) + "bmp";
    // Written under a name of its own first, so no half bitmap ever carries the working name.
    const std::string temp = TempPathFor(bmp, host.guard);
    auto unreadable = [&](const DecodeResult& why) {
        // A picture refused for its size says so; anything else is the library's failure.
        ShowError(program, *host.dialogs,
                  why.error == DecodeError::TooLarge ? PictureErrorText(program.ChosenImage, why)
                                                     : "pngファイルの読み出しに失敗しました");
        DeleteWorkingFile(program, *host.files, png);
        host.files->DeleteFile(temp);
        return End(host);
    };
    // Rows are written as they are decoded where the platform can, so the writing
    // overlaps the decoding and the photo is never held whole.
    const BmpFromFile direct = host.images->DecodeToBmp(png, temp);
    bool written = direct.written;
    if (direct.handled) {
        if (!direct.decoded.Ok()) return unreadable(direct.decoded);
    } else {
        ImageLibrary library(*host.images, *host.files);
        const std::int32_t handle = library.PNGtoDIB(png);
        if (handle == 0) return unreadable(library.LastDecode());
        written = library.DIBtoBMP(temp, handle) != 0;
        // The decoded picture is released at once: a photo's pixels are large, and the
        // desktop is about to read the bitmap back.
        library.DeleteDIB(handle);
    }
    if (!written || !host.files->RenameFile(temp, bmp)) {
        ShowError(program, *host.dialogs, "pngファイルの変換に失敗しました");
        DeleteWorkingFile(program, *host.files, png);
        host.files->DeleteFile(temp);
        return End(host);
    }
    DeleteWorkingFile(program, *host.files, png);
    program.WorkImageFile = bmp;
    program.WorkImageIsChosen = false;
    return true;
}

// What every fetch obeys, read afresh each time: the editor may have changed TimeOut since.
TransferSettings SettingsOf(const Program& program) { return {program.RequestHeaderBlock, program.TimeOut}; }

// The server a fetch talked to, after success and failure alike: the choice hangs the
// page's relative links below its folder.
void CopyServer(const Transfer& transfer, Program& program) {
    program.ServerUrl = transfer.ServerUrl();
    program.RequestHeaders = transfer.RequestHeaders();
}

}  // namespace

bool TransferFetches::Told(const FetchResult& result) {
    CopyServer(transfer_, program_);
    if (result.Ok()) return true;
    owner_.FetchFailed(result);
    return false;
}

bool TransferFetches::SetGrpUrl() {
    return Told(transfer_.SetGrpUrl(SettingsOf(program_), program_.CurrentEntry().Url, program_.SourceText));
}

bool TransferFetches::SetGrpData() {
    const std::string work = WorkImageFileName(program_.CacheFileName, program_.ChosenImage, true);
    return Told(transfer_.SetGrpData(SettingsOf(program_), program_.ChosenImage, program_.RelativeToPage,
                                     work, program_.WorkImageFile));
}

bool frDispGet(Program& program, Host& host, Fetches& fetches) {
    if (program.RunMode != RunModeValue::Editor && program.RunMode != RunModeValue::Entry) return true;
    SiteEntry& entry = program.CurrentEntry();
    switch (ClassifySource(entry.Url)) {
        case SourceKind::WebPage:
        case SourceKind::LocalFile: {
            bool loaded = false;
            if (ClassifySource(entry.Url) == SourceKind::WebPage) {
                program.SourceText.clear();
                loaded = fetches.SetGrpUrl();
            } else {
                loaded = Load_sDArr(program, host);
            }
            if (!loaded) return End(host);
            ExtractLinks(program);
            break;
        }
        case SourceKind::WebImage:
        case SourceKind::LocalImage:
            program.ChosenImage = entry.Url;
            return true;
        case SourceKind::LocalFolder:
            LoadFlist(program, host);
            break;
        default:
            return true;
    }
    if (!ChooseCandidate(program, host)) return End(host);
    return true;
}

bool frDispGo(Program& program, Host& host, Fetches& fetches) {
    program.WorkImageIsChosen = false;
    // Everything from here on writes the working file or the wallpaper.
    if (!TakeRunLock(program, host)) return false;
    const SourceKind kind = ClassifySource(program.ChosenImage);
    if (program.RelativeToPage || kind == SourceKind::WebImage) {
        if (!fetches.SetGrpData()) return End(host);
    } else if (kind == SourceKind::LocalImage) {
        if (!host.files->IsNormalFile(program.ChosenImage))
            return Fail(program, host, "画像ファイル " + program.ChosenImage + " が見つかりません。");
        const std::string work = WorkImageFileName(program.CacheFileName, program.ChosenImage, false);
        // Copying the working file onto itself would gain nothing, and deleting the working
        // file afterwards would delete the user's picture: it is used where it is instead.
        program.WorkImageIsChosen = SameFile(*host.files, program.ChosenImage, work);
        if (!program.WorkImageIsChosen) {
            const std::string temp = TempPathFor(work, host.guard);
            if (!host.files->CopyFile(program.ChosenImage, temp) || !host.files->RenameFile(temp, work)) {
                host.files->DeleteFile(temp);
                return Fail(
                    program, host,
                    "画像ファイル " + program.ChosenImage + " を " + work + " にコピーできませんでした。");
            }
        }
        program.WorkImageFile = work;
    } else {
        return Fail(program, host, "画像ファイルが指定されませんでした。");
    }

    const std::string& work = program.WorkImageFile;
    if (PictureKindOf(work, false) == PictureKind::Png && !ConvertPng(program, host)) return false;

    if (host.progress) host.progress->HideWindow();
    if (host.pump) host.pump->Pump();
    PreviewView& preview = *host.preview;
    if (program.ShowPreview) {
        preview.ShowWindow();
        preview.DispPre();
    } else {
        preview.LoadWindow();
        Autowp(program, host, preview);
    }
    return true;
}

bool RunRetrieval(Program& program, Host& host, Fetches& fetches, bool gather) {
    // A stop that came while the program started ends the run before it does anything.
    if (host.guard && host.guard->StopRequested()) {
        EndInterrupted(program, host);
        return false;
    }
    // Refused before anything is fetched or moved: an empty name made the bitmap's path the
    // wallpaper folder itself, and the rename that puts a bitmap in place would then have
    // traded the folder, lock and all, for the picture.
    if (const char* key = UnusableFileNameKey(program)) {
        const std::string& value =
            std::string_view(key) == "CacheFileName" ? program.CacheFileName : program.WinFolderWPname;
        return Fail(program, host, UnusableFileNameText(program.SettingsFileName, key, value));
    }
    if (host.progress) host.progress->ShowWindow();
    if (host.pump) host.pump->Pump();
    if (gather && !frDispGet(program, host, fetches)) return false;
    return frDispGo(program, host, fetches);
}

}  // namespace vexal
