// The words for each kind of failure the layers below report.
#include "ui/failure_texts.h"

#include "net/status_texts.h"
#include "settings/settings_file.h"
#include "ui/messages.h"

namespace vexal {

std::string FileFailureText(FileFailure failure) {
    switch (failure) {
        case FileFailure::DiskFull:
            return MessageText(Message::DiskFull);
        case FileFailure::NotPermitted:
            return MessageText(Message::WriteNotPermitted);
        case FileFailure::ReadOnly:
            return MessageText(Message::ReadOnlyPlace);
        case FileFailure::Nothing:
        case FileFailure::Missing:
        case FileFailure::Other:
            break;
    }
    return {};
}

std::string PictureErrorText(const std::string& path, const DecodeResult& result) {
    if (result.error == DecodeError::TooLarge)
        return MessageText(Message::PictureTooLarge,
                           {path, std::to_string(result.width), std::to_string(result.height)});
    if (result.error == DecodeError::NoCodec) {
        switch (result.codec) {
            case CodecKind::Heif:
                return MessageText(Message::PictureNeedsHeif, {path});
            case CodecKind::Avif:
                return MessageText(Message::PictureNeedsAvif, {path});
            case CodecKind::JpegXl:
                return MessageText(Message::PictureNeedsJpegXl, {path});
            case CodecKind::Svg:
                return MessageText(Message::PictureNeedsSvg, {path});
            case CodecKind::None:
                break;
        }
    }
    return MessageText(Message::PictureUnreadable, {path});
}

namespace {

// A bound in bytes as a person reads it: "1 GiB", "64 MiB".
std::string BytesText(std::uint64_t bytes) {
    static const struct {
        std::uint64_t size;
        const char* name;
    } kUnits[] = {{std::uint64_t{1} << 30, "GiB"}, {std::uint64_t{1} << 20, "MiB"}, {1024, "KiB"}};
    for (const auto& unit : kUnits)
        if (bytes >= unit.size && bytes % unit.size == 0)
            return std::to_string(bytes / unit.size) + " " + unit.name;
    return std::to_string(bytes) + " バイト";
}

}  // namespace

std::string SettingsReadText(const SettingsLoad& load) {
    switch (load.reason) {
        case ReadFailure::NotPermitted:
            return MessageText(Message::SettingsReadNotPermitted);
        case ReadFailure::Folder:
            return MessageText(Message::SettingsIsFolder);
        case ReadFailure::TooLarge:
            return MessageText(Message::SettingsTooLarge, {BytesText(load.bound)});
        case ReadFailure::Nothing:
            // Read, but not text.
            return load.kind == SettingsReadKind::Unreadable ? MessageText(Message::SettingsNotText) : "";
        case ReadFailure::Missing:
        case ReadFailure::Other:
            break;
    }
    return {};
}

std::string ConflictLines(const std::vector<MergeConflict>& conflicts) {
    std::string out;
    for (const MergeConflict& c : conflicts) {
        if (!out.empty()) out += "\r\n";
        switch (c.kind) {
            case ConflictKind::Field:
                out += c.entry.empty() ? MessageText(Message::ConflictSetting, {c.key})
                                       : MessageText(Message::ConflictField, {c.entry, c.key});
                break;
            case ConflictKind::AddedBoth:
                out += MessageText(Message::ConflictAddedBoth, {c.entry});
                break;
            case ConflictKind::DeletedHere:
                out += MessageText(Message::ConflictDeletedHere, {c.entry});
                break;
            case ConflictKind::DeletedThere:
                out += MessageText(Message::ConflictDeletedThere, {c.entry});
                break;
        }
    }
    return out;
}

std::string FetchFailureText(const FetchResult& result) {
    switch (result.failure) {
        case FetchFailure::None:
        case FetchFailure::NoAnswer:
            return {};
        case FetchFailure::BadAddress:
            return MessageText(Message::BadAddress);
        case FetchFailure::NoSecureChannel:
            return MessageText(Message::NoSecureChannel);
        case FetchFailure::Cancelled:
            return MessageText(Message::Cancelled);
        case FetchFailure::SocketError: {
            const auto number = static_cast<std::int16_t>(result.status);
            if (result.subject.empty()) return SocketErrorText(number);
            const bool lookup = number >= kErrorHostNotFound && number <= kErrorNoData;
            return MessageText(lookup ? Message::HostNotResolved : Message::ConnectionFailedAt,
                               {SocketErrorText(number), result.subject});
        }
        case FetchFailure::Disconnected:
            return MessageText(Message::Disconnected);
        case FetchFailure::ClosedByPeer:
            return MessageText(Message::ClosedByPeer);
        case FetchFailure::ConnectionError:
            return MessageText(Message::ConnectionError);
        case FetchFailure::NotFound:
            return MessageText(Message::NotFoundOnServer, {result.subject});
        case FetchFailure::Rejected:
            return HttpStatusText(static_cast<std::int16_t>(result.status));
        case FetchFailure::TooManyRedirects:
            return MessageText(Message::TooManyRedirects);
        case FetchFailure::Malformed:
            return MessageText(Message::MalformedResponse);
        case FetchFailure::OutOfMemory:
            if (result.subject.empty()) return SocketErrorText(kErrorOutOfMemory);
            return MessageText(Message::PageTooLarge, {result.subject, BytesText(result.bound)});
        case FetchFailure::NotSaved:
            return MessageText(Message::ImageNotSaved, {result.subject, FileFailureText(result.fileFailure)});
        case FetchFailure::Empty:
            return MessageText(Message::ImageNotFetched, {result.subject});
        case FetchFailure::TooLarge:
            return MessageText(Message::ImageTooLarge, {result.subject, BytesText(result.bound)});
        case FetchFailure::DiskLow:
            return MessageText(Message::ImageLeavesTooLittleSpace, {result.subject, BytesText(result.bound)});
        case FetchFailure::TooSlow:
            return MessageText(Message::TransferTooSlow,
                               {result.subject, std::to_string(result.seconds), BytesText(result.bound)});
        case FetchFailure::RunTooLong:
            return MessageText(Message::RunTooLong, {result.subject, std::to_string(result.seconds)});
        case FetchFailure::ProxyUnreachable:
            return MessageText(Message::ProxyUnreachable,
                               {SocketErrorText(static_cast<std::int16_t>(result.status)), result.subject});
        case FetchFailure::ProxyRefused: {
            if (result.status == 0) return MessageText(Message::ProxyNoAnswer, {result.subject});
            std::string status = HttpStatusText(static_cast<std::int16_t>(result.status));
            if (status.back() == ' ') status.pop_back();
            return MessageText(Message::ProxyRefused, {result.subject, status});
        }
        case FetchFailure::ProxyAuthentication:
            return MessageText(Message::ProxyNeedsAuthentication, {result.subject});
    }
    return {};
}

namespace {

// "SVG 10 個、XML 1 個": the first few kinds, and "など" when there are more.
std::string KindCounts(const std::vector<std::pair<std::string, std::int64_t>>& kinds) {
    constexpr std::size_t kShown = 5;
    std::string out;
    for (std::size_t i = 0; i < kinds.size() && i < kShown; ++i) {
        if (i) out += "、";
        out += kinds[i].first + " " + std::to_string(kinds[i].second) + " 個";
    }
    if (kinds.size() > kShown) out += "など";
    return out;
}

}  // namespace

std::string RetrievalFailureText(const RetrievalResult& result) {
    switch (result.failure) {
        case RetrievalFailure::None:
            return {};
        case RetrievalFailure::Fetch:
            return FetchFailureText(result.fetch);
        case RetrievalFailure::SourceMissing:
            return MessageText(Message::SourceMissing, {result.subject});
        case RetrievalFailure::SourceUnreadable:
            return MessageText(Message::SourceUnreadable, {result.subject});
        case RetrievalFailure::SourceTooLarge:
            return MessageText(Message::SourceTooLarge, {result.subject, BytesText(kLocalTextBound)});
        case RetrievalFailure::NoMatch: {
            if (result.scriptPage) return MessageText(Message::NoMatchScriptPage);
            const std::string unreadable = KindCounts(result.unreadable);
            const std::string unchecked = KindCounts(result.unchecked);
            if (!unreadable.empty() && !unchecked.empty())
                return MessageText(Message::NoMatchUnreadableAndUnchecked, {unreadable, unchecked});
            if (!unreadable.empty()) return MessageText(Message::NoMatchUnreadable, {unreadable});
            if (!unchecked.empty()) return MessageText(Message::NoMatchUnchecked, {unchecked});
            return MessageText(Message::NoMatch);
        }
        case RetrievalFailure::FolderMissing:
            return MessageText(Message::FolderMissing, {result.subject});
        case RetrievalFailure::FolderUnreadable:
            return MessageText(Message::FolderUnreadable, {result.subject});
        case RetrievalFailure::NthBeyondCount:
            return MessageText(Message::NthBeyondCount,
                               {std::to_string(result.wanted), std::to_string(result.count)});
        case RetrievalFailure::NothingContaining:
            return MessageText(Message::NothingContaining, {result.subject});
        case RetrievalFailure::NothingNamed:
            return MessageText(Message::NothingNamed);
        case RetrievalFailure::ImageMissing:
            return MessageText(Message::ImageMissing, {result.subject});
        case RetrievalFailure::ImageNotCopied:
            return MessageText(Message::ImageNotCopied,
                               {result.subject, result.target, FileFailureText(result.fileFailure)});
        case RetrievalFailure::PictureRefused:
            return PictureErrorText(result.subject, result.decode);
        case RetrievalFailure::PngUnreadable:
            if (result.subject.empty()) return MessageText(Message::PngUnreadable);
            return MessageText(Message::PngUnreadableFile, {result.subject});
        case RetrievalFailure::PngNotConverted:
            return MessageText(Message::PngNotConverted);
        case RetrievalFailure::Cancelled:
            return MessageText(Message::Cancelled);
        case RetrievalFailure::LockNotFreed:
            return MessageText(Message::LockNotFreed, {std::to_string(result.wanted / 1000)});
        case RetrievalFailure::PreviewNeedsDisplay:
            return MessageText(Message::PreviewNeedsDisplay);
        case RetrievalFailure::NoConnection:
            return {};
        case RetrievalFailure::UnusableFileName:
            // A name that is a plain file name, yet refused, is one of the program's own.
            return MessageText(IsBareFileName(result.subject) ? Message::OwnFileNameRefused
                               : kWindowsFileNameRules        ? Message::UnusableFileNameOnWindows
                                                              : Message::UnusableFileName,
                               {result.file, result.target, result.subject});
        case RetrievalFailure::TooNarrow:
            return MessageText(Message::PictureTooNarrow,
                               {result.subject, std::to_string(result.count), std::to_string(result.wanted)});
        case RetrievalFailure::UnusableShape:
            return MessageText(Message::PictureUnusableShape,
                               {result.subject, std::to_string(result.count), std::to_string(result.wanted)});
    }
    return {};
}

std::string DesktopFailureText(const DesktopResult& result) {
    switch (result.failure) {
        case DesktopFailure::None:
            return {};
        case DesktopFailure::NoDataFolder:
            return MessageText(Message::NoDataFolder);
        case DesktopFailure::FolderNotMade:
            return MessageText(Message::FolderNotMade, {result.subject, FileFailureText(result.fileFailure)});
        case DesktopFailure::NoSystemFolder:
            return MessageText(Message::NoSystemFolder);
        case DesktopFailure::NoUserFolder:
            return MessageText(Message::NoUserFolder);
        case DesktopFailure::UserFolderNotMade:
            return MessageText(Message::UserFolderNotMade, {result.subject});
        case DesktopFailure::NoScreen:
            return MessageText(Message::NoScreen);
        case DesktopFailure::NoDisplay:
            return MessageText(Message::NoDisplay);
        case DesktopFailure::NotDrawn:
            return MessageText(Message::NotDrawn, {result.subject});
        case DesktopFailure::FileNotPrepared:
            return MessageText(Message::FileNotPrepared, {result.subject});
        case DesktopFailure::ToolWarned:
            return MessageText(Message::ToolWarned, {result.tool, result.said});
        case DesktopFailure::ToolNotRun:
            return MessageText(Message::ToolNotRun, {result.tool});
        case DesktopFailure::ToolFailed:
            return result.said.empty()
                       ? MessageText(Message::ToolFailed, {result.tool, std::to_string(result.status)})
                       : MessageText(Message::ToolFailedSaying,
                                     {result.tool, std::to_string(result.status), result.said});
        case DesktopFailure::ValueNotKept:
            return MessageText(Message::ValueNotKept, {result.tool});
        case DesktopFailure::Refused:
            return MessageText(Message::DesktopRefused);
        case DesktopFailure::SystemRefused:
            return MessageText(Message::SystemRefused, {std::to_string(result.status)});
        case DesktopFailure::DesktopCovers:
            return MessageText(Message::DesktopCovers, {result.subject});
        case DesktopFailure::DesktopNotRunning:
            return MessageText(Message::DesktopNotRunning, {result.tool});
    }
    return {};
}

FailureBox InstallFailureBox(const InstallResult& result) {
    // The change failed: the message, and on its second line why, so that an unattended
    // run (a cron job without a display, say) learns more than that it failed.
    auto changeFailed = [](const std::string& reason) {
        return FailureBox{BoxKind::Notice, reason.empty()
                                               ? MessageText(Message::ChangeFailed)
                                               : MessageText(Message::ChangeFailedBecause, {reason})};
    };
    switch (result.outcome) {
        case InstallOutcome::Installed:
        case InstallOutcome::Stopped:
            return {BoxKind::Nothing, {}};
        case InstallOutcome::NoFolder:
        case InstallOutcome::Refused:
            return changeFailed(DesktopFailureText(result.desktop));
        case InstallOutcome::NotWritten:
            return changeFailed(MessageText(Message::BitmapNotWritten,
                                            {result.subject, FileFailureText(result.fileFailure)}));
        case InstallOutcome::PictureRefused:
            return {BoxKind::Error, PictureErrorText(result.subject, result.decode)};
        case InstallOutcome::PngUnreadable:
            if (result.subject.empty()) return {BoxKind::Notice, MessageText(Message::PngReadError)};
            return {BoxKind::Notice, MessageText(Message::PngReadErrorFile, {result.subject})};
        case InstallOutcome::PngNotConverted:
            return {BoxKind::Notice, MessageText(Message::PngConvertError)};
        case InstallOutcome::UnsupportedKind:
            return {BoxKind::Notice, MessageText(Message::UnsupportedKind)};
        case InstallOutcome::NothingToGoBack:
            return {BoxKind::Notice, MessageText(Message::NothingToGoBack)};
        case InstallOutcome::NothingToGoForward:
            return {BoxKind::Notice, MessageText(Message::NothingToGoForward)};
    }
    return {BoxKind::Nothing, {}};
}

void ShowError(const Program& program, Dialogs& dialogs, const std::string& text) {
    dialogs.Error(program.TitleText, text);
}

}  // namespace vexal
