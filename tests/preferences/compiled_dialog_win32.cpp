// The compiled dialog 106, as the Windows dialog manager builds it, matches the layout table.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "host/preferences_layout.h"
#include "host/settings.h"
#include "tests/common/sample_ports.h"
#include "tests/preferences/page_fixture.h"

namespace tessel::test {
namespace {

namespace v = corvina::win32_dialog_values;
namespace layout = preferences_layout;

INT_PTR CALLBACK passive_procedure(HWND /*dialog*/, UINT /*message*/, WPARAM /*wparam*/,
                                   LPARAM /*lparam*/) {
    return FALSE;
}

std::wstring wide(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), length);
    out.resize(static_cast<std::size_t>(length - 1));
    return out;
}

// Reads the compiled extended dialog template: the header, then each item, DWORD-aligned.
class template_reader {
  public:
    explicit template_reader(const unsigned char* data) : data_(data) {}

    std::uint16_t word() {
        std::uint16_t value = 0;
        std::memcpy(&value, data_ + offset_, 2);
        offset_ += 2;
        return value;
    }
    std::uint32_t dword() {
        std::uint32_t value = 0;
        std::memcpy(&value, data_ + offset_, 4);
        offset_ += 4;
        return value;
    }
    // A text or a 0xFFFF-prefixed ordinal; ordinals come back as "#n".
    std::wstring text_or_ordinal() {
        if (peek() == 0xFFFF) {
            word();
            return L"#" + std::to_wstring(word());
        }
        std::wstring text;
        for (std::uint16_t c = word(); c != 0; c = word()) {
            text += static_cast<wchar_t>(c);
        }
        return text;
    }
    void skip(std::size_t bytes) { offset_ += bytes; }
    void align() { offset_ = (offset_ + 3) & ~std::size_t{3}; }

  private:
    std::uint16_t peek() const {
        std::uint16_t value = 0;
        std::memcpy(&value, data_ + offset_, 2);
        return value;
    }

    const unsigned char* data_;
    std::size_t offset_ = 0;
};

std::wstring class_ordinal(corvina::dialogs::control_class kind) {
    switch (kind) {
        case corvina::dialogs::control_class::button:
            return L"#128";
        case corvina::dialogs::control_class::edit:
            return L"#129";
        case corvina::dialogs::control_class::static_text:
            return L"#130";
        case corvina::dialogs::control_class::combo_box:
            return L"#133";
    }
    return L"";
}

TEST(compiled_dialog, ResourceHoldsTheLayoutTable) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(layout::dialog_id),
                                      MAKEINTRESOURCEW(5));  // RT_DIALOG
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(data, nullptr);
    template_reader in(data);

    EXPECT_EQ(in.word(), 1);       // version
    EXPECT_EQ(in.word(), 0xFFFF);  // extended template
    in.dword();                    // help id
    EXPECT_EQ(in.dword(), 0u);     // extended style
    EXPECT_EQ(in.dword(), layout::dialog.style);
    EXPECT_EQ(in.word(), layout::controls.size());
    in.skip(4);  // x, y
    EXPECT_EQ(in.word(), layout::dialog.width);
    EXPECT_EQ(in.word(), layout::dialog.height);
    EXPECT_EQ(in.text_or_ordinal(), L"");  // no menu
    EXPECT_EQ(in.text_or_ordinal(), L"");  // the standard dialog class
    EXPECT_EQ(in.text_or_ordinal(), L"");  // no caption
    EXPECT_EQ(in.word(), layout::dialog.font_points);
    in.skip(4);  // weight, italic, character set
    EXPECT_EQ(in.text_or_ordinal(), wide(layout::dialog.font_name));

    for (const auto& expected : layout::controls) {
        SCOPED_TRACE(expected.text);
        in.align();
        in.dword();  // help id
        EXPECT_EQ(in.dword(), 0u);
        EXPECT_EQ(in.dword(), expected.style | v::ws_child | v::ws_visible);
        EXPECT_EQ(in.word(), expected.x);
        EXPECT_EQ(in.word(), expected.y);
        EXPECT_EQ(in.word(), expected.width);
        EXPECT_EQ(in.word(), expected.height);
        EXPECT_EQ(static_cast<int>(in.dword()), expected.id);
        // By name or by the predefined class's ordinal.
        const std::wstring class_name = in.text_or_ordinal();
        EXPECT_TRUE(class_name == class_ordinal(expected.kind) ||
                    lstrcmpiW(class_name.c_str(),
                              wide(corvina::dialogs::control_class_name(expected.kind)).c_str()) ==
                        0)
            << std::string(class_name.begin(), class_name.end());
        EXPECT_EQ(in.text_or_ordinal(), wide(expected.text));
        in.skip(in.word());
    }
}

