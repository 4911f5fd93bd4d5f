// Every message, question and prompt the program shows the user, each as one whole text
// in one table (messages.cpp), so a reader finds a text by searching for it. Lower layers
// report a kind and its subjects; the top of the program picks the text here. The windows'
// own captions and labels stay beside their windows.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vexal {

// What the program has to say. The comment names what fills "{1}", "{2}", ... in the text.
enum class Message : std::uint16_t {
    // Start-up and the command line.
    Usage,                 // {1} the settings file's name, {2} the title of error boxes
    IdentifierNotFound,    // {1} the identifier as given, {2} the settings file read, in full
    IdentifierNoSettings,  // {1} the identifier as given, {2} the settings file looked for, in full
    WpNeedsImage,
    InvalidOption,  // {1} the option as given
    NoEditorWithoutDisplay,

    // The entry editor.
    IdentifierPrompt,
    IdentifierHasBlank,
    IdentifierNotLetter,
    SettingsNotWritten,           // {1} the settings file's name, {2} why, in words (or nothing)
    DeleteEntryQuestion,          // {1} the identifier
    IdentifierDiffersInCaseOnly,  // {1} the identifier typed, {2} the registered one
    UnregisteredEntryQuestion,
    SaveChangesQuestion,
    PreviewUrlEmpty,
    SetWallpaperUrlEmpty,

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
    ImageNotSaved,    // {1} the working file, {2} why, in words (or nothing)
    ImageNotFetched,  // {1} the picture asked for

    // Gathering and bringing the picture in.
    ListingFolder,
    WaitingForOtherRun,
    ConvertingPng,
    SourceMissing,     // {1} the entry's file
    SourceUnreadable,  // {1} the entry's file
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
    UnusableFileName,  // {1} the settings file, {2} the key, {3} the name it holds

    // Pictures and the installation.
    PictureTooLarge,    // {1} the picture, {2} its width, {3} its height
    PictureUnreadable,  // {1} the picture
    PictureTooNarrow,   // {1} the picture, {2} its width, {3} the narrowest the entry uses
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
    SystemRefused,  // {1} the system's error number
    DesktopCovers,  // {1} the desktop's name

    // Why a file could not be written, put at the end of the line that names the file.
    DiskFull,
    WriteNotPermitted,
    ReadOnlyPlace,

    // The entry editor, about an entry that cannot give a picture as it stands.
    NoPictureKindQuestion,
    NoLinkRuleQuestion,

    // Not a message: the number of kinds above, against which the table's length is checked
    // at compile time. Keep it last.
    Count,
};

// The text of `kind` with "{1}", "{2}", ... replaced by the subjects in order. A subject
// is put in as it is: braces inside it are not read again.
std::string MessageText(Message kind, std::initializer_list<std::string_view> subjects = {});

}  // namespace vexal
