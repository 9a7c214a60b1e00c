// Moving a file to the desktop's trash, and back, as the freedesktop trash specification
// lays it out, so that the file manager lists, restores and empties what we trash.
//
// A file on the home trash's filesystem goes to $XDG_DATA_HOME/Trash ($HOME/.local/share
// when the variable is unset or not an absolute path): the file itself to files/<name>,
// and info/<name>.trashinfo beside it holding
//     [Trash Info]
//     Path=<the original absolute path, percent-encoded>
//     DeletionDate=<local time, YYYY-MM-DDThh:mm:ss>
// A file on another filesystem goes to the trash at that filesystem's top folder:
// $topdir/.Trash/$uid when $topdir/.Trash is a real folder with the sticky bit, else
// $topdir/.Trash-$uid (made with mode 0700 when missing); there Path= is relative to the
// top folder. When no such trash can be used the file is refused with the reason and
// stays where it is: it is never copied across filesystems nor deleted.
//
// <name> is the file's own name or, when that is taken in files/ or info/, the name with
// ".<n>" (n = 2, 3, ...) before its first dot, as GIO names them ("img.2.tar.gz"). The .trashinfo file is made first with O_EXCL (which reserves
// the name against another program trashing at the same moment), then the file is renamed
// into files/ without replacing anything; a failed rename removes the .trashinfo again.
// Symbolic links are trashed as links. Trash folders made here get mode 0700.
//
// A TRASHED_FILE is the undo record: RestoreFromTrash renames the file back to its path
// and removes its .trashinfo. It refuses, changing nothing, when something now occupies
// the path, when the folder it was in is gone, or when the file has left the trash.
#pragma once

#include <string>

struct TRASHED_FILE {
    std::string original_path; // absolute, as it was trashed
    std::string trashed_path;  // .../files/<name>
    std::string info_path;     // .../info/<name>.trashinfo
};

struct TRASH_OPTIONS {
    // Whether files on other filesystems may go to the trash at their top folder; without
    // it they are refused. The GUI keeps the default.
    bool top_folder_trashes = true;
};

// Moves path (absolute, or relative to the current folder; not resolved through links in
// its last component) to the trash. kOk with record filled; kOpenFileError with the reason
// in reason when the file is missing, no trash can be used for it, or a step fails (the
// file stays where it was).
int MoveToTrash(const std::string& path, TRASHED_FILE& record, std::string& reason,
                const TRASH_OPTIONS& options = {});

// Puts a trashed file back (see above). kOk, or kOpenFileError with the reason.
int RestoreFromTrash(const TRASHED_FILE& record, std::string& reason);

// The home trash folder ($XDG_DATA_HOME/Trash or $HOME/.local/share/Trash); empty when
// neither variable gives an absolute path.
std::string HomeTrashFolder();

// The text of a .trashinfo file for path (written into Path= as is, after encoding) at
// the local time deletion_time (seconds since the epoch).
std::string TrashInfoText(const std::string& path, long long deletion_time);
