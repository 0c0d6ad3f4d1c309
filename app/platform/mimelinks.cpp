#include "mimelinks.h"

#include "settings.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace kv {

namespace {

const QString kDefaultSection = "[Default Applications]";

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

QString XdgDir(const char* var, const char* fallback) {
    const char* v = std::getenv(var);
    if (v != nullptr && *v == '/') return QString::fromLocal8Bit(v);
    return QDir::homePath() + '/' + fallback;
}

QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

bool WriteLines(const QString& path, const QStringList& lines) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
    f.write((lines.join('\n') + '\n').toUtf8());
    return f.commit();
}

// The range of lines of [Default Applications]: its header line and the
// line after its last line; -1 when the section is missing.
std::pair<qsizetype, qsizetype> DefaultSection(const QStringList& lines) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() != kDefaultSection) continue;
        qsizetype end = i + 1;
        while (end < lines.size() && !lines[end].trimmed().startsWith('[')) ++end;
        return {i, end};
    }
    return {-1, -1};
}

qsizetype FindEntry(const QStringList& lines, std::pair<qsizetype, qsizetype> section,
                    const QString& mime) {
    for (qsizetype i = section.first + 1; i >= 1 && i < section.second; ++i) {
        const qsizetype eq = lines[i].indexOf('=');
        if (eq > 0 && lines[i].left(eq).trimmed() == mime) return i;
    }
    return -1;
}

// The whole value of mime's default entry ("a.desktop;b.desktop;").
QString DefaultEntry(const QString& mime) {
    const QStringList lines = ReadLines(QString::fromStdString(FileTypeLinks::MimeAppsPath()));
    const qsizetype i = FindEntry(lines, DefaultSection(lines), mime);
    return i < 0 ? QString() : lines[i].mid(lines[i].indexOf('=') + 1).trimmed();
}

// Sets mime's default entry to value; an empty value removes the entry.
void SetDefaultEntry(const QString& mime, const QString& value) {
    const QString path = QString::fromStdString(FileTypeLinks::MimeAppsPath());
    QStringList lines = ReadLines(path);
    auto section = DefaultSection(lines);
    if (section.first < 0) {
        if (value.isEmpty()) return;
        lines.append(kDefaultSection);
        section = {lines.size() - 1, lines.size()};
    }
    const qsizetype i = FindEntry(lines, section, mime);
    if (value.isEmpty()) {
        if (i < 0) return;
        lines.removeAt(i);
    } else if (i >= 0) {
        lines[i] = mime + '=' + value;
    } else {
        lines.insert(section.second, mime + '=' + value);
    }
    WriteLines(path, lines);
}

bool IsOurs(const QString& entry) {
    return entry.split(';', Qt::SkipEmptyParts).value(0).trimmed() == kDesktopFileName;
}

} // namespace

FileTypeLinks::FileTypeLinks(SettingsStore& store, std::string programPath)
    : store_(store), programPath_(std::move(programPath)) {}

std::string FileTypeLinks::MimeAppsPath() {
    return XdgDir("XDG_CONFIG_HOME", ".config").toStdString() + "/mimeapps.list";
}

std::string FileTypeLinks::DesktopFilePath() {
    return XdgDir("XDG_DATA_HOME", ".local/share").toStdString() + "/applications/" +
           kDesktopFileName;
}

std::string FileTypeLinks::MimeTypeOf(const std::string& ext) {
    const std::string e = Lower(ext);
    const QMimeType t = QMimeDatabase().mimeTypeForFile("x" + QString::fromStdString(e),
                                                        QMimeDatabase::MatchExtension);
    if (t.isValid() && !t.isDefault()) return t.name().toStdString();
    return "image/x-vellumatic-" + e.substr(e.find_first_not_of('.') == std::string::npos
                                                ? e.size()
                                                : e.find_first_not_of('.'));
}

std::string FileTypeLinks::InstalledDesktopFilePath() const {
    return QFileInfo(QString::fromStdString(programPath_))
        .dir()
        .absoluteFilePath(QStringLiteral("../../share/applications/") + kDesktopFileName)
        .toStdString();
}

bool FileTypeLinks::IsLinked(const std::string& ext) const {
    return IsOurs(DefaultEntry(QString::fromStdString(MimeTypeOf(ext))));
}

void FileTypeLinks::Link(const std::string& ext) {
    const std::string e = Lower(ext);
    const QString mime = QString::fromStdString(MimeTypeOf(e));
    const QString previous = DefaultEntry(mime);
    if (!previous.isEmpty() && !IsOurs(previous))
        store_.WriteString(kLinkStoreKey, e, previous.toStdString());
    store_.Flush();
    if (!QFileInfo::exists(QString::fromStdString(InstalledDesktopFilePath())))
        WriteDesktopFile(mime.toStdString());
    SetDefaultEntry(mime, QString::fromLatin1(kDesktopFileName) + ';');
}

void FileTypeLinks::Unlink(const std::string& ext) {
    const std::string e = Lower(ext);
    const QString mime = QString::fromStdString(MimeTypeOf(e));
    if (!IsOurs(DefaultEntry(mime))) return;
    const std::string previous = store_.ReadString(kLinkStoreKey, e).value_or("");
    SetDefaultEntry(mime, QString::fromStdString(previous));
}

// The desktop entry that runs kv, listing every MIME type linked so far.
void FileTypeLinks::WriteDesktopFile(const std::string& mime) const {
    const QString path = QString::fromStdString(DesktopFilePath());
    QStringList types;
    for (const QString& line : ReadLines(path))
        if (line.startsWith("MimeType=")) types = line.mid(9).split(';', Qt::SkipEmptyParts);
    const QString m = QString::fromStdString(mime);
    if (!types.contains(m)) types.append(m);
    const QStringList lines = {"[Desktop Entry]",
                               "Type=Application",
                               "Name=Vellumatic",
                               "Comment=True-colour paint program",
                               "Icon=" + QString::fromLatin1(kDesktopId),
                               "Exec=\"" + QString::fromStdString(programPath_) + "\" %U",
                               "Terminal=false",
                               "Categories=Graphics;RasterGraphics;",
                               "MimeType=" + types.join(';') + ';'};
    WriteLines(path, lines);
}

} // namespace kv
