// Whether the program's output goes to a terminal: the console front end redraws a progress bar
// in place on one, and writes plain lines now and then to a file or a pipe.
#pragma once

namespace host {

enum class StdStream { Output, Error };

// True when the stream is a terminal (on Windows, a console).
bool isTerminal(StdStream stream);
// The terminal's width in columns; 0 when the stream is not a terminal or the width is unknown.
int terminalColumns(StdStream stream);

}  // namespace host
