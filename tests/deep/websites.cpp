#include "deep/websites.h"

#include "deep/webcontent.h"

#include <atomic>
#include <chrono>
#include <stdexcept>

namespace quorvel::test
{

namespace
{

Reply htmlReply(const std::string &body,
                const std::string &contentType = "text/html; charset=utf-8")
{
    Reply reply = Reply::ok(body, contentType);
    reply.headers.push_back("Cache-Control: no-cache");
    return reply;
}

Reply notFound(const std::string &body =
                   htmlPage("404 Not Found", "<h1>Not Found</h1><p>The "
                                             "requested URL was not found on this server.</p>"))
{
    Reply reply = Reply::status("HTTP/1.1 404 Not Found", body);
    reply.headers.push_back("Content-Type: text/html; charset=utf-8");
    return reply;
}

// The path with its last segment's hyphens as spaces: how many "not found" pages word it.
std::string lastSegmentWords(const std::string &path)
{
    std::string segment = path.substr(path.rfind('/') + 1);
    for (char &c : segment) {
        if (c == '-' || c == '_')
            c = ' ';
    }
    return segment;
}

// Text placed into markup: the few characters that would break it.
std::string escaped(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string percentDecodedPath(const std::string &path)
{
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size()) {
            out += static_cast<char>(std::stoi(path.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += path[i];
        }
    }
    return out;
}

// "Latin-1" bytes for the German site: its pages are written in windows-1252.
std::string latin1(const std::string &utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xC3 && i + 1 < utf8.size()) {
            out += static_cast<char>((static_cast<unsigned char>(utf8[++i]) & 0x3F) | 0xC0);
        } else if (c == 0xC2 && i + 1 < utf8.size()) {
            out += utf8[++i];
        } else {
            out += utf8[i];
        }
    }
    return out;
}

std::string articlePage(const std::string &slug, int sentences)
{
    const Article article = articleFor(slug, sentences);
    return "<h1>" + article.title + "</h1>\n<p class=\"byline\">By the editors</p>\n" +
           article.html;
}

} // namespace

const char *truthName(Truth truth)
{
    switch (truth) {
    case Truth::Alive:
        return "alive";
    case Truth::Dead:
        return "dead";
    case Truth::SoftNotFound:
        return "soft 404";
    case Truth::MovedHome:
        return "moved to the home page";
    case Truth::Parked:
        return "parked";
    }
    return "?";
}

TestServer &WebSites::add(const std::string &name)
{
    sites_.push_back(Site{name, std::make_unique<TestServer>()});
    return *sites_.back().server;
}

TestServer &WebSites::site(const std::string &name)
{
    for (auto &site : sites_) {
        if (site.name == name)
            return *site.server;
    }
    throw std::out_of_range("no site " + name);
}

std::vector<std::string> WebSites::requestedUrls() const
{
    std::vector<std::string> urls;
    for (const auto &site : sites_) {
        for (const auto &request : site.server->requests())
            urls.push_back(site.server->url(request.target));
    }
    return urls;
}

void WebSites::label(const std::string &site, const std::string &path, Truth truth,
                     bool templateHeavy)
{
    links_.push_back(LabelledLink{this->site(site).url(path), truth, site, templateHeavy});
}

WebSites::~WebSites()
{
    for (auto &site : sites_)
        site.server->stop();
}

