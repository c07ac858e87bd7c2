#pragma once

namespace lintaro {

// Start-up: the application titled "Lintaro", the windows created in their
// order, the event loop; an error that escapes start-up is shown, then the
// program ends.
int runApplication(int argc, char *argv[]);

} // namespace lintaro
