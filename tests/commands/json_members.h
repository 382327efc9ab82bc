// The JSON documents the adapter sends, read back: members, order and types, not json-c's spacing.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ox_toolkit.h"

namespace vvtest {

inline std::string Rendered(const char* name, json_object* value)
{
    const std::string member = std::string(name) + "=";
    if (json_object_is_type(value, json_type_string)) {
        return member + "\"" + json_object_get_string(value) + "\"";
    }
    return member + (json_object_is_type(value, json_type_int)
                         ? std::to_string(json_object_get_int64(value))
                         : "<" + std::string(json_type_to_name(json_object_get_type(value))) + ">");
}

// The members of the one JSON object that `text` holds, in document order: strings as
// name="value", integers as name=value. Any other type shows as name=<type>. Fails the test when
// `text` is not exactly one JSON object with nothing after it.
inline std::vector<std::string> MembersOf(const std::string& text)
{
    std::vector<std::string> members;
    json_tokener* tokener = json_tokener_new();
    json_object* document =
        json_tokener_parse_ex(tokener, text.c_str(), static_cast<int>(text.size()));
    const bool whole = document != nullptr && json_tokener_get_parse_end(tokener) == text.size();
    json_tokener_free(tokener);
    EXPECT_TRUE(whole) << "not one whole JSON text: " << text.substr(0, 200);
    EXPECT_TRUE(json_object_is_type(document, json_type_object)) << text.substr(0, 200);
    if (json_object_is_type(document, json_type_object)) {
        json_object_iterator it = json_object_iter_begin(document);
        const json_object_iterator end = json_object_iter_end(document);
        for (; !json_object_iter_equal(&it, &end); json_object_iter_next(&it)) {
            members.push_back(
                Rendered(json_object_iter_peek_name(&it), json_object_iter_peek_value(&it)));
        }
    }
    json_object_put(document);
    return members;
}

// What follows `prefix` in `body`; fails the test when the body does not begin with it.
inline std::string AfterPrefix(const std::string& body, const std::string& prefix)
{
    EXPECT_EQ(body.substr(0, prefix.size()), prefix);
    return body.size() >= prefix.size() ? body.substr(prefix.size()) : std::string();
}

}  // namespace vvtest
