// Reading a page, a feed or a JSON answer the way a browser and a feed reader do, for the
// entries that ask for the page's own picture or a least width: tags as HTML writes them,
// responsive and lazy pictures, thumbnails that link to a photo page, feed enclosures and
// media, markup escaped inside feed items, CSS backgrounds, and picture addresses in JSON.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "gather/html_tags.h"
#include "program/site_entry.h"

namespace vexal {

// True when `address` names a picture the entry's Ext flags allow, read as a web name:
// by its extension, by an extension followed by a ":word" size suffix ("a.jpg:large"),
// or by a query value that is a picture's name ("/th?id=Name_1920x1080.jpg&rf=x").
bool NamesAllowedPicture(std::string_view address, const std::array<bool, 5>& ext);

// True when `address` is a web address (or, on a web page, any link) whose last path
// segment has no extension at all: picture services serve pictures under such names, and
// what arrives tells its kind.
bool NamesNoExtension(std::string_view address, bool webPage);

// The address a <meta> (`meta`) or <link> tag with these attributes names as the page's
// own picture (og:image, og:image:url, og:image:secure_url, twitter:image,
// twitter:image:src, rel="image_src"), as written; a null view when it names none.
std::string_view PagePictureOf(const std::vector<HtmlAttribute>& attributes, bool meta);

// What a page is read with besides the entry.
struct PageScanOptions {
    std::string_view contentType;  // what the server called the text; empty for none
    bool webPage = true;           // its links are web names
    // A thumbnail inside a link to a page makes that page a candidate. Off for a photo
    // page, which is read one level only.
    bool pageLinks = true;
};

// Appends the candidates of `text` to `out`: with the page's own picture flag, the page's
// own pictures first (each once), then the rest in the order they stand, without the own
// pictures again. A JSON answer (by its type, or a
// text that starts with "{" or "[") is read for picture addresses under its keys, the full
// picture's keys first.
// Linear in the length of the text; the characters its searches went over add to `read`.
void ScanPage(std::string_view text, const PageScanOptions& options, const SiteEntry& entry,
              std::size_t& read, std::vector<std::string>& out);

}  // namespace vexal
