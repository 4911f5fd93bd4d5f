// The words for each kind of failure the layers below report.
#include "ui/failure_texts.h"

#include "net/status_texts.h"
#include "settings/settings_file.h"
#include "ui/messages.h"

namespace vexal {

std::string FileFailureText(Language language, FileFailure failure) {
    switch (failure) {
        case FileFailure::DiskFull:
            return MessageText(language, Message::DiskFull);
        case FileFailure::NotPermitted:
            return MessageText(language, Message::WriteNotPermitted);
        case FileFailure::ReadOnly:
            return MessageText(language, Message::ReadOnlyPlace);
        case FileFailure::Nothing:
        case FileFailure::Missing:
        case FileFailure::Other:
            break;
    }
    return {};
}

std::string PictureErrorText(Language language, const std::string& path, const DecodeResult& result) {
    if (result.error == DecodeError::TooLarge)
        return MessageText(language, Message::PictureTooLarge,
                           {path, std::to_string(result.width), std::to_string(result.height)});
    if (result.error == DecodeError::NoCodec) {
        switch (result.codec) {
            case CodecKind::Heif:
                return MessageText(language, Message::PictureNeedsHeif, {path});
            case CodecKind::Avif:
                return MessageText(language, Message::PictureNeedsAvif, {path});
            case CodecKind::JpegXl:
                return MessageText(language, Message::PictureNeedsJpegXl, {path});
            case CodecKind::Svg:
                return MessageText(language, Message::PictureNeedsSvg, {path});
            case CodecKind::None:
                break;
        }
    }
    if (result.error == DecodeError::NoLibrary) {
        switch (result.codec) {
            case CodecKind::Heif:
                return MessageText(language, Message::PictureNeedsLibrary, {path, "HEIF (HEIC)", "libheif"});
            case CodecKind::Avif:
                return MessageText(language, Message::PictureNeedsLibrary, {path, "AVIF", "libheif"});
            case CodecKind::JpegXl:
                return MessageText(language, Message::PictureNeedsLibrary, {path, "JPEG XL", "libjxl"});
            case CodecKind::Svg:
            case CodecKind::None:
                break;
        }
    }
    return MessageText(language, Message::PictureUnreadable, {path});
}

namespace {

// A bound in bytes as a person reads it: "1 GiB", "64 MiB".
std::string BytesText(Language language, std::uint64_t bytes) {
    static const struct {
        std::uint64_t size;
        const char* name;
    } kUnits[] = {{std::uint64_t{1} << 30, "GiB"}, {std::uint64_t{1} << 20, "MiB"}, {1024, "KiB"}};
    for (const auto& unit : kUnits)
        if (bytes >= unit.size && bytes % unit.size == 0)
            return std::to_string(bytes / unit.size) + " " + unit.name;
    return std::to_string(bytes) + (language == Language::English ? " bytes" : " バイト");
}

}  // namespace

std::string SettingsReadText(Language language, const SettingsLoad& load) {
    switch (load.reason) {
        case ReadFailure::NotPermitted:
            return MessageText(language, Message::SettingsReadNotPermitted);
        case ReadFailure::Folder:
            return MessageText(language, Message::SettingsIsFolder);
        case ReadFailure::TooLarge:
            return MessageText(language, Message::SettingsTooLarge, {BytesText(language, load.bound)});
        case ReadFailure::Nothing:
            // Read, but not text.
            return load.kind == SettingsReadKind::Unreadable ? MessageText(language, Message::SettingsNotText)
                                                             : "";
        case ReadFailure::Missing:
        case ReadFailure::Other:
            break;
    }
    return {};
}

std::string ConflictLines(Language language, const std::vector<MergeConflict>& conflicts) {
    std::string out;
    for (const MergeConflict& c : conflicts) {
        if (!out.empty()) out += "\r\n";
        switch (c.kind) {
            case ConflictKind::Field:
                out += c.entry.empty() ? MessageText(language, Message::ConflictSetting, {c.key})
                                       : MessageText(language, Message::ConflictField, {c.entry, c.key});
                break;
            case ConflictKind::AddedBoth:
                out += MessageText(language, Message::ConflictAddedBoth, {c.entry});
                break;
            case ConflictKind::DeletedHere:
                out += MessageText(language, Message::ConflictDeletedHere, {c.entry});
                break;
            case ConflictKind::DeletedThere:
                out += MessageText(language, Message::ConflictDeletedThere, {c.entry});
                break;
        }
    }
    return out;
}

std::string FetchFailureText(Language language, const FetchResult& result) {
    switch (result.failure) {
        case FetchFailure::None:
        case FetchFailure::NoAnswer:
            return {};
        case FetchFailure::BadAddress:
            return MessageText(language, Message::BadAddress);
        case FetchFailure::NoSecureChannel:
            return MessageText(language, Message::NoSecureChannel);
        case FetchFailure::Cancelled:
            return MessageText(language, Message::Cancelled);
        case FetchFailure::SocketError: {
            const auto number = static_cast<std::int16_t>(result.status);
            if (result.subject.empty()) return SocketErrorText(language, number);
            const bool lookup = number >= kErrorHostNotFound && number <= kErrorNoData;
            return MessageText(language, lookup ? Message::HostNotResolved : Message::ConnectionFailedAt,
                               {SocketErrorText(language, number), result.subject});
        }
        case FetchFailure::Disconnected:
            return MessageText(language, Message::Disconnected);
        case FetchFailure::ClosedByPeer:
            return MessageText(language, Message::ClosedByPeer);
        case FetchFailure::ConnectionError:
            return MessageText(language, Message::ConnectionError);
        case FetchFailure::NotFound:
            return MessageText(language, Message::NotFoundOnServer, {result.subject});
        case FetchFailure::Rejected:
            return HttpStatusText(static_cast<std::int16_t>(result.status));
        case FetchFailure::TooManyRedirects:
            return MessageText(language, Message::TooManyRedirects);
        case FetchFailure::Malformed:
            return MessageText(language, Message::MalformedResponse);
        case FetchFailure::OutOfMemory:
            if (result.subject.empty()) return SocketErrorText(language, kErrorOutOfMemory);
            return MessageText(language, Message::PageTooLarge,
                               {result.subject, BytesText(language, result.bound)});
        case FetchFailure::NotSaved:
            return MessageText(language, Message::ImageNotSaved,
                               {result.subject, FileFailureText(language, result.fileFailure)});
        case FetchFailure::Empty:
            return MessageText(language, Message::ImageNotFetched, {result.subject});
        case FetchFailure::TooLarge:
            return MessageText(language, Message::ImageTooLarge,
                               {result.subject, BytesText(language, result.bound)});
        case FetchFailure::DiskLow:
            return MessageText(language, Message::ImageLeavesTooLittleSpace,
                               {result.subject, BytesText(language, result.bound)});
        case FetchFailure::TooSlow:
            return MessageText(
                language, Message::TransferTooSlow,
                {result.subject, std::to_string(result.seconds), BytesText(language, result.bound)});
        case FetchFailure::RunTooLong:
            return MessageText(language, Message::RunTooLong,
                               {result.subject, std::to_string(result.seconds)});
        case FetchFailure::ProxyUnreachable:
            return MessageText(
                language, Message::ProxyUnreachable,
                {SocketErrorText(language, static_cast<std::int16_t>(result.status)), result.subject});
        case FetchFailure::ProxyRefused: {
            if (result.status == 0) return MessageText(language, Message::ProxyNoAnswer, {result.subject});
            std::string status = HttpStatusText(static_cast<std::int16_t>(result.status));
            if (status.back() == ' ') status.pop_back();
            return MessageText(language, Message::ProxyRefused, {result.subject, status});
        }
        case FetchFailure::ProxyAuthentication:
            return MessageText(language, Message::ProxyNeedsAuthentication, {result.subject});
    }
    return {};
}

namespace {

// "SVG 10 個、XML 1 個" ("SVG 10, XML 1"): the first few kinds, and "など" ("and more")
// when there are more.
std::string KindCounts(Language language, const std::vector<std::pair<std::string, std::int64_t>>& kinds) {
    constexpr std::size_t kShown = 5;
    const bool english = language == Language::English;
    std::string out;
    for (std::size_t i = 0; i < kinds.size() && i < kShown; ++i) {
        if (i) out += english ? ", " : "、";
        out += kinds[i].first + " " + std::to_string(kinds[i].second) + (english ? "" : " 個");
    }
    if (kinds.size() > kShown) out += english ? " and more" : "など";
    return out;
}

}  // namespace

std::string RetrievalFailureText(Language language, const RetrievalResult& result) {
    switch (result.failure) {
        case RetrievalFailure::None:
            return {};
        case RetrievalFailure::Fetch:
            return FetchFailureText(language, result.fetch);
        case RetrievalFailure::SourceMissing:
            return MessageText(language, Message::SourceMissing, {result.subject});
        case RetrievalFailure::SourceUnreadable:
            return MessageText(language, Message::SourceUnreadable, {result.subject});
        case RetrievalFailure::SourceTooLarge:
            return MessageText(language, Message::SourceTooLarge,
                               {result.subject, BytesText(language, kLocalTextBound)});
        case RetrievalFailure::NoMatch: {
            if (result.scriptPage) return MessageText(language, Message::NoMatchScriptPage);
            const std::string unreadable = KindCounts(language, result.unreadable);
            const std::string unchecked = KindCounts(language, result.unchecked);
            if (!unreadable.empty() && !unchecked.empty())
                return MessageText(language, Message::NoMatchUnreadableAndUnchecked, {unreadable, unchecked});
            if (!unreadable.empty()) return MessageText(language, Message::NoMatchUnreadable, {unreadable});
            if (!unchecked.empty()) return MessageText(language, Message::NoMatchUnchecked, {unchecked});
            return MessageText(language, Message::NoMatch);
        }
        case RetrievalFailure::FolderMissing:
            return MessageText(language, Message::FolderMissing, {result.subject});
        case RetrievalFailure::FolderUnreadable:
            return MessageText(language, Message::FolderUnreadable, {result.subject});
        case RetrievalFailure::NthBeyondCount:
            return MessageText(language, Message::NthBeyondCount,
                               {std::to_string(result.wanted), std::to_string(result.count)});
        case RetrievalFailure::NothingContaining:
            return MessageText(language, Message::NothingContaining, {result.subject});
        case RetrievalFailure::NothingNamed:
            return MessageText(language, Message::NothingNamed);
        case RetrievalFailure::ImageMissing:
            return MessageText(language, Message::ImageMissing, {result.subject});
        case RetrievalFailure::ImageNotCopied:
            return MessageText(
                language, Message::ImageNotCopied,
                {result.subject, result.target, FileFailureText(language, result.fileFailure)});
        case RetrievalFailure::PictureRefused:
            return PictureErrorText(language, result.subject, result.decode);
        case RetrievalFailure::PngUnreadable:
            if (result.subject.empty()) return MessageText(language, Message::PngUnreadable);
            return MessageText(language, Message::PngUnreadableFile, {result.subject});
        case RetrievalFailure::PngNotConverted:
            return MessageText(language, Message::PngNotConverted);
        case RetrievalFailure::Cancelled:
            return MessageText(language, Message::Cancelled);
        case RetrievalFailure::LockNotFreed:
            return MessageText(language, Message::LockNotFreed, {std::to_string(result.wanted / 1000)});
        case RetrievalFailure::PreviewNeedsDisplay:
            return MessageText(language, Message::PreviewNeedsDisplay);
        case RetrievalFailure::NoConnection:
            return {};
        case RetrievalFailure::UnusableFileName:
            // A name that is a plain file name, yet refused, is one of the program's own.
            return MessageText(language,
                               IsBareFileName(result.subject) ? Message::OwnFileNameRefused
                               : kWindowsFileNameRules        ? Message::UnusableFileNameOnWindows
                                                              : Message::UnusableFileName,
                               {result.file, result.target, result.subject});
        case RetrievalFailure::TooNarrow:
            return MessageText(language, Message::PictureTooNarrow,
                               {result.subject, std::to_string(result.count), std::to_string(result.wanted)});
        case RetrievalFailure::UnusableShape:
            return MessageText(language, Message::PictureUnusableShape,
                               {result.subject, std::to_string(result.count), std::to_string(result.wanted)});
    }
    return {};
}

std::string DesktopFailureText(Language language, const DesktopResult& result) {
    switch (result.failure) {
        case DesktopFailure::None:
            return {};
        case DesktopFailure::NoDataFolder:
            return MessageText(language, Message::NoDataFolder);
        case DesktopFailure::FolderNotMade:
            return MessageText(language, Message::FolderNotMade,
                               {result.subject, FileFailureText(language, result.fileFailure)});
        case DesktopFailure::NoSystemFolder:
            return MessageText(language, Message::NoSystemFolder);
        case DesktopFailure::NoUserFolder:
            return MessageText(language, Message::NoUserFolder);
        case DesktopFailure::UserFolderNotMade:
            return MessageText(language, Message::UserFolderNotMade, {result.subject});
        case DesktopFailure::NoScreen:
            return MessageText(language, Message::NoScreen);
        case DesktopFailure::NoDisplay:
            return MessageText(language, Message::NoDisplay);
        case DesktopFailure::NotDrawn:
            return MessageText(language, Message::NotDrawn, {result.subject});
        case DesktopFailure::FileNotPrepared:
            return MessageText(language, Message::FileNotPrepared, {result.subject});
        case DesktopFailure::ToolWarned:
            return MessageText(language, Message::ToolWarned, {result.tool, result.said});
        case DesktopFailure::ToolNotRun:
            return MessageText(language, Message::ToolNotRun, {result.tool});
        case DesktopFailure::ToolFailed:
            return result.said.empty()
                       ? MessageText(language, Message::ToolFailed,
                                     {result.tool, std::to_string(result.status)})
                       : MessageText(language, Message::ToolFailedSaying,
                                     {result.tool, std::to_string(result.status), result.said});
        case DesktopFailure::ValueNotKept:
            return MessageText(language, Message::ValueNotKept, {result.tool});
        case DesktopFailure::Refused:
            return MessageText(language, Message::DesktopRefused);
        case DesktopFailure::SystemRefused:
            return MessageText(language, Message::SystemRefused, {std::to_string(result.status)});
        case DesktopFailure::DesktopCovers:
            return MessageText(language, Message::DesktopCovers, {result.subject});
        case DesktopFailure::DesktopNotRunning:
            return MessageText(language, Message::DesktopNotRunning, {result.tool});
    }
    return {};
}

FailureBox InstallFailureBox(Language language, const InstallResult& result) {
    // The change failed: the message, and on its second line why, so that an unattended
    // run (a cron job without a display, say) learns more than that it failed.
    auto changeFailed = [language](const std::string& reason) {
        return FailureBox{BoxKind::Notice,
                          reason.empty() ? MessageText(language, Message::ChangeFailed)
                                         : MessageText(language, Message::ChangeFailedBecause, {reason})};
    };
    switch (result.outcome) {
        case InstallOutcome::Installed:
        case InstallOutcome::Stopped:
            return {BoxKind::Nothing, {}};
        case InstallOutcome::NoFolder:
        case InstallOutcome::Refused:
            return changeFailed(DesktopFailureText(language, result.desktop));
        case InstallOutcome::NotWritten:
            return changeFailed(MessageText(language, Message::BitmapNotWritten,
                                            {result.subject, FileFailureText(language, result.fileFailure)}));
        case InstallOutcome::PictureRefused:
            return {BoxKind::Error, PictureErrorText(language, result.subject, result.decode)};
        case InstallOutcome::PngUnreadable:
            if (result.subject.empty())
                return {BoxKind::Notice, MessageText(language, Message::PngReadError)};
            return {BoxKind::Notice, MessageText(language, Message::PngReadErrorFile, {result.subject})};
        case InstallOutcome::PngNotConverted:
            return {BoxKind::Notice, MessageText(language, Message::PngConvertError)};
        case InstallOutcome::UnsupportedKind:
            return {BoxKind::Notice, MessageText(language, Message::UnsupportedKind)};
        case InstallOutcome::NothingToGoBack:
            return {BoxKind::Notice, MessageText(language, Message::NothingToGoBack)};
        case InstallOutcome::NothingToGoForward:
            return {BoxKind::Notice, MessageText(language, Message::NothingToGoForward)};
    }
    return {BoxKind::Nothing, {}};
}

void ShowError(const Program& program, Dialogs& dialogs, const std::string& text) {
    dialogs.Error(program.TitleText, text);
}

}  // namespace vexal
