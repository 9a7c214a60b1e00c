// The main window's command table: names and keys unique, every menu a row names exists,
// the buttons follow their items, and every command name the window and its tests use
// is in the table.
#include "viewer/logic/Command_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

namespace {

std::string ReadSource(const std::string& relative)
{
    std::ifstream in(std::string(RAVELSCOPE_SOURCE_DIR) + "/" + relative);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace

TEST(CommandTable, NamesAndShortcutsAreUniqueAndMenusExistBeforeUse)
{
    std::set<std::string> names, keys, menus;
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        const COMMAND_ROW& row = CommandRow(static_cast<CommandId>(i));
        SCOPED_TRACE(row.name);
        if (NamesCommand(row)) {
            EXPECT_TRUE(names.insert(row.name).second) << "name used twice";
            EXPECT_EQ(FindCommand(row.name), static_cast<CommandId>(i));
        }
        if (row.shortcut[0] != '\0') {
            EXPECT_TRUE(keys.insert(row.shortcut).second) << "shortcut used twice: " << row.shortcut;
        }
        const std::string parent = row.parent;
        if (row.kind == CommandKind::kButton) {
            EXPECT_EQ(parent, "");
        } else if (row.kind != CommandKind::kMenu || !parent.empty()) {
            EXPECT_TRUE(menus.count(parent)) << "parent menu missing or later: " << parent;
        }
        if (row.kind == CommandKind::kMenu)
            menus.insert(row.name);
        if (row.kind == CommandKind::kAlso) {
            const auto shown = FindCommand(row.name);
            ASSERT_TRUE(shown.has_value());
            const CommandKind kind = CommandRow(*shown).kind;
            const bool submenu = kind == CommandKind::kMenu && CommandRow(*shown).parent[0] != '\0';
            EXPECT_TRUE(kind == CommandKind::kItem || submenu) << "an item or a submenu";
        }
    }
    // A second key of a command collides with no row's key and no other second key, and
    // binds an item of a menu.
    for (const EXTRA_KEY& k : kExtraKeys) {
        SCOPED_TRACE(k.shortcut);
        EXPECT_TRUE(keys.insert(k.shortcut).second) << "shortcut used twice";
        EXPECT_EQ(CommandRow(k.command).kind, CommandKind::kItem);
        EXPECT_STRNE(CommandRow(k.command).shortcut, "") << "the first key is the row's";
    }
    EXPECT_FALSE(FindCommand("mn_File_Opem").has_value());
    EXPECT_FALSE(FindCommand("").has_value()) << "separators are not commands";
}

TEST(CommandTable, CaptionsKeysAndStatesOfTheLayout)
{
    const struct {
        const char* name;
        const char* caption;
        const char* shortcut;
        bool COMMAND_STATES::*enabled;
    } cases[] = {
        {"mn_File_Print", "Print...", "Ctrl+P", &COMMAND_STATES::print},
        {"mn_Edit_Redo", "Redo", "Ctrl+Alt+Z", &COMMAND_STATES::redo},
        {"mn_Edit_Delete", "Delete", "Del", &COMMAND_STATES::del},
        {"mn_Colors_Gamma", "Gamma Correction...", "", &COMMAND_STATES::gamma},
        {"mn_View_PreviousFile", "Previous File", "P", &COMMAND_STATES::previous_file},
        {"mn_View_FullScreen", "Full Screen...", "F", &COMMAND_STATES::full_screen},
        {"mn_Tests_ZoomIn", "Zoom In (10%)", "+", nullptr},
        {"mn_Tests_WallPaper", "Wall Paper", "", &COMMAND_STATES::wallpaper},
        {"tb_Open", "Open|", "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto id = FindCommand(c.name);
        ASSERT_TRUE(id.has_value());
        EXPECT_STREQ(CommandRow(*id).caption, c.caption);
        EXPECT_STREQ(CommandRow(*id).shortcut, c.shortcut);
        EXPECT_EQ(CommandRow(*id).enabled, c.enabled);
    }
    // The buttons copy their menu items' states.
    const std::pair<const char*, const char*> pairs[] = {
        {"tb_Next", "mn_View_NextFile"}, {"tb_Previous", "mn_View_PreviousFile"}, {"tb_Undo", "mn_Edit_Undo"},
        {"tb_Redo", "mn_Edit_Redo"},     {"tb_Print", "mn_File_Print"},           {"tb_Info", "mn_Image_Info"},
        {"tb_SaveAs", "mn_File_Save"},
    };
    for (const auto& [button, item] : pairs) {
        SCOPED_TRACE(button);
        EXPECT_EQ(CommandRow(*FindCommand(button)).enabled, CommandRow(*FindCommand(item)).enabled);
    }
    static_assert(Cmd("mn_File_Open") == 1, "rows are looked up at compile time");
}

TEST(CommandTable, EveryNameTheWindowAndItsTestsUseIsInTheTable)
{
    // Every string literal that starts with "mn_" or "tb_" names a command.
    auto name_char = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
    std::size_t seen = 0;
    for (const char* file : {"viewer/Unit1.cpp", "viewer/Unit1.h", "viewer/tests/Unit1_test.cpp"}) {
        const std::string text = ReadSource(file);
        ASSERT_FALSE(text.empty()) << file;
        for (std::size_t at = text.find('"'); at != std::string::npos; at = text.find('"', at + 1)) {
            const std::string_view rest = std::string_view(text).substr(at + 1);
            if (!rest.starts_with("mn_") && !rest.starts_with("tb_"))
                continue;
            std::size_t n = 0;
            while (n < rest.size() && name_char(rest[n]))
                ++n;
            const std::string name(rest.substr(0, n));
            ++seen;
            EXPECT_TRUE(FindCommand(name).has_value()) << file << ": " << name;
        }
    }
    EXPECT_GT(seen, 20u);
}
