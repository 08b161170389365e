// The title-format language: fields, sections, functions and malformed scripts.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "standin/player/title_format.h"

namespace {

using standin::compiled_title_format;

std::string format(std::string_view script, const std::map<std::string, std::string>& fields) {
    const compiled_title_format compiled = compiled_title_format::compile(script);
    return compiled.format([&](std::string_view name) -> std::optional<std::string> {
        const auto it = fields.find(std::string(name));
        if (it == fields.end()) {
            return std::nullopt;
        }
        return it->second;
    });
}

const std::map<std::string, std::string> tagged{
    {"artist", "Artist"},          {"title", "Title"},   {"album", "Album"}, {"date", "1999"},
    {"_filename_ext", "name.ext"}, {"_filename", "name"}};
const std::map<std::string, std::string> untagged{{"_filename_ext", "name.ext"},
                                                  {"_filename", "name"}};

constexpr const char* default_script = "$if2(%artist% - %title%, %_filename_ext%)";

}  // namespace

TEST(TitleFormat, DefaultScriptUsesTagsOrTheFileName) {
    EXPECT_EQ(format(default_script, tagged), "Artist - Title");
    EXPECT_EQ(format(default_script, untagged), "name.ext");
}

TEST(TitleFormat, FieldsAndLiterals) {
    EXPECT_EQ(format("%album% (%date%)", tagged), "Album (1999)");
    EXPECT_EQ(format("%ARTIST%", tagged), "Artist");              // names are case-insensitive
    EXPECT_EQ(format("%genre% | %title%", tagged), "? | Title");  // missing field shows "?"
    EXPECT_EQ(format("'%artist%' is", tagged), "%artist% is");
    EXPECT_EQ(format("a''b", tagged), "a'b");
    EXPECT_EQ(format("", tagged), "");
}

TEST(TitleFormat, SectionsVanishWhenAFieldInsideIsMissing) {
    EXPECT_EQ(format("[%artist% - ]%title%", tagged), "Artist - Title");
    EXPECT_EQ(format("[%genre% - ]%title%", tagged), "Title");
    EXPECT_EQ(format("[%album% / %genre%]", tagged), "");
    EXPECT_EQ(format("[no fields]x", tagged), "x");
    EXPECT_EQ(format("[%album% [%genre%]]", tagged), "Album ");  // nested: only the inner goes
}

TEST(TitleFormat, Functions) {
    EXPECT_EQ(format("$if(%artist%,yes,no)", tagged), "yes");
    EXPECT_EQ(format("$if(%genre%,yes,no)", tagged), "no");
    EXPECT_EQ(format("$if(%genre%,yes)", tagged), "");
    EXPECT_EQ(format("$if3(%genre%, %album%, fallback)", tagged), "Album");
    EXPECT_EQ(format("$if3(%genre%, %composer%, fallback)", tagged), "fallback");
    EXPECT_EQ(format("$left(%title%,3)", tagged), "Tit");
    EXPECT_EQ(format("$left(%title%,99)", tagged), "Title");
    EXPECT_EQ(format("$upper(%artist%) $lower(%title%)", tagged), "ARTIST title");
    EXPECT_EQ(format("$if2(%genre% (x), %title% (y))", tagged), "Title (y)");
    EXPECT_EQ(format("$upper($left(%album%,2))", tagged), "AL");
    EXPECT_EQ(format("$if2(%genre%,' quoted ')", tagged), " quoted ");
}

TEST(TitleFormat, NonAsciiTextStaysUtf8) {
    const std::map<std::string, std::string> fields{
        {"artist", "Sigur Rós"}, {"title", "Ágætis byrjun"}, {"album", "Кино"}};
    EXPECT_EQ(format(default_script, fields), "Sigur Rós - Ágætis byrjun");
    EXPECT_EQ(format("$upper(%artist%)", fields), "SIGUR RÓS");
    EXPECT_EQ(format("$lower(%album%)", fields), "кино");
    EXPECT_EQ(format("$left(%title%,2)", fields), "Ág");  // characters, not bytes
}

TEST(TitleFormat, MalformedScriptsGiveAClearResult) {
    const char* broken[] = {"%artist", "$if2(%artist%, x", "$nosuch(x)", "[%artist%", "%title%]",
                            "$if(a)",  "$left(a,b,c)",     "$upper",     "it's",      "%%",
                            "$(x)",    "$if2(a,$if2(b,c)"};
    for (const char* script : broken) {
        const compiled_title_format compiled = compiled_title_format::compile(script);
        EXPECT_FALSE(compiled.ok()) << script;
        const std::string text = format(script, tagged);
        EXPECT_NE(text.find("title format error"), std::string::npos) << script << ": " << text;
    }
    EXPECT_EQ(compiled_title_format::compile("$nosuch(x)").error(),
              "unknown function $nosuch at column 1");
    EXPECT_EQ(compiled_title_format::compile("ab[%artist%").error(),
              "'[' is never closed at column 3");
}

TEST(TitleFormat, DeepNestingIsRefusedNotACrash) {
    std::string script;
    for (int i = 0; i < 10'000; ++i) {
        script += "[";
    }
    EXPECT_FALSE(compiled_title_format::compile(script).ok());
    std::string calls;
    for (int i = 0; i < 10'000; ++i) {
        calls += "$upper(";
    }
    EXPECT_FALSE(compiled_title_format::compile(calls).ok());
}
