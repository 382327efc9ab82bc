#include "ox_toolkit.h"

extern "C" {

void (*ox_libos_log_debug_ex)(int, const char*, int, const char*) = nullptr;

int json_load_lib(const char* path)
{
    return path != nullptr ? 1 : 0;
}

static json_object* member_of(json_object* obj, const char* key)
{
    json_object* value = nullptr;
    if (obj == nullptr || key == nullptr || !json_object_is_type(obj, json_type_object)) {
        return nullptr;
    }
    return json_object_object_get_ex(obj, key, &value) ? value : nullptr;
}

const char* json_object_get_field_string(json_object* obj, const char* key)
{
    json_object* value = member_of(obj, key);
    if (value == nullptr || !json_object_is_type(value, json_type_string)) {
        return "";
    }
    return json_object_get_string(value);
}

int json_object_get_field_int(json_object* obj, const char* key, int fallback)
{
    json_object* value = member_of(obj, key);
    if (value == nullptr || !json_object_is_type(value, json_type_int)) {
        return fallback;
    }
    return json_object_get_int(value);
}

}  // extern "C"
