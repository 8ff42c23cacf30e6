// Sets an environment variable for this process, or removes it when the
// value is null, on every build.
#ifndef CAMERA_TESTS_SUPPORT_ENVIRONMENT_VARIABLE_H
#define CAMERA_TESTS_SUPPORT_ENVIRONMENT_VARIABLE_H

#include <cstdlib>

inline void setEnvironment(const char *name, const char *value) {
#ifdef _WIN32
  _putenv_s(name, value ? value : "");
#else
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
#endif
}

#endif
