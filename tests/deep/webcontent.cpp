#include "deep/webcontent.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <random>

namespace quorvel::test
{

namespace
{

const std::vector<std::string> sentences{
    "The old orchard behind the village school has been replanted with twelve varieties of apple.",
    "Volunteers met every Saturday morning to prune the trees and clear the brambles.",
    "A frost in late April damaged most of the blossom on the early pears.",
    "Compost made from autumn leaves takes about two years to become fine enough for seedlings.",
    "The council agreed to keep the footpath open while the bridge is repaired.",
    "Cyclists are asked to dismount on the narrow section near the mill.",
    "Our route followed the river for forty kilometres before climbing into the hills.",
    "A puncture near the ferry cost us an hour, but the view from the pass made up for it.",
    "Tubeless tyres need a fresh dose of sealant every few months.",
    "The night train leaves at ten and arrives at the coast shortly after dawn.",
    "Booking a sleeper cabin early is the only way to get a lower bunk in summer.",
    "Bread dough rises faster in a warm kitchen, so shorten the first proof in July.",
    "A spoonful of miso gives the vegetable stock a depth that salt alone cannot.",
    "Roast the squash until the edges caramelise before you blend it into the soup.",
    "Sourdough starters can be kept in the fridge and fed once a week.",
    "The new library opens on Monday with longer hours and a reading room for students.",
    "Children under twelve borrow up to eight books at a time without a fee.",
    "The museum's winter exhibition shows maps drawn by hand in the eighteenth century.",
    "Most of the charts were made by surveyors who walked the coast with chains and compasses.",
    "Backups that are never restored are only a hope, so test them every quarter.",
    "The release fixes a crash when the settings file is empty and speeds up start-up.",
    "Upgrading the database took longer than planned because of an old index.",
    "Keep passwords in a manager and switch on a second factor wherever a site offers it.",
    "The team moved its servers to a data centre that runs on wind power.",
    "Our choir rehearses on Thursday evenings in the hall next to the church.",
    "New singers are welcome, and no audition is needed for the autumn concert.",
    "The market square fills with stalls selling cheese, honey and hand-made baskets.",
    "Parking is free after six, but the car park by the station closes at midnight.",
    "The lighthouse keeper's cottage has been turned into a small guest house.",
    "Walkers can reach the cliff top by a staircase of one hundred and twenty steps.",
    "Seals often rest on the sandbank at low tide, so keep dogs on a lead there.",
    "The recipe serves four and keeps for three days in a closed jar.",
    "Grind the spices just before cooking; their oils fade within weeks of grinding.",
    "Our workshop repairs clocks, barometers and music boxes of every age.",
    "Each repair starts with a careful cleaning of the movement in a warm bath.",
    "The festival programme lists thirty concerts over three weekends in August.",
    "Tickets for the opening night sold out within an hour of going on sale.",
    "A new cycle lane links the university with the railway station.",
    "The bakery on the corner has baked rye bread to the same recipe since 1952.",
    "Snow closed the mountain road twice last winter, each time for several days.",
    "Chains are required above the second hairpin from November to March.",
    "The beekeepers' club lends out extractors to members during the honey harvest.",
    "A strong colony can produce more than twenty kilograms of honey in a good year.",
    "The school's robotics team reached the national final with a machine built from scrap.",
    "Their robot sorts coloured blocks by reading them with a cheap camera.",
    "Most visitors arrive by bus, which stops at the gate every half hour.",
    "The castle garden is laid out as it was drawn on a plan from 1710.",
    "Restorers found the original paint under four later layers on the chapel ceiling.",
    "Water the tomatoes at the base in the morning to keep the leaves dry.",
    "Pinch out the side shoots each week so the plant puts its strength into fruit.",
    "The harbour dredging starts in spring and should last about six weeks.",
    "Fishing boats will use the outer quay while the inner basin is closed.",
    "Our newsletter goes out on the first Monday of the month.",
    "The photography club's exhibition shows portraits taken in the old quarter.",
    "Black and white film is back in fashion among the club's younger members.",
    "The ferry timetable changes on the first of October to the winter service.",
    "Late sailings on Friday and Sunday evenings carry on through the winter.",
    "Painting the fence with linseed oil protects the wood for several years.",
    "The recycling centre now takes old batteries, cooking oil and small electrical goods.",
    "Glass must be sorted by colour before it goes into the containers.",
    "The hiking guide describes twenty circular walks between five and fifteen kilometres.",
    "Each walk comes with a sketch map and notes on where to find water.",
    "A power cut on Tuesday evening stopped the trams for almost two hours.",
    "Engineers traced the fault to a cable damaged by roadworks.",
    "The chess club meets in the back room of the café on Wednesday afternoons.",
    "Beginners play against the club's computer before joining the weekly tournament.",
    "The vineyard on the south slope was planted by monks in the twelfth century.",
    "Harvest usually starts in the second week of September, weather permitting.",
    "The swimming pool reopens after the summer with a new roof and solar heating.",
    "Early lanes from six to eight are kept for people swimming lengths.",
};

const std::vector<std::string> productNames{
    "Blue ceramic mug",         "Oak cutting board",   "Linen tea towel",
    "Enamel coffee pot",        "Copper watering can", "Wool picnic blanket",
    "Glass storage jar",        "Cast iron skillet",   "Bamboo bread bin",
    "Stoneware pasta bowl",     "Beeswax food wrap",   "Walnut salad servers",
    "Steel camping kettle",     "Cotton apron",        "Porcelain teapot",
    "Rattan fruit basket",      "Slate cheese board",  "Ash wood spoon set",
    "Marble mortar and pestle", "Jute shopping bag"};

const std::vector<std::string> productSentences{
    "Dishwasher safe and made to last.",       "Hand finished in a small workshop.",
    "Holds a generous portion for breakfast.", "Oiled by hand before it leaves us.",
    "Comes in a recycled cardboard box.",      "Suitable for gas, electric and induction hobs.",
    "Machine washable at forty degrees.",      "A favourite gift for new kitchens.",
    "Each piece varies slightly in colour.",   "Made from sustainably grown timber."};

std::mt19937 generatorFor(const std::string &key)
{
    return std::mt19937(static_cast<std::mt19937::result_type>(std::hash<std::string>{}(key)));
}

std::string titleFromSlug(const std::string &slug)
{
    std::string title;
    bool start = true;
    for (const char c : slug) {
        if (c == '-' || c == '_') {
            title += ' ';
            start = true;
        } else {
            title += start && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
            start = false;
        }
    }
    return title;
}

std::string linkList(const std::vector<std::string> &names)
{
    std::string out;
    for (const auto &name : names)
        out += "<a href=\"/section/" + name + "\">" + name + "</a> ";
    return out;
}

} // namespace

Article articleFor(const std::string &slug, int sentenceCount)
{
    auto random = generatorFor(slug);
    std::vector<std::size_t> order(sentences.size());
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), random);
    Article article;
    article.title = titleFromSlug(slug);
    const auto count = std::min<std::size_t>(static_cast<std::size_t>(sentenceCount), order.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 3 == 0)
            article.html += i == 0 ? "<p>" : "</p>\n<p>";
        article.html += sentences[order[i]] + " ";
    }
    article.html += "</p>";
    return article;
}

