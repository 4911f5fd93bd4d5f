// Every message, question and prompt the program shows the user, each as one whole text
// in one table (messages.cpp), so a reader finds a text by searching for it. Lower layers
// report a kind and its subjects; the top of the program picks the text here. The windows'
// own captions and labels stay beside their windows. Every text is there in Japanese, the
// program's own language, and in English for users whose system asks for another.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "text/language.h"

namespace vexal {

// What the program has to say. The comment names what fills "{1}", "{2}", ... in the text.
enum class Message : std::uint16_t {
    // Start-up and the command line.
    Usage,  // {2} the title of error boxes, {3} UsageSettingsWindows or UsageSettingsElsewhere, whole
    UsageSettingsWindows,    // {1} the settings file's name
    UsageSettingsElsewhere,  // {1} the settings file's name
    IdentifierNotFound,      // {1} the identifier as given, {2} the settings file read, in full
    IdentifierNoSettings,    // {1} the identifier as given, {2} the settings file looked for, in full
    // {1} the identifier as given, {2} the current folder's file that is not there, {3} the
    // user's file that was read, both in full
    IdentifierNotInUsersFile,
    // {1} the identifier as given, {2} and {3} the two settings files looked for, in full
    IdentifierNoSettingsEither,
    SettingsFolderUnreachable,  // {1} the folder, as the system names it
    WpNeedsImage,
    WpPathHasBlank,  // {1} the path, with the blank and the word after it
    InvalidOption,   // {1} the option as given
    NoEditorWithoutDisplay,
    // A settings file that is there but cannot be read: {1} the file, in full, {2} why, in
    // words (one of the four below, or nothing).
    SettingsUnreadable,
    EditorSettingsUnreadable,
    SettingsReadNotPermitted,
    SettingsIsFolder,
    SettingsNotText,
    SettingsTooLarge,  // {1} the bound, in words ("64 MiB")

    // The entry editor.
    IdentifierPrompt,
    IdentifierHasBlank,
    IdentifierNotLetter,
    SettingsNotWritten,   // {1} the settings file (in full on Windows), {2} why, in words (or nothing)
    DeleteEntryQuestion,  // {1} the identifier
    IdentifierDiffersInCaseOnly,  // {1} the identifier typed, {2} the registered one
    UnregisteredEntryQuestion,
    SaveChangesQuestion,
    PreviewUrlEmpty,
    SetWallpaperUrlEmpty,
    SettingsNotSavedUnreadable,  // {1} the settings file (in full on Windows), {2} why, in words (or nothing)
    // Saving over a file changed meanwhile: {1} the settings file, {2} the lines below, one each.
    MergeConflictQuestion,
    ConflictField,         // {1} the identifier, {2} the key
    ConflictSetting,       // {1} the key
    ConflictAddedBoth,     // {1} the identifier
    ConflictDeletedHere,   // {1} the identifier
    ConflictDeletedThere,  // {1} the identifier

    // Fetches: the progress window's label, the question on a silent server, failures.
    FetchingPage,  // {1} the page's address
    ReadingPage,
    FetchingImage,  // {1} the picture's address or path
    LoadingImage,
    NoAnswerQuestion,
    BadAddress,
    NoSecureChannel,
    Cancelled,
    Disconnected,
    ClosedByPeer,
    ConnectionError,
    NotFoundOnServer,  // {1} the path requested
    TooManyRedirects,
    MalformedResponse,
    ImageNotSaved,              // {1} the working file, {2} why, in words (or nothing)
    ImageNotFetched,            // {1} the picture asked for
    ImageTooLarge,              // {1} the picture's address, {2} the bound, in words ("1 GiB")
    ImageLeavesTooLittleSpace,  // {1} the picture's address, {2} the free space it must leave, in words

    // Gathering and bringing the picture in.
    ListingFolder,
    WaitingForOtherRun,
    ConvertingPng,
    SourceMissing,     // {1} the entry's file
    SourceUnreadable,  // {1} the entry's file
    SourceTooLarge,    // {1} the entry's file, {2} the bound, in words ("64 MiB")
    NoMatch,
    NoMatchUnreadable,              // {1} the kinds no picture is read from, with their counts
    NoMatchUnchecked,               // {1} the picture kinds the entry does not take, with counts
    NoMatchUnreadableAndUnchecked,  // {1} as NoMatchUnreadable, {2} as NoMatchUnchecked
    FolderMissing,                  // {1} the entry's folder
    FolderUnreadable,               // {1} the entry's folder
    NoMatchScriptPage,              // NoMatch, with the page's script named as the likely cause
    NthBeyondCount,                 // {1} the number asked for, {2} the number of candidates
    NothingContaining,              // {1} the text asked for
    NothingNamed,
    ImageMissing,    // {1} the picture
    ImageNotCopied,  // {1} the picture, {2} the working file, {3} why, in words (or nothing)
    PngUnreadable,
    PngNotConverted,
    UnusableFileName,  // {1} the settings file (in full on Windows), {2} the key, {3} the name it holds
    UnusableFileNameOnWindows,  // as UnusableFileName, with the rules of Windows' names
    OwnFileNameRefused,         // as UnusableFileName: the name is one of the program's own files

