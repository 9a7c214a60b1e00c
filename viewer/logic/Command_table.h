// The main window's commands: one row per menu, menu item, separator and toolbar button,
// in the order the window lays them out. The window builds its menus, toolbar and
// enabled states from this table and binds a handler to a row by its name; adding a
// command is one row here and one handler in the window.
//
// A row names the state of COMMAND_STATES (Window_rules.h) it follows; a row without one
// stays as laid out. Items whose handler does not exist yet are rows like any other:
// they follow their state and do nothing when chosen.
#pragma once

#include "viewer/logic/Window_rules.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

enum class CommandKind : std::uint8_t {
    kMenu,      // a menu: on the menu bar when parent is "", else a submenu of parent
    kItem,      // a menu item of parent
    kSeparator, // a separator line in parent
    kButton,    // a toolbar button (parent ""), caption "tool tip|status line"
    kAlso,      // the item (or submenu) name shown once more in parent
};

enum CommandFlag : std::uint8_t {
    kCmdCheckable = 1, // a check mark item
    kCmdChecked = 2,   // checked when laid out
    kCmdHidden = 4,    // laid out hidden
    kCmdDisabled = 8,  // laid out disabled
};

struct COMMAND_ROW {
    CommandKind kind;
    const char* name;     // the object name ("mn_File_Open", "tb_Next"); "" for a separator
    const char* parent;   // the name of the menu the row sits in
    const char* caption;  // the text the user sees
    const char* shortcut; // portable key text ("Ctrl+O", "Del", "F"); "" for none
    const char* icon;     // a button's icon name
    bool COMMAND_STATES::*enabled = nullptr;
    bool COMMAND_STATES::*checked = nullptr;
    std::uint8_t flags = 0;
};

