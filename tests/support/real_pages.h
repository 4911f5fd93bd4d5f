// Pages saved from real sites (from a public test suite of link-preview tools), trimmed to
// the tags that matter here: the icons and pictures before the main one, the page's own
// picture tags as each site writes them, and a few links after. Each keeps its site's own
// quoting, line breaks, character references and protocol-relative links.
#pragma once

#include <string>
#include <vector>

namespace vexal::testing {

struct RealPage {
    const char* kind;
    const char* url;   // where the page was saved from
    std::string html;  // trimmed
    // The page's main picture as the page names it (references decoded), and what an
    // entry with img, a href, bare addresses and the page's own picture finds there
    // (all four picture kinds allowed), in order, each once, without the icons and logos:
    // the main picture comes first.
    std::string main;
    std::vector<std::string> rest;  // the candidates after the first; "=" is the main picture again
};

inline const std::vector<RealPage>& RealPages() {
    static const std::vector<RealPage> pages = {
        {"art community, a shot",
         "https://dribbble.com/shots/18895539-Modern-Admin-Dashboard",
         R"page(<link href="https://cdn.dribbble.com/assets/apple-touch-icon-precomposed-182fb6df.png" rel="apple-touch-icon-precomposed">
<link href="https://cdn.dribbble.com/assets/favicon-452601365a822699.ico" rel="icon" sizes="any">
<link href="https://cdn.dribbble.com/assets/favicon-192x192-d70ad402693bdd1a.png" rel="icon" sizes="192x192" type="image/png">
  <meta name="action-cable-url" content="wss://cable.dribbble.com">
    <meta property="og:type" content="article">
<meta property="og:image" content="https://cdn.dribbble.com/userupload/3180518/file/original-f889edcdc0a32bacd7ee3d2610eeafbc.png?resize=1600x1200">
<meta property="og:image:secure_url" content="https://cdn.dribbble.com/userupload/3180518/file/original-f889edcdc0a32bacd7ee3d2610eeafbc.png?resize=1600x1200">
<meta property="og:image:alt" content="Dribbble shot titled &quot;Modern Admin Dashboard UI Design for Flup Furniture App Website&quot; by Phenomenon Studio">
<meta property="og:image:width" content="1600">
<meta name="twitter:image" content="https://cdn.dribbble.com/userupload/3180518/file/original-f889edcdc0a32bacd7ee3d2610eeafbc.png?resize=1600x1200">
    <link rel="preload" as="image" href="https://cdn.dribbble.com/userupload/3180519/file/original-9e16eb1950173a9d.png">
)page",
         "https://cdn.dribbble.com/userupload/3180518/file/"
         "original-f889edcdc0a32bacd7ee3d2610eeafbc.png?resize=1600x1200",
         {"https://cdn.dribbble.com/userupload/3180519/file/original-9e16eb1950173a9d.png"}},
        {"messaging channel, a post",
         "https://t.me/chollometro/28542",
         R"page(<meta property="og:title" content="Chollometro">
<meta property="og:image" content="https://cdn4.telesco.pe/file/vxBnkS57l7uz2DCihAieucBbqIMQgu6PUrnoYCzPZJBXGnd3esoGPCsOum6YAH3zzscQuUfZ6QW0sTJsiND1bokir51pYvVHQmfW8uyqltJC_V5UYmZhbJJbdN4HLa6ioz1vIgdj0fPlIradlC5_LcKgz8A2FmqxwJdiuKH9wGM1vAmLOnUZi9xdZFsXp4KBw7zzAP234MomPpsQ2tgxKbhg-mLfmytiY9Ra5WZByAk-XgyQ_L7UwAFrpruEQTB26x41WkBCOmgD7mC8_uWDXS4rzkPkFWrIELfNarxqBQIs5kc8kLYSZp8BRVqrNQZx4OtBNbqC39e4R4DSvr4DPA.jpg">
<meta property="twitter:image" content="https://cdn4.telesco.pe/file/vxBnkS57l7uz2DCihAieucBbqIMQgu6PUrnoYCzPZJBXGnd3esoGPCsOum6YAH3zzscQuUfZ6QW0sTJsiND1bokir51pYvVHQmfW8uyqltJC_V5UYmZhbJJbdN4HLa6ioz1vIgdj0fPlIradlC5_LcKgz8A2FmqxwJdiuKH9wGM1vAmLOnUZi9xdZFsXp4KBw7zzAP234MomPpsQ2tgxKbhg-mLfmytiY9Ra5WZByAk-XgyQ_L7UwAFrpruEQTB26x41WkBCOmgD7mC8_uWDXS4rzkPkFWrIELfNarxqBQIs5kc8kLYSZp8BRVqrNQZx4OtBNbqC39e4R4DSvr4DPA.jpg">
<meta property="al:ios:url" content="tg://resolve?domain=chollometro&amp;post=28542">
  <link rel="shortcut icon" href="//telegram.org/favicon.ico?3" type="image/x-icon">
        <a href="//telegram.org/" class="tgme_head_brand">
          <i class="tgme_logo"></i>
        </a>
<iframe id="telegram-post-chollometro-28542" src="https://t.me/chollometro/28542?embed=1" width="100%" height="" frameborder="0" scrolling="no" style="overflow: hidden; border: none; min-width: 320px; height: 537px;"></iframe><script async="" src="https://telegram.org/js/telegram-widget.js?15" data-telegram-post="chollometro/28542" data-width="100%"></script>
)page",
         "https://cdn4.telesco.pe/file/"
         "vxBnkS57l7uz2DCihAieucBbqIMQgu6PUrnoYCzPZJBXGnd3esoGPCsOum6YAH3zzscQuUfZ6QW0sTJsiND1bokir51pYvVHQmf"
         "W8uyqltJC_V5UYmZhbJJbdN4HLa6ioz1vIgdj0fPlIradlC5_"
         "LcKgz8A2FmqxwJdiuKH9wGM1vAmLOnUZi9xdZFsXp4KBw7zzAP234MomPpsQ2tgxKbhg-mLfmytiY9Ra5WZByAk-XgyQ_"
         "L7UwAFrpruEQTB26x41WkBCOmgD7mC8_"
         "uWDXS4rzkPkFWrIELfNarxqBQIs5kc8kLYSZp8BRVqrNQZx4OtBNbqC39e4R4DSvr4DPA.jpg",
         {}},
        {"microblog, a post with a photo",
         "https://bsky.app/profile/glendunlap.bsky.social/post/3mdegyw3ves2t",
         R"page(  <link rel="apple-touch-icon" sizes="180x180" href="https://web-cdn.bsky.app/static/apple-touch-icon.png">
  <link rel="icon" type="image/png" sizes="32x32" href="https://web-cdn.bsky.app/static/favicon-32x32.png">
  <link rel="icon" type="image/png" sizes="16x16" href="https://web-cdn.bsky.app/static/favicon-16x16.png">
  <meta property="og:logo" content="https://web-cdn.bsky.app/static/favicon.png">
  <meta property="og:image" content="https://cdn.bsky.app/img/feed_thumbnail/plain/did:plc:24xmtazrkaxh7kwx2ehginec/bafkreialfqefcq2xoumlw6ulbkfbamombpf5g56x3oncuxulwelcm6332i@jpeg">
  <meta property="twitter:image" content="https://cdn.bsky.app/img/feed_thumbnail/plain/did:plc:24xmtazrkaxh7kwx2ehginec/bafkreialfqefcq2xoumlw6ulbkfbamombpf5g56x3oncuxulwelcm6332i@jpeg">
  <link rel="alternate" type="application/json+oembed" href="https://embed.bsky.app/oembed?format=json&amp;url=at%3A%2F%2Fdid%3Aplc%3A24xmtazrkaxh7kwx2ehginec%2Fapp.bsky.feed.post%2F3mdegyw3ves2t">
)page",
         "https://cdn.bsky.app/img/feed_thumbnail/plain/did:plc:24xmtazrkaxh7kwx2ehginec/"
         "bafkreialfqefcq2xoumlw6ulbkfbamombpf5g56x3oncuxulwelcm6332i@jpeg",
         {}},
        {"forum, a post",
         "https://www.reddit.com/r/lotus/comments/1pzbv0z/my_lotus_elise_72d_with_17_rays_volk_gtp/",
         R"page(    <meta property="og:image"
      content="https://share.redd.it/preview/post/1pzbv0z"><meta
      property="og:image:width" content="1120"><meta property="og:image:height"
      content="584"><meta property="og:site_name" content="Reddit"><meta
      name="twitter:card" content="summary_large_image"><meta
      name="twitter:image"
      content="https://share.redd.it/preview/post/1pzbv0z"><meta
      name="twitter:site" content="@reddit">
    <link href="https://www.redditstatic.com/shreddit/assets/favicon/64x64.png"
      rel="icon shortcut" sizes="64x64">
    <link
      href="https://www.redditstatic.com/shreddit/assets/favicon/180x180.png"
      rel="apple-touch-icon" sizes="180x180">
)page",
         "https://share.redd.it/preview/post/1pzbv0z",
         {}},
        {"newspaper, the front page",
         "https://www.folha.uol.com.br/",
         R"page(    <link rel="canonical" href="https://www.folha.uol.com.br/">
    <meta property="og:image" content="//f.i.uol.com.br/hunting/folha/1/common/logo-folha-facebook.jpg">
    <meta name="twitter:image" content="//f.i.uol.com.br/hunting/folha/1/common/logo-folha-twitter.jpg">
    <link rel="apple-touch-icon" href="//f.i.uol.com.br/hunting/folha/1/common/icons/apple-touch-icon.png">
    <link rel="icon" sizes="192x192" href="//f.i.uol.com.br/hunting/folha/1/common/icons/favicon-192.png">
    <meta name="msapplication-TileImage" content="//f.i.uol.com.br/hunting/folha/1/common/icons/favicon-144.png">
            "url": "https://f.i.uol.com.br/hunting/folha/1/amp/logo.png",
                <a href="//secure.folha.com.br/folha?gid=FOL" title="Assine a Folha" class="l-header__action l-header__action--attention u-visible-md" rel="external">
)page",
         "//f.i.uol.com.br/hunting/folha/1/common/logo-folha-facebook.jpg",
         {"//f.i.uol.com.br/hunting/folha/1/common/logo-folha-twitter.jpg"}},
        {"social network, a photo post",
         "https://www.instagram.com/p/CPeC-Eenc8l/",
         R"page(    <link
      data-default-icon="https://static.cdninstagram.com/rsrc.php/v4/yI/r/VsNE-OHk_8a.png"
      rel="icon"
      sizes="192x192"
      href="https://static.cdninstagram.com/rsrc.php/v4/yI/r/VsNE-OHk_8a.png"
    />
    <link
      rel="apple-touch-icon"
      sizes="180x180"
      href="https://static.cdninstagram.com/rsrc.php/v4/yG/r/De-Dwpd5CHc.png"
    />
    <meta name="twitter:site" content="&#064;instagram" />
    <meta
      name="twitter:image"
      content="https://scontent-mad1-1.cdninstagram.com/v/t51.29350-15/192808438_308120607576085_8247727303942216319_n.jpg?stp=c288.0.864.864a_dst-jpg_e35_s640x640_tt6&amp;_nc_cat=106&amp;ccb=1-7&amp;_nc_sid=18de74&amp;_nc_ohc=vbNYgMq4478Q7kNvgGlZ7qJ&amp;_nc_zt=23&amp;_nc_ht=scontent-mad1-1.cdninstagram.com&amp;_nc_gid=A3NWPo2HYchDUw7WBR46EUm&amp;oh=00_AYCe4zSS0AYp5Y4l-Oya17aAQMRZF84Nel4b32DeiidaxA&amp;oe=677852B0"
    />
    <meta
      property="og:image"
      content="https://scontent-mad1-1.cdninstagram.com/v/t51.29350-15/192808438_308120607576085_8247727303942216319_n.jpg?stp=c288.0.864.864a_dst-jpg_e35_s640x640_tt6&amp;_nc_cat=106&amp;ccb=1-7&amp;_nc_sid=18de74&amp;_nc_ohc=vbNYgMq4478Q7kNvgGlZ7qJ&amp;_nc_zt=23&amp;_nc_ht=scontent-mad1-1.cdninstagram.com&amp;_nc_gid=A3NWPo2HYchDUw7WBR46EUm&amp;oh=00_AYCe4zSS0AYp5Y4l-Oya17aAQMRZF84Nel4b32DeiidaxA&amp;oe=677852B0"
    />
)page",
         "https://scontent-mad1-1.cdninstagram.com/v/t51.29350-15/"
         "192808438_308120607576085_8247727303942216319_n.jpg?stp=c288.0.864.864a_dst-jpg_e35_s640x640_tt6&_"
         "nc_cat="
         "106&ccb=1-7&_nc_sid=18de74&_nc_ohc=vbNYgMq4478Q7kNvgGlZ7qJ&_nc_zt=23&_nc_ht=scontent-mad1-1."
         "cdninstagram."
         "com&_nc_gid=A3NWPo2HYchDUw7WBR46EUm&oh=00_AYCe4zSS0AYp5Y4l-Oya17aAQMRZF84Nel4b32DeiidaxA&oe="
         "677852B0",
         {}},
        {"film database, a title",
         "https://www.imdb.com/title/tt0091042/",
         R"page(  <meta property="og:site_name" content="IMDb">
  <meta property="og:image" content="https://m.media-amazon.com/images/M/MV5BZWYwMjUxNjMtMzE0MC00NDM3LWIxMmQtYmEyNWVjNjdlZGZjXkEyXkFqcGc@._V1_FMjpg_UX1000_.jpg">
  <script type="application/ld+json">
  {
    "url": "https://www.imdb.com/title/tt0091042/",
    "image": "https://m.media-amazon.com/images/M/MV5BZWYwMjUxNjMtMzE0MC00NDM3LWIxMmQtYmEyNWVjNjdlZGZjXkEyXkFqcGc@._V1_.jpg",
  }
  </script>
)page",
         "https://m.media-amazon.com/images/M/"
         "MV5BZWYwMjUxNjMtMzE0MC00NDM3LWIxMmQtYmEyNWVjNjdlZGZjXkEyXkFqcGc@._V1_FMjpg_"
         "UX1000_.jpg",
         {"https://m.media-amazon.com/images/M/"
          "MV5BZWYwMjUxNjMtMzE0MC00NDM3LWIxMmQtYmEyNWVjNjdlZGZjXkEyXkFqcGc@._V1_.jpg"}},
        {"personal home page",
         "https://kikobeats.com/",
         R"page(<meta name="twitter:image" content="/images/avatar-glitch.jpg" />
<meta property="og:logo" content="/images/avatar-glitch.jpg" />
<link rel="shortcut icon" href="/favicon.ico">
<link rel='stylesheet' href='https://d33wubrfki0l68.cloudfront.net/css/afe2a712fe4a2ae8a687cc5b79c49b7be6db57a4/css/style.css'/>
        <img id="avatar" src="https://d33wubrfki0l68.cloudfront.net/ad0e96f5e30e3c65b7ff31e5a637fea070356f0b/eaa58/images/avatar.jpg" class="pointer mw6-l mw5 pr4-l br-100" onmouseover="hover(this);" onmouseout="unhover(this);" />
              <div class="db w-100 h0 pb50 bg-center cover mb2" style="background-image:url(/images/microlink.jpg)" data-tilt="" data-tilt-max="10"></div>
)page",
         "/images/avatar-glitch.jpg",
         {"/images/microlink.jpg"}},
    };
    return pages;
}

}  // namespace vexal::testing
