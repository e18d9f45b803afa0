// Marks a function that the executable exports by name (the reporting SDK's
// factory): the export table on Windows, default visibility elsewhere.
#pragma once

#if defined(_WIN32)
#define SETUP_EXPORT __declspec(dllexport)
#else
#define SETUP_EXPORT __attribute__((visibility("default")))
#endif
