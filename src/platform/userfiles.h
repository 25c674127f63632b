#pragma once

#include <QString>

namespace vellaro {

// Where the reminder list and the window settings are kept.
struct UserFilePaths
{
    QString listPath;     // List.ul1
    QString settingsPath; // Vellaro.ini
};

// What the choice depends on, gathered from the system by userFilePathsForExecutable().
struct UserFileFacts
{
    QString executableDir; // absolute, without a trailing separator
    bool executableDirWritable = false;
    bool executableDirHoldsList = false;
    QString home;          // $HOME
    QString xdgDataHome;   // $XDG_DATA_HOME as set (maybe empty or relative)
    QString xdgConfigHome; // $XDG_CONFIG_HOME as set
};

// A program run from a folder of the user's own (its build folder, a copy on a stick) keeps both
// files beside the executable, as it always did; so does one whose folder already holds a list,
// whoever may write there. A program installed where the user may not write keeps the list in
// $XDG_DATA_HOME/vellaro and the settings in $XDG_CONFIG_HOME/vellaro, with the XDG defaults
// ~/.local/share and ~/.config when a variable is unset, empty or relative. A program in a folder
// of the system's (under /usr, /opt, /bin, /sbin, /lib*, /etc or /var) is an installed one, whoever
// runs it and whatever that folder holds: its files go to the XDG folders.
UserFilePaths chooseUserFilePaths(const UserFileFacts &facts);

// The same for the running program: its folder, the access the user has to it, and the
// environment.
UserFilePaths userFilePathsForExecutable(const QString &executableDir);

} // namespace vellaro