Product productFor(const std::string &slug)
{
    auto random = generatorFor(slug);
    Product product;
    product.name = productNames[random() % productNames.size()];
    product.price =
        std::to_string(4 + random() % 60) + "." + std::to_string(10 + random() % 89) + " EUR";
    product.description = productSentences[random() % productSentences.size()];
    if (random() % 2 == 0)
        product.description += " " + productSentences[random() % productSentences.size()];
    return product;
}

std::string htmlPage(const std::string &title, const std::string &body, const std::string &charset)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"" + charset +
           "\">\n<meta name=\"viewport\" content=\"width=device-width, "
           "initial-scale=1\">\n<title>" +
           title + "</title>\n" + pageNoise() + "</head>\n<body>\n" + body + "\n</body>\n</html>\n";
}

std::string pageNoise()
{
    return "<style>\nbody { font-family: sans-serif; margin: 0 auto; max-width: 60em; }\n"
           ".menu a:hover > span { text-decoration: underline; }\n</style>\n"
           "<script>\n  window.dataLayer = window.dataLayer || [];\n"
           "  function track(){ dataLayer.push(arguments); } track('page view', 'consent given');\n"
           "  if (1 < 2 && document.cookie.indexOf('seen') < 0) { console.log('<b>welcome</b>'); "
           "}\n"
           "</script>\n<!-- generated by the site builder; do not edit by hand -->\n";
}

