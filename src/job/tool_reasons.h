#pragma once

#include <map>
#include <string>
#include <vector>

namespace pxw::job {

/// What the image tool said about each of `names` on its standard error, where it reports a
/// file as "lumabatch: NAME: reason" (the name possibly escaped for printing). Several lines
/// for one name are joined with "; ". Names it said nothing about are absent.
std::map<std::string, std::string> toolReasons(
    const std::string& errorOutput, const std::vector<std::string>& names);

/// The tool's own words for a run it refused (its "lumabatch: error: ..." lines, without the
/// hint to its --help), or its whole report when it has no such line; printable.
std::string toolRefusal(const std::string& errorOutput);

/// The tool's report, printable, for a message's details.
std::string printableReport(const std::string& errorOutput);

} // namespace pxw::job
