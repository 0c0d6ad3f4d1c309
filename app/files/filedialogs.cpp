#include "filedialogs.h"

#include "files/progresswindow.h"

#include "filenames.h"
#include "keys.h"
#include "lang.h"
#include "newform.h"
#include "openplus.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QStringList>

#include <algorithm>
#include <cctype>

namespace kv {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QStringList NameFilters(const std::string& filter) {
    QStringList list;
    for (const std::string& f : QtNameFilters(filter)) list << Q(f);
    return list;
}

// Puts the dialog in the middle of the image area of parent's window.
void CentreOver(QWidget* dialog, QWidget* parent) {
    if (parent == nullptr) return;
    dialog->adjustSize();
    QWidget* area = parent->window();
    if (auto* main = qobject_cast<QMainWindow*>(area); main != nullptr && main->centralWidget())
        area = main->centralWidget();
    const QPoint centre = area->mapToGlobal(area->rect().center());
    dialog->move(centre - dialog->rect().center());
}

int SelectedIndex(const QFileDialog& dialog) {
    return static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
}

void Prepare(QFileDialog& dialog, const std::string& title, const std::string& filter,
             const std::string& directory, int index) {
    dialog.setWindowTitle(Q(title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = NameFilters(filter);
    dialog.setNameFilters(filters);
    if (index >= 1 && index <= filters.size()) dialog.selectNameFilter(filters[index - 1]);
    if (!directory.empty()) dialog.setDirectory(Q(directory));
}

std::optional<OpenChoice> OpenDialog(QWidget* parent, const OpenRequest& r) {
    QFileDialog dialog(parent);
    dialog.setObjectName("OpenPicDlg");
    Prepare(dialog, r.Title, r.Filter, r.Directory, r.FilterIndex);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The describing panel to the right of the dialog's own controls.
    auto* panel = new TOpenPlus(&dialog);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, panel, &TOpenPlus::LoadPreview);
    // A name typed into the name field is described as soon as it names a file.
    if (auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit"))
        QObject::connect(edit, &QLineEdit::textChanged, panel, [&dialog, panel](const QString& t) {
            const QFileInfo typed(dialog.directory(), t);
            if (!t.isEmpty() && typed.isFile()) panel->LoadPreview(typed.absoluteFilePath());
        });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    OpenChoice choice{dialog.selectedFiles().front().toStdString(), SelectedIndex(dialog), 1};
    choice.ImageNo = panel->ImageNoFor(choice.FileName);
    return choice;
}

std::optional<SaveChoice> SaveDialog(QWidget* parent, const SaveRequest& r) {
    QFileDialog dialog(parent);
    dialog.setObjectName("SavePicDlg");
    Prepare(dialog, r.Title, r.Filter, r.Directory, r.FilterIndex);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!r.FileName.empty()) dialog.selectFile(Q(r.FileName));
    const std::vector<FilterEntry> entries = SplitFilter(r.Filter);
    // SavePicDlgTypeChange: another type gives the name that type's extension.
    auto masksOf = [&](const QString& nameFilter) -> std::string {
        const int i = static_cast<int>(dialog.nameFilters().indexOf(nameFilter));
        if (i < 0 || i + 1 >= static_cast<int>(entries.size())) return {}; // none, or "All"
        std::string masks;
        for (const std::string& m : entries[static_cast<std::size_t>(i)].Masks) masks += m + ";";
        return masks;
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& f) {
        const std::string masks = masksOf(f);
        const QStringList typed = dialog.selectedFiles();
        if (masks.empty() || typed.isEmpty()) return;
        const std::string name = typed.front().toStdString();
        if (name.empty() || name.back() == '/') return;
        dialog.selectFile(Q(NameForType(name, masks)));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    SaveChoice choice{dialog.selectedFiles().front().toStdString(), SelectedIndex(dialog)};
    // A name typed without an extension takes the chosen type's.
    if (ExtensionOf(choice.FileName).empty()) {
        const std::string masks = masksOf(dialog.selectedNameFilter());
        if (!masks.empty()) choice.FileName = NameForType(choice.FileName, masks);
    }
    return choice;
}

std::optional<pixkit::Pair<int>> NewSizeDialog(QWidget* parent, pixkit::Pair<int> offered) {
    TNewForm form(parent, offered.x, offered.y);
    CentreOver(&form, parent);
    if (form.exec() != QDialog::Accepted) return std::nullopt;
    return pixkit::Pair<int>{form.SizeXValue(), form.SizeYValue()};
}

std::optional<std::string> SourceDialog(QWidget* parent, const std::vector<ScanDevice>& devices,
                                        const std::string& current) {
    QStringList labels;
    int selected = 0;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        labels << Q(devices[i].Label());
        if (devices[i].Name == current) selected = static_cast<int>(i);
    }
    QString title = QStringLiteral("Select Source");
    if (parent != nullptr)
        if (auto* action = parent->window()->findChild<QAction*>("SelectSource1"))
            title = action->text().remove('&').remove(QStringLiteral("..."));
    bool ok = false;
    const QString picked =
        QInputDialog::getItem(parent, title, title, labels, selected, false, &ok);
    if (!ok) return std::nullopt;
    const auto at = labels.indexOf(picked);
    if (at < 0) return std::nullopt;
    return devices[static_cast<std::size_t>(at)].Name;
}

} // namespace

std::vector<std::string> QtNameFilters(const std::string& filter) {
    std::vector<std::string> result;
    for (const FilterEntry& e : SplitFilter(filter)) {
        std::string patterns;
        for (const std::string& m : e.Masks) {
            std::string lower = m;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            patterns += (patterns.empty() ? "" : " ") + lower;
            if (lower != m) patterns += " " + m;
        }
        result.push_back(e.Description + " (" + patterns + ")");
    }
    return result;
}

FileDialogs ScreenDialogs(QWidget* parent) {
    FileDialogs d;
    d.Open = [parent](const OpenRequest& r) { return OpenDialog(parent, r); };
    d.Save = [parent](const SaveRequest& r) { return SaveDialog(parent, r); };
    d.NewSize = [parent](pixkit::Pair<int> offered) { return NewSizeDialog(parent, offered); };
    d.SelectSource = [parent](const std::vector<ScanDevice>& devices, const std::string& current) {
        return SourceDialog(parent, devices, current);
    };
    d.RunCancellable = [parent](const std::function<void(const ProgressStep&)>& work) {
        return RunWithProgressWindow(parent, work);
    };
    return d;
}

} // namespace kv
