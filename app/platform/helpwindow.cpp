#include "platform/helpwindow.h"

#include "keys.h"
#include "lang.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

namespace kv {

namespace {

QString Tr(const char* key) {
    return QString::fromStdString(kv::Translate(key));
}

constexpr int kPageRole = Qt::UserRole;

// Escape closes the window it watches, as it does a dialog; the window's
// controls leave Escape to it.
class EscapeCloses : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(e)->key() != Qt::Key_Escape)
            return false;
        static_cast<QWidget*>(watched)->close();
        return true;
    }
};

} // namespace

THelpBrowser::THelpBrowser(QWidget* parent) : QTextBrowser(parent) {
    setOpenExternalLinks(true);
}

void THelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    QTextBrowser::doSetSource(name, type);
    MarkHeadings();
    if (name.hasFragment()) scrollToAnchor(name.fragment());
}

// A link to a page that the language's folder lacks reads the page of the
// next folder that has it (the English manual).
QVariant THelpBrowser::loadResource(int type, const QUrl& name) {
    QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        for (const std::string& dir : Folders) {
            const QString base = QString::fromStdString(dir);
            for (const std::string& other : Folders) {
                const QString from = QString::fromStdString(other);
                const QString file = url.toLocalFile();
                if (!file.startsWith(from)) continue;
                const QString candidate = base + file.mid(from.size());
                if (QFileInfo::exists(candidate))
                    return QTextBrowser::loadResource(type, QUrl::fromLocalFile(candidate));
            }
        }
    return QTextBrowser::loadResource(type, name);
}

void THelpBrowser::MarkHeadings() {
    QTextDocument* doc = document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0) continue;
        std::string shown;
        const std::string anchor = HeadingAnchor(block.text().toStdString(), &shown);
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        if (QString::fromStdString(shown) != block.text())
            cursor.insertText(QString::fromStdString(shown), block.charFormat());
        cursor.setPosition(block.position());
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setAnchor(true);
        format.setAnchorNames({QString::fromStdString(anchor)});
        cursor.mergeCharFormat(format);
    }
    doc->setModified(false);
}

QStringList THelpBrowser::Anchors() const {
    QStringList names;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() > 0)
            names += QString::fromStdString(HeadingAnchor(block.text().toStdString()));
    return names;
}

QString THelpBrowser::TopHeading() const {
    const QTextCursor top = cursorForPosition(QPoint(4, 4));
    QString heading;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.position() > top.position()) break;
        if (block.blockFormat().headingLevel() > 0) heading = block.text();
    }
    return QString::fromStdString(HeadingAnchor(heading.toStdString()));
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("HelpForm");
    setProperty("HelpContext", kHelpWindowContext);
    installEventFilter(new EscapeCloses(this));
    browser_ = new THelpBrowser(this);
    list_ = new QListWidget(this);
    search_ = new QLineEdit(this);
    search_->setClearButtonEnabled(true);
    back_ = new QPushButton(this);
    forward_ = new QPushButton(this);
    home_ = new QPushButton(this);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {back_, forward_, home_}) buttons->addWidget(b);
    buttons->addStretch();
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(search_);
    leftLayout->addWidget(list_);
    auto* split = new QSplitter(this);
    split->addWidget(left);
    split->addWidget(browser_);
    split->setStretchFactor(1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(split);

    back_->setEnabled(false);
    forward_->setEnabled(false);
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QWidget::setEnabled);
    connect(home_, &QPushButton::clicked, this, [this] { ShowContext(kHelpContentsPage); });
    connect(search_, &QLineEdit::textChanged, this, &THelpWindow::Search);
    connect(list_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { ShowPage(item->data(kPageRole).toString()); });
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ShowPage(item->data(kPageRole).toString()); });
    resize(900, 640);
}

void THelpWindow::Translate() {
    setWindowTitle(Tr(key::HelpTitle));
    back_->setText(Tr(key::HelpBack));
    forward_->setText(Tr(key::HelpForward));
    home_->setText(Tr(key::HelpContents));
    search_->setPlaceholderText(Tr(key::HelpSearch));
}

void THelpWindow::SetFolders(std::vector<std::string> folders) {
    folders_ = std::move(folders);
    browser_->Folders = folders_;
    Translate();
    Search(search_->text());
}

void THelpWindow::ListPages(const std::vector<HelpPage>& pages) {
    list_->clear();
    for (const HelpPage& page : pages) {
        auto* item = new QListWidgetItem(QString::fromStdString(page.Title), list_);
        item->setData(kPageRole, QString::fromStdString(page.File));
    }
}

void THelpWindow::Search(const QString& text) {
    if (text.trimmed().isEmpty()) {
        ListPages(ManualPages(folders_));
        return;
    }
    const std::vector<HelpPage> hits = SearchManual(folders_, text.toStdString());
    ListPages(hits);
    if (hits.empty()) {
        auto* none = new QListWidgetItem(Tr(key::HelpNoHits), list_);
        none->setFlags(Qt::NoItemFlags);
    }
}

void THelpWindow::ShowPage(const QString& target) {
    if (target.isEmpty()) return;
    const QString page = target.section('#', 0, 0);
    const std::string file = FindPage(folders_, page.toStdString());
    if (file.empty()) {
        browser_->setPlainText(Tr(key::HelpNoManual));
        return;
    }
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(file));
    const QString anchor = target.section('#', 1);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    if (browser_->source() == url)
        browser_->scrollToAnchor(anchor);
    else
        browser_->setSource(url, QTextDocument::MarkdownResource);
    if (anchor.isEmpty()) browser_->verticalScrollBar()->setValue(0);
}

void THelpWindow::ShowContext(int context) {
    const HelpTopic topic = TopicFor(context);
    QString target = QString::fromLatin1(topic.Page);
    if (*topic.Anchor != '\0') target += '#' + QString::fromLatin1(topic.Anchor);
    ShowTopic(target);
}

void THelpWindow::ShowTopic(const QString& target) {
    show();
    raise();
    activateWindow();
    ShowPage(target);
}

} // namespace kv
