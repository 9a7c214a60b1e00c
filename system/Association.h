// Registering the program as the opener of picture and media extensions, per user, the
// freedesktop way: a desktop entry "ravelscope.desktop" in $XDG_DATA_HOME/applications,
// our own MIME types for the extensions the shared MIME database does not know (a
// package "ravelscope.xml" under $XDG_DATA_HOME/mime/packages, compiled with
// update-mime-database), and the defaults in $XDG_CONFIG_HOME/mimeapps.list.
//
// A default is written as "type=ravelscope.desktop;<the openers listed before>;": the
// user's previous opener stays behind ours and answers again when ours is removed or its
// desktop entry is gone. Only our entries are ever written or taken out; every other line
// of mimeapps.list keeps its bytes.
#pragma once

#include <span>
#include <string>
#include <vector>

// One entry of the association list.
struct ASSOC_EXT {
    const char* ext;  // lower case with the dot; ".mac" stands twice, as it always has
    const char* mime; // the canonical type name of the extension
    bool ours;        // the type (or its glob) comes from our MIME package
    bool media;       // a sound or video type, opened by playback
};

// The 51 entries in list order.
std::span<const ASSOC_EXT> AssociationList();

// Why an entry cannot be associated: "" when it can. An extension the open dispatcher
// does not take is refused, and so is a media type while the program has no playback.
std::string UnavailableReason(const ASSOC_EXT& e, bool media_playback);

// The entry before index sharing its type (".dib" → ".bmp"), or -1. Such an entry is
// associated with the first one.
int SharedTypeOf(int index);

struct ASSOC_PATHS {
    std::string data_home;   // $XDG_DATA_HOME, else $HOME/.local/share
    std::string config_home; // $XDG_CONFIG_HOME, else $HOME/.config
    std::vector<std::string> desktops; // $XDG_CURRENT_DESKTOP's names, lower case
    std::string refusal;     // why there is no place (platform/Xdg_dirs): nothing is written
};

ASSOC_PATHS AssocPathsFromEnvironment();

struct ASSOC_REPORT {
    std::vector<std::string> done;       // ".ppm"
    std::vector<std::string> skipped;    // ".lbm: <reason>"
    std::vector<std::string> failed;     // ".qrt: <reason>"
    std::vector<std::string> overridden; // ".png: gnome-mimeapps.list names other.desktop"
    // One line a group that is not empty: "Done: .ppm .qrt", "Skipped: ...".
    std::string Summary() const;
};

// The desktop entry text for the program at exe_path; empty when the path cannot be put
// on an Exec line (it holds '%' or a control character).
std::string DesktopEntryText(const std::string& exe_path);
// Our MIME package: the types of the entries marked ours; a .img file is ours only with
// the VICAR label at its start.
std::string MimePackageText();

// Associates the list entries of the indices given (the ticked ones, in list order).
ASSOC_REPORT Associate(const std::vector<int>& indices, const std::string& exe_path, const ASSOC_PATHS& paths,
                       bool media_playback);

// Takes our entry out of every type's default and added lists; a type left without an
// opener loses its line. Reports the types changed as done.
ASSOC_REPORT RemoveAssociations(const ASSOC_PATHS& paths);
