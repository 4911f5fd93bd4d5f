// The working state of one retrieval, from the gathering to the pictures in their working
// files. Made afresh for every retrieval (the preview's search-again included); nothing of
// it outlives the retrieval but the pictures it hands on.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "gather/working_files.h"
#include "host/random_source.h"
#include "program/url_parts.h"
#include "settings/source_kind.h"
#include "text/page_encoding.h"

namespace vexal {

struct RetrievalState {
    // The entry's kind of source (none before it is judged), judged once by the gathering:
    // every later step of the retrieval goes by it.
    SourceKind kind{};
    // Set by the gathering from the entry, for the candidates it chose from. With PassOver
    // (a MinWidth) a candidate that cannot be used gives way to the next: ChosenIndex is the
    // one in hand, Tried marks those already tried. With PhotoPages a candidate that arrives
    // as a page is read for its own picture, and with AnyWebAddress (the page's own picture
    // rule) a web address is fetched whatever its name ends in. PageUrl is the address the
    // page came from, below which its links hang.
    bool PassOver = false;
    bool PhotoPages = false;
    bool AnyWebAddress = false;
    std::size_t ChosenIndex = 0;
    std::vector<bool> Tried;
    // For a random choice: the candidates it may take, leaving out the entry's latest pictures.
    std::vector<std::size_t> Allowed;
    // The entry's latest pictures, oldest first, as the history gave them to the random choice.
    std::vector<std::string> Recent;
    // An entry with a picture for each screen, on several screens: the candidate of each
    // screen, the first screen's being the one chosen; empty otherwise.
    std::vector<std::size_t> ScreenChoices;
    UrlParts PageUrl;
    // The encoding of the page the candidates came from, read with its own characters for
    // an entry with the page's own picture rule: a link's query goes to the server in it.
    PageEncoding PageCharset = PageEncoding::Utf8;
    // The "Content-Type" the page was answered with (a JSON answer says so there), and the
    // one the last picture fetch was answered with (a page says so there).
    std::string PageContentType;
    std::string FetchedContentType;
    // The addresses fetched so far, for an entry with the page rules: each is asked for
    // once a retrieval, whether as a candidate or as a photo page's picture.
    std::unordered_set<std::string> Fetched;
    // The page the candidates came from holds a script, which may build its pictures:
    // said when it gives none.
    bool PageHasScript = false;

    // The picture in hand: chosen, then brought into its working file. While a screen's
    // picture is brought it is that screen's; the first screen's otherwise.
    PictureInHand image;
    // ChosenImage is a path on the page's server, fetched over the page's host and port.
    bool RelativeToPage = false;
    // The name the picture in hand is brought under, before its extension: CacheFileName,
    // with the screen's number for the second screen on.
    std::string workName;
    // An entry with a picture for each screen: the pictures of the second screen on, in
    // screen order.
    std::vector<PictureInHand> MoreScreens;
    // Every working file the retrieval made, deleted unless handed on.
    WorkingFiles working;
    // The draws of a run without a random source of its own: one generator for the whole
    // retrieval, so that draws close together still differ.
    ClockRandomSource clock;
};

}  // namespace vexal
