// Bodies as the adapter writes them, and the reading of replies as the adapter reads them.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "gateway.h"

namespace simtest {

// "SN=" serial TAB "id=" id TAB "data=" json.
std::string CommandBody(const std::string& serial, const std::string& id, const std::string& json);
// The seven-member user record, "pri" and "verify" as integers.
std::string UserJson(const std::string& pin, const std::string& name, int pri = 0, int verify = 0);
std::string PhotoJson(const std::string& pin, int type, const std::string& content,
                      const std::string& url = "");
std::string PinJson(const std::string& pin);
// "Data=" and the fourteen settings, TimeOut set to `timeOut`, the others "".
std::string InitBody(const std::string& timeOut);

struct Result {
    std::string serial;
    std::string id;
    std::string code;
    bool operator==(const Result& other) const
    {
        return serial == other.serial && id == other.id && code == other.code;
    }
    friend void PrintTo(const Result& r, std::ostream* out)
    {
        *out << "{" << r.serial << ", " << r.id << ", " << r.code << "}";
    }
};

// Reads a "facepad/getresult" reply the way the adapter does: the list starts one character after
// the first "result"; each element's "data" is the JSON text of the entry list. Fails the test
// when the reply does not have that shape.
std::vector<Result> ReadResultReply(const std::string& reply);

// Drains the gateway's results through its own endpoint.
std::vector<Result> DrainResults(facepad::sim::Gateway& gateway);

// A path of this test process in the test's temporary directory, removed before and after the
// test with SQLite's companion files and the simulator's lock file (a directory of that name too);
// `bytes`, when given, are written there first.
struct Scratch {
    explicit Scratch(const std::string& name, const std::string* bytes = nullptr);
    Scratch(const std::string& name, const std::string& bytes) : Scratch(name, &bytes) {}
    ~Scratch() { Remove(); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    void Remove() const;
    std::string Contents() const;
    const std::string path;
};

}  // namespace simtest
