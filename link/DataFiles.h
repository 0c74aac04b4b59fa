// Where the program finds the files it ships with: the print files it sends
// unchanged ("clip.prn", "gzksen2.tmp", "cutpos.prn").
#pragma once

#include <string>
#include <string_view>

namespace svc {

// The folder of the program's shipped data: share/svcadjust beside the
// folder of the running program (bin/), found from the program's own path
// with symbolic links resolved. This holds in the build tree, in the
// installed package (/usr/bin -> /usr/share/svcadjust) and in a tree
// installed or unpacked under any other prefix alike, so nothing depends on
// a folder fixed at build time. Empty when the program's path cannot be read.
std::string DataDirectory();

// A print file by name: the working directory first (a technician's own
// copy wins), then the data folder. Returns the path to open; when the file
// is in neither place, the bare name, so the open fails as before.
std::string FindPrintFile(std::string_view name);

}  // namespace svc
