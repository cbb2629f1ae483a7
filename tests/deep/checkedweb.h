#pragma once
// The loopback web checked by quorvel-check itself: a folder of shortcuts to every labelled
// link, read and checked with --deep as the program does it, and the results counted against
// the labels. The sites count the requests, so the cost of the probes is measured where it
// falls.

#include "cli/linkchecker.h"
#include "deep/parking.h"
#include "deep/quality.h"
#include "deep/websites.h"

#include <filesystem>
#include <string>

namespace quorvel::test
{

// One shortcut per labelled link in folder, in a sub-folder per site.
void writeShortcuts(const WebSites &web, const std::filesystem::path &folder);

// Checks the folder of the web's shortcuts twice, without and with --deep, and counts the
// suspects against the labels. linkRequests are the requests of the run without --deep,
// probeRequests what the run with it asked for on top, probes the probes it sent. A link that
// comes out dead or unchecked against its label is noted in its error.
QualityFigures measureWithChecker(const WebSites &web, const deep::ParkingPhrases &phrases,
                                  const cli::CheckSettings &settings = {});

// The made-up addresses among urls (a last segment of 24 lower-case letters), by host and
// directory: how many were asked in the directory asked most often.
int mostProbesInOneDirectory(const std::vector<std::string> &urls);

} // namespace quorvel::test
