#pragma once
// Qt's own messages (warnings of its plugins, say) on stderr as the suite's
// lines: after the program's name, so that cron's mail says who is speaking.

namespace parlux {

// Installs the message handler. A message that only says the offscreen
// platform cannot raise a window (a second copy woke this one) is dropped:
// there is no window anybody could see come to the front.
void RouteQtMessages();

}  // namespace parlux
