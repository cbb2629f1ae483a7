#include "plan.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <random>
#include <set>

namespace quorvel::simweb
{

namespace
{

struct CategoryTraits {
    Category category;
    std::string_view name;
    double share; // of all links
    HostKind host;
    bool dead;
};

// The mix of an old favorites folder; Live takes what rounding leaves.
constexpr std::array<CategoryTraits, categoryCount> traits{{
    {Category::Live, "live", 0.40, HostKind::Site, false},
    {Category::Redirected, "redirected, live", 0.10, HostKind::Site, false},
    {Category::Gone404, "gone, 404", 0.15, HostKind::Site, true},
    {Category::Gone410, "gone, 410", 0.02, HostKind::Site, true},
    {Category::ExpiredDomain, "expired domain", 0.07, HostKind::Expired, true},
    {Category::LameDns, "lame DNS", 0.01, HostKind::LameDns, true},
    {Category::SlowDns, "slow DNS, live", 0.03, HostKind::SlowDns, false},
    {Category::Refused, "refused", 0.015, HostKind::Refused, true},
    {Category::Blackholed, "blackholed", 0.02, HostKind::Blackholed, true},
    {Category::Stalled, "stalled", 0.01, HostKind::Stalled, true},
    {Category::SlowPage, "slow page", 0.015, HostKind::Site, false},
    {Category::FlakyReset, "flaky, reset first", 0.015, HostKind::Flaky, false},
    {Category::Flaky503, "flaky, 503 first", 0.015, HostKind::Flaky, false},
    {Category::BotWall, "bot wall, 403", 0.025, HostKind::BotWall, false},
    {Category::ServerError, "site-wide 500", 0.015, HostKind::ServerError, false},
    {Category::RateLimitedLive, "429 host, live", 0.0675, HostKind::RateLimited, false},
    {Category::RateLimited404, "429 host, 404", 0.0225, HostKind::RateLimited, true},
}};

constexpr std::array<std::string_view, 48> words{
    "acme",   "amber",  "atlas",  "birch",   "cobalt", "coral",   "delta",  "ember",
    "falcon", "fern",   "garnet", "harbor",  "hazel",  "indigo",  "jasper", "juniper",
    "kettle", "lark",   "linden", "maple",   "marble", "meadow",  "nimbus", "oak",
    "onyx",   "orchid", "pebble", "pine",    "quartz", "raven",   "river",  "saffron",
    "sable",  "spruce", "summit", "thistle", "topaz",  "tundra",  "umber",  "velvet",
    "willow", "wren",   "yarrow", "zephyr",  "copper", "lantern", "beacon", "cinder"};
constexpr std::array<std::string_view, 8> sections{"news", "archive",  "products", "docs",
                                                   "blog", "articles", "people",   "files"};
constexpr std::array<std::string_view, 16> folders{"",
                                                   "Links",
                                                   "News",
                                                   "News/Archive",
                                                   "Shopping",
                                                   "Work",
                                                   "Work/Projects",
                                                   "Work/Tools",
                                                   "Travel",
                                                   "Music",
                                                   "Games",
                                                   "Reference",
                                                   "Reference/Programming",
                                                   "Friends",
                                                   "Imported from Netscape",
                                                   "Imported from Netscape/Old links"};

// Uniform in [low, high], the same on every standard library (unlike the distributions).
int between(std::mt19937 &rng, int low, int high)
{
    return low + static_cast<int>(rng() % static_cast<std::uint32_t>(high - low + 1));
}

template <typename T, std::size_t N>
std::string_view pick(std::mt19937 &rng, const std::array<T, N> &from)
{
    return from[rng() % N];
}

void shuffle(std::vector<int> &items, std::mt19937 &rng)
{
    for (std::size_t i = items.size(); i > 1; --i)
        std::swap(items[i - 1], items[rng() % i]);
}

std::string hostName(std::mt19937 &rng, std::set<std::string> &taken)
{
    for (;;) {
        std::string name = std::string(pick(rng, words)) + std::string(pick(rng, words));
        if (rng() % 3 == 0)
            name += std::to_string(between(rng, 1, 99));
        name = (rng() % 2 ? "www." : "") + name + (rng() % 4 == 0 ? ".test" : ".example");
        if (taken.insert(name).second)
            return name;
    }
}

// "www.amberlark12.example" reads as "Amberlark".
std::string siteTitle(std::string_view hostName)
{
    if (hostName.starts_with("www."))
        hostName.remove_prefix(4);
    std::string title;
    for (const char c : hostName.substr(0, hostName.find('.')))
        if (c >= 'a' && c <= 'z')
            title += title.empty() ? static_cast<char>(c - 'a' + 'A') : c;
    return title;
}

// Latency, redirects and final status of a link by its category.
void shapeLink(Link &link, std::mt19937 &rng)
{
    link.latencyMs = between(rng, 20, 400);
    link.hopLatencyMs = between(rng, 20, 100);
    switch (link.category) {
    case Category::Redirected:
        link.hops = between(rng, 1, 3);
        break;
    case Category::Gone404:
    case Category::Gone410:
        link.status = link.category == Category::Gone404 ? 404 : 410;
        link.hops = rng() % 5 == 0 ? between(rng, 1, 2) : 0;
        break;
    case Category::RateLimited404:
        link.status = 404;
        break;
    case Category::SlowPage:
        link.latencyMs = between(rng, 5000, 15000);
        break;
    case Category::BotWall:
        link.status = 403;
        break;
    case Category::ServerError:
        link.status = 500;
        break;
    default:
        break;
    }
}

bool mayBeHomePage(Category category)
{
    return category != Category::Gone404 && category != Category::Gone410 &&
           category != Category::RateLimited404;
}

} // namespace

std::string_view categoryName(Category category)
{
    return traits[static_cast<std::size_t>(category)].name;
}

bool expectedDead(Category category)
{
    return traits[static_cast<std::size_t>(category)].dead;
}

Plan makePlan(int linkCount, std::uint32_t seed)
{
    Plan plan;
    plan.seed = seed;
    std::mt19937 rng(seed);

    // The links, category by category, then dealt out by the kind of host that serves them.
    std::vector<Category> categories;
    for (const auto &t : traits) {
        const int count =
            t.category == Category::Live ? 0 : static_cast<int>(std::lround(t.share * linkCount));
        categories.insert(categories.end(), static_cast<std::size_t>(count), t.category);
    }
    categories.insert(categories.begin(),
                      static_cast<std::size_t>(std::max(0, linkCount - int(categories.size()))),
                      Category::Live);
    categories.resize(static_cast<std::size_t>(linkCount));
    std::array<std::vector<int>, 11> pools; // by HostKind
    plan.links.resize(categories.size());
    for (std::size_t i = 0; i < categories.size(); ++i) {
        Link &link = plan.links[i];
        link.category = categories[i];
        shapeLink(link, rng);
        pools[static_cast<std::size_t>(traits[static_cast<std::size_t>(link.category)].host)]
            .push_back(static_cast<int>(i));
    }
    for (auto &pool : pools)
        shuffle(pool, rng);

    std::set<std::string> taken;
    auto addHost = [&](HostKind kind, std::vector<int> &pool, int size) {
        Host host;
        host.kind = kind;
        host.name = hostName(rng, taken);
        const auto index = static_cast<std::uint32_t>(plan.hosts.size());
        host.address = (127u << 24) | (16u << 16) | ((index / 250) << 8) | (1 + index % 250);
        if (kind == HostKind::SlowDns)
            host.dnsDelayMs = between(rng, 1000, 3000);
        if (kind == HostKind::RateLimited)
            host.inFlightLimit = rng() % 3 == 0 ? 2 : 1;
        for (int i = 0; i < size && !pool.empty(); ++i) {
            host.links.push_back(pool.back());
            pool.pop_back();
        }
        plan.hosts.push_back(std::move(host));
    };

    // A few large sites, as the favorites of one news site or one shop pile up; two of them
    // limit their rate.
    const double scale = linkCount / 3000.0;
    auto &sites = pools[static_cast<std::size_t>(HostKind::Site)];
    auto &limited = pools[static_cast<std::size_t>(HostKind::RateLimited)];
    for (int size : {200, 150, 120, 80, 60})
        addHost(HostKind::Site, sites, std::max(1, static_cast<int>(size * scale)));
    for (const auto &[size, limit] : {std::pair{120, 1}, std::pair{60, 2}}) {
        addHost(HostKind::RateLimited, limited, std::max(1, static_cast<int>(size * scale)));
        plan.hosts.back().inFlightLimit = limit;
    }
    // The rest on small hosts of one to three links (1.85 on average).
    for (std::size_t kind = 0; kind < pools.size(); ++kind) {
        while (!pools[kind].empty()) {
            const auto draw = rng() % 20;
            addHost(static_cast<HostKind>(kind), pools[kind], draw < 8 ? 1 : draw < 15 ? 2 : 3);
        }
    }

    // Paths, URLs and shortcut names, now that every link has its host. As in a real folder,
    // a site's favorites mostly share a folder and, named after the site's title, sit together
    // in it; a checker meets them one after another.
    for (std::size_t h = 0; h < plan.hosts.size(); ++h) {
        Host &host = plan.hosts[h];
        const std::string_view hostFolder = pick(rng, folders);
        const std::string title = siteTitle(host.name);
        for (std::size_t k = 0; k < host.links.size(); ++k) {
            const int index = host.links[k];
            Link &link = plan.links[static_cast<std::size_t>(index)];
            link.host = static_cast<int>(h);
            if (k == 0 && mayBeHomePage(link.category) && rng() % 3 == 0) {
                link.path = "/";
                host.homeLink = index;
            } else {
                link.path = "/" + std::string(pick(rng, sections)) + "/" +
                            std::string(pick(rng, words)) + "-" + std::to_string(index) + ".html";
            }
            link.url = "http://" + host.name + link.path;
            link.folder = std::string(rng() % 10 < 7 ? hostFolder : pick(rng, folders));
            link.name = title + " - " + std::string(pick(rng, words)) + " " + std::to_string(index);
        }
    }
    return plan;
}

int linkFromPath(const Plan &plan, int host, std::string_view path, int &hop)
{
    hop = 0;
    if (const auto query = path.find('?'); query != std::string_view::npos) {
        const std::string_view rest = path.substr(query);
        if (rest.starts_with("?hop="))
            std::from_chars(rest.data() + 5, rest.data() + rest.size(), hop);
        path = path.substr(0, query);
    }
    if (path == "/")
        return plan.hosts[static_cast<std::size_t>(host)].homeLink;
    const auto dash = path.rfind('-');
    if (dash == std::string_view::npos)
        return -1;
    int index = -1;
    std::from_chars(path.data() + dash + 1, path.data() + path.size(), index);
    if (index < 0 || index >= static_cast<int>(plan.links.size()) ||
        plan.links[static_cast<std::size_t>(index)].host != host)
        return -1;
    return index;
}

std::string hopPath(int link, int hop)
{
    return "/moved/page-" + std::to_string(link) + ".html?hop=" + std::to_string(hop);
}

} // namespace quorvel::simweb
