// Reads the list that json_tokener_parse would return for a text, one element at a time and without
// building the document: a reply of millions of elements costs time, not memory. Only the members
// a caller asks for are materialised, into a small json-c object per element, so that the
// toolkit's readers (json_object_get_field_string, json_object_get_field_int) give exactly what
// they give on the whole document.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

struct json_object;

namespace Osmer_Framework {
namespace Face {

enum class ListReading {
    NotJson,   // json_tokener_parse would give null (no value, or the value is null)
    NotArray,  // a value other than an array: it reads as an empty list
    Array,     // an array: its elements were visited in order, until the visitor said enough
    Stopped,   // the stop check asked to give up
};

// One element of the list: an object holding only its wanted members (the last of equal names,
// as json-c keeps it), or null when the element has none of them or is no object. Containers
// among the wanted members are held as null: the toolkit reads them as missing. Valid during the
// call; returning false ends the reading.
using ElementVisitor = std::function<bool(json_object* members)>;

// Asked every few thousand values: true gives the reading up. Null never stops.
using ReadStop = bool (*)();

// `text` is read up to its first NUL byte, as json-c reads a C string. The whole value is checked
// before the first element is visited, so a text that turns out not to be JSON visits nothing.
ListReading ReadJsonList(const char* text, std::initializer_list<const char*> wanted,
                         const ElementVisitor& visit, ReadStop stop = nullptr);

// One element of the list as the texts json_object_get_field_string reads from it, one per wanted
// name in order: a string member's text up to its first NUL, "" for a member that is missing or no
// string, or for an element that is no object. No json-c object is made; the visitor may move the
// texts out. Returning false ends the reading.
using TextVisitor = std::function<bool(std::string* texts)>;

// As ReadJsonList, each element's members handed over as texts: a many-megabyte string member is
// held once, in its text.
ListReading ReadJsonListTexts(const char* text, std::initializer_list<const char*> wanted,
                              const TextVisitor& visit, ReadStop stop = nullptr);

}  // namespace Face
}  // namespace Osmer_Framework