std::string newsTemplate(const std::string &main)
{
    const std::vector<std::string> sections{
        "World",   "Europe",  "Politics",  "Business",   "Markets", "Technology",
        "Science", "Health",  "Education", "Culture",    "Books",   "Music",
        "Film",    "Sport",   "Football",  "Cycling",    "Weather", "Travel",
        "Food",    "Opinion", "Letters",   "Obituaries", "Local",   "Puzzles"};
    std::string out = "<div class=\"top\"><a href=\"/\">The Valley Courier</a> "
                      "<span>Independent news since 1889</span> <a href=\"/subscribe\">"
                      "Subscribe</a> <a href=\"/login\">Sign in</a></div>\n"
                      "<div class=\"menu\">" +
                      linkList(sections) +
                      "</div>\n"
                      "<div class=\"ticker\">Breaking: river levels are expected to peak "
                      "tonight; the old bridge stays closed to traffic until further notice."
                      "</div>\n<div class=\"content\">\n" +
                      main +
                      "\n</div>\n"
                      "<div class=\"sidebar\"><h3>Most read</h3><ol>"
                      "<li>Council approves plans for the new harbour wall</li>"
                      "<li>Ten walks to take before the winter sets in</li>"
                      "<li>Local bakery wins regional bread award again</li>"
                      "<li>What the new parking rules mean for residents</li>"
                      "<li>Hospital extension opens its doors to first patients</li>"
                      "<li>School choir heads to the national final in spring</li>"
                      "<li>Ferry operator announces its winter timetable</li>"
                      "<li>The history of the valley told in forty photographs</li>"
                      "</ol><h3>Newsletter</h3><p>Get the morning briefing in your inbox "
                      "every weekday. It is free and you can unsubscribe at any time.</p></div>\n"
                      "<div class=\"footer\"><p>The Valley Courier is published by Valley Media "
                      "Limited. All rights reserved. Reproduction in whole or in part without "
                      "written permission is prohibited. Our journalists follow the editors' code "
                      "of practice; to make a complaint about our coverage write to the readers' "
                      "editor. We use cookies to understand how our site is used and to show "
                      "relevant advertising; you can change your choices at any time in the "
                      "privacy settings.</p><p>" +
                      linkList({"About us", "Contact", "Careers", "Advertise", "Privacy", "Cookies",
                                "Terms of use", "Accessibility", "Site map", "Archive"}) +
                      "</p></div>";
    return out;
}

std::string blogTemplate(const std::string &main)
{
    return "<header><a href=\"/\">Notes from the Allotment</a><p>Growing food in a small plot, "
           "season by season, with the mistakes left in.</p></header>\n"
           "<nav><a href=\"/\">Home</a> <a href=\"/posts/\">All posts</a> <a href=\"/tags/"
           "vegetables\">Vegetables</a> <a href=\"/tags/fruit\">Fruit</a> <a href=\"/tags/"
           "soil\">Soil and compost</a> <a href=\"/tags/tools\">Tools</a> <a href=\"/about\">"
           "About me</a></nav>\n<main><article>\n" +
           main +
           "\n</article></main>\n"
           "<aside><h2>Recent posts</h2><ul><li>Sowing broad beans in November</li>"
           "<li>A cheap cold frame from old windows</li><li>Why my leeks bolted</li>"
           "<li>The best potatoes for clay soil</li><li>Saving tomato seed</li></ul>"
           "<h2>Tags</h2><p>beans, beetroot, compost, cold frame, fruit cage, garlic, leeks, "
           "onions, potatoes, raspberries, rhubarb, seeds, soil, tomatoes, tools, winter</p>"
           "<h2>Archive</h2><p>January February March April May June July August September "
           "October November December</p></aside>\n"
           "<footer><p>Written on plot 14 of the Riverside allotments. Comments are moderated; "
           "be kind. Words and pictures may be reused with a link back.</p></footer>";
}

std::string shopTemplate(const std::string &main)
{
    return "<header><a href=\"/\">Hearth &amp; Table</a> <span>Free delivery over 50 EUR"
           "</span> <a href=\"/basket\">Basket (0)</a></header>\n<nav>Kitchen Dining Storage "
           "Textiles Garden Outdoor Gifts Sale New in</nav>\n<div class=\"crumbs\">Home &rsaquo;"
           " Shop</div>\n<div class=\"product\">\n" +
           main +
           "\n</div>\n"
           "<div class=\"promise\"><h3>Why shop with us</h3><p>Thirty days to change your mind. "
           "Secure payment by card or bank transfer. Friendly help by phone from nine to five."
           "</p></div>\n<div class=\"newsletter\"><p>Join our newsletter for new arrivals and "
           "ten percent off your first order.</p><input placeholder=\"Your email\"><button>Sign "
           "up</button></div>\n<footer>Delivery &middot; Returns &middot; Contact &middot; "
           "Terms &middot; Privacy</footer>";
}

std::string companyTemplate(const std::string &main)
{
    return "<div class=\"bar\"><a href=\"/\">Brightwater Surveys</a> <a href=\"/services\">"
           "Services</a> <a href=\"/contact\">Contact</a></div>\n<div class=\"page\">\n" +
           main +
           "\n</div>\n<div class=\"legal\">Brightwater Surveys Ltd, registered in Wales.</div>";
}

} // namespace quorvel::test
