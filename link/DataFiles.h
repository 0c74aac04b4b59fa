// Where the program finds the files it ships with: the print files it sends
// unchanged ("clip.prn", "gzksen2.tmp", "cutpos.prn") and the how-to artwork.
#pragma once

#include <string>
#include <string_view>

namespace svc {

// The folder of the program's shipped data: share/svcadjust beside the
// folder of the running program (bin/), which holds in the build tree and in
// an installed tree alike; failing that, the data folder of the configured
// install prefix.
std::string DataDirectory();

// A print file by name: the working directory first (a technician's own
// copy wins), then the data folder. Returns the path to open; when the file
// is in neither place, the bare name, so the open fails as before.
std::string FindPrintFile(std::string_view name);

}  // namespace svc
