#pragma once

// Makes descriptors 0, 1 and 2 valid before anything else opens a file:
// where one was closed it is opened on /dev/null, so that no file the
// program opens later takes its number and gets its input or output. Which
// were closed is remembered: reading from a closed input or writing to a
// closed output still fails, as "Bad file descriptor".
void secureStandardStreams();

// Whether a standard descriptor was closed when the program started.
bool wasClosedAtStart(int fd);
