#pragma once
#include <QString>

class QFileDialog;

// Makes a file dialog ask for one file to save, of one kind: the name
// filter shown, and the suffix added to a name typed without one. The
// suffix names the kind for followLastFolder.
void setUpSaveDialog(QFileDialog &dialog, const QString &nameFilter, const QString &defaultSuffix);

// File dialogs of one kind (save or open) start in the folder where a file
// of that kind was last saved or read in this run (rememberFolder), and
// until then, or when that folder is gone, in the home folder. Kept in
// memory only: a new run starts at home again.
void followLastFolder(QFileDialog &dialog, const QString &kind);
// A file of the kind has been saved or read at `path`: its folder is where
// the kind's dialogs start from now on, those made already too. A choice
// that failed moves nothing.
void rememberFolder(const QString &kind, const QString &path);
