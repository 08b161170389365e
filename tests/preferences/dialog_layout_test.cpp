// The resource script and the layout table describe the same dialog 106: the Windows dialog
// manager reads one, the headless dialog the other.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/preferences_layout.h"

namespace tessel::test {
namespace {

namespace v = corvina::win32_dialog_values;
namespace layout = preferences_layout;

// Splits at commas outside quotes and trims each field.
std::vector<std::string> fields(const std::string& text) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
        }
        if (c == ',' && !quoted) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    for (std::string& field : out) {
        const auto first = field.find_first_not_of(" \t");
        const auto last = field.find_last_not_of(" \t\r");
        field = first == std::string::npos ? "" : field.substr(first, last - first + 1);
    }
    return out;
}

std::string unquoted(const std::string& text) {
    EXPECT_GE(text.size(), 2u) << text;
    EXPECT_EQ(text.front(), '"') << text;
    EXPECT_EQ(text.back(), '"') << text;
    return text.size() >= 2 ? text.substr(1, text.size() - 2) : text;
}

std::uint32_t style_value(const std::string& names) {
    static const std::map<std::string, std::uint32_t> known{
        {"WS_CHILD", v::ws_child},
        {"WS_DISABLED", v::ws_disabled},
        {"WS_BORDER", v::ws_border},
        {"WS_VSCROLL", v::ws_vscroll},
        {"WS_GROUP", v::ws_group},
        {"WS_TABSTOP", v::ws_tabstop},
        {"DS_SETFONT", v::ds_setfont},
        {"DS_FIXEDSYS", v::ds_fixedsys},
        {"DS_CONTROL", v::ds_control},
        {"BS_PUSHBUTTON", v::bs_pushbutton},
        {"BS_AUTOCHECKBOX", v::bs_autocheckbox},
        {"BS_GROUPBOX", v::bs_groupbox},
        {"SS_LEFT", v::ss_left},
        {"ES_AUTOHSCROLL", v::es_autohscroll},
        {"CBS_DROPDOWN", v::cbs_dropdown},
        {"CBS_AUTOHSCROLL", v::cbs_autohscroll},
    };
    std::uint32_t value = 0;
    std::istringstream parts(names);
    std::string name;
    while (parts >> name) {
        if (name == "|") {
            continue;
        }
        const auto found = known.find(name);
        EXPECT_NE(found, known.end()) << "style " << name;
        if (found != known.end()) {
            value |= found->second;
        }
    }
    return value;
}

struct resource_script {
    std::vector<std::string> header;  // fields after the dialog id line's keyword
    std::uint32_t style = 0;
    std::vector<std::string> font;
    std::vector<std::vector<std::string>> controls;
};

resource_script read_script() {
    std::ifstream file(TESSEL_PREFERENCES_RC);
    EXPECT_TRUE(file.is_open()) << TESSEL_PREFERENCES_RC;
    resource_script script;
    std::string line;
    while (std::getline(file, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos) {
            continue;
        }
        line = line.substr(start);
        const std::string dialog_line = std::to_string(layout::dialog_id) + " DIALOGEX ";
        if (line.rfind(dialog_line, 0) == 0) {
            script.header = fields(line.substr(dialog_line.size()));
        } else if (line.rfind("STYLE ", 0) == 0) {
            script.style = style_value(line.substr(6));
        } else if (line.rfind("FONT ", 0) == 0) {
            script.font = fields(line.substr(5));
        } else if (line.rfind("CONTROL ", 0) == 0) {
            script.controls.push_back(fields(line.substr(8)));
        }
    }
    return script;
}

TEST(dialog_layout, ResourceScriptHoldsTheDialogOfTheLayoutTable) {
    const resource_script script = read_script();

    ASSERT_EQ(script.header.size(), 4u);
    EXPECT_EQ(script.header[2], std::to_string(layout::dialog.width));
    EXPECT_EQ(script.header[3], std::to_string(layout::dialog.height));
    EXPECT_EQ(script.style, layout::dialog.style);
    ASSERT_GE(script.font.size(), 2u);
    EXPECT_EQ(script.font[0], std::to_string(layout::dialog.font_points));
    EXPECT_EQ(unquoted(script.font[1]), layout::dialog.font_name);

    ASSERT_EQ(script.controls.size(), layout::controls.size());
    for (std::size_t i = 0; i < layout::controls.size(); ++i) {
        const auto& expected = layout::controls[i];
        const auto& actual = script.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + ": " + expected.text);
        ASSERT_EQ(actual.size(), 8u);
        EXPECT_EQ(unquoted(actual[0]), expected.text);
        EXPECT_EQ(actual[1], std::to_string(expected.id));
        EXPECT_EQ(unquoted(actual[2]), corvina::dialogs::control_class_name(expected.kind));
        EXPECT_EQ(style_value(actual[3]), expected.style);
        EXPECT_EQ(actual[4], std::to_string(expected.x));
        EXPECT_EQ(actual[5], std::to_string(expected.y));
        EXPECT_EQ(actual[6], std::to_string(expected.width));
        EXPECT_EQ(actual[7], std::to_string(expected.height));
    }
}

TEST(dialog_layout, PageStartsDisabledAndOnlyStaticTextsStartGroups) {
    EXPECT_NE(layout::dialog.style & v::ws_disabled, 0u);
    EXPECT_NE(layout::dialog.style & v::ws_child, 0u);
    for (const auto& control : layout::controls) {
        SCOPED_TRACE(control.text);
        const bool is_label = control.kind == corvina::dialogs::control_class::static_text;
        const bool is_group_box = control.kind == corvina::dialogs::control_class::button &&
                                  (control.style & v::bs_type_mask) == v::bs_groupbox;
        EXPECT_EQ((control.style & v::ws_group) != 0, is_label);
        EXPECT_EQ((control.style & v::ws_tabstop) != 0, !is_label && !is_group_box);
        EXPECT_EQ(control.id == -1, is_label || is_group_box);
    }
}

}  // namespace
}  // namespace tessel::test
