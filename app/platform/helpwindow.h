// The help window: the Markdown pages of the manual in a text browser, with
// back and forward, the list of pages and a search over them. F1 and
// Help > Contents of the main window open it at a page section.
#pragma once

#include "platform/helpindex.h"

#include <QTextBrowser>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace kv {

// A text browser that gives every heading of a page its anchor (see
// HeadingAnchor), so links and help contexts can point at sections, and
// looks a page up in the other manual folders when the language's own
// folder has no such page.
class THelpBrowser : public QTextBrowser {
  public:
    explicit THelpBrowser(QWidget* parent);
    std::vector<std::string> Folders;
    // The anchors the shown page has.
    QStringList Anchors() const;
    // The heading the view shows at its top ("" when none is above it).
    QString TopHeading() const;

  protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;
    QVariant loadResource(int type, const QUrl& name) override;

  private:
    void MarkHeadings();
};

class THelpWindow : public QWidget {
  public:
    explicit THelpWindow(QWidget* parent);

    // Looks for the pages again (the language may have changed).
    void SetFolders(std::vector<std::string> folders);
    // Shows the page section of a help context and brings the window up.
    void ShowContext(int context);
    // Shows "page.md" or "page.md#anchor".
    void ShowPage(const QString& target);
    // Shows a page as ShowPage does and brings the window up.
    void ShowTopic(const QString& target);
    // Lists the pages that contain every word of the text (all pages for an
    // empty text).
    void Search(const QString& text);

    THelpBrowser* Browser() const { return browser_; }
    QListWidget* PageList() const { return list_; }
    QLineEdit* SearchBox() const { return search_; }
    bool HasManual() const { return !folders_.empty(); }

  private:
    void ListPages(const std::vector<HelpPage>& pages);
    void Translate();

    std::vector<std::string> folders_;
    THelpBrowser* browser_;
    QListWidget* list_;
    QLineEdit* search_;
    QPushButton* back_;
    QPushButton* forward_;
    QPushButton* home_;
};

} // namespace kv