WebSites::WebSites()
{
    // A site with real 404s, a canonical redirect or two, and one old address it chose to send
    // to its home page.
    add("plain").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/")
            return htmlReply(htmlPage(
                "Brightwater Surveys",
                companyTemplate(
                    "<h1>Land and building surveys</h1><p>We measure land, buildings and rivers "
                    "for owners, architects and councils across the region.</p>")));
        if (p == "/about")
            return htmlReply(htmlPage("About us", companyTemplate(articlePage("about-us", 6))));
        if (p == "/old-page")
            return Reply::redirect(301, "/");
        if (p == "/index.html")
            return Reply::redirect(301, "/");
        if (p == "/docs")
            return Reply::redirect(301, "/docs/");
        if (p == "/docs/")
            return htmlReply(htmlPage("Documents", companyTemplate(articlePage("documents", 4))));
        for (const char *slug : {"first-steps", "river-survey", "measuring-old-barns"}) {
            if (p == std::string("/blog/") + slug)
                return htmlReply(htmlPage(slug, companyTemplate(articlePage(slug, 9))));
        }
        return notFound();
    });
    for (const char *path : {"/", "/about", "/index.html", "/docs", "/blog/first-steps",
                             "/blog/river-survey", "/blog/measuring-old-barns"})
        label("plain", path, Truth::Alive);
    label("plain", "/old-page", Truth::MovedHome);
    label("plain", "/blog/removed-post", Truth::Dead);
    label("plain", "/contact.html", Truth::Dead);

    // Real 404s in general, but its news directory answers unknown articles with 200.
    add("mixed").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/" || p == "/about" || p == "/news/")
            return htmlReply(htmlPage("Harbour Rowing Club",
                                      companyTemplate(articlePage(p == "/" ? "harbour-rowing-club"
                                                                  : p == "/about" ? "about-the-club"
                                                                                  : "club-news",
                                                                  5))));
        for (const char *slug :
             {"regatta-results", "new-boat-named", "winter-training", "junior-squad"}) {
            if (p == std::string("/news/") + slug)
                return htmlReply(htmlPage(slug, companyTemplate(articlePage(slug, 7))));
        }
        if (p.rfind("/news/", 0) == 0)
            return htmlReply(htmlPage(
                "News",
                companyTemplate("<h2>Article not available</h2><p>This news item is not available. "
                                "See all news.</p>")));
        return notFound();
    });
    for (const char *path : {"/", "/about", "/news/", "/news/regatta-results",
                             "/news/new-boat-named", "/news/winter-training", "/news/junior-squad"})
        label("mixed", path, Truth::Alive);
    for (const char *path :
         {"/news/summer-party-2017", "/news/boathouse-appeal", "/news/agm-minutes"})
        label("mixed", path, Truth::SoftNotFound);
    label("mixed", "/team/anna", Truth::Dead);

    // Every unknown address gets a 200 "not found" page that does not name the address.
    add("softplain").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/")
            return htmlReply(
                htmlPage("Greenway Gardens", companyTemplate(articlePage("greenway-gardens", 5))));
        for (const char *page : {"services", "contact", "pricing"}) {
            if (p == std::string("/") + page)
                return htmlReply(htmlPage(page, companyTemplate(articlePage(page, 4))));
        }
        for (const char *slug : {"spring-planting", "hedge-laying", "pond-care"}) {
            if (p == std::string("/news/") + slug)
                return htmlReply(htmlPage(slug, companyTemplate(articlePage(slug, 8))));
        }
        return htmlReply(htmlPage(
            "Page not found - Greenway Gardens",
            companyTemplate("<h1>Page not found</h1><p>Sorry, the page you are looking for does "
                            "not exist or has "
                            "been moved.</p><p><a href=\"/\">Back to the home page</a></p>")));
    });
    for (const char *path : {"/", "/services", "/contact", "/pricing", "/news/spring-planting",
                             "/news/hedge-laying", "/news/pond-care"})
        label("softplain", path, Truth::Alive);
    for (const char *path :
         {"/news/spring-sale", "/team/old-member", "/products.html", "/downloads/manual-v1.pdf"})
        label("softplain", path, Truth::SoftNotFound);

    // A heavy template, and a "not found" page that echoes the address in several forms.
    add("softecho").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/")
            return htmlReply(
                htmlPage("The Valley Courier",
                         newsTemplate("<h2>Today</h2>" + articlePage("front-page", 4))));
        for (const char *slug : {"bridge-repairs-begin", "choir-tour", "market-returns",
                                 "library-hours", "ferry-timetable", "winter-road"}) {
            if (p == std::string("/articles/") + slug)
                return htmlReply(htmlPage(slug, newsTemplate(articlePage(slug, 6))));
        }
        const std::string shown = escaped(percentDecodedPath(r.path));
        return htmlReply(
            htmlPage(escaped(lastSegmentWords(shown)) + " not found",
                     newsTemplate("<h1>We could not find " + shown + "</h1><p>The address http://" +
                                  escaped(r.header("Host").value_or("")) + shown +
                                  " does not lead to an article. "
                                  "Nothing matches &ldquo;" +
                                  escaped(lastSegmentWords(shown)) +
                                  "&rdquo; either.</p>"
                                  "<p>Try the sections above.</p>")));
    });
    for (const char *path :
         {"/", "/articles/bridge-repairs-begin", "/articles/choir-tour", "/articles/market-returns",
          "/articles/library-hours", "/articles/ferry-timetable", "/articles/winter-road"})
        label("softecho", path, Truth::Alive, true);
    for (const char *path : {"/articles/my-old-article", "/articles/winter-tyres-2019",
                             "/category/%C3%BCber-uns", "/articles/what%20we%20do"})
        label("softecho", path, Truth::SoftNotFound, true);

    // Unknown addresses are redirected to a "not found" page that answers 200.
    add("soft404page").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/")
            return htmlReply(
                htmlPage("Trail Guides", companyTemplate(articlePage("trail-guides", 5))));
        if (p == "/404.html")
            return htmlReply(htmlPage(
                "Oops",
                companyTemplate("<h1>Oops!</h1><p>That page has wandered off the trail.</p>")));
        for (const char *slug : {"coastal-path", "three-peaks", "forest-loop"}) {
            if (p == std::string("/guides/") + slug)
                return htmlReply(htmlPage(slug, companyTemplate(articlePage(slug, 10))));
        }
        return Reply::redirect(302, "/404.html");
    });
    for (const char *path :
         {"/", "/guides/coastal-path", "/guides/three-peaks", "/guides/forest-loop"})
        label("soft404page", path, Truth::Alive);
    for (const char *path : {"/guides/old-guide", "/guides/removed", "/faq.php"})
        label("soft404page", path, Truth::SoftNotFound);

    // Every unknown address goes to the home page.
    add("homeredirect").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/")
            return htmlReply(
                htmlPage("Kitchen Notes", companyTemplate(articlePage("kitchen-notes", 6))));
        for (const char *slug : {"pumpkin-soup", "rye-bread", "miso-stock", "plum-jam"}) {
            if (p == std::string("/recipes/") + slug)
                return htmlReply(htmlPage(slug, companyTemplate(articlePage(slug, 8))));
        }
        return Reply::redirect(301, "http://" + r.header("Host").value_or("127.0.0.1") + "/");
    });
    for (const char *path : {"/", "/recipes/pumpkin-soup", "/recipes/rye-bread",
                             "/recipes/miso-stock", "/recipes/plum-jam"})
        label("homeredirect", path, Truth::Alive);
    for (const char *path : {"/recipes/old-soup", "/recipes/2018/cake", "/about-us"})
        label("homeredirect", path, Truth::MovedHome);

    // Every unknown address shows the home page itself, with 200 and no redirect.
    add("homeserve").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        for (const char *slug : {"garden-bench", "bird-table"}) {
            if (p == std::string("/products/") + slug)
                return htmlReply(htmlPage(slug, companyTemplate(articlePage(slug, 7))));
        }
        return htmlReply(
            htmlPage("Woodcraft Studio", companyTemplate(articlePage("woodcraft", 6))));
    });
    for (const char *path : {"/", "/products/garden-bench", "/products/bird-table"})
        label("homeserve", path, Truth::Alive);
    for (const char *path : {"/products/discontinued", "/events/2019"})
        label("homeserve", path, Truth::SoftNotFound);

    // Parking and for-sale pages, one language and style each, on every address.
    add("parked-en").fallback([](const ReceivedRequest &) {
        return htmlReply(htmlPage(
            "example-shop.com",
            "<div class=\"ads\"><h1>example-shop.com"
            "</h1><h2>Related Searches</h2><ul><li><a>Cheap Flights</a></li><li><a>Car "
            "Insurance</a></li><li><a>Online Degree</a></li><li><a>Web Hosting</a></li></ul>"
            "</div><p class=\"small\">The Sponsored Listings displayed above are served "
            "automatically by a third party. Neither the service provider nor the domain owner "
            "maintain any relationship with the advertisers.</p><p><a href=\"#\">Buy this "
            "domain</a></p>"));
    });
    add("forsale-de").fallback([](const ReceivedRequest &) {
        return htmlReply(
            latin1(htmlPage(
                "alter-laden.de - Diese Domain steht zum Verkauf!",
                "<h1>alter-laden.de</h1><p>Sie können diese Domain jetzt erwerben. Unser Team "
                "berät Sie gern.</p>",
                "iso-8859-1")),
            "text/html; charset=ISO-8859-1");
    });
    add("forsale-fr").fallback([](const ReceivedRequest &) {
        return htmlReply(
            htmlPage("alpage-vert.fr",
                     "<div class=\"hero\">CE&nbsp;NOM DE DOMAINE\n   EST &Agrave; VENDRE</div>"
                     "<p>Contactez-nous pour faire une offre. Paiement sécurisé.</p>"));
    });
    add("forsale-es").fallback([](const ReceivedRequest &) {
        std::string page = htmlPage("tienda-sol.es",
                                    "<h2>¡Este dominio est&aacute; en venta!"
                                    "</h2><p>Haga clic aquí para hacer una oferta.</p>",
                                    "windows-1252");
        return htmlReply(latin1(page), "text/html");
    });
    add("forsale-nl").fallback([](const ReceivedRequest &) {
        return htmlReply(htmlPage(
            "fietsenmaker-jansen.nl",
            "<p>Dit do<span>mein</span>   is\n\tte   <b>KOOP</b>.</p><p>Neem contact met ons op "
            "voor een bod.</p>"));
    });
    for (const char *site : {"parked-en", "forsale-de", "forsale-fr", "forsale-es", "forsale-nl"}) {
        label(site, "/", Truth::Parked);
        label(site, "/shop/old-item.html", Truth::Parked);
    }

    // Old domains sent to a parking page elsewhere.
    const std::string parkedRoot = site("parked-en").url("/?domain=oldbrand");
    add("oldbrand").fallback([parkedRoot](const ReceivedRequest &) {
        return Reply::redirect(302, parkedRoot);
    });
    const std::string saleRoot = site("forsale-nl").url("/");
    add("oldbrand-nl").fallback([saleRoot](const ReceivedRequest &) {
        return Reply::redirect(301, saleRoot);
    });
    label("oldbrand", "/", Truth::Parked);
    label("oldbrand", "/catalogue/item-17", Truth::Parked);
    label("oldbrand-nl", "/winkel/fietsen", Truth::Parked);

    // A news site under a very heavy div-based template, with a 200 "not found" page.
    add("news").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/")
            return htmlReply(
                htmlPage("The Valley Courier", newsTemplate(articlePage("news-front", 5))));
        for (const char *section : {"world", "sport"}) {
            if (p == std::string("/section/") + section)
                return htmlReply(htmlPage(section, newsTemplate(articlePage(section, 6))));
        }
        const std::pair<const char *, int> articles[] = {
            {"harbour-wall-approved", 3}, {"ten-winter-walks", 4},   {"bakery-award", 5},
            {"parking-rules", 6},         {"hospital-extension", 8}, {"choir-final", 10},
            {"ferry-winter", 12},         {"valley-photographs", 14}};
        for (const auto &[slug, length] : articles) {
            if (p == std::string("/2024/") + slug)
                return htmlReply(htmlPage(slug, newsTemplate(articlePage(slug, length))));
        }
        // Pages with next to no text of their own: a photo with its caption, a video.
        if (p == "/2024/gallery-harbour-dawn")
            return htmlReply(htmlPage(
                "The Valley Courier",
                newsTemplate(
                    "<h1>Gallery</h1><img src=\"/img/harbour.jpg\"><p>The harbour at dawn.</p>")));
        if (p == "/2024/video-regatta")
            return htmlReply(htmlPage(
                "The Valley Courier",
                newsTemplate("<video src=\"/v/regatta.mp4\"></video><p>Regatta highlights</p>")));
        return htmlReply(htmlPage(
            "The Valley Courier",
            newsTemplate(
                "<h1>Sorry, this article is no longer available</h1><p>It may have been moved or "
                "deleted. Try the search or browse the sections above.</p>")));
    });
    for (const char *path :
         {"/", "/section/world", "/section/sport", "/2024/harbour-wall-approved",
          "/2024/ten-winter-walks", "/2024/bakery-award", "/2024/parking-rules",
          "/2024/hospital-extension", "/2024/choir-final", "/2024/ferry-winter",
          "/2024/valley-photographs", "/2024/gallery-harbour-dawn", "/2024/video-regatta"})
        label("news", path, Truth::Alive, true);
    for (const char *path : {"/2019/flood-defences", "/2019/mayor-elected", "/2024/deleted-story"})
        label("news", path, Truth::SoftNotFound, true);

    // A blog under a heavy template of header, nav, aside and footer; its "not found" page
    // names the missing post's words.
    add("blog").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/")
            return htmlReply(
                htmlPage("Notes from the Allotment", blogTemplate(articlePage("allotment", 4))));
        const std::pair<const char *, int> posts[] = {
            {"broad-beans", 3}, {"cold-frame", 4},      {"leeks-bolted", 5}, {"clay-potatoes", 6},
            {"tomato-seed", 7}, {"rhubarb-forcing", 9}, {"fruit-cage", 11},  {"winter-dig", 13}};
        for (const auto &[slug, length] : posts) {
            if (p == std::string("/posts/") + slug)
                return htmlReply(htmlPage(slug, blogTemplate(articlePage(slug, length))));
        }
        // A different suggestion each time, beside the message.
        static const char *const tips[] = {"A cheap cold frame from old windows",
                                           "Why my leeks bolted", "Saving tomato seed"};
        static std::atomic<unsigned> tipCount{0};
        return htmlReply(htmlPage(
            "Nothing found for " + escaped(lastSegmentWords(p)),
            blogTemplate("<h1>Nothing here</h1><p>There is no post called &ldquo;" +
                         escaped(lastSegmentWords(p)) + "&rdquo;. Perhaps the search helps.</p>" +
                         "<aside>You might like: " + tips[tipCount++ % 3] + "</aside>")));
    });
    for (const char *path : {"/", "/posts/broad-beans", "/posts/cold-frame", "/posts/leeks-bolted",
                             "/posts/clay-potatoes", "/posts/tomato-seed", "/posts/rhubarb-forcing",
                             "/posts/fruit-cage", "/posts/winter-dig"})
        label("blog", path, Truth::Alive, true);
    for (const char *path : {"/posts/garlic-in-pots", "/posts/my-first-year", "/posts/2016-review"})
        label("blog", path, Truth::SoftNotFound, true);

    // A shop whose product pages are short and alike, with a 200 "not found" page.
    const std::vector<std::string> products{
        "mug-blue",     "board-oak", "towel-linen",  "pot-enamel", "can-copper",
        "blanket-wool", "jar-glass", "skillet-iron", "bin-bamboo", "bowl-stoneware"};
    add("shop").fallback([products](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/" || p == "/category/kitchen") {
            std::string list = "<h1>Kitchen</h1><ul>";
            for (const auto &slug : products)
                list += "<li>" + productFor(slug).name + " " + productFor(slug).price + "</li>";
            return htmlReply(htmlPage("Hearth & Table", shopTemplate(list + "</ul>")));
        }
        for (const auto &slug : products) {
            if (p == "/product/" + slug) {
                const Product product = productFor(slug);
                return htmlReply(htmlPage(
                    product.name + " | Hearth & Table",
                    shopTemplate("<h1>" + product.name + "</h1><p class=\"price\">" +
                                 product.price + "</p><p>In stock. Ships in 2 days.</p><p>" +
                                 product.description + "</p><button>Add to basket</button>")));
            }
        }
        return htmlReply(htmlPage(
            "Product not found | Hearth & Table",
            shopTemplate("<h1>Product not found</h1><p>This product is no longer in our range.</p>"
                         "<p>Browse the catalogue for similar items.</p>")));
    });
    label("shop", "/", Truth::Alive);
    label("shop", "/category/kitchen", Truth::Alive);
    for (const auto &slug : products)
        label("shop", "/product/" + slug, Truth::Alive);
    for (const char *path :
         {"/product/mug-red", "/product/teapot-clay", "/product/old-123", "/product/basket-rattan"})
        label("shop", path, Truth::SoftNotFound);

    // A page drawn by scripts: every address gets the same empty shell.
    add("spa").fallback([](const ReceivedRequest &) {
        return htmlReply("<!doctype html><html><head><title>Planner</title><script src=\"/app.js\">"
                         "</script></head><body><div id=\"root\"></div><noscript>You need to "
                         "enable JavaScript to run this app.</noscript></body></html>");
    });
    label("spa", "/", Truth::Alive);
    label("spa", "/dashboard", Truth::Alive);
    label("spa", "/settings/profile", Truth::Alive);
    label("spa", "/old-feature", Truth::SoftNotFound); // a known miss: nothing to compare

    // A web mail behind a sign-in: every page but the home page sends visitors to it.
    add("login").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/")
            return htmlReply(
                htmlPage("Post Office Mail", companyTemplate(articlePage("webmail", 4))));
        if (p == "/login")
            return htmlReply(htmlPage(
                "Sign in",
                companyTemplate("<h1>Sign in</h1><form>Email <input> Password <input type=password>"
                                "<button>Sign in</button></form>")));
        return Reply::redirect(302, "/login?next=" + p);
    });
    for (const char *path : {"/", "/inbox", "/settings/profile", "/login"})
        label("login", path, Truth::Alive);

    // A German site in windows-1252 whose "not found" page repeats the decoded address.
    add("latin1").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        const auto page = [](const std::string &title, const std::string &body) {
            return htmlReply(latin1(htmlPage(title, companyTemplate(body), "iso-8859-1")),
                             "text/html; charset=iso-8859-1");
        };
        if (p == "/")
            return page("Elektro Müller",
                        "<h1>Willkommen</h1><p>Ihr Fachhändler für "
                        "Haushaltsgeräte in Köln seit 1968. Beratung, Lieferung und "
                        "Reparatur aus einer Hand.</p>");
        if (p == "/produkte/waschmaschinen")
            return page("Waschmaschinen",
                        "<h1>Waschmaschinen</h1><p>Frontlader und Toplader "
                        "von sechs Herstellern, auf Wunsch mit Anschluss und Mitnahme des "
                        "Altgeräts. Wir zeigen Ihnen gern die Unterschiede im Laden.</p>");
        if (p == "/produkte/herde")
            return page("Herde und Backöfen",
                        "<h1>Herde &amp; Backöfen</h1><p>Induktion, "
                        "Ceran oder Gas: wir haben über vierzig Geräte ausgestellt und "
                        "liefern innerhalb einer Woche. Die Montage übernimmt unser Meister.</p>");
        if (p == "/produkte/k%C3%BChlschr%C3%A4nke")
            return page("Kühlschränke",
                        "<h1>Kühlschränke</h1><p>Vom kleinen Tischkühlschrank "
                        "bis zur Kühl-Gefrier-Kombination mit Eiswürfelbereiter, viele "
                        "Modelle sofort lieferbar.</p>");
        std::string shown = percentDecodedPath(p);
        return page("Seite nicht gefunden",
                    "<h1>Seite nicht gefunden</h1><p>Die Seite »" + escaped(shown) +
                        "« gibt es nicht (mehr). Vielleicht finden Sie, was Sie "
                        "suchen, über die Startseite.</p>");
    });
    for (const char *path :
         {"/", "/produkte/waschmaschinen", "/produkte/herde", "/produkte/k%C3%BChlschr%C3%A4nke"})
        label("latin1", path, Truth::Alive);
    for (const char *path :
         {"/produkte/k%C3%BChltruhe-alt", "/produkte/w%E4schetrockner", "/seiten/impressum-alt"})
        label("latin1", path, Truth::SoftNotFound);

    // A "not found" page that carries a clock, a request number and the server's name.
    add("noisy").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/")
            return htmlReply(
                htmlPage("Clockwork Repairs", companyTemplate(articlePage("clockwork", 5))));
        for (const char *slug : {"barometers", "music-boxes", "long-case-clocks"}) {
            if (p == std::string("/articles/") + slug)
                return htmlReply(htmlPage(slug, companyTemplate(articlePage(slug, 7))));
        }
        static std::atomic<int> counter{0};
        // Behind a load balancer: which server answered changes from request to request.
        static const char *const nodes[] = {"amber", "cobalt", "jade"};
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        return htmlReply(htmlPage(
            "Error",
            companyTemplate(
                "<h1>Error: page unavailable</h1><p>We are sorry, this page is unavailable.</p>"
                "<p class=\"debug\">Generated at " +
                std::to_string(now % 86400) + " in 0.0" + std::to_string(now % 97) +
                " s, request id a" + std::to_string(++counter * 7919) + "f by node " +
                nodes[counter % 3] + "</p>")));
    });
    for (const char *path :
         {"/", "/articles/barometers", "/articles/music-boxes", "/articles/long-case-clocks"})
        label("noisy", path, Truth::Alive);
    for (const char *path : {"/articles/cuckoo-clocks", "/articles/pocket-watches"})
        label("noisy", path, Truth::SoftNotFound);

    // Unknown addresses become a search for their words.
    add("search").fallback([](const ReceivedRequest &r) {
        const std::string p = r.path;
        if (p == "/")
            return htmlReply(
                htmlPage("Fix It Yourself", companyTemplate(articlePage("fix-it", 5))));
        if (p == "/search" && r.target == "/search")
            return htmlReply(htmlPage(
                "Search",
                companyTemplate(
                    "<h1>Search our tips</h1><form><input name=q><button>Search</button></form>"
                    "<p>Over three hundred tips on repairs around the house.</p>")));
        if (p == "/search") {
            std::string words = r.target.substr(r.target.find("q=") + 2);
            for (char &c : words)
                c = c == '+' ? ' ' : c;
            return htmlReply(
                htmlPage("Search", companyTemplate("<h1>Search results for " + escaped(words) +
                                                   "</h1><p>No tips match your search."
                                                   "</p>")));
        }
        for (const char *slug : {"dripping-tap", "squeaky-door"}) {
            if (p == std::string("/tips/") + slug)
                return htmlReply(htmlPage(slug, companyTemplate(articlePage(slug, 6))));
        }
        std::string words = lastSegmentWords(p);
        for (char &c : words)
            c = c == ' ' ? '+' : c;
        return Reply::redirect(302, "/search?q=" + words);
    });
    for (const char *path : {"/", "/search", "/tips/dripping-tap", "/tips/squeaky-door"})
        label("search", path, Truth::Alive);
    for (const char *path : {"/tips/blocked-drain", "/tips/loose-tiles"})
        label("search", path, Truth::SoftNotFound);
}

} // namespace quorvel::test