TEST(compiled_dialog, ControlsStandAsTheLayoutTableSays) {
    parent_window parent;
    const HWND dialog =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(layout::dialog_id),
                           static_cast<HWND>(parent.handle()), passive_procedure, 0);
    ASSERT_NE(dialog, nullptr);
    const auto dialog_style = static_cast<std::uint32_t>(GetWindowLongW(dialog, GWL_STYLE));
    EXPECT_NE(dialog_style & WS_CHILD, 0u);
    EXPECT_FALSE(IsWindowEnabled(dialog)) << "the page procedure enables it";
    EXPECT_EQ(dialog_style & WS_CAPTION, 0u);

    RECT size{0, 0, layout::dialog.width, layout::dialog.height};
    MapDialogRect(dialog, &size);
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    HWND control = GetWindow(dialog, GW_CHILD);
    for (const auto& expected : layout::controls) {
        SCOPED_TRACE(expected.text);
        ASSERT_NE(control, nullptr);
        wchar_t class_name[32] = {};
        GetClassNameW(control, class_name, 32);
        EXPECT_EQ(lstrcmpiW(class_name,
                            wide(corvina::dialogs::control_class_name(expected.kind)).c_str()),
                  0);
        EXPECT_EQ(GetDlgCtrlID(control), expected.id);
        // Styles as the window has them: the dialog manager turns an edit's border into an
        // extended edge and a drop-down's scroll bar goes to its list, so those two are
        // checked in the resource itself.
        const auto style = static_cast<std::uint32_t>(GetWindowLongW(control, GWL_STYLE));
        const std::uint32_t moved = v::ws_border | v::ws_vscroll;
        EXPECT_EQ(style & expected.style & ~moved, expected.style & ~moved);
        EXPECT_EQ(style & (v::ws_group | v::ws_tabstop),
                  expected.style & (v::ws_group | v::ws_tabstop));
        if (expected.kind == corvina::dialogs::control_class::button) {
            EXPECT_EQ(style & v::bs_type_mask, expected.style & v::bs_type_mask);
        }
        wchar_t text[64] = {};
        GetWindowTextW(control, text, 64);
        if (expected.kind != corvina::dialogs::control_class::combo_box) {
            EXPECT_EQ(std::wstring(text), wide(expected.text));
        }

        // Position and size are each converted from dialog units on their own.
        RECT place{expected.x, expected.y, expected.width, expected.height};
        MapDialogRect(dialog, &place);
        RECT actual{};
        GetWindowRect(control, &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, place.left);
        EXPECT_EQ(actual.top, place.top);
        EXPECT_EQ(actual.right - actual.left, place.right);
        if (expected.kind != corvina::dialogs::control_class::combo_box) {
            // A drop-down's window is as tall as its edit field, whatever the template says.
            EXPECT_EQ(actual.bottom - actual.top, place.bottom);
        }
        control = GetWindow(control, GW_HWNDNEXT);
    }
    EXPECT_EQ(control, nullptr) << "no control beyond the table";
    DestroyWindow(dialog);
}

// A dialog with one push button, standing in for the player's preferences around the page.
struct parent_dialog_template {
    DLGTEMPLATE dialog;
    WORD menu, window_class, title;
    DLGITEMTEMPLATE button;
    WORD button_class[2], button_text, button_data;
};
static_assert(offsetof(parent_dialog_template, button) % sizeof(DWORD) == 0,
              "a dialog item starts on a DWORD");

TEST(compiled_dialog, TabFromTheParentDialogReachesThePage) {
    parent_dialog_template in_memory{};
    in_memory.dialog.style = WS_POPUP | DS_MODALFRAME;
    in_memory.dialog.cdit = 1;
    in_memory.dialog.cx = 400;
    in_memory.dialog.cy = 300;
    in_memory.button.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    in_memory.button.cx = 40;
    in_memory.button.cy = 14;
    in_memory.button.id = IDOK;
    in_memory.button_class[0] = 0xFFFF;
    in_memory.button_class[1] = 0x0080;
    const HWND parent = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &in_memory.dialog,
                                                   nullptr, passive_procedure, 0);
    ASSERT_NE(parent, nullptr);
    const HWND page =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(layout::dialog_id), parent,
                           passive_procedure, 0);
    ASSERT_NE(page, nullptr);
    EnableWindow(page, TRUE);  // as the page procedure does once it is filled in
    ShowWindow(page, SW_SHOW);

    EXPECT_NE(GetWindowLongW(page, GWL_EXSTYLE) & WS_EX_CONTROLPARENT, 0);
    // The dialog manager's Tab: from the parent's last control into the page's first.
    const HWND next = GetNextDlgTabItem(parent, GetDlgItem(parent, IDOK), FALSE);
    EXPECT_EQ(next, GetDlgItem(page, layout::com_port_combo));
    DestroyWindow(parent);
}

// Opening the list fills the field with the item that matches its text; closing it leaves the
// port alone in the field again, so that typing on from there does not store the description.
TEST_F(preferences_page_test, OpeningAndClosingThePortListLeavesThePortAlone) {
    test::sample_ports pc;
    cfg_com_port.set("COM5");
    ASSERT_NE(open_page(), nullptr);
    const HWND combo = GetDlgItem(static_cast<HWND>(page), layout::com_port_combo);

    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }

    EXPECT_EQ(text(layout::com_port_combo), "COM5");
    EXPECT_EQ(cfg_com_port.view(), "COM5");
}

}  // namespace
}  // namespace tessel::test
