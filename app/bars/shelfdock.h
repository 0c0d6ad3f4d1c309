// The brush shelf's dockable panel: the shelved brushes as thumbnails,
// newest first, transparent pixels over a chequer board and pinned ones
// marked. A click makes one the current brush; the context menu pins,
// unpins or removes it.
#pragma once

#include <QDockWidget>

#include <functional>

class QListWidget;
class QListWidgetItem;

namespace kv {

class BrushShelf;

class TBrushShelf : public QDockWidget {
    Q_OBJECT

  public:
    TBrushShelf(BrushShelf& shelf, QWidget* parent);

    QListWidget* List() const { return list_; }
    // Shows the shelf's entries anew.
    void Refresh();

    // Entry index was clicked: it is to become the current brush.
    std::function<void(int index)> Chosen;

  private:
    void ContextMenu(const QPoint& pos);

    BrushShelf& shelf_;
    QListWidget* list_;
};

} // namespace kv