    // Pictures and the installation.
    PictureTooLarge,    // {1} the picture, {2} its width, {3} its height
    PictureUnreadable,  // {1} the picture
    // A picture of a kind the system reads only with an extension it lacks: {1} the picture.
    PictureNeedsHeif,
    PictureNeedsAvif,
    PictureNeedsJpegXl,
    PictureNeedsSvg,  // the Windows program draws no SVG
    // A picture whose kind's library is not installed (Linux): {1} the picture, {2} its
    // kind, {3} the library.
    PictureNeedsLibrary,
    PictureTooNarrow,      // {1} the picture, {2} its width, {3} the narrowest the entry uses
    PictureUnusableShape,  // {1} the picture, {2} its width, {3} its height
    ChangeFailed,
    ChangeFailedBecause,  // {1} why, on the second line
    BitmapNotWritten,     // {1} the bitmap, {2} why, in words (or nothing)
    PngReadError,
    PngConvertError,
    UnsupportedKind,

    // Why the desktop failed, the second line of ChangeFailedBecause.
    NoDataFolder,
    FolderNotMade,  // {1} the folder, {2} why, in words (or nothing)
    NoSystemFolder,
    NoUserFolder,
    UserFolderNotMade,  // {1} the folder
    NoScreen,
    NoDisplay,
    NotDrawn,          // {1} the display
    FileNotPrepared,   // {1} the file
    ToolWarned,        // {1} the tool, {2} what it wrote
    ToolNotRun,        // {1} the tool
    ToolFailed,        // {1} the tool, {2} its exit status
    ToolFailedSaying,  // {1} the tool, {2} its exit status, {3} what it wrote
    ValueNotKept,      // {1} the tool
    DesktopRefused,
    SystemRefused,      // {1} the system's error number
    DesktopCovers,      // {1} the desktop's name
    DesktopNotRunning,  // {1} the program that draws the background

    // Why a file could not be written, put at the end of the line that names the file.
    DiskFull,
    WriteNotPermitted,
    ReadOnlyPlace,

    // Schedules: the editor's line for an entry's last scheduled run, and why a schedule
    // could not be set.
    LastRunSucceeded,             // {1} when it ran
    LastRunFailed,                // {1} when it ran, {2} the message it ended with
    ScheduleNeedsServiceManager,  // {1} the identifier
    ScheduleNotWritten,           // {1} the identifier, {2} the file
    ScheduleToolFailed,           // {1} the identifier, {2} the tool, {3} its exit status, {4} what it wrote
    ScheduleRefused,              // {1} the identifier, {2} the system's error number
    // The editor's line under the schedule where the system does not hold it.
    ScheduleLineMissing,
    ScheduleLineNeedsServiceManager,
    ScheduleLineNotWritten,  // {1} the file
    ScheduleLineToolFailed,  // {1} the tool, {2} its exit status
    ScheduleLineRefused,     // {1} the system's error number

    // The progress window's line under the bar, while a body arrives.
    BytesReceived,     // {1} the bytes received, with their unit
    BytesOfTotal,      // {1} the bytes received, {2} the body's length, each with its unit
    BytesSecondsLeft,  // {1}, {2} as BytesOfTotal, {3} the seconds left
    BytesMinutesLeft,  // {1}, {2} as BytesOfTotal, {3} the minutes and {4} the seconds left
    BytesHoursLeft,    // {1}, {2} as BytesOfTotal, {3} the hours and {4} the minutes left

    // Going back to the wallpaper before.
    NothingToGoBack,
    // Going forward: no step back to undo and no entry that installed last.
    NothingToGoForward,

    // The console companion could not start vexal.exe: {1} its path, {2} the system's error
    // number.
    CompanionCannotStart,

    // The entry editor, about an entry that cannot give a picture as it stands.
    NoPictureKindQuestion,
    NoLinkRuleQuestion,

    // Where and why a transfer or a wait ended, and the second lines that say what and
    // where a failure concerned.
    TransferTooSlow,     // {1} the address, {2} the window's seconds, {3} the lowest bytes, in words
    RunTooLong,          // {1} the address, {2} the bound's seconds
    LockNotFreed,        // {1} the bound's seconds
    HostNotResolved,     // {1} the socket's text, {2} the host
    ConnectionFailedAt,  // {1} the socket's text, {2} the address
    PageTooLarge,        // {1} the page's address, {2} the bound, in words
    PngUnreadableFile,   // {1} the picture
    PngReadErrorFile,    // {1} the picture
    QuietNeedsName,
    PreviewNeedsDisplay,
    ProxyRefused,              // {1} the proxy, {2} its answer's status text
    ProxyNeedsAuthentication,  // {1} the proxy
    ProxyUnreachable,          // {1} the socket's text, {2} the proxy
    ProxyNoAnswer,             // {1} the proxy

    // Not a message: the number of kinds above, against which the table's length is checked
    // at compile time. Keep it last.
    Count,
};

// The text of `kind` in `language` with "{1}", "{2}", ... replaced by the subjects in
// order. A subject is put in as it is: braces inside it are not read again.
std::string MessageText(Language language, Message kind,
                        std::initializer_list<std::string_view> subjects = {});

}  // namespace vexal