namespace command_rows {

using S = COMMAND_STATES;
constexpr CommandKind M = CommandKind::kMenu, I = CommandKind::kItem, SEP = CommandKind::kSeparator,
                      B = CommandKind::kButton, ALSO = CommandKind::kAlso;

inline constexpr COMMAND_ROW kRows[] = {
    {M, "mn_File", "", "&File", "", ""},
    {I, "mn_File_Open", "mn_File", "Open...", "Ctrl+O", ""},
    {I, "mn_File_Save", "mn_File", "Save", "Ctrl+S", "", &S::save},
    {I, "mn_File_SaveAs", "mn_File", "Save As...", "Ctrl+A", "", &S::save_as},
    {I, "mn_File_Print", "mn_File", "Print...", "Ctrl+P", "", &S::print},
    {M, "mn_File_MRU", "mn_File", "&MRU", "", ""},
    {I, "mn_File_MRU0", "mn_File_MRU", "", "", ""},
    {I, "mn_File_MRU1", "mn_File_MRU", "", "", ""},
    {I, "mn_File_MRU2", "mn_File_MRU", "", "", ""},
    {I, "mn_File_MRU3", "mn_File_MRU", "", "", ""},
    {I, "mn_File_MRU4", "mn_File_MRU", "", "", ""},
    {SEP, "", "mn_File", "", "", ""},
    {I, "mn_File_Exit", "mn_File", "Exit", "Ctrl+Q", ""},

    {M, "mn_Edit", "", "&Edit", "", ""},
    {I, "mn_Edit_Redo", "mn_Edit", "Redo", "Ctrl+Alt+Z", "", &S::redo},
    {I, "mn_Edit_Undo", "mn_Edit", "Undo", "Ctrl+Z", "", &S::undo},
    {SEP, "", "mn_Edit", "", "", ""},
    {I, "mn_Edit_Copy", "mn_Edit", "Copy", "Ctrl+C", "", &S::copy},
    {I, "mn_Edit_Cut", "mn_Edit", "Cut", "Ctrl+X", "", &S::cut},
    {I, "mn_Edit_Paste", "mn_Edit", "Paste", "Ctrl+V", "", &S::paste},
    {I, "mn_Edit_Delete", "mn_Edit", "Delete", "Del", "", &S::del},
    {I, "mn_Edit_Crop", "mn_Edit", "Crop", "Ctrl+Y", "", &S::crop},
    {SEP, "", "mn_Edit", "", "", ""},
    {I, "mn_Edit_ClearClipboard", "mn_Edit", "Clear Clipboard", "", "", &S::clear_clipboard},

    {M, "mn_Image", "", "&Image", "", ""},
    {I, "mn_Image_Info", "mn_Image", "Info", "Shift+I", "", &S::info},
    {SEP, "", "mn_Image", "", "", ""},
    {I, "mn_Image_VerticalFlip", "mn_Image", "Vertical &Flip", "Ctrl+I", "", &S::vflip},
    {I, "mn_Image_Mirror", "mn_Image", "Mirror", "Ctrl+M", "", &S::mirror},
    {I, "mn_Image_RotateLeft", "mn_Image", "Rotate Left", "Ctrl+L", "", &S::rotate_left},
    {I, "mn_Image_RotateRight", "mn_Image", "Rotate Right", "Ctrl+R", "", &S::rotate_right},
    {I, "mn_Image_Rotate", "mn_Image", "Rotate...", "", "", &S::rotate},
    {M, "mn_Image_Effects", "mn_Image", "Effects", "", ""},
    {I, "mn_Image_Explosion", "mn_Image_Effects", "Explosion...", "", "", &S::explosion},
    {I, "mn_Image_Pixelate", "mn_Image_Effects", "Pixelate...", "", "", &S::pixelate},
    {I, "mn_Image_Solarize", "mn_Image_Effects", "Solarize...", "", "", &S::solarize},

    {M, "mn_Colors", "", "&Colors", "", ""},
    {I, "mn_Colors_Negative", "mn_Colors", "Negative", "", "", &S::negative},
    {I, "mn_Colors_GrayScale", "mn_Colors", "Gray Scale", "", "", &S::gray_scale},
    {I, "mn_Colors_Gamma", "mn_Colors", "Gamma Correction...", "", "", &S::gamma},
    {I, "mn_Colors_ReduceColors", "mn_Colors", "Reduce Colors (To 256 colors)", "", "", &S::reduce_colors},
    {M, "mn_Colors_HistogramMenu", "mn_Colors", "Histogram", "", ""},
    {I, "mn_Colors_Histogram", "mn_Colors_HistogramMenu", "Histogram...", "", "", &S::histogram},
    {I, "mn_Colors_HistogramEqualization", "mn_Colors_HistogramMenu", "Histogram Equalization", "", "",
     &S::hist_equal},

    {M, "mn_View", "", "&View", "", ""},
    {I, "mn_View_FullScreen", "mn_View", "Full Screen...", "F", "", &S::full_screen},
    {SEP, "", "mn_View", "", "", ""},
    {I, "mn_View_NextFile", "mn_View", "Next File", "N", "", &S::next_file},
    {I, "mn_View_PreviousFile", "mn_View", "Previous File", "P", "", &S::previous_file},
    {SEP, "", "mn_View", "", "", ""},
    {I, "mn_View_ToolBar", "mn_View", "ToolBar", "", "", nullptr, &S::toolbar_checked,
     kCmdCheckable | kCmdChecked},

    // The tools: screen capture and the text viewer (their items sit in the Tests menu too),
    // scanner, wallpaper and file association.
    {M, "mn_Tools", "", "&Tools", "", ""},
    {M, "mn_Tools_ScreenCapture", "mn_Tools", "Screen Capture", "", ""},
    {I, "mn_Tools_OpenText", "mn_Tools", "Open Text...", "", ""},
    {I, "mn_Tools_Acquire", "mn_Tools", "Acquire...", "", ""},
    {I, "mn_Tools_SelectSource", "mn_Tools", "Select Source...", "", ""},
    {M, "mn_Tools_SetWallpaper", "mn_Tools", "Set as Wallpaper", "", "", &S::wallpaper},
    {I, "mn_Tools_FileAssociations", "mn_Tools", "File Associations...", "", ""},

    {M, "mn_Help", "", "&Help", "", ""},
    {I, "mn_Help_About", "mn_Help", "&About...", "", ""},
    {I, "mn_Help_Content", "mn_Help", "&Content", "", ""},

    // The developer menu, laid out hidden.
    {M, "mn_Tests", "", "Tests", "", "", nullptr, nullptr, kCmdHidden},
    {M, "mn_Tests_Developing1", "mn_Tests", "Developing1", "", ""},
    {I, "mn_Tests_FilesAssociation", "mn_Tests_Developing1", "Files Association...", "", ""},
    {I, "mn_Tests_Help", "mn_Tests_Developing1", "Help", "", ""},
    {M, "mn_Tests_SwapColorRGB", "mn_Tests_Developing1", "Swap Color RGB", "", "", &S::swap_colors},
    {I, "mn_Tests_SwapRBG", "mn_Tests_SwapColorRGB", "RGB --> RBG", "", ""},
    {I, "mn_Tests_SwapBGR", "mn_Tests_SwapColorRGB", "RGB --> BGR", "", ""},
    {I, "mn_Tests_SwapBRG", "mn_Tests_SwapColorRGB", "RGB --> BRG", "", ""},
    {I, "mn_Tests_SwapGRB", "mn_Tests_SwapColorRGB", "RGB --> GRB", "", ""},
    {I, "mn_Tests_SwapGBR", "mn_Tests_SwapColorRGB", "RGB --> GBR", "", ""},
    {I, "mn_Tests_BatchConversion", "mn_Tests_Developing1", "Batch Conversion...", "", ""},
    {I, "mn_Tests_Password", "mn_Tests_Developing1", "password...", "", ""},
    {I, "mn_Tests_KeepListening", "mn_Tests_Developing1", "Keep Listenning to Music While Viewing", "", "",
     nullptr, nullptr, kCmdCheckable | kCmdChecked},
    {I, "mn_Tests_ScreenCapture", "mn_Tests_Developing1", "Screen Capture...", "F5", ""},
    {I, "mn_Tests_CountColorUsed", "mn_Tests_Developing1", "Count Color Used", "", "", &S::count_colors},
    {I, "mn_Tests_EdgeDetection", "mn_Tests_Developing1", "Edge Detection", "", "", &S::edge_detection},
    {M, "mn_Tests_Developing2", "mn_Tests", "Developing2", "", ""},
    {I, "mn_Tests_ScrollDown", "mn_Tests_Developing2", "Scroll Down", "", ""},
    {I, "mn_Tests_RecordImage1", "mn_Tests_Developing2", "Record Image1", "", ""},
    {I, "mn_Tests_TestDrag", "mn_Tests_Developing2", "Test Drag", "", ""},
    {I, "mn_Tests_TestDrag1", "mn_Tests_Developing2", "Test Drag 1", "", ""},
    {I, "mn_Tests_testgif", "mn_Tests_Developing2", "test gif", "", ""},
    {I, "mn_Tests_ViewNextSHortCut", "mn_Tests_Developing2", "View Next SHort Cut", "", ""},
    {I, "mn_Tests_searchpath", "mn_Tests_Developing2", "search path", "", ""},
    {I, "mn_Tests_testquantization", "mn_Tests_Developing2", "test quantization", "", ""},
    {I, "mn_Tests_testdecompress", "mn_Tests_Developing2", "test decompress", "", ""},
    {M, "mn_Tests_ScreenCaptureMenu", "mn_Tests_Developing2", "ScreenCapture", "", ""},
    {I, "mn_Tests_CaptureScreen", "mn_Tests_ScreenCaptureMenu", "Screen", "", ""},
    {I, "mn_Tests_CaptureClient", "mn_Tests_ScreenCaptureMenu", "Client", "", ""},
    {I, "mn_Tests_CaptureDeskTop", "mn_Tests_ScreenCaptureMenu", "DeskTop", "", ""},
    {M, "mn_Tests_Developing3", "mn_Tests", "Developing3", "", ""},
    {I, "mn_Tests_RectStyle", "mn_Tests_Developing3", "rect style = flickle", "", ""},
    {I, "mn_Tests_ZoomIn", "mn_Tests_Developing3", "Zoom In (10%)", "+", ""},
    {I, "mn_Tests_ZoomOut", "mn_Tests_Developing3", "Zoom Out (10%)", "-", ""},
    {I, "mn_Tests_SaveDialog", "mn_Tests_Developing3", "Save Dialog", "", ""},
    {I, "mn_Tests_Options", "mn_Tests_Developing3", "&Options", "", ""},
    {I, "mn_Tests_LoadMidi", "mn_Tests_Developing3", "Load MIDI...", "", ""},
    {I, "mn_Tests_PlayMidi", "mn_Tests_Developing3", "Play MIDI", "", ""},
    {I, "mn_Tests_MciOpen", "mn_Tests_Developing3", "MCI Open", "", ""},
    {I, "mn_Tests_OptionsDialog", "mn_Tests_Developing3", "Options...", "", ""},
    {I, "mn_Tests_ContextMenu", "mn_Tests_Developing3", "Context Menu", "", ""},
    {M, "mn_Tests_WallPaper", "mn_Tests_Developing3", "Wall Paper", "", "", &S::wallpaper},
    {I, "mn_Tests_WallPaperCenter", "mn_Tests_WallPaper", "Center", "", ""},
    {I, "mn_Tests_WallPaperTile", "mn_Tests_WallPaper", "Tile", "", ""},
    {I, "mn_Tests_WallPaperStretch", "mn_Tests_WallPaper", "Stretch", "", ""},
    {M, "mn_Tests_TWAIN", "mn_Tests_Developing3", "TWAIN", "", ""},
    {I, "mn_Tests_TwainSelect", "mn_Tests_TWAIN", "Select...", "", ""},
    {I, "mn_Tests_TwainAcquire", "mn_Tests_TWAIN", "Acquire...", "", ""},
    {M, "mn_Tests_ReadyForTesting", "mn_Tests", "Ready for Testing", "", ""},
    {I, "mn_Tests_SlideShow", "mn_Tests_ReadyForTesting", "SlideShow", "", ""},
    {I, "mn_Tests_StopSlideShow", "mn_Tests_ReadyForTesting", "Stop SlideShow", "", ""},
    {I, "mn_Tests_OpenRtf", "mn_Tests_ReadyForTesting", "Open RTF...", "", ""},
    {I, "mn_Tests_MedianFilter", "mn_Tests_ReadyForTesting", "Median Filter...", "", "", &S::median},
    {I, "mn_Tests_Association", "mn_Tests", "Association...", "", ""},

    // The slide-show items of the Tests menu are also in the View menu.
    {SEP, "", "mn_View", "", "", ""},
    {ALSO, "mn_Tests_SlideShow", "mn_View", "", "", ""},
    {ALSO, "mn_Tests_StopSlideShow", "mn_View", "", "", ""},
    // So are the zoom items, beside Actual Size and Fit to Window.
    {SEP, "", "mn_View", "", "", ""},
    {ALSO, "mn_Tests_ZoomIn", "mn_View", "", "", ""},
    {ALSO, "mn_Tests_ZoomOut", "mn_View", "", "", ""},
    {I, "mn_View_ActualSize", "mn_View", "Actual Size", "1", ""},
    {I, "mn_View_FitToWindow", "mn_View", "Fit to Window", "W", "", nullptr, nullptr, kCmdCheckable},

    // The capture items of the Tests menu are also in the Tools menu.
    {ALSO, "mn_Tests_CaptureScreen", "mn_Tools_ScreenCapture", "", "", ""},
    {ALSO, "mn_Tests_CaptureClient", "mn_Tools_ScreenCapture", "", "", ""},
    {ALSO, "mn_Tests_CaptureDeskTop", "mn_Tools_ScreenCapture", "", "", ""},
    // The wallpaper arrangements of the Tests menu are also in the Tools menu.
    {ALSO, "mn_Tests_WallPaperCenter", "mn_Tools_SetWallpaper", "", "", ""},
    {ALSO, "mn_Tests_WallPaperTile", "mn_Tools_SetWallpaper", "", "", ""},
    {ALSO, "mn_Tests_WallPaperStretch", "mn_Tools_SetWallpaper", "", "", ""},

    // The working commands of the Tests menu are shown in the visible menus too: the
    // filters with the effects, the colour swaps and the colour count with the colours,
    // the batch run and the options with the tools.
    {SEP, "", "mn_Image_Effects", "", "", ""},
    {ALSO, "mn_Tests_MedianFilter", "mn_Image_Effects", "", "", ""},
    {ALSO, "mn_Tests_EdgeDetection", "mn_Image_Effects", "", "", ""},
    {SEP, "", "mn_Colors", "", "", ""},
    {ALSO, "mn_Tests_SwapColorRGB", "mn_Colors", "", "", ""},
    {ALSO, "mn_Tests_CountColorUsed", "mn_Colors", "", "", ""},
    {SEP, "", "mn_Tools", "", "", ""},
    {ALSO, "mn_Tests_BatchConversion", "mn_Tools", "", "", ""},
    {ALSO, "mn_Tests_OptionsDialog", "mn_Tools", "", "", ""},

    // The toolbar, left to right; every enabled button copies its menu item's state.
    {B, "tb_Open", "", "Open|", "", "open"},
    {B, "tb_SaveAs", "", "Save As", "", "save-as", &S::save},
    {B, "tb_Undo", "", "Undo Last Change", "", "undo", &S::undo},
    {B, "tb_Redo", "", "Redo Last Change", "", "redo", &S::redo},
    {B, "tb_Print", "", "Print|", "", "print", &S::print},
    {B, "tb_Cut", "", "", "", "cut", &S::cut_button},
    {B, "tb_DrawRect", "", "Draw A Rectangle", "", "rect", &S::draw_rect},
    {B, "tb_Copy", "", "Copy|", "", "copy", &S::copy_button},
    {B, "tb_Paste", "", "Paste|", "", "paste", &S::paste_button},
    {B, "tb_Info", "", "Image Information", "", "info", &S::info},
    {B, "tb_Previous", "", "Display Previous", "", "previous", &S::previous_file},
    {B, "tb_Next", "", "Display Next", "", "next", &S::next_file},
    {B, "tb_About", "", "About", "", "about"},
    {B, "tb_Spacer", "", "", "", "", nullptr, nullptr, kCmdDisabled},
};

} // namespace command_rows

