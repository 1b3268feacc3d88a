#pragma once
// Settings of the standard file-open and file-save dialogs, applied each time one runs.

#include <QString>

class QFileDialog;
class QWidget;

namespace bw {

struct FileDialogSettings {
    QString filter;  // "label|pattern"
    bool overwritePrompt = false;
    bool hideReadOnly = true;
    bool resizable = true;
    bool noPlacesBar = false;

    // The filter in the form QFileDialog takes: "label (pattern)".
    QString NameFilter() const;

    // Sets up a dialog with these settings (filter, overwrite question, places, size).
    void Apply(QFileDialog& dialog) const;
    // Runs the dialog modally; the chosen path, or empty when cancelled.
    QString GetOpenFileName(QWidget* parent) const;
    QString GetSaveFileName(QWidget* parent) const;
};

}  // namespace bw
