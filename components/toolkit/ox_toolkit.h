// The framework toolkit as the adapter uses it: json-c under its own names, three helpers of the
// toolkit's own and the debug-log hook.
#pragma once

#include <json-c/json.h>

#include "VurodoroViri_Export.h"

#ifdef __cplusplus
extern "C" {
#endif

// Makes the JSON functions ready. json-c is linked directly, so this only reports success
// (nonzero); 0 would mean the library at `path` could not be loaded.
OX_TOOLKIT_API int json_load_lib(const char* path);

// Text of a string member, or "" when `obj` is not an object, the member is missing or it is not a
// string. Never null; valid while `obj` lives.
OX_TOOLKIT_API const char* json_object_get_field_string(json_object* obj, const char* key);

// Value of an integer member, or `fallback` when `obj` is not an object, the member is missing or
// it is not an integer.
OX_TOOLKIT_API int json_object_get_field_int(json_object* obj, const char* key, int fallback);

// Debug-log hook: level, source-file name, source line, message. Null means no logging. Set it
// before constructing an adapter; it is read, not locked, by every thread that logs.
OX_TOOLKIT_API extern void (*ox_libos_log_debug_ex)(int level, const char* file, int line,
                                                    const char* message);

#ifdef __cplusplus
}
#endif
