// The standard streams of a tool whose output is compared byte for byte across systems.
#pragma once

namespace host {

// Puts stdin, stdout and stderr in binary mode: "\n" is written as one LF, as on POSIX, instead
// of the CR LF of the Windows C runtime's text mode. Nothing to do on POSIX.
void useBinaryStandardStreams();

}  // namespace host
