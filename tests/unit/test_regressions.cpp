// Faults the fuzz targets found, each kept as the input that showed it.
#include <gtest/gtest.h>

#include <string>

#include "host/document/document.h"

namespace {

// A score document with a number no type can hold made the reader throw
// past its error handling and end the host; it must be refused with a
// message like any other bad document.
TEST(Regressions, DocumentWithAnOverflowingNumberIsRefused) {
    struct Case {
        const char* json;
        const char* what;
    };
    const Case kCases[] = {
        // The fuzzer's input: a bare number with a huge exponent.
        {"3333.300000000191930754104E4173789", "top-level number"},
        // The same inside a section the reader knows.
        {R"({"measures": 1e999})", "measure count"},
        {R"({"screen": [1e400, 768]})", "screen width"},
        {R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [{"position": -1e999}]}]})",
         "entry position"},
    };
    for (const Case& c : kCases) {
        host::Document doc;
        std::string error;
        bool accepted = true;
        EXPECT_NO_THROW(accepted = host::Document::FromJson(c.json, &doc, &error)) << c.what;
        EXPECT_FALSE(accepted) << c.what;
        EXPECT_NE(error.find("number"), std::string::npos) << c.what << ": got \"" << error << "\"";
    }
}

}  // namespace
