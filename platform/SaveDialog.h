#pragma once
#include <QString>

class QFileDialog;

// Makes a file dialog ask for one file to save, of one kind: the name
// filter shown, and the suffix added to a name typed without one.
void setUpSaveDialog(QFileDialog &dialog, const QString &nameFilter, const QString &defaultSuffix);
