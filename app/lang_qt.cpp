#include "lang_qt.h"

#include "keys.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMetaProperty>
#include <QRadioButton>
#include <QTranslator>
#include <QVariant>

#include <deque>

namespace kv {

namespace {

bool Is(const QString& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

QWidget* FindWindow(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName().compare(name, Qt::CaseInsensitive) == 0) return w;
    return nullptr;
}

// The nearest object below owner with that name: direct children first,
// then their children, and so on (widgets sit in nested containers here,
// where a form of the original toolkit owned all its controls directly).
QObject* FindOwned(QObject* owner, const QString& name) {
    std::deque<QObject*> queue(owner->children().begin(), owner->children().end());
    while (!queue.empty()) {
        QObject* o = queue.front();
        queue.pop_front();
        if (o->objectName().compare(name, Qt::CaseInsensitive) == 0) return o;
        for (QObject* c : o->children()) queue.push_back(c);
    }
    return nullptr;
}

QList<QRadioButton*> RadioItems(QGroupBox* group) {
    return group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
}

void SetCaption(QObject* obj, const QString& v) {
    if (auto* a = qobject_cast<QAction*>(obj))
        a->setText(v);
    else if (auto* m = qobject_cast<QMenu*>(obj))
        m->setTitle(v);
    else if (auto* b = qobject_cast<QAbstractButton*>(obj))
        b->setText(v);
    else if (auto* l = qobject_cast<QLabel*>(obj))
        l->setText(v);
    else if (auto* g = qobject_cast<QGroupBox*>(obj))
        g->setTitle(v);
    else if (auto* w = qobject_cast<QWidget*>(obj))
        w->setWindowTitle(v);
}

void SetHint(QObject* obj, const QString& v) {
    if (auto* a = qobject_cast<QAction*>(obj))
        a->setToolTip(v);
    else if (auto* w = qobject_cast<QWidget*>(obj))
        w->setToolTip(v);
}

// Every piece between "|" is an item, the last one too. The item index is
// kept across the change; a combo box then shows its first item.
void SetItems(QObject* obj, const QString& v) {
    const QStringList items = v.split('|');
    if (auto* c = qobject_cast<QComboBox*>(obj)) {
        const int index = c->currentIndex();
        c->clear();
        c->addItems(items);
        c->setCurrentIndex(index);
        c->setCurrentIndex(0);
    } else if (auto* l = qobject_cast<QListWidget*>(obj)) {
        const int row = l->currentRow();
        l->clear();
        l->addItems(items);
        l->setCurrentRow(row);
    } else if (auto* g = qobject_cast<QGroupBox*>(obj)) {
        const QList<QRadioButton*> radios = RadioItems(g);
        for (int i = 0; i < radios.size() && i < items.size(); ++i) radios[i]->setText(items[i]);
    }
}

void SetItemIndex(QObject* obj, const QString& v) {
    bool ok = false;
    const int index = v.trimmed().toInt(&ok);
    if (!ok) return;
    if (auto* c = qobject_cast<QComboBox*>(obj))
        c->setCurrentIndex(index);
    else if (auto* l = qobject_cast<QListWidget*>(obj))
        l->setCurrentRow(index);
    else if (auto* g = qobject_cast<QGroupBox*>(obj)) {
        const QList<QRadioButton*> radios = RadioItems(g);
        if (index >= 0 && index < radios.size()) radios[index]->setChecked(true);
    }
}

// Any other name: the Qt property of that name (ignoring case) when it holds
// text, a number, a flag or a list of texts.
void SetQtProperty(QObject* obj, const QString& name, const QString& v) {
    const QMetaObject* meta = obj->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty prop = meta->property(i);
        if (!prop.isWritable() || !Is(name, prop.name())) continue;
        bool ok = true;
        switch (prop.metaType().id()) {
        case QMetaType::QString:
            prop.write(obj, v);
            break;
        case QMetaType::Int: {
            const int n = v.trimmed().toInt(&ok);
            if (ok) prop.write(obj, n);
            break;
        }
        case QMetaType::Double: {
            const double d = v.trimmed().toDouble(&ok);
            if (ok) prop.write(obj, d);
            break;
        }
        case QMetaType::Bool:
            prop.write(obj, v.trimmed() != "0" && !Is(v.trimmed(), "false"));
            break;
        case QMetaType::QStringList:
            prop.write(obj, v.split('|'));
            break;
        default:
            break;
        }
        return;
    }
}

// The text a property holds now, in the form a section line gives it; an
// empty variant for properties that are state rather than text.
QVariant CurrentText(QObject* obj, const QString& property) {
    if (Is(property, "Caption")) {
        if (auto* a = qobject_cast<QAction*>(obj)) return a->text();
        if (auto* m = qobject_cast<QMenu*>(obj)) return m->title();
        if (auto* b = qobject_cast<QAbstractButton*>(obj)) return b->text();
        if (auto* l = qobject_cast<QLabel*>(obj)) return l->text();
        if (auto* g = qobject_cast<QGroupBox*>(obj)) return g->title();
        if (auto* w = qobject_cast<QWidget*>(obj)) return w->windowTitle();
        return {};
    }
    if (Is(property, "Hint")) {
        if (auto* a = qobject_cast<QAction*>(obj)) return a->toolTip();
        if (auto* w = qobject_cast<QWidget*>(obj)) return w->toolTip();
        return {};
    }
    if (Is(property, "Items")) {
        QStringList items;
        if (auto* c = qobject_cast<QComboBox*>(obj))
            for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
        else if (auto* l = qobject_cast<QListWidget*>(obj))
            for (int i = 0; i < l->count(); ++i) items << l->item(i)->text();
        else if (auto* g = qobject_cast<QGroupBox*>(obj))
            for (QRadioButton* r : RadioItems(g)) items << r->text();
        return items.join('|');
    }
    if (Is(property, "ItemIndex")) return {};
    const QMetaObject* meta = obj->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty prop = meta->property(i);
        if (!Is(property, prop.name())) continue;
        const int type = prop.metaType().id();
        if (type == QMetaType::QString) return prop.read(obj).toString();
        if (type == QMetaType::QStringList) return prop.read(obj).toStringList().join('|');
    }
    return {};
}

