#include "callLog.h"

#include <stdio.h>
#include <time.h>

namespace {
// A fixed text: where there is no drive C: it names a file in the working folder.
const char callLogPath[] = "C:\\QCamLog.txt";
const size_t timeTextSize = 256;
} // namespace

void timeOfDay(char *buffer, size_t size) {
  if (size == 0) return;
  buffer[0] = '\0';
#ifdef _WIN32
  _strtime_s(buffer, size);
#else
  time_t now = time(nullptr);
  struct tm local;
  if (localtime_r(&now, &local) != nullptr) strftime(buffer, size, "%H:%M:%S", &local);
#endif
}

void appendCallLog(const char *format, char *timeText) {
  FILE *log = fopen(callLogPath, "a+");
  if (log == nullptr) return;
  timeOfDay(timeText, timeTextSize);
  fprintf(log, format, timeText);
  fclose(log);
}
