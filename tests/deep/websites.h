#pragma once
// A small web on 127.0.0.1 that behaves like the real one where dead favorites hide: sites with
// real 404s, sites that answer every unknown address with a 200 "not found" page (with and
// without the address in it), sites that send unknown addresses to their home page, parked and
// for-sale domains in several languages, sites under a heavy shared template, a shop whose
// product pages look alike, a page drawn by scripts, a site behind a sign-in. Each site is a
// server of its own on an ephemeral port, so "another host" is another port. Links carries
// every address worth checking with what it really is.

#include "support/testserver.h"

#include <memory>
#include <string>
#include <vector>

namespace quorvel::test
{

enum class Truth {
    Alive,        // a real page
    Dead,         // a plain 404: not the deeper checks' business, and never a suspect
    SoftNotFound, // the site's "not found" page with status 200
    MovedHome,    // sent to the home page
    Parked        // a parking or domain-sale page
};

const char *truthName(Truth truth);

struct LabelledLink {
    std::string url;
    Truth truth = Truth::Alive;
    std::string site;
    bool templateHeavy = false; // a site whose pages share a large common template
};

class WebSites
{
public:
    WebSites();
    ~WebSites();
    WebSites(const WebSites &) = delete;
    WebSites &operator=(const WebSites &) = delete;

    const std::vector<LabelledLink> &links() const { return links_; }
    // The server of a site by its name ("news", "parked-en", ...).
    TestServer &site(const std::string &name);
    // Every request the sites received so far, as the full URL asked for.
    std::vector<std::string> requestedUrls() const;

private:
    struct Site {
        std::string name;
        std::unique_ptr<TestServer> server;
    };
    TestServer &add(const std::string &name);
    void label(const std::string &site, const std::string &path, Truth truth,
               bool templateHeavy = false);

    std::vector<Site> sites_;
    std::vector<LabelledLink> links_;
};

} // namespace quorvel::test