// Dynamic properties holding the built-in texts that translations replaced,
// so that a later change of language starts from them again.
constexpr char kOriginalPrefix[] = "kvOriginal:";

void RememberOriginal(QObject* obj, const QString& property) {
    const QByteArray name = kOriginalPrefix + property.toLower().toUtf8();
    if (obj->property(name.constData()).isValid()) return;
    const QVariant text = CurrentText(obj, property);
    if (text.isValid()) obj->setProperty(name.constData(), text);
}

void ApplyProperty(QObject* obj, const QString& property, const QString& value);

} // namespace

void RestoreOriginalTexts() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        QList<QObject*> objects = top->findChildren<QObject*>();
        objects.prepend(top);
        for (QObject* obj : objects)
            for (const QByteArray& name : obj->dynamicPropertyNames()) {
                if (!name.startsWith(kOriginalPrefix)) continue;
                const QString property =
                    QString::fromUtf8(name.mid(int(sizeof kOriginalPrefix) - 1));
                ApplyProperty(obj, property, obj->property(name.constData()).toString());
                obj->setProperty(name.constData(), QVariant());
            }
    }
}

void SetTranslatedProperty(QObject* obj, const QString& property, const QString& value) {
    RememberOriginal(obj, property);
    ApplyProperty(obj, property, value);
}

namespace {

void ApplyProperty(QObject* obj, const QString& property, const QString& value) {
    if (Is(property, "Caption"))
        SetCaption(obj, value);
    else if (Is(property, "Hint"))
        SetHint(obj, value);
    else if (Is(property, "Items"))
        SetItems(obj, value);
    else if (Is(property, "ItemIndex"))
        SetItemIndex(obj, value);
    else
        SetQtProperty(obj, property, value);
}

// Qt's own dialogs and buttons in the language the file names by its
// "QtLocale" message ("de"); none for the built-in English.
void InstallQtCatalogue() {
    static QTranslator* installed = nullptr;
    if (installed != nullptr) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    const std::string locale = Translate(key::QtLocale);
    if (locale.empty() || locale == key::QtLocale) return;
    auto* qt = new QTranslator;
    if (qt->load(QLocale(QString::fromStdString(locale)), "qtbase", "_",
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(qt)) {
        installed = qt;
        return;
    }
    delete qt;
}

} // namespace

void TranslateSection(const TLang& lang, std::string_view section) {
    const Section lines = lang.ReadSection(section);
    if (!lines.Found) return;
    QString windowName = QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size()));
    if (windowName.startsWith('[')) windowName.remove(0, 1);
    if (windowName.endsWith(']')) windowName.chop(1);
    QObject* target = FindWindow(windowName);
    for (const SectionLine& line : lines.Lines) {
        const QString value = QString::fromStdString(line.Value);
        if (line.SwitchWindow) {
            target = FindWindow(value.trimmed());
            continue;
        }
        QObject* obj = target;
        for (std::size_t i = 0; obj != nullptr && i + 1 < line.Path.size(); ++i)
            obj = FindOwned(obj, QString::fromStdString(line.Path[i]));
        if (obj == nullptr || value.isEmpty() || line.Path.empty()) continue;
        QString text = value;
        text.replace('@', ' ');
        SetTranslatedProperty(obj, QString::fromStdString(line.Path.back()), text);
    }
}

bool ApplyLanguage(TLang& lang, const std::string& language) {
    if (language.empty()) return false;
    if (!lang.LoadLanguage(language)) return false;
    // Every language starts from the built-in texts: one that translates
    // fewer controls than the last must not leave the last one's texts.
    RestoreOriginalTexts();
    TranslateSection(lang, key::TranslationsSection);
    InstallQtCatalogue();
    return true;
}

void InstallScreenMessageBox() {
    SetMessageBoxHandler([](const std::string& text, const std::string& caption, MsgFlags flags) {
        QMessageBox box(QApplication::activeWindow());
        // Texts hold file names and user input: "<" must never start markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(QString::fromStdString(text));
        box.setWindowTitle(QString::fromStdString(caption));
        switch (flags.Icon) {
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::None:
            break;
        }
        switch (flags.Buttons) {
        case MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        default:
            return flags.Buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
        }
    });
}

} // namespace kv
