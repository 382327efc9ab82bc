// The toolkit's field readers never fail, whatever shape the document has.
#include <gtest/gtest.h>

#include <string>

#include "ox_toolkit.h"

namespace {

struct Doc {
    json_object* root;
    explicit Doc(const char* text) : root(json_tokener_parse(text)) {}
    ~Doc() { json_object_put(root); }
};

TEST(Toolkit, LoadLibReportsSuccess)
{
    EXPECT_NE(json_load_lib("json.dll"), 0);
}

TEST(Toolkit, FieldStringReadsOnlyStrings)
{
    Doc doc(R"({"s":"text","n":7,"a":[1],"o":{},"z":null,"e":""})");
    EXPECT_STREQ(json_object_get_field_string(doc.root, "s"), "text");
    for (const char* key : {"n", "a", "o", "z", "e", "missing"}) {
        const char* value = json_object_get_field_string(doc.root, key);
        ASSERT_NE(value, nullptr) << key;
        EXPECT_STREQ(value, "") << key;
    }
    EXPECT_STREQ(json_object_get_field_string(nullptr, "s"), "");
    Doc array("[1,2]");
    EXPECT_STREQ(json_object_get_field_string(array.root, "s"), "");
}

TEST(Toolkit, FieldIntFallsBackUnlessAnInteger)
{
    Doc doc(R"({"i":3,"neg":-3,"s":"1","d":1.5,"z":null})");
    EXPECT_EQ(json_object_get_field_int(doc.root, "i", -1), 3);
    EXPECT_EQ(json_object_get_field_int(doc.root, "neg", -1), -3);
    for (const char* key : {"s", "d", "z", "missing"}) {
        EXPECT_EQ(json_object_get_field_int(doc.root, key, -1), -1) << key;
    }
    EXPECT_EQ(json_object_get_field_int(nullptr, "i", 9), 9);
}

}  // namespace
