// The call log: time-stamped lines appended to a text file that outlives
// MATLAB sessions. Safe on any thread; a log that cannot be opened costs
// the line, never the caller.
#ifndef CAMERA_MEX_SUBMITBUFFERS_CALLLOG_H
#define CAMERA_MEX_SUBMITBUFFERS_CALLLOG_H

#include <stddef.h>

// The local time of day as "hh:mm:ss" in buffer.
void timeOfDay(char *buffer, size_t size);

// Appends one line made from format, whose one %s takes the time of day,
// written into timeText (256 characters) first.
void appendCallLog(const char *format, char *timeText);

#endif
