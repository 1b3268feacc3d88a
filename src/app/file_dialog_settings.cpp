#include "app/file_dialog_settings.h"

#include <QDir>
#include <QFileDialog>
#include <QList>
#include <QUrl>

namespace bw {

namespace {

QString Run(const FileDialogSettings& settings, QWidget* parent, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    settings.Apply(dialog);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace

QString FileDialogSettings::NameFilter() const {
    const qsizetype bar = filter.indexOf('|');
    if (bar < 0) return filter;
    return filter.left(bar) + QStringLiteral(" (") + filter.mid(bar + 1) + ')';
}

void FileDialogSettings::Apply(QFileDialog& dialog) const {
    dialog.setNameFilter(NameFilter());
    // The label already names its pattern ("LoadFile(*.bin)"): show it as it is,
    // without the pattern repeated after it.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !overwritePrompt);
    // The places bar is the dialog's sidebar of locations: without it, it lists none.
    // Set every time, because the dialog stores its last sidebar for the next one.
    dialog.setSidebarUrls(noPlacesBar ? QList<QUrl>()
                                      : QList<QUrl>{QUrl(QStringLiteral("file:")),
                                                    QUrl::fromLocalFile(QDir::homePath())});
    if (resizable) {
        dialog.setSizeGripEnabled(true);
    } else {
        dialog.setSizeGripEnabled(false);
        dialog.setFixedSize(dialog.sizeHint());
    }
    // hideReadOnly has nothing to apply: the dialog offers no "open as read-only"
    // check box, so there is never one to show. (QFileDialog::ReadOnly is a different
    // thing: it forbids renaming and deleting files from inside the dialog.)
}

QString FileDialogSettings::GetOpenFileName(QWidget* parent) const {
    return Run(*this, parent, QFileDialog::AcceptOpen);
}

QString FileDialogSettings::GetSaveFileName(QWidget* parent) const {
    return Run(*this, parent, QFileDialog::AcceptSave);
}

}  // namespace bw
