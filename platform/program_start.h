// What start-up does differently from one system to another: how the items to
// record arrive, which names the system cannot hold, and how a message reaches
// the user.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tallyrun::platform {

// The items named on the command line, in order; empty when none were given.
// Where the system hands over one raw text, it is split by the log's own rule.
std::vector<std::string> CommandLineItems(int argc, char** argv);

// Why the system cannot hold an item of this name; empty when it can.
std::string NameRefusal(std::string_view item);

// Whether a windowing session is there to show a window in.
bool DesktopSession();

// Lines for the user: on the error stream when there is one, otherwise
// together in one message box. Lines that only note something, when nothing
// failed, never interrupt with a box.
void TellUser(const std::vector<std::string>& lines, bool failed);

}  // namespace tallyrun::platform