// A command: its row's index in the table.
using CommandId = std::int32_t;

inline constexpr std::size_t kCommandCount = std::size(command_rows::kRows);

inline constexpr const COMMAND_ROW& CommandRow(CommandId id) { return command_rows::kRows[id]; }

// True for the rows that name a command of their own (menus, items, buttons).
constexpr bool NamesCommand(const COMMAND_ROW& row)
{
    return row.kind == CommandKind::kMenu || row.kind == CommandKind::kItem || row.kind == CommandKind::kButton;
}

// The command of a name, at run time; nothing for an unknown name.
std::optional<CommandId> FindCommand(std::string_view name);

// The command of a name, at compile time: an unknown name does not build.
consteval CommandId Cmd(std::string_view name)
{
    for (std::size_t i = 0; i < kCommandCount; ++i)
        if (NamesCommand(command_rows::kRows[i]) && name == command_rows::kRows[i].name)
            return static_cast<CommandId>(i);
    throw "unknown command name"; // not a constant expression: the call does not compile
}

// Keys that run a command besides the shortcut its row shows: the keys Linux desktops give
// the same commands. They collide with no row's shortcut.
struct EXTRA_KEY {
    CommandId command;
    const char* shortcut;
};
inline constexpr EXTRA_KEY kExtraKeys[] = {
    {Cmd("mn_File_SaveAs"), "Ctrl+Shift+S"},
    {Cmd("mn_Edit_Redo"), "Ctrl+Shift+Z"},
    {Cmd("mn_View_FullScreen"), "F11"},
};
